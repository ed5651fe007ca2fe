// Loading the tests' race level (tests/game/TestLevelFiles.h) through CPLevel::Load on a
// headless host, each load ending by deleting the level, as the scripts do between races.
// Warm: the resource managers already hold the effects, textures and shared mesh buffers.
//
// The baselines are plain code with no engine classes. The first reads the same files and
// parses the meshes: every mesh file a load reads, as often as it reads it (the level's
// object, the ground, the placed objects and the beacon share one box mesh; the road; the
// three car bodies), each read whole with open/read and parsed into node records by a plain
// reader of the mesh format (every count checked against the bytes left, names lower-cased,
// vertices, indices, boxes, shape records, children and the named-transform tail), and the
// level file's bytes. The ratio is what the level's own work adds: the scene trees,
// materials, spatial tree, terrain grid, simulator, bodies and car models.
//
// That baseline does much less than a load must, so a second benchmark measures the load
// against the load's main work done in plain code on the same files: the same reads and
// parses, each node's vertices and indices copied into buffers of its own (with the world
// copy the renderer reads), the road's triangles sorted into the same 4 m grid with its margin
// (a triangle enters the cells of its x extent in each row of cells it crosses; the lists in
// one flat array), the nodes' boxes put in a binary tree of median splits, and blocks of the
// simulator's capacities allocated and filled. Materials, car models, bodies and paths are
// left out, so it is a lower bound.
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

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
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

// A file read whole into buffer; false when it cannot be.
bool PlainRead(const std::string& enginePath, std::vector<uint8_t>& buffer) {
    std::string path = enginePath;
    std::replace(path.begin(), path.end(), '\\', '/');
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        close(fd);
        return false;
    }
    buffer.resize(static_cast<size_t>(info.st_size));
    const ssize_t size = read(fd, buffer.data(), buffer.size());
    close(fd);
    return size == info.st_size;
}

// The plain reader's records.
struct PlainVertex {
    float x, y, z, nx, ny, nz;
    uint32_t diffuse, specular;
    float u, v, u2, v2;
};
static_assert(sizeof(PlainVertex) == 48);

struct PlainMeshNode {
    std::string name;
    float placement[7] = {};
    float body[13] = {};
    std::vector<PlainVertex> vertices;
    std::vector<uint16_t> indices;
    std::vector<std::array<float, 6>> boxes;  // centre, half extents
    std::vector<std::array<float, 13>> shapes;
    std::vector<PlainMeshNode> children;
};

struct PlainMesh {
    std::vector<PlainMeshNode> nodes;
    std::vector<std::pair<std::string, std::array<float, 12>>> tail;
};

class PlainMeshReader {
public:
    PlainMeshReader(const uint8_t* data, size_t size, bool physics) : p(data), end(data + size), physics(physics) {}

    bool Read(PlainMesh& mesh) {
        int32_t head = 0, count = 0;
        if (!Int(head) || !Int(count) || !Fits(count, Smallest())) return false;
        mesh.nodes.resize(static_cast<size_t>(count));
        for (PlainMeshNode& node : mesh.nodes) {
            if (!Record(node, 0)) return false;
        }
        if (p == end) return true;
        int32_t entries = 0;
        if (!Int(entries) || !Fits(entries, 52)) return false;
        mesh.tail.resize(static_cast<size_t>(entries));
        for (auto& [name, matrix] : mesh.tail) {
            int32_t length = 0;
            if (!Int(length)) return false;
            length = std::max(length, 0);
            if (Left() < static_cast<size_t>(length)) return false;
            name.assign(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), static_cast<size_t>(length)));
            Lower(name);
            p += length;
            if (!Bytes(matrix.data(), 48)) return false;
        }
        return true;
    }

private:
    size_t Left() const { return static_cast<size_t>(end - p); }
    int Smallest() const { return physics ? 4 + 260 + 28 + 52 + 16 : 4 + 260 + 16; }
    bool Bytes(void* out, size_t n) {
        if (Left() < n) return false;
        std::memcpy(out, p, n);
        p += n;
        return true;
    }
    bool Int(int32_t& value) { return Bytes(&value, 4); }
    bool Fits(int32_t& count, int size) {
        count = std::max(count, 0);
        return static_cast<uint64_t>(count) * static_cast<uint64_t>(size) <= Left();
    }
    static void Lower(std::string& text) {
        for (char& c : text) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
    }
    template <class T>
    bool Array(std::vector<T>& out, int size) {
        int32_t count = 0;
        if (!Int(count) || !Fits(count, size)) return false;
        out.resize(static_cast<size_t>(count));
        if constexpr (sizeof(T) == 48 || sizeof(T) == 2 || sizeof(T) == 52) {
            return Bytes(out.data(), static_cast<size_t>(count) * sizeof(T));
        } else {
            for (T& item : out) {
                float f[24];
                if (!Bytes(f, 96)) return false;
                item = {f[0], f[1], f[2], f[4], f[5], f[6]};
            }
            return true;
        }
    }
    bool Record(PlainMeshNode& node, int depth) {
        if (depth > 64) return false;
        int32_t ignored = 0;
        if (!Int(ignored) || Left() < 260) return false;
        node.name.assign(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), 259));
        Lower(node.name);
        p += 260;
        if (physics && (!Bytes(node.placement, 28) || !Bytes(node.body, 52))) return false;
        if (!Array(node.vertices, 48) || !Array(node.indices, 2)) return false;
        if (physics ? !Array(node.shapes, 52) : !Array(node.boxes, 96)) return false;
        int32_t children = 0;
        if (!Int(children) || !Fits(children, Smallest())) return false;
        node.children.resize(static_cast<size_t>(children));
        for (PlainMeshNode& child : node.children) {
            if (!Record(child, depth + 1)) return false;
        }
        return true;
    }

    const uint8_t* p;
    const uint8_t* end;
    bool physics;
};

bool PlainParse(const std::string& name, const std::vector<uint8_t>& bytes, PlainMesh& mesh) {
    const bool physics = name.size() >= 3 && strcasecmp(name.c_str() + name.size() - 3, "p3d") == 0;
    return PlainMeshReader(bytes.data(), bytes.size(), physics).Read(mesh);
}

size_t CountNodes(const std::vector<PlainMeshNode>& nodes) {
    size_t count = nodes.size();
    for (const PlainMeshNode& node : nodes) count += CountNodes(node.children);
    return count;
}

size_t ReadMeshes() {
    size_t nodes = 0;
    std::vector<uint8_t> bytes;
    if (PlainRead("Data\\Levels\\level1.lvl", bytes)) nodes += static_cast<size_t>(!bytes.empty());
    for (const auto& [name, times] : MeshFiles()) {
        for (int k = 0; k < times; ++k) {
            if (!PlainRead(name, bytes)) continue;
            PlainMesh mesh;
            if (PlainParse(name, bytes, mesh)) nodes += mesh.nodes.size();
        }
    }
    return nodes;
}

// The plain baseline's level.
struct PlainNode {
    std::vector<PlainVertex> Vertices;
    std::vector<PlainVertex> WorldVertices;
    std::vector<uint16_t> Indices;
    float Lower[3], Upper[3];
};

struct PlainTreeNode {
    float Lower[3], Upper[3];
    int32_t Left = -1, Right = -1;
    size_t First = 0, Count = 0;
};

void CollectNodes(const std::vector<PlainMeshNode>& nodes, std::vector<PlainNode>& out) {
    for (const PlainMeshNode& node : nodes) {
        PlainNode plain;
        plain.Vertices = node.vertices;
        plain.WorldVertices = plain.Vertices;
        plain.Indices = node.indices;
        const float big = std::numeric_limits<float>::max();
        for (int k = 0; k < 3; ++k) {
            plain.Lower[k] = big;
            plain.Upper[k] = -big;
        }
        for (const PlainVertex& v : node.vertices) {
            const float p[3] = {v.x, v.y, v.z};
            for (int k = 0; k < 3; ++k) {
                plain.Lower[k] = std::min(plain.Lower[k], p[k]);
                plain.Upper[k] = std::max(plain.Upper[k], p[k]);
            }
        }
        out.push_back(std::move(plain));
        CollectNodes(node.children, out);
    }
}

int32_t BuildTree(std::vector<PlainTreeNode>& tree, std::vector<const PlainNode*>& items, size_t first, size_t count) {
    PlainTreeNode node;
    for (int k = 0; k < 3; ++k) {
        node.Lower[k] = items[first]->Lower[k];
        node.Upper[k] = items[first]->Upper[k];
    }
    for (size_t i = first; i < first + count; ++i) {
        for (int k = 0; k < 3; ++k) {
            node.Lower[k] = std::min(node.Lower[k], items[i]->Lower[k]);
            node.Upper[k] = std::max(node.Upper[k], items[i]->Upper[k]);
        }
    }
    node.First = first;
    node.Count = count;
    const int32_t index = static_cast<int32_t>(tree.size());
    tree.push_back(node);
    if (count > 4) {
        const float size[3] = {node.Upper[0] - node.Lower[0], node.Upper[1] - node.Lower[1], node.Upper[2] - node.Lower[2]};
        const int axis = size[0] >= size[1] && size[0] >= size[2] ? 0 : (size[1] >= size[2] ? 1 : 2);
        auto centre = [axis](const PlainNode* n) { return n->Lower[axis] + n->Upper[axis]; };
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
    float lower[3] = {0.0f, 0.0f, 0.0f}, upper[3] = {0.0f, 0.0f, 0.0f};
    for (const PlainVertex& v : road.Vertices) {
        const float p[3] = {v.x, v.y, v.z};
        for (int k = 0; k < 3; ++k) {
            lower[k] = std::min(lower[k], p[k]);
            upper[k] = std::max(upper[k], p[k]);
        }
    }
    const int width = static_cast<int>(std::ceil((upper[0] - lower[0]) * 0.25f)) + 10;
    const int height = static_cast<int>(std::ceil((upper[1] - lower[1]) * 0.25f)) + 10;
    // (cell, triangle) pairs, then one flat list ordered by cell with each cell's start.
    std::vector<std::pair<uint32_t, int32_t>> pairs;
    pairs.reserve(road.Indices.size() * 2);
    for (size_t t = 0; t + 2 < road.Indices.size(); t += 3) {
        float tx[3], ty[3];
        for (int i = 0; i < 3; ++i) {
            tx[i] = road.Vertices[road.Indices[t + static_cast<size_t>(i)]].x;
            ty[i] = road.Vertices[road.Indices[t + static_cast<size_t>(i)]].y;
        }
        auto cell = [](float v, float origin, int count) {
            return std::clamp(static_cast<int>((v - origin) * 0.25f), 0, count - 1);
        };
        const int firstY = cell(*std::min_element(ty, ty + 3), lower[1], height);
        const int lastY = cell(*std::max_element(ty, ty + 3), lower[1], height);
        for (int y = firstY; y <= lastY; ++y) {
            const float y0 = lower[1] + 4.0f * static_cast<float>(y);
            float low = 0.0f, high = 0.0f;
            if (!SpanInBand(tx, ty, y0, y0 + 4.0f, low, high)) {
                continue;
            }
            for (int x = cell(low, lower[0], width), last = cell(high, lower[0], width); x <= last; ++x) {
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

// Blocks of the game's simulator capacities, as a simulator takes them, each filled.
size_t AllocateSimulator() {
    const size_t sizes[] = {
        sizeof(RbRigidBody) * 500, sizeof(RbKinematicBody) * 1000, sizeof(RbRigidBody) * 500,
        sizeof(RbGeometry) * 5000, sizeof(RbSensor) * 1000, sizeof(RbController) * 50,
        sizeof(RbBroadPhaseRecord) * 2000, sizeof(RbPairRecord) * 1500, sizeof(RbEndpoint) * 4000 * 3,
    };
    size_t total = 0;
    for (size_t size : sizes) {
        void* block = std::malloc(size);
        if (block != nullptr) {
            std::memset(block, 0, size);
            total += size;
        }
        benchmark::DoNotOptimize(block);
        std::free(block);
    }
    return total;
}

size_t PlainLevel() {
    std::vector<PlainNode> nodes;
    size_t work = 0;
    std::vector<uint8_t> bytes;
    if (PlainRead("Data\\Levels\\level1.lvl", bytes)) work += static_cast<size_t>(!bytes.empty());
    size_t roadNode = 0;
    for (const auto& [name, times] : MeshFiles()) {
        for (int k = 0; k < times; ++k) {
            if (!PlainRead(name, bytes)) continue;
            PlainMesh mesh;
            if (!PlainParse(name, bytes, mesh)) continue;
            if (name.find("road") != std::string::npos) roadNode = nodes.size();
            CollectNodes(mesh.nodes, nodes);
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
// Every mesh file parsed by the plain reader into as many nodes, vertices and indices as the
// engine's reader finds (checked once, outside the timing).
bool PlainReaderAgrees() {
    std::vector<uint8_t> bytes;
    for (const auto& [name, times] : MeshFiles()) {
        CPFileReader reader(name, false);
        MeshFile::File file;
        std::string problem;
        PlainMesh mesh;
        if (reader.Load() != S_OK || !MeshFile::Read(reader, MeshFile::KindOfName(name), file, problem) ||
            !PlainRead(name, bytes) || !PlainParse(name, bytes, mesh)) {
            return false;
        }
        std::function<size_t(const std::vector<MeshFile::Node>&)> engineSum = [&](const auto& nodes) {
            size_t sum = 0;
            for (const MeshFile::Node& node : nodes) sum += 1 + node.Vertices.size() + node.Indices.size() + engineSum(node.Children);
            return sum;
        };
        std::function<size_t(const std::vector<PlainMeshNode>&)> plainSum = [&](const auto& nodes) {
            size_t sum = 0;
            for (const PlainMeshNode& node : nodes) sum += 1 + node.vertices.size() + node.indices.size() + plainSum(node.children);
            return sum;
        };
        if (engineSum(file.Nodes) != plainSum(mesh.nodes) || file.Tail.size() != mesh.tail.size()) {
            return false;
        }
    }
    return true;
}

template <class Baseline>
void LoadAgainst(benchmark::State& state, Baseline baseline) {
    LevelFolder folder;
    if (!LoadLevel() || baseline() == 0) {
        state.SkipWithError("the test level does not load");
        return;
    }
    if (!PlainReaderAgrees()) {
        state.SkipWithError("the plain mesh reader and the engine's disagree");
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
