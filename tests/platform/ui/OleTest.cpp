#include "platform/win32/ComRuntime.h"
#include "platform/ui/Ole.h"
#include "platform/ui/OleAuto.h"
#include "platform/win32/TextCodec.h"
#include "platform/ui/WebBrowser.h"

#include <gtest/gtest.h>

namespace {

TEST(OleAuto, StringsAreLengthPrefixedCopiesAndVariantsFreeThem) {
    const size_t before = OleAuto::LiveStrings();
    const OLECHAR text[] = {'a', 0x20AC, 'b', 0};
    BSTR copy = SysAllocString(text);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, text);
    EXPECT_EQ(SysStringLen(copy), 3u);
    EXPECT_EQ(copy[1], 0x20AC);
    EXPECT_EQ(copy[3], 0);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);

    VARIANT v;
    EXPECT_EQ(v.vt, VT_EMPTY);
    v.vt = VT_BSTR;
    v.bstrVal = copy;
    EXPECT_EQ(OleAuto::LiveStrings(), before + 1);
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(OleAuto::LiveStrings(), before);

    VARIANT odd;
    odd.vt = 0x7777;
    EXPECT_EQ(VariantClear(&odd), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
    SysFreeString(nullptr);
}

TEST(Ole, InitialisationNestsAndCarriesCom) {
    EXPECT_EQ(OleInitialize(nullptr), S_OK);
    EXPECT_EQ(OleInitialize(nullptr), S_FALSE);
    EXPECT_EQ(OleRuntime::InitCount(), 2);
    EXPECT_EQ(ComRuntime::InitCount(), 2);
    OleUninitialize();
    OleUninitialize();
    OleUninitialize();  // one too many is ignored
    EXPECT_EQ(OleRuntime::InitCount(), 0);
    EXPECT_EQ(ComRuntime::InitCount(), 0);
}

TEST(Ole, CreateNeedsOleAndCanBeMadeToFail) {
    WebBrowserStandIn::Reset();
    void* object = &object;
    EXPECT_EQ(OleCreate(CLSID_WebBrowser, IID_IOleObject, OLERENDER_DRAW, nullptr, nullptr, nullptr, &object),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);

    OleInitialize(nullptr);
    OleRuntime::FailNextCreate(E_OUTOFMEMORY);
    EXPECT_EQ(OleCreate(CLSID_WebBrowser, IID_IOleObject, OLERENDER_DRAW, nullptr, nullptr, nullptr, &object),
              E_OUTOFMEMORY);
    EXPECT_EQ(object, nullptr);
    const CLSID unknown{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(OleCreate(unknown, IID_IOleObject, OLERENDER_DRAW, nullptr, nullptr, nullptr, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_TRUE(WebBrowserStandIn::Records().empty());

    // The control answers for its interfaces with one count, and asks to be failed.
    IOleObject* browser = nullptr;
    ASSERT_EQ(OleCreate(CLSID_WebBrowser, IID_IOleObject, OLERENDER_DRAW, nullptr, nullptr, nullptr,
                        reinterpret_cast<void**>(&browser)),
              S_OK);
    const auto record = WebBrowserStandIn::Last();
    EXPECT_EQ(record->References, 1u);
    IWebBrowser2* web = nullptr;
    EXPECT_EQ(browser->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&web)), S_OK);
    EXPECT_EQ(record->References, 2u);
    web->Release();
    EXPECT_EQ(OleSetContainedObject(browser, TRUE), S_OK);
    EXPECT_EQ(record->Contained, TRUE);
    EXPECT_EQ(record->References, 1u);
    WebBrowserStandIn::FailQueryInterface(IID_IWebBrowser2, E_NOINTERFACE);
    web = reinterpret_cast<IWebBrowser2*>(browser);
    EXPECT_EQ(browser->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&web)), E_NOINTERFACE);
    EXPECT_EQ(web, nullptr);

    // DoVerb without a client site has no container to activate in.
    EXPECT_EQ(browser->DoVerb(OLEIVERB_SHOW, nullptr, nullptr, -1, nullptr, nullptr), E_UNEXPECTED);
    EXPECT_FALSE(record->InPlaceActive);
    EXPECT_EQ(browser->Release(), 0u);
    EXPECT_TRUE(record->Destroyed);
    OleUninitialize();
    WebBrowserStandIn::Reset();
}

}  // namespace
