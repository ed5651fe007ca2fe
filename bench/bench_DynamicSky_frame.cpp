// One sky frame at the test sky's size (a 16-segment dome of 85 vertices, two cloud layers)
// and at the largest dome the buffers hold (200 segments, 10251 vertices), with the day
// cycle running, against plain code doing the same per-frame work: the ring colours stepped
// and clamped, every dome vertex coloured with its glow, the cloud quads placed on their
// orbits and transformed, and the device calls of the frame (buffer uploads, draws through
// the effects, fog, ambient, lights, depth clear). The device is the recording stand-in,
// whose call log is emptied every frame.
#include "bench/BaselineRatio.h"
#include "tests/DynamicSky/SkyFixtureFiles.h"
#include "tests/TempFolder.h"

#include "DynamicSky/Skyscape.h"
#include "Render/CPLevelSun.h"
#include "Render/CPRender.h"
#include "platform/d3d9/D3D9Device.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// The plain version of a frame: the same day-cycle step, dome colouring and cloud orbits in
// straight code on arrays, and the same device work, which the sky must do and which costs the
// same on the recording stand-in whoever calls it: the fog and ambient states, each object's
// vertices and indices uploaded into its own buffers and drawn through its effect, the light
// table (one sun, the other 29 slots off) and the depth clear.
class PlainSky {
public:
    PlainSky(IDirect3DDevice9* device, const Skyscape& sky, int segments) : device(device) {
        perRing = segments + 1;
        rings = segments / 4 + 1;
        perBand = std::max(sky.RingsPerBand, 1);
        objects.push_back(Borrow(sky));
        for (const auto& layer : sky.CloudLayers) {
            objects.push_back(Borrow(*layer));
            Orbit orbit;
            orbit.axis = layer->OrbitAxis;
            orbit.frame = layer->AxisFrame;
            orbit.radius = layer->OrbitRadius;
            orbit.phase = layer->Phase;
            orbit.scale = layer->Scale;
            orbits.push_back(orbit);
        }
        sun.Type = D3DLIGHT_DIRECTIONAL;
    }
    ~PlainSky() {
        for (Object& object : objects) {
            object.vertexBuffer->Release();
            object.indexBuffer->Release();
        }
    }

    void Frame(float d) {
        for (size_t k = 0; k < keys.size(); ++k) {
            keys[k] += rates[k] * d;
        }
        for (D3DXVECTOR3& colour : colours) {
            colour += D3DXVECTOR3(1.0f, 1.0f, 1.0f) * d;
            colour = Clamp255(colour);
        }
        device->SetRenderState(D3DRS_FOGCOLOR, Colour(colours[0]));
        ColourDome();
        device->SetRenderState(D3DRS_AMBIENT, Colour(colours[1]));
        objects[0].drawn = objects[0].source;
        UploadAndDraw(objects[0]);
        for (size_t i = 0; i < orbits.size(); ++i) {
            Orbit& orbit = orbits[i];
            orbit.dayAngle += d;
            if (i == 0) {
                PlaceSun(-orbit.position);
            }
            Object& object = objects[i + 1];
            const D3DXMATRIX m = Place(orbit);
            D3DXVec3TransformCoordArray(&object.drawn[0].Position, sizeof(CPVertex), &object.source[0].Position,
                                        sizeof(CPVertex), &m, static_cast<UINT>(object.source.size()));
            UploadAndDraw(object);
        }
        device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    }

private:
    struct Object {
        std::vector<CPVertex> source;
        std::vector<CPVertex> drawn;
        std::vector<uint16_t> indices;
        IDirect3DVertexBuffer9* vertexBuffer = nullptr;
        IDirect3DIndexBuffer9* indexBuffer = nullptr;
        const VertexObject* owner = nullptr;  // whose effect and texture are drawn with (they change with the day)
    };
    struct Orbit {
        D3DXVECTOR3 axis;
        D3DXMATRIX frame;
        D3DXVECTOR3 position;
        float radius = 0.0f;
        float phase = 0.0f;
        float dayAngle = 0.0f;
        float scale = 1.0f;
    };

    Object Borrow(const VertexObject& from) {
        Object object;
        object.source = from.SourceVertices;
        object.drawn = from.Vertices;
        object.indices = from.Indices;
        object.owner = &from;
        device->CreateVertexBuffer(VertexObject::MaxVertices * sizeof(CPVertex), D3DUSAGE_WRITEONLY, CPVertexFVF,
                                   D3DPOOL_MANAGED, &object.vertexBuffer, nullptr);
        device->CreateIndexBuffer(VertexObject::MaxIndices * sizeof(uint16_t), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                  D3DPOOL_MANAGED, &object.indexBuffer, nullptr);
        return object;
    }

    static D3DXVECTOR3 Clamp255(const D3DXVECTOR3& c) {
        return {std::clamp(c.x, 0.0f, 255.0f), std::clamp(c.y, 0.0f, 255.0f), std::clamp(c.z, 0.0f, 255.0f)};
    }
    static uint32_t Colour(const D3DXVECTOR3& c) {
        return 0xFF000000u | static_cast<uint32_t>(c.x) << 16 | static_cast<uint32_t>(c.y) << 8 |
               static_cast<uint32_t>(c.z);
    }

    void ColourDome() {
        std::vector<CPVertex>& vertices = objects[0].source;
        D3DXVECTOR3 toSun;
        D3DXVec3Normalize(&toSun, &sunPosition);
        for (size_t band = 0; band + 1 < keys.size(); ++band) {
            const D3DXVECTOR3 step = (keys[band + 1] - keys[band]) / static_cast<float>(perBand);
            D3DXVECTOR3 c = keys[band];
            const int first = static_cast<int>(band) * perBand;
            const int end = std::min(first + perBand + (band + 2 == keys.size() ? 1 : 0), rings);
            for (int ring = first; ring < end; ++ring) {
                c = Clamp255(c + step);
                for (int j = 0; j < perRing; ++j) {
                    CPVertex& v = vertices[static_cast<size_t>(ring * perRing + j)];
                    const float glow = 56.0f * std::max(-D3DXVec3Dot(&v.Normal, &toSun), 0.0f);
                    v.Diffuse = 0xC8000000u | static_cast<uint32_t>(std::min(c.x + glow, 255.0f)) << 16 |
                                static_cast<uint32_t>(std::min(c.y + glow, 255.0f)) << 8 |
                                static_cast<uint32_t>(std::min(c.z + glow, 255.0f));
                }
            }
        }
    }

    void UploadAndDraw(Object& object) {
        const UINT vertexBytes = static_cast<UINT>(object.drawn.size() * sizeof(CPVertex));
        const UINT indexBytes = static_cast<UINT>(object.indices.size() * sizeof(uint16_t));
        void* vertexData = nullptr;
        void* indexData = nullptr;
        object.vertexBuffer->Lock(0, vertexBytes, &vertexData, 0);
        object.indexBuffer->Lock(0, indexBytes, &indexData, 0);
        std::memcpy(vertexData, object.drawn.data(), vertexBytes);
        std::memcpy(indexData, object.indices.data(), indexBytes);
        object.indexBuffer->Unlock();
        object.vertexBuffer->Unlock();

        device->SetFVF(CPVertexFVF);
        device->SetIndices(object.indexBuffer);
        device->SetStreamSource(0, object.vertexBuffer, 0, sizeof(CPVertex));
        const UINT vertices = static_cast<UINT>(object.drawn.size());
        const UINT triangles = static_cast<UINT>(object.indices.size() / 3);
        ID3DXEffect* effect = object.owner->Effect;
        effect->SetTexture("tex0", object.owner->Texture);
        UINT passes = 0;
        effect->Begin(&passes, 0);
        for (UINT pass = 0; pass < passes; ++pass) {
            effect->BeginPass(pass);
            device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertices, 0, triangles);
            effect->EndPass();
        }
        effect->End();
    }

    void PlaceSun(const D3DXVECTOR3& direction) {
        D3DXVECTOR3 unit;
        D3DXVec3Normalize(&unit, &direction);
        sun.Direction = unit;
        sun.Diffuse = sun.Specular = {colours[2].x / 256.0f, colours[2].y / 256.0f, colours[2].z / 256.0f, 0.0f};
        device->SetLight(0, &sun);
        device->LightEnable(0, TRUE);
        for (DWORD i = 1; i < 30; ++i) {
            device->LightEnable(i, FALSE);
        }
    }

    // The layer circles its axis, faces the origin and stays upright.
    D3DXMATRIX Place(Orbit& orbit) {
        D3DXMATRIX spin;
        D3DXMatrixRotationAxis(&spin, &orbit.axis, orbit.phase - orbit.dayAngle + 3.1415927f);
        D3DXMATRIX m;
        D3DXMatrixMultiply(&m, &orbit.frame, &spin);
        const D3DXVECTOR3 start(orbit.radius, 0.0f, 0.0f);
        D3DXVec3TransformCoord(&orbit.position, &start, &m);
        sunPosition = orbit.position * 100.0f;

        const D3DXVECTOR3 inward = -orbit.position;
        D3DXVECTOR3 n;
        D3DXVec3Normalize(&n, &inward);
        const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
        D3DXVECTOR3 faceAxis;
        D3DXVec3Cross(&faceAxis, &up, &n);
        D3DXMATRIX face;
        D3DXMatrixRotationAxis(&face, &faceAxis, std::acos(std::clamp(n.y, -1.0f, 1.0f)));
        D3DXMatrixScaling(&m, orbit.scale, orbit.scale, orbit.scale);
        D3DXMatrixMultiply(&m, &m, &face);

        D3DXVECTOR3 h(inward.x, 0.0f, inward.z);
        D3DXVec3Normalize(&h, &h);
        h = D3DXVECTOR3(-h.z, 0.0f, h.x);  // a quarter turn about y
        D3DXMATRIX aboutH;
        D3DXMatrixRotationAxis(&aboutH, &h, 1.5707964f);
        D3DXVECTOR3 u;
        D3DXVec3TransformCoord(&u, &inward, &aboutH);
        D3DXVec3Normalize(&u, &u);
        const D3DXVECTOR3 zAxis(0.0f, 0.0f, 1.0f);
        D3DXVECTOR3 w;
        D3DXVec3TransformCoord(&w, &zAxis, &face);
        D3DXVECTOR3 rollAxis;
        D3DXVec3Cross(&rollAxis, &w, &u);
        D3DXMATRIX roll;
        D3DXMatrixRotationAxis(&roll, &rollAxis, std::acos(std::clamp(D3DXVec3Dot(&w, &u), -1.0f, 1.0f)));
        D3DXMatrixMultiply(&m, &m, &roll);
        D3DXMATRIX move;
        D3DXMatrixTranslation(&move, orbit.position.x, orbit.position.y, orbit.position.z);
        D3DXMatrixMultiply(&m, &m, &move);
        return m;
    }

    IDirect3DDevice9* device = nullptr;
    std::vector<Object> objects;  // the dome, then the cloud layers
    std::vector<Orbit> orbits;
    std::vector<D3DXVECTOR3> keys{{100, 150, 200}, {120, 170, 220}, {140, 190, 240}};
    std::vector<D3DXVECTOR3> rates{{-8, -8, -8}, {-8, -8, -8}, {-8, -8, -8}};
    std::vector<D3DXVECTOR3> colours{{90, 90, 90}, {60, 60, 60}, {250, 240, 200}, {10, 20, 30}, {40, 50, 60}};
    D3DXVECTOR3 sunPosition{0.0f, 100.0f, 0.0f};
    D3DLIGHT9 sun{};
    int perRing = 0;
    int rings = 0;
    int perBand = 1;
};

class SkyWorld {
public:
    explicit SkyWorld(int segments) : folder(TempFolder::ForProcess("bench_sky_" + std::to_string(segments))) {
        SkyFixture::WriteSkyFixture(folder.Path());
        std::string sky = SkyFixture::SkyFile;
        sky.replace(sky.find("segments 16"), 11, "segments " + std::to_string(segments));
        folder.Write("Data/Clouds/skyscape1.txt", sky);
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
    }

    D3D9RecordingDevice* device = nullptr;
    CPRender render;
    CPLevelSun level;

private:
    TempFolder folder;
};

void BM_SkyFrame(benchmark::State& state) {
    const int segments = static_cast<int>(state.range(0));
    SkyWorld world(segments);
    {
        Skyscape sky;
        sky.Load("skyscape1.txt");
        sky.DayRate = 0.01f;  // a slow day: colours move every frame, layers change now and then

        sky.Render(0.016f);  // the layers' buffers, effects and textures are in place
        PlainSky plain(world.device, sky, segments);
        world.device->ClearCalls();

        RunAgainstBaseline(
            state,
            [&] {
                sky.Render(0.016f);
                world.device->ClearCalls();
            },
            [&] {
                plain.Frame(0.00016f);
                world.device->ClearCalls();
            });
        state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(sky.SourceVertices.size()));
    }
}
BENCHMARK(BM_SkyFrame)->Arg(16)->Arg(200)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
