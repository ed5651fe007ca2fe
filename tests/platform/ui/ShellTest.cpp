#include "platform/ui/Shell.h"
#include "tests/TestTempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace {

namespace fs = std::filesystem;

TEST(Shell, ParameterSplitting) {
    struct Row {
        std::string Text;
        std::vector<std::string> Arguments;
    };
    const Row rows[] = {
        {"", {}},
        {"   ", {}},
        {"-w", {"-w"}},
        {"  a   b\tc ", {"a", "b", "c"}},
        {"\"two words\" x", {"two words", "x"}},
        {"\"\"", {""}},
        {"a\"b c\"d", {"ab cd"}},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(Shell::SplitParameters(r.Text), r.Arguments) << r.Text;
    }
}

TEST(Shell, WebAddressesAndLocalNames) {
    struct Row {
        const char* Name;
        bool Web;
    };
    const Row rows[] = {
        {"http://www.tarnwick.example/stats/tarnwick.html", true},
        {"https://x", true},
        {"mailto:someone@example.org", true},
        {"svn+ssh://host/repo", true},
        {"C:\\Games\\_Tarnwick.exe", false},
        {"_Tarnwick.exe", false},
        {"README.txt", false},
        {"Data\\a:b", false},
        {":x", false},
        {"1http://x", false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(Shell::IsWebAddress(r.Name), r.Web) << r.Name;
    }
}

TEST(Shell, NullArgumentsAreKeptApartFromEmptyOnes) {
    RecordingShell recorder;
    ScopedShellBackend use(recorder);
    recorder.SetResult(SE_ERR_FNF);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, nullptr, "a", nullptr, "", 5)), SE_ERR_FNF);
    ASSERT_EQ(recorder.Requests().size(), 1u);
    const ShellRequest& r = recorder.Requests()[0];
    EXPECT_FALSE(r.Verb.has_value());
    EXPECT_EQ(r.File, std::optional<std::string>("a"));
    EXPECT_FALSE(r.Parameters.has_value());
    EXPECT_EQ(r.Directory, std::optional<std::string>(""));
    EXPECT_EQ(r.Show, 5);
}


bool WaitFor(const fs::path& path, size_t lines) {
    for (int i = 0; i < 500; ++i) {
        const std::string text = ReadWholeFile(path);
        if (size_t(std::count(text.begin(), text.end(), '\n')) >= lines) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// The system backend against real files: a folder with a program, a document and a fake
// xdg-open on a PATH of our own.
class SystemShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(folder / "bin");
        fs::create_directories(folder / "work");
        Script(folder / "Program.sh", "pwd > '" + Log() + "'; echo \"$@\" >> '" + Log() + "'");
        Script(folder / "bin" / "xdg-open", "echo \"$@\" >> '" + Log() + "'");
        scratch.Write("notes.txt", "text\n");
        const char* path = std::getenv("PATH");
        savedPath = path != nullptr ? path : "";
    }

    void TearDown() override { setenv("PATH", savedPath.c_str(), 1); }

    static void Script(const fs::path& path, const std::string& body) {
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(path, fs::perms::owner_all);
    }

    std::string Log() const { return (folder / "log").string(); }

    INT_PTR Open(LPCSTR file, LPCSTR parameters = "", LPCSTR directory = "", LPCSTR verb = "open") {
        return reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, verb, file, parameters, directory, SW_SHOWNORMAL));
    }

    ScratchFolder scratch{"shell"};
    const fs::path& folder = scratch.Path();
    std::string savedPath;
};

TEST_F(SystemShellTest, ProgramStartsDetachedWithItsArgumentsAndFolder) {
    // Any letter case finds the program; the child is reaped at once, so none is left over.
    EXPECT_GT(Open("program.SH", "one \"two three\"", "work"), 32);
    ASSERT_TRUE(WaitFor(Log(), 2));
    EXPECT_EQ(ReadWholeFile(Log()), (folder / "work").string() + "\none two three\n");
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(SystemShellTest, DocumentsAndAddressesGoToXdgOpen) {
    setenv("PATH", (folder / "bin").string().c_str(), 1);
    EXPECT_GT(Open("NOTES.TXT"), 32);
    ASSERT_TRUE(WaitFor(Log(), 1));
    EXPECT_GT(Open("http://www.tarnwick.example/x.html"), 32);
    ASSERT_TRUE(WaitFor(Log(), 2));
    const std::string log = ReadWholeFile(Log());
    EXPECT_NE(log.find("notes.txt\n"), std::string::npos) << log;
    EXPECT_NE(log.find("http://www.tarnwick.example/x.html\n"), std::string::npos) << log;
}

TEST_F(SystemShellTest, FailuresReportTheShellsCodes) {
    setenv("PATH", (folder / "work").string().c_str(), 1);  // no xdg-open there
    EXPECT_EQ(Open("missing.exe"), SE_ERR_FNF);
    EXPECT_EQ(Open(nullptr), SE_ERR_FNF);
    EXPECT_EQ(Open("notes.txt"), SE_ERR_NOASSOC);
    EXPECT_EQ(Open("http://www.tarnwick.example/"), SE_ERR_NOASSOC);
    EXPECT_EQ(Open("Program.sh", "", "", "print"), SE_ERR_NOASSOC);
    EXPECT_EQ(Open("Program.sh", "", "no-such-folder"), SE_ERR_FNF);
    EXPECT_FALSE(fs::exists(Log()));
}

// What is written to stderr while `run` runs, and for a while after by the processes it starts
// (they inherit the file as their stderr), until `lines` lines have come or time is up
// (0 lines: a fifth of a second).
std::string CaptureStderr(const fs::path& file, const std::function<void()>& run, size_t lines) {
    std::fflush(stderr);
    const int saved = dup(2);
    const int into = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(into, 2);
    close(into);
    run();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::string text;
    for (int i = 0; i < (lines > 0 ? 300 : 20); ++i) {
        text = ReadWholeFile(file);
        if (lines > 0 && static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) >= lines) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // nothing more should come
    return ReadWholeFile(file);
}

TEST_F(SystemShellTest, XdgOpenExitingWithAnErrorIsReportedInOneLine) {
    struct Case {
        const char* body;
        const char* reason;
    };
    const Case cases[] = {
        {"echo 'xdg-open: no method available' >&2; exit 3", "xdg-open: no program to open it was found (exit status 3)"},
        {"echo chatter; exit 4", "xdg-open: the program that opens it failed (exit status 4)"},
        {"exit 9", "xdg-open: it failed (exit status 9)"},
        {"kill -TERM $$", "xdg-open was ended by signal 15"},
    };
    setenv("PATH", (folder / "bin").string().c_str(), 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        Script(folder / "bin" / "xdg-open", c.body);
        INT_PTR result = 0;
        std::string beforeExit;
        const std::string err = CaptureStderr(
            folder / "err",
            [&] {
                result = Open("notes.txt");
                // What a program exiting next has said: the failure is out by the time the
                // wait for the hand-off's outcome returns.
                Shell::AwaitHandOffs(10000);
                beforeExit = ReadWholeFile(folder / "err");
            },
            1);
        EXPECT_GT(result, 32);  // xdg-open was started; how it ends comes later
        const std::string line =
            std::string(program_invocation_short_name) + ": cannot open \"notes.txt\": " + c.reason + "\n";
        EXPECT_EQ(beforeExit, line);
        EXPECT_EQ(err, line);
    }
    // Success says nothing.
    Script(folder / "bin" / "xdg-open", "exit 0");
    EXPECT_EQ(CaptureStderr(folder / "err", [&] { EXPECT_GT(Open("notes.txt"), 32); }, 0), "");
}

TEST_F(SystemShellTest, ProgramWithoutExecutePermissionIsReportedNotOpened) {
    setenv("PATH", (folder / "bin").string().c_str(), 1);
    const auto put = [&](const char* name, const std::string& content) {
        scratch.Write(name, content);
        fs::permissions(folder / name, fs::perms::owner_read | fs::perms::owner_write);
    };
    put("game.exe", "MZ\x90");
    put("script", "#!/bin/sh\necho run\n");
    put("binary", std::string("\x7f" "ELF\x02\x01\x01", 7));
    for (const char* name : {"Game.exe", "script", "binary"}) {
        SCOPED_TRACE(name);
        INT_PTR result = 0;
        const std::string err = CaptureStderr(folder / "err", [&] { result = Open(name); }, 1);
        EXPECT_EQ(result, SE_ERR_ACCESSDENIED);
        EXPECT_NE(err.find("is not executable"), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
    EXPECT_FALSE(fs::exists(Log()));  // none of them went to xdg-open
    EXPECT_GT(Open("notes.txt"), 32);  // a document still does
    EXPECT_TRUE(WaitFor(Log(), 1));
}

}  // namespace
