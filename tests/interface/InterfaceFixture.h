// A game folder in a scratch directory holding the test menu and font of tests/data/interface,
// a host with the renderer, its managers and the pointer device, the font "small" loaded and
// a script task "gamemenu" in the category "interface" that records what it is told.
#pragma once

#include "../TestTempDir.h"
#include "core/CPScriptTask.h"
#include "core/ConfigVars.h"
#include "host/Host.h"
#include "interface/CPInterface.h"
#include "platform/files/HostFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace InterfaceFixtures {

class InterfaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir / "Data" / "Interface");
        for (const char* name : {"menu1024.int", "small.fnt"}) {
            std::filesystem::copy_file(std::filesystem::path(TEST_DATA_DIR) / "interface" / name,
                                       dir / "Data" / "Interface" / name);
        }
        HostFiles::ClearCache();
        Cfg::ResetDefaults();
        SetScreen(1024, 768);
        host = std::make_unique<Host>();
        ASSERT_TRUE(host->FontManager().LoadFont("small"));
        host->GameData().TextTable["menu_title"] = "AB^aB";
        task = std::make_unique<CPScriptTask>();
        ASSERT_TRUE(host->RegisterScriptTask(task.get(), "gamemenu", {"interface"}));
        host->Scheduler().AddTask(CPtr<CPTask>(task.get()));
    }
    void TearDown() override {
        // Blocks of a frame not drawn still hold the screens' render objects.
        host->StaticBatcher().EndFrame();
        screens.clear();
        host->UnregisterScriptTask(task.get());
        host.reset();
        task.reset();
        HostFiles::ClearCache();
    }

    static void SetScreen(int w, int h) {
        Cfg::screenWidth = w;
        Cfg::screenHeight = h;
    }

    void WriteFile(const std::string& name, const std::string& text) {
        scratch.Write("Data/Interface/" + name, text);
        HostFiles::ClearCache();
    }

    template <class T = CPInterface>
    T& Load(const std::string& name, int number = 0) {
        screens.push_back(std::make_unique<T>());
        screens.back()->Load(name, number);
        return static_cast<T&>(*screens.back());
    }

    // "name:params" of every command received since the last call, in the order sent.
    std::vector<std::string> Received() {
        std::vector<std::string> out;
        for (auto it = task->Commands.rbegin(); it != task->Commands.rend(); ++it) {
            std::string text = it->Name + ":";
            for (size_t i = 0; i < it->Params.size(); ++i) {
                text += (i ? "," : "") + it->Params[i];
            }
            out.push_back(text);
        }
        task->Commands.clear();
        task->Current = nullptr;
        return out;
    }

    ScratchFolder scratch{"interface_test"};
    const std::filesystem::path& dir = scratch.Path();
    std::unique_ptr<Host> host;
    std::unique_ptr<CPScriptTask> task;
    std::vector<std::unique_ptr<CPInterface>> screens;
};

}  // namespace InterfaceFixtures
