// Key binding functions through scripts: the bindings listed in file order, keys rebound, and
// "Actions.cfg" written whole, byte for byte, read back, and never left half written.
#include "ScriptFixture.h"

namespace {

class ScriptActions : public ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        WriteFile("Data/Keys.cfg", "up;Forward;Up;false\r\nfire;Fire;LCtrl;false\r\nn;Num;200;true\r\n");
        Run(R"(LoadActions("DATA\\keys.cfg"))");
    }
};

TEST_F(ScriptActions, ListsTheActionsInFileOrder) {
    Run(R"(
        local count, keys, texts = GetActionNames()
        assert(count == 3 and #keys == 3 and #texts == 3)
        assert(keys[1] == "Up" and keys[2] == "LCtrl" and keys[3] == "200")
        assert(texts[1] == "Forward" and texts[2] == "Fire" and texts[3] == "Num")
    )");
    Run("SetAssignKey()");
    EXPECT_TRUE(host->ActionsManager().AssignKeyMode);
}

TEST_F(ScriptActions, SaveWritesEveryLineByteForByteAndLoadsBack) {
    Run(R"(
        SetAction("Fire", "Space", false)
        SetAction("Forward", "No Such Key", true)   -- unknown key name: nothing changes
        SaveActions()
    )");
    const std::string expected = "up;Forward;Up;false\r\nfire;Fire;Space;false\r\nn;Num;200;true\r\n";
    EXPECT_EQ(ReadFile("Actions.cfg"), expected);

    // Loading what was written gives the same order, keys, texts and flags.
    Run(R"(
        LoadActions("Actions.cfg")
        local count, keys, texts = GetActionNames()
        assert(count == 3 and keys[1] == "Up" and keys[2] == "Space" and keys[3] == "200")
        assert(texts[2] == "Fire")
        -- a key taken by another action leaves it
        SetAction("Fire", "Up")
        UpdateActions()
        count, keys = GetActionNames()
        assert(keys[1] == "undefined key" and keys[2] == "Up")
    )");
    EXPECT_EQ(ReadFile("Actions.cfg"), "up;Forward;undefined key;false\r\nfire;Fire;Up;false\r\nn;Num;200;true\r\n");
    EXPECT_TRUE(host->ActionsManager().Bindings["n"].Numeric);
    EXPECT_EQ(host->ActionsManager().KeySlots[0xC8].Text, "fire");  // the slots follow the reload
}

TEST_F(ScriptActions, AFailedSaveLeavesTheOldFileWhole) {
    Run("SaveActions()");
    const std::string before = ReadFile("Actions.cfg");
    Run(R"(SetAction("Fire", "Space"))");
    for (const HostFiles::Fault fault : {HostFiles::Fault::OpenWrite, HostFiles::Fault::Write, HostFiles::Fault::Rename}) {
        reports.clear();
        HostFiles::FailNext(fault);
        Run("SaveActions()");
        EXPECT_EQ(ReadFile("Actions.cfg"), before);
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].Text, "SaveActions: Actions.cfg: cannot be written, the old file stays\n");
    }
    HostFiles::ClearFaults();
    reports.clear();
    Run("SaveActions()");
    EXPECT_TRUE(reports.empty());
    EXPECT_NE(ReadFile("Actions.cfg"), before);
    // No temporary file is left beside it.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        files += entry.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(files, 1);
}

TEST_F(ScriptActions, AMissingFileChangesNothing) {
    Run(R"(
        LoadActions("absent.cfg")
        local count = GetActionNames()
        assert(count == 3)
    )");
}

}  // namespace
