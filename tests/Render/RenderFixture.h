// A game folder in a temporary directory (the working directory while a test runs) with the
// renderer on a recording device, the shared effect pool and the effect, texture and
// material managers set up as the host sets them, and the log's reports collected.
#pragma once

#include "tests/TestTempDir.h"
#include "Render/CPEffectManager.h"
#include "Render/CPMaterialManager.h"
#include "Render/CPRender.h"
#include "Render/CPTextureManager.h"
#include "core/CPLog.h"
#include "core/ConfigVars.h"
#include "core/FrameTime.h"
#include "platform/d3d9/D3D9Device.h"
#include "platform/d3d9/D3D9Faults.h"
#include "platform/files/HostFiles.h"
#include "platform/win32/CrtRand.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace RenderFixtures {

using Bytes = std::vector<uint8_t>;

// An uncompressed 24-bit TGA of w x h pixels of one colour.
inline Bytes MakeTga(uint16_t w, uint16_t h, uint32_t rgb = 0x336699) {
    Bytes b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    b.push_back(static_cast<uint8_t>(w));
    b.push_back(static_cast<uint8_t>(w >> 8));
    b.push_back(static_cast<uint8_t>(h));
    b.push_back(static_cast<uint8_t>(h >> 8));
    b.push_back(24);
    b.push_back(0);
    for (int i = 0; i < w * h; ++i) {
        b.push_back(static_cast<uint8_t>(rgb));
        b.push_back(static_cast<uint8_t>(rgb >> 8));
        b.push_back(static_cast<uint8_t>(rgb >> 16));
    }
    return b;
}

inline Bytes TextBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// An effect with a technique and the given declarations.
inline std::string EffectText(const std::string& declarations) {
    return declarations + "\ntechnique Main { pass P0 { ZEnable = true; } }\n";
}

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = TestTempDir("render_test");
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        previousDirectory = std::filesystem::current_path();
        std::filesystem::current_path(dir);
        HostFiles::ClearCache();
        Cfg::ResetDefaults();
        D3D9Faults::Reset();
        CrtSrand(1);
        FrameTime = 0.0f;
        CPLog::GetInstance().SetSink([this](const CPLogReport& r) { reports.push_back(r); });

        device = D3D9RecordingDevice::Create();
        render = std::make_unique<CPRender>();
        render->Device = device;
        render->MaxAnisotropy = 16;
        render->MaxFade = 200;
        CPRender::Instance = render.get();
        ASSERT_EQ(D3DXCreateEffectPool(&pool), S_OK);
        effects = std::make_unique<CPEffectManager>();
        effects->Pool = pool;
        CPEffectManager::Instance = effects.get();
        textures = std::make_unique<CPTextureManager>();
        CPTextureManager::Instance = textures.get();
        materials = std::make_unique<CPMaterialManager>();
        CPMaterialManager::Instance = materials.get();
    }

    void TearDown() override {
        materials.reset();
        CPMaterialManager::Instance = nullptr;
        textures.reset();
        CPTextureManager::Instance = nullptr;
        effects.reset();
        CPEffectManager::Instance = nullptr;
        render.reset();
        CPRender::Instance = nullptr;
        SafeRelease(pool);
        EXPECT_EQ(device->Release(), 0u) << "a device reference was not given back";
        D3D9Faults::Reset();
        CPLog::GetInstance().SetSink({});
        Cfg::ResetDefaults();
        FrameTime = 0.0f;
        std::filesystem::current_path(previousDirectory);
        std::filesystem::remove_all(dir);
        HostFiles::ClearCache();
    }

    // Writes a file under the game folder ("Data/Textures/x.tga").
    void WriteFile(const std::string& name, const Bytes& bytes) const {
        const std::filesystem::path path = dir / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    void WriteEffect(const std::string& name, const std::string& declarations) const {
        WriteFile("Data/Effects/" + name, TextBytes(EffectText(declarations)));
    }
    void WriteTexture(const std::string& name, uint16_t w = 4, uint16_t h = 4) const {
        WriteFile("Data/Textures/" + name, MakeTga(w, h));
    }

    std::filesystem::path dir;
    std::filesystem::path previousDirectory;
    std::vector<CPLogReport> reports;
    D3D9RecordingDevice* device = nullptr;
    ID3DXEffectPool* pool = nullptr;
    std::unique_ptr<CPRender> render;
    std::unique_ptr<CPEffectManager> effects;
    std::unique_ptr<CPTextureManager> textures;
    std::unique_ptr<CPMaterialManager> materials;
};

}  // namespace RenderFixtures
