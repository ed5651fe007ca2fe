// Building a sky from its files: the records of the sky file become the dome, the layers,
// the cloud layers and the cloud sets, in the order the file lists them.
#include "DynamicSky/Skyscape.h"

#include "DynamicSky/SkyDescription.h"
#include "DynamicSky/SkyFiles.h"
#include "core/CPLog.h"
#include "core/Geometry.h"

#include <cstdint>

void Skyscape::Load(const std::string& fileName) {
    std::vector<uint8_t> text;
    if (ReadSkyFile(fileName, text)) {
        SkyDescription sky;
        ParseSkyDescription(reinterpret_cast<const char*>(text.data()), static_cast<int>(text.size()), sky);
        BuildFrom(sky);
    }
    LoadEffect2("data/effects/skyscape_light.fx");
}

void Skyscape::BuildFrom(SkyDescription& sky) {
    if (sky.DroppedCloudLayers > 0) {
        CPLog::GetInstance().Write(0, "Sky file lists %d cloud layers; the first %d are used\n",
                                   sky.CloudLayerCount + sky.DroppedCloudLayers, sky.CloudLayerCount);
    }
    TimeScale = sky.TimeScale;
    BuildDome(sky.DomeRadius, sky.DomeSegments, sky.DomeCentre, sky.DomeHeight);
    LoadTexture(sky.DomeTexture);
    LoadEffect(sky.DomeEffect);
    RingColourCount = sky.RingColourCount;
    // One band per pair of neighbouring key colours over the dome's rings; a single key
    // colour has no bands.
    RingsPerBand = RingColourCount >= 2 ? static_cast<int>(static_cast<int64_t>(DomeSegments) /
                                                           (4 * static_cast<int64_t>(RingColourCount) - 4))
                                        : 0;
    CurrentLayer = sky.StartLayer;
    Layers = std::move(sky.Layers);

    for (const SkyCloudLayerBlock& block : sky.CloudLayers) {
        auto layer = std::make_unique<CloudLayer>();
        layer->SetEffectNames(sky.CloudEffects[0], sky.CloudEffects[1]);
        D3DXVec3Normalize(&layer->OrbitAxis, &block.OrbitAxis);
        const D3DXVECTOR3 z(0.0f, 0.0f, 1.0f);
        D3DXVECTOR3 turnAxis;
        D3DXVec3Cross(&turnAxis, &z, &layer->OrbitAxis);
        D3DXMatrixRotationAxis(&layer->AxisFrame, &turnAxis,
                               static_cast<float>(ClampedAcos(D3DXVec3Dot(&z, &layer->OrbitAxis))));
        layer->OrbitRadius = block.OrbitRadius;
        layer->Phase = block.Phase;
        for (const std::string& texture : block.Textures) {
            layer->AddTexture(texture);
        }
        layer->Build(block.HalfSize);
        CloudLayers.push_back(std::move(layer));
    }

    // A name listed twice keeps the later set; the earlier one is freed.
    for (const std::string& name : sky.CloudSets) {
        auto set = std::make_unique<CloudSet>();
        set->Load(name);
        CloudSets[name] = std::move(set);
    }

    Schedule.Load(sky.ScheduleFile);
    if (!Schedule.Entries.empty()) {
        Entry = Schedule.Entries[0];
        EntryIndex = 0;
        EntryTime = 0.0f;
        Blend = 0.0f;
        BlendRising = true;
        // A set name that names no set shows no clouds.
        const auto found = CloudSets.find(Entry.CloudSetName);
        if (found != CloudSets.end() && found->second != nullptr) {
            ActiveCloudSets.push_back(found->second.get());
            found->second->Done = false;
        }
        EntryDuration = EntryLength(Entry);
    }
    if (!Layers.empty()) {
        Rates = Layers[0];
        BeginLayer();
    }
}
