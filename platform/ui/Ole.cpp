#include "platform/ui/Ole.h"

#include "platform/win32/CallTrace.h"
#include "platform/win32/ComRuntime.h"
#include "platform/ui/WebBrowser.h"

namespace {

int oleInitCount = 0;
HRESULT nextCreateFailure = S_OK;

// COM calls OLE makes for itself are not the caller's calls: keep them out of the trace.
template <class Call>
auto Untraced(Call call) {
    const bool tracing = CallTrace::Enabled();
    CallTrace::Enable(false);
    auto result = call();
    CallTrace::Enable(tracing);
    return result;
}

}  // namespace

HRESULT OleInitialize(void*) {
    CallTrace::Record("OleInitialize");
    Untraced([] { return CoInitialize(nullptr); });
    // The system's installed controls become creatable with OLE.
    WebBrowserStandIn::Install();
    return oleInitCount++ == 0 ? S_OK : S_FALSE;
}

void OleUninitialize() {
    CallTrace::Record("OleUninitialize");
    if (oleInitCount == 0) {
        return;
    }
    --oleInitCount;
    Untraced([] {
        CoUninitialize();
        return 0;
    });
}

HRESULT OleCreate(REFCLSID clsid, REFIID iid, DWORD renderOption, FORMATETC*, IOleClientSite* site, IStorage*,
                  void** object) {
    CallTrace::Record("OleCreate " + std::to_string(renderOption));
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (oleInitCount == 0) {
        return CO_E_NOTINITIALIZED;
    }
    if (nextCreateFailure != S_OK) {
        const HRESULT result = nextCreateFailure;
        nextCreateFailure = S_OK;
        return result;
    }
    IOleObject* embedded = nullptr;
    HRESULT hr = Untraced(
        [&] { return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, (void**)&embedded); });
    if (FAILED(hr)) {
        return hr;
    }
    if (site != nullptr) {
        embedded->SetClientSite(site);
    }
    hr = embedded->QueryInterface(iid, object);
    Untraced([&] { return embedded->Release(); });
    return hr;
}

HRESULT OleSetContainedObject(IUnknown* object, BOOL contained) {
    CallTrace::Record("OleSetContainedObject " + std::to_string(contained));
    if (object == nullptr) {
        return E_INVALIDARG;
    }
    IRunnableObject* runnable = nullptr;
    if (FAILED(object->QueryInterface(IID_IRunnableObject, (void**)&runnable)) || runnable == nullptr) {
        return S_OK;  // objects that are not runnable need not be told
    }
    const HRESULT hr = runnable->SetContainedObject(contained);
    Untraced([&] { return runnable->Release(); });
    return hr;
}

namespace OleRuntime {

int InitCount() { return oleInitCount; }
void FailNextCreate(HRESULT result) { nextCreateFailure = result; }

}  // namespace OleRuntime
