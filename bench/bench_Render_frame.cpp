// One frame of a level of 2 000 static boxes (24 vertices, 36 indices each) with 40
// materials, their meshes written into the level's ring at load, in three views named by what
// they draw:
// - QuadtreeNearSide: the quadtree walk (depth 4, "distance" 200) from a camera at one side
//   looking across; the near visible boxes (440) go to the static batcher and are drawn;
// - QuadtreeWholeLevel: the same walk from a camera high above the middle that sees every box
//   ("distance" 1000): all 2 000 pass the walk and are drawn;
// - NoCulling: every box handed to the batcher without a walk, all 2 000 drawn.
// Against a plain frame that does the same work from the objects the view draws, taken in the
// order the walk meets them (the walk itself is left to the engine): each object's mesh put
// with the others of its material, their indices copied into the frame's index buffer with
// their base vertex, and the device work of the frame: the camera's transforms, the light
// table switched off, then per material the world transform and one draw from the level's
// buffer through every pass of its effect. The device is the recording stand-in, whose call
// log is emptied every frame. The counters give the boxes drawn ("drawn") and drawn per
// millisecond of the engine's frame.
#include "bench/BaselineRatio.h"

#include "Render/CPEffectManager.h"
#include "Render/CPMaterialManager.h"
#include "Render/CPQuadTreeNode.h"
#include "Render/CPRender.h"
#include "Render/CPRenderBatcher.h"
#include "Render/CPRenderFrame.h"
#include "Render/CPRenderObject.h"
#include "Render/CPTextureManager.h"
#include "core/ConfigVars.h"
#include "platform/d3d9/D3D9Device.h"
#include "platform/files/HostFiles.h"
#include "scene/CPGameObject.h"
#include "scene/CPPerspectiveCamera.h"
#include "tests/TempFolder.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

constexpr int ObjectCount = 2000;
constexpr int MaterialCount = 40;
constexpr float LevelSize = 400.0f;

// A box of 24 vertices (4 per face) and 36 indices around the origin, half size 1.
void MakeBox(CPRenderObject& mesh) {
    static const float faces[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int f = 0; f < 6; ++f) {
        const D3DXVECTOR3 n(faces[f][0], faces[f][1], faces[f][2]);
        const D3DXVECTOR3 u(n.y + n.z, n.z + n.x, n.x + n.y);
        const D3DXVECTOR3 v(n.z, n.x, n.y);
        const auto first = static_cast<uint16_t>(mesh.Vertices.size());
        for (int k = 0; k < 4; ++k) {
            CPVertex vertex;
            vertex.Position = n + u * ((k & 1) != 0 ? 1.0f : -1.0f) + v * ((k & 2) != 0 ? 1.0f : -1.0f);
            vertex.Normal = n;
            vertex.Diffuse = 0xFFFFFFFFu;
            mesh.Vertices.push_back(vertex);
        }
        mesh.Indices.insert(mesh.Indices.end(), {first, static_cast<uint16_t>(first + 1), static_cast<uint16_t>(first + 2),
                                                 static_cast<uint16_t>(first + 2), static_cast<uint16_t>(first + 1),
                                                 static_cast<uint16_t>(first + 3)});
    }
}

class Level {
public:
    Level() {
        // Names are appended piece by piece: GCC 12 warns falsely (-Wrestrict) on
        // "literal" + std::string.
        for (int m = 0; m < MaterialCount; ++m) {
            const std::string name = std::string("m").append(std::to_string(m)) + ".fx";
            folder.Write(std::filesystem::path("Data") / "Effects" / name,
                         "texture tex0;\nfloat time;\ntechnique T { pass P { ZEnable = true; } }\n");
        }
        HostFiles::ClearCache();
        Cfg::ResetDefaults();
        Cfg::quadlevels = 4;
        Cfg::distance = 200;

        device = D3D9RecordingDevice::Create();
        render = std::make_unique<CPRender>();
        render->Device = device;
        CPRender::Instance = render.get();
        D3DXCreateEffectPool(&pool);
        effects = std::make_unique<CPEffectManager>();
        effects->Pool = pool;
        CPEffectManager::Instance = effects.get();
        textures = std::make_unique<CPTextureManager>();
        CPTextureManager::Instance = textures.get();
        materials = std::make_unique<CPMaterialManager>();
        CPMaterialManager::Instance = materials.get();
        frameBatcher = std::make_unique<CPRenderBatcher>(2, 65536, 3 * 65536);
        levelBatcher = std::make_unique<CPRenderBatcher>(1, 65536, 3 * 65536);
        render->StaticBatcher = frameBatcher.get();
        render->DynamicBatcher = levelBatcher.get();
        frame = std::make_unique<CPRenderFrame>(*render);

        std::vector<CPMaterial*> palette;
        for (int m = 0; m < MaterialCount; ++m) {
            palette.push_back(materials->GetMaterial(std::string("m").append(std::to_string(m)) + ".fx", {}, 0).Get());
        }
        // A grid of 45 x 45 places, the first 2 000 taken, materials in turn.
        const int side = 45;
        const float step = LevelSize / side;
        for (int i = 0; i < ObjectCount; ++i) {
            auto node = std::make_unique<CPGameObject>("box" + std::to_string(i));
            node->RenderKind = CPGameObject::RenderMesh;
            auto mesh = std::make_unique<CPRenderObject>(node.get());
            MakeBox(*mesh);
            const D3DXVECTOR3 place(-LevelSize / 2 + step * (i % side + 0.5f), -LevelSize / 2 + step * (i / side + 0.5f), 0);
            D3DXMATRIX at;
            D3DXMatrixTranslation(&at, place.x, place.y, place.z);
            mesh->TransformVertices(at);  // the level pre-transforms static geometry
            mesh->WorldVertices = mesh->Vertices;
            mesh->Material = palette[static_cast<size_t>(i % MaterialCount)];
            node->RenderObject = mesh.get();
            node->SetBounds(CPBox(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1)));
            node->SetPosition(place);
            node->UpdateTransform();
            node->TransformUpdated = false;  // the baked vertices are its world vertices
            roots.emplace_back(node.get());
            nodes.push_back(std::move(node));
            meshes.push_back(std::move(mesh));
        }
        levelBatcher->FillStatic(roots);
        tree.SetBounds(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(LevelSize / 2, LevelSize / 2, 100.0f));
        std::vector<CPtr<CPGameObject>> all = roots;
        tree.Build(all, 0);

        camera.Position = D3DXVECTOR3(0.0f, -LevelSize / 2 - 10.0f, 15.0f);
        camera.Target = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        camera.Up = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
        camera.Fov = 1.2217305f;
        camera.Near = 1.0f;
        camera.Far = 1000.0f;
        camera.ViewDirty = camera.ProjectionDirty = true;
        camera.Update();
        render->SetLayerCamera(16, &camera);
    }

    ~Level() {
        render->Layers.clear();
        frame.reset();
        render->StaticBatcher = nullptr;
        render->DynamicBatcher = nullptr;
        frameBatcher->EndFrame();
        levelBatcher->ForgetStatic();
        tree.Objects.clear();
        for (auto& child : tree.Children) {
            child.reset();
        }
        roots.clear();
        for (auto& node : nodes) {
            node->RenderObject = nullptr;
        }
        nodes.clear();
        meshes.clear();
        frameBatcher.reset();
        levelBatcher.reset();
        materials.reset();
        CPMaterialManager::Instance = nullptr;
        textures.reset();
        CPTextureManager::Instance = nullptr;
        effects.reset();
        CPEffectManager::Instance = nullptr;
        render.reset();
        CPRender::Instance = nullptr;
        SafeRelease(pool);
        device->Release();
        HostFiles::ClearCache();
        Cfg::ResetDefaults();
    }

    // The camera high above the middle, looking down, with the reach set to take in the
    // whole level.
    void LookFromAbove() {
        Cfg::distance = 1000;
        camera.Position = D3DXVECTOR3(0.0f, -1.0f, 400.0f);
        camera.Target = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        camera.ViewDirty = camera.ProjectionDirty = true;
        camera.Update();
    }

    // One frame through the quadtree (cull) or with every object handed over.
    int Frame(bool cull) {
        device->ClearCalls();
        if (cull) {
            tree.Visit(&camera);
        } else {
            for (const CPtr<CPGameObject>& root : roots) {
                frameBatcher->AddTree(root);
            }
        }
        frame->Draw(0.016f);
        return frame->Last.Objects;
    }

    // The plain frame: the given objects put together by material and drawn from the level's
    // buffer.
    void Plain(const std::vector<CPGameObject*>& drawn) {
        device->ClearCalls();
        for (std::vector<CPRenderObject*>& group : groups) {
            group.clear();
        }
        order.clear();
        for (CPGameObject* node : drawn) {
            auto* mesh = static_cast<CPRenderObject*>(node->RenderObject.Get());
            const auto [at, fresh] = slots.try_emplace(mesh->Material.Get(), groups.size());
            if (fresh) {
                groups.emplace_back();
                groupMaterials.push_back(mesh->Material.Get());
            }
            std::vector<CPRenderObject*>& group = groups[at->second];
            if (group.empty()) {
                order.push_back(at->second);
            }
            group.push_back(mesh);
        }

        CPIVertexBuffer& ring = *frameBatcher->VertexRing;
        CPIVertexBuffer& level = *levelBatcher->VertexRing;
        ring.Forget();
        ring.Lock(0, 0, true, -1);
        const int slot = ring.Current;
        ranges.clear();
        for (const size_t group : order) {
            const uint32_t first = ring.IndicesWritten;
            for (CPRenderObject* mesh : groups[group]) {
                const uint32_t base = level.Written.find(mesh)->second;
                uint16_t* out = ring.IndexCursor;
                for (size_t k = 0; k < mesh->Indices.size(); ++k) {
                    out[k] = static_cast<uint16_t>(mesh->Indices[k] + base);
                }
                ring.IndexCursor += mesh->Indices.size();
                ring.IndicesWritten += static_cast<uint32_t>(mesh->Indices.size());
            }
            ranges.emplace_back(first, ring.IndicesWritten - first);
        }
        ring.Unlock(true);
        device->BeginScene();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        device->SetTransform(D3DTS_VIEW, &camera.View);
        device->SetTransform(D3DTS_PROJECTION, &camera.Projection);
        device->SetTransform(D3DTS_WORLD, &identity);
        for (DWORD light = 0; light < 30; ++light) {
            device->LightEnable(light, FALSE);
        }
        device->SetFVF(CPVertexFVF);
        for (size_t k = 0; k < order.size(); ++k) {
            const auto [first, count] = ranges[k];
            if (count == 0) {
                continue;
            }
            device->SetTransform(D3DTS_WORLD, &identity);
            ID3DXEffect* effect = groupMaterials[order[k]]->Effect->Effect;
            effect->SetTexture("tex0", nullptr);
            effect->SetFloat("time", 0.016f);
            UINT passes = 0;
            effect->Begin(&passes, 0);
            for (UINT pass = 0; pass < passes; ++pass) {
                effect->BeginPass(pass);
                device->SetStreamSource(0, level.VertexBuffers[0], 0, sizeof(CPVertex));
                device->SetIndices(ring.IndexBuffers[static_cast<size_t>(slot)]);
                device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, level.WriteVertex, first, count / 3);
                effect->EndPass();
            }
            effect->End();
        }
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }

    // The objects a frame draws, in the order the walk (or the list of roots) hands them over.
    std::vector<CPGameObject*> Visible(bool cull) {
        std::vector<CPGameObject*> out;
        if (!cull) {
            for (const CPtr<CPGameObject>& root : roots) {
                out.push_back(root.Get());
            }
            return out;
        }
        tree.Visit(&camera);
        std::unordered_set<CPGameObject*> drawn;
        for (CPMaterial* material : frameBatcher->FrameOrder) {
            for (auto& object : frameBatcher->FrameBlocks[material]->Objects) {
                drawn.insert(static_cast<CPRenderObject*>(object.Get())->Owner);
            }
        }
        frameBatcher->EndFrame();
        TreeOrder(tree, drawn, out);
        return out;
    }

    // The walk meets the objects of the leaves it enters, leaf by leaf in the order of the tree.
    static void TreeOrder(const CPQuadTreeNode& node, const std::unordered_set<CPGameObject*>& drawn,
                          std::vector<CPGameObject*>& out) {
        for (const auto& child : node.Children) {
            if (child) {
                TreeOrder(*child, drawn, out);
            }
        }
        for (const CPtr<CPGameObject>& object : node.Objects) {
            if (drawn.count(object.Get()) != 0) {
                out.push_back(object.Get());
            }
        }
    }

    TempFolder folder{TempFolder::ForProcess("bench_render_frame")};
    D3D9RecordingDevice* device = nullptr;
    ID3DXEffectPool* pool = nullptr;
    std::unique_ptr<CPRender> render;
    std::unique_ptr<CPEffectManager> effects;
    std::unique_ptr<CPTextureManager> textures;
    std::unique_ptr<CPMaterialManager> materials;
    std::unique_ptr<CPRenderBatcher> frameBatcher;
    std::unique_ptr<CPRenderBatcher> levelBatcher;
    std::unique_ptr<CPRenderFrame> frame;
    std::vector<std::unique_ptr<CPGameObject>> nodes;
    std::vector<std::unique_ptr<CPRenderObject>> meshes;
    std::vector<CPtr<CPGameObject>> roots;
    CPQuadTreeNode tree;
    CPPerspectiveCamera camera;
    // The plain frame's own state, kept for its capacity: the group of each material met so
    // far, the groups met this frame in order, and their index ranges.
    std::unordered_map<CPMaterial*, size_t> slots;
    std::vector<CPMaterial*> groupMaterials;
    std::vector<std::vector<CPRenderObject*>> groups;
    std::vector<size_t> order;
    std::vector<std::pair<uint32_t, uint32_t>> ranges;  // first index, count
};

enum class View { QuadtreeNearSide, QuadtreeWholeLevel, NoCulling };

void LevelFrame(benchmark::State& state, View view) {
    const bool cull = view != View::NoCulling;
    Level level;
    if (view == View::QuadtreeWholeLevel) {
        level.LookFromAbove();
    }
    const std::vector<CPGameObject*> visible = level.Visible(cull);
    int drawn = 0;
    double engineSeconds = 0.0;
    RunAgainstBaseline(
        state,
        [&] {
            const int64_t start = baseline_ratio::CpuNanoseconds();
            drawn = level.Frame(cull);
            engineSeconds += static_cast<double>(baseline_ratio::CpuNanoseconds() - start) * 1e-9;
        },
        [&] { level.Plain(visible); });
    state.counters["drawn"] = drawn;
    if (engineSeconds > 0.0) {
        state.counters["drawn_per_ms"] =
            static_cast<double>(drawn) * static_cast<double>(state.iterations()) / (engineSeconds * 1000.0);
    }
}

void BM_LevelFrame_QuadtreeNearSide(benchmark::State& state) { LevelFrame(state, View::QuadtreeNearSide); }
void BM_LevelFrame_QuadtreeWholeLevel(benchmark::State& state) { LevelFrame(state, View::QuadtreeWholeLevel); }
void BM_LevelFrame_NoCulling(benchmark::State& state) { LevelFrame(state, View::NoCulling); }

}  // namespace

BENCHMARK(BM_LevelFrame_QuadtreeNearSide)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LevelFrame_QuadtreeWholeLevel)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LevelFrame_NoCulling)->UseManualTime()->Unit(benchmark::kMicrosecond);
