// The sky's world for a test: the fixture's game folder as the working directory, a renderer
// on a recording device (also the sky's drawing device) inside a scene, a current level with
// a directional sun light, the generator seeded with 1 and the log's reports collected.
#pragma once

#include "SkyFolderTest.h"

#include "Render/CPLevelSun.h"
#include "Render/CPRender.h"
#include "DynamicSky/Skyscape.h"
#include "DynamicSky/VertexObject.h"
#include "core/CPLog.h"
#include "platform/d3d9/D3D9Device.h"
#include "platform/d3d9/D3D9Faults.h"
#include "platform/win32/CrtRand.h"

#include <memory>
#include <string>
#include <vector>

class SkyRenderTest : public SkyFolderTest {
protected:
    void SetUp() override {
        SkyFolderTest::SetUp();
        SkyFixture::WriteSkyFixture(folder);
        D3D9Faults::Reset();
        device = D3D9RecordingDevice::Create();
        render = std::make_unique<CPRender>();
        render->Device = device;
        CPRender::Instance = render.get();
        VertexObject::Device = device;
        level = std::make_unique<CPLevelSun>();
        level->SunLight.Type = D3DLIGHT_DIRECTIONAL;
        CPLevelSun::Current = level.get();
        CrtSrand(1);
        Skyscape::SunPosition = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        CPLog::GetInstance().SetSink([this](const CPLogReport& r) { reports.push_back(r); });
        device->BeginScene();
    }
    void TearDown() override {
        device->EndScene();
        CPLog::GetInstance().SetSink({});
        CPLevelSun::Current = nullptr;
        level.reset();
        VertexObject::Device = nullptr;
        render.reset();
        CPRender::Instance = nullptr;
        EXPECT_EQ(device->Release(), 0u) << "every device reference given back";
        D3D9Faults::Reset();
        SkyFolderTest::TearDown();
    }

    // The n-th value (from 1) of the game's generator after seeding with 1, worked out from
    // its formula x = x * 214013 + 2531011, (x >> 16) & 0x7FFF.
    static int NthRand(int n) {
        uint32_t x = 1;
        int value = 0;
        for (int i = 0; i < n; ++i) {
            x = x * 214013u + 2531011u;
            value = static_cast<int>((x >> 16) & 0x7FFF);
        }
        return value;
    }

    std::vector<const D3D9Call*> Named(const std::string& name) const { return device->CallsNamed(name); }
    // Reports of the log naming the sky's vertex object file at that line.
    int ReportsAt(int line) const {
        int n = 0;
        for (const CPLogReport& r : reports) {
            n += r.File == "DynamicSky/VertexObject" && r.Line == line ? 1 : 0;
        }
        return n;
    }

    D3D9RecordingDevice* device = nullptr;
    std::unique_ptr<CPRender> render;
    std::unique_ptr<CPLevelSun> level;
    std::vector<CPLogReport> reports;
};
