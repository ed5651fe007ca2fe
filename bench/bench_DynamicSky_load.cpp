// Loading the test sky: the sky file parsed into records against a plain strtof line parser
// over the same text, and the whole load (dome, layers, cloud layers with their textures and
// effects, cloud sets, schedule) against plain reads of the same files with the same
// textures and effects created directly.
#include "bench/BaselineRatio.h"
#include "tests/DynamicSky/SkyFixtureFiles.h"
#include "tests/TempFolder.h"

#include "DynamicSky/SkyDescription.h"
#include "DynamicSky/Skyscape.h"
#include "Render/CPRender.h"
#include "platform/d3d9/D3D9Device.h"
#include "platform/d3dx/D3DXEffect.h"
#include "platform/d3dx/D3DXTexture.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Every number of every line after its label, as floats; comment lines skipped. Each line is
// read in place: strtof would skip a line end as white space, so the blanks before a number are
// skipped here, within the line.
size_t PlainParse(const std::string& text, std::vector<float>& values) {
    values.clear();
    size_t lines = 0;
    const char* p = text.data();
    const char* const stop = p + text.size();
    while (p < stop) {
        const char* end = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(stop - p)));
        if (end == nullptr) {
            end = stop;
        }
        const char* const line = p;
        p = end + (end < stop ? 1 : 0);
        if (line == end || std::string_view(line, static_cast<size_t>(end - line)).find("//") != std::string_view::npos) {
            continue;
        }
        ++lines;
        const char* c = static_cast<const char*>(std::memchr(line, ' ', static_cast<size_t>(end - line)));
        while (c != nullptr) {
            while (c < end && (*c == ' ' || *c == '\t' || *c == '\r' || *c == '\v' || *c == '\f')) {
                ++c;
            }
            if (c == end) {
                break;
            }
            char* next = nullptr;
            const float v = std::strtof(c, &next);
            if (next == c) {
                break;
            }
            values.push_back(v);
            c = next;
        }
    }
    return lines;
}

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void BM_ParseSkyFile(benchmark::State& state) {
    const std::string text = SkyFixture::SkyFile;
    std::vector<float> values;
    RunAgainstBaseline(
        state,
        [&] {
            SkyDescription sky;
            ParseSkyDescription(text.data(), static_cast<int>(text.size()), sky);
            benchmark::DoNotOptimize(sky.Layers.data());
        },
        [&] { benchmark::DoNotOptimize(PlainParse(text, values)); });
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseSkyFile)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_LoadSky(benchmark::State& state) {
    const TempFolder folder(TempFolder::ForProcess("bench_skyload"));
    SkyFixture::WriteSkyFixture(folder.Path());
    D3D9RecordingDevice* device = D3D9RecordingDevice::Create();
    CPRender render;
    render.Device = device;
    CPRender::Instance = &render;

    const char* const texts[] = {"Data/Clouds/skyscape1.txt", "Data/Clouds/schedule1.txt", "Data/Clouds/clear.txt",
                                 "Data/Clouds/storm.txt",     "Data/Clouds/puff1.txt",     "Data/Clouds/puff1.txt",
                                 "Data/Clouds/puff1.txt"};
    // Textures and effects in the order the sky loads them.
    const char* const textures[] = {"Data/Textures/cloud.tga", "Data/Textures/sky.tga", "Data/Textures/sun.tga",
                                    "Data/Textures/cloud_a.tga", "Data/Textures/cloud_b.tga"};
    const char* const effects[] = {"Data/Effects/volume_cloud.fx", "Data/Effects/sky.fx", "Data/Effects/cloud1.fx",
                                   "Data/Effects/cloud1.fx",       "Data/Effects/cloud0.fx", "Data/Effects/cloud0.fx",
                                   "Data/Effects/cloud1.fx",       "Data/Effects/skyscape_light.fx"};
    std::vector<float> values;
    RunAgainstBaseline(
        state,
        [&] {
            Skyscape sky;
            sky.Load("skyscape1.txt");
            device->ClearCalls();
        },
        [&] {
            for (const char* name : texts) {
                benchmark::DoNotOptimize(PlainParse(Slurp(name), values));
            }
            for (const char* name : textures) {
                const std::string bytes = Slurp(name);
                IDirect3DTexture9* texture = nullptr;
                D3DXCreateTextureFromFileInMemory(device, bytes.data(), static_cast<UINT>(bytes.size()), &texture);
                SafeRelease(texture);
            }
            for (const char* name : effects) {
                const std::string bytes = Slurp(name);
                ID3DXEffect* effect = nullptr;
                D3DXCreateEffect(device, bytes.data(), static_cast<UINT>(bytes.size()), nullptr, nullptr, 0, nullptr,
                                 &effect, nullptr);
                SafeRelease(effect);
            }
            IDirect3DVertexBuffer9* vb = nullptr;
            IDirect3DIndexBuffer9* ib = nullptr;
            for (int object = 0; object < 3; ++object) {
                device->CreateVertexBuffer(960000, D3DUSAGE_WRITEONLY, 0x2D2, D3DPOOL_MANAGED, &vb, nullptr);
                device->CreateIndexBuffer(120000, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr);
                SafeRelease(vb);
                SafeRelease(ib);
            }
            device->ClearCalls();
        });

    CPRender::Instance = nullptr;
    render.Device = nullptr;
    device->Release();
}
BENCHMARK(BM_LoadSky)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
