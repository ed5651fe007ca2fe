// The web-browser control as an embeddable OLE object, and a stand-in for it.
//
// IWebBrowser2 declares only the members the engine calls (position and Navigate2); the
// stand-in behaves as the real control does towards its container: it asks the client site
// for its in-place site on DoVerb, takes the window context, activates in place and shows
// the navigated address in its window. Everything it is told lands in a WebBrowserRecord
// that outlives the object, so tests can see the whole life of a browser.
#pragma once

#include "platform/ui/Ole.h"

#include <memory>
#include <string>
#include <vector>

inline constexpr CLSID CLSID_WebBrowser = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
inline constexpr IID IID_IWebBrowser2 = {0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};

struct IWebBrowser2 : IUnknown {
    virtual HRESULT put_Left(LONG left) = 0;
    virtual HRESULT put_Top(LONG top) = 0;
    virtual HRESULT put_Width(LONG width) = 0;
    virtual HRESULT put_Height(LONG height) = 0;
    virtual HRESULT get_LocationURL(BSTR* url) = 0;
    virtual HRESULT Navigate2(VARIANT* url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData,
                              VARIANT* headers) = 0;
};

struct WebBrowserRecord {
    std::vector<std::string> Calls;  // the calls the container made on it, in order
    std::u16string HostApplication, HostObject;
    BOOL Contained = FALSE;
    // In-place activation by DoVerb.
    LONG Verb = 0;
    HWND VerbParent = nullptr;
    RECT VerbRect;
    bool GotInPlaceSite = false;
    bool InPlaceActive = false;
    IOleInPlaceFrame* Frame = nullptr;
    IOleInPlaceUIWindow* Document = nullptr;
    RECT Position, Clip;
    OLEINPLACEFRAMEINFO FrameInfo;
    HRESULT WindowContextResult = E_FAIL;
    HWND Window = nullptr;  // where it shows itself
    LONG Left = 0, Top = 0, Width = 0, Height = 0;
    std::u16string Url;
    std::vector<VARTYPE> NavigateArgumentTypes;  // flags, target, post data, headers
    int Navigations = 0;
    int Closes = 0;
    DWORD CloseOption = 0;
    ULONG References = 1;
    bool Destroyed = false;
};

namespace WebBrowserStandIn {

// Registers (or, when not installed, unregisters) the control's class with COM; OLE's
// initialisation calls it.
void Install();
void SetInstalled(bool installed);
// Every browser created so far (cleared by Reset), newest last.
const std::vector<std::shared_ptr<WebBrowserRecord>>& Records();
std::shared_ptr<WebBrowserRecord> Last();
// QueryInterface for this interface fails with this result, until Reset.
void FailQueryInterface(REFIID iid, HRESULT result);
void Reset();

}  // namespace WebBrowserStandIn
