#include "core/CPActionsManager.h"
#include "core/PackFiles.h"
#include "platform/files/HostFiles.h"
#include "tests/TestTempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

// Runs each test in a fresh directory: "Actions.cfg" is written in the current directory.
class ActionsFileTest : public ::testing::Test {
protected:
    void WriteFile(const std::string& name, const std::string& bytes) const { scratch.Write(name, bytes); }
    std::string ReadFile(const std::string& name) const { return scratch.Read(name); }

    ScratchFolder scratch{"actions"};
};

}  // namespace

TEST_F(ActionsFileTest, LoadThenSaveIsByteExact) {
    const std::string text = "fire;Fire;LCtrl;false\r\njump;Jump;3;true\r\nup;Forward;NumPad 8;false\r\n";
    WriteFile("Actions.cfg", text);
    CPActionsManager manager;
    ASSERT_EQ(manager.LoadActions("Actions.cfg"), S_OK);
    EXPECT_EQ(manager.KeySlots[0x1D].Text, "fire");
    EXPECT_EQ(manager.NumericSlots[3].Text, "jump");
    EXPECT_EQ(manager.KeySlots[0x48].Text, "up");
    fs::remove("Actions.cfg");
    ASSERT_EQ(manager.SaveActions(), S_OK);
    EXPECT_EQ(ReadFile("Actions.cfg"), text);
}

TEST_F(ActionsFileTest, MissingFileFailsAndKeepsTheTables) {
    WriteFile("Actions.cfg", "fire;Fire;LCtrl;false\r\njump;Jump;3;true\r\n");
    CPActionsManager manager;
    ASSERT_EQ(manager.LoadActions("Actions.cfg"), S_OK);
    EXPECT_EQ(manager.LoadActions("Missing.cfg"), static_cast<HRESULT>(0x80004005u));
    EXPECT_EQ(manager.ActionNames, (std::vector<std::string>{"fire", "jump"}));
    EXPECT_EQ(manager.Bindings.size(), 2u);
    EXPECT_EQ(manager.KeySlots[0x1D].Text, "fire");
    EXPECT_EQ(manager.NumericSlots[3].Text, "jump");
}

TEST_F(ActionsFileTest, PackedCopyIsFoundWhenNoneIsOnDisk) {
    const std::string text = "fire;Fire;LCtrl;false\r\n";
    std::vector<uint8_t> pack;
    ASSERT_TRUE(PackFormat::Encode({{"actions.cfg", std::vector<uint8_t>(text.begin(), text.end())}}, pack));
    WriteFile("bindings.pak", std::string(pack.begin(), pack.end()));
    ASSERT_EQ(AddPackFile("bindings.pak"), S_OK);
    CPActionsManager manager;
    const HRESULT loaded = manager.LoadActions("Actions.cfg");
    PackFiles.clear();
    ASSERT_EQ(loaded, S_OK);
    EXPECT_EQ(manager.FormatActions(), text);
}

TEST_F(ActionsFileTest, FileNamesResolveWithoutRegardToCase) {
    WriteFile("actions.cfg", "fire;Fire;LCtrl;false\r\n");
    CPActionsManager manager;
    ASSERT_EQ(manager.LoadActions("ACTIONS.CFG"), S_OK);
    EXPECT_EQ(manager.Bindings["fire"].KeyCode, 0x1D);
    manager.SetAction("Fire", "Space", false);
    ASSERT_EQ(manager.SaveActions(), S_OK);
    // The existing file is replaced, not joined by a second one in other letter case.
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch.Path()), fs::directory_iterator()), 1);
    EXPECT_EQ(ReadFile("actions.cfg"), "fire;Fire;Space;false\r\n");
}

TEST_F(ActionsFileTest, SaveAndReloadRebuildsTheSlots) {
    WriteFile("Actions.cfg", "fire;Fire;LCtrl;false\r\njump;Jump;Space;false\r\n");
    CPActionsManager manager;
    ASSERT_EQ(manager.LoadActions("Actions.cfg"), S_OK);
    manager.SetAction("Jump", "LCtrl", false);
    ASSERT_EQ(manager.SaveAndReloadActions(), S_OK);
    EXPECT_EQ(ReadFile("Actions.cfg"), "fire;Fire;undefined key;false\r\njump;Jump;LCtrl;false\r\n");
    EXPECT_EQ(manager.KeySlots[0x1D].Text, "jump");
    EXPECT_EQ(manager.KeySlots[0].Text, "fire");
    EXPECT_FALSE(manager.KeySlots[0x39].Used);
}

TEST_F(ActionsFileTest, FailedSaveKeepsTheOldFile) {
    const std::string text = "fire;Fire;LCtrl;false\r\n";
    WriteFile("Actions.cfg", text);
    CPActionsManager manager;
    ASSERT_EQ(manager.LoadActions("Actions.cfg"), S_OK);
    manager.SetAction("Fire", "Space", false);

    HostFiles::FailNext(HostFiles::Fault::Write);
    EXPECT_EQ(manager.SaveActions(), E_FAIL);
    EXPECT_EQ(ReadFile("Actions.cfg"), text);
    EXPECT_EQ(manager.Bindings["fire"].KeyText, "Space");
    EXPECT_EQ(manager.KeySlots[0x1D].Text, "fire");

    // Reloading still happens, from what the file then holds.
    HostFiles::FailNext(HostFiles::Fault::Rename);
    EXPECT_EQ(manager.SaveAndReloadActions(), E_FAIL);
    EXPECT_EQ(ReadFile("Actions.cfg"), text);
    EXPECT_EQ(manager.Bindings["fire"].KeyText, "LCtrl");
    HostFiles::ClearFaults();
}
