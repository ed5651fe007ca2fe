#include "core/CPActionsManager.h"

#include "core/KeyNames.h"

#include <cmath>
#include <limits>

CPActionsManager* CPActionsManager::Instance = nullptr;

CPActionsManager::CPActionsManager() : Bindings(100) {}

void CPActionsManager::ApplyActions(const std::vector<ActionLine>& lines) {
    KeySlots.fill(ActionBinding());
    Bindings.clear();
    ActionNames.clear();
    for (const ActionLine& line : lines) {
        if (line.Numeric) {
            // Only codes 0..127 have a slot; a code outside keeps its binding below.
            const NumericKeyValue code = ParseNumericKey(line.Key);
            if (code.InByteRange && code.Value < NumericSlotCount) {
                ActionBinding& slot = NumericSlots[static_cast<size_t>(code.Value)];
                slot = ActionBinding();
                slot.KeyCode = code.Low8;
                slot.Text = line.Action;
                slot.Used = true;
                slot.Numeric = true;
            }
            Bindings[line.Action] = ActionBinding(line.Key, line.Text, true);
        } else {
            ActionBinding slot;
            slot.Set(line.Key, line.Action);
            KeySlots[slot.KeyCode] = slot;
            Bindings[line.Action] = ActionBinding(line.Key, line.Text, false);
        }
        ActionNames.push_back(line.Action);
    }
}

template <typename Match>
ActionBinding* CPActionsManager::FindFirstBinding(Match match) {
    for (const std::string& name : ActionNames) {
        const auto found = Bindings.find(name);
        if (found != Bindings.end() && match(found->second)) {
            return &found->second;
        }
    }
    for (auto& [name, binding] : Bindings) {
        if (match(binding)) {
            return &binding;
        }
    }
    return nullptr;
}

void CPActionsManager::SetAction(const std::string& text, const std::string& keyName, bool /*unused*/) {
    if (ActionBinding* holder = FindFirstBinding([&](const ActionBinding& b) { return b.KeyText == keyName; })) {
        holder->KeyCode = 0;
        holder->KeyText = UndefinedKeyName;
        holder->Used = true;
        holder->Numeric = false;
    }
    ActionBinding* target = FindFirstBinding([&](const ActionBinding& b) { return b.Text == text; });
    const std::optional<uint8_t> code = FindKeyCode(keyName);
    if (target != nullptr && code) {
        target->KeyText = keyName;
        target->KeyCode = *code;
    }
}

std::string CPActionsManager::FormatActions() {
    std::string text;
    for (const std::string& name : ActionNames) {
        text += FormatActionLine(name, Bindings[name]);
    }
    return text;
}

namespace {

int TruncateToInt(float value) {
    if (std::isnan(value)) {
        return 0;
    }
    // Both limits are exact floats; every float strictly between them truncates into range.
    constexpr float lowest = -2147483648.0f;
    constexpr float beyond = 2147483648.0f;
    if (value <= lowest) {
        return std::numeric_limits<int>::min();
    }
    if (value >= beyond) {
        return std::numeric_limits<int>::max();
    }
    return static_cast<int>(value);
}

}  // namespace

void CPActionsManager::GetMousePosition(int& x, int& y) const {
    x = TruncateToInt(MouseX);
    y = TruncateToInt(MouseY);
}
