#include "host/GameProgram.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool Parse(std::vector<const char*> arguments, GameOptions& options, std::string& error) {
    arguments.insert(arguments.begin(), "_Tarnwick.exe");
    return GameProgram::ParseOptions(static_cast<int>(arguments.size()), arguments.data(), options, error);
}

TEST(GameProgramOptions, TheDefaultsRunTheScriptsOnTheWallClockWithoutLimit) {
    GameOptions options;
    std::string error;
    ASSERT_TRUE(Parse({}, options, error)) << error;
    EXPECT_EQ(options.Race, "");
    EXPECT_EQ(options.Laps, 3);
    EXPECT_EQ(options.FrameTime, 0.0f);
    EXPECT_EQ(options.FrameLimit, 0);
    EXPECT_TRUE(options.DumpFrames.empty());
    EXPECT_FALSE(options.Demo);
    EXPECT_FALSE(options.Help);
}

TEST(GameProgramOptions, FrameTimesThatAreNormalFloatsUpToOneAreTaken) {
    struct Case {
        const char* Text;
        float Seconds;
    };
    const Case cases[] = {
        {"1", 1.0f}, {"1.00000001", 1.0f}, {"1e-30", 1e-30f}, {"1.2e-38", 1.2e-38f}, {"0.0166667", 0.0166667f},
    };
    for (const Case& c : cases) {
        GameOptions options;
        std::string error;
        EXPECT_TRUE(Parse({"--frame-time", c.Text}, options, error)) << c.Text << ": " << error;
        EXPECT_EQ(options.FrameTime, c.Seconds) << c.Text;
    }
}

TEST(GameProgramOptions, EveryOptionInBothForms) {
    GameOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--race", "level1", "--laps=5", "--frame-time", "0.02", "--frames=900", "--dump", "1,60",
                       "--dump=60,7", "--dump-folder", "out", "--demo", "-h"},
                      options, error))
        << error;
    EXPECT_EQ(options.Race, "level1");
    EXPECT_EQ(options.Laps, 5);
    EXPECT_FLOAT_EQ(options.FrameTime, 0.02f);
    EXPECT_EQ(options.FrameLimit, 900);
    EXPECT_EQ(options.DumpFrames, (std::set<int64_t>{1, 7, 60}));
    EXPECT_EQ(options.DumpFolder, "out");
    EXPECT_TRUE(options.Demo);
    EXPECT_TRUE(options.Help);
}

TEST(GameProgramOptions, BadOptionsAreRefusedWithTheReason) {
    struct Case {
        std::vector<const char*> Arguments;
        const char* Says;
    };
    const Case cases[] = {
        {{"--fast"}, "unknown option \"--fast\""},
        {{"level1"}, "unknown option \"level1\""},
        {{"--race"}, "--race needs a value"},
        {{"--race", "../etc"}, "--race needs a level name"},
        {{"--race="}, "--race needs a level name"},
        {{"--laps", "0"}, "--laps takes"},
        {{"--laps", "21"}, "--laps takes"},
        {{"--laps", "3x"}, "--laps takes"},
        {{"--laps", "99999999999999999999"}, "--laps takes"},
        {{"--frame-time", "0"}, "--frame-time takes"},
        {{"--frame-time", "nan"}, "--frame-time takes"},
        {{"--frame-time", "1.5"}, "--frame-time takes"},
        {{"--frame-time", "-0.01"}, "--frame-time takes"},
        {{"--frame-time", "0x0.1"}, "--frame-time takes"},  // decimal only
        {{"--frame-time", "0,02"}, "--frame-time takes"},
        {{"--frame-time", " 0.02"}, "--frame-time takes"},
        // What the frames would run on is a float: 0 as a float, or below its normal range.
        {{"--frame-time", "1e-50"}, "--frame-time takes"},
        {{"--frame-time", "1e-40"}, "--frame-time takes"},
        {{"--frame-time", "1e-400"}, "--frame-time takes"},
        {{"--frame-time", "1.00000006"}, "--frame-time takes"},
        {{"--demo=1"}, "unknown option \"--demo=1\""},
        {{"--laps", "+3"}, "--laps takes"},
        {{"--laps", "-3"}, "--laps takes"},
        {{"--frames", "0x10"}, "--frames takes"},
        {{"--frames", "0"}, "--frames takes"},
        {{"--frames", ""}, "--frames takes"},
        {{"--dump", "1,,2"}, "--dump takes"},
        {{"--dump", "0"}, "--dump takes"},
        {{"--dump", "3,"}, "--dump takes"},
        {{"--dump-folder="}, "--dump-folder needs a folder"},
    };
    for (const Case& c : cases) {
        GameOptions options;
        std::string error;
        EXPECT_FALSE(Parse(c.Arguments, options, error)) << c.Arguments.front();
        EXPECT_NE(error.find(c.Says), std::string::npos) << error;
    }
}

}  // namespace
