// The day cycle and the schedule on plain data: rates toward the next layer, the running and
// overcast colours, the dome's ring colours and the choice of the next schedule entry.
#include "DynamicSky/Skyscape.h"

#include "DynamicSky/SkyTextLines.h"
#include "platform/win32/CrtRand.h"

#include <algorithm>

namespace {

constexpr float TwoPi = 6.2831855f;

float Clamp255(float x) {
    if (x < 0.0f) {
        return 0.0f;
    }
    return x >= 255.0f ? 255.0f : x;
}

D3DXVECTOR3 Clamp255(const D3DXVECTOR3& v) { return {Clamp255(v.x), Clamp255(v.y), Clamp255(v.z)}; }

// The component the overcast sky takes as its brightness; a channel outside 0..2 is cut into it.
float Component(const D3DXVECTOR3& v, int channel) {
    switch (std::clamp(channel, 0, 2)) {
    case 0: return v.x;
    case 1: return v.y;
    default: return v.z;
    }
}

// The overcast colour made from one component: red and green 20 below it (not below 0).
D3DXVECTOR3 Grey(float v) {
    const float rg = std::max(v - 20.0f, 0.0f);
    return {rg, rg, v};
}

// A colour component or an alpha as the byte a vertex colour takes: truncated, low 8 bits.
// Clamped colours take the direct conversion; others (NaN, out of range) the saturating one.
uint32_t LowByte(float value) {
    if (value >= 0.0f && value < 256.0f) {
        return static_cast<uint32_t>(value);
    }
    return static_cast<uint32_t>(SkyTruncate(value)) & 0xFFu;
}

// (next - current) / duration; a duration of 0 gives no change.
float Rate(float current, float next, float duration) { return duration != 0.0f ? (next - current) / duration : 0.0f; }

D3DXVECTOR3 Rate(const D3DXVECTOR3& current, const D3DXVECTOR3& next, float duration) {
    return {Rate(current.x, next.x, duration), Rate(current.y, next.y, duration), Rate(current.z, next.z, duration)};
}

}  // namespace

float Skyscape::BlendFactor() const { return Entry.FadeTime > 0.0f ? Blend * (1.0f / Entry.FadeTime) : 0.0f; }

D3DXVECTOR3 Skyscape::Shown(const D3DXVECTOR3& running, const D3DXVECTOR3& overcast) const {
    if (!IsOvercast()) {
        return running;
    }
    const float t = BlendFactor();
    return running + (overcast - running) * t;
}

void Skyscape::BeginLayer() {
    if (Layers.empty()) {
        return;
    }
    if (CurrentLayer < 0 || CurrentLayer >= static_cast<int>(Layers.size())) {
        CurrentLayer = 0;
    }
    const bool last = CurrentLayer + 1 == static_cast<int>(Layers.size());
    const SkyLayer& cur = Layers[static_cast<size_t>(CurrentLayer)];
    const SkyLayer& next = Layers[last ? 0 : static_cast<size_t>(CurrentLayer) + 1];
    const float d = cur.Duration;

    Running = cur;
    Overcast = cur;
    Rates = cur;
    for (size_t k = 0; k < Rates.RingColours.size() && k < next.RingColours.size(); ++k) {
        Rates.RingColours[k] = Rate(cur.RingColours[k], next.RingColours[k], d);
    }
    Rates.Alpha = Rate(cur.Alpha, next.Alpha, d);
    Rates.Angle = Rate(cur.Angle, next.Angle, d);
    for (int i = 0; i < 3; ++i) {
        Rates.FogValues[i] = Rate(cur.FogValues[i], next.FogValues[i], d);
    }
    Rates.SunColour = Rate(cur.SunColour, next.SunColour, d);
    Rates.AmbientColour = Rate(cur.AmbientColour, next.AmbientColour, d);
    Rates.ColourA = Rate(cur.ColourA, next.ColourA, d);
    Rates.ColourB = Rate(cur.ColourB, next.ColourB, d);
    Rates.FogColour = Rate(cur.FogColour, next.FogColour, d);

    for (size_t i = 0; i < CloudLayers.size(); ++i) {
        if (i < cur.Scales.size() && i < next.Scales.size()) {
            Rates.Scales[i] = Rate(cur.Scales[i], next.Scales[i], d);
        }
        if (i < cur.DayAngles.size() && i < next.DayAngles.size()) {
            // Across the wrap to the first layer the angle keeps turning the same way.
            const float from = last ? cur.DayAngles[i] - TwoPi : cur.DayAngles[i];
            Rates.DayAngles[i] = Rate(from, next.DayAngles[i], d);
        }
        if (i < Running.EffectIndexes.size()) {
            CloudLayers[i]->SelectEffect(Running.EffectIndexes[i]);
        }
        if (i < Running.AdvanceTexture.size() && Running.AdvanceTexture[i] == 1) {
            CloudLayers[i]->NextTexture();
        }
    }
}

void Skyscape::AdvanceDay(float d) {
    // Blend: toward the fade time while the entry runs, back toward 0 near its end.
    if (BlendRising) {
        Blend = std::min(Blend + d, Entry.FadeTime);
    } else {
        Blend = std::max(Blend - d, 0.0f);
    }
    const bool overcast = IsOvercast();
    const int channel = Running.Channel;

    for (size_t k = 0; k < Running.RingColours.size() && k < Rates.RingColours.size(); ++k) {
        Running.RingColours[k] += Rates.RingColours[k] * d;
        if (overcast && k < Overcast.RingColours.size()) {
            Overcast.RingColours[k] = Grey(Component(Running.RingColours[k], channel));
        }
    }

    D3DXVECTOR3 SkyLayer::*const colours[] = {&SkyLayer::SunColour, &SkyLayer::AmbientColour, &SkyLayer::ColourA,
                                              &SkyLayer::ColourB, &SkyLayer::FogColour};
    for (D3DXVECTOR3 SkyLayer::*colour : colours) {
        Running.*colour = Clamp255(Running.*colour + Rates.*colour * d);
        if (overcast) {
            Overcast.*colour = Grey(Component(Running.*colour, channel));
        }
    }

    Running.Alpha = Clamp255(Running.Alpha + Rates.Alpha * d);
    Running.Angle += Rates.Angle * d;
    for (int i = 0; i < 3; ++i) {
        Running.FogValues[i] += Rates.FogValues[i] * d;
    }

    const D3DXVECTOR3 fog = Shown(Running.FogColour, Overcast.FogColour);
    SetSkyFogColour(fog.x, fog.y, fog.z, Running.FogValues[0], Running.FogValues[1]);

    for (size_t i = 0; i < CloudLayers.size(); ++i) {
        if (i < Running.DayAngles.size() && i < Rates.DayAngles.size()) {
            Running.DayAngles[i] += Rates.DayAngles[i] * d;
        }
        if (i < Running.Scales.size() && i < Rates.Scales.size()) {
            Running.Scales[i] += Rates.Scales[i] * d;
        }
    }
}

void Skyscape::ColourDome() {
    if (DomeSegments <= 0) {
        return;
    }
    const size_t perRing = static_cast<size_t>(DomeSegments) + 1;
    const int rings = DomeSegments / 4 + 1;
    const size_t k = std::min({static_cast<size_t>(std::max(RingColourCount, 0)), Running.RingColours.size(),
                               Overcast.RingColours.size()});
    if (k == 0) {
        return;
    }
    std::vector<D3DXVECTOR3> keys(k);
    for (size_t i = 0; i < k; ++i) {
        keys[i] = Shown(Running.RingColours[i], Overcast.RingColours[i]);
    }

    D3DXVECTOR3 sun;
    D3DXVec3Normalize(&sun, &SunPosition);
    const uint32_t alpha = LowByte(Running.Alpha) << 24;
    auto paintRing = [&](int ring, const D3DXVECTOR3& colour) {
        if (ring < 0 || ring >= rings) {
            return;
        }
        const size_t first = static_cast<size_t>(ring) * perRing;
        for (size_t v = first; v < first + perRing && v < SourceVertices.size(); ++v) {
            CPVertex& vertex = SourceVertices[v];
            // The sky glows around the sun: most where the vertex lies in the sun's direction
            // from the origin (its normal points against the sun's).
            const float glow = 56.0f * std::max(-D3DXVec3Dot(&vertex.Normal, &sun), 0.0f);
            vertex.Diffuse = alpha | LowByte(std::min(colour.x + glow, 255.0f)) << 16 |
                             LowByte(std::min(colour.y + glow, 255.0f)) << 8 |
                             LowByte(std::min(colour.z + glow, 255.0f));
        }
    };

    if (k == 1) {
        // One key colour: the whole dome takes it.
        const D3DXVECTOR3 colour = Clamp255(keys[0]);
        for (int ring = 0; ring < rings; ++ring) {
            paintRing(ring, colour);
        }
        return;
    }
    // Too few rings for the bands: one ring per band.
    const int perBand = std::max(RingsPerBand, 1);
    for (size_t band = 0; band + 1 < k; ++band) {
        const D3DXVECTOR3 step = (keys[band + 1] - keys[band]) / static_cast<float>(perBand);
        const int64_t first = static_cast<int64_t>(band) * perBand;
        const int64_t end = first + perBand + (band + 2 == k ? 1 : 0);
        D3DXVECTOR3 working = keys[band];
        for (int64_t ring = first; ring < end && ring < rings; ++ring) {
            working = Clamp255(working + step);
            paintRing(static_cast<int>(ring), working);
        }
    }
}

void Skyscape::SwitchCloudSets() {
    Blend = 0.0f;
    BlendRising = true;
    CloudSet* kept = nullptr;
    if (ActiveCloudSets.size() > 1) {
        kept = ActiveCloudSets[1];
    } else if (!ActiveCloudSets.empty()) {
        kept = ActiveCloudSets[0];
    }
    ActiveCloudSets.clear();
    const auto found = CloudSets.find(Entry.CloudSetName);
    CloudSet* next = found != CloudSets.end() ? found->second.get() : nullptr;
    if (next == kept) {
        if (kept != nullptr) {
            ActiveCloudSets.push_back(kept);
        }
        return;
    }
    if (kept != nullptr) {
        kept->SetVisible(false, false);
        ActiveCloudSets.push_back(kept);
    }
    if (next != nullptr) {
        next->Done = false;
        for (CloudSet::Entry& e : next->Entries) {
            e.Description->WorldPosition = e.Description->Offset + next->Position;
        }
        next->SetVisible(true, true);
        ActiveCloudSets.push_back(next);
    }
}

float Skyscape::EntryLength(const CloudScheduleEntry& entry) {
    const int n = SkyTruncate(20.0f * entry.Duration * entry.Jitter);
    const float spread = n > 0 ? static_cast<float>(CrtRand() % n) * 0.1f : 0.0f;
    return entry.Duration + spread - entry.Duration * entry.Jitter;
}

void Skyscape::ChooseNextEntry() {
    const std::vector<CloudScheduleEntry>& entries = Schedule.Entries;
    const int count = static_cast<int>(entries.size());
    // An entry other than the current one can be accepted when its probability is not
    // negative ((rand mod 100) x 0.01 reaches 0); without one the current entry runs again.
    int fallback = -1;
    for (int i = 0; i < count && fallback < 0; ++i) {
        if (i != EntryIndex && entries[static_cast<size_t>(i)].Probability >= 0.0f) {
            fallback = i;
        }
    }
    int chosen = EntryIndex;
    if (fallback >= 0) {
        // The draws end with probability 1; the bound only guards against a generator cycle
        // that never yields an acceptable pair.
        chosen = fallback;
        for (int attempt = 0; attempt < 1000000; ++attempt) {
            const int idx = CrtRand() % count;
            if (idx == EntryIndex) {
                continue;
            }
            const float r = static_cast<float>(CrtRand() % 100) * 0.01f;
            if (r > entries[static_cast<size_t>(idx)].Probability) {
                continue;
            }
            chosen = idx;
            break;
        }
    }
    EntryIndex = chosen;
    Entry = entries[static_cast<size_t>(chosen)];
    SwitchCloudSets();
    EntryTime = 0.0f;
    EntryDuration = EntryLength(Entry);
}
