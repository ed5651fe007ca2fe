// The COM object model the engine's platform stand-ins share: IUnknown and a counting base.
// Stand-ins derive from ComObject<Interface> so that tests can observe AddRef/Release.
#pragma once

#include "platform/win32/WinTypes.h"

#include <atomic>

inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

// Reference counting with deletion at zero, as COM objects do. The count starts at 1
// (the creator's reference). RefCount() lets tests check that every reference handed out
// is given back.
template <class Interface>
class ComObject : public Interface {
public:
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override {
        const ULONG left = --refs;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    ULONG RefCount() const { return refs; }

protected:
    ComObject() = default;
    ~ComObject() override = default;

private:
    ULONG refs = 1;
};

// Releases an interface pointer and nulls it; the usual SAFE_RELEASE.
template <class T>
void SafeRelease(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}
