// The task that receives commands. Senders push at the front of Commands; the task takes
// from the back, so commands are handled in the order they were sent. What a script does
// with them is up to the script layer, which derives from this class.
#pragma once

#include "core/CPCommand.h"
#include "core/CPTask.h"

#include <deque>
#include <string>

class CPScriptTask : public CPTask {
public:
    void Update() override {}
    int GetKind() const override { return 0; }
    size_t GetObjectSize() const override { return sizeof(*this); }
    std::string GetTypeName() const override { return "CPScriptTask"; }

    // What one task's queue may hold: a task that never takes its commands must not make
    // the engine hold them without bound. The current command counts.
    static constexpr size_t MaxQueuedCommands = 10000;
    static constexpr size_t MaxQueuedBytes = size_t{16} << 20;  // names and arguments, roughly
    // Queues a command behind every command sent before it. False, the command dropped, when
    // the queue is full; the first drop of a full queue is reported to the log.
    bool PushCommand(CPCommand command);
    // Moves Current to the next command in sending order. The first call on a queue makes
    // the oldest command current without dropping anything; each later call drops the
    // current command first. False, with Current null, once the queue is used up; false
    // and nothing changed on an empty queue.
    bool NextCommand();

    std::deque<CPCommand> Commands;
    // The command being handled: the back of Commands, or null. Pushing at the front of a
    // deque keeps it valid.
    CPCommand* Current = nullptr;

private:
    static size_t SizeOf(const CPCommand& command);
    size_t QueuedBytes = 0;
    bool Full = false;  // a drop was reported; cleared once a command is taken
};
