#include "platform/win32/DxErrors.h"
#include "platform/ui/Ole.h"
#include "platform/ui/OleAuto.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DxErrors, DocumentedValuesAndTheirNames) {
    struct Case {
        HRESULT code;
        uint32_t bits;
        const char* name;
    };
    const Case cases[] = {
        {D3D_OK, 0x00000000u, "S_OK"},
        {E_FAIL, 0x80004005u, "E_FAIL"},
        {D3DERR_INVALIDCALL, 0x8876086Cu, "D3DERR_INVALIDCALL"},
        {D3DERR_NOTAVAILABLE, 0x8876086Au, "D3DERR_NOTAVAILABLE"},
        {D3DERR_OUTOFVIDEOMEMORY, 0x8876017Cu, "D3DERR_OUTOFVIDEOMEMORY"},
        {D3DERR_DEVICELOST, 0x88760868u, "D3DERR_DEVICELOST"},
        {D3DERR_DEVICENOTRESET, 0x88760869u, "D3DERR_DEVICENOTRESET"},
        {D3DERR_NOTFOUND, 0x88760866u, "D3DERR_NOTFOUND"},
        {D3DERR_MOREDATA, 0x88760867u, "D3DERR_MOREDATA"},
        {D3DERR_WRONGTEXTUREFORMAT, 0x88760818u, "D3DERR_WRONGTEXTUREFORMAT"},
        {D3DERR_DRIVERINTERNALERROR, 0x88760827u, "D3DERR_DRIVERINTERNALERROR"},
        {D3DXERR_INVALIDDATA, 0x88760B59u, "D3DXERR_INVALIDDATA"},
        {DSERR_BUFFERLOST, 0x88780096u, "DSERR_BUFFERLOST"},
        {DSERR_INVALIDPARAM, 0x80070057u, "E_INVALIDARG"},
        {DSERR_INVALIDCALL, 0x88780032u, "DSERR_INVALIDCALL"},
        {DSERR_BADFORMAT, 0x88780064u, "DSERR_BADFORMAT"},
        {DSERR_CONTROLUNAVAIL, 0x8878001Eu, "DSERR_CONTROLUNAVAIL"},
        {DSERR_NODRIVER, 0x88780078u, "DSERR_NODRIVER"},
        {DSERR_GENERIC, 0x80004005u, "E_FAIL"},
        {DDERR_SURFACELOST, 0x887601C2u, "DDERR_SURFACELOST"},
        {VFW_E_NOT_FOUND, 0x80040216u, "VFW_E_NOT_FOUND"},
        {VFW_E_CANNOT_RENDER, 0x80040218u, "VFW_E_CANNOT_RENDER"},
        {VFW_E_UNKNOWN_FILE_TYPE, 0x80040240u, "VFW_E_UNKNOWN_FILE_TYPE"},
        {MS_E_NOSTREAM, 0x80040403u, "MS_E_NOSTREAM"},
        {MS_S_ENDOFSTREAM, 0x00040003u, "MS_S_ENDOFSTREAM"},
        {DISP_E_BADVARTYPE, 0x80020008u, "DISP_E_BADVARTYPE"},
        {OLE_E_NOTRUNNING, 0x80040005u, "OLE_E_NOTRUNNING"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(static_cast<uint32_t>(c.code), c.bits);
        EXPECT_STREQ(DXGetErrorString9A(c.code), c.name);
        EXPECT_GT(std::string(DXGetErrorDescription9A(c.code)).size(), 5u);
        EXPECT_STRNE(DXGetErrorDescription9A(c.code), "n/a");
    }
}

TEST(DxErrors, UnlistedCodesGetTheGenericText) {
    for (HRESULT hr : {MakeHResult(0x80001234u), MakeHResult(0x12345678u), MakeHResult(0xFFFFFFFFu)}) {
        EXPECT_STREQ(DXGetErrorString9A(hr), "Unknown");
        EXPECT_STREQ(DXGetErrorDescription9A(hr), "n/a");
    }
}

TEST(DxErrors, FailureAndSuccessCodesKeepTheirSign) {
    EXPECT_TRUE(FAILED(D3DERR_INVALIDCALL));
    EXPECT_TRUE(FAILED(VFW_E_CANNOT_RENDER));
    EXPECT_TRUE(SUCCEEDED(D3DOK_NOAUTOGEN));
    EXPECT_TRUE(SUCCEEDED(DS_NO_VIRTUALIZATION));
    EXPECT_TRUE(SUCCEEDED(VFW_S_PARTIAL_RENDER));
}

}  // namespace
