#include "Sound/PMusic.h"

#include "core/CPLog.h"
#include "core/ConfigVars.h"
#include "platform/win32/ComRuntime.h"
#include "platform/win32/TextCodec.h"
#include "platform/audio/Volume.h"

namespace {

constexpr const char* SourceFile = "Sound/PMusic";
constexpr int PathCapacity = 260;  // wide characters, the terminating zero included

}  // namespace

CPMusic* CPMusic::Instance = nullptr;

CPMusic::CPMusic() : Volume(Cfg::musicVolume) {}

CPMusic::~CPMusic() {
    ReleaseGraph();
    if (Instance == this) {
        Instance = nullptr;
    }
}

HRESULT CPMusic::Play(const std::string& name, bool loop) {
    ReleaseGraph();
    Name = name;
    Loaded = false;
    Playing = false;

    const std::string path = "Data\\Music\\" + name;
    WCHAR widePath[PathCapacity];
    if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, PathCapacity) == 0) {
        return E_INVALIDARG;  // longer than 259 characters
    }
    Loop = loop;

    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                  reinterpret_cast<void**>(&Graph));
    if (FAILED(hr) || Graph == nullptr) {
        Graph = nullptr;
        return ReportDXError(FAILED(hr) ? hr : E_POINTER, SourceFile, 54);
    }
    // The first interface that cannot be had ends the load; those obtained stay until the
    // next Play or ReleaseGraph.
    struct Query {
        const IID& Iid;
        void** Into;
        int Line;
    };
    const Query queries[] = {
        {IID_IMediaControl, reinterpret_cast<void**>(&Control), 55},
        {IID_IMediaEvent, reinterpret_cast<void**>(&Event), 56},
        {IID_IMediaPosition, reinterpret_cast<void**>(&Position), 57},
        {IID_IBasicAudio, reinterpret_cast<void**>(&Audio), 58},
    };
    for (const Query& q : queries) {
        hr = Graph->QueryInterface(q.Iid, q.Into);
        if (FAILED(hr)) {
            *q.Into = nullptr;
            return ReportDXError(hr, SourceFile, q.Line);
        }
    }
    hr = Graph->RenderFile(widePath, nullptr);
    if (FAILED(hr)) {
        return ReportDXError(hr, SourceFile, 59);
    }
    Loaded = true;
    SetVolume(Volume);
    if (loop && Finished) {
        // A looping piece is started by the task's step, and a stopped player is stepped no
        // more: make the task running again (the graph stays as it is) so the frame loop
        // steps it.
        CPTask::Start();
    }
    return hr;
}

void CPMusic::ReleaseGraph() {
    SafeRelease(Audio);
    SafeRelease(Control);
    SafeRelease(Event);
    SafeRelease(Position);
    if (Graph != nullptr) {
        Graph->Abort();
        SafeRelease(Graph);
    }
    Playing = false;
}

HRESULT CPMusic::SetVolume(float v) {
    Volume = v;
    if (Audio == nullptr) {
        return 0;
    }
    const HRESULT hr = Audio->put_Volume(VolumeToAttenuation(v));
    if (FAILED(hr)) {
        ReportDXError(hr, SourceFile, 121);
        return 0;
    }
    return hr;
}

void CPMusic::RunGraph() {
    if (!Loaded || Control == nullptr) {
        return;
    }
    Playing = SUCCEEDED(Control->Run());
}

bool CPMusic::Start() {
    const bool started = CPTask::Start();
    // Also when the task was running already: the caller wants the loaded piece heard.
    RunGraph();
    return started;
}

void CPMusic::Update() {
    if (!Loaded) {
        return;
    }
    if (!Playing) {
        RunGraph();
        return;
    }
    if (Event == nullptr) {
        return;
    }
    LONG code = 0;
    LONG_PTR param1 = 0;
    LONG_PTR param2 = 0;
    while (Event->GetEvent(&code, &param1, &param2, 0) == S_OK) {
        Event->FreeEventParams(code, param1, param2);
        if (code == EC_COMPLETE && Loop && Position != nullptr) {
            Position->put_CurrentPosition(0.0);
            Control->Run();
        }
    }
}

void CPMusic::Stop() {
    CPTask::Stop();
    if (Control != nullptr) {
        Control->Stop();
    }
    if (Position != nullptr) {
        Position->put_CurrentPosition(0.0);
    }
    Playing = false;
}
