#include "platform/win32/Clock.h"
#include "platform/win32/ComRuntime.h"
#include "platform/audio/DirectShow.h"
#include "platform/files/HostFiles.h"
#include "platform/win32/TextCodec.h"
#include "tests/TestTempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using DirectShowStandIn::StandIn;

class FilterGraph : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformClock::UseManual();
        CoInitialize(nullptr);
        DirectShowStandIn::ClearFailures();
        DirectShowStandIn::SetMediaDuration(3.0);
        file = (TestTempDir("filter_graph_test") += ".ogg").string();
        std::ofstream(file) << "x";
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   reinterpret_cast<void**>(&graph)),
                  S_OK);
    }
    void TearDown() override {
        SafeRelease(graph);
        EXPECT_EQ(DirectShowStandIn::LiveGraphs(), 0);
        DirectShowStandIn::ClearFailures();
        DirectShowStandIn::SetMediaDuration(120.0);
        CoUninitialize();
        PlatformClock::UseReal();
        std::filesystem::remove(file);
        HostFiles::ClearCache();  // listings of the temporary folder are stale for later tests
    }
    HRESULT Render(const std::string& path) {
        std::u16string wide = AnsiToWide(path);
        std::vector<WCHAR> units(wide.begin(), wide.end());
        units.push_back(0);
        return graph->RenderFile(units.data(), nullptr);
    }
    template <class I>
    I* Query(REFIID iid) {
        I* out = nullptr;
        EXPECT_EQ(graph->QueryInterface(iid, reinterpret_cast<void**>(&out)), S_OK);
        return out;
    }
    std::string file;
    IGraphBuilder* graph = nullptr;
};

TEST_F(FilterGraph, RendersExistingFilesOnly) {
    EXPECT_EQ(Render(file + ".missing"), VFW_E_NOT_FOUND);
    EXPECT_EQ(Render(file), S_OK);
    EXPECT_EQ(StandIn(graph)->RenderedFile(), file);
    EXPECT_EQ(graph->RenderFile(nullptr, nullptr), E_POINTER);
}

TEST_F(FilterGraph, CompletionComesWhenTheDurationHasElapsedOnTheClock) {
    ASSERT_EQ(Render(file), S_OK);
    auto* control = Query<IMediaControl>(IID_IMediaControl);
    auto* event = Query<IMediaEvent>(IID_IMediaEvent);
    auto* position = Query<IMediaPosition>(IID_IMediaPosition);
    LONG code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    ASSERT_EQ(control->Run(), S_OK);
    PlatformClock::AdvanceMilliseconds(1000);
    ASSERT_EQ(control->Pause(), S_OK);
    PlatformClock::AdvanceMilliseconds(5000);  // paused time does not count
    ASSERT_EQ(control->Run(), S_OK);
    PlatformClock::AdvanceMilliseconds(1999);
    EXPECT_EQ(event->GetEvent(&code, &p1, &p2, 0), E_ABORT);
    PlatformClock::AdvanceMilliseconds(1);
    ASSERT_EQ(event->GetEvent(&code, &p1, &p2, 0), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(event->GetEvent(&code, &p1, &p2, 0), E_ABORT);  // once per run-through
    // Rewinding arms it again; a wait with a timeout sleeps until it comes.
    ASSERT_EQ(position->put_CurrentPosition(1.0), S_OK);
    ASSERT_EQ(event->GetEvent(&code, &p1, &p2, INFINITE_TIMEOUT), S_OK);
    EXPECT_EQ(PlatformClock::SleptMilliseconds(), 2000u);
    EXPECT_EQ(position->put_CurrentPosition(3.5), E_INVALIDARG);
    control->Release();
    event->Release();
    position->Release();
}

TEST_F(FilterGraph, VolumeRangeAndInjectedFailures) {
    auto* audio = Query<IBasicAudio>(IID_IBasicAudio);
    EXPECT_EQ(audio->put_Volume(-10000), S_OK);
    EXPECT_EQ(audio->put_Volume(-10001), E_INVALIDARG);
    EXPECT_EQ(audio->put_Volume(1), E_INVALIDARG);
    LONG volume = 0;
    EXPECT_EQ(audio->get_Volume(&volume), S_OK);
    EXPECT_EQ(volume, -10000);
    DirectShowStandIn::FailQuery(IID_IMediaEvent, E_NOINTERFACE);
    void* out = &volume;
    EXPECT_EQ(graph->QueryInterface(IID_IMediaEvent, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    DirectShowStandIn::FailNext("RenderFile", E_OUTOFMEMORY);
    EXPECT_EQ(Render(file), E_OUTOFMEMORY);
    audio->Release();
}

}  // namespace
