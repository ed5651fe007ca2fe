// Shared fixture of the Direct3D stand-in tests: a fresh recording device per test, no
// armed faults before or after, and every reference the test took given back by the end.
#pragma once

#include "platform/d3d9/D3D9Device.h"
#include "platform/d3d9/D3D9Faults.h"

#include <gtest/gtest.h>

#include <cstring>

class RecordingDeviceFixture : public ::testing::Test {
protected:
    void SetUp() override {
        D3D9Faults::Reset();
        device = D3D9RecordingDevice::Create();
    }
    void TearDown() override {
        EXPECT_EQ(device->Release(), 0u);
        D3D9Faults::Reset();
    }

    D3D9RecordingDevice* device = nullptr;
};

// Float render states travel as their bit pattern in a DWORD.
inline float FloatFromStateBits(DWORD bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}
