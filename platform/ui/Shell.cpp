#include "platform/ui/Shell.h"

#include "platform/win32/CallTrace.h"
#include "platform/files/HostFiles.h"

#include <cctype>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

ShellBackend* currentBackend = nullptr;
// Read ends of the pipes whose write end a watcher holds until it has said how its hand-off
// ended: end-of-file on one means that outcome is out.
std::vector<int> watchedHandOffs;

ShellBackend& Backend() {
    static SystemShell system;
    return currentBackend != nullptr ? *currentBackend : system;
}

std::optional<std::string> Optional(LPCSTR text) {
    return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

bool IsExecutableFile(const std::string& path) {
    struct stat info{};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    const std::string list = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    for (;;) {
        const size_t end = list.find(':', start);
        std::string folder = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (folder.empty()) {
            folder.push_back('.');  // an empty entry is the working directory
        }
        std::string candidate = std::move(folder);
        candidate += '/';
        candidate += name;
        if (IsExecutableFile(candidate)) {
            return candidate;
        }
        if (end == std::string::npos) {
            return std::nullopt;
        }
        start = end + 1;
    }
}

// How a failed xdg-open ended, in words; its exit codes are documented by xdg-utils.
std::string XdgOpenFailure(int status) {
    if (WIFSIGNALED(status)) {
        return "xdg-open was ended by signal " + std::to_string(WTERMSIG(status));
    }
    const int code = WEXITSTATUS(status);
    const char* meaning = code == 1   ? "it was called wrongly"
                          : code == 2 ? "the file does not exist"
                          : code == 3 ? "no program to open it was found"
                          : code == 4 ? "the program that opens it failed"
                                      : "it failed";
    return std::string("xdg-open: ") + meaning + " (exit status " + std::to_string(code) + ")";
}

// Writes the whole text to stderr with write(2) alone (this runs in a forked child).
void WriteError(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(2, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        done += static_cast<size_t>(n);
    }
}

// In the child that becomes the program: its own session (a Ctrl-C meant for us does not
// reach it), no blocked signals, no input; then the program, or the errno on the channel.
[[noreturn]] void BecomeProgram(std::vector<char*>& argv, const char* folder, int channel, bool quiet) {
    setsid();
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const int nothing = open("/dev/null", O_RDWR);
    if (nothing >= 0) {
        dup2(nothing, 0);
        if (quiet) {
            dup2(nothing, 1);
            dup2(nothing, 2);
        }
        if (nothing > 2) {
            close(nothing);
        }
    }
    if (folder == nullptr || chdir(folder) == 0) {
        execv(argv[0], argv.data());
    }
    const int error = errno;
    (void)!write(channel, &error, sizeof error);
    _exit(127);
}

// Starts the program through a short-lived intermediate child, so that the program is
// adopted by init and never becomes our zombie. A close-on-exec pipe carries the errno of
// a failed start back; it reads end-of-file once the program has been executed.
// With `watch`, a watcher process (also adopted by init) starts the program instead, waits
// for it and, when it fails, writes `watch` and how it ended as one line to stderr; the
// program's own output is silenced so that the line is the only one. The caller does not wait
// here; Shell::AwaitHandOffs waits for the watchers' outcomes. Returns 0 or the errno.
int SpawnDetached(const std::vector<std::string>& arguments, const std::string& directory,
                  const std::string& watch = "") {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const char* folder = directory.empty() ? nullptr : directory.c_str();

    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0) {
        return errno;
    }
    // Held open by the watcher alone (close-on-exec: the program does not inherit it).
    int outcome[2] = {-1, -1};
    if (!watch.empty() && pipe2(outcome, O_CLOEXEC) != 0) {
        const int error = errno;
        close(channel[0]);
        close(channel[1]);
        return error;
    }
    const pid_t child = fork();
    if (child < 0) {
        const int error = errno;
        close(channel[0]);
        close(channel[1]);
        if (outcome[0] >= 0) {
            close(outcome[0]);
            close(outcome[1]);
        }
        return error;
    }
    if (child == 0) {
        close(channel[0]);
        if (outcome[0] >= 0) {
            close(outcome[0]);
        }
        const pid_t next = fork();
        if (next != 0) {
            if (next < 0) {
                const int error = errno;
                (void)!write(channel[1], &error, sizeof error);
            }
            _exit(0);
        }
        if (watch.empty()) {
            BecomeProgram(argv, folder, channel[1], false);
        }
        // The watcher: out of our session too, so that signals meant for us pass it by.
        setsid();
        const pid_t program = fork();
        if (program == 0) {
            BecomeProgram(argv, folder, channel[1], true);
        }
        if (program < 0) {
            const int error = errno;
            (void)!write(channel[1], &error, sizeof error);
            _exit(0);
        }
        close(channel[1]);
        int status = 0;
        while (waitpid(program, &status, 0) < 0) {
            if (errno != EINTR) {
                _exit(0);
            }
        }
        // 127 with an errno on the channel is a failed start, which the caller reports.
        const bool started = !(WIFEXITED(status) && WEXITSTATUS(status) == 127);
        if (started && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
            WriteError(watch + XdgOpenFailure(status) + "\n");
        }
        _exit(0);
    }
    close(channel[1]);
    if (outcome[0] >= 0) {
        close(outcome[1]);
        watchedHandOffs.push_back(outcome[0]);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got = 0;
    while ((got = read(channel[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    close(channel[0]);
    return got == sizeof error ? error : 0;
}

INT_PTR ResultOf(int error) {
    switch (error) {
        case 0: return SHELL_SUCCESS;
        case ENOENT:
        case ENOTDIR: return SE_ERR_FNF;
        case EACCES:
        case EPERM: return SE_ERR_ACCESSDENIED;
        case ENOMEM: return SE_ERR_OOM;
        default: return SE_ERR_NOASSOC;  // ENOEXEC and the like: not something this system runs
    }
}

std::string FailurePrefix(const std::string& file) {
    return std::string(program_invocation_short_name) + ": cannot open \"" + file + "\": ";
}

INT_PTR Fail(const std::string& file, INT_PTR result, const std::string& reason) {
    std::fputs((FailurePrefix(file) + reason + "\n").c_str(), stderr);
    return result;
}

// A file named as a Windows program, or holding a script or an ELF program.
bool LooksLikeProgram(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && path.find('/', dot) == std::string::npos) {
        std::string extension = path.substr(dot + 1);
        for (char& c : extension) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (extension == "exe" || extension == "com" || extension == "bat" || extension == "sh") {
            return true;
        }
    }
    char head[4] = {};
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    const size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    return (got >= 2 && head[0] == '#' && head[1] == '!') || (got == 4 && std::memcmp(head, "\x7f" "ELF", 4) == 0);
}

INT_PTR Started(const std::string& file, int error, const std::string& what) {
    if (error == 0) {
        return SHELL_SUCCESS;
    }
    return Fail(file, ResultOf(error), what + ": " + std::strerror(error));
}

}  // namespace

HINSTANCE ShellExecuteA(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show) {
    ShellRequest request{window, Optional(verb), Optional(file), Optional(parameters), Optional(directory), show};
    CallTrace::Record("ShellExecuteA " + request.Verb.value_or("null") + " " + request.File.value_or("null"));
    return reinterpret_cast<HINSTANCE>(Backend().Execute(request));
}

INT_PTR SystemShell::Execute(const ShellRequest& request) {
    const std::string file = request.File.value_or("");
    const std::string verb = request.Verb.value_or("open");
    if (!verb.empty() && verb != "open") {
        return Fail(file, SE_ERR_NOASSOC, "the verb \"" + verb + "\" is not supported");
    }
    if (file.empty()) {
        return Fail(file, SE_ERR_FNF, "no file was named");
    }
    // Local names are engine paths: "\\" separators, any letter case.
    const std::string given = request.Directory.value_or("");
    const std::string directory = given.empty() ? given : HostFiles::Resolve(given);

    std::string target = file;
    if (!Shell::IsWebAddress(file)) {
        target = HostFiles::Resolve(file);
        if (!directory.empty() && !target.empty() && target[0] != '/') {
            target = std::filesystem::current_path() / target;  // the program starts elsewhere
        }
        struct stat info{};
        if (stat(target.c_str(), &info) != 0) {
            // A link loop or a name too long is not a missing file: say what it is.
            const int error = errno;
            return Fail(file, error == EACCES ? SE_ERR_ACCESSDENIED : SE_ERR_FNF,
                        error == ENOENT || error == ENOTDIR ? std::string("the file does not exist")
                                                            : std::string("the file cannot be reached: ") +
                                                                  std::strerror(error));
        }
        if (S_ISREG(info.st_mode) && !IsExecutableFile(target) && LooksLikeProgram(target)) {
            return Fail(file, SE_ERR_ACCESSDENIED, "the program is not executable (its execute permission is not set)");
        }
        if (IsExecutableFile(target)) {
            std::vector<std::string> arguments{target.find('/') == std::string::npos ? "./" + target : target};
            for (std::string& parameter : Shell::SplitParameters(request.Parameters.value_or(""))) {
                arguments.push_back(std::move(parameter));
            }
            return Started(file, SpawnDetached(arguments, directory), "the program could not be started");
        }
    }
    const std::optional<std::string> opener = FindOnPath("xdg-open");
    if (!opener) {
        return Fail(file, SE_ERR_NOASSOC, "no program can open it (xdg-open was not found on PATH)");
    }
    return Started(file, SpawnDetached({*opener, target}, directory, FailurePrefix(file)),
                   "xdg-open could not be started");
}

INT_PTR RecordingShell::Execute(const ShellRequest& request) {
    requests.push_back(request);
    return next;
}

namespace Shell {

void AwaitHandOffs(int milliseconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!watchedHandOffs.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                  std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        std::vector<pollfd> waiting;
        for (int fd : watchedHandOffs) {
            waiting.push_back(pollfd{fd, POLLIN, 0});
        }
        if (poll(waiting.data(), waiting.size(), static_cast<int>(left.count())) < 0 && errno != EINTR) {
            break;
        }
        for (const pollfd& p : waiting) {
            if (p.revents != 0) {  // end-of-file (or an error): this watcher is done
                close(p.fd);
                std::erase(watchedHandOffs, p.fd);
            }
        }
    }
    // Those still running report by themselves, later.
    for (int fd : watchedHandOffs) {
        close(fd);
    }
    watchedHandOffs.clear();
}

ShellBackend* SetBackend(ShellBackend* backend) {
    ShellBackend* previous = currentBackend;
    currentBackend = backend;
    return previous;
}

std::vector<std::string> SplitParameters(const std::string& parameters) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (char c : parameters) {
        if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inArgument) {
                arguments.push_back(current);
                current.clear();
                inArgument = false;
            }
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) {
        arguments.push_back(current);
    }
    return arguments;
}

bool IsWebAddress(const std::string& file) {
    const size_t colon = file.find(':');
    if (colon == std::string::npos || colon < 2) {
        return false;
    }
    for (size_t i = 0; i < colon; ++i) {
        const char c = file[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))) {
            return false;
        }
    }
    return true;
}

}  // namespace Shell
