// DirectShow's filter graph as the music player uses it: CoCreateInstance of
// CLSID_FilterGraph gives a graph that renders a file that exists (through the path
// layer), runs, pauses and stops it, reports completion once the piece's duration has
// elapsed on the platform clock, seeks, and takes a volume. Nothing is decoded or heard.
//
// The class registers itself with the COM runtime when this file's object is linked,
// which any use of CLSID_FilterGraph brings about.
#pragma once

#include "platform/win32/Com.h"
#include "platform/win32/DxErrors.h"

#include <cstdint>
#include <string>

using LONG_PTR = intptr_t;
using REFTIME = double;  // seconds
using OAFilterState = LONG;

extern const CLSID CLSID_FilterGraph;
inline constexpr IID IID_IGraphBuilder = {0x56A868A9, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaControl = {0x56A868B1, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaEvent = {0x56A868B6, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaPosition = {0x56A868B2, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IBasicAudio = {0x56A868B3, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

constexpr LONG EC_COMPLETE = 0x01;
constexpr LONG INFINITE_TIMEOUT = -1;  // INFINITE as the LONG the event calls take

constexpr OAFilterState State_Stopped = 0;
constexpr OAFilterState State_Paused = 1;
constexpr OAFilterState State_Running = 2;

struct IGraphBuilder : IUnknown {
    // playList must be null.
    virtual HRESULT RenderFile(const WCHAR* file, const WCHAR* playList) = 0;
    virtual HRESULT Abort() = 0;
};

struct IMediaControl : IUnknown {
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT GetState(LONG timeout, OAFilterState* state) = 0;
};

struct IMediaEvent : IUnknown {
    // The next event, waiting up to timeout milliseconds; E_ABORT when none came.
    virtual HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeout) = 0;
    virtual HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;
};

struct IMediaPosition : IUnknown {
    virtual HRESULT get_Duration(REFTIME* length) = 0;
    virtual HRESULT put_CurrentPosition(REFTIME time) = 0;
    virtual HRESULT get_CurrentPosition(REFTIME* time) = 0;
};

struct IBasicAudio : IUnknown {
    // Hundredths of a decibel, -10000..0.
    virtual HRESULT put_Volume(LONG volume) = 0;
    virtual HRESULT get_Volume(LONG* volume) = 0;
};

namespace DirectShowStandIn {

// The graph behind the five interfaces; tests cast an interface pointer back with StandIn.
class FilterGraph final : public IGraphBuilder,
                          public IMediaControl,
                          public IMediaEvent,
                          public IMediaPosition,
                          public IBasicAudio {
public:
    FilterGraph();

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override;

    HRESULT RenderFile(const WCHAR* file, const WCHAR* playList) override;
    HRESULT Abort() override;
    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT GetState(LONG timeout, OAFilterState* state) override;
    HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeout) override;
    HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) override;
    HRESULT get_Duration(REFTIME* length) override;
    HRESULT put_CurrentPosition(REFTIME time) override;
    HRESULT get_CurrentPosition(REFTIME* time) override;
    HRESULT put_Volume(LONG volume) override;
    HRESULT get_Volume(LONG* volume) override;

    ULONG RefCount() const { return refs; }
    // The engine path last rendered, in UTF-8; empty before.
    const std::string& RenderedFile() const { return rendered; }
    OAFilterState State() const { return state; }
    LONG Volume() const { return volume; }
    int AbortCalls() const { return aborts; }
    int RunCalls() const { return runs; }
    // Seconds played of the current piece.
    double PlayedSeconds();

private:
    ~FilterGraph();
    void Advance();  // brings the media time to the clock's present

    ULONG refs = 1;
    std::string rendered;
    double duration = 0.0;  // seconds; 0 until a file is rendered
    double position = 0.0;  // seconds
    uint64_t clockMicros = 0;
    OAFilterState state = State_Stopped;
    bool completionSent = false;
    int pendingCompletions = 0;
    LONG volume = 0;
    int aborts = 0;
    int runs = 0;
};

inline FilterGraph* StandIn(IGraphBuilder* graph) { return static_cast<FilterGraph*>(graph); }

// Seconds that files rendered from now on last (120 at start).
void SetMediaDuration(double seconds);
// The next QueryInterface of the graph for this interface fails with that result.
void FailQuery(REFIID iid, HRESULT result);
// The next call of the graph method of that name ("RenderFile", "Run", "Stop", "Pause",
// "put_Volume", "put_CurrentPosition", "GetEvent") fails with that result.
void FailNext(const std::string& method, HRESULT result);
void ClearFailures();
// Graphs created and not yet freed.
int LiveGraphs();
// Puts CLSID_FilterGraph back into the COM runtime (after a test removed it).
void RegisterFilterGraph();

}  // namespace DirectShowStandIn
