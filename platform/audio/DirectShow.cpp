#include "platform/audio/DirectShow.h"

#include "platform/win32/CallTrace.h"
#include "platform/win32/Clock.h"
#include "platform/win32/ComRuntime.h"
#include "platform/files/HostFiles.h"
#include "platform/win32/TextCodec.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

const CLSID CLSID_FilterGraph = {0xE436EBB3, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

namespace DirectShowStandIn {

namespace {

double mediaDuration = 120.0;
int liveGraphs = 0;

std::vector<std::pair<IID, HRESULT>>& QueryFailures() {
    static std::vector<std::pair<IID, HRESULT>> failures;
    return failures;
}

std::vector<std::pair<std::string, HRESULT>>& CallFailures() {
    static std::vector<std::pair<std::string, HRESULT>> failures;
    return failures;
}

template <class Key>
bool TakeFailure(std::vector<std::pair<Key, HRESULT>>& failures, const Key& key, HRESULT& result) {
    auto it = std::find_if(failures.begin(), failures.end(), [&](const auto& f) { return f.first == key; });
    if (it == failures.end()) {
        return false;
    }
    result = it->second;
    failures.erase(it);
    return true;
}

bool Injected(const char* method, HRESULT& result) { return TakeFailure(CallFailures(), std::string(method), result); }

uint64_t NowMicros() {
    LARGE_INTEGER count{}, frequency{};
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<uint64_t>(count.QuadPart) / (static_cast<uint64_t>(frequency.QuadPart) / 1000000);
}

// Registered while the program starts, so CoCreateInstance finds the class.
[[maybe_unused]] const bool registeredAtStart = (RegisterFilterGraph(), true);

}  // namespace

FilterGraph::FilterGraph() : clockMicros(NowMicros()) { ++liveGraphs; }

FilterGraph::~FilterGraph() { --liveGraphs; }

ULONG FilterGraph::Release() {
    const ULONG left = --refs;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT FilterGraph::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    HRESULT injected = S_OK;
    if (TakeFailure(QueryFailures(), riid, injected)) {
        return injected;
    }
    if (riid == IID_IGraphBuilder || riid == IID_IUnknown) {
        *object = static_cast<IGraphBuilder*>(this);
    } else if (riid == IID_IMediaControl) {
        *object = static_cast<IMediaControl*>(this);
    } else if (riid == IID_IMediaEvent) {
        *object = static_cast<IMediaEvent*>(this);
    } else if (riid == IID_IMediaPosition) {
        *object = static_cast<IMediaPosition*>(this);
    } else if (riid == IID_IBasicAudio) {
        *object = static_cast<IBasicAudio*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

void FilterGraph::Advance() {
    const uint64_t now = NowMicros();
    const uint64_t elapsed = now - clockMicros;
    clockMicros = now;
    if (state != State_Running || duration <= 0.0) {
        return;
    }
    position += static_cast<double>(elapsed) / 1e6;
    if (position >= duration) {
        position = duration;
        if (!completionSent) {
            completionSent = true;
            ++pendingCompletions;
        }
    }
}

double FilterGraph::PlayedSeconds() {
    Advance();
    return position;
}

HRESULT FilterGraph::RenderFile(const WCHAR* file, const WCHAR* playList) {
    if (file == nullptr) {
        return E_POINTER;
    }
    if (playList != nullptr) {
        return E_INVALIDARG;
    }
    const std::string path = WideToUtf8(file);
    CallTrace::Record("RenderFile " + path);
    HRESULT injected = S_OK;
    if (Injected("RenderFile", injected)) {
        return injected;
    }
    if (!HostFiles::Exists(path) || HostFiles::IsDirectory(path)) {
        return VFW_E_NOT_FOUND;
    }
    Advance();
    rendered = path;
    duration = mediaDuration;
    position = 0.0;
    completionSent = false;
    pendingCompletions = 0;
    return S_OK;
}

HRESULT FilterGraph::Abort() {
    ++aborts;
    return S_OK;
}

HRESULT FilterGraph::Run() {
    ++runs;
    HRESULT injected = S_OK;
    if (Injected("Run", injected)) {
        return injected;
    }
    Advance();
    state = State_Running;
    return S_OK;
}

HRESULT FilterGraph::Pause() {
    HRESULT injected = S_OK;
    if (Injected("Pause", injected)) {
        return injected;
    }
    Advance();
    state = State_Paused;
    return S_OK;
}

HRESULT FilterGraph::Stop() {
    HRESULT injected = S_OK;
    if (Injected("Stop", injected)) {
        return injected;
    }
    // Stopping keeps the position, as the graph manager does; seeking rewinds.
    Advance();
    state = State_Stopped;
    return S_OK;
}

HRESULT FilterGraph::GetState(LONG, OAFilterState* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = state;
    return S_OK;
}

HRESULT FilterGraph::GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeout) {
    if (code == nullptr || param1 == nullptr || param2 == nullptr) {
        return E_POINTER;
    }
    HRESULT injected = S_OK;
    if (Injected("GetEvent", injected)) {
        return injected;
    }
    Advance();
    if (pendingCompletions == 0 && timeout != 0) {
        // Wait for the completion when it comes within the timeout; a graph that is not
        // running would make an endless wait hang, so that returns at once.
        const bool completes = state == State_Running && duration > 0.0 && !completionSent;
        const double remaining = completes ? std::ceil((duration - position) * 1000.0) : 0.0;
        if (completes && (timeout == INFINITE_TIMEOUT || remaining <= timeout)) {
            Sleep(static_cast<DWORD>(remaining));
        } else if (timeout > 0) {
            Sleep(static_cast<DWORD>(timeout));
        }
        Advance();
    }
    if (pendingCompletions == 0) {
        return E_ABORT;
    }
    --pendingCompletions;
    *code = EC_COMPLETE;
    *param1 = S_OK;
    *param2 = 0;
    return S_OK;
}

HRESULT FilterGraph::FreeEventParams(LONG, LONG_PTR, LONG_PTR) { return S_OK; }

HRESULT FilterGraph::get_Duration(REFTIME* length) {
    if (length == nullptr) {
        return E_POINTER;
    }
    *length = duration;
    return S_OK;
}

HRESULT FilterGraph::put_CurrentPosition(REFTIME time) {
    HRESULT injected = S_OK;
    if (Injected("put_CurrentPosition", injected)) {
        return injected;
    }
    if (!(time >= 0.0) || time > duration) {
        return E_INVALIDARG;
    }
    Advance();
    position = time;
    completionSent = position >= duration && duration > 0.0;
    return S_OK;
}

HRESULT FilterGraph::get_CurrentPosition(REFTIME* time) {
    if (time == nullptr) {
        return E_POINTER;
    }
    Advance();
    *time = position;
    return S_OK;
}

HRESULT FilterGraph::put_Volume(LONG value) {
    HRESULT injected = S_OK;
    if (Injected("put_Volume", injected)) {
        return injected;
    }
    if (value < -10000 || value > 0) {
        return E_INVALIDARG;
    }
    volume = value;
    return S_OK;
}

HRESULT FilterGraph::get_Volume(LONG* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = volume;
    return S_OK;
}

void SetMediaDuration(double seconds) { mediaDuration = seconds; }

void FailQuery(REFIID iid, HRESULT result) { QueryFailures().emplace_back(iid, result); }

void FailNext(const std::string& method, HRESULT result) { CallFailures().emplace_back(method, result); }

void ClearFailures() {
    QueryFailures().clear();
    CallFailures().clear();
}

int LiveGraphs() { return liveGraphs; }

void RegisterFilterGraph() {
    ComRuntime::RegisterClass(CLSID_FilterGraph, [] { return static_cast<IGraphBuilder*>(new FilterGraph()); });
}

}  // namespace DirectShowStandIn
