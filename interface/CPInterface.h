// An interface screen: a scene node that draws a flat layer in screen pixels (menus, the race
// display, dialogs). Its windows and buttons are quads cut from one texture and drawn as one
// mesh, rebuilt (UpdateBuffers) whenever a window is shown, hidden or changes state; text
// labels and the mouse cursor are child nodes with their own render objects. A screen may
// carry one directional light that it hands to the renderer each frame.
//
// Screens are filled from ".int" files (CPInterface_Load.cpp) and follow the pointer and the
// keyboard selection while active (CPInterface_Input.cpp). Everything they report goes out as
// commands: to the category "interface", and "window"/"button" to the owner task named on
// the file's first line.
//
// The screen owns what it creates (windows, buttons, edit boxes, label and cursor nodes with
// their render objects) and deletes them with itself; Release frees nothing.
#pragma once

#include "Render/CPRenderObject.h"
#include "core/CPtr.h"
#include "interface/CPButton.h"
#include "interface/CPEditBox.h"
#include "interface/CPTextEntry.h"
#include "interface/CPWindow.h"
#include "platform/d3dx/D3DXMath.h"
#include "scene/CPGameObject.h"

#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CPInterface : public CPGameObject {
public:
    CPInterface();
    ~CPInterface() override;

    std::string GetTypeName() const override { return "CPInterface - " + Name; }

    // Input on, the pointer's current position given to every screen (OnMouseMove), then the
    // node activation.
    void Activate(int32_t priority) override;
    void Deactivate() override;
    // Fills the screen from "Data\Interface\" + name + "1024.int"; the material's type is
    // 200 + number. A file that cannot be read leaves an empty screen that draws nothing.
    virtual void Load(const std::string& name, int number);
    // The part of Load after the file is read: the screen's entries from the records.
    void Build(const InterfaceFile& file, int number);
    // The light (while the renderer has room) and the screen's tree to the static batcher.
    virtual void Submit();
    // Input on and the node activation, without the pointer update.
    virtual void SilentActivate(int32_t priority);

    // Mesh := the quads of the visible windows in WindowOrder at their positions (a button
    // gives its current state's picture); at most MaxInterfaceQuads.
    void UpdateBuffers();

    // The anchor rule on the configured screen size.
    static void ApplyAnchor(float& x, float& y, const std::string& anchor);

    // Input (CPInterface_Input.cpp). The class-wide operations walk Interfaces from the
    // newest screen to the oldest.
    // "mouse_move" with the position as fractions of the screen, then MoveMouse on every screen.
    static void OnMouseMove(float x, float y);
    // A press: to the top window under the point of the newest active screen with a cursor
    // that has one; no other window gets it.
    static void OnMouseDown(int button, float x, float y);
    // A release: to the top window under the point as above; the other buttons of the active
    // screens, which the point misses, return to normal.
    static void OnMouseUp(int button, float x, float y);
    static void MenuRight();
    static void MenuLeft();
    void MoveMouse(float x, float y);
    void HoverAt(float x, float y);
    void SelectNextButton();
    void SelectPreviousButton();

    // Registration of what a loader or the game code creates; the screen takes ownership.
    void AddWindow(std::unique_ptr<CPWindow> window);
    // A "text" child node with an empty CPRenderObject, owned by the screen.
    CPtr<CPGameObject> MakeTextNode();

    // Elements by name, for the script functions (CPInterface_Elements.cpp). A name the screen
    // does not hold changes nothing; none of them rebuilds the mesh.
    // The label's stored text := text, drawn with its stored node, position and font.
    void SetLabelText(const std::string& name, const std::string& text);
    void ShowWindow(std::string_view name, bool visible);
    void SetWindowXY(std::string_view name, float x, float y);
    // x, y := the window's position; left as the caller set them when there is no such window.
    void GetWindowXY(std::string_view name, float& x, float& y) const;
    // Hides the current cursor, makes the cursor of that name current (a missing name is
    // entered with a null cursor, so nothing shows) and places it at MousePosition.
    void SetCursorByName(const std::string& name);
    // A copy of the edit box's text; "" when there is no edit box of that name.
    std::string GetEditBoxText(const std::string& name) const;
    CPWindow* FindWindow(std::string_view name) const;
    // Changes whenever FindWindow's index of Windows is rebuilt; unique among all screens, so
    // windows found under one value may be kept until it changes (CPWindowList).
    uint64_t WindowIndexSerial() const;
    CPTextEntry* FindLabel(const std::string& name);
    CPEditBox* FindEditBox(const std::string& name) const;

    D3DXVECTOR2 MousePosition;
    CPtr<CPRenderObject> Mesh;
    std::unordered_map<std::string, CPtr<CPWindow>> Windows;
    std::list<CPtr<CPWindow>> WindowOrder;
    std::list<CPtr<CPWindow>> Buttons;
    std::unordered_map<std::string, CPtr<CPEditBox>> EditBoxes;
    CPtr<CPWindow> CurrentButton;
    std::unordered_map<std::string, CPTextEntry> Texts;
    D3DLIGHT9 Light;
    bool LightOn = false;
    CPtr<CPGameObject> Cursor;
    std::unordered_map<std::string, CPtr<CPGameObject>> Cursors;
    bool InputActive = false;
    std::string CursorName;

    // Every screen alive, oldest first.
    static std::vector<CPInterface*> Interfaces;

protected:
    template <class T>
    T* Own(std::unique_ptr<T> object) {
        T* raw = object.get();
        owned.push_back(std::move(object));
        return raw;
    }

private:
    void LoadCursor(const CPWindow& window, const std::string& texture);
    // Steps 4 to 6 of a pointer update at (x, y); hover keeps only buttons current.
    void TrackPointer(float x, float y, bool hover);
    bool SelectButton(bool forward);
    void SelectWindow(CPWindow* target);

    std::vector<std::unique_ptr<CPObject>> owned;  // in order of creation
    // FindWindow's index of Windows (the race display looks up some eighty names a frame):
    // open addressing on a cheap hash of the name, pointing at the map's own keys. Rebuilt on
    // the next lookup after AddWindow or when the map's size no longer matches.
    struct WindowSlot {
        uint32_t Hash = 0;
        const std::string* Name = nullptr;  // the key in Windows; null: an empty slot
        CPWindow* Window = nullptr;
    };
    void IndexWindows() const;
    // Rebuilds the index when AddWindow or a change of the map's size left it behind.
    void RefreshWindowIndex() const;
    // WindowOrder as a flat array for UpdateBuffers, refreshed when the list's size changes.
    std::vector<CPWindow*> drawOrder;
    mutable std::vector<WindowSlot> windowIndex;
    mutable size_t indexedWindows = 0;
    mutable bool windowIndexStale = true;
    mutable uint64_t windowIndexSerial = 0;
    std::unique_ptr<CPRenderObject> ownMesh;
};

// A fixed list of window names looked up once per state of a screen's windows: code that
// shows or hides the same names every frame (the race display) finds them without a lookup
// each time. The windows are those of the last screen asked about.
class CPWindowList {
public:
    explicit CPWindowList(std::vector<std::string> names) : names(std::move(names)) {}
    // The screen's window of each name, null where it has none, in the list's order.
    const std::vector<CPWindow*>& On(const CPInterface& screen);
    // Shows the first count windows of the list and hides the rest.
    void ShowFirst(CPInterface& screen, int64_t count);

private:
    std::vector<std::string> names;
    uint64_t serial = 0;
    std::vector<CPWindow*> windows;
};
