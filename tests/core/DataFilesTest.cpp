#include "core/CPFileFinder.h"
#include "core/CPFileReader.h"
#include "core/CPFileWriter.h"
#include "core/PackFiles.h"
#include "core/Scramble.h"
#include "core/StringUtil.h"
#include "platform/files/HostFiles.h"
#include "tests/TestTempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

class DataFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        PackFiles.clear();
        HostFiles::ClearFaults();
    }
    void TearDown() override {
        PackFiles.clear();
        HostFiles::ClearFaults();
    }
    // The engine's name of a file under the test folder, with Windows separators.
    std::string Engine(const std::string& windowsPath) const { return root.string() + "\\" + windowsPath; }
    void Put(const std::string& relative, const Bytes& bytes) const {
        scratch.Write(relative, std::string(bytes.begin(), bytes.end()));
    }
    Bytes Slurp(const std::string& relative) const {
        const std::string bytes = scratch.Read(relative);
        return Bytes(bytes.begin(), bytes.end());
    }
    // Writes a pack holding the members and returns its engine path.
    std::string PutPack(const std::string& relative, const std::vector<PackFormat::Source>& members) {
        Bytes pack;
        EXPECT_TRUE(PackFormat::Encode(members, pack));
        Put(relative, pack);
        return Engine(relative);
    }
    ScratchFolder scratch{"datafiles", ScratchFolder::Stay};
    const fs::path& root = scratch.Path();
};

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST_F(DataFilesTest, PrimitivesRoundTripThroughAFile) {
    CPFileWriter writer(Engine("prims.bin"), false);
    const int ints[] = {0, 1, -1, 123456789, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()};
    for (int v : ints) {
        writer.WriteInt(v);
    }
    const float floats[] = {0.0f, -0.0f, 1.5f, -3.25e-20f, std::numeric_limits<float>::max(),
                            std::numeric_limits<float>::infinity()};
    for (float f : floats) {
        writer.WriteBytes(&f, 4);
    }
    writer.WriteString("");
    writer.WriteString("Data\\Meshes\\car.msh");
    writer.WriteBytes("raw", 3);
    writer.WriteBytes("ignored", 0);
    writer.WriteBytes("ignored", -5);
    ASSERT_EQ(writer.Save(), S_OK);
    // Little-endian on disk.
    const Bytes disk = Slurp("prims.bin");
    ASSERT_GE(disk.size(), 8u);
    EXPECT_EQ(Bytes(disk.begin() + 4, disk.begin() + 8), (Bytes{1, 0, 0, 0}));

    CPFileReader reader(Engine("PRIMS.BIN"), false);
    ASSERT_EQ(reader.Load(), S_OK);
    EXPECT_EQ(reader.GetLength(), static_cast<int>(disk.size()));
    for (int v : ints) {
        EXPECT_EQ(reader.ReadInt(), v);
    }
    for (float f : floats) {
        const float read = reader.ReadFloat();
        EXPECT_EQ(std::memcmp(&read, &f, 4), 0) << f;
    }
    std::string text = "stale";
    reader.ReadString(text);
    EXPECT_EQ(text, "");
    reader.ReadString(text);
    EXPECT_EQ(text, "Data\\Meshes\\car.msh");
    char raw[3];
    EXPECT_EQ(reader.Read(raw, 3), S_OK);
    EXPECT_EQ(std::string(raw, 3), "raw");
    EXPECT_EQ(reader.GetCursor(), reader.GetLength());
}

TEST_F(DataFilesTest, AZeroByteEndsAStringButNotItsField) {
    Put("s.bin", Bytes{5, 0, 0, 0, 'a', 'b', 0, 'c', 'd', 7, 0, 0, 0});
    CPFileReader reader(Engine("s.bin"), false);
    ASSERT_EQ(reader.Load(), S_OK);
    std::string text;
    reader.ReadString(text);
    EXPECT_EQ(text, "ab");
    EXPECT_EQ(reader.GetCursor(), 9);
    EXPECT_EQ(reader.ReadInt(), 7);
}

TEST_F(DataFilesTest, ReadsPastTheEndStayInsideTheBuffer) {
    struct Case {
        const char* what;
        Bytes data;
        int cursorAfter;
    };
    // Each case: one read that does not fit, then the cursor is at the end and stays there.
    const Case cases[] = {
        {"int with 3 bytes left", Bytes{1, 2, 3}, 3},
        {"string longer than the data", Bytes{10, 0, 0, 0, 'a', 'b'}, 6},
        {"negative string length", Bytes{0xFF, 0xFF, 0xFF, 0xFF, 'a'}, 5},
        {"huge string length", Bytes{0xFF, 0xFF, 0xFF, 0x7F, 'a'}, 5},
        {"empty file", Bytes{}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Put("short.bin", c.data);
        CPFileReader reader(Engine("short.bin"), false);
        ASSERT_EQ(reader.Load(), S_OK);
        std::string text = "stale";
        if (c.data.size() > 4) {
            reader.ReadString(text);
            EXPECT_EQ(text, "");
        } else {
            EXPECT_EQ(reader.ReadInt(), 0);
        }
        EXPECT_EQ(reader.GetCursor(), c.cursorAfter);
        EXPECT_EQ(reader.ReadInt(), 0);
        EXPECT_EQ(reader.ReadFloat(), 0.0f);
        reader.ReadString(text);
        EXPECT_EQ(text, "");
        char untouched[4] = {'x', 'x', 'x', 'x'};
        EXPECT_EQ(reader.Read(untouched, 4), S_OK);
        EXPECT_EQ(std::string(untouched, 4), "xxxx");
        EXPECT_EQ(reader.GetCursor(), c.cursorAfter);
    }
}

TEST(Scramble, RoundTripsAnyLengthAndRestartsTheKey) {
    for (size_t length : {size_t{0}, size_t{1}, size_t{1932}, size_t{1933}, size_t{1934}, size_t{5000}}) {
        Bytes original(length);
        for (size_t i = 0; i < length; ++i) {
            original[i] = static_cast<uint8_t>(i * 7 + 3);
        }
        Bytes buffer = original;
        ScrambleBuffer(buffer);
        if (length > 0) {
            EXPECT_NE(buffer, original);
        }
        for (size_t i = 0; i < length; ++i) {
            ASSERT_EQ(buffer[i], static_cast<uint8_t>(original[i] + ScrambleKeyByte(i % ScrambleKeyLength)));
        }
        UnscrambleBuffer(buffer);
        EXPECT_EQ(buffer, original) << length;
    }
    // 1932 printable characters, then the zero that ends them.
    for (size_t i = 0; i + 1 < ScrambleKeyLength; ++i) {
        ASSERT_TRUE(ScrambleKeyByte(i) >= 0x20 && ScrambleKeyByte(i) < 0x7F) << i;
    }
    EXPECT_EQ(ScrambleKeyByte(ScrambleKeyLength - 1), 0);
    EXPECT_EQ(ScrambleKeyByte(ScrambleKeyLength), ScrambleKeyByte(0));
}

TEST_F(DataFilesTest, ScrambledSavesAreStableAndReadBack) {
    Bytes payload(4000);
    for (size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<uint8_t>(i);
    }
    CPFileWriter writer(Engine("Data\\scores.dat"), true);
    fs::create_directories(root / "Data");
    writer.WriteBytes(payload.data(), static_cast<int>(payload.size()));
    ASSERT_EQ(writer.Save(), S_OK);
    const Bytes first = Slurp("Data/scores.dat");
    ASSERT_EQ(writer.Save(), S_OK);
    EXPECT_EQ(Slurp("Data/scores.dat"), first);
    EXPECT_EQ(writer.GetBuffer(), payload);
    Bytes unscrambled = first;
    UnscrambleBuffer(unscrambled);
    EXPECT_EQ(unscrambled, payload);

    CPFileReader reader(Engine("data\\SCORES.dat"), true);
    ASSERT_EQ(reader.Load(), S_OK);
    EXPECT_EQ(Bytes(reader.GetData(), reader.GetData() + reader.GetLength()), payload);

    CPFileWriter plain(Engine("Data\\plain.dat"), false);
    plain.WriteBytes(payload.data(), 10);
    ASSERT_EQ(plain.Save(), S_OK);
    EXPECT_EQ(Slurp("Data/plain.dat"), Bytes(payload.begin(), payload.begin() + 10));
}

TEST_F(DataFilesTest, MixedCaseNamesReachOneFile) {
    Put("Data/Saves/Save1.SAV", Text("old"));
    // The reader lower-cases its name; the writer keeps it; both reach the same file.
    CPFileReader reader(Engine("DATA\\SAVES\\SAVE1.sav"), false);
    std::string lowered = Engine("DATA\\SAVES\\SAVE1.sav");
    ToLower(lowered);
    EXPECT_EQ(reader.GetFileName(), lowered);  // the test folder's own name is lower-cased too
    ASSERT_EQ(reader.Load(), S_OK);
    EXPECT_EQ(reader.GetLength(), 3);

    CPFileWriter writer(Engine("DATA\\Saves\\save1.sav"), false);
    EXPECT_EQ(writer.GetFileName(), Engine("DATA\\Saves\\save1.sav"));
    writer.WriteString("new");
    ASSERT_EQ(writer.Save(), S_OK);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root / "Data/Saves")) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"Save1.SAV"});

    CPFileWriter fresh(Engine("DATA\\Saves\\Save2.sav"), false);
    fresh.WriteInt(42);
    ASSERT_EQ(fresh.Save(), S_OK);
    CPFileReader back(Engine("data\\saves\\save2.sav"), false);
    ASSERT_EQ(back.Load(), S_OK);
    EXPECT_EQ(back.ReadInt(), 42);
}

TEST_F(DataFilesTest, AFailedSaveReturnsFailAndKeepsTheOldFile) {
    Put("Data/player.dat", Text("good"));
    for (HostFiles::Fault fault : {HostFiles::Fault::OpenWrite, HostFiles::Fault::Write, HostFiles::Fault::Rename}) {
        CPFileWriter writer(Engine("DATA\\player.dat"), false);
        writer.WriteString("replacement");
        HostFiles::FailNext(fault);
        EXPECT_EQ(writer.Save(), E_FAIL);
        EXPECT_EQ(Slurp("Data/player.dat"), Text("good"));
        EXPECT_EQ(std::distance(fs::directory_iterator(root / "Data"), fs::directory_iterator()), 1);
    }
    CPFileWriter missingFolder(Engine("Nowhere\\player.dat"), false);
    EXPECT_EQ(missingFolder.Save(), E_FAIL);

    // A folder the process may not write to (root may write anywhere, so only as a user).
    if (geteuid() != 0) {
        fs::permissions(root / "Data", fs::perms::owner_read | fs::perms::owner_exec);
        CPFileWriter writer(Engine("DATA\\player.dat"), false);
        writer.WriteString("replacement");
        EXPECT_EQ(writer.Save(), E_FAIL);
        fs::permissions(root / "Data", fs::perms::owner_all);
        EXPECT_EQ(Slurp("Data/player.dat"), Text("good"));
    }
}

TEST_F(DataFilesTest, MissingFilesAndPacks) {
    CPFileReader reader(Engine("data\\none.bin"), false);
    EXPECT_EQ(reader.Load(), E_FAIL);
    EXPECT_EQ(reader.GetLength(), 0);
    const std::string pack = PutPack("a.pak", {{"data\\other.bin", Text("from pack")}});
    ASSERT_EQ(AddPackFile(pack), S_OK);
    CPFileReader stillMissing("data\\none.bin", false);
    EXPECT_EQ(stillMissing.Load(), E_FAIL);
}

TEST_F(DataFilesTest, MembersComeFromTheFirstPackThatOpens) {
    {
        Bytes pack;
        ASSERT_TRUE(PackFormat::Encode({{"Data\\Meshes\\Car.msh", Text("first")}}, pack));
        Put("game/first.pak", pack);
        ASSERT_TRUE(PackFormat::Encode({{"data\\textures\\a.tga", Text("tex")}, {"data\\meshes\\car.msh", Text("second")}},
                                       pack));
        Put("game/Second.PAK", pack);
    }
    fs::current_path(root / "game");  // the scratch folder brings the previous one back
    ASSERT_EQ(AddPackFile("first.pak"), S_OK);
    ASSERT_EQ(AddPackFile("second.pak"), S_OK);
    ASSERT_EQ(PackFiles.size(), 2u);
    EXPECT_EQ(PackFiles[0].Directory.count("data\\meshes\\car.msh"), 1u);

    CPFileReader reader("Data\\Meshes\\CAR.MSH", false);
    ASSERT_EQ(reader.Load(), S_OK);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reader.GetData()), reader.GetLength()), "first");

    // The first pack's file is gone: the member is read from the next pack that lists it.
    fs::remove("first.pak");
    CPFileReader second("data\\meshes\\car.msh", false);
    ASSERT_EQ(second.Load(), S_OK);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(second.GetData()), second.GetLength()), "second");

    // A file on disk wins over every pack.
    Put("game/DATA/MESHES/car.MSH", Text("disk"));
    CPFileReader disk("data\\meshes\\car.msh", false);
    ASSERT_EQ(disk.Load(), S_OK);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(disk.GetData()), disk.GetLength()), "disk");

    // A folder of that name on disk is no file: the packs still answer.
    Bytes third;
    ASSERT_TRUE(PackFormat::Encode({{"data\\levels", Text("member")}}, third));
    Put("game/third.pak", third);
    ASSERT_EQ(AddPackFile("third.pak"), S_OK);
    fs::create_directories("DATA/LEVELS");
    CPFileReader folder("Data\\Levels", false);
    ASSERT_EQ(folder.Load(), S_OK);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(folder.GetData()), folder.GetLength()), "member");

    CPFileReader absent("data\\meshes\\truck.msh", false);
    EXPECT_EQ(absent.Load(), E_FAIL);
}

// A listed pack stays open: its members are read without opening it again, and it is closed
// when the list lets it go. A pack replaced on disk is read from its path again.
TEST_F(DataFilesTest, ListedPacksStayOpenUntilTheListLetsThemGo) {
    // Descriptors of this process open on the pack file.
    const auto heldOpen = [this] {
        int count = 0;
        for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            count += fs::read_symlink(fd.path(), error) == root / "Game/Data.pak" ? 1 : 0;
        }
        return count;
    };
    const std::string pack = PutPack("Game/Data.pak", {{"data\\a.txt", Text("first")}});
    ASSERT_EQ(AddPackFile(pack), S_OK);
    EXPECT_EQ(heldOpen(), 1);
    for (int i = 0; i < 3; ++i) {
        HostFiles::FailNext(HostFiles::Fault::OpenRead, 2);  // the disk, then the pack's path
        CPFileReader reader("Data\\A.txt", false);
        ASSERT_EQ(reader.Load(), S_OK);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(reader.GetData()), reader.GetLength()), "first");
        HostFiles::ClearFaults();
    }
    fs::remove(root / "Game/Data.pak");  // while held, its inode cannot come back for the new file
    PutPack("Game/Data.pak", {{"data\\a.txt", Text("again")}});
    CPFileReader replaced("data\\a.txt", false);
    ASSERT_EQ(replaced.Load(), S_OK);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(replaced.GetData()), replaced.GetLength()), "again");
    PackFiles.clear();
    EXPECT_EQ(heldOpen(), 0);
}

TEST_F(DataFilesTest, DamagedPacksAreRefused) {
    Bytes good;
    ASSERT_TRUE(PackFormat::Encode({{"data\\a.txt", Text("hello")}, {"data\\b.txt", Text("")}}, good));
    PackEntry entry;
    ASSERT_TRUE(PackFormat::ParseDirectory(good.data(), good.size(), good.size(), entry));
    EXPECT_EQ(entry.Directory.size(), 2u);
    EXPECT_EQ(entry.Directory.at("data\\a.txt").Size, 5u);

    struct Case {
        const char* what;
        size_t at;  // byte to change; SIZE_MAX truncates instead
        uint8_t value;
        size_t truncateTo;
    };
    const Case cases[] = {
        {"magic", 0, 'X', 0},
        {"version", 4, 2, 0},
        {"count too large", 8, 200, 0},
        {"directory size beyond the file", 13, 0x10, 0},
        {"name length beyond the directory", 16, 0xF0, 0},
        {"zero name length", 16, 0, 0},
        {"member beyond the end", 16 + 4 + 11 + 4, 0xFF, 0},
        {"truncated member bytes", SIZE_MAX, 0, good.size() - 1},
        {"truncated header", SIZE_MAX, 0, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes damaged = good;
        if (c.at == SIZE_MAX) {
            damaged.resize(c.truncateTo);
        } else {
            damaged[c.at] = c.value;
        }
        EXPECT_FALSE(PackFormat::ParseDirectory(damaged.data(), damaged.size(), damaged.size(), entry));
        Put("damaged.pak", damaged);
        EXPECT_EQ(AddPackFile(Engine("damaged.pak")), E_FAIL);
        EXPECT_TRUE(PackFiles.empty());
    }
    EXPECT_EQ(AddPackFile(Engine("missing.pak")), E_FAIL);
    EXPECT_FALSE(PackFormat::Encode({{"", Text("x")}}, good));
}

// A ".pak" that is not a file is refused at once: opening a FIFO with no writer used to block
// the host's start-up for ever.
TEST_F(DataFilesTest, PacksThatAreNotFilesAreRefused) {
    const std::string fifo = Engine("pipe.pak");
    ASSERT_EQ(mkfifo(HostFiles::ResolveForWrite(fifo).c_str(), 0600), 0);
    EXPECT_EQ(AddPackFile(fifo), E_FAIL);
    std::filesystem::create_symlink("/dev/zero", HostFiles::ResolveForWrite(Engine("zero.pak")));
    EXPECT_EQ(AddPackFile(Engine("zero.pak")), E_FAIL);
    EXPECT_TRUE(PackFiles.empty());
}

TEST_F(DataFilesTest, FinderReportsTheFirstMatchAndClosesItsSearch) {
    Put("Data/Levels/Level2.LVL", Text("2"));
    Put("Data/Levels/level1.lvl", Text("1"));
    const int open = FindFile::OpenSearches();
    {
        CPFileFinder finder(Engine("DATA\\levels\\*.lvl"));
        ASSERT_EQ(finder.FindFirst(), S_OK);
        EXPECT_EQ(finder.GetCurrentName(), "level1.lvl");
        ASSERT_EQ(finder.FindFirst(), S_OK);  // searching again closes the previous search
        EXPECT_EQ(FindFile::OpenSearches(), open + 1);
    }
    EXPECT_EQ(FindFile::OpenSearches(), open);
    CPFileFinder none(Engine("Data\\Levels\\*.mis"));
    EXPECT_EQ(none.FindFirst(), E_FAIL);
}

}  // namespace
