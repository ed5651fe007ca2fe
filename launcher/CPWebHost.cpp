#include "launcher/CPWebHost.h"

#include "launcher/PublisherSite.h"
#include "platform/win32/TextCodec.h"
#include "platform/ui/WebBrowser.h"

#include <vector>

CPWebHost* CPWebHost::Instance = nullptr;
std::string StartPageAddress;

namespace {

// Container names the browser is told, UTF-16 with terminator.
constexpr OLECHAR kApplicationName[] = {'W', 'e', 'b', ' ', 'H', 'o', 's', 't', 0};
constexpr OLECHAR kObjectName[] = {'W', 'e', 'b', ' ', 'V', 'i', 'e', 'w', 0};

// COM's rule for a refused QueryInterface: the out pointer is null.
HRESULT Refuse(void** object, HRESULT result) {
    if (object != nullptr) {
        *object = nullptr;
    }
    return result;
}

}  // namespace

int CPWebHostBase::AddRef() { return ++RefCount; }

int CPWebHostBase::Release() {
    if (--RefCount == 0) {
        delete this;
        return 0;
    }
    return RefCount;
}

CPWebHost::CPWebHost() : ClientSite(this), InPlaceSite(this), InPlaceFrame(this) {}

void CPWebHost::Create(HWND window) {
    // A second Create must not lose the first browser.
    CloseBrowser();
    HostWindow = window;
    OleCreate(CLSID_WebBrowser, IID_IOleObject, OLERENDER_DRAW, nullptr, &ClientSite, &Storage,
              reinterpret_cast<void**>(&Browser));
    // The page's address is the start window's whether or not a browser shows it.
    StartPageAddress = PublisherSite::StartPage();
    if (Browser == nullptr) {
        return;  // no control: the area stays empty
    }
    Browser->SetHostNames(kApplicationName, kObjectName);
    OleSetContainedObject(Browser, TRUE);
    RECT area;
    GetClientRect(HostWindow, &area);
    Browser->DoVerb(OLEIVERB_SHOW, nullptr, &ClientSite, -1, HostWindow, &area);

    IWebBrowser2* web = nullptr;
    Browser->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&web));
    if (web == nullptr) {
        return;  // shown, but cannot be positioned or navigated
    }
    // The address as a BSTR: ANSI code page, terminator included.
    const int units = static_cast<int>(StartPageAddress.size()) + 1;
    std::vector<WCHAR> wide(static_cast<size_t>(units), 0);
    MultiByteToWideChar(CP_ACP, 1 /* MB_PRECOMPOSED */, StartPageAddress.c_str(), -1, wide.data(), units);
    VARIANT address;
    address.vt = VT_BSTR;
    address.bstrVal = SysAllocString(wide.data());
    VARIANT flags, targetFrame, postData, headers;  // VT_EMPTY

    // The client rectangle's origin is 0, 0, so its right and bottom are its size.
    web->put_Left(0);
    web->put_Top(0);
    web->put_Width(area.right);
    web->put_Height(area.bottom);
    web->Navigate2(&address, &flags, &targetFrame, &postData, &headers);
    VariantClear(&address);
    web->Release();
}

int CPWebHost::OnMessage(uint32_t code, uintptr_t, uintptr_t, uintptr_t) {
    switch (code) {
        case 1:
            Create(nullptr);
            return 1;
        case 2:
            CloseBrowser();
            PostQuitMessage(0);
            return 1;
        default: return 0;
    }
}

void CPWebHost::CloseBrowser() {
    if (Browser == nullptr) {
        return;
    }
    Browser->Close(OLECLOSE_NOSAVE);
    Browser->Release();
    Browser = nullptr;
}

HRESULT CPWebHost::QuerySite(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
        *object = static_cast<IOleClientSite*>(&ClientSite);
        return S_OK;
    }
    if (iid == IID_IOleInPlaceSite) {
        *object = static_cast<IOleInPlaceSite*>(&InPlaceSite);
        return S_OK;
    }
    return Refuse(object, E_NOINTERFACE);
}

// Storage: only SetClass succeeds; the control needs no persistent storage.

HRESULT CPWebHost::StorageImpl::QueryInterface(REFIID, void** object) { return Refuse(object, E_NOTIMPL); }
HRESULT CPWebHost::StorageImpl::CreateStream(const OLECHAR*, DWORD, DWORD, DWORD, IStream**) { return E_NOTIMPL; }
HRESULT CPWebHost::StorageImpl::OpenStream(const OLECHAR*, void*, DWORD, DWORD, IStream**) { return E_NOTIMPL; }
HRESULT CPWebHost::StorageImpl::CreateStorage(const OLECHAR*, DWORD, DWORD, DWORD, IStorage**) { return E_NOTIMPL; }
HRESULT CPWebHost::StorageImpl::OpenStorage(const OLECHAR*, IStorage*, DWORD, SNB, DWORD, IStorage**) {
    return E_NOTIMPL;
}
HRESULT CPWebHost::StorageImpl::CopyTo(DWORD, const IID*, SNB, IStorage*) { return E_NOTIMPL; }
HRESULT CPWebHost::StorageImpl::MoveElementTo(const OLECHAR*, IStorage*, const OLECHAR*, DWORD) { return E_NOTIMPL; }
HRESULT CPWebHost::StorageImpl::Commit(DWORD) { return E_NOTIMPL; }
HRESULT CPWebHost::StorageImpl::Revert() { return E_NOTIMPL; }
HRESULT CPWebHost::StorageImpl::EnumElements(DWORD, void*, DWORD, IEnumSTATSTG**) { return E_NOTIMPL; }
HRESULT CPWebHost::StorageImpl::DestroyElement(const OLECHAR*) { return E_NOTIMPL; }
HRESULT CPWebHost::StorageImpl::RenameElement(const OLECHAR*, const OLECHAR*) { return E_NOTIMPL; }
HRESULT CPWebHost::StorageImpl::SetElementTimes(const OLECHAR*, const FILETIME*, const FILETIME*, const FILETIME*) {
    return E_NOTIMPL;
}
HRESULT CPWebHost::StorageImpl::SetClass(REFCLSID) { return S_OK; }
HRESULT CPWebHost::StorageImpl::SetStateBits(DWORD, DWORD) { return E_NOTIMPL; }
HRESULT CPWebHost::StorageImpl::Stat(STATSTG*, DWORD) { return E_NOTIMPL; }

// Client site.

HRESULT CPWebHost::ClientSiteImpl::QueryInterface(REFIID iid, void** object) { return Host->QuerySite(iid, object); }
HRESULT CPWebHost::ClientSiteImpl::SaveObject() { return E_NOTIMPL; }
HRESULT CPWebHost::ClientSiteImpl::GetMoniker(DWORD, DWORD, IMoniker**) { return E_NOTIMPL; }
HRESULT CPWebHost::ClientSiteImpl::GetContainer(IOleContainer** container) {
    if (container != nullptr) {
        *container = nullptr;
    }
    return E_NOINTERFACE;
}
HRESULT CPWebHost::ClientSiteImpl::ShowObject() { return S_OK; }
HRESULT CPWebHost::ClientSiteImpl::OnShowWindow(BOOL) { return E_NOTIMPL; }
HRESULT CPWebHost::ClientSiteImpl::RequestNewObjectLayout() { return E_NOTIMPL; }

// In-place site: the control lives in the host window, over its whole client area.

HRESULT CPWebHost::InPlaceSiteImpl::QueryInterface(REFIID iid, void** object) { return Host->QuerySite(iid, object); }
HRESULT CPWebHost::InPlaceSiteImpl::GetWindow(HWND* window) {
    if (window == nullptr) {
        return E_POINTER;
    }
    *window = Host->HostWindow;
    return S_OK;
}
HRESULT CPWebHost::InPlaceSiteImpl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }
HRESULT CPWebHost::InPlaceSiteImpl::CanInPlaceActivate() { return S_OK; }
HRESULT CPWebHost::InPlaceSiteImpl::OnInPlaceActivate() { return S_OK; }
HRESULT CPWebHost::InPlaceSiteImpl::OnUIActivate() { return S_OK; }
HRESULT CPWebHost::InPlaceSiteImpl::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                                     RECT* position, RECT* clip, OLEINPLACEFRAMEINFO* frameInfo) {
    if (frame == nullptr || document == nullptr || position == nullptr || clip == nullptr || frameInfo == nullptr) {
        return E_POINTER;
    }
    *frame = &Host->InPlaceFrame;
    *document = nullptr;
    GetClientRect(Host->HostWindow, position);
    *clip = *position;
    // cb stays as the caller set it.
    frameInfo->fMDIApp = FALSE;
    frameInfo->hwndFrame = Host->HostWindow;
    frameInfo->haccel = nullptr;
    frameInfo->cAccelEntries = 0;
    return S_OK;
}
HRESULT CPWebHost::InPlaceSiteImpl::Scroll(SIZE) { return E_NOTIMPL; }
HRESULT CPWebHost::InPlaceSiteImpl::OnUIDeactivate(BOOL) { return S_OK; }
HRESULT CPWebHost::InPlaceSiteImpl::OnInPlaceDeactivate() { return S_OK; }
HRESULT CPWebHost::InPlaceSiteImpl::DiscardUndoState() { return E_NOTIMPL; }
HRESULT CPWebHost::InPlaceSiteImpl::DeactivateAndUndo() { return E_NOTIMPL; }
// The control keeps the rectangle it was first given.
HRESULT CPWebHost::InPlaceSiteImpl::OnPosRectChange(const RECT*) { return S_OK; }

// In-place frame: no menus, no border space, no accelerators.

HRESULT CPWebHost::InPlaceFrameImpl::QueryInterface(REFIID, void** object) { return Refuse(object, E_NOTIMPL); }
HRESULT CPWebHost::InPlaceFrameImpl::GetWindow(HWND* window) {
    if (window == nullptr) {
        return E_POINTER;
    }
    *window = Host->HostWindow;
    return S_OK;
}
HRESULT CPWebHost::InPlaceFrameImpl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }
HRESULT CPWebHost::InPlaceFrameImpl::GetBorder(RECT*) { return E_NOTIMPL; }
HRESULT CPWebHost::InPlaceFrameImpl::RequestBorderSpace(const BORDERWIDTHS*) { return E_NOTIMPL; }
HRESULT CPWebHost::InPlaceFrameImpl::SetBorderSpace(const BORDERWIDTHS*) { return E_NOTIMPL; }
HRESULT CPWebHost::InPlaceFrameImpl::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) { return S_OK; }
HRESULT CPWebHost::InPlaceFrameImpl::InsertMenus(HMENU, OLEMENUGROUPWIDTHS*) { return E_NOTIMPL; }
HRESULT CPWebHost::InPlaceFrameImpl::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }
HRESULT CPWebHost::InPlaceFrameImpl::RemoveMenus(HMENU) { return E_NOTIMPL; }
HRESULT CPWebHost::InPlaceFrameImpl::SetStatusText(LPCOLESTR) { return S_OK; }
HRESULT CPWebHost::InPlaceFrameImpl::EnableModeless(BOOL) { return S_OK; }
HRESULT CPWebHost::InPlaceFrameImpl::TranslateAccelerator(MSG*, WORD) { return E_NOTIMPL; }
