// Cost of CopyFrom on a car tree of 200 nodes: a root with physics, four hull boxes and an
// XML description, 40 mesh parts of 150 vertices each, two sprites, two lights and the rest
// groups with a collision box; the copy is freed again in each iteration. The baseline copies
// the same data as plain records (vectors of vertices, boxes, names, matrices, the document)
// into a tree of its own, places its boxes and bounds as a copy must, and frees it (x_baseline = engine / baseline; items are nodes).
#include "Render/CPRenderFactory.h"
#include "Render/CPRenderObject.h"
#include "Render/CPSprite.h"
#include "bench/BaselineRatio.h"
#include "core/CPBoundingBox.h"
#include "core/CPBox.h"
#include "scene/CPGameObject.h"
#include "scene/CPLight.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kNodes = 200;
constexpr int kMeshes = 40;
constexpr int kVertices = 150;

CPGameObject* BuildCar() {
    auto* root = new CPGameObject("car");
    root->RenderKind = CPGameObject::RenderGroup;
    root->XmlDocument.Parse("<car><engine power=\"100\" gears=\"5\"/><camera distance=\"7\" height=\"2\"/></car>");
    root->Physics = new CPPhysicData(root);
    root->Physics->SetShape(2, 1, 4, 100);
    for (int b = 0; b < 4; ++b) {
        CPBox box(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 0.5f, 0.5f));
        D3DXMatrixTranslation(&box.Local, 0, b - 1.5f, 0.5f);
        root->CollisionBoxes.push_back(box);
    }
    std::vector<CPGameObject*> parents = {root};
    for (int i = 1; i < kNodes; ++i) {
        auto* node = new CPGameObject("part" + std::to_string(i));
        node->SetPosition(D3DXVECTOR3(0.01f * i, 0, 0.1f));
        if (i <= kMeshes) {
            node->RenderKind = CPGameObject::RenderMesh;
            auto* mesh = new CPRenderObject(node);
            mesh->Vertices.resize(kVertices);
            for (int v = 0; v < kVertices; ++v) mesh->Vertices[v].Position = D3DXVECTOR3(v * 0.01f, 0, 0);
            mesh->Indices.resize(kVertices * 3 / 2);
            node->RenderObject = mesh;
        } else if (i <= kMeshes + 2) {
            node->RenderKind = CPGameObject::RenderSprite;
            auto* sprite = new CPSprite(0.3f);
            sprite->SetOwner(node);
            node->RenderObject = sprite;
        } else if (i <= kMeshes + 4) {
            node->RenderKind = CPGameObject::RenderLight;
            auto* light = new CPLight;
            light->SetOwner(node);
            node->RenderObject = light;
        } else {
            node->RenderKind = CPGameObject::RenderGroup;
            node->CollisionBoxes.push_back(CPBox(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0.2f, 0.2f, 0.2f)));
        }
        parents[static_cast<size_t>(i) % parents.size()]->AddChild(node);
        if (i % 10 == 0) parents.push_back(node);
    }
    root->UpdateTransform();
    return root;
}

void DeleteTree(CPGameObject* root) {
    std::vector<CPtr<CPGameObject>> tree;
    root->CollectTree(tree);
    std::vector<CPGameObject*> nodes;
    for (const auto& node : tree) nodes.push_back(node.Get());
    tree.clear();
    for (CPGameObject* node : nodes) {
        CPObject* renderObject = node->RenderObject.Get();
        CPObject* physics = node->Physics.Get();
        node->RenderObject = nullptr;
        node->Physics = nullptr;
        delete renderObject;
        delete physics;
    }
    for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) delete *it;
}

// What a copy has to carry, as plain records.
struct PlainNode {
    std::string name;
    D3DXVECTOR3 position;
    D3DXQUATERNION orientation;
    D3DXMATRIX parent, local, world;
    CPBox box{D3DXVECTOR3(), D3DXVECTOR3()};
    std::vector<CPBox> boxes;
    CPBoundingBox bounds, collisionBounds;
    std::vector<CPVertex> vertices;
    std::vector<uint16_t> indices;
    std::unique_ptr<TiXmlDocument> document;
    std::vector<std::unique_ptr<PlainNode>> children;
};

std::unique_ptr<PlainNode> ToPlain(const CPGameObject& node) {
    auto plain = std::make_unique<PlainNode>();
    plain->name = node.Name;
    plain->position = node.Position;
    plain->orientation = node.Orientation;
    plain->world = node.WorldMatrix;
    plain->box = node.Box;
    plain->boxes = node.CollisionBoxes;
    if (auto* mesh = dynamic_cast<CPRenderObject*>(node.RenderObject.Get())) {
        plain->vertices = mesh->Vertices;
        plain->indices = mesh->Indices;
    }
    if (node.XmlDocument.RootElement() != nullptr) plain->document = std::make_unique<TiXmlDocument>(node.XmlDocument);
    for (const auto& child : node.Children) plain->children.push_back(ToPlain(*child));
    return plain;
}

std::unique_ptr<PlainNode> CopyPlain(const PlainNode& from, const D3DXMATRIX& parentWorld) {
    auto to = std::make_unique<PlainNode>();
    to->name = from.name;
    to->position = from.position;
    to->orientation = from.orientation;
    to->parent = parentWorld;
    to->box = from.box;
    to->boxes = from.boxes;
    to->vertices = from.vertices;
    to->indices = from.indices;
    if (from.document != nullptr) to->document = std::make_unique<TiXmlDocument>(*from.document);
    // The placement a copy recomputes: local matrix, world matrix, boxes.
    D3DXMATRIX rotation, translation;
    D3DXMatrixRotationQuaternion(&rotation, &to->orientation);
    D3DXMatrixTranslation(&translation, to->position.x, to->position.y, to->position.z);
    D3DXMatrixMultiply(&to->local, &rotation, &translation);
    D3DXMatrixMultiply(&to->world, &to->local, &to->parent);
    for (CPBox& box : to->boxes) {
        D3DXMatrixMultiply(&box.World, &box.Local, &to->world);
        box.Update();
    }
    D3DXMatrixMultiply(&to->box.World, &to->box.Local, &to->world);
    to->box.Update();
    to->bounds.FromBox(to->box);
    to->collisionBounds.FromBoxes(to->boxes);
    for (const auto& child : from.children) {
        to->children.push_back(CopyPlain(*child, to->world));
        to->collisionBounds.Merge(to->children.back()->collisionBounds);
        to->bounds.Include(to->children.back()->bounds);
    }
    to->bounds.UpdateCentre();
    return to;
}

void BM_CopyCarTree(benchmark::State& state) {
    CPRenderFactory::Install();
    CPGameObject* car = BuildCar();
    const std::unique_ptr<PlainNode> plain = ToPlain(*car);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    RunAgainstBaseline(
        state,
        [&] {
            auto* copy = new CPGameObject(car->Name);
            copy->CopyFrom(car);
            benchmark::DoNotOptimize(copy->WorldMatrix);
            DeleteTree(copy);
        },
        [&] {
            std::unique_ptr<PlainNode> copy = CopyPlain(*plain, identity);
            benchmark::DoNotOptimize(copy->world);
        });
    DeleteTree(car);
    state.SetItemsProcessed(state.iterations() * kNodes);
    state.counters["nodes"] = kNodes;
}
BENCHMARK(BM_CopyCarTree)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
