// The engine binding module (table E) through scripts: commands consumed in sending order,
// handles as 64-bit decimal text, strings split and numbers truncated, scene objects walked,
// shown, moved, activated and drawn, references counted, the fade, and interface buttons
// locked and unlocked.
#include "ScriptFixture.h"

#include "core/FrameTime.h"
#include "core/ObjectAddress.h"
#include "interface/CPInterface.h"
#include "scene/CPGameObject.h"

#include <memory>

namespace {

class ScriptEngine : public ScriptTest {
protected:
    // A running task of the runtime that nothing steps; commands reach it directly.
    std::unique_ptr<CPLuaScriptTask> MakeTask() {
        auto task = std::make_unique<CPLuaScriptTask>(host->Scripts(), "none.lua");
        task->Running = true;
        host->RegisterScriptTask(task.get(), "inbox", {"main"});
        SetHandle("task", static_cast<CPObject*>(task.get()));
        return task;
    }
};

TEST_F(ScriptEngine, CommandsAreTakenOldestFirstWithTheirParameters) {
    const auto task = MakeTask();
    Run(R"(
        -- an empty queue: false, and nothing current
        assert(SetNextCommand(task) == false)
        assert(select('#', GetCurrentCommand(task)) == 0)
        assert(select('#', GetCurrentParams(task)) == 0)
        SendCommandByName("inbox", "a", "1,2,3")
        SendCommandByCategory("main", "b", "")
        SendCommandByName("inbox", "c", "x,,\"y,z\"")
        assert(SetNextCommand(task) == true and GetCurrentCommand(task) == "a")
        local p1, p2, p3 = GetCurrentParams(task)
        assert(p1 == "1" and p2 == "2" and p3 == "3")
        assert(SetNextCommand(task) == true and GetCurrentCommand(task) == "b")
        assert(select('#', GetCurrentParams(task)) == 0)
        assert(SetNextCommand(task) == true and GetCurrentCommand(task) == "c")
        local q1, q2, q3 = GetCurrentParams(task)
        assert(q1 == "x" and q2 == "" and q3 == "y,z")
        assert(SetNextCommand(task) == false)
        assert(select('#', GetCurrentCommand(task)) == 0)
        -- null tasks
        local null = StringToPointer("0")
        assert(SetNextCommand(null) == false and SetNextCommand(nil) == false)
        assert(select('#', GetCurrentCommand(null)) == 0)
        -- strict arguments of the senders
        assert(not pcall(SendCommandByName, "inbox", "d"))
        assert(not pcall(SendCommandByCategory, {}, "d", ""))
    )");
    EXPECT_TRUE(task->Commands.empty());
    host->UnregisterScriptTask(task.get());
}

TEST_F(ScriptEngine, SendCommandByObjectReachesTheObjectsTask) {
    const auto task = MakeTask();
    CPGameObject owned("owned");
    CPGameObject lone("lone");
    owned.SetScriptObject(CPtr<CPScriptTask>(task.get()));
    SetHandle("owned", static_cast<CPObject*>(&owned));
    SetHandle("lone", static_cast<CPObject*>(&lone));
    Run(R"(
        SendCommandByObject(owned, "hit", "5")
        SendCommandByObject(lone, "lost", "")
        -- a null object reads nothing more: no error for the missing strict arguments
        SendCommandByObject(nil)
        assert(not pcall(SendCommandByObject, owned, "x"))
        assert(SetNextCommand(task) and GetCurrentCommand(task) == "hit" and GetCurrentParams(task) == "5")
        assert(SetNextCommand(task) == false)
    )");
    owned.ScriptObject = nullptr;
    host->UnregisterScriptTask(task.get());
}

TEST_F(ScriptEngine, HandlesTravelAsSixtyFourBitDecimalText) {
    CPGameObject node("node");
    SetHandle("node", static_cast<CPObject*>(&node));
    const std::string text = AddressToText(static_cast<CPObject*>(&node));
    Run(R"(
        local text = PointerToString(node)
        assert(StringToPointer(text) == node)
        assert(GetChildObject(StringToPointer(text), "node") == node)
        assert(PointerToString(StringToPointer("12abc")) == "12")
        assert(PointerToString(StringToPointer("  -7")) == "-7")
        assert(PointerToString(StringToPointer("abc")) == "0")
        assert(PointerToString(StringToPointer("99999999999999999999")) == "0")
        assert(PointerToString(nil) == "0" and PointerToString(5) == "0")
        node_text = text
    )");
    lua_getglobal(L(), "node_text");
    EXPECT_EQ(std::string(lua_tostring(L(), -1)), text);
    lua_pop(L(), 1);
    EXPECT_GT(text.size(), 10u);  // a whole 64-bit address, not a truncated 32-bit one
}

TEST_F(ScriptEngine, StringsAndNumbers) {
    Run(R"(
        local function pack(...) return {n = select('#', ...), ...} end
        local p = pack(SplitString("a,b,,c", ","))
        assert(p.n == 4 and p[1] == "a" and p[2] == "b" and p[3] == "" and p[4] == "c")
        p = pack(SplitString("x::y", "::"))
        assert(p.n == 2 and p[1] == "x" and p[2] == "y")
        p = pack(SplitString(' "a,b" , c ', ","))
        assert(p.n == 2 and p[1] == "a,b" and p[2] == "c")
        assert(select('#', SplitString("", ",")) == 0)
        assert(not pcall(SplitString, "a"))
        assert(ToInt(-2.7) == -2 and ToInt(2.7) == 2 and ToInt("x") == 0)
        -- the number is turned into its text in place, and that is what comes back
        assert(CheckString("s") == "s" and CheckString(12) == "12")
        assert(not pcall(CheckString, {}))
        assert(select('#', DumpObjects()) == 0)
    )");
}

TEST_F(ScriptEngine, SceneObjectsAreWalkedShownMovedAndActivated) {
    CPGameObject root("root");
    auto* arm = new CPGameObject("arm");
    auto* hand = new CPGameObject("hand");
    root.AddChild(CPtr<CPGameObject>(arm));
    arm->AddChild(CPtr<CPGameObject>(hand));
    root.UpdateTransform();
    SetHandle("root", static_cast<CPObject*>(&root));
    SetHandle("arm", static_cast<CPObject*>(arm));
    SetHandle("hand", static_cast<CPObject*>(hand));
    Run(R"(
        assert(GetChildObject(root, "root") == root)
        assert(GetChildObject(root, "hand") == hand)
        assert(GetChildObject(arm, "root") == StringToPointer("0"))
        assert(GetChildObject(nil, "hand") == StringToPointer("0"))
        assert(not pcall(GetChildObject, nil, {}))   -- the name is read even for null
        assert(GetParentObject(hand) == arm and GetParentObject(root) == StringToPointer("0"))
        SetVisible(arm, false)
        SetCollision(hand, nil)
        SetVisible(nil, false) SetCollision(nil, false)
        SetPTransformation(root, 1, 2, 3, 0, 0, 0)
        ActivateObject(root, 300)
    )");
    EXPECT_FALSE(arm->Visible);
    EXPECT_TRUE(hand->Visible);  // children keep theirs
    EXPECT_FALSE(hand->Collision);
    EXPECT_TRUE(arm->Collision);
    EXPECT_FLOAT_EQ(root.WorldMatrix._41, root.Position.x + 1.0f);
    EXPECT_FLOAT_EQ(root.WorldMatrix._42, root.Position.y + 2.0f);
    EXPECT_FLOAT_EQ(root.WorldMatrix._43, root.Position.z + 3.0f);
    EXPECT_FLOAT_EQ(hand->WorldMatrix._43, 3.0f);  // the children follow at once
    EXPECT_TRUE(root.Active);
    EXPECT_TRUE(hand->Active);
    Run("DeactivateObject(root) DeactivateInterface(nil)");
    EXPECT_FALSE(root.Active);
    EXPECT_FALSE(hand->Active);

    // References are counted on the object; Release resets.
    Run("AddRef(arm) AddRef(arm) AddRef(nil)");
    EXPECT_EQ(arm->GetRefCount(), 2);
    Run("Release(arm) Release(nil)");
    EXPECT_EQ(arm->GetRefCount(), 0);

    // Drawing queues the tree for the frame.
    Run("DrawDynamicObject(root) DrawDynamicObject(nil)");
    host->RunFrame(0.0f);
    CPSceneLoader::DeleteObject(arm);
}

TEST_F(ScriptEngine, FadeTimeAndTasks) {
    FrameTime = 0.125f;
    Run("assert(GetDeltaTime() == 0.125)");
    Run("SetFade(0.5)");
    EXPECT_FLOAT_EQ(host->Render().Fade, 0.5f * host->Render().MaxFade);
    Run("SetFade(7)");
    EXPECT_FLOAT_EQ(host->Render().Fade, static_cast<float>(host->Render().MaxFade));
    Run("KillAllTasks()");
    for (const CPtr<CPTask>& task : host->Scheduler().Tasks) {
        EXPECT_TRUE(task->Finished);
    }
    Run(R"(assert(LoadRenderObject("absent.rdf", 20) == StringToPointer("0")))");
    Run(R"(assert(not pcall(LoadRenderObject, "absent.rdf", "x")))");
}

// A window that records what the lock functions ask of it.
class RecordingButton : public CPWindow {
public:
    RecordingButton(CPInterface* owner, const char* name) : CPWindow(owner) { Name = name; }
    bool OnMouseOut(float x, float y) override {
        ++mouseOuts;
        return CPWindow::OnMouseOut(x, y);
    }
    int mouseOuts = 0;
};

TEST_F(ScriptEngine, LockedButtonsAreDisabledAndLoseTheSelection) {
    CPInterface screen;
    auto play = std::make_unique<RecordingButton>(&screen, "play");
    auto quit = std::make_unique<RecordingButton>(&screen, "quit");
    RecordingButton* playButton = play.get();
    RecordingButton* quitButton = quit.get();
    screen.AddWindow(std::move(play));
    screen.AddWindow(std::move(quit));
    screen.CurrentButton = quitButton;
    SetHandle("screen", static_cast<CPObject*>(&screen));
    Run(R"(LockButton(screen, "play") LockButton(screen, "none") LockButton(nil, "play"))");
    EXPECT_FALSE(playButton->Enabled);
    EXPECT_EQ(playButton->mouseOuts, 0);
    EXPECT_EQ(screen.CurrentButton.Get(), quitButton);
    Run(R"(LockButton(screen, "quit"))");
    EXPECT_FALSE(quitButton->Enabled);
    EXPECT_EQ(quitButton->mouseOuts, 1);
    EXPECT_EQ(screen.CurrentButton.Get(), nullptr);
    Run(R"(UnlockButton(screen, "play") UnlockButton(screen, "none"))");
    EXPECT_TRUE(playButton->Enabled);
    EXPECT_FALSE(quitButton->Enabled);
}

}  // namespace
