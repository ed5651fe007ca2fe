// Automation strings and variants: BSTR (length-prefixed UTF-16 strings owned by the system
// allocator) and VARIANT with the types the engine passes (empty, BSTR, integers, objects).
#pragma once

#include "platform/win32/Com.h"

#include <cstddef>

using OLECHAR = WCHAR;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;
using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;

constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_NULL = 1;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_BSTR = 8;
constexpr VARTYPE VT_BOOL = 11;
constexpr VARTYPE VT_UNKNOWN = 13;

constexpr HRESULT DISP_E_BADVARTYPE = MakeHResult(0x80020008u);

struct VARIANT {
    VARTYPE vt = VT_EMPTY;
    WORD wReserved1 = 0, wReserved2 = 0, wReserved3 = 0;
    union {
        LONG lVal;
        VARIANT_BOOL boolVal;
        BSTR bstrVal;
        IUnknown* punkVal;
        LONGLONG llVal;
    };
    VARIANT() : llVal(0) {}
};

// A copy of the zero-terminated text, or null for a null argument.
BSTR SysAllocString(const OLECHAR* text);
// Length units of text (which need not be terminated); text may be null for a zeroed string.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);

void VariantInit(VARIANT* variant);
// Frees what the variant owns (a BSTR, a reference) and leaves it VT_EMPTY.
HRESULT VariantClear(VARIANT* variant);

namespace OleAuto {
// Strings allocated and not yet freed, for leak checks in tests.
size_t LiveStrings();
}  // namespace OleAuto
