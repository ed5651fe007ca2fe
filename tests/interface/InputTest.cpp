// A scripted pointer driving the test menu through the host, keyboard selection and typing
// into the edit box.
#include "InterfaceFixture.h"

#include "interface/CPFontManager.h"

namespace {

using InterfaceFixtures::InterfaceTest;
using Commands = std::vector<std::string>;

class InterfaceInput : public InterfaceTest {
protected:
    CPInterface& ActiveMenu() {
        CPInterface& menu = Load("menu");
        menu.Activate(450);
        Received();
        return menu;
    }
    CPButton& Button(CPInterface& menu, const std::string& name) {
        return static_cast<CPButton&>(*menu.Windows.at(name));
    }
};

TEST_F(InterfaceInput, ActivationPlacesThePointerAtOnce) {
    SetScreen(800, 600);
    host->SetMousePosition(400.0f, 150.0f);
    CPInterface& menu = Load("menu");
    menu.Activate(450);
    const Commands got = Received();
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(got[0], "mouse_move:0.50,0.25");
    EXPECT_EQ(got[1], "mouse_window_over:back");
    EXPECT_EQ(menu.Cursor->GetPosition(), D3DXVECTOR3(400.0f, 150.0f, 0.0f));
    EXPECT_EQ(menu.MousePosition.x, 400.0f);
}

TEST_F(InterfaceInput, PointerAcrossTwoButtonsAndAClick) {
    CPInterface& menu = ActiveMenu();
    host->Mouse().MoveTo(110.0f, 110.0f);
    host->Mouse().MoveTo(110.0f, 160.0f);
    host->Mouse().Click(0);
    ASSERT_TRUE(host->RunFrame(0.02f));
    EXPECT_EQ(Received(), (Commands{"mouse_move:0.11,0.14", "mouse_button_over:play", "mouse_move:0.11,0.21",
                                    "mouse_button_out:play", "mouse_button_over:quit",
                                    "button:quit"}));
    EXPECT_EQ(Button(menu, "quit").State, 1);
    EXPECT_EQ(Button(menu, "play").State, 0);
    EXPECT_EQ(menu.CurrentButton.Get(), menu.Windows.at("quit").Get());
    EXPECT_EQ(menu.Cursor->GetPosition(), D3DXVECTOR3(110.0f, 160.0f, 0.0f));
    // The over picture is what the mesh shows for quit (fourth visible quad).
    EXPECT_FLOAT_EQ(menu.Mesh->Vertices[12].V, 32.0f / 256.0f);

    // One pixel further inside: over again, and the mesh rebuilt.
    menu.Mesh->Vertices.clear();
    host->Mouse().MoveTo(111.0f, 160.0f);
    host->RunFrame(0.02f);
    EXPECT_EQ(Received(), (Commands{"mouse_move:0.11,0.21", "mouse_button_over:quit"}));
    EXPECT_EQ(menu.Mesh->Vertices.size(), 16u);

    // Off the button onto the background; any button released over a window reports it there.
    host->Mouse().MoveTo(300.0f, 400.0f);
    host->Mouse().Click(1);
    host->RunFrame(0.02f);
    EXPECT_EQ(Received(), (Commands{"mouse_move:0.29,0.52", "mouse_button_out:quit", "mouse_window_over:back",
                                    "window:back,300.00,400.00"}));
}

TEST_F(InterfaceInput, PressOutsideAndReleaseElsewhere) {
    CPInterface& menu = ActiveMenu();
    host->Mouse().MoveTo(110.0f, 110.0f);
    host->Mouse().Press(0);
    host->RunFrame(0.02f);
    EXPECT_EQ(Button(menu, "play").State, 2);
    EXPECT_FLOAT_EQ(menu.Mesh->Vertices[8].V, 64.0f / 256.0f);
    Received();
    // Released away from it: back to normal, nothing for the owner but the window below.
    host->Mouse().MoveTo(500.0f, 500.0f);
    host->Mouse().Release(0);
    host->RunFrame(0.02f);
    EXPECT_EQ(Button(menu, "play").State, 0);
    EXPECT_EQ(Received(), (Commands{"mouse_move:0.49,0.65", "mouse_button_out:play", "mouse_window_over:back",
                                    "window:back,500.00,500.00"}));
    // The right button neither presses nor releases a button.
    host->Mouse().MoveTo(110.0f, 110.0f);
    host->Mouse().Click(1);
    host->RunFrame(0.02f);
    EXPECT_EQ(Button(menu, "play").State, 1);
}

TEST_F(InterfaceInput, HiddenDisabledAndInactiveScreensDoNotTakeThePointer) {
    CPInterface& menu = ActiveMenu();
    Button(menu, "play").SetEnabled(false);
    host->Mouse().MoveTo(110.0f, 110.0f);
    host->RunFrame(0.02f);
    EXPECT_EQ(Received(), (Commands{"mouse_move:0.11,0.14", "mouse_window_over:back"}));

    menu.Deactivate();
    Received();
    host->Mouse().MoveTo(110.0f, 160.0f);
    host->Mouse().Click(0);
    host->RunFrame(0.02f);
    EXPECT_EQ(Received(), (Commands{"mouse_move:0.11,0.21"}));
    EXPECT_EQ(Button(menu, "quit").State, 0);
}

TEST_F(InterfaceInput, KeyboardSelectionWrapsBothWays) {
    CPInterface& menu = ActiveMenu();  // the pointer rests on the background
    auto current = [&] { return menu.CurrentButton ? menu.CurrentButton->Name : std::string(); };

    CPInterface::MenuRight();
    EXPECT_EQ(current(), "play");
    EXPECT_EQ(Received(), (Commands{"mouse_button_over:play"}));
    CPInterface::MenuRight();
    EXPECT_EQ(current(), "quit");
    EXPECT_EQ(Received(), (Commands{"mouse_button_out:play", "mouse_button_over:quit"}));
    CPInterface::MenuRight();  // extra is hidden: wraps to play
    EXPECT_EQ(current(), "play");
    EXPECT_EQ(Button(menu, "quit").State, 0);
    CPInterface::MenuLeft();  // wraps backwards past the hidden one
    EXPECT_EQ(current(), "quit");
    CPInterface::MenuLeft();
    EXPECT_EQ(current(), "play");
    CPInterface::MenuLeft();
    EXPECT_EQ(current(), "quit");

    menu.Windows.at("extra")->SetVisible(true);
    CPInterface::MenuRight();
    EXPECT_EQ(current(), "extra");
    Received();

    // No button qualifies: nothing changes and nothing is sent.
    for (const CPtr<CPWindow>& b : menu.Buttons) {
        b->SetEnabled(false);
    }
    CPInterface::MenuRight();
    CPInterface::MenuLeft();
    EXPECT_TRUE(Received().empty());

    // An inactive screen is left alone.
    for (const CPtr<CPWindow>& b : menu.Buttons) {
        b->SetEnabled(true);
    }
    menu.Deactivate();
    Received();
    CPInterface::MenuRight();
    EXPECT_TRUE(Received().empty());
}

TEST_F(InterfaceInput, TypingIntoTheEditBoxUpToItsLimit) {
    CPInterface& menu = ActiveMenu();
    CPEditBox& box = *menu.EditBoxes.at("name");
    const auto& label = static_cast<const CPRenderObject&>(*box.Entry.Object->RenderObject);
    for (int key : {'a', 'b', 'C', '!', '1', ' ', 'x'}) {
        box.ProcessKey(key);
    }
    EXPECT_EQ(box.Text, "abC1 ");
    EXPECT_EQ(label.Vertices.size(), 6u * 4u);

    // At the limit nothing is drawn again.
    auto& mesh = const_cast<CPRenderObject&>(label);
    mesh.Vertices.clear();
    box.ProcessKey('z');
    box.ProcessKey(' ');
    box.ProcessKey('\t');
    EXPECT_EQ(box.Text, "abC1 ");
    EXPECT_TRUE(label.Vertices.empty());

    for (int i = 0; i < 7; ++i) {
        box.ProcessKey(8);
    }
    EXPECT_EQ(box.Text, "");
    EXPECT_EQ(label.Vertices.size(), 4u);  // the caret alone
    mesh.Vertices.clear();
    box.ProcessKey(8);
    EXPECT_EQ(label.Vertices.size(), 4u);  // an empty text is still drawn again

    box.ProcessKey(200);  // И, a letter of the upper half of code page 1251
    EXPECT_EQ(box.Text, std::string(1, static_cast<char>(200)));
    box.ProcessKey(215);  // Ч in code page 1251
    box.ProcessKey(0xA9);  // the copyright sign is no letter
    EXPECT_EQ(box.Text, "\xC8\xD7");

    box.SetText("ABCDEFGH");
    EXPECT_EQ(box.Text, "ABCDE");
    EXPECT_EQ(label.Vertices.size(), 6u * 4u);
    EXPECT_EQ(label.Vertices[0].Position.x, box.Entry.X);
}

TEST_F(InterfaceInput, NewestScreenFirstAndAPressStopsAtTheFirstHit) {
    CPInterface& lower = ActiveMenu();
    CPInterface& upper = ActiveMenu();
    host->Mouse().MoveTo(110.0f, 110.0f);
    host->Mouse().Press(0);
    host->RunFrame(0.02f);
    EXPECT_EQ(Button(upper, "play").State, 2);
    EXPECT_EQ(Button(lower, "play").State, 1);
    host->Mouse().Release(0);
    host->RunFrame(0.02f);
    Commands got = Received();
    EXPECT_EQ(std::count(got.begin(), got.end(), "button:play"), 1);
    CPInterface::MenuRight();
    EXPECT_EQ(upper.CurrentButton->Name, "quit");
    EXPECT_EQ(lower.CurrentButton->Name, "quit");
}

// Keyboard selection takes the button itself: a plain window lying over the point one pixel
// inside it neither takes the selection nor clears it.
TEST_F(InterfaceInput, KeyboardSelectionIsNotTakenByAWindowLyingOverTheButton) {
    WriteFile("covered1024.int",
              "gamemenu\nt.tga,256,256\nl,off\n"
              "button\na 0,200,100,100,0,0,1,1\na1 0,0,100,100,0,0,1,1\na2 0,0,100,100,0,0,1,1\n"
              "button\nb 200,200,100,100,0,0,1,1\nb1 0,0,100,100,0,0,1,1\nb2 0,0,100,100,0,0,1,1\n"
              "window\ncover 0,200,10,10,0,0,10,10\nwindow\ncursor 0,0,8,8,0,0,8,8\n");
    CPInterface& screen = Load("covered");
    screen.Activate(450);
    Received();
    auto current = [&] { return screen.CurrentButton ? screen.CurrentButton->Name : std::string(); };
    CPInterface::MenuRight();
    EXPECT_EQ(current(), "a");
    EXPECT_EQ(Button(screen, "a").State, 1);
    CPInterface::MenuRight();
    EXPECT_EQ(current(), "b");
    CPInterface::MenuLeft();
    EXPECT_EQ(current(), "a");
    EXPECT_EQ(Button(screen, "b").State, 0);
    EXPECT_EQ(Received(), (Commands{"mouse_button_over:a", "mouse_button_out:a", "mouse_button_over:b",
                                    "mouse_button_out:b", "mouse_button_over:a"}));
}

TEST_F(InterfaceInput, AButtonLeftForAnotherLyingOverItIsToldSo) {
    WriteFile("overlap1024.int",
              "gamemenu\nt.tga,256,256\nl,off\n"
              "window\nlow 0,0,100,100,0,0,10,10\nwindow\nhigh 50,0,100,100,0,0,10,10\n"
              "button\na 0,200,100,100,0,0,1,1\na1 0,0,100,100,0,0,1,1\na2 0,0,100,100,0,0,1,1\n"
              "button\nb 50,200,100,100,0,0,1,1\nb1 0,0,100,100,0,0,1,1\nb2 0,0,100,100,0,0,1,1\n"
              "window\ncursor 0,0,8,8,0,0,8,8\n");
    CPInterface& screen = Load("overlap");
    screen.Activate(450);
    Received();
    // Plain windows: the lower one, still under the pointer, hears nothing.
    host->Mouse().MoveTo(10.0f, 10.0f);
    host->Mouse().MoveTo(60.0f, 10.0f);
    // Buttons: the lower one goes back to normal when the upper one takes the pointer.
    host->Mouse().MoveTo(10.0f, 210.0f);
    host->Mouse().MoveTo(60.0f, 210.0f);
    host->RunFrame(0.02f);
    EXPECT_EQ(Received(), (Commands{"mouse_move:0.01,0.01", "mouse_window_over:low", "mouse_move:0.06,0.01",
                                    "mouse_window_over:high", "mouse_move:0.01,0.27", "mouse_window_out:high",
                                    "mouse_button_over:a", "mouse_move:0.06,0.27", "mouse_button_out:a",
                                    "mouse_button_over:b"}));
    EXPECT_EQ(Button(screen, "a").State, 0);
    EXPECT_EQ(Button(screen, "b").State, 1);
}

}  // namespace
