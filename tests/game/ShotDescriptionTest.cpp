// Our shot description file: what a good file gives, and each fault refused with its file and
// line, leaving what was read before untouched.
#include "game/ShotDescription.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool Read(const std::string& text, std::vector<ShotDescription>& shots, std::string& error) {
    return ReadShotDescriptions(text.data(), text.size(), "Data\\shots.txt", shots, error);
}

TEST(ShotDescription, ReadsOneShotPerLineWithCommentsAndBlankLines) {
    const std::string text =
        "# name class target speed duration width texture effect material impact extra sound\n"
        "\n"
        "trasser11  lightning any   200 0   0.05 tracer.tga tracer.fx 0 spark 0   mgun.wav  # a comment\r\n"
        "spark\tlightning\tenemy 40 0.5 0.2 spark.tga add.fx 2 none -1.5 hit.wav,2d\n"
        "silent lightning any 1e2 0 0 a.tga b.fx 0 none 0 none\n"
        "boom effect rocket_exp 0.5 explosion.wav\n";
    std::vector<ShotDescription> shots;
    std::string error;
    ASSERT_TRUE(Read(text, shots, error)) << error;
    ASSERT_EQ(shots.size(), 4u);
    EXPECT_EQ(shots[0].Name, "trasser11");
    EXPECT_EQ(shots[0].Class, "lightning");
    EXPECT_EQ(shots[0].Line, 3);
    EXPECT_EQ(shots[0].Parameters, (std::vector<std::string>{"any", "200", "0", "0.05", "tracer.tga", "tracer.fx", "0",
                                                             "spark", "0", "mgun.wav"}));
    EXPECT_EQ(shots[1].Parameters.back(), "hit.wav,2d");
    EXPECT_EQ(shots[1].Line, 4);
    EXPECT_EQ(shots[2].Name, "silent");
    EXPECT_EQ(shots[3].Class, "effect");
    EXPECT_EQ(shots[3].Parameters, (std::vector<std::string>{"rocket_exp", "0.5", "explosion.wav"}));
}

TEST(ShotDescription, RefusesEachFaultNamingFileAndLine) {
    const std::string good = "ok lightning any 40 0 0.1 t.tga e.fx 0 none 0 none\n";
    struct Case {
        const char* Line;
        const char* Error;
    };
    const Case cases[] = {
        {"lonely", "Data\\shots.txt:2: shot \"lonely\" has no class"},
        {"b rocket any 40 0 0.1 t.tga e.fx 0 none 0 none", "unknown shot class \"rocket\""},
        {"b lightning any 40 0 0.1 t.tga e.fx 0 none 0", "takes 10 fields after its class"},
        {"b lightning any 40 0 0.1 t.tga e.fx 0 none 0 none x", "not 11"},
        {"b lightning friend 40 0 0.1 t.tga e.fx 0 none 0 none", "target \"friend\""},
        {"b lightning any 0 0 0.1 t.tga e.fx 0 none 0 none", "speed \"0\" must be above 0"},
        {"b lightning any fast 0 0.1 t.tga e.fx 0 none 0 none", "speed \"fast\" is not a decimal number"},
        {"b lightning any 12abc 0 0.1 t.tga e.fx 0 none 0 none", "speed \"12abc\" is not a decimal number"},
        {"b lightning any inf 0 0.1 t.tga e.fx 0 none 0 none", "speed \"inf\" is not a decimal number"},
        {"b lightning any 40 -1 0.1 t.tga e.fx 0 none 0 none", "duration \"-1\" is negative"},
        {"b lightning any 40 0 nan t.tga e.fx 0 none 0 none", "width \"nan\" is not a decimal number"},
        {"b lightning any 40 0 0.1 t.tga e.fx 1.5 none 0 none", "material \"1.5\""},
        {"b lightning any 40 0 0.1 t.tga e.fx -1 none 0 none", "material \"-1\""},
        {"b lightning any 40 0 0.1 t.tga e.fx 0 none x none", "extra \"x\""},
        {"b lightning any 40 0 0.1 t.tga e.fx 0 none 0 ,2d", "has no sound name"},
        {"b lightning any 40 0 0.1 t.tga e.fx 0 none 0 a.wav,3d", "only \",2d\" may follow"},
        {"b lightning any 40 0 0.1 t.tga e.fx 0 missing 0 none", "impact shot \"missing\" is not described"},
        {"b effect fire 0.5", "an effect shot takes 3 fields"},
        {"b effect fire -0.5 none", "duration \"-0.5\" is negative"},
        {"b effect fire 0 a.wav,", "only \",2d\" may follow"},
        {"b lightning any 40 0 0.1 t.tga e.fx 0 b 0 none", "cannot be its own impact shot"},
        {"ok lightning any 40 0 0.1 t.tga e.fx 0 none 0 none", "described twice (first on line 1)"},
        {"none lightning any 40 0 0.1 t.tga e.fx 0 none 0 none", "\"none\" cannot name a shot"},
        {"b lightning any 40\x01 0 0.1 t.tga e.fx 0 none 0 none", "control character 1"},
        // Names the game opens: none may lead outside the game folder.
        {"b lightning any 40 0 0.1 ../../../../../../etc/passwd e.fx 0 none 0 none",
         "texture \"../../../../../../etc/passwd\" leads outside the game folder"},
        {"b lightning any 40 0 0.1 ..\\..\\..\\x.tga e.fx 0 none 0 none", "texture \"..\\..\\..\\x.tga\" leads outside"},
        {"b lightning any 40 0 0.1 t.tga /etc/passwd 0 none 0 none", "effect \"/etc/passwd\" leads outside"},
        {"b lightning any 40 0 0.1 t.tga \\fx\\e.fx 0 none 0 none", "effect \"\\fx\\e.fx\" leads outside"},
        {"b lightning any 40 0 0.1 t.tga C:e.fx 0 none 0 none", "effect \"C:e.fx\" leads outside"},
        {"b lightning any 40 0 0.1 t.tga e.fx 0 none 0 d:\\a.wav", "sound \"d:\\a.wav\" leads outside"},
        {"b lightning any 40 0 0.1 t.tga e.fx 0 none 0 ../../../a.wav,2d", "sound \"../../../a.wav\" leads outside"},
        {"b effect ../../../fire 0 none", "particles \"../../../fire\" leads outside"},
        {"b effect fire 0 Data/../../../../a.wav", "sound \"Data/../../../../a.wav\" leads outside"},
    };
    for (const Case& c : cases) {
        std::vector<ShotDescription> shots(1);
        shots[0].Name = "kept";
        std::string error;
        EXPECT_FALSE(Read(good + c.Line + "\n", shots, error)) << c.Line;
        EXPECT_NE(error.find(c.Error), std::string::npos) << c.Line << " -> " << error;
        EXPECT_EQ(error.rfind("Data\\shots.txt:2: ", 0), 0u) << error;
        ASSERT_EQ(shots.size(), 1u);
        EXPECT_EQ(shots[0].Name, "kept");
    }
}

TEST(ShotDescription, NamesThatStayInsideTheGameFolderAreFine) {
    std::vector<ShotDescription> shots;
    std::string error;
    EXPECT_TRUE(Read("a lightning any 40 0 0.1 ..\\Effects\\t.tga ../../Data/e.fx 0 none 0 ..\\..\\s.wav,2d\n"
                     "b effect ./fire 0 sub/../a.wav\n",
                     shots, error))
        << error;
}

TEST(ShotDescription, AnImpactShotMayBeDescribedAfterItsUser) {
    std::vector<ShotDescription> shots;
    std::string error;
    EXPECT_TRUE(Read("a lightning any 40 0 0.1 t.tga e.fx 0 b 0 none\n"
                     "b lightning any 40 0 0.1 t.tga e.fx 0 a 0 none\n",
                     shots, error))
        << error;
    EXPECT_TRUE(Read("", shots, error));
    EXPECT_TRUE(shots.empty());
}

TEST(ShotDescription, AFileThatIsNotThereIsReported) {
    std::vector<ShotDescription> shots;
    std::string error;
    EXPECT_FALSE(LoadShotDescriptionFile("Data\\no_such_shots.txt", shots, error));
    EXPECT_EQ(error, "Data\\no_such_shots.txt: cannot be read");
}

}  // namespace
