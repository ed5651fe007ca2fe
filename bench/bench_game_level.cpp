// Loading the tests' race level (tests/game/TestLevelFiles.h) through CPLevel::Load on a
// headless host, each load ending by deleting the level, as the scripts do between races.
// Warm: the resource managers already hold the effects, textures and shared mesh buffers.
//
// The baseline reads the same files with the mesh reader alone: every mesh file a load reads,
// as often as it reads it (the level's object, the ground, the placed objects and the beacon
// share one box mesh; the road; the three car bodies), through the file reader and
// MeshFile::Read, and the level file's bytes. The ratio is what the level's own work adds:
// the scene trees, materials, spatial tree, terrain grid, simulator, bodies and car models.
//
// That baseline does much less than a load must, so a second benchmark measures the load
// against the load's main work done in plain code on the same files: the same reads, each
// node's vertices and indices copied into buffers of its own (with the world copy the renderer
// reads), the road's triangles sorted into the same 4 m grid with its margin (a triangle enters
// the cells of its x extent in each row of cells it crosses; the lists in one flat array), the
// nodes' boxes put in a binary tree of median splits, and blocks of the simulator's capacities
// allocated. Materials, car models, bodies and paths are left out, so it is a lower bound.
#include "BaselineRatio.h"

#include "Render/MeshFile.h"
#include "core/CPFileReader.h"
#include "core/CPLog.h"
#include "core/ConfigVars.h"
#include "game/CPLevel.h"
#include "physics/RbBroadPhase.h"
#include "physics/RbController.h"
#include "physics/RbGeometry.h"
#include "physics/RbKinematicBody.h"
#include "physics/RbRigidBody.h"
#include "physics/RbSensor.h"
#include "host/Host.h"
#include "platform/files/HostFiles.h"
#include "tests/TempFolder.h"
#include "tests/game/TestLevelFiles.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

class LevelFolder {
public:
    LevelFolder() {
        TestLevelFiles::Write(folder.Path());
        HostFiles::ClearCache();
        Cfg::ResetDefaults();
        Cfg::weight_div = 1;
        CPLog::GetInstance().SetSink([](const CPLogReport&) {});
        host = std::make_unique<Host>();
    }
    ~LevelFolder() {
        host.reset();
        CPLog::GetInstance().SetSink({});
        HostFiles::ClearCache();
    }

    TempFolder folder{TempFolder::ForProcess("bench_game_level")};
    std::unique_ptr<Host> host;
};

// The mesh files one load reads, with how often.
const std::vector<std::pair<std::string, int>>& MeshFiles() {
    static const std::vector<std::pair<std::string, int>> files = {
        {"Data\\Meshes\\box.msh", 7},
        {"Data\\Meshes\\road_phys1.msh", 1},
        {"Data\\Meshes\\hauler_.p3d", 1},
        {"Data\\Meshes\\kestrel1_enemy.p3d", 1},
        {"Data\\Meshes\\kestrel2_enemy.p3d", 1},
    };
    return files;
}

bool LoadLevel() {
    CPLevel* level = CPLevel::CreateCurrent();
    const bool loaded = level->Load(TestLevelFiles::LevelName, false, false);
    delete level;
    return loaded;
}

size_t ReadMeshes() {
    size_t nodes = 0;
    CPFileReader level("Data\\Levels\\level1.lvl", false);
    if (level.Load() == S_OK) nodes += static_cast<size_t>(level.GetLength() > 0);
    for (const auto& [name, times] : MeshFiles()) {
        for (int k = 0; k < times; ++k) {
            CPFileReader reader(name, false);
            if (reader.Load() != S_OK) continue;
            MeshFile::File file;
            std::string problem;
            if (MeshFile::Read(reader, MeshFile::KindOfName(name), file, problem)) nodes += file.Nodes.size();
        }
    }
    return nodes;
}

// The plain baseline's level.
struct PlainNode {
    std::vector<CPVertex> Vertices;
    std::vector<CPVertex> WorldVertices;
    std::vector<uint16_t> Indices;
    D3DXVECTOR3 Lower, Upper;
};

struct PlainTreeNode {
    D3DXVECTOR3 Lower, Upper;
    int32_t Left = -1, Right = -1;
    size_t First = 0, Count = 0;
};

void CollectNodes(const std::vector<MeshFile::Node>& nodes, std::vector<PlainNode>& out) {
    for (const MeshFile::Node& node : nodes) {
        PlainNode plain;
        plain.Vertices = node.Vertices;
        plain.WorldVertices = plain.Vertices;
        plain.Indices = node.Indices;
        const float big = std::numeric_limits<float>::max();
        plain.Lower = D3DXVECTOR3(big, big, big);
        plain.Upper = D3DXVECTOR3(-big, -big, -big);
        for (const CPVertex& v : node.Vertices) {
            plain.Lower = D3DXVECTOR3(std::min(plain.Lower.x, v.Position.x), std::min(plain.Lower.y, v.Position.y),
                                      std::min(plain.Lower.z, v.Position.z));
            plain.Upper = D3DXVECTOR3(std::max(plain.Upper.x, v.Position.x), std::max(plain.Upper.y, v.Position.y),
                                      std::max(plain.Upper.z, v.Position.z));
        }
        out.push_back(std::move(plain));
        CollectNodes(node.Children, out);
    }
}

int32_t BuildTree(std::vector<PlainTreeNode>& tree, std::vector<const PlainNode*>& items, size_t first, size_t count) {
    PlainTreeNode node;
    node.Lower = items[first]->Lower;
    node.Upper = items[first]->Upper;
    for (size_t i = first; i < first + count; ++i) {
        D3DXVec3Minimize(&node.Lower, &node.Lower, &items[i]->Lower);
        D3DXVec3Maximize(&node.Upper, &node.Upper, &items[i]->Upper);
    }
    node.First = first;
    node.Count = count;
    const int32_t index = static_cast<int32_t>(tree.size());
    tree.push_back(node);
    if (count > 4) {
        const D3DXVECTOR3 size = node.Upper - node.Lower;
        const int axis = size.x >= size.y && size.x >= size.z ? 0 : (size.y >= size.z ? 1 : 2);
        auto centre = [axis](const PlainNode* n) { return (&n->Lower.x)[axis] + (&n->Upper.x)[axis]; };
        const size_t half = count / 2;
        std::nth_element(items.begin() + static_cast<std::ptrdiff_t>(first),
                         items.begin() + static_cast<std::ptrdiff_t>(first + half),
                         items.begin() + static_cast<std::ptrdiff_t>(first + count),
                         [&](const PlainNode* a, const PlainNode* b) { return centre(a) < centre(b); });
        const int32_t left = BuildTree(tree, items, first, half);
        const int32_t right = BuildTree(tree, items, first + half, count - half);
        tree[static_cast<size_t>(index)].Left = left;
        tree[static_cast<size_t>(index)].Right = right;
    }
    return index;
}

// The x extent of the triangle within the band y0 <= y <= y1: its vertices inside the band and
// the points where its edges cross the band's two lines. False when it misses the band.
bool SpanInBand(const float (&tx)[3], const float (&ty)[3], float y0, float y1, float& low, float& high) {
    low = std::numeric_limits<float>::max();
    high = -low;
    for (int i = 0; i < 3; ++i) {
        if (ty[i] >= y0 && ty[i] <= y1) {
            low = std::min(low, tx[i]);
            high = std::max(high, tx[i]);
        }
        const int j = (i + 1) % 3;
        for (const float line : {y0, y1}) {
            if ((ty[i] - line) * (ty[j] - line) < 0.0f) {
                const float x = tx[i] + (tx[j] - tx[i]) * (line - ty[i]) / (ty[j] - ty[i]);
                low = std::min(low, x);
                high = std::max(high, x);
            }
        }
    }
    return low <= high;
}

size_t BuildGrid(const PlainNode& road) {
    D3DXVECTOR3 lower(0.0f, 0.0f, 0.0f), upper(0.0f, 0.0f, 0.0f);
    for (const CPVertex& v : road.Vertices) {
        D3DXVec3Minimize(&lower, &lower, &v.Position);
        D3DXVec3Maximize(&upper, &upper, &v.Position);
    }
    const int width = static_cast<int>(std::ceil((upper.x - lower.x) * 0.25f)) + 10;
    const int height = static_cast<int>(std::ceil((upper.y - lower.y) * 0.25f)) + 10;
    // (cell, triangle) pairs, then one flat list ordered by cell with each cell's start.
    std::vector<std::pair<uint32_t, int32_t>> pairs;
    pairs.reserve(road.Indices.size() * 2);
    for (size_t t = 0; t + 2 < road.Indices.size(); t += 3) {
        float tx[3], ty[3];
        for (int i = 0; i < 3; ++i) {
            tx[i] = road.Vertices[road.Indices[t + static_cast<size_t>(i)]].Position.x;
            ty[i] = road.Vertices[road.Indices[t + static_cast<size_t>(i)]].Position.y;
        }
        auto cell = [](float v, float origin, int count) {
            return std::clamp(static_cast<int>((v - origin) * 0.25f), 0, count - 1);
        };
        const int firstY = cell(*std::min_element(ty, ty + 3), lower.y, height);
        const int lastY = cell(*std::max_element(ty, ty + 3), lower.y, height);
        for (int y = firstY; y <= lastY; ++y) {
            const float y0 = lower.y + 4.0f * static_cast<float>(y);
            float low = 0.0f, high = 0.0f;
            if (!SpanInBand(tx, ty, y0, y0 + 4.0f, low, high)) {
                continue;
            }
            for (int x = cell(low, lower.x, width), last = cell(high, lower.x, width); x <= last; ++x) {
                pairs.emplace_back(static_cast<uint32_t>(x * height + y), static_cast<int32_t>(t / 3));
            }
        }
    }
    std::vector<uint32_t> starts(static_cast<size_t>(width) * static_cast<size_t>(height) + 1, 0);
    for (const auto& pair : pairs) {
        ++starts[pair.first + 1];
    }
    for (size_t i = 1; i < starts.size(); ++i) {
        starts[i] += starts[i - 1];
    }
    std::vector<int32_t> triangles(pairs.size());
    std::vector<uint32_t> filled(starts.begin(), starts.end() - 1);
    for (const auto& pair : pairs) {
        triangles[filled[pair.first]++] = pair.second;
    }
    benchmark::DoNotOptimize(triangles.data());
    return triangles.size();
}

// Blocks of the game's simulator capacities, as a simulator takes them.
size_t AllocateSimulator() {
    const size_t sizes[] = {
        sizeof(RbRigidBody) * 500, sizeof(RbKinematicBody) * 1000, sizeof(RbRigidBody) * 500,
        sizeof(RbGeometry) * 5000, sizeof(RbSensor) * 1000, sizeof(RbController) * 50,
        sizeof(RbBroadPhaseRecord) * 2000, sizeof(RbPairRecord) * 1500, sizeof(RbEndpoint) * 4000 * 3,
    };
    size_t total = 0;
    for (size_t size : sizes) {
        void* block = std::malloc(size);
        benchmark::DoNotOptimize(block);
        total += block != nullptr ? size : 0;
        std::free(block);
    }
    return total;
}

size_t PlainLevel() {
    std::vector<PlainNode> nodes;
    size_t work = 0;
    CPFileReader level("Data\\Levels\\level1.lvl", false);
    if (level.Load() == S_OK) work += static_cast<size_t>(level.GetLength() > 0);
    size_t roadNode = 0;
    for (const auto& [name, times] : MeshFiles()) {
        for (int k = 0; k < times; ++k) {
            CPFileReader reader(name, false);
            if (reader.Load() != S_OK) continue;
            MeshFile::File file;
            std::string problem;
            if (!MeshFile::Read(reader, MeshFile::KindOfName(name), file, problem)) continue;
            if (name.find("road") != std::string::npos) roadNode = nodes.size();
            CollectNodes(file.Nodes, nodes);
        }
    }
    if (nodes.empty()) return 0;
    work += BuildGrid(nodes[roadNode]);
    std::vector<const PlainNode*> items;
    for (const PlainNode& node : nodes) items.push_back(&node);
    std::vector<PlainTreeNode> tree;
    BuildTree(tree, items, 0, items.size());
    work += tree.size() + AllocateSimulator();
    return work;
}

// Loading the test level against a baseline that does the same reading (and, for the plain
// load, the same building) without the engine.
template <class Baseline>
void LoadAgainst(benchmark::State& state, Baseline baseline) {
    LevelFolder folder;
    if (!LoadLevel() || baseline() == 0) {
        state.SkipWithError("the test level does not load");
        return;
    }
    RunAgainstBaseline(
        state, [] { benchmark::DoNotOptimize(LoadLevel()); }, [&] { benchmark::DoNotOptimize(baseline()); });
}

void BM_LoadTestLevel(benchmark::State& state) { LoadAgainst(state, ReadMeshes); }
BENCHMARK(BM_LoadTestLevel)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_LoadTestLevelAgainstPlainLoad(benchmark::State& state) { LoadAgainst(state, PlainLevel); }
BENCHMARK(BM_LoadTestLevelAgainstPlainLoad)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
