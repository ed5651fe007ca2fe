#include "tests/TestTempDir.h"
#include "LauncherFixture.h"

#include <cstdio>
#include <functional>

namespace {

const std::string kGame = "_Tarnwick.exe";

struct HandOffCase {
    const char* Name;
    std::function<void(ScriptedDialog&)> Script;
    std::string ExpectedFile;
    bool WindowMade;
};

void PrintTo(const HandOffCase& c, std::ostream* os) { *os << c.Name; }

class HandOff : public LauncherFixture, public ::testing::WithParamInterface<HandOffCase> {};

TEST_P(HandOff, DialogResultChoosesWhatTheShellOpens) {
    const HandOffCase& c = GetParam();
    c.Script(dialog);
    shell.SetResult(2);  // a failed hand-off changes nothing about the exit

    EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT), 0);

    ASSERT_EQ(shell.Requests().size(), 1u);
    const ShellRequest& r = shell.Requests()[0];
    EXPECT_EQ(r.Window, nullptr);
    EXPECT_EQ(r.Verb, std::optional<std::string>("open"));
    EXPECT_EQ(r.File, std::optional<std::string>(c.ExpectedFile));
    // Empty strings, not null pointers.
    EXPECT_EQ(r.Parameters, std::optional<std::string>(""));
    EXPECT_EQ(r.Directory, std::optional<std::string>(""));
    EXPECT_EQ(r.Show, SW_SHOWNORMAL);

    EXPECT_TRUE(ShuttingDown);
    EXPECT_EQ(CPLauncher::Instance, nullptr);
    if (c.WindowMade) {
        const auto browser = WebBrowserStandIn::Last();
        ASSERT_NE(browser, nullptr);
        EXPECT_EQ(browser->Closes, 1);
        EXPECT_EQ(browser->CloseOption, OLECLOSE_NOSAVE);
        EXPECT_TRUE(browser->Destroyed);
    } else {
        EXPECT_TRUE(WebBrowserStandIn::Records().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Launcher, HandOff,
    ::testing::Values(
        HandOffCase{"StartGame", [](ScriptedDialog& d) { d.Command(1000); }, kGame, true},
        HandOffCase{"Windowed", [](ScriptedDialog& d) { d.Command(1003); }, kGame, true},
        HandOffCase{"Fullscreen", [](ScriptedDialog& d) { d.Command(1004); }, kGame, true},
        HandOffCase{"Exit", [](ScriptedDialog& d) { d.Command(1002); }, PublisherSite::StatisticsPage(), true},
        HandOffCase{"CloseMessage", [](ScriptedDialog& d) { d.Message(WM_CLOSE); }, PublisherSite::StatisticsPage(),
                    true},
        HandOffCase{"EndOfInput", [](ScriptedDialog&) {}, PublisherSite::StatisticsPage(), true},
        HandOffCase{"WindowCannotBeMade", [](ScriptedDialog& d) { d.FailOpen(); }, PublisherSite::StatisticsPage(),
                    false}),
    [](const ::testing::TestParamInfo<HandOffCase>& info) { return info.param.Name; });

TEST_F(LauncherFixture, RunReturnsTheShellsResult) {
    for (INT_PTR result : {INT_PTR(42), SE_ERR_FNF, SE_ERR_NOASSOC}) {
        dialog.Command(1000);
        shell.SetResult(result);
        CPLauncher launcher;
        EXPECT_EQ(CPLauncher::Instance, &launcher);
        EXPECT_EQ(launcher.Run(GetModuleHandleA(nullptr), SW_SHOWDEFAULT), result);
        delete CPConfig::Instance;
    }
    EXPECT_EQ(CPLauncher::Instance, nullptr);
}

TEST_F(LauncherFixture, StartGameTraceFromComToCom) {
    dialog.Command(1000);
    WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
    const std::string page = PublisherSite::StartPage();
    const std::vector<std::string> expected = {
        "GetModuleHandleA null",  // the test's own argument
        "CoInitialize",
        "GetModuleHandleA null",
        "DialogBoxParamA 101",
        "SetWindowTextA Tarnwick",
        "GetWindowRect",
        "GetSystemMetrics 0",
        "GetSystemMetrics 1",
        "MoveWindow 178 114 667 540 1",
        "OleInitialize",
        "GetDlgItem 1026",
        "OleCreate 1",
        "IOleObject::SetHostNames Web Host, Web View",
        "OleSetContainedObject 1",
        "GetClientRect",
        "IOleObject::DoVerb -1",
        "GetClientRect",  // the browser asks for its window context
        "SysAllocString",
        "IWebBrowser2::put_Left 0",
        "IWebBrowser2::put_Top 0",
        "IWebBrowser2::put_Width 644",
        "IWebBrowser2::put_Height 484",
        "IWebBrowser2::Navigate2 " + page,
        "VariantClear",
        "SysFreeString",
        "WebBrowser::Release 1",
        "EndDialog 1000",
        "IOleObject::Close 1",
        "WebBrowser::Release 0",
        "OleUninitialize",
        "ShellExecuteA open _Tarnwick.exe",
        "CoUninitialize",
    };
    EXPECT_EQ(CallTrace::Calls(), expected);
}

TEST_F(LauncherFixture, SettingsAndReadmeKeepTheWindowAndOddCommandsDoNothing) {
    HWND seen = nullptr;
    dialog.Command(1001)
        .Command(1005)
        .Command(1001)
        .Command(1005)
        .Command(1001)
        .Command(IDCANCEL)                                        // Escape
        .Command(999)                                             // unknown ids
        .Command(1026)
        .Message(WM_COMMAND, MAKEWPARAM(1005, 0x1234), 0)         // only the low word counts
        .Message(0x0200, 1000, 0)                                 // other messages are ignored
        .Check([&](HWND d) { seen = d; EXPECT_TRUE(IsWindow(d)); })
        .Command(1002);
    WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);

    EXPECT_NE(seen, nullptr);
    std::vector<std::string> files;
    for (const ShellRequest& r : shell.Requests()) {
        files.push_back(r.File.value_or("(null)"));
        EXPECT_EQ(r.Parameters, std::optional<std::string>(""));
        EXPECT_EQ(r.Directory, std::optional<std::string>(""));
        EXPECT_EQ(r.Show, SW_SHOWNORMAL);
    }
    const std::vector<std::string> expected = {"settings.exe", "README.txt", "settings.exe", "README.txt",
                                               "settings.exe", "README.txt", PublisherSite::StatisticsPage()};
    EXPECT_EQ(files, expected);
    EXPECT_EQ(dialog.OpenCount(), 1);
}

struct CentreCase {
    int ScreenWidth, ScreenHeight;
    LONG Left, Top;
};

void PrintTo(const CentreCase& c, std::ostream* os) { *os << c.ScreenWidth << "x" << c.ScreenHeight; }

class Centring : public LauncherFixture, public ::testing::WithParamInterface<CentreCase> {};

TEST_P(Centring, WindowIsCentredWithTruncation) {
    const CentreCase& c = GetParam();
    WindowSystem::SetScreenSize(c.ScreenWidth, c.ScreenHeight);
    RECT frame;
    dialog.Check([&](HWND d) { GetWindowRect(d, &frame); }).Command(1002);
    WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
    // 443 x 331 dialog units at 6 x 13 pixels per 4 x 8 units, plus a one-pixel border.
    EXPECT_EQ(frame.left, c.Left);
    EXPECT_EQ(frame.top, c.Top);
    EXPECT_EQ(frame.right - frame.left, 667);
    EXPECT_EQ(frame.bottom - frame.top, 540);
}

INSTANTIATE_TEST_SUITE_P(Launcher, Centring,
                         ::testing::Values(CentreCase{1024, 768, 178, 114}, CentreCase{667, 540, 0, 0},
                                           CentreCase{400, 300, -133, -120}, CentreCase{0, 0, -333, -270}));

TEST_F(LauncherFixture, StartWindowShowsTheStartPageInItsBrowserArea) {
    std::string title, shown;
    HWND area = nullptr;
    RECT client;
    std::vector<HWND> children;
    dialog
        .Check([&](HWND d) {
            title = WindowSystem::WindowText(d);
            area = GetDlgItem(d, StartDialog::BrowserArea);
            GetClientRect(area, &client);
            shown = WindowSystem::ContentText(area);
            children = WindowSystem::Children(d);
        })
        .Command(1000);
    WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);

    EXPECT_EQ(title, "Tarnwick");
    EXPECT_EQ(shown, PublisherSite::StartPage());
    EXPECT_EQ(StartPageAddress, PublisherSite::StartPage());
    ASSERT_EQ(children.size(), 7u);

    const auto browser = WebBrowserStandIn::Last();
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->HostApplication, u"Web Host");
    EXPECT_EQ(browser->HostObject, u"Web View");
    EXPECT_EQ(browser->Contained, TRUE);
    EXPECT_EQ(browser->Verb, OLEIVERB_SHOW);
    EXPECT_EQ(browser->VerbParent, area);
    EXPECT_EQ(browser->Window, area);
    EXPECT_TRUE(browser->GotInPlaceSite);
    // The browser fills the browser area's client rectangle exactly.
    EXPECT_EQ(client, (RECT{0, 0, 644, 484}));
    EXPECT_EQ(browser->VerbRect, client);
    EXPECT_EQ(browser->Position, client);
    EXPECT_EQ(browser->Clip, client);
    EXPECT_EQ(browser->Left, 0);
    EXPECT_EQ(browser->Top, 0);
    EXPECT_EQ(browser->Width, 644);
    EXPECT_EQ(browser->Height, 484);
    EXPECT_EQ(browser->Navigations, 1);
    EXPECT_EQ(browser->NavigateArgumentTypes, (std::vector<VARTYPE>{VT_EMPTY, VT_EMPTY, VT_EMPTY, VT_EMPTY}));
}

TEST_F(LauncherFixture, ConfigurationIsReadFromTheCurrentFolderOrLeftAtDefaults) {
    const ScratchFolder folder("launcher_cfg");

    // No file: defaults, and the window still opens and hands off.
    dialog.Command(1002);
    WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
    EXPECT_EQ(Cfg::screenWidth, 640);
    EXPECT_EQ(dialog.OpenCount(), 1);
    EXPECT_EQ(shell.Requests().size(), 1u);
    delete CPConfig::Instance;

    folder.Write("config.cfg", "screenWidth=1280\n+fullScreen\nsoundVolume=0.25\n");
    dialog.Command(1000);
    WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
    EXPECT_EQ(Cfg::screenWidth, 1280);
    EXPECT_EQ(Cfg::fullScreen, 1);
    EXPECT_FLOAT_EQ(Cfg::soundVolume, 0.25f);
    EXPECT_NE(CPConfig::Instance, nullptr);  // the launcher keeps its registry
}

}  // namespace
