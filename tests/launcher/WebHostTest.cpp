#include "LauncherFixture.h"

#include <functional>

namespace {

// A host in a real window: a one-control dialog whose control is the host window.
class WebHostTest : public LauncherFixture {
protected:
    static constexpr WORD kTemplate = 4242;
    static constexpr int kArea = 7;

    void InWindow(const std::function<void(HWND)>& body) {
        DialogTemplate t;
        t.Style = WS_POPUP | DS_SETFONT;
        t.FaceName = "MS Sans Serif";
        t.PointSize = 8;
        t.Width = 200;
        t.Height = 100;
        t.Items.push_back({kArea, "Static", "", 4, 4, 100, 40, WS_CHILD | WS_VISIBLE});
        WindowSystem::RegisterDialogTemplate(GetModuleHandleA(nullptr), kTemplate, t);
        dialog.Check([&](HWND d) {
            OleInitialize(nullptr);
            body(GetDlgItem(d, kArea));
            OleUninitialize();
        });
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kTemplate), nullptr,
                        [](HWND d, UINT m, WPARAM, LPARAM) -> INT_PTR {
                            if (m == WM_CLOSE) {
                                EndDialog(d, 0);
                            }
                            return 0;
                        },
                        0);
    }
};

// Counts its own deletion, to see the last Release delete the host.
class CountedHost : public CPWebHost {
public:
    explicit CountedHost(int& deleted) : deleted(deleted) {}
    ~CountedHost() override { ++deleted; }

private:
    int& deleted;
};

TEST_F(WebHostTest, CountStartsAtOneAndTheLastReleaseDeletes) {
    int deleted = 0;
    CPWebHost* host = new CountedHost(deleted);
    EXPECT_EQ(host->GetRefCount(), 1);
    EXPECT_EQ(host->AddRef(), 2);
    EXPECT_EQ(host->Release(), 1);
    EXPECT_EQ(deleted, 0);
    // The sub-objects count nothing.
    EXPECT_EQ(host->GetClientSite()->AddRef(), 1u);
    EXPECT_EQ(host->GetInPlaceSite()->Release(), 1u);
    EXPECT_EQ(host->GetStorage()->AddRef(), 1u);
    EXPECT_EQ(host->GetInPlaceFrame()->Release(), 1u);
    EXPECT_EQ(host->GetRefCount(), 1);
    EXPECT_EQ(host->Release(), 0);
    EXPECT_EQ(deleted, 1);
}

TEST_F(WebHostTest, ContainerQueryInterfaceTable) {
    CPWebHost host;
    IUnknown* clientSite = host.GetClientSite();
    IUnknown* inPlaceSite = host.GetInPlaceSite();
    IUnknown* storage = host.GetStorage();
    IUnknown* frame = host.GetInPlaceFrame();
    struct Row {
        IUnknown* Asked;
        const char* AskedName;
        IID Iid;
        HRESULT Result;
        void* Answer;
    };
    const Row rows[] = {
        {clientSite, "client site", IID_IUnknown, S_OK, clientSite},
        {clientSite, "client site", IID_IOleClientSite, S_OK, clientSite},
        {clientSite, "client site", IID_IOleInPlaceSite, S_OK, inPlaceSite},
        {clientSite, "client site", IID_IOleWindow, E_NOINTERFACE, nullptr},
        {clientSite, "client site", IID_IOleObject, E_NOINTERFACE, nullptr},
        {clientSite, "client site", IID_IStorage, E_NOINTERFACE, nullptr},
        {inPlaceSite, "in-place site", IID_IUnknown, S_OK, clientSite},
        {inPlaceSite, "in-place site", IID_IOleClientSite, S_OK, clientSite},
        {inPlaceSite, "in-place site", IID_IOleInPlaceSite, S_OK, inPlaceSite},
        {inPlaceSite, "in-place site", IID_IOleInPlaceFrame, E_NOINTERFACE, nullptr},
        {storage, "storage", IID_IUnknown, E_NOTIMPL, nullptr},
        {storage, "storage", IID_IStorage, E_NOTIMPL, nullptr},
        {frame, "frame", IID_IUnknown, E_NOTIMPL, nullptr},
        {frame, "frame", IID_IOleInPlaceFrame, E_NOTIMPL, nullptr},
    };
    int marker = 0;
    for (const Row& row : rows) {
        void* out = &marker;  // must be overwritten, with null on refusal
        EXPECT_EQ(row.Asked->QueryInterface(row.Iid, &out), row.Result) << row.AskedName;
        EXPECT_EQ(out, row.Answer) << row.AskedName;
    }
    EXPECT_EQ(clientSite->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(WebHostTest, ContainerMethodsAnswerWithFixedResults) {
    CPWebHost host;
    IStorage* storage = host.GetStorage();
    IOleClientSite* site = host.GetClientSite();
    IOleInPlaceSite* inPlace = host.GetInPlaceSite();
    IOleInPlaceFrame* frame = host.GetInPlaceFrame();
    IOleContainer* container = reinterpret_cast<IOleContainer*>(&host);
    RECT rect;
    struct Row {
        const char* Name;
        std::function<HRESULT()> Call;
        HRESULT Result;
    };
    const Row rows[] = {
        {"CreateStream", [&] { return storage->CreateStream(nullptr, 0, 0, 0, nullptr); }, E_NOTIMPL},
        {"OpenStream", [&] { return storage->OpenStream(nullptr, nullptr, 0, 0, nullptr); }, E_NOTIMPL},
        {"CreateStorage", [&] { return storage->CreateStorage(nullptr, 0, 0, 0, nullptr); }, E_NOTIMPL},
        {"OpenStorage", [&] { return storage->OpenStorage(nullptr, nullptr, 0, nullptr, 0, nullptr); }, E_NOTIMPL},
        {"CopyTo", [&] { return storage->CopyTo(0, nullptr, nullptr, nullptr); }, E_NOTIMPL},
        {"MoveElementTo", [&] { return storage->MoveElementTo(nullptr, nullptr, nullptr, 0); }, E_NOTIMPL},
        {"Commit", [&] { return storage->Commit(0); }, E_NOTIMPL},
        {"Revert", [&] { return storage->Revert(); }, E_NOTIMPL},
        {"EnumElements", [&] { return storage->EnumElements(0, nullptr, 0, nullptr); }, E_NOTIMPL},
        {"DestroyElement", [&] { return storage->DestroyElement(nullptr); }, E_NOTIMPL},
        {"RenameElement", [&] { return storage->RenameElement(nullptr, nullptr); }, E_NOTIMPL},
        {"SetElementTimes", [&] { return storage->SetElementTimes(nullptr, nullptr, nullptr, nullptr); }, E_NOTIMPL},
        {"SetClass", [&] { return storage->SetClass(CLSID_WebBrowser); }, S_OK},
        {"SetStateBits", [&] { return storage->SetStateBits(0, 0); }, E_NOTIMPL},
        {"Stat", [&] { return storage->Stat(nullptr, 0); }, E_NOTIMPL},
        {"SaveObject", [&] { return site->SaveObject(); }, E_NOTIMPL},
        {"GetMoniker", [&] { return site->GetMoniker(0, 0, nullptr); }, E_NOTIMPL},
        {"GetContainer", [&] { return site->GetContainer(&container); }, E_NOINTERFACE},
        {"ShowObject", [&] { return site->ShowObject(); }, S_OK},
        {"OnShowWindow", [&] { return site->OnShowWindow(TRUE); }, E_NOTIMPL},
        {"RequestNewObjectLayout", [&] { return site->RequestNewObjectLayout(); }, E_NOTIMPL},
        {"ContextSensitiveHelp", [&] { return inPlace->ContextSensitiveHelp(TRUE); }, E_NOTIMPL},
        {"CanInPlaceActivate", [&] { return inPlace->CanInPlaceActivate(); }, S_OK},
        {"OnInPlaceActivate", [&] { return inPlace->OnInPlaceActivate(); }, S_OK},
        {"OnUIActivate", [&] { return inPlace->OnUIActivate(); }, S_OK},
        {"Scroll", [&] { return inPlace->Scroll(SIZE{1, 1}); }, E_NOTIMPL},
        {"OnUIDeactivate", [&] { return inPlace->OnUIDeactivate(FALSE); }, S_OK},
        {"OnInPlaceDeactivate", [&] { return inPlace->OnInPlaceDeactivate(); }, S_OK},
        {"DiscardUndoState", [&] { return inPlace->DiscardUndoState(); }, E_NOTIMPL},
        {"DeactivateAndUndo", [&] { return inPlace->DeactivateAndUndo(); }, E_NOTIMPL},
        {"OnPosRectChange", [&] { return inPlace->OnPosRectChange(&rect); }, S_OK},
        {"frame ContextSensitiveHelp", [&] { return frame->ContextSensitiveHelp(FALSE); }, E_NOTIMPL},
        {"GetBorder", [&] { return frame->GetBorder(&rect); }, E_NOTIMPL},
        {"RequestBorderSpace", [&] { return frame->RequestBorderSpace(&rect); }, E_NOTIMPL},
        {"SetBorderSpace", [&] { return frame->SetBorderSpace(&rect); }, E_NOTIMPL},
        {"SetActiveObject", [&] { return frame->SetActiveObject(nullptr, nullptr); }, S_OK},
        {"InsertMenus", [&] { return frame->InsertMenus(nullptr, nullptr); }, E_NOTIMPL},
        {"SetMenu", [&] { return frame->SetMenu(nullptr, nullptr, nullptr); }, S_OK},
        {"RemoveMenus", [&] { return frame->RemoveMenus(nullptr); }, E_NOTIMPL},
        {"SetStatusText", [&] { return frame->SetStatusText(nullptr); }, S_OK},
        {"EnableModeless", [&] { return frame->EnableModeless(TRUE); }, S_OK},
        {"TranslateAccelerator", [&] { return frame->TranslateAccelerator(nullptr, 0); }, E_NOTIMPL},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.Call(), row.Result) << row.Name;
    }
    EXPECT_EQ(container, nullptr);
}

TEST_F(WebHostTest, WindowContextDescribesTheHostWindow) {
    InWindow([&](HWND area) {
        CPWebHost* host = new CPWebHost;
        host->Create(area);
        RECT client;
        GetClientRect(area, &client);
        EXPECT_EQ(client, (RECT{0, 0, 150, 65}));

        IOleInPlaceFrame* frame = nullptr;
        IOleInPlaceUIWindow* document = reinterpret_cast<IOleInPlaceUIWindow*>(host);
        RECT position{9, 9, 9, 9}, clip{9, 9, 9, 9};
        OLEINPLACEFRAMEINFO info;
        info.cb = 0x1234;
        info.fMDIApp = TRUE;
        EXPECT_EQ(host->GetInPlaceSite()->GetWindowContext(&frame, &document, &position, &clip, &info), S_OK);
        EXPECT_EQ(frame, host->GetInPlaceFrame());
        EXPECT_EQ(document, nullptr);
        EXPECT_EQ(position, client);
        EXPECT_EQ(clip, client);
        EXPECT_EQ(info.cb, 0x1234u);
        EXPECT_EQ(info.fMDIApp, FALSE);
        EXPECT_EQ(info.hwndFrame, area);
        EXPECT_EQ(info.haccel, nullptr);
        EXPECT_EQ(info.cAccelEntries, 0u);
        HWND window = nullptr;
        EXPECT_EQ(host->GetInPlaceSite()->GetWindow(&window), S_OK);
        EXPECT_EQ(window, area);
        EXPECT_EQ(host->GetInPlaceFrame()->GetWindow(&window), S_OK);
        EXPECT_EQ(window, area);

        // What the browser was handed when it activated.
        const auto browser = WebBrowserStandIn::Last();
        ASSERT_NE(browser, nullptr);
        EXPECT_EQ(browser->WindowContextResult, S_OK);
        EXPECT_EQ(browser->Frame, host->GetInPlaceFrame());
        EXPECT_EQ(browser->Document, nullptr);
        EXPECT_EQ(browser->FrameInfo.cb, sizeof(OLEINPLACEFRAMEINFO));
        EXPECT_EQ(browser->FrameInfo.hwndFrame, area);
        EXPECT_EQ(browser->Width, 150);
        EXPECT_EQ(browser->Height, 65);

        host->CloseBrowser();
        EXPECT_EQ(WindowSystem::ContentText(area), "");  // a closed browser shows nothing
        host->Release();
    });
}

TEST_F(WebHostTest, MessageCodesAndNoSecondCloseAfterTheOwner) {
    InWindow([&](HWND area) {
        CPWebHost* host = new CPWebHost;
        host->Create(area);
        const auto browser = WebBrowserStandIn::Last();
        EXPECT_EQ(host->OnMessage(0, 0, 0, 0), 0);
        EXPECT_EQ(host->OnMessage(3, 1, 2, 3), 0);
        EXPECT_FALSE(WindowSystem::QuitPosted());

        // The owner closes first; code 2 then neither closes nor releases again.
        host->CloseBrowser();
        EXPECT_EQ(browser->Closes, 1);
        EXPECT_TRUE(browser->Destroyed);
        EXPECT_EQ(host->OnMessage(2, 0, 0, 0), 1);
        EXPECT_EQ(browser->Closes, 1);
        EXPECT_TRUE(WindowSystem::QuitPosted());
        EXPECT_EQ(WindowSystem::QuitCode(), 0);

        // Code 1 makes a browser with no window; code 2 closes and releases it.
        EXPECT_EQ(host->OnMessage(1, 0, 0, 0), 1);
        const auto second = WebBrowserStandIn::Last();
        ASSERT_NE(second, browser);
        EXPECT_EQ(host->GetHostWindow(), nullptr);
        EXPECT_EQ(host->OnMessage(2, 0, 0, 0), 1);
        EXPECT_EQ(second->Closes, 1);
        EXPECT_TRUE(second->Destroyed);
        EXPECT_EQ(host->GetBrowser(), nullptr);
        host->Release();
    });
    WindowSystem::ClearQuit();
}

TEST_F(WebHostTest, SecondCreateDoesNotLoseTheFirstBrowser) {
    InWindow([&](HWND area) {
        CPWebHost* host = new CPWebHost;
        host->Create(area);
        const auto first = WebBrowserStandIn::Last();
        host->Create(area);
        EXPECT_TRUE(first->Destroyed);
        EXPECT_EQ(WebBrowserStandIn::Records().size(), 2u);
        host->CloseBrowser();
        EXPECT_TRUE(WebBrowserStandIn::Last()->Destroyed);
        host->Release();
    });
}

// Without a browser, or without its IWebBrowser2, every step that needs it is skipped and
// the launcher still hands off to the statistics page.
struct MissingCase {
    const char* Name;
    std::function<void()> Arrange;
    bool BrowserMade;
};

void PrintTo(const MissingCase& c, std::ostream* os) { *os << c.Name; }

class MissingBrowser : public LauncherFixture, public ::testing::WithParamInterface<MissingCase> {};

TEST_P(MissingBrowser, LauncherStillHandsOff) {
    GetParam().Arrange();
    dialog.Command(1002);
    EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT), 0);
    ASSERT_EQ(shell.Requests().size(), 1u);
    EXPECT_EQ(shell.Requests()[0].File, std::optional<std::string>(PublisherSite::StatisticsPage()));
    EXPECT_EQ(StartPageAddress, PublisherSite::StartPage());
    if (GetParam().BrowserMade) {
        const auto browser = WebBrowserStandIn::Last();
        ASSERT_NE(browser, nullptr);
        // Shown in place (that needs no IWebBrowser2) and taken down again at the close.
        EXPECT_TRUE(browser->GotInPlaceSite);
        EXPECT_FALSE(browser->InPlaceActive);
        EXPECT_EQ(browser->Navigations, 0);
        EXPECT_EQ(browser->Width, 0);
        EXPECT_EQ(browser->Closes, 1);
        EXPECT_TRUE(browser->Destroyed);
    } else {
        EXPECT_TRUE(WebBrowserStandIn::Records().empty());
    }
    WebBrowserStandIn::SetInstalled(true);
}

INSTANTIATE_TEST_SUITE_P(
    WebHost, MissingBrowser,
    ::testing::Values(MissingCase{"OleCreateFails", [] { OleRuntime::FailNextCreate(E_OUTOFMEMORY); }, false},
                      MissingCase{"ControlNotInstalled", [] { WebBrowserStandIn::SetInstalled(false); }, false},
                      MissingCase{"NoWebBrowser2",
                                  [] { WebBrowserStandIn::FailQueryInterface(IID_IWebBrowser2, E_NOINTERFACE); },
                                  true}),
    [](const ::testing::TestParamInfo<MissingCase>& info) { return info.param.Name; });

}  // namespace
