// One sky frame at the test sky's size (a 16-segment dome of 85 vertices, two cloud layers)
// and at the largest dome the buffers hold (200 segments, 10251 vertices), with the day
// cycle running, against a plain loop doing the same per-frame work on arrays: the ring
// colours stepped and clamped, every dome vertex coloured with its glow and copied out, and
// the cloud quads transformed and copied. The device is the recording stand-in, whose call
// log is emptied every frame.
#include "bench/BaselineRatio.h"
#include "tests/DynamicSky/SkyFixtureFiles.h"

#include "DynamicSky/Skyscape.h"
#include "Render/CPLevelSun.h"
#include "Render/CPRender.h"
#include "platform/d3d9/D3D9Device.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

// The plain version of a frame's recolouring: K key colours, rings of `perRing` vertices.
struct PlainDome {
    std::vector<CPVertex> vertices;
    std::vector<CPVertex> uploaded;
    std::vector<D3DXVECTOR3> keys{{100, 150, 200}, {120, 170, 220}, {140, 190, 240}};
    std::vector<D3DXVECTOR3> rates{{-8, -8, -8}, {-8, -8, -8}, {-8, -8, -8}};
    std::vector<CPVertex> quad = std::vector<CPVertex>(4);
    std::vector<CPVertex> quadOut = std::vector<CPVertex>(4);
    int perRing = 0;
    int rings = 0;
    int perBand = 1;

    void Frame(float d) {
        for (size_t k = 0; k < keys.size(); ++k) {
            keys[k] += rates[k] * d;
        }
        const D3DXVECTOR3 sun(-1.0f, 0.0f, 0.0f);
        for (size_t band = 0; band + 1 < keys.size(); ++band) {
            const D3DXVECTOR3 step = (keys[band + 1] - keys[band]) / static_cast<float>(perBand);
            D3DXVECTOR3 c = keys[band];
            const int first = static_cast<int>(band) * perBand;
            const int end = std::min(first + perBand + (band + 2 == keys.size() ? 1 : 0), rings);
            for (int ring = first; ring < end; ++ring) {
                c += step;
                c = D3DXVECTOR3(std::clamp(c.x, 0.0f, 255.0f), std::clamp(c.y, 0.0f, 255.0f),
                                std::clamp(c.z, 0.0f, 255.0f));
                for (int j = 0; j < perRing; ++j) {
                    CPVertex& v = vertices[static_cast<size_t>(ring * perRing + j)];
                    const float glow = 56.0f * std::max(-D3DXVec3Dot(&v.Normal, &sun), 0.0f);
                    v.Diffuse = 0xC8000000u | static_cast<uint32_t>(std::min(c.x + glow, 255.0f)) << 16 |
                                static_cast<uint32_t>(std::min(c.y + glow, 255.0f)) << 8 |
                                static_cast<uint32_t>(std::min(c.z + glow, 255.0f));
                }
            }
        }
        std::memcpy(uploaded.data(), vertices.data(), vertices.size() * sizeof(CPVertex));
        D3DXMATRIX m;
        D3DXMatrixRotationYawPitchRoll(&m, d, 0.3f, 0.2f);
        for (int layer = 0; layer < 2; ++layer) {
            D3DXVec3TransformCoordArray(&quadOut[0].Position, sizeof(CPVertex), &quad[0].Position, sizeof(CPVertex), &m,
                                        4);
            benchmark::DoNotOptimize(quadOut.data());
        }
    }
};

class SkyWorld {
public:
    explicit SkyWorld(int segments) {
        folder = std::filesystem::temp_directory_path() /
                 ("bench_sky_" + std::to_string(getpid()) + "_" + std::to_string(segments));
        std::filesystem::remove_all(folder);
        SkyFixture::WriteSkyFixture(folder);
        std::string sky = SkyFixture::SkyFile;
        sky.replace(sky.find("segments 16"), 11, "segments " + std::to_string(segments));
        SkyFixture::WriteText(folder / "Data" / "Clouds" / "skyscape1.txt", sky);
        previous = std::filesystem::current_path();
        std::filesystem::current_path(folder);
        device = D3D9RecordingDevice::Create();
        render.Device = device;
        CPRender::Instance = &render;
        VertexObject::Device = device;
        level.SunLight.Type = D3DLIGHT_DIRECTIONAL;
        CPLevelSun::Current = &level;
        device->BeginScene();
    }
    ~SkyWorld() {
        device->EndScene();
        CPLevelSun::Current = nullptr;
        VertexObject::Device = nullptr;
        CPRender::Instance = nullptr;
        render.Device = nullptr;
        device->Release();
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(folder);
    }

    D3D9RecordingDevice* device = nullptr;
    CPRender render;
    CPLevelSun level;

private:
    std::filesystem::path folder;
    std::filesystem::path previous;
};

void BM_SkyFrame(benchmark::State& state) {
    const int segments = static_cast<int>(state.range(0));
    SkyWorld world(segments);
    {
        Skyscape sky;
        sky.Load("skyscape1.txt");
        sky.DayRate = 0.01f;  // a slow day: colours move every frame, layers change now and then

        PlainDome plain;
        plain.perRing = segments + 1;
        plain.rings = segments / 4 + 1;
        plain.perBand = std::max(sky.RingsPerBand, 1);
        plain.vertices = sky.SourceVertices;
        plain.uploaded = sky.SourceVertices;

        RunAgainstBaseline(
            state,
            [&] {
                sky.Render(0.016f);
                world.device->ClearCalls();
            },
            [&] { plain.Frame(0.00016f); });
        state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(sky.SourceVertices.size()));
    }
}
BENCHMARK(BM_SkyFrame)->Arg(16)->Arg(200)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
