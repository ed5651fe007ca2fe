// Runs each test in a fresh game folder holding a copy of one of the shipped data files
// ("Data\<name>" of gamedir/), with the log's reports collected.
#pragma once

#include "core/CPLog.h"
#include "tests/TestTempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

class ShippedDataTest : public ::testing::Test {
protected:
    explicit ShippedDataTest(std::string file) : shipped(std::move(file)) {}

    void SetUp() override {
        std::filesystem::create_directories(scratch / "Data");
        std::filesystem::copy_file(std::filesystem::path(TEST_DATA_DIR) / "../../gamedir/Data" / shipped,
                                   scratch / "Data" / shipped);
        CPLog::GetInstance().SetSink([this](const CPLogReport& report) { log.push_back(report.Text); });
    }
    void TearDown() override { CPLog::GetInstance().SetSink(nullptr); }

    ScratchFolder scratch{"host_data"};
    std::string shipped;
    std::vector<std::string> log;
};
