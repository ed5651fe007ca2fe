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
#include <cmath>
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

// The same tree as plain records in pre-order: what any engine must compute per node, in
// plain code. A node's world matrix (rotation rows and translation, affine) from its
// orientation and position times its parent's; its box placed by the box's own matrix (a
// product only when that is not the identity) and its world bounds taken from the placed
// centre and the absolute axes; likewise its collision box; then each node's bounds and
// collision bounds merged upwards over its subtree.
struct PlainNode {
    int parent;
    float position[3];
    float orientation[4];  // x, y, z, w
    float world[4][3];
    struct Box {
        float centre[3], half[3];
        bool localIdentity;
        float local[4][3];
        float world[4][3];
        float min[3], max[3];
    };
    Box box, collision;
    bool hasCollision;
    float min[3], max[3], collisionMin[3], collisionMax[3];
};

void PlainAffine(const float (&a)[4][3], const float (&b)[4][3], float (&out)[4][3]) {
    for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 3; ++k) {
            out[r][k] = a[r][0] * b[0][k] + a[r][1] * b[1][k] + a[r][2] * b[2][k] + (r == 3 ? b[3][k] : 0.0f);
        }
    }
}

PlainNode::Box PlainBox(const CPBox& box) {
    PlainNode::Box plain{};
    for (int k = 0; k < 3; ++k) {
        plain.centre[k] = (&box.Centre.x)[k];
        plain.half[k] = (&box.HalfExtents.x)[k];
    }
    plain.localIdentity = true;
    for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 3; ++k) {
            plain.local[r][k] = box.Local.m[r][k];
            plain.localIdentity = plain.localIdentity && box.Local.m[r][k] == (r == k ? 1.0f : 0.0f);
        }
        plain.localIdentity = plain.localIdentity && box.Local.m[r][3] == (r == 3 ? 1.0f : 0.0f);
    }
    return plain;
}

std::vector<PlainNode> Flatten(const SceneTree& tree) {
    std::vector<PlainNode> plain;
    std::unordered_map<const CPGameObject*, int> index;
    plain.reserve(tree.nodes.size());
    for (const auto& node : tree.nodes) {
        PlainNode p{};
        p.parent = node->Parent != nullptr ? index.at(node->Parent) : -1;
        index[node.get()] = static_cast<int>(plain.size());
        for (int k = 0; k < 3; ++k) p.position[k] = (&node->Position.x)[k];
        for (int k = 0; k < 4; ++k) p.orientation[k] = (&node->Orientation.x)[k];
        p.box = PlainBox(node->Box);
        p.hasCollision = !node->CollisionBoxes.empty();
        if (p.hasCollision) p.collision = PlainBox(node->CollisionBoxes.front());
        plain.push_back(p);
    }
    return plain;
}

void PlaceBox(PlainNode::Box& box, const float (&owner)[4][3]) {
    const float (*m)[3] = owner;
    if (!box.localIdentity) {
        PlainAffine(box.local, owner, box.world);
        m = box.world;
    }
    for (int k = 0; k < 3; ++k) {
        const float centre = box.centre[0] * m[0][k] + box.centre[1] * m[1][k] + box.centre[2] * m[2][k] + m[3][k];
        const float extent = std::fabs(m[0][k]) * box.half[0] + std::fabs(m[1][k]) * box.half[1] +
                             std::fabs(m[2][k]) * box.half[2];
        box.min[k] = centre - extent;
        box.max[k] = centre + extent;
    }
}

void PlainUpdate(std::vector<PlainNode>& nodes) {
    for (PlainNode& n : nodes) {  // parents come before children
        const float x = n.orientation[0], y = n.orientation[1], z = n.orientation[2], w = n.orientation[3];
        const float local[4][3] = {{1.0f - 2.0f * (y * y + z * z), 2.0f * (x * y + z * w), 2.0f * (x * z - y * w)},
                                   {2.0f * (x * y - z * w), 1.0f - 2.0f * (x * x + z * z), 2.0f * (y * z + x * w)},
                                   {2.0f * (x * z + y * w), 2.0f * (y * z - x * w), 1.0f - 2.0f * (x * x + y * y)},
                                   {n.position[0], n.position[1], n.position[2]}};
        if (n.parent >= 0) {
            PlainAffine(local, nodes[static_cast<size_t>(n.parent)].world, n.world);
        } else {
            std::copy(&local[0][0], &local[0][0] + 12, &n.world[0][0]);
        }
        PlaceBox(n.box, n.world);
        for (int k = 0; k < 3; ++k) {
            n.min[k] = n.box.min[k];
            n.max[k] = n.box.max[k];
            n.collisionMin[k] = 1e30f;
            n.collisionMax[k] = -1e30f;
        }
        if (n.hasCollision) {
            PlaceBox(n.collision, n.world);
            for (int k = 0; k < 3; ++k) {
                n.collisionMin[k] = n.collision.min[k];
                n.collisionMax[k] = n.collision.max[k];
            }
        }
    }
    for (size_t i = nodes.size(); i-- > 1;) {  // children after parents: merge upwards
        PlainNode& n = nodes[i];
        PlainNode& p = nodes[static_cast<size_t>(n.parent)];
        for (int k = 0; k < 3; ++k) {
            p.min[k] = std::min(p.min[k], n.min[k]);
            p.max[k] = std::max(p.max[k], n.max[k]);
            p.collisionMin[k] = std::min(p.collisionMin[k], n.collisionMin[k]);
            p.collisionMax[k] = std::max(p.collisionMax[k], n.collisionMax[k]);
        }
    }
}

void BM_UpdateTransformAfterRootMove(benchmark::State& state) {
    ShadowMatrix = D3DXMATRIX();
    SceneTree tree;
    std::vector<PlainNode> plain = Flatten(tree);
    plain[0].position[1] = plain[0].position[2] = 0.0f;  // the root moves along x from the origin
    float x = 0;
    RunAgainstBaseline(
        state,
        [&] {
            tree.root->SetPosition(D3DXVECTOR3(x += 0.01f, 0, 0));
            tree.root->UpdateTransform();
        },
        [&] {
            plain[0].position[0] = x;
            PlainUpdate(plain);
        });
    benchmark::DoNotOptimize(plain.back().world);
    plain[0].position[0] = x;  // the last iteration may have run the plain side first
    PlainUpdate(plain);
    for (int k = 0; k < 3; ++k) {
        if (std::fabs(plain[0].min[k] - (&tree.root->Bounds.Min.x)[k]) > 1e-3f ||
            std::fabs(plain[0].max[k] - (&tree.root->Bounds.Max.x)[k]) > 1e-3f) {
            state.SkipWithError("the plain update's bounds differ from the engine's");
        }
    }
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
