// A level's worth of materials: 300 requests over 60 textures and 10 effects, read from a
// pack, cold (fresh managers: every file read, decoded and compiled) and warm (every
// request answered by the managers). The baselines do the same work without the managers:
// cold, the 70 files read and created once each straight through D3DX; warm, the same 900
// name lookups and the block and material lookups in plain hash maps.
#include "BaselineRatio.h"
#include "tests/Render/ResourceManagers.h"
#include "tests/TempFolder.h"

#include "Render/CPEffectManager.h"
#include "Render/CPMaterialManager.h"
#include "Render/CPRender.h"
#include "Render/CPTextureManager.h"
#include "core/CPFileReader.h"
#include "core/PackFiles.h"
#include "platform/d3d9/D3D9Device.h"
#include "platform/d3dx/D3DXTexture.h"
#include "platform/files/HostFiles.h"

#include <fstream>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr int TextureCount = 60;
constexpr int EffectCount = 10;
constexpr int RequestCount = 300;

std::vector<uint8_t> Tga(int size, int seed) {
    std::vector<uint8_t> b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(size), 0,
                              static_cast<uint8_t>(size), 0, 24, 0};
    for (int i = 0; i < size * size * 3; ++i) {
        b.push_back(static_cast<uint8_t>(i * 7 + seed));
    }
    return b;
}

std::string EffectText(int index) {
    return "shared float4x4 g_mViewProjection;\nshared float4 g_vLight;\nfloat time;\n"
           "texture tex0;\ntexture tex1;\nfloat4 tint = float4(" + std::to_string(index) + ", 1, 1, 1);\n"
           "sampler s0 = sampler_state { Texture = <tex0>; MinFilter = Linear; };\n"
           "technique T { pass P0 { ZEnable = true; AlphaBlendEnable = false; } }\n";
}

// Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "literal" + std::string.
std::string Numbered(const char* prefix, int i, const char* suffix) {
    std::string name = prefix;
    name += std::to_string(i);
    name += suffix;
    return name;
}

std::string TextureName(int i) { return Numbered("t", i, ".jpg"); }
std::string EffectName(int i) { return Numbered("fx", i, ".fx,shared"); }

struct Request {
    std::string effect;
    std::vector<std::string> textures;
    int type;
};

// The game folder: one pack with every file, nothing on disk, and the renderer's device.
class Level {
public:
    Level() {
        HostFiles::ClearCache();

        std::vector<PackFormat::Source> members;
        for (int i = 0; i < TextureCount; ++i) {
            members.push_back({"data\\textures\\" + TextureName(i), Tga(64, i)});
        }
        for (int i = 0; i < EffectCount; ++i) {
            const std::string text = EffectText(i);
            members.push_back({"data\\effects\\fx" + std::to_string(i) + ".fx", {text.begin(), text.end()}});
        }
        std::vector<uint8_t> pack;
        PackFormat::Encode(members, pack);
        std::ofstream(folder / "level.pak", std::ios::binary).write(reinterpret_cast<const char*>(pack.data()),
                                                                    static_cast<std::streamsize>(pack.size()));
        PackFiles.clear();
        AddPackFile("level.pak");

        for (int i = 0; i < RequestCount; ++i) {
            requests.push_back({EffectName(i % EffectCount),
                                {TextureName(i % TextureCount), TextureName((i * 7 + 1) % TextureCount)},
                                i % 3});
        }
        device = D3D9RecordingDevice::Create();
        render.Device = device;
        CPRender::Instance = &render;
    }
    ~Level() {
        CPRender::Instance = nullptr;
        render.Device = nullptr;
        device->Release();
        PackFiles.clear();
        HostFiles::ClearCache();
    }

    TempFolder folder{TempFolder::ForProcess("bench_render_materials")};
    std::vector<Request> requests;
    D3D9RecordingDevice* device = nullptr;
    CPRender render;
};

// The managers as the host makes them.
struct Managers : ResourceManagers {
    void Request(const std::vector<::Request>& requests) {
        for (const ::Request& r : requests) {
            benchmark::DoNotOptimize(materials.GetMaterial(r.effect, r.textures, r.type).Get());
        }
    }
};

// What a loader does with no sharing logic: each file read once and created once.
void LoadPlainly(IDirect3DDevice9* device) {
    ID3DXEffectPool* pool = nullptr;
    D3DXCreateEffectPool(&pool);
    std::vector<IUnknown*> made;
    for (int i = 0; i < TextureCount; ++i) {
        CPFileReader file("Data\\Textures\\" + TextureName(i), false);
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
        if (object != nullptr) {
            object->Release();
        }
    }
    pool->Release();
}

void BM_MaterialsCold(benchmark::State& state) {
    Level level;
    RunAgainstBaseline(
        state,
        [&] {
            // Deleting the resources is part of a level's life too.
            Managers managers;
            managers.Request(level.requests);
        },
        [&] { LoadPlainly(level.device); });
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * RequestCount);
}
BENCHMARK(BM_MaterialsCold)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_MaterialsWarm(benchmark::State& state) {
    Level level;
    Managers managers;
    managers.Request(level.requests);
    // The baseline: the same lookups in plain maps. The effect and both textures by name, the
    // block by its two textures and the material by effect, block and type, each packed into
    // one integer key; the request's name list is copied, as the managers take it by value.
    std::unordered_map<std::string, uint32_t> effectIds;
    std::unordered_map<std::string, uint32_t> textureIds;
    std::unordered_map<uint64_t, uint32_t> blockIds;
    std::unordered_map<uint64_t, uint32_t> materialIds;
    const auto idOf = [](auto& map, const auto& key) {
        return map.try_emplace(key, static_cast<uint32_t>(map.size())).first->second;
    };
    const auto plainRequest = [&](const Request& r) {
        const std::vector<std::string> names = r.textures;
        const uint32_t effect = effectIds.find(r.effect)->second;
        const uint64_t textures = uint64_t{textureIds.find(names[0])->second} << 32 | textureIds.find(names[1])->second;
        const uint32_t block = blockIds.find(textures)->second;
        return materialIds.find(uint64_t{effect} << 40 | uint64_t{block} << 8 | static_cast<uint8_t>(r.type))->second;
    };
    for (const Request& r : level.requests) {
        const uint32_t effect = idOf(effectIds, r.effect);
        const uint64_t textures = uint64_t{idOf(textureIds, r.textures[0])} << 32 | idOf(textureIds, r.textures[1]);
        const uint32_t block = idOf(blockIds, textures);
        idOf(materialIds, uint64_t{effect} << 40 | uint64_t{block} << 8 | static_cast<uint8_t>(r.type));
    }
    RunAgainstBaseline(
        state, [&] { managers.Request(level.requests); },
        [&] {
            for (const Request& r : level.requests) {
                benchmark::DoNotOptimize(plainRequest(r));
            }
        });
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * RequestCount);
}
BENCHMARK(BM_MaterialsWarm)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
