// The shell's "open" verb. An executable file is started as its own process; a document or a
// web address goes to the desktop's opener (xdg-open). Either way the program is started
// detached: it is not waited for, leaves no zombie and survives the caller.
//
// Results follow ShellExecuteA: above 32 on success, SE_ERR_FNF (2) when the file does not
// exist, SE_ERR_ACCESSDENIED (5) for a program without its execute permission, SE_ERR_NOASSOC
// (31) when nothing can open it. The system backend also prints one line to stderr when a
// hand-off fails; xdg-open is not waited for, so its failure is reported by a watcher process
// in one line when it exits with an error (its own output is silenced). Tests swap in a
// RecordingShell.
#pragma once

#include "platform/ui/WinUser.h"

#include <optional>
#include <string>
#include <vector>

constexpr INT_PTR SE_ERR_FNF = 2;
constexpr INT_PTR SE_ERR_PNF = 3;
constexpr INT_PTR SE_ERR_ACCESSDENIED = 5;
constexpr INT_PTR SE_ERR_OOM = 8;
constexpr INT_PTR SE_ERR_NOASSOC = 31;
// What a successful call returns (any value above 32 means success).
constexpr INT_PTR SHELL_SUCCESS = 42;

HINSTANCE ShellExecuteA(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show);

// One call's arguments; a null pointer argument is an empty optional.
struct ShellRequest {
    HWND Window = nullptr;
    std::optional<std::string> Verb;
    std::optional<std::string> File;
    std::optional<std::string> Parameters;
    std::optional<std::string> Directory;
    INT Show = 0;
};

class ShellBackend {
public:
    virtual ~ShellBackend() = default;
    virtual INT_PTR Execute(const ShellRequest& request) = 0;
};

// Starts processes for real.
class SystemShell : public ShellBackend {
public:
    INT_PTR Execute(const ShellRequest& request) override;
};

// Records each request and answers with a set result, starting nothing.
class RecordingShell : public ShellBackend {
public:
    INT_PTR Execute(const ShellRequest& request) override;
    void SetResult(INT_PTR result) { next = result; }
    const std::vector<ShellRequest>& Requests() const { return requests; }

private:
    std::vector<ShellRequest> requests;
    INT_PTR next = SHELL_SUCCESS;
};

namespace Shell {

// The backend in use (the system one unless set); returns the previous one.
ShellBackend* SetBackend(ShellBackend* backend);
// Splits a parameter string into arguments: blanks separate, double quotes group.
std::vector<std::string> SplitParameters(const std::string& parameters);
// "scheme:..." with a scheme of two or more letters (one letter is a drive).
bool IsWebAddress(const std::string& file);
// Waits, at most `milliseconds`, until every file handed to xdg-open by the system shell has
// been opened or its failure reported, so a program that exits next has said all it will.
void AwaitHandOffs(int milliseconds);

}  // namespace Shell

class ScopedShellBackend {
public:
    explicit ScopedShellBackend(ShellBackend& backend) : previous(Shell::SetBackend(&backend)) {}
    ~ScopedShellBackend() { Shell::SetBackend(previous); }
    ScopedShellBackend(const ScopedShellBackend&) = delete;
    ScopedShellBackend& operator=(const ScopedShellBackend&) = delete;

private:
    ShellBackend* previous;
};
