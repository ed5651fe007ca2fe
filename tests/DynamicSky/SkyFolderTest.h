// A game folder in a temporary directory that is the working directory while a test runs, so
// the sky's "Data\Clouds\..." paths resolve into it.
#pragma once

#include "SkyFixtureFiles.h"

#include "platform/files/HostFiles.h"
#include "tests/TestTempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

class SkyFolderTest : public ::testing::Test {
protected:
    void SetUp() override { HostFiles::ClearCache(); }
    void TearDown() override { HostFiles::ClearCache(); }
    // Writes a file under Data\Clouds.
    void PutCloudFile(const std::string& name, const std::string& text) const {
        scratch.Write("Data/Clouds/" + name, text);
    }

    ScratchFolder scratch{"sky_test"};
    const std::filesystem::path& folder = scratch.Path();
};
