// A game folder in a temporary directory that is the working directory while a test runs, so
// the sky's "Data\Clouds\..." paths resolve into it.
#pragma once

#include "SkyFixtureFiles.h"

#include "platform/files/HostFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

class SkyFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("sky_test_" + std::to_string(getpid()) + "_" + info->test_suite_name() + "_" + info->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        previous = std::filesystem::current_path();
        std::filesystem::current_path(folder);
        HostFiles::ClearCache();
    }
    void TearDown() override {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(folder);
        HostFiles::ClearCache();
    }
    // Writes a file under Data\Clouds.
    void PutCloudFile(const std::string& name, const std::string& text) const {
        SkyFixture::WriteText(folder / "Data" / "Clouds" / name, text);
    }

    std::filesystem::path folder;
    std::filesystem::path previous;
};
