// A script test with a small screen description "test" and a font "hud" (digits, a few
// letters, ':', '-' and the caret) in the game folder, the design resolution 1024 x 768, and a
// recording script task "gamemenu" in the category "interface" that the screens report to.
#pragma once

#include "ScriptFixture.h"

#include "core/CPScriptTask.h"
#include "interface/CPInterface.h"

#include <string>
#include <vector>

class InterfaceScriptTest : public ScriptTest {
protected:
    // Windows "back", "panel" (10, 20, 100 x 50) and the hidden "tip"; buttons "ok" and
    // "cancel"; edit box "name" of 5 characters; labels "title" (key "title_key") and "note";
    // the cursor.
    static constexpr const char* TestScreen =
        "gamemenu\n"
        "ui.tga,256,256\n"
        "light,off\n"
        "window\nback 0,0,1024,768,0,0,64,64\n"
        "window\npanel 10,20,100,50,0,64,32,32\n"
        "window\ntip 500,20,40,40,32,64,32,32,false\n"
        "button\nok 100,100,64,32,0,128,64,32\nok_over 0,0,64,32,0,160,64,32\nok_down 0,0,64,32,0,192,64,32\n"
        "button\ncancel 200,100,64,32,64,128,64,32\ncancel_over 0,0,64,32,64,160,64,32\n"
        "cancel_down 0,0,64,32,64,192,64,32\n"
        "textedit\nname 300,300,hud,5\n"
        "text\ntitle hud,10,10,title_key\n"
        "text\nnote hud,10,40,\n"
        "window\ncursor 0,0,16,16,128,0,16,16\n";

    void SetUp() override {
        ScriptTest::SetUp();
        Cfg::screenWidth = 1024;
        Cfg::screenHeight = 768;
        WriteFile("Data/Interface/test1024.int", TestScreen);
        std::string font = "font.tga,256,256,16\n";
        for (const char c : std::string("0123456789:-_ ABCDEFabcdef")) {
            font += std::to_string(static_cast<unsigned char>(c)) + ",0,0,10\n";
        }
        WriteFile("Data/Interface/hud.fnt", font);
        HostFiles::ClearCache();
        ASSERT_TRUE(host->FontManager().LoadFont("hud"));
        host->GameData().TextTable["title_key"] = "Title";
        ASSERT_TRUE(host->RegisterScriptTask(&task, "gamemenu", {"interface"}));
        host->Scheduler().AddTask(CPtr<CPTask>(&task));
    }
    void TearDown() override {
        host->UnregisterScriptTask(&task);
        host->Scheduler().Tasks.remove_if([this](const CPtr<CPTask>& t) { return t.Get() == &task; });
        ScriptTest::TearDown();
    }

    // The screen a script made and left in the global `name`.
    CPInterface& Screen(const char* name = "ui") {
        lua_getglobal(L(), name);
        auto* screen = static_cast<CPInterface*>(lua_touserdata(L(), -1));
        lua_pop(L(), 1);
        EXPECT_NE(screen, nullptr);
        return *screen;
    }

    // "name:params" of the commands received since the last call, in the order sent, without
    // the "add_object" / "delete_object" of the screen's own activation.
    std::vector<std::string> Received() {
        std::vector<std::string> out;
        for (auto it = task.Commands.rbegin(); it != task.Commands.rend(); ++it) {
            if (it->Name == "add_object" || it->Name == "delete_object") {
                continue;
            }
            std::string text = it->Name + ":";
            for (size_t i = 0; i < it->Params.size(); ++i) {
                text += (i ? "," : "") + it->Params[i];
            }
            out.push_back(text);
        }
        task.Commands.clear();
        task.Current = nullptr;
        return out;
    }

    CPScriptTask task;
};
