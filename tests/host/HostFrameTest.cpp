// The host's frame: the two batchers set in the renderer, one drawn and presented frame per
// RunFrame after the tasks, skipped while the device is lost and drawn again once it is reset.
#include "host/Host.h"

#include "core/ConfigVars.h"
#include "core/FrameTime.h"
#include "core/Singletons.h"
#include "scene/CPGameObject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

TEST(HostFrame, DrawsOneFrameAfterTheTasksAndRecoversFromALostDevice) {
    Cfg::ResetDefaults();
    Host host;
    CPRender& render = host.Render();
    EXPECT_EQ(render.GetStaticBatcher().Get(), &host.StaticBatcher());
    EXPECT_EQ(render.GetDynamicBatcher().Get(), &host.DynamicBatcher());
    D3D9RecordingDevice& device = host.RenderDevice();

    render.AddLine(0xFFFFFFFFu, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 0, 0));
    ASSERT_TRUE(host.RunFrame(0.02f));
    EXPECT_EQ(device.PresentCount(), 1);
    EXPECT_EQ(device.CallsNamed("DrawPrimitiveUP").size(), 1u);
    EXPECT_TRUE(render.Lines.empty());

    // Lost and not yet resettable: the frame runs, but nothing is drawn (RunFrame says it was
    // not presented) and the gathered lines are dropped.
    device.LoseDevice(false);
    render.AddLine(0xFFFFFFFFu, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 0, 0));
    const int32_t frame = FrameNumber;
    EXPECT_FALSE(host.RunFrame(0.02f));
    EXPECT_EQ(FrameNumber, frame + 1);
    EXPECT_EQ(device.PresentCount(), 1);
    EXPECT_EQ(device.SceneCount(), 1);
    EXPECT_TRUE(render.Lines.empty());

    // Resettable: the host resets the device and the frame is drawn again.
    device.LoseDevice(true);
    ASSERT_TRUE(host.RunFrame(0.02f));
    EXPECT_EQ(device.ResetCount(), 1);
    EXPECT_EQ(device.PresentCount(), 2);
}

TEST(HostFrame, TheDeviceLogStaysBoundedOverLongRuns) {
    Cfg::ResetDefaults();
    Host host;
    size_t largest = 0;
    for (int i = 0; i < 4000; ++i) {
        host.RunFrame(0.01f);
        largest = std::max(largest, host.RenderDevice().Calls().size());
    }
    EXPECT_LE(largest, size_t{1 << 16} + 1000);
    // A dump taken at any point holds its whole frame.
    const std::string dump = host.DumpFrame(0.01f);
    EXPECT_EQ(dump.rfind("  BeginScene\n", 0), 0u);
    EXPECT_NE(dump.find("  Present\n"), std::string::npos);
}

}  // namespace
