// Loading a level's worth of objects: 40 descriptions, each a mesh file of five nodes of 1 000
// triangles (200 000 triangles in all, half of them physics meshes), with their material
// sections over 8 textures and 4 effects, all read from a pack. Cold: fresh resource managers
// and no shared mesh buffers, so every texture, effect and buffer is made; warm: everything
// found by name. Each load ends by deleting the trees, as a level does.
//
// The baselines do the same reading without the loader: every file read through the file
// reader, the description lines split at "=", each node's vertex and index blocks copied out
// at their offsets into arrays of its own without a check, the vertices given the default
// colour and a world copy; cold, the textures and effects are also created once each straight
// through D3DX, and each node's vertices and indices are uploaded into device buffers of its
// own, as the loader must give every static mesh (warm, it finds them by name). Triangles per
// second count the engine's loads.
#include "BaselineRatio.h"
#include "tests/Render/ResourceManagers.h"
#include "tests/TempFolder.h"

#include "Render/CPAnimationManager.h"
#include "Render/CPEffectManager.h"
#include "Render/CPMaterialManager.h"
#include "Render/CPRender.h"
#include "Render/CPTextureManager.h"
#include "Render/MeshFile.h"
#include "core/CPFileReader.h"
#include "core/PackFiles.h"
#include "platform/d3d9/D3D9Device.h"
#include "platform/d3dx/D3DXTexture.h"
#include "platform/files/HostFiles.h"
#include "scene/CPGameObject.h"
#include "scene/CPSceneLoader.h"

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int ObjectCount = 40;
constexpr int NodesPerObject = 5;
constexpr int GridX = 20;  // 20 x 25 quads: 1 000 triangles a node
constexpr int GridY = 25;
constexpr int TextureCount = 8;
constexpr int EffectCount = 4;
constexpr int64_t TrianglesPerLoad = int64_t{ObjectCount} * NodesPerObject * GridX * GridY * 2;

std::vector<uint8_t> Tga(int size, int seed) {
    std::vector<uint8_t> b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(size), 0,
                              static_cast<uint8_t>(size), 0, 24, 0};
    for (int i = 0; i < size * size * 3; ++i) b.push_back(static_cast<uint8_t>(i * 7 + seed));
    return b;
}

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

MeshFile::Node Grid(const std::string& name, float offset) {
    MeshFile::Node node;
    node.Name = name;
    node.Rotation = D3DXQUATERNION(0, 0, 0, 1);
    node.Position = D3DXVECTOR3(offset, 0, 0);
    node.Body.SizeX = node.Body.Height = node.Body.SizeY = 1.0f;
    node.Body.Mass = 10.0f;
    for (int y = 0; y <= GridY; ++y) {
        for (int x = 0; x <= GridX; ++x) {
            CPVertex v;
            v.Position = D3DXVECTOR3(static_cast<float>(x) * 0.1f + offset, static_cast<float>(y) * 0.1f, 0.0f);
            v.Normal = D3DXVECTOR3(0, 0, 1);
            v.U = static_cast<float>(x) / GridX;
            v.V = static_cast<float>(y) / GridY;
            node.Vertices.push_back(v);
        }
    }
    for (int y = 0; y < GridY; ++y) {
        for (int x = 0; x < GridX; ++x) {
            const auto a = static_cast<uint16_t>(y * (GridX + 1) + x);
            const auto b = static_cast<uint16_t>(a + GridX + 1);
            node.Indices.insert(node.Indices.end(), {a, static_cast<uint16_t>(a + 1), b, b,
                                                     static_cast<uint16_t>(a + 1), static_cast<uint16_t>(b + 1)});
        }
    }
    node.Boxes.push_back({D3DXVECTOR3(offset, 1, 0), D3DXVECTOR3(1, 1, 0.1f)});
    MeshFile::Shape hull;
    hull.SizeX = hull.Height = hull.SizeY = 1.0f;
    hull.Rotation = D3DXQUATERNION(0, 0, 0, 1);
    node.Shapes.push_back(hull);
    return node;
}

std::string MeshName(int k) { return "obj" + std::to_string(k) + (k % 2 == 0 ? ".p3d" : ".msh"); }

// The game folder: one pack with every file, nothing on disk, and the renderer's device.
class Level {
public:
    Level() {
        HostFiles::ClearCache();

        std::vector<PackFormat::Source> members;
        for (int i = 0; i < TextureCount; ++i) {
            members.push_back({"data\\textures\\t" + std::to_string(i) + ".tga", Tga(32, i)});
        }
        for (int i = 0; i < EffectCount; ++i) {
            members.push_back({"data\\effects\\fx" + std::to_string(i) + ".fx",
                               Bytes("texture tex0;\ntechnique T { pass P0 { ZEnable = true; } }\n")});
        }
        for (int k = 0; k < ObjectCount; ++k) {
            MeshFile::File file;
            file.NodeCount = 1;
            MeshFile::Node body = Grid("body", 0.0f);
            std::string rdf = "mesh = " + MeshName(k) + "\n";
            for (int part = 1; part < NodesPerObject; ++part) {
                body.Children.push_back(Grid("part" + std::to_string(part), static_cast<float>(part) * 3.0f));
            }
            for (int part = 0; part < NodesPerObject; ++part) {
                const int n = k * NodesPerObject + part;
                const std::string section = part == 0 ? std::string("body") : "part" + std::to_string(part);
                rdf.append("[").append(section).append("]\neffectfile = fx");
                rdf.append(std::to_string(n % EffectCount)).append(".fx\ntexturefile1 = t");
                rdf.append(std::to_string(n % TextureCount)).append(".tga\ntype = ");
                rdf.append(std::to_string(part % 2)).append("\n");
            }
            file.Nodes.push_back(std::move(body));
            const MeshFile::Kind kind = k % 2 == 0 ? MeshFile::Kind::Physics : MeshFile::Kind::Static;
            members.push_back({"data\\meshes\\" + MeshName(k), MeshFile::Write(file, kind)});
            members.push_back({"data\\meshes\\obj" + std::to_string(k) + ".rdf", Bytes(rdf)});
        }
        std::vector<uint8_t> pack;
        PackFormat::Encode(members, pack);
        std::ofstream(folder / "level.pak", std::ios::binary)
            .write(reinterpret_cast<const char*>(pack.data()), static_cast<std::streamsize>(pack.size()));
        PackFiles.clear();
        AddPackFile("level.pak");

        device = D3D9RecordingDevice::Create();
        render.Device = device;
        CPRender::Instance = &render;
        CPSceneLoader::Instance = &loader;
    }
    ~Level() {
        CPSceneLoader::Instance = nullptr;
        render.ReleaseMeshBuffers();
        CPRender::Instance = nullptr;
        render.Device = nullptr;
        device->Release();
        PackFiles.clear();
        HostFiles::ClearCache();
    }

    // Loads every object and deletes the trees.
    void LoadAll() {
        std::vector<CPtr<CPGameObject>> roots;
        for (int k = 0; k < ObjectCount; ++k) {
            roots.push_back(loader.LoadObject("obj" + std::to_string(k) + ".rdf", 0));
        }
        benchmark::DoNotOptimize(roots.data());
        for (CPtr<CPGameObject>& root : roots) {
            CPGameObject* node = root.Get();
            root = nullptr;
            CPSceneLoader::DeleteObject(node);
        }
    }

    TempFolder folder{TempFolder::ForProcess("bench_render_sceneload")};
    D3D9RecordingDevice* device = nullptr;
    CPRender render;
    CPSceneLoader loader;
};

// A node's arrays as a plain reader keeps them: the vertices with the default colour, their
// world copy (both of which every drawn mesh needs) and the indices; cold, the device buffers
// they are drawn from.
struct PlainNode {
    std::vector<CPVertex> Vertices;
    std::vector<CPVertex> WorldVertices;
    std::vector<uint16_t> Indices;
    IDirect3DVertexBuffer9* VertexBuffer = nullptr;
    IDirect3DIndexBuffer9* IndexBuffer = nullptr;
};

void Upload(IDirect3DDevice9* device, PlainNode& node) {
    const UINT vertexBytes = static_cast<UINT>(node.Vertices.size() * sizeof(CPVertex));
    const UINT indexBytes = static_cast<UINT>(node.Indices.size() * sizeof(uint16_t));
    device->CreateVertexBuffer(vertexBytes, D3DUSAGE_WRITEONLY, CPVertexFVF, D3DPOOL_MANAGED, &node.VertexBuffer,
                               nullptr);
    device->CreateIndexBuffer(indexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &node.IndexBuffer,
                              nullptr);
    void* data = nullptr;
    node.VertexBuffer->Lock(0, vertexBytes, &data, 0);
    std::memcpy(data, node.Vertices.data(), vertexBytes);
    node.VertexBuffer->Unlock();
    node.IndexBuffer->Lock(0, indexBytes, &data, 0);
    std::memcpy(data, node.Indices.data(), indexBytes);
    node.IndexBuffer->Unlock();
}

// Walks one record of the known layout, copying its blocks out without a check.
size_t CopyRecord(const uint8_t*& p, bool physics, std::vector<PlainNode>& nodes) {
    nodes.emplace_back();
    std::vector<CPVertex>& vertices = nodes.back().Vertices;
    std::vector<uint16_t>& indices = nodes.back().Indices;
    int32_t count = 0;
    p += 4 + MeshFile::NameFieldSize + (physics ? MeshFile::PlacementSize + MeshFile::ShapeRecordSize : 0);
    std::memcpy(&count, p, 4);
    p += 4;
    vertices.resize(static_cast<size_t>(count));
    std::memcpy(vertices.data(), p, vertices.size() * sizeof(CPVertex));
    p += vertices.size() * sizeof(CPVertex);
    for (CPVertex& vertex : vertices) vertex.Diffuse = 0xFFFFFFFF;
    nodes.back().WorldVertices = vertices;
    std::memcpy(&count, p, 4);
    p += 4;
    indices.resize(static_cast<size_t>(count));
    std::memcpy(indices.data(), p, indices.size() * 2);
    p += indices.size() * 2;
    std::memcpy(&count, p, 4);
    p += 4 + static_cast<size_t>(count) * (physics ? MeshFile::ShapeRecordSize : MeshFile::BoxRecordSize);
    std::memcpy(&count, p, 4);
    p += 4;
    size_t triangles = indices.size() / 3;
    for (int32_t k = 0; k < count; ++k) triangles += CopyRecord(p, physics, nodes);
    return triangles;
}

// With a device, every node's buffers are made and filled (and let go with the nodes).
void ReadPlainly(IDirect3DDevice9* device) {
    std::vector<PlainNode> nodes;
    size_t triangles = 0;
    for (int k = 0; k < ObjectCount; ++k) {
        CPFileReader rdf("Data\\Meshes\\obj" + std::to_string(k) + ".rdf", false);
        rdf.Load();
        const std::string text(reinterpret_cast<const char*>(rdf.GetData()), static_cast<size_t>(rdf.GetLength()));
        std::vector<std::pair<std::string, std::string>> entries;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            const std::string line = text.substr(start, end - start);
            const size_t equals = line.find('=');
            entries.emplace_back(line.substr(0, equals), equals == std::string::npos ? "" : line.substr(equals + 1));
            start = end + 1;
        }
        benchmark::DoNotOptimize(entries.data());
        CPFileReader mesh("Data\\Meshes\\" + MeshName(k), false);
        mesh.Load();
        const uint8_t* p = mesh.GetData() + 8;
        triangles += CopyRecord(p, k % 2 == 0, nodes);
    }
    benchmark::DoNotOptimize(triangles);
    if (device != nullptr) {
        for (PlainNode& node : nodes) Upload(device, node);
        for (PlainNode& node : nodes) {
            SafeRelease(node.VertexBuffer);
            SafeRelease(node.IndexBuffer);
        }
    }
}

void CreatePlainly(IDirect3DDevice9* device) {
    ID3DXEffectPool* pool = nullptr;
    D3DXCreateEffectPool(&pool);
    std::vector<IUnknown*> made;
    for (int i = 0; i < TextureCount; ++i) {
        CPFileReader file("Data\\Textures\\t" + std::to_string(i) + ".tga", false);
        file.Load();
        IDirect3DTexture9* texture = nullptr;
        D3DXCreateTextureFromFileInMemoryEx(device, file.GetData(), static_cast<UINT>(file.GetLength()), D3DX_DEFAULT,
                                            D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                            D3DX_DEFAULT, D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER, 0, nullptr,
                                            nullptr, &texture);
        made.push_back(texture);
    }
    for (int i = 0; i < EffectCount; ++i) {
        CPFileReader file("Data\\Effects\\fx" + std::to_string(i) + ".fx", false);
        file.Load();
        ID3DXEffect* effect = nullptr;
        D3DXCreateEffect(device, file.GetData(), static_cast<UINT>(file.GetLength()), nullptr, nullptr, 0, pool,
                         &effect, nullptr);
        made.push_back(effect);
    }
    for (IUnknown* object : made) {
        if (object != nullptr) object->Release();
    }
    pool->Release();
}

void Rate(benchmark::State& state) {
    state.counters["triangles_per_s"] =
        benchmark::Counter(static_cast<double>(TrianglesPerLoad * static_cast<int64_t>(state.iterations())),
                           benchmark::Counter::kIsRate);
    state.counters["triangles"] = static_cast<double>(TrianglesPerLoad);
}

void BM_SceneLoadCold(benchmark::State& state) {
    Level level;
    RunAgainstBaseline(
        state,
        [&] {
            level.render.ReleaseMeshBuffers();
            ResourceManagers managers;
            level.LoadAll();
        },
        [&] {
            ReadPlainly(level.device);
            CreatePlainly(level.device);
        });
    Rate(state);
}
BENCHMARK(BM_SceneLoadCold)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_SceneLoadWarm(benchmark::State& state) {
    Level level;
    ResourceManagers managers;
    level.LoadAll();
    RunAgainstBaseline(state, [&] { level.LoadAll(); }, [&] { ReadPlainly(nullptr); });
    Rate(state);
    level.render.ReleaseMeshBuffers();
}
BENCHMARK(BM_SceneLoadWarm)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
