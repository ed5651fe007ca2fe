#include "platform/files/FindFile.h"
#include "platform/files/HostFiles.h"
#include "tests/TestTempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class HostFilesTest : public ::testing::Test {
protected:
    void SetUp() override { HostFiles::ClearFaults(); }
    void TearDown() override { HostFiles::ClearFaults(); }
    // Writes a fixture behind the layer's back, as another program would.
    void Put(const std::string& relative, const std::string& content) const { scratch.Write(relative, content); }
    // The engine's spelling: the temp root, then Windows separators.
    std::string Engine(const std::string& windowsPath) const { return root.string() + "\\" + windowsPath; }
    std::vector<std::string> Names(const std::string& relative) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(root / relative)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // Tests that move the working directory leave it to the scratch folder to bring it back.
    ScratchFolder scratch{"hostfiles", ScratchFolder::Stay};
    const fs::path& root = scratch.Path();
};

TEST_F(HostFilesTest, ReadsResolveEachComponentWithoutRegardToCase) {
    Put("Data/Meshes/Car.MSH", "mesh");
    Put("Data/Textures/a.tga", "tex");
    struct Case {
        const char* asked;
        const char* resolved;  // relative to the root; null when it does not exist
    };
    const Case cases[] = {
        {"data\\meshes\\car.msh", "Data/Meshes/Car.MSH"},
        {"DATA\\MESHES\\CAR.MSH", "Data/Meshes/Car.MSH"},
        {"Data/Meshes\\car.msh", "Data/Meshes/Car.MSH"},
        {"data\\\\textures\\A.TGA", "Data/Textures/a.tga"},
        {"data\\meshes\\.\\car.msh", "Data/Meshes/./Car.MSH"},
        {"data\\meshes", "Data/Meshes"},
        {"data\\meshes\\nope.msh", nullptr},
        {"nope\\meshes\\car.msh", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked);
        const std::string resolved = HostFiles::Resolve(Engine(c.asked));
        EXPECT_EQ(HostFiles::Exists(Engine(c.asked)), c.resolved != nullptr);
        if (c.resolved != nullptr) {
            EXPECT_EQ(resolved, (root / c.resolved).string());
        }
    }
    EXPECT_EQ(HostFiles::Resolve(Engine("Data\\Meshes\\Missing\\X.msh")), (root / "Data/Meshes/Missing/X.msh").string());
    EXPECT_TRUE(HostFiles::IsDirectory(Engine("DATA\\meshes")));
    EXPECT_FALSE(HostFiles::IsDirectory(Engine("DATA\\meshes\\car.msh")));

    std::FILE* file = HostFiles::Open(Engine("data\\meshes\\car.msh"), "rb");
    ASSERT_NE(file, nullptr);
    char bytes[8] = {};
    EXPECT_EQ(std::fread(bytes, 1, sizeof(bytes), file), 4u);
    std::fclose(file);
    EXPECT_STREQ(bytes, "mesh");
}

TEST_F(HostFilesTest, ExactSpellingWinsOverACaseVariant) {
    Put("d/a.txt", "lower");
    Put("d/A.TXT", "upper");
    EXPECT_EQ(HostFiles::Resolve(Engine("d\\a.txt")), (root / "d/a.txt").string());
    EXPECT_EQ(HostFiles::Resolve(Engine("d\\A.TXT")), (root / "d/A.TXT").string());
    // Neither spelled so: the first in byte order answers, every time.
    EXPECT_EQ(HostFiles::Resolve(Engine("d\\A.txt")), (root / "d/A.TXT").string());
}

TEST_F(HostFilesTest, WritesReplaceACaseVariantInsteadOfAddingOne) {
    Put("Data/Saves/Save1.sav", "old");
    std::FILE* file = HostFiles::Open(Engine("DATA\\SAVES\\save1.SAV"), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("new", file);
    std::fclose(file);
    EXPECT_EQ(Names("Data/Saves"), std::vector<std::string>{"Save1.sav"});
    EXPECT_EQ(scratch.Read("Data/Saves/Save1.sav"), "new");

    // A new name keeps its spelling and is found by any other.
    ASSERT_TRUE(HostFiles::WriteWhole(Engine("DATA\\Saves\\X"), "xx", 2));
    EXPECT_EQ(Names("Data/Saves"), (std::vector<std::string>{"Save1.sav", "X"}));
    EXPECT_EQ(HostFiles::Resolve(Engine("data\\saves\\x")), (root / "Data/Saves/X").string());
    ASSERT_TRUE(HostFiles::WriteWhole(Engine("data\\saves\\x"), "yyy", 3));
    EXPECT_EQ(Names("Data/Saves"), (std::vector<std::string>{"Save1.sav", "X"}));
    EXPECT_EQ(scratch.Read("Data/Saves/X"), "yyy");

    // Missing folders are not created: the write fails.
    EXPECT_EQ(HostFiles::Open(Engine("Data\\Nowhere\\f.txt"), "wb"), nullptr);
    EXPECT_FALSE(HostFiles::WriteWhole(Engine("Data\\Nowhere\\f.txt"), "a", 1));
}

TEST_F(HostFilesTest, ListingsAreCachedAndFollowChangesMadeBehindTheLayer) {
    Put("Data/Meshes/One.msh", "1");
    HostFiles::ClearCache();
    const size_t before = HostFiles::ListingCount();
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(HostFiles::Exists(Engine("data\\meshes\\one.msh")));
    }
    // The root, "Data" and "Meshes" are listed once each.
    EXPECT_EQ(HostFiles::ListingCount() - before, 3u);

    // Created by someone else right after the listing, within the same time-stamp tick.
    EXPECT_FALSE(HostFiles::Exists(Engine("data\\meshes\\two.msh")));
    Put("Data/Meshes/Two.msh", "2");
    EXPECT_TRUE(HostFiles::Exists(Engine("data\\meshes\\two.msh")));
    fs::remove(root / "Data/Meshes/One.msh");
    EXPECT_FALSE(HostFiles::Exists(Engine("data\\meshes\\one.msh")));

    // A folder renamed to another case behind the layer: the stale listing is noticed.
    fs::rename(root / "Data/Meshes", root / "Data/MESHES");
    EXPECT_EQ(HostFiles::Resolve(Engine("data\\meshes\\two.msh")), (root / "Data/MESHES/Two.msh").string());
    fs::rename(root / "Data/MESHES", root / "Data/Meshes");
    std::FILE* file = HostFiles::Open(Engine("data\\meshes\\two.msh"), "rb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);

    // Created by the layer itself: found at once.
    ASSERT_TRUE(HostFiles::WriteWhole(Engine("DATA\\MESHES\\Three.msh"), "3", 1));
    EXPECT_TRUE(HostFiles::Exists(Engine("data\\meshes\\three.msh")));
    ASSERT_TRUE(HostFiles::Rename(Engine("data\\meshes\\three.msh"), Engine("data\\meshes\\Four.msh")));
    EXPECT_FALSE(HostFiles::Exists(Engine("data\\meshes\\three.msh")));
    EXPECT_TRUE(HostFiles::Exists(Engine("data\\meshes\\four.msh")));
    ASSERT_TRUE(HostFiles::Remove(Engine("DATA\\meshes\\FOUR.msh")));
    EXPECT_FALSE(HostFiles::Exists(Engine("data\\meshes\\four.msh")));

    ASSERT_TRUE(HostFiles::MakeDirectory(Engine("data\\Saves")));
    EXPECT_TRUE(HostFiles::MakeDirectory(Engine("DATA\\SAVES")));  // already there, any case
    EXPECT_TRUE(HostFiles::IsDirectory(Engine("data\\saves")));
    EXPECT_TRUE(fs::is_directory(root / "Data/Saves"));
}

// A save changes its folder; the lookups after it (every pack member asks the disk first) must
// not list the folder again, and changes by others keep being seen without a new listing.
TEST_F(HostFilesTest, ChangesAfterAListingAreFollowedWithoutListingAgain) {
    for (int i = 0; i < 50; ++i) {
        Put("Game/Item" + std::to_string(i) + ".dat", "i");
    }
    HostFiles::ClearCache();
    EXPECT_FALSE(HostFiles::Exists(Engine("game\\missing.dat")));
    const size_t listed = HostFiles::ListingCount();

    ASSERT_TRUE(HostFiles::WriteWhole(Engine("GAME\\Scores.dat"), "s", 1));
    for (int i = 0; i < 20; ++i) {
        EXPECT_FALSE(HostFiles::Exists(Engine("game\\missing.dat")));
        EXPECT_TRUE(HostFiles::Exists(Engine("game\\scores.DAT")));
    }
    // Another program adds a case variant and removes a file, within the same time-stamp tick.
    Put("Game/MISSING.Dat", "m");
    fs::remove(root / "Game/Item7.dat");
    EXPECT_TRUE(HostFiles::Exists(Engine("game\\missing.dat")));
    EXPECT_EQ(HostFiles::Resolve(Engine("game\\missing.dat")), (root / "Game/MISSING.Dat").string());
    EXPECT_FALSE(HostFiles::Exists(Engine("game\\item7.dat")));
    EXPECT_EQ(HostFiles::ListingCount(), listed);
}

// A name found in a listing answers only while nothing closer to the asked spelling has come
// since: a variant another program adds behind the layer is seen by reads and opens at once.
TEST_F(HostFilesTest, AVariantAddedBehindTheLayerAnswersAtOnce) {
    Put("Data/Car.TGA", "old");
    Put("Data/Wheel.tga", "old");
    HostFiles::ClearCache();
    ASSERT_EQ(HostFiles::Resolve(Engine("data\\car.tga")), (root / "Data/Car.TGA").string());
    ASSERT_EQ(HostFiles::Resolve(Engine("data\\wheel.TGA")), (root / "Data/Wheel.tga").string());

    Put("Data/car.tga", "exact");   // the spelling asked for
    Put("Data/WHEEL.tga", "first");  // before "Wheel.tga" in byte order
    EXPECT_EQ(HostFiles::Resolve(Engine("data\\car.tga")), (root / "Data/car.tga").string());
    EXPECT_EQ(HostFiles::Resolve(Engine("data\\wheel.TGA")), (root / "Data/WHEEL.tga").string());
    std::vector<uint8_t> data;
    ASSERT_EQ(HostFiles::ReadWhole(Engine("data\\car.tga"), data, 100), HostFiles::ReadResult::Read);
    EXPECT_EQ(std::string(data.begin(), data.end()), "exact");
}

TEST_F(HostFilesTest, ReadWholeTakesPlainFilesOnly) {
    Put("Data/Car.msh", "mesh bytes");
    std::vector<uint8_t> data;
    ASSERT_EQ(HostFiles::ReadWhole(Engine("data\\car.MSH"), data, 100), HostFiles::ReadResult::Read);
    EXPECT_EQ(std::string(data.begin(), data.end()), "mesh bytes");
    EXPECT_EQ(HostFiles::ReadWhole(Engine("data\\car.msh"), data, 5), HostFiles::ReadResult::Failed);
    EXPECT_EQ(HostFiles::ReadWhole(Engine("data\\none.msh"), data, 100), HostFiles::ReadResult::NotOpened);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(HostFiles::ReadWhole(Engine("DATA"), data, 100), HostFiles::ReadResult::NotOpened);
    // A FIFO would block an open for reading, and a device has no length: neither is a file.
    ASSERT_EQ(mkfifo((root / "Data/fifo.msh").c_str(), 0600), 0);
    EXPECT_EQ(HostFiles::ReadWhole(Engine("data\\fifo.msh"), data, 100), HostFiles::ReadResult::NotOpened);
    fs::create_symlink("/dev/zero", root / "Data/zero.msh");
    EXPECT_EQ(HostFiles::ReadWhole(Engine("data\\zero.msh"), data, 100), HostFiles::ReadResult::NotOpened);
    HostFiles::FailNext(HostFiles::Fault::OpenRead);
    EXPECT_EQ(HostFiles::ReadWhole(Engine("data\\car.msh"), data, 100), HostFiles::ReadResult::NotOpened);
}

TEST_F(HostFilesTest, AFailedWholeWriteLeavesTheOldFileAndNoTemporary) {
    Put("Data/scores.dat", "good");
    for (HostFiles::Fault fault : {HostFiles::Fault::OpenWrite, HostFiles::Fault::Write, HostFiles::Fault::Rename}) {
        HostFiles::FailNext(fault);
        EXPECT_FALSE(HostFiles::WriteWhole(Engine("data\\SCORES.DAT"), "bad!!", 5));
        EXPECT_EQ(scratch.Read("Data/scores.dat"), "good");
        EXPECT_EQ(Names("Data"), std::vector<std::string>{"scores.dat"});
    }
    EXPECT_TRUE(HostFiles::WriteWhole(Engine("data\\SCORES.DAT"), "", 0));
    EXPECT_EQ(scratch.Read("Data/scores.dat"), "");
}

TEST_F(HostFilesTest, AFolderIsNotAFileToRead) {
    Put("Data/Meshes/car.msh", "m");
    for (const char* mode : {"rb", "r", "r+b"}) {
        SCOPED_TRACE(mode);
        errno = 0;
        EXPECT_EQ(HostFiles::Open(Engine("data\\MESHES"), mode), nullptr);
        EXPECT_EQ(errno, EISDIR);
    }
    EXPECT_EQ(HostFiles::Open(Engine("data\\meshes"), "wb"), nullptr);
}

// Opening a FIFO for reading waited for a writer that never came (a sound or a film named by a
// FIFO held the game up): it fails at once, as opening a folder does.
TEST_F(HostFilesTest, AFifoIsNotAFileToRead) {
    Put("Data/a.wav", "w");
    ASSERT_EQ(mkfifo((root / "Data/Pipe.wav").c_str(), 0600), 0);
    for (const char* mode : {"rb", "r+b"}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(HostFiles::Open(Engine("data\\pipe.wav"), mode), nullptr);
    }
    std::FILE* file = HostFiles::Open(Engine("data\\A.WAV"), "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::fgetc(file), 'w');
    std::fclose(file);
}

// An open of a file the listings show as plain skips the check of its type (a relative path,
// every folder on the way listed and watched); one replaced behind the layer's back by a FIFO
// or a folder is checked, and refused, again.
TEST_F(HostFilesTest, AFileReplacedByAFifoOrAFolderIsRefused) {
    Put("Data/Sound/A.wav", "w");
    Put("Data/Sound/B.wav", "w");
    fs::current_path(root);
    for (const char* name : {"data\\sound\\a.wav", "data\\sound\\b.wav"}) {
        for (int pass = 0; pass < 2; ++pass) {  // walked, then remembered
            std::FILE* file = HostFiles::Open(name, "rb");
            ASSERT_NE(file, nullptr);
            std::fclose(file);
        }
    }
    const fs::path pipe = root / "Data/Sound/pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    fs::rename(pipe, root / "Data/Sound/A.wav");
    fs::remove(root / "Data/Sound/B.wav");
    fs::create_directory(root / "Data/Sound/B.wav");
    EXPECT_EQ(HostFiles::Open("data\\sound\\a.wav", "rb"), nullptr);
    errno = 0;
    EXPECT_EQ(HostFiles::Open("data\\sound\\b.wav", "rb"), nullptr);
    EXPECT_EQ(errno, EISDIR);
}

TEST_F(HostFilesTest, OpenFaultsFailOnce) {
    Put("f.txt", "x");
    HostFiles::FailNext(HostFiles::Fault::OpenRead);
    EXPECT_EQ(HostFiles::Open(Engine("F.TXT"), "rb"), nullptr);
    std::FILE* file = HostFiles::Open(Engine("F.TXT"), "rb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
}

TEST_F(HostFilesTest, RelativePathsStartAtTheWorkingDirectory) {
    Put("Game/Data/Config.CFG", "c");
    fs::current_path(root / "Game");
    EXPECT_EQ(HostFiles::Resolve("data\\config.cfg"), "Data/Config.CFG");
    EXPECT_TRUE(HostFiles::Exists("DATA\\CONFIG.CFG"));
    EXPECT_EQ(HostFiles::Resolve(".\\data"), "Data");
}

// Misses are answered from watched listings and paths found before from a table, without asking
// the disk: both must still follow the working directory, a folder swapped for another of the
// same name, a link pointed elsewhere and a file removed behind the layer.
TEST_F(HostFilesTest, AnswersFollowTheWorkingDirectoryAndFoldersSwappedBehindTheLayer) {
    Put("A/Game/Data/Car.msh", "a");
    Put("B/Game/Data/Other.msh", "b");
    fs::current_path(root / "A" / "Game");
    EXPECT_FALSE(HostFiles::Exists("data\\other.msh"));
    EXPECT_TRUE(HostFiles::Exists("data\\car.msh"));
    fs::current_path(root / "B" / "Game");
    EXPECT_TRUE(HostFiles::Exists("data\\other.msh"));
    EXPECT_FALSE(HostFiles::Exists("data\\car.msh"));

    fs::current_path(root);
    Put("S/Data/Old.msh", "old");
    EXPECT_FALSE(HostFiles::Exists("s\\data\\new.msh"));
    EXPECT_TRUE(HostFiles::Exists("s\\data\\old.msh"));
    fs::rename(root / "S/Data", root / "S/Gone");
    Put("S/Data/New.msh", "new");
    EXPECT_TRUE(HostFiles::Exists("s\\data\\new.msh"));
    EXPECT_FALSE(HostFiles::Exists("s\\data\\old.msh"));

    Put("X/Data/InX.msh", "x");
    Put("Y/Data/InY.msh", "y");
    fs::create_directory_symlink(root / "X", root / "Link");
    EXPECT_FALSE(HostFiles::Exists("link\\data\\iny.msh"));
    EXPECT_TRUE(HostFiles::Exists("link\\data\\inx.msh"));
    fs::remove(root / "Link");
    fs::create_directory_symlink(root / "Y", root / "Link");
    EXPECT_TRUE(HostFiles::Exists("link\\data\\iny.msh"));
    EXPECT_FALSE(HostFiles::Exists("link\\data\\inx.msh"));

    // Found before (by its exact spelling, no listing involved), then removed behind the layer.
    Put("E/Exact.msh", "e");
    EXPECT_TRUE(HostFiles::Exists("E\\Exact.msh"));
    fs::remove(root / "E/Exact.msh");
    EXPECT_FALSE(HostFiles::Exists("E\\Exact.msh"));
    EXPECT_EQ(HostFiles::Open("E\\Exact.msh", "rb"), nullptr);
}

// A miss asked again is answered from a table while nothing has changed: the working directory
// moving, another program creating the file and the layer writing it each end that answer (the
// folder spelled exactly, so that nothing but the miss asks for the queue).
TEST_F(HostFilesTest, ARepeatedMissFollowsEveryChange) {
    Put("A/Data/Car.msh", "a");
    Put("B/Data/Other.msh", "b");
    fs::current_path(root / "A");
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(HostFiles::Exists("data\\other.msh"));
    }
    fs::current_path(root / "B");
    EXPECT_TRUE(HostFiles::Exists("data\\other.msh"));
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(HostFiles::Exists("Data\\new.msh"));
        EXPECT_FALSE(HostFiles::Exists("Data\\saved.msh"));
    }
    Put("B/Data/NEW.msh", "n");
    EXPECT_TRUE(HostFiles::Exists("Data\\new.msh"));
    EXPECT_FALSE(HostFiles::Exists("Data\\saved.msh"));
    ASSERT_TRUE(HostFiles::WriteWhole("DATA\\Saved.msh", "s", 1));
    EXPECT_TRUE(HostFiles::Exists("Data\\saved.msh"));
}

// Within a batch the queue is looked at once: a file made behind the layer after that may go
// unseen until the batch ends, while the layer's own writes are seen at once; batches nest.
TEST_F(HostFilesTest, ABatchLooksAtChangesOnceAndTheLayersOwnWritesAtOnce) {
    Put("Data/Car.msh", "a");
    fs::current_path(root);
    HostFiles::ClearCache();
    EXPECT_FALSE(HostFiles::Exists("data\\late.msh"));  // remembered as missing
    {
        const HostFiles::Batch outer;
        EXPECT_FALSE(HostFiles::Exists("data\\late.msh"));
        Put("Data/Late.msh", "l");
        {
            const HostFiles::Batch inner;
            EXPECT_FALSE(HostFiles::Exists("data\\late.msh"));
        }
        EXPECT_FALSE(HostFiles::Exists("data\\late.msh"));
        ASSERT_TRUE(HostFiles::WriteWhole("DATA\\Saved.msh", "s", 1));
        EXPECT_TRUE(HostFiles::Exists("data\\saved.msh"));
        EXPECT_TRUE(HostFiles::Exists("data\\car.msh"));
    }
    EXPECT_TRUE(HostFiles::Exists("data\\late.msh"));
    EXPECT_EQ(HostFiles::Resolve("data\\late.msh"), "Data/Late.msh");
}

// Within a batch a file SameFile confirmed stays confirmed until something changes through the
// layer; outside one every call looks.
TEST_F(HostFilesTest, ABatchKeepsSameFilesAnswerUntilTheLayerChangesSomething) {
    Put("Data/Game.pak", "one");
    fs::current_path(root);
    HostFiles::ClearCache();
    struct stat first{};
    ASSERT_EQ(stat("Data/Game.pak", &first), 0);
    const auto same = [&] { return HostFiles::SameFile("data\\game.pak", first.st_dev, first.st_ino); };
    {
        const HostFiles::Batch batch;
        EXPECT_TRUE(same());
        Put("Data/New.pak", "two");
        fs::rename(root / "Data/New.pak", root / "Data/Game.pak");  // another file behind the layer
        EXPECT_TRUE(same());
        ASSERT_TRUE(HostFiles::WriteWhole("data\\other.dat", "x", 1));
        EXPECT_FALSE(same());
    }
    Put("Data/Old.pak", "three");
    struct stat old{};
    ASSERT_EQ(stat("Data/Old.pak", &old), 0);
    EXPECT_TRUE(HostFiles::SameFile("data\\old.pak", old.st_dev, old.st_ino));
    Put("Data/Newer.pak", "four");
    fs::rename(root / "Data/Newer.pak", root / "Data/Old.pak");
    EXPECT_FALSE(HostFiles::SameFile("data\\old.pak", old.st_dev, old.st_ino));
}

TEST(FindFileMatch, WildcardsIgnoreCase) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"*", "anything.txt", true},
        {"*.*", "noextension", true},
        {"*.lvl", "Level1.LVL", true},
        {"*.lvl", "Level1.lvl.bak", false},
        {"level?.lvl", "LEVEL7.lvl", true},
        {"level?.lvl", "level10.lvl", false},
        {"save*.sav", "save.sav", true},
        {"*a*b*c", "xxaYYbZZc", true},
        {"*a*b*c", "xxaYYbZZ", false},
        {"readme.*", "README", true},
        {"readme.*", "readme.txt", true},
        {"exact.txt", "EXACT.TXT", true},
        {"exact.txt", "exact.tx", false},
        {"?", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindFile::Matches(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
    }
}

TEST_F(HostFilesTest, FindWalksMatchesInNameOrderAndClosesItsHandle) {
    Put("Data/Levels/b.LVL", "bb");
    Put("Data/Levels/A.lvl", "a");
    Put("Data/Levels/c.txt", "c");
    fs::create_directories(root / "Data/Levels/Sub.lvl");
    const int open = FindFile::OpenSearches();

    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(Engine("data\\LEVELS\\*.lvl").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindFile::OpenSearches(), open + 1);
    std::vector<std::string> names{data.cFileName};
    EXPECT_EQ(data.nFileSizeLow, 1u);
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
    while (FindNextFileA(find, &data)) {
        names.push_back(data.cFileName);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A.lvl", "b.LVL", "Sub.lvl"}));
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(FindClose(find));
    EXPECT_EQ(FindFile::OpenSearches(), open);
    EXPECT_FALSE(FindClose(find));
    EXPECT_FALSE(FindNextFileA(find, &data));

    find = FindFirstFileA(Engine("Data\\Levels\\*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, ".");
    ASSERT_TRUE(FindNextFileA(find, &data));
    EXPECT_STREQ(data.cFileName, "..");
    FindClose(find);

    EXPECT_EQ(FindFirstFileA(Engine("Data\\Levels\\*.mis").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindFirstFileA(Engine("Data\\Nowhere\\*").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindFirstFileA(Engine("Data\\Levels\\").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindFile::OpenSearches(), open);
}

// The names alone are what the search finds less its folders, links followed as it follows them.
TEST_F(HostFilesTest, FileNamesAreTheSearchsMatchesLessFolders) {
    Put("Data/Fonts/b.FNT", "b");
    Put("Data/Fonts/A.fnt", "a");
    Put("Data/Fonts/c.txt", "c");
    Put("Elsewhere/d.fnt", "d");
    fs::create_directories(root / "Data/Fonts/Sub.fnt");
    fs::create_directory_symlink(root / "Elsewhere", root / "Data/Fonts/FolderLink.fnt");
    fs::create_symlink(root / "Elsewhere/d.fnt", root / "Data/Fonts/FileLink.fnt");
    fs::create_symlink(root / "Elsewhere/none.fnt", root / "Data/Fonts/Dangling.fnt");
    ASSERT_EQ(mkfifo((root / "Data/Fonts/pipe.fnt").c_str(), 0600), 0);
    for (const char* pattern : {"data\\FONTS\\*.fnt", "Data\\Fonts\\*", "Data\\Fonts\\*.*", "Data\\Fonts\\?.fnt",
                                "Data\\Fonts\\*.mis", "Data\\Nowhere\\*", "Data\\Fonts\\"}) {
        SCOPED_TRACE(pattern);
        std::vector<std::string> searched;
        WIN32_FIND_DATAA data;
        if (HANDLE find = FindFirstFileA(Engine(pattern).c_str(), &data); find != INVALID_HANDLE_VALUE) {
            do {
                if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                    searched.emplace_back(data.cFileName);
                }
            } while (FindNextFileA(find, &data));
            FindClose(find);
        }
        EXPECT_EQ(FindFile::FileNames(Engine(pattern).c_str()), searched);
    }
    EXPECT_EQ(FindFile::FileNames(Engine("data\\fonts\\*.fnt").c_str()),
              (std::vector<std::string>{"A.fnt", "b.FNT", "FileLink.fnt", "pipe.fnt"}));
}

}  // namespace

namespace {

// Names read from data are engine paths relative to the game folder (the working directory):
// none reaches above it, whatever the call; ".." that stays inside and the host's own absolute
// paths work as before.
TEST_F(HostFilesTest, RelativePathsThatClimbAboveTheWorkingDirectoryAreRefused) {
    Put("secret.txt", "secret");
    Put("Game/Data/Car.msh", "car");
    fs::current_path(root / "Game");
    for (const char* path : {"..\\secret.txt", "../secret.txt", "Data\\..\\..\\secret.txt",
                                    ".\\..\\secret.txt", "data\\..\\..\\SECRET.TXT"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(HostFiles::Resolve(path), "");
        EXPECT_EQ(HostFiles::ResolveForWrite(path), "");
        EXPECT_FALSE(HostFiles::Exists(path));
        EXPECT_FALSE(HostFiles::IsDirectory(path));
        EXPECT_EQ(HostFiles::Open(path, "rb"), nullptr);
        std::vector<uint8_t> data;
        EXPECT_EQ(HostFiles::ReadWhole(path, data, 1000), HostFiles::ReadResult::NotOpened);
        EXPECT_EQ(HostFiles::Open(path, "ab"), nullptr);
        EXPECT_FALSE(HostFiles::WriteWhole(path, "x", 1));
        EXPECT_FALSE(HostFiles::Remove(path));
        EXPECT_FALSE(HostFiles::Rename(path, "Data\\moved.txt"));
        EXPECT_FALSE(HostFiles::Rename("Data\\Car.msh", path));
        EXPECT_EQ(HostFiles::RemoveTemporaries(path), 0);
    }
    EXPECT_FALSE(HostFiles::MakeDirectory("..\\Made"));
    EXPECT_FALSE(HostFiles::IsDirectory("..\\Game"));
    EXPECT_EQ(scratch.Read("secret.txt"), "secret");
    EXPECT_TRUE(fs::exists(root / "Game/Data/Car.msh"));
    EXPECT_FALSE(fs::exists(root / "Made"));
    EXPECT_FALSE(fs::exists(root / "Game/Data/moved.txt"));

    // Inside the game folder, ".." is fine; so are the host's absolute paths.
    EXPECT_TRUE(HostFiles::Exists("Data\\..\\data\\car.msh"));
    EXPECT_TRUE(HostFiles::Exists("Data\\..\\.\\Data\\Car.msh"));
    EXPECT_TRUE(HostFiles::Exists(root.string() + "/Game/../secret.txt"));
    EXPECT_TRUE(HostFiles::Exists(Engine("Game\\..\\SECRET.TXT")));
}

TEST(HostFilesNames, WhatStaysInTheGameFolder) {
    const struct {
        const char* Folder;
        const char* Name;
        bool Inside;
    } cases[] = {
        {"Data\\Textures", "rust.tga", true},
        {"Data\\Textures", "sub\\rust.tga", true},
        {"Data\\Textures", "..\\Effects\\a.fx", true},
        {"Data\\Textures", "..\\..\\config.cfg", true},
        {"Data\\Textures", "..\\..\\..\\x", false},
        {"Data\\Sounds", "../../../../../../etc/passwd", false},
        {"Data\\Sounds", "a/../../../../x.wav", false},
        {"Data\\Sounds", "/etc/passwd", false},
        {"Data\\Sounds", "\\Windows\\x.wav", false},
        {"Data\\Sounds", "C:\\x.wav", false},
        {"Data\\Sounds", "c:x.wav", false},
        {"Data\\Sounds", "1:x.wav", true},  // not a drive letter: a name with a colon
        {"Data", ".", true},
        {"Data", "..", true},
        {"/tmp", "x", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HostFiles::StaysInGameFolder(c.Folder, c.Name), c.Inside) << c.Folder << " + " << c.Name;
    }
}

// A listing of the working directory that no watch keeps current is trusted while the folder's
// identity and time stamp hold. The same device and inode reached from another path is another
// folder (a deleted working folder's inode reused by a new one): it is listed again. Renaming
// the folder and setting its time stamp back stands for that, deterministically.
TEST_F(HostFilesTest, AListingOfTheWorkingDirectoryHoldsOnlyForItsPath) {
    Put("A/Old.msh", "old");
    const auto stamp = fs::file_time_type::clock::now() - std::chrono::hours(24 * 365);
    fs::last_write_time(root / "A", stamp);
    // The absolute key takes the folder's one watch, so the relative one goes without.
    EXPECT_TRUE(HostFiles::Exists(Engine("A\\old.msh")));
    fs::current_path(root / "A");
    EXPECT_TRUE(HostFiles::Exists("old.msh"));
    EXPECT_FALSE(HostFiles::Exists("new.msh"));

    fs::current_path(root);
    fs::rename(root / "A", root / "B");
    Put("B/New.msh", "new");
    fs::last_write_time(root / "B", stamp);
    fs::current_path(root / "B");
    EXPECT_TRUE(HostFiles::Exists("new.msh"));
    EXPECT_TRUE(HostFiles::Exists("old.msh"));
}

// Events lost to an overflowing queue cannot be applied: every listing is dropped and taken again.
TEST_F(HostFilesTest, AnOverflowingChangeQueueDropsEveryListing) {
    std::ifstream limitFile("/proc/sys/fs/inotify/max_queued_events");
    long limit = 0;
    if (!(limitFile >> limit) || limit <= 0 || limit > 200000) {
        GTEST_SKIP() << "no usable inotify queue limit";
    }
    Put("Many/First.msh", "f");
    Put("Many/a", "a");
    EXPECT_TRUE(HostFiles::Exists(Engine("many\\first.msh")));  // listed and watched
    // Each rename queues two events; the file made after the queue is full queues none.
    for (long i = 0; i <= limit / 4 + 8; ++i) {
        fs::rename(root / "Many/a", root / "Many/b");
        fs::rename(root / "Many/b", root / "Many/a");
    }
    Put("Many/Last.msh", "l");
    EXPECT_TRUE(HostFiles::Exists(Engine("many\\last.msh")));
    EXPECT_TRUE(HostFiles::Exists(Engine("MANY\\A")));
    EXPECT_FALSE(HostFiles::Exists(Engine("many\\b")));
}

}  // namespace
