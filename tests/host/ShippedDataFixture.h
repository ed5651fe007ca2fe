// Runs each test in a fresh game folder holding a copy of one of the shipped data files
// ("Data\<name>" of gamedir/), with the log's reports collected.
#pragma once

#include "core/CPLog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

class ShippedDataTest : public ::testing::Test {
protected:
    explicit ShippedDataTest(std::string file) : shipped(std::move(file)) {}

    void SetUp() override {
        namespace fs = std::filesystem;
        previous = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "host-data-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory = pattern;
        fs::create_directories(directory / "Data");
        fs::copy_file(fs::path(TEST_DATA_DIR) / "../../gamedir/Data" / shipped, directory / "Data" / shipped);
        fs::current_path(directory);
        CPLog::GetInstance().SetSink([this](const CPLogReport& report) { log.push_back(report.Text); });
    }
    void TearDown() override {
        CPLog::GetInstance().SetSink(nullptr);
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(directory);
    }

    std::string shipped;
    std::filesystem::path previous;
    std::filesystem::path directory;
    std::vector<std::string> log;
};
