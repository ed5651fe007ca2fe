#include "core/CPLog.h"
#include "platform/win32/DxErrors.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        CPLog::GetInstance().SetSink([this](const CPLogReport& report) { reports.push_back(report); });
    }
    void TearDown() override { CPLog::GetInstance().SetSink(nullptr); }
    std::vector<CPLogReport> reports;
};

// A call site as the renderer and sound code write them.
bool CreateSomething(HRESULT platformResult) {
    const HRESULT hr = platformResult;
    if (FAILED(hr)) {
        ReportDXError(hr, "Render/PTexture", 88);
        return false;
    }
    return true;
}

TEST_F(LogTest, AFailedCallReportsOnceAndTheCallerStillFails) {
    EXPECT_FALSE(CreateSomething(D3DERR_INVALIDCALL));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].File, "Render/PTexture");
    EXPECT_EQ(reports[0].Line, 88);
    EXPECT_EQ(reports[0].Level, 0);
    EXPECT_EQ(reports[0].Result, D3DERR_INVALIDCALL);
    EXPECT_EQ(reports[0].Text, std::string("DXError if Render/PTexture on line 88\nD3DERR_INVALIDCALL\n") +
                                   DXGetErrorDescription9A(D3DERR_INVALIDCALL) + "\n");

    EXPECT_EQ(ReportDXError(DSERR_BUFFERLOST, "Sound/NSound", 120, 1), DSERR_BUFFERLOST);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].Level, 1);

    EXPECT_EQ(ReportDXError(MakeHResult(0x80001234u), "Sound/PMusic", 7), MakeHResult(0x80001234u));
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[2].Text, "DXError if Sound/PMusic on line 7\nUnknown\nn/a\n");
}

TEST_F(LogTest, SuccessCodesAreNotReported) {
    EXPECT_TRUE(CreateSomething(S_OK));
    EXPECT_EQ(ReportDXError(S_FALSE, "Render/PRender", 1), S_FALSE);
    EXPECT_EQ(ReportDXError(D3DOK_NOAUTOGEN, "Render/PRender", 2), D3DOK_NOAUTOGEN);
    EXPECT_TRUE(reports.empty());
}

TEST_F(LogTest, DirectWritesAreFormattedForTheSinkOnly) {
    CPLog::GetInstance().Write(0, CPLog::DXErrorFormat, "DynamicSky/VertexObject", 31, "E_FAIL", "x");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].Text, "DXError if DynamicSky/VertexObject on line 31\nE_FAIL\nx\n");
    CPLog::GetInstance().SetSink(nullptr);
    CPLog::GetInstance().Write(0, "%s", "discarded");
    EXPECT_EQ(ReportDXError(E_FAIL, "Render/PEffect", 3), E_FAIL);  // nowhere to go; still fine
    EXPECT_EQ(reports.size(), 1u);
}

// The programs' receiver: each report's text on the stream, ended by one line break.
TEST_F(LogTest, StreamSinkWritesEachReportOnItsOwnLines) {
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    CPLog::GetInstance().SetSink(CPLog::StreamSink(stream));
    CPLog::GetInstance().Write(0, "Sky file lists %d cloud layers", 1000);
    ReportDXError(E_FAIL, "Sound/NSound", 46, 1);
    std::rewind(stream);
    std::string text(4096, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), stream));
    std::fclose(stream);
    EXPECT_EQ(text.rfind("Sky file lists 1000 cloud layers\nDXError if Sound/NSound on line 46\nE_FAIL\n", 0), 0u)
        << text;
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find("\n\n"), std::string::npos);
}

// Run in a fresh process: a program whose platform calls all succeed never creates the log.
TEST(LogDeathTest, SucceedingCallsNeverCreateTheLog) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ReportDXError(S_OK, "Render/PRender", 1);
            ReportDXError(D3DOK_NOAUTOGEN, "Render/PTexture", 2);
            const bool before = CPLog::Exists();
            ReportDXError(E_FAIL, "Render/PTexture", 3);
            std::exit(!before && CPLog::Exists() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
