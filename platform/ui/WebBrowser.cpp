#include "platform/ui/WebBrowser.h"

#include "platform/win32/CallTrace.h"
#include "platform/win32/ComRuntime.h"
#include "platform/win32/TextCodec.h"

#include <string>

namespace {

struct Failure {
    IID Iid;
    HRESULT Result;
};

struct State {
    std::vector<std::shared_ptr<WebBrowserRecord>> Records;
    std::vector<Failure> Failures;
    bool Installed = true;
};

State& S() {
    static State state;
    return state;
}

std::string Narrow(LPCOLESTR text) {
    return text != nullptr ? WideToUtf8(text) : "null";
}

class WebBrowser final : public IOleObject, public IWebBrowser2, public IRunnableObject {
public:
    WebBrowser() : record(std::make_shared<WebBrowserRecord>()) { S().Records.push_back(record); }

    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        for (const Failure& f : S().Failures) {
            if (f.Iid == iid) {
                return f.Result;
            }
        }
        if (iid == IID_IUnknown || iid == IID_IOleObject) {
            *object = static_cast<IOleObject*>(this);
        } else if (iid == IID_IWebBrowser2) {
            *object = static_cast<IWebBrowser2*>(this);
        } else if (iid == IID_IRunnableObject) {
            *object = static_cast<IRunnableObject*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++record->References; }
    ULONG Release() override {
        const ULONG left = --record->References;
        Trace("WebBrowser::Release " + std::to_string(left));
        if (left == 0) {
            delete this;
        }
        return left;
    }

    // IOleObject
    HRESULT SetClientSite(IOleClientSite* site) override {
        if (site != nullptr) {
            site->AddRef();
        }
        if (clientSite != nullptr) {
            clientSite->Release();
        }
        clientSite = site;
        return S_OK;
    }
    HRESULT GetClientSite(IOleClientSite** site) override {
        if (site == nullptr) {
            return E_POINTER;
        }
        *site = clientSite;
        if (clientSite != nullptr) {
            clientSite->AddRef();
        }
        return S_OK;
    }
    HRESULT SetHostNames(LPCOLESTR application, LPCOLESTR object) override {
        Trace("IOleObject::SetHostNames " + Narrow(application) + ", " + Narrow(object));
        record->HostApplication = Wide(application);
        record->HostObject = Wide(object);
        return S_OK;
    }
    HRESULT Close(DWORD option) override {
        Trace("IOleObject::Close " + std::to_string(option));
        ++record->Closes;
        record->CloseOption = option;
        Deactivate();
        SetClientSite(nullptr);
        return S_OK;
    }
    HRESULT SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    HRESULT GetMoniker(DWORD, DWORD, IMoniker** moniker) override { return NullOut(moniker, E_NOTIMPL); }
    HRESULT InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT GetClipboardData(DWORD, IDataObject** data) override { return NullOut(data, E_NOTIMPL); }
    HRESULT DoVerb(LONG verb, MSG*, IOleClientSite* site, LONG, HWND parent, const RECT* position) override {
        Trace("IOleObject::DoVerb " + std::to_string(verb));
        record->Verb = verb;
        record->VerbParent = parent;
        if (position != nullptr) {
            record->VerbRect = *position;
        }
        if (verb != OLEIVERB_SHOW && verb != OLEIVERB_PRIMARY && verb != OLEIVERB_INPLACEACTIVATE) {
            return E_NOTIMPL;
        }
        IOleClientSite* container = site != nullptr ? site : clientSite;
        if (container == nullptr) {
            return E_UNEXPECTED;
        }
        if (!record->InPlaceActive) {
            Activate(container, parent);
        }
        container->ShowObject();
        return S_OK;
    }
    HRESULT EnumVerbs(IEnumOLEVERB** verbs) override { return NullOut(verbs, E_NOTIMPL); }
    HRESULT Update() override { return S_OK; }
    HRESULT IsUpToDate() override { return S_OK; }
    HRESULT GetUserClassID(CLSID* clsid) override {
        if (clsid == nullptr) {
            return E_POINTER;
        }
        *clsid = CLSID_WebBrowser;
        return S_OK;
    }
    HRESULT GetUserType(DWORD, LPOLESTR* type) override { return NullOut(type, E_NOTIMPL); }
    HRESULT SetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    HRESULT GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    HRESULT Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT Unadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT EnumAdvise(IEnumSTATDATA** advise) override { return NullOut(advise, E_NOTIMPL); }
    HRESULT GetMiscStatus(DWORD, DWORD* status) override {
        if (status == nullptr) {
            return E_POINTER;
        }
        *status = 0;
        return S_OK;
    }
    HRESULT SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IWebBrowser2
    HRESULT put_Left(LONG v) override { return Put("Left", record->Left, v); }
    HRESULT put_Top(LONG v) override { return Put("Top", record->Top, v); }
    HRESULT put_Width(LONG v) override { return Put("Width", record->Width, v); }
    HRESULT put_Height(LONG v) override { return Put("Height", record->Height, v); }
    HRESULT get_LocationURL(BSTR* url) override {
        if (url == nullptr) {
            return E_POINTER;
        }
        *url = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(record->Url.data()), UINT(record->Url.size()));
        return S_OK;
    }
    HRESULT Navigate2(VARIANT* url, VARIANT* flags, VARIANT* target, VARIANT* postData, VARIANT* headers) override {
        if (url == nullptr || url->vt != VT_BSTR) {
            Trace("IWebBrowser2::Navigate2 (no address)");
            return E_INVALIDARG;
        }
        record->Url = Wide(url->bstrVal);
        Trace("IWebBrowser2::Navigate2 " + WideToUtf8(record->Url));
        record->NavigateArgumentTypes.clear();
        for (VARIANT* argument : {flags, target, postData, headers}) {
            record->NavigateArgumentTypes.push_back(argument != nullptr ? argument->vt : VT_EMPTY);
        }
        ++record->Navigations;
        // The control paints the page into its window; here the window shows the address.
        WindowSystem::SetContentText(record->Window, WideToUtf8(record->Url));
        return S_OK;
    }

    // IRunnableObject
    HRESULT GetRunningClass(CLSID* clsid) override { return GetUserClassID(clsid); }
    HRESULT Run(IBindCtx*) override { return S_OK; }
    BOOL IsRunning() override { return TRUE; }
    HRESULT LockRunning(BOOL, BOOL) override { return S_OK; }
    HRESULT SetContainedObject(BOOL contained) override {
        record->Contained = contained;
        return S_OK;
    }

private:
    ~WebBrowser() override {
        Deactivate();
        SetClientSite(nullptr);
        record->Destroyed = true;
    }

    static std::u16string Wide(LPCOLESTR text) {
        std::u16string wide;
        for (; text != nullptr && *text != 0; ++text) {
            wide += static_cast<char16_t>(*text);
        }
        return wide;
    }

    template <class T>
    static HRESULT NullOut(T** out, HRESULT result) {
        if (out != nullptr) {
            *out = nullptr;
        }
        return result;
    }

    void Trace(const std::string& call) {
        record->Calls.push_back(call);
        CallTrace::Record(call);
    }

    HRESULT Put(const char* name, LONG& field, LONG value) {
        Trace(std::string("IWebBrowser2::put_") + name + " " + std::to_string(value));
        field = value;
        return S_OK;
    }

    // What the real control does on its first show: become in-place active in the site's
    // window over the position rectangle the site gives.
    void Activate(IOleClientSite* container, HWND parent) {
        IOleInPlaceSite* site = nullptr;
        if (FAILED(container->QueryInterface(IID_IOleInPlaceSite, (void**)&site)) || site == nullptr) {
            return;
        }
        record->GotInPlaceSite = true;
        if (site->CanInPlaceActivate() != S_OK) {
            site->Release();
            return;
        }
        site->OnInPlaceActivate();
        OLEINPLACEFRAMEINFO info;
        info.cb = sizeof info;
        record->WindowContextResult = site->GetWindowContext(&frame, &document, &record->Position, &record->Clip, &info);
        record->Frame = frame;
        record->Document = document;
        record->FrameInfo = info;
        HWND window = parent;
        if (window == nullptr) {
            site->GetWindow(&window);
        }
        record->Window = window;
        record->InPlaceActive = true;
        site->OnUIActivate();
        inPlaceSite = site;
    }

    void Deactivate() {
        if (!record->InPlaceActive) {
            return;
        }
        record->InPlaceActive = false;
        if (IsWindow(record->Window)) {
            WindowSystem::SetContentText(record->Window, "");
        }
        inPlaceSite->OnUIDeactivate(FALSE);
        inPlaceSite->OnInPlaceDeactivate();
        SafeRelease(frame);
        SafeRelease(document);
        SafeRelease(inPlaceSite);
    }

    std::shared_ptr<WebBrowserRecord> record;
    IOleClientSite* clientSite = nullptr;
    IOleInPlaceSite* inPlaceSite = nullptr;
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* document = nullptr;
};

}  // namespace

namespace WebBrowserStandIn {

void Install() {
    if (S().Installed) {
        ComRuntime::RegisterClass(CLSID_WebBrowser, [] { return static_cast<IOleObject*>(new WebBrowser); });
    } else {
        ComRuntime::UnregisterClass(CLSID_WebBrowser);
    }
}

void SetInstalled(bool installed) {
    S().Installed = installed;
    Install();
}

const std::vector<std::shared_ptr<WebBrowserRecord>>& Records() { return S().Records; }

std::shared_ptr<WebBrowserRecord> Last() { return S().Records.empty() ? nullptr : S().Records.back(); }

void FailQueryInterface(REFIID iid, HRESULT result) { S().Failures.push_back({iid, result}); }

void Reset() {
    S().Records.clear();
    S().Failures.clear();
}

}  // namespace WebBrowserStandIn
