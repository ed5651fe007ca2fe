// Background music: one piece at a time from "Data\Music", rendered by a DirectShow filter
// graph to the default audio output. CPMusic is a task and a singleton (the host creates
// it, sets Instance and schedules it).
//
// Play builds a new graph for a piece but does not start it. Start makes the loaded piece
// audible; each step starts a loaded piece that is not playing yet (so a looping piece
// loaded without Start begins once the task runs) and plays a looping piece again from
// its start when it completes; Stop silences it and rewinds. A looping piece loaded after
// a Stop makes the task running again, so that a frame loop that keeps its running player
// scheduled steps it.
#pragma once

#include "core/CPTask.h"
#include "platform/audio/DirectShow.h"

#include <string>

class CPMusic : public CPTask {
public:
    static CPMusic* Instance;

    // Volume starts at the configuration variable "musicVolume".
    CPMusic();
    ~CPMusic() override;

    size_t GetObjectSize() const override { return sizeof(CPMusic); }
    std::string GetTypeName() const override { return "CPMusic"; }

    bool Start() override;
    void Update() override;
    void Stop() override;
    int GetKind() const override { return 0; }

    // Drops the current piece and renders "Data\Music\" + name into a new graph. S_OK when
    // the piece is loaded; every failure is the failing result, reported when it comes
    // from DirectShow, with Loaded false.
    HRESULT Play(const std::string& name, bool loop);
    void ReleaseGraph();
    // Volume := v; applied to the current graph, if any, through the volume mapping.
    HRESULT SetVolume(float v);

    IGraphBuilder* Graph = nullptr;      // owned, with the four interfaces below
    IMediaControl* Control = nullptr;    // run, pause, stop
    IMediaEvent* Event = nullptr;        // completion
    IMediaPosition* Position = nullptr;  // rewinding for a loop
    IBasicAudio* Audio = nullptr;        // volume
    bool Loop = false;
    std::string Name;
    bool Loaded = false;
    float Volume = 0.0f;
    // The current piece has been set running (and not stopped since).
    bool Playing = false;

private:
    void RunGraph();
};
