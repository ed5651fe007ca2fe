// The list of scheduled tasks, ordered by ascending priority and, within one priority, by
// order of arrival. The host's frame loop steps the list; the scheduler itself only starts
// and orders tasks and can flag them all finished.
//
// The list is a std::list so that tasks may be added while the frame loop walks it: an
// insertion never moves another entry.
#pragma once

#include "core/CPTask.h"
#include "core/CPtr.h"
#include "platform/win32/WinTypes.h"

#include <concepts>
#include <list>

class CPScheduler {
public:
    CPScheduler() = default;
    CPScheduler(const CPScheduler&) = delete;
    CPScheduler& operator=(const CPScheduler&) = delete;

    // Starts the task and lists it after every task of lower or equal priority. False for
    // a null task or one already running (it is not listed again).
    template <class T>
        requires std::derived_from<T, CPTask>
    bool AddTask(const CPtr<T>& task) {
        return Insert(task.Get());
    }

    // Flags every listed task finished; Running and the list stay as they are.
    void KillAllTasks();

    // Where AddTask lists a task of this priority: before the first listed task of a
    // greater priority, or at the end.
    std::list<CPtr<CPTask>>::iterator PlaceFor(int32_t priority);

    // The game's main window; the video players read it.
    HWND MainWindow = nullptr;
    std::list<CPtr<CPTask>> Tasks;

    // Set by whoever creates the one scheduler (the host).
    static CPScheduler* Instance;

private:
    bool Insert(CPTask* task);
};
