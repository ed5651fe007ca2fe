// One sky frame, and the renderer and level state the sky writes: fog and ambient colours,
// the sun light and the depth clear.
#include "DynamicSky/Skyscape.h"

#include "DynamicSky/SkyTextLines.h"
#include "Render/CPLevelSun.h"
#include "Render/CPRender.h"
#include "core/Singletons.h"

namespace {

constexpr float ByteToUnit = 0.003921569f;  // 1/255

// 0xFF000000 + r << 16 + g << 8 + b, each component truncated and cut to its low 8 bits.
uint32_t SkyColour(float r, float g, float b) {
    auto byte = [](float v) { return static_cast<uint32_t>(SkyTruncate(v)) & 0xFFu; };
    return 0xFF000000u + (byte(r) << 16) + (byte(g) << 8) + byte(b);
}

// A 0..1 light component as a byte: 255 from 1 up, 0 from 0 down, else rounded.
float LightByte(float v) {
    if (v >= 1.0f) {
        return 255.0f;
    }
    if (v <= 0.0f) {
        return 0.0f;
    }
    return static_cast<float>(SkyTruncate(v * 255.0f + 0.5f));
}

}  // namespace

void SetSkyAmbient(float r, float g, float b) {
    if (CPRender* render = GetRender(); render != nullptr) {
        render->SetAmbient(SkyColour(r, g, b), r * ByteToUnit, g * ByteToUnit, b * ByteToUnit);
    }
}

void SetSkyFogColour(float r, float g, float b, float, float) {
    CPRender* render = GetRender();
    if (render == nullptr) {
        return;
    }
    const uint32_t colour = SkyColour(r, g, b);
    render->FogColor = colour;
    if (render->Device != nullptr) {
        render->Device->SetRenderState(D3DRS_FOGCOLOR, colour);
    }
}

void SetSkySunLight(const D3DXVECTOR3* direction, const D3DCOLORVALUE* colour) {
    if (CPLevelSun* level = CPLevelSun::Current; level != nullptr) {
        D3DLIGHT9& light = level->SunLight;
        D3DXVECTOR3 unit;
        D3DXVec3Normalize(&unit, direction);
        light.Direction = unit;
        // Bytes over 256, as the light has always been lit (a full byte is 255/256).
        const D3DCOLORVALUE value{LightByte(colour->r) * 0.00390625f, LightByte(colour->g) * 0.00390625f,
                                  LightByte(colour->b) * 0.00390625f, 0.0f};
        light.Diffuse = value;
        light.Specular = value;
        level->AddSunLight();
    }
    if (CPRender* render = GetRender(); render != nullptr) {
        render->ApplyLights();
    }
}

void ClearSkyDepth() {
    if (VertexObject::Device != nullptr) {
        VertexObject::Device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    }
}

void Skyscape::Render(float frameTime) {
    const float w = frameTime * TimeScale;
    float d = frameTime * DayRate;
    const bool cycle = !Layers.empty();
    const bool schedule = !Schedule.Entries.empty();

    if (cycle) {
        AdvanceDay(d);
        ColourDome();
    }
    LayerTime += d;
    EntryTime += w;
    d = TimeScale != 0.0f ? d / TimeScale : 0.0f;
    if (cycle) {
        const D3DXVECTOR3 ambient = Shown(Running.AmbientColour, Overcast.AmbientColour);
        SetSkyAmbient(ambient.x, ambient.y, ambient.z);
    }

    UseEffect2 = false;
    CreateBuffers(SourceVertices, Indices, false);
    VertexObject::Draw(d);

    if (cycle && schedule && !CloudLayers.empty()) {
        DrawCloudLayers(d);
    } else if (CPRender* render = GetRender(); render != nullptr) {
        // No sun to place; the light table is still applied once this frame.
        render->ApplyLights();
    }
    ClearSkyDepth();

    if (cycle) {
        const int layers = static_cast<int>(Layers.size());
        const int current = CurrentLayer >= 0 && CurrentLayer < layers ? CurrentLayer : 0;
        if (LayerTime > Layers[static_cast<size_t>(current)].Duration) {
            LayerTime = 0.0f;
            CurrentLayer = current + 1 < layers ? current + 1 : 0;
            BeginLayer();
        }
    }
    if (schedule) {
        if (EntryTime > EntryDuration) {
            ChooseNextEntry();
        } else if (EntryDuration - EntryTime <= Entry.FadeTime) {
            BlendRising = false;
        }
    }
}

void Skyscape::DrawCloudLayers(float d) {
    const bool overcast = IsOvercast();
    for (size_t i = 0; i < CloudLayers.size(); ++i) {
        CloudLayer& layer = *CloudLayers[i];
        if (i < Running.Scales.size()) {
            layer.Scale = Running.Scales[i];
        }
        if (i < Running.DayAngles.size()) {
            layer.DayAngle = Running.DayAngles[i];
        }
        // Overcast: the sun fades to 55, the other layers out, as the blend rises (no fade
        // for a fade time of 0 or less).
        const bool fades = overcast && Entry.FadeTime > 0.0f;
        if (i == 0) {
            if (overcast) {
                layer.SetAlpha(fades ? SkyTruncate(255.0f - Blend * 200.0f / Entry.FadeTime) : 255);
            }
            SunPosition = layer.Position * 100.0f;
            const D3DXVECTOR3 toSun = -layer.Position;
            const D3DXVECTOR3 sun = Shown(Running.SunColour, Overcast.SunColour) * ByteToUnit;
            const D3DCOLORVALUE colour{sun.x, sun.y, sun.z, 1.0f};
            SetSkySunLight(&toSun, &colour);
        } else if (overcast) {
            layer.SetAlpha(fades ? SkyTruncate(255.0f - Blend * 255.0f / Entry.FadeTime) : 255);
        }
        layer.Draw(d);
    }
}
