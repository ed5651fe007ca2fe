// The minimal OLE container that shows the publisher's start page inside a window.
//
// CPWebHost embeds the web-browser control, activates it in place over its window's client
// area and navigates it. It offers the control only what in-place activation needs: a
// storage, a client site, an in-place site and an in-place frame, all answering with fixed
// results. The four sub-objects do not count references (their AddRef and Release return
// 1); the host's lifetime is its own count, which starts at 1 and deletes the host at 0.
// It listens to no browser events and offers no user-interface customisation.
#pragma once

#include "platform/ui/Ole.h"

#include <cstdint>
#include <string>

class CPWebHostBase {
public:
    CPWebHostBase() = default;
    virtual ~CPWebHostBase() = default;
    CPWebHostBase(const CPWebHostBase&) = delete;
    CPWebHostBase& operator=(const CPWebHostBase&) = delete;

    virtual int AddRef();
    // Deletes the object when the count reaches 0 (and returns 0).
    virtual int Release();

    int32_t GetRefCount() const { return RefCount; }
    HWND GetHostWindow() const { return HostWindow; }

protected:
    HWND HostWindow = nullptr;
    int32_t RefCount = 1;
};

class CPWebHost : public CPWebHostBase {
public:
    CPWebHost();
    // Releases nothing: the owner closes and releases the browser first.
    ~CPWebHost() override = default;

    // Creates the browser in the window, shows it over the client area and navigates it to
    // the start page. Steps that would use a browser that could not be made are skipped.
    void Create(HWND window);
    // 1: Create with no window; 2: close and release the browser, post the quit message.
    // Returns 1 for those, 0 otherwise. The other arguments are not used.
    virtual int OnMessage(uint32_t code, uintptr_t argument1, uintptr_t argument2, uintptr_t argument3);

    // Closes the browser without saving and releases it. Does nothing once done (or when no
    // browser was made), so the browser is never closed or released twice.
    void CloseBrowser();

    IStorage* GetStorage() { return &Storage; }
    IOleClientSite* GetClientSite() { return &ClientSite; }
    IOleInPlaceSite* GetInPlaceSite() { return &InPlaceSite; }
    IOleInPlaceFrame* GetInPlaceFrame() { return &InPlaceFrame; }
    // The browser's IOleObject, null when none was made or after CloseBrowser.
    IOleObject* GetBrowser() const { return Browser; }

    // The host of the start window, set by its dialog procedure.
    static CPWebHost* Instance;

private:
    class StorageImpl final : public IStorage {
    public:
        HRESULT QueryInterface(REFIID iid, void** object) override;
        ULONG AddRef() override { return 1; }
        ULONG Release() override { return 1; }
        HRESULT CreateStream(const OLECHAR*, DWORD, DWORD, DWORD, IStream**) override;
        HRESULT OpenStream(const OLECHAR*, void*, DWORD, DWORD, IStream**) override;
        HRESULT CreateStorage(const OLECHAR*, DWORD, DWORD, DWORD, IStorage**) override;
        HRESULT OpenStorage(const OLECHAR*, IStorage*, DWORD, SNB, DWORD, IStorage**) override;
        HRESULT CopyTo(DWORD, const IID*, SNB, IStorage*) override;
        HRESULT MoveElementTo(const OLECHAR*, IStorage*, const OLECHAR*, DWORD) override;
        HRESULT Commit(DWORD) override;
        HRESULT Revert() override;
        HRESULT EnumElements(DWORD, void*, DWORD, IEnumSTATSTG**) override;
        HRESULT DestroyElement(const OLECHAR*) override;
        HRESULT RenameElement(const OLECHAR*, const OLECHAR*) override;
        HRESULT SetElementTimes(const OLECHAR*, const FILETIME*, const FILETIME*, const FILETIME*) override;
        HRESULT SetClass(REFCLSID) override;
        HRESULT SetStateBits(DWORD, DWORD) override;
        HRESULT Stat(STATSTG*, DWORD) override;
    };

    class ClientSiteImpl final : public IOleClientSite {
    public:
        explicit ClientSiteImpl(CPWebHost* host) : Host(host) {}
        HRESULT QueryInterface(REFIID iid, void** object) override;
        ULONG AddRef() override { return 1; }
        ULONG Release() override { return 1; }
        HRESULT SaveObject() override;
        HRESULT GetMoniker(DWORD, DWORD, IMoniker**) override;
        HRESULT GetContainer(IOleContainer** container) override;
        HRESULT ShowObject() override;
        HRESULT OnShowWindow(BOOL) override;
        HRESULT RequestNewObjectLayout() override;

        CPWebHost* Host;
    };

    class InPlaceSiteImpl final : public IOleInPlaceSite {
    public:
        explicit InPlaceSiteImpl(CPWebHost* host) : Host(host) {}
        HRESULT QueryInterface(REFIID iid, void** object) override;
        ULONG AddRef() override { return 1; }
        ULONG Release() override { return 1; }
        HRESULT GetWindow(HWND* window) override;
        HRESULT ContextSensitiveHelp(BOOL) override;
        HRESULT CanInPlaceActivate() override;
        HRESULT OnInPlaceActivate() override;
        HRESULT OnUIActivate() override;
        HRESULT GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position,
                                 RECT* clip, OLEINPLACEFRAMEINFO* frameInfo) override;
        HRESULT Scroll(SIZE) override;
        HRESULT OnUIDeactivate(BOOL) override;
        HRESULT OnInPlaceDeactivate() override;
        HRESULT DiscardUndoState() override;
        HRESULT DeactivateAndUndo() override;
        HRESULT OnPosRectChange(const RECT*) override;

        CPWebHost* Host;
    };

    class InPlaceFrameImpl final : public IOleInPlaceFrame {
    public:
        explicit InPlaceFrameImpl(CPWebHost* host) : Host(host) {}
        HRESULT QueryInterface(REFIID iid, void** object) override;
        ULONG AddRef() override { return 1; }
        ULONG Release() override { return 1; }
        HRESULT GetWindow(HWND* window) override;
        HRESULT ContextSensitiveHelp(BOOL) override;
        HRESULT GetBorder(RECT*) override;
        HRESULT RequestBorderSpace(const BORDERWIDTHS*) override;
        HRESULT SetBorderSpace(const BORDERWIDTHS*) override;
        HRESULT SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override;
        HRESULT InsertMenus(HMENU, OLEMENUGROUPWIDTHS*) override;
        HRESULT SetMenu(HMENU, HOLEMENU, HWND) override;
        HRESULT RemoveMenus(HMENU) override;
        HRESULT SetStatusText(LPCOLESTR) override;
        HRESULT EnableModeless(BOOL) override;
        HRESULT TranslateAccelerator(MSG*, WORD) override;

        CPWebHost* Host;
    };

    // The client site and the in-place site answer QueryInterface alike.
    HRESULT QuerySite(REFIID iid, void** object);

    StorageImpl Storage;
    ClientSiteImpl ClientSite;
    InPlaceSiteImpl InPlaceSite;
    InPlaceFrameImpl InPlaceFrame;
    IOleObject* Browser = nullptr;
};

// The address of the start page, set when the host navigates; kept for the process's life.
extern std::string StartPageAddress;
