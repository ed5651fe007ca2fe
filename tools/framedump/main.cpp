// framedump: prints what one frame asks of the Direct3D stand-in, for a scene of boxes in a
// row seen by a perspective camera, lit by a sun, with a debug line, in the given number of
// materials (effects "box<n>.fx" of the current folder's Data\Effects, or their fallbacks).
// It shows how the engine draws on this platform: layers, one draw per material block, the
// states the effects' passes change, the lights, the lines and the screen passes.
//
//   framedump [boxes [materials]] [--fade value] [--static]
//
// --static writes the boxes into the level's ring first, as a level does when it loads.
#include "Render/CPRenderObject.h"
#include "host/Host.h"
#include "scene/CPGameObject.h"
#include "scene/CPLight.h"
#include "scene/CPPerspectiveCamera.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

int Usage() {
    std::fprintf(stderr, "usage: framedump [boxes [materials]] [--fade value] [--static]\n");
    return 2;
}

// A whole number in [low, high] from text, or false.
bool ReadCount(const char* text, long low, long high, long& out) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < low || value > high) {
        return false;
    }
    out = value;
    return true;
}

// A unit box (24 vertices, 36 indices) at x along the row, in world space.
std::unique_ptr<CPRenderObject> Box(CPGameObject* owner, float x) {
    auto mesh = std::make_unique<CPRenderObject>(owner);
    static const float faces[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (const auto& face : faces) {
        const D3DXVECTOR3 n(face[0], face[1], face[2]);
        const D3DXVECTOR3 u(n.y + n.z, n.z + n.x, n.x + n.y);
        const D3DXVECTOR3 v(n.z, n.x, n.y);
        const auto first = static_cast<uint16_t>(mesh->Vertices.size());
        for (int k = 0; k < 4; ++k) {
            CPVertex vertex;
            vertex.Position = n + u * ((k & 1) != 0 ? 0.5f : -0.5f) + v * ((k & 2) != 0 ? 0.5f : -0.5f);
            vertex.Position.x += x;
            vertex.Normal = n;
            vertex.Diffuse = 0xFFFFFFFFu;
            mesh->Vertices.push_back(vertex);
        }
        for (int k : {0, 1, 2, 2, 1, 3}) {
            mesh->Indices.push_back(static_cast<uint16_t>(first + k));
        }
    }
    mesh->WorldVertices = mesh->Vertices;
    return mesh;
}

}  // namespace

int main(int argc, char** argv) {
    long boxes = 3;
    long materialCount = 2;
    float fade = 0.0f;
    bool level = false;
    int counts = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--fade") == 0 && i + 1 < argc) {
            char* end = nullptr;
            fade = std::strtof(argv[++i], &end);
            if (end == argv[i] || *end != '\0') {
                return Usage();
            }
        } else if (std::strcmp(argv[i], "--static") == 0) {
            level = true;
        } else if (counts == 0 && ReadCount(argv[i], 0, 2000, boxes)) {
            ++counts;
        } else if (counts == 1 && ReadCount(argv[i], 1, 100, materialCount)) {
            ++counts;
        } else {
            return Usage();
        }
    }

    Host host;
    CPRender& render = host.Render();
    CPPerspectiveCamera camera;
    camera.Position = D3DXVECTOR3(0.0f, -10.0f, 3.0f);
    camera.Target = D3DXVECTOR3(static_cast<float>(boxes) * 0.75f, 0.0f, 0.0f);
    camera.Up = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    camera.Fov = 1.2217305f;
    camera.Near = 1.0f;
    camera.Far = 1000.0f;
    camera.ViewDirty = camera.ProjectionDirty = true;
    camera.Update();
    render.SetLayerCamera(16, &camera);

    std::vector<CPtr<CPMaterial>> materials;
    for (long m = 0; m < materialCount; ++m) {
        materials.push_back(host.MaterialManager().GetMaterial("box" + std::to_string(m) + ".fx", {}, 0));
    }
    std::vector<std::unique_ptr<CPGameObject>> nodes;
    std::vector<std::unique_ptr<CPObject>> objects;
    std::vector<CPtr<CPGameObject>> roots;
    for (long i = 0; i < boxes; ++i) {
        nodes.push_back(std::make_unique<CPGameObject>("box" + std::to_string(i)));
        CPGameObject* node = nodes.back().get();
        node->RenderKind = CPGameObject::RenderMesh;
        auto mesh = Box(node, static_cast<float>(i) * 1.5f);
        mesh->Material = materials[static_cast<size_t>(i % materialCount)];
        node->RenderObject = mesh.get();
        node->TransformUpdated = false;  // its vertices are in world space already
        objects.push_back(std::move(mesh));
        roots.emplace_back(node);
    }
    nodes.push_back(std::make_unique<CPGameObject>("sun"));
    CPGameObject* sun = nodes.back().get();
    sun->RenderKind = CPGameObject::RenderLight;
    auto light = std::make_unique<CPLight>();
    light->Light.Type = D3DLIGHT_DIRECTIONAL;
    light->Light.Diffuse = D3DCOLORVALUE{1.0f, 0.95f, 0.8f, 1.0f};
    light->Light.Direction = D3DVECTOR{0.3f, 0.4f, -0.866f};
    light->SetOwner(sun);
    sun->RenderObject = light.get();
    objects.push_back(std::move(light));
    roots.emplace_back(sun);

    if (level) {
        host.DynamicBatcher().FillStatic(std::vector<CPtr<CPGameObject>>(roots.begin(), roots.end() - 1));
    }
    for (const CPtr<CPGameObject>& root : roots) {
        host.StaticBatcher().AddTree(root);
    }
    render.AddLine(0xFFFF0000u, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 2));
    render.SetFade(fade);
    const std::string dump = host.DumpFrame(1.0f / 60.0f);
    std::fwrite(dump.data(), 1, dump.size(), stdout);

    // Nodes go before their render objects; the layer lets go of the camera first.
    render.Layers.clear();
    host.DynamicBatcher().ForgetStatic();
    roots.clear();
    for (auto& node : nodes) {
        node->RenderObject = nullptr;
    }
    nodes.clear();
    objects.clear();
    return 0;
}
