#include "platform/ui/Shell.h"

#include "platform/win32/CallTrace.h"
#include "platform/files/HostFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

ShellBackend* currentBackend = nullptr;

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

// Starts the program through a short-lived intermediate child, so that the program is
// adopted by init and never becomes our zombie. A close-on-exec pipe carries the errno of
// a failed start back; it reads end-of-file once the program has been executed.
// Returns 0 or the errno.
int SpawnDetached(const std::vector<std::string>& arguments, const std::string& directory) {
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
    const pid_t child = fork();
    if (child < 0) {
        const int error = errno;
        close(channel[0]);
        close(channel[1]);
        return error;
    }
    if (child == 0) {
        close(channel[0]);
        const pid_t program = fork();
        if (program != 0) {
            if (program < 0) {
                const int error = errno;
                (void)!write(channel[1], &error, sizeof error);
            }
            _exit(0);
        }
        // The program: its own session (a Ctrl-C meant for us does not reach it), no input.
        setsid();
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        const int nothing = open("/dev/null", O_RDONLY);
        if (nothing > 0) {
            dup2(nothing, 0);
            close(nothing);
        }
        if (folder == nullptr || chdir(folder) == 0) {
            execv(argv[0], argv.data());
        }
        const int error = errno;
        (void)!write(channel[1], &error, sizeof error);
        _exit(127);
    }
    close(channel[1]);
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

INT_PTR Fail(const std::string& file, INT_PTR result, const std::string& reason) {
    std::fprintf(stderr, "%s: cannot open \"%s\": %s\n", program_invocation_short_name, file.c_str(), reason.c_str());
    return result;
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
            return Fail(file, errno == EACCES ? SE_ERR_ACCESSDENIED : SE_ERR_FNF, "the file does not exist");
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
    return Started(file, SpawnDetached({*opener, target}, directory), "xdg-open could not be started");
}

INT_PTR RecordingShell::Execute(const ShellRequest& request) {
    requests.push_back(request);
    return next;
}

namespace Shell {

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
