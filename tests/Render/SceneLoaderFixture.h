// The scene loader on the renderer's test fixture, with the animation manager and the sample
// game folder (tests/data/loader, made by meshbuild) copied into the test's game folder.
#pragma once

#include "Render/CPAnimationManager.h"
#include "Render/MeshFile.h"
#include "scene/CPGameObject.h"
#include "scene/CPSceneLoader.h"
#include "tests/Render/RenderFixture.h"

#include <filesystem>
#include <memory>
#include <vector>

namespace SceneLoaderFixtures {

class SceneLoaderTest : public RenderFixtures::RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        std::filesystem::copy(std::filesystem::path(TEST_DATA_DIR) / "loader" / "Data", dir / "Data",
                              std::filesystem::copy_options::recursive);
        for (const char* texture : {"box.tga", "car.tga", "wheel.tga", "glow.tga", "skin.tga"}) WriteTexture(texture);
        HostFiles::ClearCache();
        animations = std::make_unique<CPAnimationManager>();
        CPAnimationManager::Instance = animations.get();
        loader.DefaultVertexColour = 0xFFFFFFFF;
        CPSceneLoader::Instance = &loader;
    }
    void TearDown() override {
        for (CPGameObject* root : loaded) CPSceneLoader::DeleteObject(root);
        CPSceneLoader::Instance = nullptr;
        CPAnimationManager::Instance = nullptr;
        animations.reset();
        RenderTest::TearDown();
    }

    // Loads and keeps the tree for deletion at the end.
    CPGameObject* Load(const std::string& name, int32_t typeBase = 0) {
        CPtr<CPGameObject> root = loader.LoadObject(name, typeBase);
        if (root != nullptr) loaded.push_back(root.Get());
        return root.Get();
    }
    void WriteText(const std::string& name, const std::string& text) const {
        WriteFile(name, RenderFixtures::TextBytes(text));
        HostFiles::ClearCache();
    }
    void WriteMesh(const std::string& name, const MeshFile::File& file, MeshFile::Kind kind,
                   const std::vector<std::vector<uint8_t>>& keyFrames = {}) const {
        WriteFile("Data/Meshes/" + name, MeshFile::Write(file, kind, keyFrames));
        HostFiles::ClearCache();
    }
    int Reports(const std::string& part) const {
        int count = 0;
        for (const CPLogReport& report : reports) count += report.Text.find(part) != std::string::npos;
        return count;
    }

    CPSceneLoader loader;
    std::unique_ptr<CPAnimationManager> animations;
    std::vector<CPGameObject*> loaded;
};

}  // namespace SceneLoaderFixtures
