// Cost of the scene graph's per-frame work: re-placing a tree of about 10 000 nodes after its
// root moved, finding nodes by name in it, and culling 10 000 boxes against a camera. Each runs
// against a plain baseline doing the same work in the same program (x_baseline = engine /
// baseline); items are nodes or boxes, so items_per_second is nodes per second.
#include "bench/BaselineRatio.h"
#include "core/CPBox.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPGameObject.h"
#include "scene/CPPerspectiveCamera.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// Root plus four levels of ten: 11 111 nodes.
constexpr int kFanOut = 10;
constexpr int kDepth = 4;

float Unit() { return static_cast<float>(CrtRand()) / static_cast<float>(CRT_RAND_MAX); }

D3DXQUATERNION RandomTurn() {
    D3DXQUATERNION q;
    const D3DXVECTOR3 axis(0, 0, 1);
    D3DXQuaternionRotationAxis(&q, &axis, Unit() * 6.28f);
    return q;
}

// The engine's tree; nodes are owned here and deleted leaves first.
struct SceneTree {
    std::vector<std::unique_ptr<CPGameObject>> nodes;  // pre-order
    CPGameObject* root = nullptr;

    SceneTree() {
        CrtSrand(11);
        root = Add("root", nullptr, 0);
        Grow(root, 1);
        root->UpdateTransform();
    }
    ~SceneTree() {
        for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) it->reset();
    }
    CPGameObject* Add(const std::string& name, CPGameObject* parent, int level) {
        nodes.push_back(std::make_unique<CPGameObject>(name));
        CPGameObject* node = nodes.back().get();
        node->SetPosition(D3DXVECTOR3(Unit() * 10 - 5, Unit() * 10 - 5, Unit()));
        node->SetOrientation(RandomTurn());
        CPBox box(D3DXVECTOR3(0, 0, 0.5f), D3DXVECTOR3(0.5f + Unit(), 0.5f + Unit(), 0.5f));
        node->SetBounds(box);
        if (level == kDepth) {
            node->CollisionBoxes.push_back(box);
        }
        if (parent != nullptr) parent->AddChild(node);
        return node;
    }
    void Grow(CPGameObject* parent, int level) {
        if (level > kDepth) return;
        for (int i = 0; i < kFanOut; ++i) {
            Grow(Add(parent->Name + "_" + std::to_string(i), parent, level), level + 1);
        }
    }
};

// The same tree as plain records in pre-order: what any engine must compute per node.
struct PlainNode {
    int parent;
    D3DXVECTOR3 position;
    D3DXQUATERNION orientation;
    D3DXMATRIX world;
    CPBox box{D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0)};
    CPBox collision{D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0)};
    bool hasCollision;
    D3DXVECTOR3 min, max, collisionMin, collisionMax;
};

std::vector<PlainNode> Flatten(const SceneTree& tree) {
    std::vector<PlainNode> plain;
    std::unordered_map<const CPGameObject*, int> index;
    plain.reserve(tree.nodes.size());
    for (const auto& node : tree.nodes) {
        PlainNode p;
        p.parent = node->Parent != nullptr ? index.at(node->Parent) : -1;
        index[node.get()] = static_cast<int>(plain.size());
        p.position = node->Position;
        p.orientation = node->Orientation;
        p.box = node->Box;
        p.hasCollision = !node->CollisionBoxes.empty();
        if (p.hasCollision) p.collision = node->CollisionBoxes.front();
        plain.push_back(p);
    }
    return plain;
}

void PlainUpdate(std::vector<PlainNode>& nodes) {
    const D3DXVECTOR3 emptyMin(1e6f, 1e6f, 1e6f), emptyMax(-1e6f, -1e6f, -1e6f);
    for (PlainNode& n : nodes) {  // parents come before children
        D3DXMATRIX rotation, translation, local;
        D3DXMatrixRotationQuaternion(&rotation, &n.orientation);
        D3DXMatrixTranslation(&translation, n.position.x, n.position.y, n.position.z);
        D3DXMatrixMultiply(&local, &rotation, &translation);
        if (n.parent >= 0) {
            D3DXMatrixMultiply(&n.world, &local, &nodes[n.parent].world);
        } else {
            n.world = local;
        }
        // Each box has its own placement in the node, as the engine's boxes do.
        D3DXMatrixMultiply(&n.box.World, &n.box.Local, &n.world);
        n.box.Update();
        n.min = n.box.Min;
        n.max = n.box.Max;
        n.collisionMin = emptyMin;
        n.collisionMax = emptyMax;
        if (n.hasCollision) {
            D3DXMatrixMultiply(&n.collision.World, &n.collision.Local, &n.world);
            n.collision.Update();
            n.collisionMin = n.collision.Min;
            n.collisionMax = n.collision.Max;
        }
    }
    for (size_t i = nodes.size(); i-- > 1;) {  // children after parents: merge upwards
        PlainNode& n = nodes[i];
        PlainNode& p = nodes[n.parent];
        D3DXVec3Minimize(&p.min, &p.min, &n.min);
        D3DXVec3Maximize(&p.max, &p.max, &n.max);
        D3DXVec3Minimize(&p.collisionMin, &p.collisionMin, &n.collisionMin);
        D3DXVec3Maximize(&p.collisionMax, &p.collisionMax, &n.collisionMax);
    }
}

void BM_UpdateTransformAfterRootMove(benchmark::State& state) {
    ShadowMatrix = D3DXMATRIX();
    SceneTree tree;
    std::vector<PlainNode> plain = Flatten(tree);
    float x = 0;
    RunAgainstBaseline(
        state,
        [&] {
            tree.root->SetPosition(D3DXVECTOR3(x += 0.01f, 0, 0));
            tree.root->UpdateTransform();
        },
        [&] {
            plain[0].position.x = x;
            PlainUpdate(plain);
        });
    benchmark::DoNotOptimize(plain.back().world);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(tree.nodes.size()));
    state.counters["nodes"] = static_cast<double>(tree.nodes.size());
}
BENCHMARK(BM_UpdateTransformAfterRootMove)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The same nodes searched by plain code: depth first, each node's children compared by name in
// order before any is searched. A tree of names alone would be a sixteenth of the memory the
// scene's nodes take, and the search is bound by reading them.
const CPGameObject* PlainFind(const CPGameObject& node, const std::string& name) {
    for (const CPtr<CPGameObject>& child : node.Children) {
        if (child->Name == name) return child.Get();
    }
    for (const CPtr<CPGameObject>& child : node.Children) {
        if (const CPGameObject* found = PlainFind(*child, name)) return found;
    }
    return nullptr;
}

// Lookups of random nodes at every depth; each counts the nodes the search may visit.
void BM_FindChild(benchmark::State& state) {
    SceneTree tree;
    CrtSrand(3);
    std::vector<std::string> names;
    for (int i = 0; i < 64; ++i) names.push_back(tree.nodes[CrtRand() % tree.nodes.size()]->Name);
    names.push_back("missing");
    size_t found = 0;
    RunAgainstBaseline(
        state,
        [&] {
            for (const std::string& name : names) found += tree.root->FindChild(name) != nullptr;
        },
        [&] {
            for (const std::string& name : names) found += PlainFind(*tree.root, name) != nullptr;
        });
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
}
BENCHMARK(BM_FindChild)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The literal test: all eight corners against each plane in turn.
bool PlainIsBoxVisible(const D3DXPLANE (&planes)[6], const D3DXVECTOR3& lo, const D3DXVECTOR3& hi) {
    const D3DXVECTOR3 corners[8] = {{lo.x, lo.y, lo.z}, {lo.x, hi.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, lo.y, lo.z},
                                    {lo.x, lo.y, hi.z}, {lo.x, hi.y, hi.z}, {hi.x, hi.y, hi.z}, {hi.x, lo.y, hi.z}};
    for (const D3DXPLANE& p : planes) {
        bool inside = false;
        for (const D3DXVECTOR3& c : corners) {
            if (p.a * c.x + p.b * c.y + p.c * c.z + p.d > 0.0f) {
                inside = true;
                break;
            }
        }
        if (!inside) return false;
    }
    return true;
}

void BM_IsBoxVisible(benchmark::State& state) {
    CPPerspectiveCamera camera;
    camera.Fov = 1.2217305f;
    camera.Near = 1.0f;
    camera.Far = 1000.0f;
    camera.Position = D3DXVECTOR3(0, 0, 2);
    camera.Target = D3DXVECTOR3(1, 0.3f, 2);
    camera.Up = D3DXVECTOR3(0, 0, 1);
    camera.ViewDirty = camera.ProjectionDirty = true;
    camera.Update();
    CrtSrand(5);
    std::vector<std::pair<D3DXVECTOR3, D3DXVECTOR3>> boxes;
    for (int i = 0; i < 10000; ++i) {
        const D3DXVECTOR3 lo(Unit() * 1200 - 600, Unit() * 1200 - 600, Unit() * 10);
        boxes.emplace_back(lo, lo + D3DXVECTOR3(1 + Unit() * 4, 1 + Unit() * 4, 1 + Unit() * 4));
    }
    int visible = 0;
    RunAgainstBaseline(
        state,
        [&] {
            for (const auto& [lo, hi] : boxes) visible += camera.IsBoxVisible(lo, hi);
        },
        [&] {
            for (const auto& [lo, hi] : boxes) visible += PlainIsBoxVisible(camera.Planes, lo, hi);
        });
    benchmark::DoNotOptimize(visible);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(boxes.size()));
}
BENCHMARK(BM_IsBoxVisible)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
