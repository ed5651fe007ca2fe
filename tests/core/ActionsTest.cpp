#include "core/ActionBinding.h"
#include "core/ActionsFile.h"
#include "core/CPActionsManager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

ActionBinding Binding(uint8_t code, const std::string& keyText, const std::string& text, bool used, bool numeric) {
    ActionBinding b;
    b.KeyCode = code;
    b.KeyText = keyText;
    b.Text = text;
    b.Used = used;
    b.Numeric = numeric;
    return b;
}

std::vector<ActionLine> Parse(const std::string& text) {
    return ParseActionLines(text.data(), static_cast<int>(text.size()));
}

void Apply(CPActionsManager& manager, const std::string& text) { manager.ApplyActions(Parse(text)); }

}  // namespace

TEST(ActionBinding, Construction) {
    EXPECT_EQ(ActionBinding(), Binding(0, "", "", false, false));
    EXPECT_EQ(ActionBinding("LCtrl", "Fire", false), Binding(0x1D, "LCtrl", "Fire", true, false));
    EXPECT_EQ(ActionBinding("Nowhere", "Fire", false), Binding(0, "Nowhere", "Fire", true, false));
    struct Case {
        const char* keyText;
        uint8_t code;
    };
    // Low 8 bits of the exact value, however long the digits run (10^23 - 1 is 255 mod 256).
    const Case numeric[] = {{"3", 3},     {"  42", 42}, {"+7", 7},   {"-1", 255},  {"300", 44},  {"12abc", 12},
                            {"abc", 0},   {"", 0},      {"256", 0},  {"4294967297", 1},
                            {"99999999999999999999999", 255}};
    for (const Case& c : numeric) {
        EXPECT_EQ(ActionBinding(c.keyText, "t", true).KeyCode, c.code) << c.keyText;
    }
}

TEST(ActionBinding, SetKeepsCodeForUnknownNames) {
    ActionBinding b("Up", "Forward", false);
    b.Set("Nowhere", "Other");
    EXPECT_EQ(b, Binding(0xC8, "Nowhere", "Other", true, false));
    b.Numeric = true;
    b.Set("Down", "Back");
    EXPECT_EQ(b, Binding(0xD0, "Down", "Back", true, true));
}

TEST(ActionsFile, ParsesFieldsAsTheLineReaderAndTokenizerGiveThem) {
    const std::string text =
        "fire;Fire;LCtrl;false\r\n"
        "// a comment;x;y;z\r\n"
        "/*\r\nhidden;h;H;false\r\n*/\r\n"
        "\r\n"
        "  jump ; Jump ; 3 ; true  \r\n"
        "[bracket;B;B;TRUE]\r\n"
        "short;S\r\n"
        "quoted;\"a;b\";\"x\"\"y\";true;extra\r\n"
        "last;L;End;false";
    const std::vector<ActionLine> expected = {
        {"fire", "Fire", "LCtrl", false}, {"jump", "Jump", "3", true},    {"bracket", "B", "B", false},
        {"short", "S", "", false},        {"quoted", "a;b", "x\"y", true}, {"last", "L", "End", false},
    };
    EXPECT_EQ(Parse(text), expected);
}

TEST(ActionsFile, FormatsLinesWithCrLf) {
    EXPECT_EQ(FormatActionLine("up", Binding(0xC8, "UP", "Forward", true, false)), "up;Forward;UP;false\r\n");
    EXPECT_EQ(FormatActionLine("up", Binding(200, "UP", "Forward", true, true)), "up;Forward;200;true\r\n");
    EXPECT_EQ(FormatActionLine("none", ActionBinding()), "none;;;false\r\n");
    // A field holding ";" or a double quote is quoted so that it reads back whole.
    EXPECT_EQ(FormatActionLine("semi", Binding(0x27, ";", "a;b", true, false)), "semi;\"a;b\";\";\";false\r\n");
    EXPECT_EQ(FormatActionLine("q\"t", Binding(0, "X", "say \"hi\"", true, false)),
              "\"q\"\"t\";\"say \"\"hi\"\"\";X;false\r\n");
}

// Fields the reader can produce from quoted parts must come back whole, and must not take the
// lines after them along: a written "//" or "*/" would drop its own line, a "/*" every later one.
TEST(ActionsFile, WrittenFieldsReadBackAsTheyWere) {
    const std::string fields[] = {"plain", "a;b", "say \"hi\"", "a//b", "/*", "*/", "x\"/*;", "/**/", "//;\"", "/", " "};
    for (const std::string& field : fields) {
        const std::string text = FormatActionLine(field, Binding(0, field, field, true, false)) +
                                 FormatActionLine("next", Binding(0x1D, "LCtrl", "Next", true, false));
        const std::vector<ActionLine> expected = {{field, field, field, false}, {"next", "Next", "LCtrl", false}};
        EXPECT_EQ(Parse(text), expected) << "field [" << field << "] written as " << text;
    }
    // Lines without such fields keep their plain form; a comment pair gets a quote between its characters.
    EXPECT_EQ(FormatActionLine("look", Binding(0, "a//b", "Look", true, false)), "look;Look;a/\"/b\";false\r\n");
}

TEST(CPActionsManager, KeyLineFillsBindingAndKeySlot) {
    CPActionsManager manager;
    Apply(manager, "fire;Fire;LCtrl;false\r\n");
    EXPECT_EQ(manager.Bindings["fire"], Binding(0x1D, "LCtrl", "Fire", true, false));
    EXPECT_EQ(manager.KeySlots[0x1D], Binding(0x1D, "LCtrl", "fire", true, false));
    EXPECT_EQ(manager.ActionNames, std::vector<std::string>{"fire"});
    EXPECT_EQ(manager.FormatActions(), "fire;Fire;LCtrl;false\r\n");
}

TEST(CPActionsManager, NumericLineFillsBindingAndNumericSlot) {
    CPActionsManager manager;
    Apply(manager, "jump;Jump;3;true\r\n");
    EXPECT_EQ(manager.NumericSlots[3], Binding(3, "", "jump", true, true));
    EXPECT_EQ(manager.Bindings["jump"], Binding(3, "3", "Jump", true, true));
    EXPECT_EQ(manager.FormatActions(), "jump;Jump;3;true\r\n");
}

TEST(CPActionsManager, FlagInOtherCaseMeansKeyName) {
    CPActionsManager manager;
    Apply(manager, "jump;Jump;3;True\r\n");
    EXPECT_EQ(manager.Bindings["jump"], Binding(0x04, "3", "Jump", true, false));
    EXPECT_EQ(manager.KeySlots[0x04].Text, "jump");
    EXPECT_FALSE(manager.NumericSlots[3].Used);
    EXPECT_EQ(manager.FormatActions(), "jump;Jump;3;false\r\n");
}

TEST(CPActionsManager, UnknownKeyNameLandsInSlotZeroAndWritesBackUnchanged) {
    CPActionsManager manager;
    Apply(manager, "look;Look;Joystick 1;false\r\n");
    EXPECT_EQ(manager.Bindings["look"], Binding(0, "Joystick 1", "Look", true, false));
    EXPECT_EQ(manager.KeySlots[0], Binding(0, "Joystick 1", "look", true, false));
    EXPECT_EQ(manager.FormatActions(), "look;Look;Joystick 1;false\r\n");
}

TEST(CPActionsManager, NumericCodeOutsideSlotsKeepsItsBindingOnly) {
    CPActionsManager manager;
    Apply(manager, "far;Far;300;true\r\nneg;Neg;-5;true\r\nedge;Edge;128;true\r\nlast;Last;127;true\r\n");
    EXPECT_EQ(manager.Bindings["far"], Binding(44, "300", "Far", true, true));
    EXPECT_EQ(manager.Bindings["neg"], Binding(251, "-5", "Neg", true, true));
    EXPECT_EQ(manager.Bindings["edge"], Binding(128, "128", "Edge", true, true));
    EXPECT_EQ(manager.NumericSlots[127], Binding(127, "", "last", true, true));
    for (int code = 0; code < CPActionsManager::NumericSlotCount - 1; ++code) {
        EXPECT_FALSE(manager.NumericSlots[static_cast<size_t>(code)].Used) << code;
    }
    // The binding writes its 8-bit code, as the input devices see it.
    EXPECT_EQ(manager.FormatActions(), "far;Far;44;true\r\nneg;Neg;251;true\r\nedge;Edge;128;true\r\nlast;Last;127;true\r\n");
}

TEST(CPActionsManager, LaterLinesWinAndNumericSlotsSurviveReloads) {
    CPActionsManager manager;
    Apply(manager, "a;A;Up;false\r\nb;B;Up;false\r\na;A2;Down;false\r\nn;N;5;true\r\n");
    EXPECT_EQ(manager.ActionNames, (std::vector<std::string>{"a", "b", "a", "n"}));
    EXPECT_EQ(manager.Bindings.size(), 3u);
    EXPECT_EQ(manager.Bindings["a"].KeyText, "Down");
    EXPECT_EQ(manager.KeySlots[0xC8].Text, "b");
    Apply(manager, "c;C;Left;false\r\n");
    EXPECT_FALSE(manager.KeySlots[0xC8].Used);
    EXPECT_EQ(manager.Bindings.count("a"), 0u);
    EXPECT_EQ(manager.NumericSlots[5].Text, "n");
}

TEST(CPActionsManager, SetActionTakesTheKeyFromAnotherAction) {
    CPActionsManager manager;
    Apply(manager, "fire;Fire;LCtrl;false\r\njump;Jump;Space;false\r\n");
    manager.SetAction("Jump", "LCtrl", false);
    EXPECT_EQ(manager.Bindings["fire"], Binding(0, "undefined key", "Fire", true, false));
    EXPECT_EQ(manager.Bindings["jump"], Binding(0x1D, "LCtrl", "Jump", true, false));
    // The slots follow only after writing and loading again.
    EXPECT_EQ(manager.KeySlots[0x1D].Text, "fire");
    const std::string written = manager.FormatActions();
    EXPECT_EQ(written, "fire;Fire;undefined key;false\r\njump;Jump;LCtrl;false\r\n");
    Apply(manager, written);
    EXPECT_EQ(manager.KeySlots[0x1D].Text, "jump");
    EXPECT_EQ(manager.KeySlots[0].Text, "fire");
}

TEST(CPActionsManager, SetActionEdgeCases) {
    CPActionsManager manager;
    Apply(manager, "fire;Fire;LCtrl;false\r\nlook;Look;Joystick 1;false\r\nn;Num;4;true\r\n");

    // The same key again: cleared, then bound again.
    manager.SetAction("Fire", "LCtrl", true);
    EXPECT_EQ(manager.Bindings["fire"], Binding(0x1D, "LCtrl", "Fire", true, false));

    // A name not in the table clears its holder and binds nothing.
    manager.SetAction("Fire", "Joystick 1", false);
    EXPECT_EQ(manager.Bindings["look"], Binding(0, "undefined key", "Look", true, false));
    EXPECT_EQ(manager.Bindings["fire"].KeyText, "LCtrl");

    // A text no binding has still takes the key away.
    manager.SetAction("Nobody", "LCtrl", false);
    EXPECT_EQ(manager.Bindings["fire"].KeyText, "undefined key");

    // A numeric binding keeps its flag when it is given a key name.
    manager.SetAction("Num", "Up", false);
    EXPECT_EQ(manager.Bindings["n"], Binding(0xC8, "Up", "Num", true, true));
}

TEST(CPActionsManager, SemicolonKeyAndTextRoundTrip) {
    CPActionsManager manager;
    Apply(manager, "talk;\"Say; then \"\"go\"\"\";Enter;false\r\n");
    EXPECT_EQ(manager.Bindings["talk"].Text, "Say; then \"go\"");
    manager.SetAction("Say; then \"go\"", ";", false);
    const std::string written = manager.FormatActions();
    EXPECT_EQ(written, "talk;\"Say; then \"\"go\"\"\";\";\";false\r\n");
    CPActionsManager reloaded;
    Apply(reloaded, written);
    EXPECT_EQ(reloaded.Bindings["talk"], Binding(0x27, ";", "Say; then \"go\"", true, false));
    EXPECT_EQ(reloaded.FormatActions(), written);
}

TEST(CPActionsManager, FormatInsertsDefaultsForNamesWithoutBinding) {
    CPActionsManager manager;
    manager.ActionNames = {"ghost"};
    EXPECT_EQ(manager.FormatActions(), "ghost;;;false\r\n");
    EXPECT_EQ(manager.Bindings.count("ghost"), 1u);
}

TEST(CPActionsManager, MousePositionTruncatesTowardZero) {
    CPActionsManager manager;
    struct Case {
        float in;
        int out;
    };
    const Case cases[] = {{-2.7f, -2}, {2.7f, 2}, {0.0f, 0}, {-0.5f, 0}, {1023.99f, 1023},
                          {std::nanf(""), 0}, {1e20f, std::numeric_limits<int>::max()},
                          {-1e20f, std::numeric_limits<int>::min()}};
    for (const Case& c : cases) {
        manager.MouseX = c.in;
        manager.MouseY = -c.in;
        int x = 99;
        int y = 99;
        manager.GetMousePosition(x, y);
        EXPECT_EQ(x, c.out) << c.in;
    }
    manager.MouseX = 5.9f;
    manager.MouseY = -3.1f;
    int x = 0;
    int y = 0;
    manager.GetMousePosition(x, y);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, -3);
}
