// A whole sky from a damaged sky file: built on a recording device and driven through frames
// with the day cycle running, so every read value reaches the dome, the colours, the cloud
// layers and the schedule. The input is the sky file, optionally followed by a line "%%" and
// the schedule's text (the schedule file the sky names is not there). The built sky must stay
// within the memory budget (each cloud layer holds fixed device buffers of about 1 MB).
#include "FuzzFiles.h"

#include "DynamicSky/Skyscape.h"
#include "Render/CPLevelSun.h"
#include "Render/CPRender.h"
#include "platform/d3d9/D3D9Device.h"
#include "platform/win32/CrtRand.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find("\n%%\n");
    const std::string skyText = input.substr(0, split);
    const std::string scheduleText = split == std::string::npos ? std::string() : input.substr(split + 4);

    SkyDescription description;
    ParseSkyDescription(skyText.data(), static_cast<int>(skyText.size()), description);
    const Fuzz::MemoryMark memory;

    static D3D9RecordingDevice* device = D3D9RecordingDevice::Create();
    static CPRender render;
    static CPLevelSun level;
    render.Device = device;
    CPRender::Instance = &render;
    VertexObject::Device = device;
    level.SunLight.Type = D3DLIGHT_DIRECTIONAL;
    CPLevelSun::Current = &level;
    CrtSrand(1);
    Skyscape::SunPosition = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    device->BeginScene();
    {
        Skyscape sky;
        ParseCloudSchedule(scheduleText.data(), static_cast<int>(scheduleText.size()), sky.Schedule.Entries);
        sky.BuildFrom(description);
        memory.Check("the sky");
        sky.DayRate = 1.3f;
        for (int frame = 0; frame < 30; ++frame) {
            render.LightCount = frame % 31;
            sky.Render(0.5f);
            Fuzz::Check(render.LightCount == 0, "the light table is applied every frame");
            Fuzz::Check(sky.SourceVertices.size() <= VertexObject::MaxVertices, "the dome fits its buffer");
            Fuzz::Check(sky.CurrentLayer == 0 || sky.CurrentLayer < static_cast<int>(sky.Layers.size()),
                        "the current layer is a layer");
            Fuzz::Check(sky.Schedule.Entries.empty() ||
                            static_cast<size_t>(sky.EntryIndex) < sky.Schedule.Entries.size(),
                        "the current entry is an entry");
        }
    }
    device->EndScene();
    device->ClearCalls();
    return 0;
}
