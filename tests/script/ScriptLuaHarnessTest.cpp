// The Lua test harness: every script under tests/script/lua runs, in a fresh host, against the
// test level's game folder through the real script state, and asserts with assert. A script
// loads the level itself (InitLevel("level1", ...)), as the game's scripts do; "inbox" is a
// running task of the category "main". A failed assert fails the case with its file and line.
#include "LevelScriptFixture.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<std::string> LuaScripts() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(SCRIPT_LUA_DIR)) {
        if (entry.path().extension() == ".lua") {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

class LuaScript : public LevelScriptTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(LuaScript, RunsWithoutAFailedAssert) {
    std::ifstream in(std::filesystem::path(SCRIPT_LUA_DIR) / GetParam(), std::ios::binary);
    ASSERT_TRUE(in) << GetParam();
    const std::string code((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ScriptError error;
    EXPECT_TRUE(host->Scripts().RunString(code, GetParam(), &error)) << error.Message;
}

TEST(LuaHarnessScripts, AreFound) { EXPECT_GE(LuaScripts().size(), 4u); }

INSTANTIATE_TEST_SUITE_P(Scripts, LuaScript, ::testing::ValuesIn(LuaScripts()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param.substr(0, info.param.size() - 4);
                             std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                             return name;
                         });

}  // namespace
