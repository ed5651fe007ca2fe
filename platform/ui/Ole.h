// OLE embedding: the interfaces a container and an embedded object exchange, and the OLE
// runtime calls. Methods are declared in their documented slot order; types the engine never
// touches (monikers, data objects, streams, ...) stay incomplete.
//
// OleCreate creates the object through the COM class table (ComRuntime) and hands it the
// client site; the web-browser control is installed as a class when OLE is initialised.
#pragma once

#include "platform/win32/Com.h"
#include "platform/ui/OleAuto.h"
#include "platform/ui/WinUser.h"

using HACCEL = struct HACCEL__*;
using HMENU = struct HMENU__*;
using HOLEMENU = HANDLE;

struct IMoniker;
struct IDataObject;
struct IEnumOLEVERB;
struct IAdviseSink;
struct IEnumSTATDATA;
struct IStream;
struct IEnumSTATSTG;
struct IOleContainer;
struct IOleInPlaceActiveObject;
struct LOGPALETTE;
struct FORMATETC;
struct STATSTG;

using SIZEL = SIZE;
using SNB = OLECHAR**;
using BORDERWIDTHS = RECT;

struct OLEMENUGROUPWIDTHS {
    LONG width[6] = {};
};

struct OLEINPLACEFRAMEINFO {
    UINT cb = 0;
    BOOL fMDIApp = FALSE;
    HWND hwndFrame = nullptr;
    HACCEL haccel = nullptr;
    UINT cAccelEntries = 0;
};

constexpr DWORD OLERENDER_NONE = 0;
constexpr DWORD OLERENDER_DRAW = 1;
constexpr DWORD OLECLOSE_SAVEIFDIRTY = 0;
constexpr DWORD OLECLOSE_NOSAVE = 1;
constexpr DWORD OLECLOSE_PROMPTSAVE = 2;
constexpr LONG OLEIVERB_PRIMARY = 0;
constexpr LONG OLEIVERB_SHOW = -1;
constexpr LONG OLEIVERB_INPLACEACTIVATE = -5;

constexpr HRESULT OLE_E_NOTRUNNING = MakeHResult(0x80040005u);
constexpr HRESULT OLE_E_WRONGCOMPOBJ = MakeHResult(0x8004000Eu);

inline constexpr IID IID_IStorage = {0x0000000B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IOleObject = {0x00000112, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IOleInPlaceObject = {0x00000113, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IOleWindow = {0x00000114, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IOleInPlaceUIWindow = {0x00000115, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IOleInPlaceFrame = {0x00000116, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IOleInPlaceActiveObject = {0x00000117, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IOleClientSite = {0x00000118, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IOleInPlaceSite = {0x00000119, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IRunnableObject = {0x00000126, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IBindCtx;

struct IRunnableObject : IUnknown {
    virtual HRESULT GetRunningClass(CLSID* clsid) = 0;
    virtual HRESULT Run(IBindCtx* context) = 0;
    virtual BOOL IsRunning() = 0;
    virtual HRESULT LockRunning(BOOL lock, BOOL lastUnlockCloses) = 0;
    virtual HRESULT SetContainedObject(BOOL contained) = 0;
};

struct IStorage : IUnknown {
    virtual HRESULT CreateStream(const OLECHAR* name, DWORD mode, DWORD reserved1, DWORD reserved2,
                                 IStream** stream) = 0;
    virtual HRESULT OpenStream(const OLECHAR* name, void* reserved1, DWORD mode, DWORD reserved2,
                               IStream** stream) = 0;
    virtual HRESULT CreateStorage(const OLECHAR* name, DWORD mode, DWORD reserved1, DWORD reserved2,
                                  IStorage** storage) = 0;
    virtual HRESULT OpenStorage(const OLECHAR* name, IStorage* priority, DWORD mode, SNB exclude, DWORD reserved,
                                IStorage** storage) = 0;
    virtual HRESULT CopyTo(DWORD excludeCount, const IID* excludeIids, SNB excludeNames, IStorage* destination) = 0;
    virtual HRESULT MoveElementTo(const OLECHAR* name, IStorage* destination, const OLECHAR* newName,
                                  DWORD flags) = 0;
    virtual HRESULT Commit(DWORD flags) = 0;
    virtual HRESULT Revert() = 0;
    virtual HRESULT EnumElements(DWORD reserved1, void* reserved2, DWORD reserved3, IEnumSTATSTG** elements) = 0;
    virtual HRESULT DestroyElement(const OLECHAR* name) = 0;
    virtual HRESULT RenameElement(const OLECHAR* oldName, const OLECHAR* newName) = 0;
    virtual HRESULT SetElementTimes(const OLECHAR* name, const FILETIME* created, const FILETIME* accessed,
                                    const FILETIME* modified) = 0;
    virtual HRESULT SetClass(REFCLSID clsid) = 0;
    virtual HRESULT SetStateBits(DWORD bits, DWORD mask) = 0;
    virtual HRESULT Stat(STATSTG* statistics, DWORD flags) = 0;
};

struct IOleClientSite : IUnknown {
    virtual HRESULT SaveObject() = 0;
    virtual HRESULT GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) = 0;
    virtual HRESULT GetContainer(IOleContainer** container) = 0;
    virtual HRESULT ShowObject() = 0;
    virtual HRESULT OnShowWindow(BOOL show) = 0;
    virtual HRESULT RequestNewObjectLayout() = 0;
};

struct IOleWindow : IUnknown {
    virtual HRESULT GetWindow(HWND* window) = 0;
    virtual HRESULT ContextSensitiveHelp(BOOL enterMode) = 0;
};

struct IOleInPlaceUIWindow : IOleWindow {
    virtual HRESULT GetBorder(RECT* border) = 0;
    virtual HRESULT RequestBorderSpace(const BORDERWIDTHS* widths) = 0;
    virtual HRESULT SetBorderSpace(const BORDERWIDTHS* widths) = 0;
    virtual HRESULT SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR name) = 0;
};

struct IOleInPlaceFrame : IOleInPlaceUIWindow {
    virtual HRESULT InsertMenus(HMENU shared, OLEMENUGROUPWIDTHS* widths) = 0;
    virtual HRESULT SetMenu(HMENU shared, HOLEMENU descriptor, HWND activeObject) = 0;
    virtual HRESULT RemoveMenus(HMENU shared) = 0;
    virtual HRESULT SetStatusText(LPCOLESTR text) = 0;
    virtual HRESULT EnableModeless(BOOL enable) = 0;
    virtual HRESULT TranslateAccelerator(MSG* message, WORD id) = 0;
};

struct IOleInPlaceSite : IOleWindow {
    virtual HRESULT CanInPlaceActivate() = 0;
    virtual HRESULT OnInPlaceActivate() = 0;
    virtual HRESULT OnUIActivate() = 0;
    virtual HRESULT GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position,
                                     RECT* clip, OLEINPLACEFRAMEINFO* frameInfo) = 0;
    virtual HRESULT Scroll(SIZE extent) = 0;
    virtual HRESULT OnUIDeactivate(BOOL undoable) = 0;
    virtual HRESULT OnInPlaceDeactivate() = 0;
    virtual HRESULT DiscardUndoState() = 0;
    virtual HRESULT DeactivateAndUndo() = 0;
    virtual HRESULT OnPosRectChange(const RECT* position) = 0;
};

struct IOleObject : IUnknown {
    virtual HRESULT SetClientSite(IOleClientSite* site) = 0;
    virtual HRESULT GetClientSite(IOleClientSite** site) = 0;
    virtual HRESULT SetHostNames(LPCOLESTR containerApp, LPCOLESTR containerObject) = 0;
    virtual HRESULT Close(DWORD saveOption) = 0;
    virtual HRESULT SetMoniker(DWORD which, IMoniker* moniker) = 0;
    virtual HRESULT GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) = 0;
    virtual HRESULT InitFromData(IDataObject* data, BOOL creation, DWORD reserved) = 0;
    virtual HRESULT GetClipboardData(DWORD reserved, IDataObject** data) = 0;
    virtual HRESULT DoVerb(LONG verb, MSG* message, IOleClientSite* site, LONG index, HWND parent,
                           const RECT* position) = 0;
    virtual HRESULT EnumVerbs(IEnumOLEVERB** verbs) = 0;
    virtual HRESULT Update() = 0;
    virtual HRESULT IsUpToDate() = 0;
    virtual HRESULT GetUserClassID(CLSID* clsid) = 0;
    virtual HRESULT GetUserType(DWORD form, LPOLESTR* userType) = 0;
    virtual HRESULT SetExtent(DWORD aspect, SIZEL* size) = 0;
    virtual HRESULT GetExtent(DWORD aspect, SIZEL* size) = 0;
    virtual HRESULT Advise(IAdviseSink* sink, DWORD* connection) = 0;
    virtual HRESULT Unadvise(DWORD connection) = 0;
    virtual HRESULT EnumAdvise(IEnumSTATDATA** advise) = 0;
    virtual HRESULT GetMiscStatus(DWORD aspect, DWORD* status) = 0;
    virtual HRESULT SetColorScheme(LOGPALETTE* palette) = 0;
};

// OLE on this thread; initialises COM too. S_OK first, S_FALSE when already initialised.
HRESULT OleInitialize(void* reserved);
void OleUninitialize();
// Creates an embedded object: the class's object asked for iid, given the client site.
// On failure *object is null.
HRESULT OleCreate(REFCLSID clsid, REFIID iid, DWORD renderOption, FORMATETC* format, IOleClientSite* site,
                  IStorage* storage, void** object);
// Tells the object it is embedded in a container (it then stays alive while shown).
HRESULT OleSetContainedObject(IUnknown* object, BOOL contained);

namespace OleRuntime {
// Balance of OleInitialize over OleUninitialize calls.
int InitCount();
// The next OleCreate fails with this result (once).
void FailNextCreate(HRESULT result);
}  // namespace OleRuntime
