#include "platform/ui/OleAuto.h"

#include "platform/win32/CallTrace.h"

#include <cstdlib>
#include <cstring>

namespace {
size_t liveStrings = 0;
}

// Layout as on Windows: a 32-bit byte count, the units, a terminating zero; the handle
// points at the first unit.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    auto* block = static_cast<unsigned char*>(std::malloc(sizeof(uint32_t) + (size_t(length) + 1) * sizeof(OLECHAR)));
    if (block == nullptr) {
        return nullptr;
    }
    const uint32_t bytes = length * sizeof(OLECHAR);
    std::memcpy(block, &bytes, sizeof bytes);
    auto* units = reinterpret_cast<OLECHAR*>(block + sizeof(uint32_t));
    if (text != nullptr) {
        std::memcpy(units, text, size_t(length) * sizeof(OLECHAR));
    } else {
        std::memset(units, 0, size_t(length) * sizeof(OLECHAR));
    }
    units[length] = 0;
    ++liveStrings;
    return units;
}

BSTR SysAllocString(const OLECHAR* text) {
    CallTrace::Record("SysAllocString");
    if (text == nullptr) {
        return nullptr;
    }
    UINT length = 0;
    while (text[length] != 0) {
        ++length;
    }
    return SysAllocStringLen(text, length);
}

void SysFreeString(BSTR text) {
    if (text == nullptr) {
        return;
    }
    CallTrace::Record("SysFreeString");
    --liveStrings;
    std::free(reinterpret_cast<unsigned char*>(text) - sizeof(uint32_t));
}

UINT SysStringLen(BSTR text) {
    if (text == nullptr) {
        return 0;
    }
    uint32_t bytes = 0;
    std::memcpy(&bytes, reinterpret_cast<unsigned char*>(text) - sizeof(uint32_t), sizeof bytes);
    return bytes / sizeof(OLECHAR);
}

void VariantInit(VARIANT* variant) {
    if (variant != nullptr) {
        *variant = VARIANT();
    }
}

HRESULT VariantClear(VARIANT* variant) {
    CallTrace::Record("VariantClear");
    if (variant == nullptr) {
        return E_INVALIDARG;
    }
    switch (variant->vt) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_I4:
        case VT_BOOL: break;
        case VT_BSTR: SysFreeString(variant->bstrVal); break;
        case VT_UNKNOWN:
            if (variant->punkVal != nullptr) {
                variant->punkVal->Release();
            }
            break;
        default: return DISP_E_BADVARTYPE;
    }
    *variant = VARIANT();
    return S_OK;
}

namespace OleAuto {
size_t LiveStrings() { return liveStrings; }
}  // namespace OleAuto
