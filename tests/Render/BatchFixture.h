// The render fixture with the two batchers set in the renderer as the host sets them, two
// materials, and small scenes of mesh, sprite and light nodes built and deleted by the test.
#pragma once

#include "RenderFixture.h"

#include "Render/CPRenderBatcher.h"
#include "Render/CPRenderObject.h"
#include "Render/CPSprite.h"
#include "scene/CPGameObject.h"
#include "scene/CPLight.h"
#include "scene/CPPerspectiveCamera.h"
#include "scene/MainView.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace RenderFixtures {

class BatchTest : public RenderTest {
protected:
    // Ring sizes small enough to overflow in a test.
    static constexpr uint32_t RingVertices = 256;
    static constexpr uint32_t RingIndices = 768;

    void SetUp() override {
        RenderTest::SetUp();
        WriteEffect("stone.fx", "texture tex0;\nfloat time;");
        WriteEffect("glow.fx", "texture tex0;");
        WriteTexture("stone.tga");
        WriteTexture("glow.tga");
        stone = materials->GetMaterial("stone.fx", {"stone.tga"}, 0).Get();
        glow = materials->GetMaterial("glow.fx", {"glow.tga"}, 0).Get();
        frameBatcher = std::make_unique<CPRenderBatcher>(2, RingVertices, RingIndices);
        levelBatcher = std::make_unique<CPRenderBatcher>(1, RingVertices, RingIndices);
        render->StaticBatcher = frameBatcher.get();
        render->DynamicBatcher = levelBatcher.get();
        FrameNumber = 1;
    }

    void TearDown() override {
        MainView = nullptr;
        FrameNumber = 0;
        render->StaticBatcher = nullptr;
        render->DynamicBatcher = nullptr;
        // Blocks still holding objects let go of them before the objects go.
        frameBatcher->EndFrame();
        levelBatcher->EndFrame();
        levelBatcher->ForgetStatic();
        for (auto& node : nodes) {
            node->LodLevels.clear();
        }
        // Children first (they leave their parents), then the render objects.
        for (auto node = nodes.rbegin(); node != nodes.rend(); ++node) {
            (*node)->RenderObject = nullptr;
            node->reset();
        }
        nodes.clear();
        objects.clear();
        frameBatcher.reset();
        levelBatcher.reset();
        RenderTest::TearDown();
    }

    CPGameObject* Node(const std::string& name, int32_t kind, CPGameObject* parent = nullptr) {
        nodes.push_back(std::make_unique<CPGameObject>(name));
        CPGameObject* node = nodes.back().get();
        node->RenderKind = kind;
        if (parent != nullptr) {
            parent->AddChild(node);
        }
        return node;
    }

    // A mesh node of vertexCount vertices (a fan of triangles: vertexCount - 2 of them) at x.
    CPGameObject* Mesh(const std::string& name, CPMaterial* material, int vertexCount, float x = 0.0f,
                       CPGameObject* parent = nullptr) {
        CPGameObject* node = Node(name, CPGameObject::RenderMesh, parent);
        auto mesh = std::make_unique<CPRenderObject>(node);
        for (int i = 0; i < vertexCount; ++i) {
            CPVertex v;
            v.Position = D3DXVECTOR3(x + static_cast<float>(i % 2), static_cast<float>(i / 2), 0.0f);
            v.Diffuse = 0xFFFFFFFFu;
            mesh->Vertices.push_back(v);
        }
        for (int i = 1; i + 1 < vertexCount; ++i) {
            mesh->Indices.insert(mesh->Indices.end(),
                                 {0, static_cast<uint16_t>(i), static_cast<uint16_t>(i + 1)});
        }
        mesh->WorldVertices = mesh->Vertices;
        mesh->Material = material;
        node->RenderObject = mesh.get();
        objects.push_back(std::move(mesh));
        return node;
    }

    CPRenderObject* MeshOf(CPGameObject* node) { return dynamic_cast<CPRenderObject*>(node->RenderObject.Get()); }

    // A three-vertex mesh node with a unit box, casting no shadow, at position.
    CPGameObject* Placed(const std::string& name, CPMaterial* material, const D3DXVECTOR3& position) {
        CPGameObject* node = Mesh(name, material, 3);
        node->SetBounds(CPBox(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1)));
        node->CastShadow = false;
        node->SetPosition(position);
        node->UpdateTransform();
        return node;
    }

    // How often the mesh of node (or of its first child) is in this frame's block of the material.
    size_t Drawn(CPMaterial* material, CPGameObject* node) {
        CPGameObject* meshNode = node->RenderObject ? node : node->Children.front().Get();
        const auto block = frameBatcher->FrameBlocks.find(material);
        if (block == frameBatcher->FrameBlocks.end()) return 0;
        return static_cast<size_t>(std::count(block->second->Objects.begin(), block->second->Objects.end(),
                                              CPtr<CPRenderable>(MeshOf(meshNode))));
    }

    CPGameObject* Light(const std::string& name, D3DLIGHTTYPE type, CPGameObject* parent = nullptr) {
        CPGameObject* node = Node(name, CPGameObject::RenderLight, parent);
        auto light = std::make_unique<CPLight>();
        light->Light.Type = type;
        light->Light.Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 1.0f};
        light->Light.Direction = D3DVECTOR{0.0f, 0.0f, -1.0f};
        light->Light.Range = 10.0f;
        light->SetOwner(node);
        node->RenderObject = light.get();
        objects.push_back(std::move(light));
        return node;
    }

    CPGameObject* Sprite(const std::string& name, CPMaterial* material, CPGameObject* parent = nullptr) {
        CPGameObject* node = Node(name, CPGameObject::RenderSprite, parent);
        auto sprite = std::make_unique<CPSprite>(0.5f);
        sprite->SetOwner(node);
        sprite->Material = material;
        node->RenderObject = sprite.get();
        objects.push_back(std::move(sprite));
        return node;
    }

    // A perspective camera at eye looking at target, z up, 70 degrees, 1 to 1000.
    static void Aim(CPPerspectiveCamera& camera, const D3DXVECTOR3& eye, const D3DXVECTOR3& target) {
        camera.Position = eye;
        camera.Target = target;
        camera.Up = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
        camera.Fov = 1.2217305f;
        camera.Near = 1.0f;
        camera.Far = 1000.0f;
        camera.ViewDirty = true;
        camera.ProjectionDirty = true;
        camera.Update();
    }

    CPMaterial* stone = nullptr;
    CPMaterial* glow = nullptr;
    std::unique_ptr<CPRenderBatcher> frameBatcher;
    std::unique_ptr<CPRenderBatcher> levelBatcher;
    std::vector<std::unique_ptr<CPGameObject>> nodes;
    std::vector<std::unique_ptr<CPObject>> objects;
};

}  // namespace RenderFixtures
