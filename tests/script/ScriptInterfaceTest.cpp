// The interface functions as the menu scripts use them: a screen made from a small ".int"
// file, its windows shown, hidden, moved and resized, its labels, fonts and edit boxes, the
// cursor, and its buttons pressed by the scripted pointer with the commands they send.
#include "InterfaceScriptFixture.h"

#include "core/ShuttingDown.h"
#include "interface/CPGameData.h"
#include "script/ScriptTables.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Commands = std::vector<std::string>;

const CPRenderObject& LabelMesh(const CPTextEntry& label) {
    return static_cast<const CPRenderObject&>(*label.Object->RenderObject);
}

class ScriptInterface : public InterfaceScriptTest {
protected:
    void SetUp() override {
        InterfaceScriptTest::SetUp();
        Run(R"(ui = CreateInterface("test", 7))");
    }
};

TEST(ScriptInterfaceTables, EveryInterfaceAndHudNameHasItsFunction) {
    const auto missingA = Script::MissingFunctions(Script::Table::A);
    const auto missingB = Script::MissingFunctions(Script::Table::B);
    for (const char* name : {"UpdateInterface", "CreateInterface", "ActivateInterface", "SilentActivateInterface",
                             "UpdateInterfaceBuffers", "SetWindowVisible", "SetWindowPosition",
                             "SetWindowPositionShop", "GetWindowPosition", "SetWindowSize", "SetText",
                             "SetTextString", "SetTextPosition", "GetTextPosition", "SetFont", "SetFontString",
                             "SetEditBoxText", "EditBoxProcessKey", "EditBoxTextLength", "GetEditBoxText",
                             "SetCursor", "DeselectCurrentButton", "IMenuRight", "IMenuLeft", "SetPlayersPanel",
                             "GetHelthBarCoord", "InitWarning"}) {
        EXPECT_EQ(std::count(missingA.begin(), missingA.end(), name), 0) << name;
    }
    for (const char* name : {"SetCursor", "GetCursor", "GetWindowPosition", "UpdateScore", "UpdateTime",
                             "InitGameInterface", "UpdateGameInterface", "EngineState", "GetFov1", "GetFov2"}) {
        EXPECT_EQ(std::count(missingB.begin(), missingB.end(), name), 0) << name;
    }
}

TEST_F(ScriptInterface, CreateLoadsTheDescriptionWhateverTheIndex) {
    CPInterface& ui = Screen();
    EXPECT_EQ(ui.GetTypeName(), "CPInterface - test");
    EXPECT_EQ(ui.WindowOrder.size(), 5u);
    EXPECT_EQ(ui.ScriptObject, &task);
    Run(R"(
        assert(type(ui) == "userdata")
        -- a description that is not there gives an empty screen, not a null one
        local empty = CreateInterface("nothing", 0)
        assert(empty ~= nil and GetWindowPosition(empty, "panel") == -1)
    )");
}

TEST_F(ScriptInterface, WindowsMoveShowAndResizeOnlyOnTheNextRebuild) {
    CPInterface& ui = Screen();
    ui.UpdateBuffers();
    EXPECT_EQ(ui.Mesh->Vertices.size(), 4u * 4u);  // back, panel, ok, cancel
    Run(R"(
        -- the description's windows sit half a pixel up and left
        local x, y = GetWindowPosition(ui, "panel")
        assert(x == 9.5 and y == 19.5)
        SetWindowPosition(ui, "panel", 100, 50)
        x, y = GetWindowPosition(ui, "panel")
        assert(x == 100 and y == 50)
        SetWindowPositionShop(ui, "panel", 100, 50)
        x, y = GetWindowPosition(ui, "panel")
        assert(x == 99.5 and y == 49.5)
        SetWindowVisible(ui, "tip", 0)      -- the number 0 is true
        SetWindowVisible(ui, "back", false)
        SetWindowSize(ui, "panel", 30, 40)
        SetWindowSize(ui, "ok", 20, 10)     -- a button: every state's picture
        -- names the screen lacks change nothing, and give -1, -1
        SetWindowPosition(ui, "Panel", 1, 1)
        SetWindowVisible(ui, "nosuch", true)
        x, y = GetWindowPosition(ui, "nosuch")
        assert(x == -1 and y == -1)
    )");
    EXPECT_EQ(ui.Mesh->Vertices.size(), 4u * 4u);
    EXPECT_EQ(ui.Mesh->Vertices[0].Position, D3DXVECTOR3(-0.5f, -0.5f, 0.0f));  // still the old quads
    Run("UpdateInterfaceBuffers(ui)");
    ASSERT_EQ(ui.Mesh->Vertices.size(), 4u * 4u);  // panel, tip, ok, cancel
    EXPECT_EQ(ui.Mesh->Vertices[2].Position, D3DXVECTOR3(99.5f + 30.0f, 49.5f + 40.0f, 0.0f));
    EXPECT_FLOAT_EQ(ui.Mesh->Vertices[2].U, 32.0f / 256.0f);  // the texture rectangle stays
    EXPECT_EQ(ui.Mesh->Vertices[4].Position, D3DXVECTOR3(499.5f, 19.5f, 0.0f));
    EXPECT_EQ(ui.Mesh->Vertices[10].Position, D3DXVECTOR3(119.5f, 109.5f, 0.0f));
    EXPECT_TRUE(ui.Windows.at("ok")->HitTest(119.0f, 109.0f));
    EXPECT_FALSE(ui.Windows.at("ok")->HitTest(121.0f, 109.0f));
}

TEST_F(ScriptInterface, GetWindowPositionOfBothTables) {
    // The global is table B's; table A's own function gives the same answers.
    lua_pushcfunction(L(), Script::FindFunction(Script::Table::A, "GetWindowPosition"));
    lua_setglobal(L(), "GetWindowPositionA");
    Run(R"(
        for _, get in ipairs({GetWindowPosition, GetWindowPositionA}) do
            local x, y = get(ui, "panel")
            assert(x == 9.5 and y == 19.5)
            x, y = get(ui, "nosuch")
            assert(x == -1 and y == -1)
            x, y = get(nil, "panel")
            assert(x == -1 and y == -1)
        end
    )");
}

TEST_F(ScriptInterface, LabelsKeepTheirTextFontAndPlace) {
    CPInterface& ui = Screen();
    const CPTextEntry& title = ui.Texts.at("title");
    const CPRenderObject& mesh = LabelMesh(title);
    Run(R"(
        SetText(ui, "title", "AB12")
        -- the description's labels sit half a pixel down and right
        local x, y = GetTextPosition(ui, "title")
        assert(x == 10.5 and y == 10.5)
        x, y = GetTextPosition(ui, "nosuch")
        assert(x == -1 and y == -1)
    )");
    EXPECT_EQ(title.Text, "AB12");
    EXPECT_EQ(mesh.Caption, "AB12");
    EXPECT_EQ(mesh.Vertices.size(), 4u * 4u);

    // SetFont draws another font and text but stores neither; SetTextPosition draws the
    // stored ones at the new place.
    Run(R"(SetFont(ui, "title", "nosuchfont", "zz"))");
    EXPECT_EQ(mesh.Caption, "zz");
    EXPECT_TRUE(mesh.Vertices.empty());
    EXPECT_EQ(title.Font, "hud");
    EXPECT_EQ(title.Text, "AB12");
    Run(R"(SetTextPosition(ui, "title", 10, 10))");
    EXPECT_EQ(mesh.Caption, "AB12");
    ASSERT_EQ(mesh.Vertices.size(), 4u * 4u);
    EXPECT_EQ(mesh.Vertices[0].Position, D3DXVECTOR3(10.0f, 10.0f, 0.0f));
    Run(R"(SetTextPosition(ui, "title", 200, 300))");
    EXPECT_EQ(mesh.Vertices[0].Position, D3DXVECTOR3(200.0f, 300.0f, 0.0f));

    // Texts of the text table; a key it lacks shows "" and is entered.
    host->GameData().TextTable["greeting"] = "Abc";
    Run(R"(SetTextString(ui, "note", "greeting"))");
    EXPECT_EQ(ui.Texts.at("note").Text, "Abc");
    Run(R"(SetFontString(ui, "note", "hud", "missing_key"))");
    EXPECT_EQ(LabelMesh(ui.Texts.at("note")).Caption, "");
    EXPECT_EQ(ui.Texts.at("note").Text, "Abc");
    EXPECT_EQ(host->GameData().TextTable.count("missing_key"), 1u);
}

TEST_F(ScriptInterface, TextsStayWhileShuttingDown) {
    CPInterface& ui = Screen();
    ShuttingDown = true;
    Run(R"(
        SetText(ui, "title", "AB")
        SetTextString(ui, "title", "title_key")
        SetFont(ui, "note", "hud", "ab")  -- draws: it does not ask
    )");
    ShuttingDown = false;
    EXPECT_EQ(ui.Texts.at("title").Text, "Title");
    EXPECT_EQ(LabelMesh(ui.Texts.at("note")).Caption, "ab");
}

TEST_F(ScriptInterface, EditBoxesTakeKeysOfTheCodePage) {
    CPInterface& ui = Screen();
    const CPEditBox& box = *ui.EditBoxes.at("name");
    CPRenderObject& mesh = const_cast<CPRenderObject&>(LabelMesh(box.Entry));
    Run(R"(
        SetEditBoxText(ui, "name", "abcdefgh")
        assert(GetEditBoxText(ui, "name") == "abcde" and EditBoxTextLength(ui, "name") == 5)
    )");
    EXPECT_EQ(mesh.Caption, "abcde_");
    // Full: a letter changes nothing and draws nothing.
    mesh.Caption.clear();
    Run(R"(EditBoxProcessKey(ui, "name", 102))");
    EXPECT_EQ(box.Text, "abcde");
    EXPECT_EQ(mesh.Caption, "");
    Run(R"(EditBoxProcessKey(ui, "name", 8))");
    EXPECT_EQ(mesh.Caption, "abcd_");
    Run(R"(
        SetEditBoxText(ui, "name", "")
        -- Ё and ё (168, 184), also as the low byte of a larger number, are not typed
        for _, key in ipairs({168, 184, 424, 440, 33, 9}) do EditBoxProcessKey(ui, "name", key) end
        assert(GetEditBoxText(ui, "name") == "")
        EditBoxProcessKey(ui, "name", 321)   -- low byte 65: A
        EditBoxProcessKey(ui, "name", 0xC0)  -- А of code page 1251
        EditBoxProcessKey(ui, "name", 0xFF)  -- я
        EditBoxProcessKey(ui, "name", 32)
        assert(GetEditBoxText(ui, "name") == "A\192\255 ")
        for i = 1, 6 do EditBoxProcessKey(ui, "name", 8) end
        assert(EditBoxTextLength(ui, "name") == 0)
        -- no such edit box, no screen
        assert(EditBoxTextLength(ui, "nosuch") == 0 and GetEditBoxText(ui, "nosuch") == "")
        assert(select('#', EditBoxTextLength(nil, "name")) == 0)
        assert(select('#', GetEditBoxText(nil, "name")) == 0)
        SetEditBoxText(nil, "name", "x")
        EditBoxProcessKey(nil, "name", 65)
    )");
    EXPECT_EQ(mesh.Caption, "_");  // an empty text still shows the caret
}

TEST_F(ScriptInterface, CursorSwitchByName) {
    CPInterface& ui = Screen();
    ui.MousePosition = D3DXVECTOR2(40.0f, 60.0f);
    CPtr<CPGameObject> arrow = ui.Cursors.at("cursor");
    Run(R"(
        SetCursor(ui, "cursor")
        SetCursor(ui, "cursor")
        assert(GetCursor(ui) == "cursor")
    )");
    EXPECT_TRUE(arrow->Visible);
    EXPECT_EQ(arrow->GetPosition(), D3DXVECTOR3(40.0f, 60.0f, 0.0f));
    EXPECT_EQ(ui.Cursor, arrow);
    Run(R"(
        SetCursor(ui, "aim")  -- not on the screen: entered empty, nothing shows
        assert(GetCursor(ui) == "aim")
        assert(select('#', GetCursor(nil)) == 0)
    )");
    EXPECT_FALSE(arrow->Visible);
    EXPECT_FALSE(ui.Cursor);
    EXPECT_EQ(ui.Cursors.count("aim"), 1u);
    // Table B's SetCursor wants a string; the error comes before anything changes.
    const ScriptError error = RunFailing(R"(SetCursor(ui, {}))");
    EXPECT_NE(error.Message.find("bad argument #2 to 'SetCursor'"), std::string::npos) << error.Message;
    EXPECT_EQ(ui.CursorName, "aim");
    Run("SetCursor(nil, {})");  // no screen: nothing is read
    lua_pushcfunction(L(), Script::FindFunction(Script::Table::A, "SetCursor"));
    lua_setglobal(L(), "SetCursorA");
    Run(R"(SetCursorA(ui, "cursor"))");
    EXPECT_TRUE(arrow->Visible);
}

TEST_F(ScriptInterface, ButtonsByThePointerAndTheKeyboard) {
    CPInterface& ui = Screen();
    Run("ActivateInterface(ui)");
    Received();
    host->Mouse().MoveTo(110.0f, 110.0f);
    host->Mouse().Click(0);
    ASSERT_TRUE(host->RunFrame(0.02f));
    EXPECT_EQ(Received(), (Commands{"mouse_move:0.11,0.14", "mouse_button_over:ok", "button:ok"}));
    EXPECT_EQ(ui.CurrentButton.Get(), ui.Windows.at("ok").Get());

    Run("DeselectCurrentButton(ui)");
    EXPECT_EQ(Received(), (Commands{"mouse_button_out:ok"}));
    EXPECT_FALSE(ui.CurrentButton);
    Run("DeselectCurrentButton(ui) DeselectCurrentButton(nil)");
    EXPECT_TRUE(Received().empty());

    // The keyboard selection walks the buttons of every screen.
    Run("IMenuRight()");
    EXPECT_EQ(Received(), (Commands{"mouse_button_over:ok"}));
    Run("IMenuRight()");
    EXPECT_EQ(Received(), (Commands{"mouse_button_out:ok", "mouse_button_over:cancel"}));
    Run("IMenuLeft()");
    EXPECT_EQ(Received(), (Commands{"mouse_button_out:cancel", "mouse_button_over:ok"}));

    // A locked selected button lets the selection go; a locked button takes no click.
    Run(R"(LockButton(ui, "ok"))");
    EXPECT_EQ(Received(), (Commands{"mouse_button_out:ok"}));
    EXPECT_FALSE(ui.CurrentButton);
    host->Mouse().Click(0);
    host->RunFrame(0.02f);
    for (const std::string& command : Received()) {
        EXPECT_NE(command, "button:ok");
    }
    Run(R"(UnlockButton(ui, "ok"))");
    host->Mouse().MoveTo(111.0f, 110.0f);
    host->Mouse().Click(0);
    host->RunFrame(0.02f);
    const Commands after = Received();
    EXPECT_FALSE(after.empty());
    EXPECT_EQ(after.back(), "button:ok");

    // Deactivated, the screen hears the pointer no more (the move itself is still told).
    Run("DeactivateInterface(ui)");
    host->Mouse().MoveTo(210.0f, 110.0f);
    host->Mouse().Click(0);
    host->RunFrame(0.02f);
    EXPECT_EQ(Received(), (Commands{"mouse_move:0.21,0.14"}));
}

TEST_F(ScriptInterface, SilentActivationLeavesThePointerAlone) {
    CPInterface& ui = Screen();
    host->SetMousePosition(110.0f, 110.0f);
    Run("SilentActivateInterface(ui)");
    EXPECT_TRUE(ui.InputActive);
    EXPECT_TRUE(Received().empty());
    EXPECT_FALSE(ui.CurrentButton);
    Run("DeactivateInterface(ui) ActivateInterface(ui)");
    EXPECT_EQ(Received(), (Commands{"mouse_move:0.11,0.14", "mouse_button_over:ok"}));
}

TEST_F(ScriptInterface, DrawnScreenShowsItsLabelsInTheFrame) {
    Run(R"(
        SetText(ui, "title", "AB")
        SetEditBoxText(ui, "name", "abc")
        UpdateInterfaceBuffers(ui)
        UpdateInterface(ui)
    )");
    const std::string dump = host->DumpFrame(0.02f);
    EXPECT_NE(dump.find("text \"AB\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("text \"abc_\""), std::string::npos) << dump;
}

TEST_F(ScriptInterface, NullAndWrongHandles) {
    CPInterface& ui = Screen();
    Run(R"(
        for _, f in ipairs({ActivateInterface, SilentActivateInterface, DeactivateInterface, UpdateInterface,
                            UpdateInterfaceBuffers, DeselectCurrentButton}) do
            assert(select('#', f(nil)) == 0)
        end
        SetWindowVisible(nil, "panel", false)
        SetWindowPosition(nil, "panel", 1, 2)
        SetWindowPositionShop(nil, "panel", 1, 2)
        SetWindowSize(nil, "panel", 1, 2)
        SetText(nil, "title", "x")
        SetTextString(nil, "title", "x")
        SetTextPosition(nil, "title", 1, 2)
        SetFont(nil, "title", "hud", "x")
        SetFontString(nil, "title", "hud", "x")
        SetCursor(nil, "cursor")
        local x, y = GetTextPosition(nil, "title")
        assert(x == -1 and y == -1)
    )");
    EXPECT_TRUE(ui.Windows.at("panel")->Visible);
    // A handle that is no screen is refused with the handle error.
    SetHandle("task", &task);
    const ScriptError error = RunFailing(R"(SetWindowVisible(task, "panel", false))");
    EXPECT_NE(error.Message.find("SetWindowVisible: stale or invalid handle"), std::string::npos) << error.Message;
}

}  // namespace
