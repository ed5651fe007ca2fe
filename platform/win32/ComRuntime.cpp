#include "platform/win32/ComRuntime.h"

#include "platform/win32/CallTrace.h"

#include <vector>

namespace {

struct Registration {
    CLSID clsid;
    ComRuntime::Factory factory;
};

std::vector<Registration>& Classes() {
    static std::vector<Registration> classes;
    return classes;
}

int initCount = 0;
HRESULT nextCreateFailure = S_OK;

}  // namespace

HRESULT CoInitialize(void*) {
    CallTrace::Record("CoInitialize");
    return initCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    CallTrace::Record("CoUninitialize");
    if (initCount > 0) {
        --initCount;
    }
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD, REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (initCount == 0) {
        return CO_E_NOTINITIALIZED;
    }
    if (nextCreateFailure != S_OK) {
        const HRESULT result = nextCreateFailure;
        nextCreateFailure = S_OK;
        return result;
    }
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    for (const Registration& r : Classes()) {
        if (r.clsid == clsid) {
            IUnknown* created = r.factory();
            if (created == nullptr) {
                return E_OUTOFMEMORY;
            }
            const HRESULT hr = created->QueryInterface(iid, object);
            created->Release();
            return hr;
        }
    }
    return REGDB_E_CLASSNOTREG;
}

namespace ComRuntime {

void RegisterClass(REFCLSID clsid, Factory factory) {
    UnregisterClass(clsid);
    Classes().push_back({clsid, std::move(factory)});
}

void UnregisterClass(REFCLSID clsid) {
    std::erase_if(Classes(), [&](const Registration& r) { return r.clsid == clsid; });
}

int InitCount() { return initCount; }

void FailNextCreate(HRESULT result) { nextCreateFailure = result; }

}  // namespace ComRuntime
