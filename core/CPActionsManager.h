// The game's key bindings: named actions bound to a keyboard key by name or to a numeric input
// code, read from and written to "Actions.cfg", plus the mouse position and the two switches
// that the host's input handling reads.
//
// The host constructs the manager, sets Instance, polls the devices and acts on the slots;
// scripts load, rebind, list and save. Three views of one file are kept: Bindings by action
// name (the menu's view), KeySlots by scan code and NumericSlots by numeric code (the host's
// view). Rebinding changes Bindings only; the slots follow once the file is written and
// loaded again.
#pragma once

#include "core/ActionBinding.h"
#include "core/ActionsFile.h"
#include "core/CPObject.h"
#include "platform/win32/WinTypes.h"

#include <array>
#include <string>
#include <unordered_map>
#include <vector>

class CPActionsManager : public CPObject {
public:
    static constexpr int KeySlotCount = 256;
    static constexpr int NumericSlotCount = 128;
    // Written in the current directory by SaveActions.
    static constexpr const char* FileName = "Actions.cfg";

    CPActionsManager();

    size_t GetObjectSize() const override { return sizeof(CPActionsManager); }
    std::string GetTypeName() const override { return "CPActionsManager"; }

    // Reads a bindings file (through the data files, so a packed copy is found too) and
    // rebuilds the key slots, Bindings and ActionNames from it. A file that cannot be read
    // returns the reader's failure (E_FAIL) and changes nothing.
    HRESULT LoadActions(const std::string& fileName);
    // The in-memory half of LoadActions: key slots, Bindings and ActionNames are rebuilt from
    // the lines; NumericSlots are overwritten line by line but never cleared.
    void ApplyActions(const std::vector<ActionLine>& lines);

    // Gives the key named keyName to the action whose Text is text. The first binding (in
    // action order) that holds keyName loses it first and shows "undefined key", so an action
    // can take a key from another. A name not in the key-name table binds nothing. The third
    // argument is accepted for the script interface and not read.
    void SetAction(const std::string& text, const std::string& keyName, bool unused);

    // The file's bytes, one line per entry of ActionNames in order; a name without a binding
    // gets a default one inserted first.
    std::string FormatActions();
    // Writes FormatActions() to "Actions.cfg" whole; the bindings stay as they are. Returns
    // the writer's result.
    HRESULT SaveActions();
    // SaveActions, then LoadActions("Actions.cfg") whatever the write gave, so the slots,
    // Bindings and ActionNames are what the reader makes of the file. Returns the first failure.
    HRESULT SaveAndReloadActions();

    // The cursor in whole pixels, truncated toward zero (NaN gives 0, out of range clamps).
    void GetMousePosition(int& x, int& y) const;

    float MouseX = 0.0f;  // written by the host
    float MouseY = 0.0f;
    std::array<ActionBinding, KeySlotCount> KeySlots;          // Text is the action name
    std::array<ActionBinding, NumericSlotCount> NumericSlots;  // Text is the action name
    std::unordered_map<std::string, ActionBinding> Bindings;   // by action name; Text is the label
    std::vector<std::string> ActionNames;                      // file order, repeats kept
    bool ActionsEnabled = true;
    bool AssignKeyMode = false;

    static CPActionsManager* Instance;  // set by the host

private:
    // The first binding that satisfies match: in ActionNames order, then any other entry.
    template <typename Match>
    ActionBinding* FindFirstBinding(Match match);
};
