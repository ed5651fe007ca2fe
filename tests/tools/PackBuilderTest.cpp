#include "core/CPFileReader.h"
#include "core/PackFiles.h"
#include "tools/PackBuilder.h"
#include "tests/TestTempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

class PackBuilderTest : public ::testing::Test {
protected:
    void SetUp() override { PackFiles.clear(); }
    void TearDown() override { PackFiles.clear(); }
    void Put(const std::string& relative, const std::string& text) const { scratch.Write("game/" + relative, text); }
    static std::string Load(const std::string& name) {
        CPFileReader reader(name, false);
        if (FAILED(reader.Load())) {
            return "<missing>";
        }
        return std::string(reinterpret_cast<const char*>(reader.GetData()), reader.GetLength());
    }
    // Tests that move the working directory leave it to the scratch folder to bring it back.
    ScratchFolder scratch{"packbuild", ScratchFolder::Stay};
    const fs::path& root = scratch.Path();
};

TEST_F(PackBuilderTest, PacksAFolderSoTheEngineFindsItsFiles) {
    Put("Data/Meshes/Car.msh", "car mesh");
    Put("Data/Textures/Sub/Rust.TGA", std::string(3000, 'r'));
    Put("Data/empty.txt", "");
    Put("config.cfg", "not packed");
    std::string error;
    size_t count = 0;
    ASSERT_TRUE(BuildPack((root / "data.pak").string(), (root / "game").string(), {"Data"}, error, &count)) << error;
    EXPECT_EQ(count, 3u);

    // Run from an empty game folder: everything must come from the pack.
    fs::create_directories(root / "run");
    fs::current_path(root / "run");
    ASSERT_EQ(AddPackFile((root / "data.pak").string()), S_OK);  // the host's own path, outside the game folder
    EXPECT_EQ(PackFiles[0].Directory.size(), 3u);
    EXPECT_EQ(Load("Data\\Meshes\\car.msh"), "car mesh");
    EXPECT_EQ(Load("DATA\\TEXTURES\\SUB\\RUST.tga"), std::string(3000, 'r'));
    EXPECT_EQ(Load("data\\empty.txt"), "");
    EXPECT_EQ(Load("config.cfg"), "<missing>");
}

TEST_F(PackBuilderTest, FoldersAndTheOutputAreMatchedWithoutRegardToCase) {
    Put("Data/Meshes/Car.msh", "car mesh");
    Put("data.pak", "an older pack");
    std::string error;
    size_t count = 0;
    ASSERT_TRUE(BuildPack((root / "meshes.pak").string(), (root / "GAME").string(), {"data\\MESHES"}, error, &count))
        << error;
    EXPECT_EQ(count, 1u);
    // The whole game folder into its own "data.pak": the old pack is the file being replaced,
    // not a member of the new one.
    ASSERT_TRUE(BuildPack((root / "game" / "DATA.PAK").string(), (root / "game").string(), {}, error, &count)) << error;
    EXPECT_EQ(count, 1u);
    EXPECT_FALSE(fs::exists(root / "game" / "DATA.PAK"));
    fs::current_path(root / "game");
    ASSERT_EQ(AddPackFile("data.pak"), S_OK);
    EXPECT_EQ(PackFiles[0].Directory.size(), 1u);
    EXPECT_EQ(PackFiles[0].Directory.count("data\\meshes\\car.msh"), 1u);
}

TEST_F(PackBuilderTest, RefusesCaseClashesAndMissingFolders) {
    Put("Data/a.txt", "1");
    Put("Data/A.TXT", "2");
    std::string error;
    EXPECT_FALSE(BuildPack((root / "x.pak").string(), (root / "game").string(), {}, error));
    EXPECT_NE(error.find("differ only in case"), std::string::npos);
    EXPECT_FALSE(fs::exists(root / "x.pak"));
    EXPECT_FALSE(BuildPack((root / "x.pak").string(), (root / "game").string(), {"Nowhere"}, error));
    EXPECT_NE(error.find("not a folder"), std::string::npos);
}

TEST_F(PackBuilderTest, RefusesFoldersOutsideTheGameFolder) {
    Put("Data/a.txt", "1");
    scratch.Write("outside/secret.txt", "not for the pack");
    for (const char* folder : {"..", "../outside", "Data/../..", "..\\outside", "/etc", "\\Data", "C:\\Data"}) {
        SCOPED_TRACE(folder);
        std::string error;
        EXPECT_FALSE(BuildPack((root / "x.pak").string(), (root / "game").string(), {folder}, error));
        EXPECT_NE(error.find("not a folder inside the game folder"), std::string::npos) << error;
        EXPECT_FALSE(fs::exists(root / "x.pak"));
    }
    std::string error;
    EXPECT_TRUE(BuildPack((root / "x.pak").string(), (root / "game").string(), {"Data/./"}, error)) << error;
}

// A file behind a link is named by the link's path (it used to be named by its target, which
// clashed with the target's own entry), and a link that leads nowhere is passed over.
TEST_F(PackBuilderTest, LinksAreNamedByTheirOwnPathAndDanglingOnesSkipped) {
    Put("Data/Real/a.txt", "real");
    fs::create_directory_symlink("Real", root / "game" / "Data" / "Linked");
    fs::create_symlink("Real/a.txt", root / "game" / "Data" / "alias.txt");
    fs::create_symlink("Real/gone.txt", root / "game" / "Data" / "dangling.txt");
    std::string error;
    size_t count = 0;
    std::vector<std::string> skipped;
    ASSERT_TRUE(BuildPack((root / "x.pak").string(), (root / "game").string(), {"Data"}, error, &count, &skipped))
        << error;
    EXPECT_EQ(count, 3u);
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(fs::path(skipped[0]).filename(), "dangling.txt");
    fs::current_path(root);
    ASSERT_EQ(AddPackFile("x.pak"), S_OK);
    for (const char* name : {"data\\real\\a.txt", "data\\linked\\a.txt", "data\\alias.txt"}) {
        EXPECT_EQ(PackFiles[0].Directory.count(name), 1u) << name;
    }
}

// A link back to a folder above it is not followed round (each turn added every file again
// under a longer name, until the path was too long to resolve), and it is reported as skipped.
TEST_F(PackBuilderTest, ALinkBackToAFolderAboveIsNotFollowedRound) {
    Put("Data/Tex/a.tga", "a");
    fs::create_directory_symlink(".", root / "game" / "Data" / "Tex" / "self");
    fs::create_directory_symlink("..", root / "game" / "Data" / "Tex" / "up");
    std::string error;
    size_t count = 0;
    std::vector<std::string> skipped;
    ASSERT_TRUE(BuildPack((root / "x.pak").string(), (root / "game").string(), {}, error, &count, &skipped))
        << error;
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(skipped.size(), 2u);
}

// Folders named twice, or one inside another, give each file once, not a case clash with itself;
// a "." in a folder's name does not get into the members' names.
TEST_F(PackBuilderTest, OverlappingFoldersPackEachFileOnce) {
    Put("Data/Tex/a.tga", "a");
    Put("Data/b.txt", "b");
    std::string error;
    size_t count = 0;
    ASSERT_TRUE(BuildPack((root / "x.pak").string(), (root / "game").string(), {"Data/./", "data\\tex", "DATA"},
                          error, &count))
        << error;
    EXPECT_EQ(count, 2u);
    fs::current_path(root);
    ASSERT_EQ(AddPackFile("x.pak"), S_OK);
    for (const char* name : {"data\\b.txt", "data\\tex\\a.tga"}) {
        EXPECT_EQ(PackFiles[0].Directory.count(name), 1u) << name;
    }
}

TEST_F(PackBuilderTest, ProgramPrintsUsageForHelpAndReportsDanglingLinks) {
    const auto run = [&](const std::string& arguments) {
        const std::string command = std::string(PACKBUILD_EXE) + " " + arguments + " > '" + (root / "out").string() +
                                    "' 2> '" + (root / "err").string() + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run("--help"), 0);
    EXPECT_EQ(scratch.Read("out").rfind("usage: ", 0), 0u) << scratch.Read("out");
    EXPECT_EQ(scratch.Read("err"), "");
    EXPECT_EQ(run(""), 2);
    EXPECT_NE(scratch.Read("err").find("usage: "), std::string::npos);

    Put("Data/a.txt", "1");
    fs::create_symlink("nowhere", root / "game" / "Data" / "gone");
    EXPECT_EQ(run("'" + (root / "x.pak").string() + "' '" + (root / "game").string() + "' Data"), 0);
    EXPECT_NE(scratch.Read("err").find("skipped a link that leads nowhere: "), std::string::npos) << scratch.Read("err");
    EXPECT_NE(scratch.Read("out").find("1 files"), std::string::npos) << scratch.Read("out");
    EXPECT_EQ(run("'" + (root / "y.pak").string() + "' '" + (root / "game").string() + "' .."), 1);
    EXPECT_NE(scratch.Read("err").find("not a folder inside the game folder"), std::string::npos) << scratch.Read("err");
}

}  // namespace
