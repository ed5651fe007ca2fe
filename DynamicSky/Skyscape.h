// A level's dynamic sky: a coloured dome around the scene, a day cycle that moves from one
// time-of-day phase (sky layer) to the next, cloud layers orbiting the origin (the first one
// is the sun), and a cloud schedule that picks cloud sets at random and may turn the sky
// overcast.
//
// Once a frame, before the scene, Render advances the day cycle and the schedule, sets the
// renderer's fog and ambient colours, recolours and draws the dome, places the level's sun
// light, applies the renderer's light table (exactly once per frame, whatever the sky holds),
// draws the cloud layers and clears the depth buffer so the scene draws over the sky.
//
// The day step d of a frame is frame time x DayRate, in the units of the layers' durations
// and the entries' fade times. DayRate is 0 by default, which stands the day cycle still:
// the running values keep what BeginLayer gave them, the overcast blend stays 0 and the
// current layer never changes. The schedule runs on frame time x TimeScale.
//
// A sky without layers or without schedule entries draws its dome only (a sky whose file is
// missing has neither, and no dome: it draws nothing). Files are read by Skyscape_Load.cpp,
// the day cycle and the dome colours are Skyscape_Cycle.cpp, the frame is Skyscape_Render.cpp.
#pragma once

#include "DynamicSky/CloudLayer.h"
#include "DynamicSky/CloudSchedule.h"
#include "DynamicSky/CloudSet.h"
#include "DynamicSky/SkyDescription.h"
#include "DynamicSky/SkyLayer.h"
#include "DynamicSky/VertexObject.h"
#include "DynamicSky/VolumeClouds.h"
#include "Render/CPRenderSky.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class Skyscape : public VertexObject, public CPRenderSky {
public:
    // 100 x the orbit position of the first cloud layer, rewritten by every Render; the race
    // update places its lens flare with it.
    static D3DXVECTOR3 SunPosition;

    Skyscape() = default;
    ~Skyscape() override;

    // Reads "Data\Clouds\" + fileName and the schedule it names, and builds the whole sky.
    // Called once, on a new sky. A file that cannot be read leaves the sky as constructed.
    void Load(const std::string& fileName) override;
    // Load's work after the sky file is read: the dome, layers, cloud layers and cloud sets of
    // the records (its lists are taken), then the schedule file it names.
    void BuildFrom(SkyDescription& sky);
    // The dome: rings from the horizon circle at the centre's height up to the zenith. A
    // dome larger than the vertex buffers hold is refused (reported) and not built.
    void BuildDome(float radius, int segments, const D3DXVECTOR3& centre, float height);
    // Prepares CurrentLayer: running values from it, rates toward the next layer, the cloud
    // layers' effects and textures.
    void BeginLayer();
    // One frame; frameTime in seconds. The renderer's frame drawing calls it before the scene.
    void Render(float frameTime) override;
    // Cross-fades from the current cloud set to the one of the new Entry.
    void SwitchCloudSets();

    // Day-step units per second of frame time (see above).
    float DayRate = 0.0f;

    float DomeRadius = 0.0f;
    int DomeSegments = 0;
    float DomeHeight = 0.0f;
    D3DXVECTOR3 DomeCentre;
    float TimeScale = 4.0f;  // frame time factor of the schedule
    std::vector<SkyLayer> Layers;
    int RingColourCount = 0;  // K
    int RingsPerBand = 0;     // DomeSegments / (4K - 4); 0 for K below 2
    int CurrentLayer = 0;
    float LayerTime = 0.0f;
    SkyLayer Rates;     // change per unit of day time toward the next layer
    SkyLayer Running;   // present values of the day cycle
    SkyLayer Overcast;  // grey version of Running while an overcast entry is current
    std::vector<std::unique_ptr<CloudLayer>> CloudLayers;
    std::map<std::string, std::unique_ptr<CloudSet>> CloudSets;  // by file name
    CloudSchedule Schedule;
    CloudScheduleEntry Entry;  // copy of the current entry
    int EntryIndex = 0;
    float EntryTime = 0.0f;
    float EntryDuration = 0.0f;
    float Blend = 0.0f;  // overcast blend, 0..FadeTime
    bool BlendRising = true;
    std::vector<CloudSet*> ActiveCloudSets;  // the set fading out, if any, then the current one
    VolumeClouds Clouds;

private:
    bool IsOvercast() const { return Entry.OvercastFlag != 0; }
    // The overcast blend factor: Blend / FadeTime, 0 for a fade time of 0 or less.
    float BlendFactor() const;
    // What the sky shows of a running colour: blended toward its overcast version while an
    // overcast entry is current.
    D3DXVECTOR3 Shown(const D3DXVECTOR3& running, const D3DXVECTOR3& overcast) const;
    // Steps 1 to 6 of a frame: blend, colours, scalars, fog, cloud-layer angles and scales.
    void AdvanceDay(float d);
    // The dome's vertex colours from the ring colours, with the sun's glow.
    void ColourDome();
    // Draws the cloud layers; the first places the sun light and applies the light table.
    void DrawCloudLayers(float d);
    // The next schedule entry, drawn at random by probability; the same one again when no
    // other can be accepted.
    void ChooseNextEntry();
    // Duration + (rand mod n) x 0.1 - Duration x Jitter, n = trunc(20 x Duration x Jitter);
    // without the random part when n is 0 or less.
    static float EntryLength(const CloudScheduleEntry& entry);
};

// The renderer's ambient colour from 0..255 components (truncated, low 8 bits).
void SetSkyAmbient(float r, float g, float b);
// The renderer's fog colour and the device's fog-colour state; the two values are not used.
void SetSkyFogColour(float r, float g, float b, float, float);
// Turns and colours the current level's sun light (nothing without a level) and offers it to
// the light table, then applies the table (always).
void SetSkySunLight(const D3DXVECTOR3* direction, const D3DCOLORVALUE* colour);
// Clears the depth buffer of VertexObject::Device; nothing without one.
void ClearSkyDepth();
