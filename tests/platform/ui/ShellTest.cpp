#include "platform/ui/Shell.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WaitFor(const fs::path& path, size_t lines) {
    for (int i = 0; i < 500; ++i) {
        const std::string text = ReadAll(path);
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
        folder = fs::temp_directory_path() /
                 ("shell_" + std::to_string(getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder / "bin");
        fs::create_directories(folder / "work");
        Script(folder / "Program.sh", "pwd > '" + Log() + "'; echo \"$@\" >> '" + Log() + "'");
        Script(folder / "bin" / "xdg-open", "echo \"$@\" >> '" + Log() + "'");
        std::ofstream(folder / "notes.txt") << "text\n";
        const char* path = std::getenv("PATH");
        savedPath = path != nullptr ? path : "";
        previousFolder = fs::current_path();
        fs::current_path(folder);
    }

    void TearDown() override {
        setenv("PATH", savedPath.c_str(), 1);
        fs::current_path(previousFolder);
        fs::remove_all(folder);
    }

    static void Script(const fs::path& path, const std::string& body) {
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(path, fs::perms::owner_all);
    }

    std::string Log() const { return (folder / "log").string(); }

    INT_PTR Open(LPCSTR file, LPCSTR parameters = "", LPCSTR directory = "", LPCSTR verb = "open") {
        return reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, verb, file, parameters, directory, SW_SHOWNORMAL));
    }

    fs::path folder, previousFolder;
    std::string savedPath;
};

TEST_F(SystemShellTest, ProgramStartsDetachedWithItsArgumentsAndFolder) {
    // Any letter case finds the program; the child is reaped at once, so none is left over.
    EXPECT_GT(Open("program.SH", "one \"two three\"", "work"), 32);
    ASSERT_TRUE(WaitFor(Log(), 2));
    EXPECT_EQ(ReadAll(Log()), (folder / "work").string() + "\none two three\n");
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(SystemShellTest, DocumentsAndAddressesGoToXdgOpen) {
    setenv("PATH", (folder / "bin").string().c_str(), 1);
    EXPECT_GT(Open("NOTES.TXT"), 32);
    ASSERT_TRUE(WaitFor(Log(), 1));
    EXPECT_GT(Open("http://www.tarnwick.example/x.html"), 32);
    ASSERT_TRUE(WaitFor(Log(), 2));
    const std::string log = ReadAll(Log());
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

}  // namespace
