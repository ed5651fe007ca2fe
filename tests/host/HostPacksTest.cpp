#include "core/CPFileReader.h"
#include "core/CPLog.h"
#include "core/PackFiles.h"
#include "host/Host.h"
#include "tests/TestTempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

void PutPack(const ScratchFolder& scratch, const std::string& path, const std::string& member,
             const std::string& text) {
    std::vector<uint8_t> pack;
    ASSERT_TRUE(PackFormat::Encode({{member, std::vector<uint8_t>(text.begin(), text.end())}}, pack));
    scratch.Write(path, std::string(pack.begin(), pack.end()));
}

TEST(HostPacks, PacksOfTheGameFolderAreSearchedInNameOrder) {
    const ScratchFolder scratch("hostpacks");
    PutPack(scratch, "b.PAK", "data\\x.txt", "from b");
    PutPack(scratch, "A.pak", "data\\x.txt", "from a");
    scratch.Write("broken.pak", "not a pack");
    PutPack(scratch, "Data/inner.pak", "data\\y.txt", "inner");
    PackFiles.clear();
    {
        Host host;
        EXPECT_EQ(host.AddPackFiles(), 2);
        ASSERT_EQ(PackFiles.size(), 2u);
        EXPECT_EQ(PackFiles[0].PackPath, "A.pak");
        CPFileReader reader("Data\\X.txt", false);
        ASSERT_EQ(reader.Load(), S_OK);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(reader.GetData()), reader.GetLength()), "from a");
        EXPECT_EQ(host.AddPackFiles("DATA\\*.PAK"), 1);
        EXPECT_EQ(PackFiles.back().PackPath, "DATA\\inner.pak");
        EXPECT_EQ(host.AddPackFiles("*.zip"), 0);
    }
    PackFiles.clear();
}

// A damaged pack is passed over and said once in the log, not again when the folder is
// searched again; a good pack is never reported.
TEST(HostPacks, DamagedPacksAreReportedOnceEach) {
    const ScratchFolder scratch("hostpacks_damaged");
    PutPack(scratch, "good.pak", "data\\x.txt", "good");
    scratch.Write("broken.pak", "not a pack");
    scratch.Write("Empty.PAK", "");
    std::vector<std::string> reports;
    CPLog::GetInstance().SetSink([&](const CPLogReport& report) { reports.push_back(report.Text); });
    PackFiles.clear();
    {
        Host host;
        EXPECT_EQ(host.AddPackFiles(), 1);
        EXPECT_EQ(host.AddPackFiles("*.PAK"), 1);
    }
    CPLog::GetInstance().SetSink(nullptr);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_NE(reports[0].find("\"broken.pak\""), std::string::npos) << reports[0];
    EXPECT_NE(reports[1].find("\"Empty.PAK\""), std::string::npos) << reports[1];
    PackFiles.clear();
}

}  // namespace
