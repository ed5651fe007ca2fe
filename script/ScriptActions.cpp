// Key binding functions: the controls menu lists the actions with their keys and texts, puts
// the actions manager into key-assignment mode, binds a key to an action, and writes
// "Actions.cfg" or reads a bindings file. The manager (core/CPActionsManager) does the work;
// it is the host's and may be missing, and then the functions do nothing.
//
// "Actions.cfg" is written whole to a temporary name and renamed over the old file
// (CPFileWriter), so a failed save leaves the previous bindings on disk; the failure is logged.
#include "script/ScriptAreas.h"

#include "script/ScriptApi.h"

#include "core/CPActionsManager.h"
#include "core/CPLog.h"
#include "core/KeyNames.h"

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

namespace Script {

namespace {

// Pushes a new table {1..n} of the texts, in file order.
int PushTexts(lua_State* L, const std::vector<std::string>& texts) {
    lua_createtable(L, static_cast<int>(std::min<size_t>(texts.size(), INT_MAX)), 0);
    int index = 0;
    for (const std::string& text : texts) {
        lua_pushlstring(L, text.data(), text.size());
        lua_rawseti(L, -2, ++index);
    }
    return 1;
}

int GetActionNames(lua_State* L) {
    CPActionsManager* manager = CPActionsManager::Instance;
    if (manager == nullptr) {
        return 0;
    }
    // Copies of the key and action texts, one per action name ("" for a name without a
    // binding); the tables are pushed from them.
    int count = 0;
    {
        std::vector<std::string> keys;
        std::vector<std::string> texts;
        keys.reserve(manager->ActionNames.size());
        texts.reserve(manager->ActionNames.size());
        for (const std::string& name : manager->ActionNames) {
            const auto found = manager->Bindings.find(name);
            const bool bound = found != manager->Bindings.end();
            keys.push_back(bound ? found->second.KeyText : std::string());
            texts.push_back(bound ? found->second.Text : std::string());
        }
        const double bindings = static_cast<double>(manager->Bindings.size());
        count = PushProtected(L, [&](lua_State* S) {
            lua_pushnumber(S, bindings);
            PushTexts(S, keys);
            PushTexts(S, texts);
            return 3;
        });
    }
    return Results(L, count);
}

int SetAssignKey(lua_State*) {
    if (CPActionsManager::Instance != nullptr) {
        CPActionsManager::Instance->AssignKeyMode = true;
    }
    return 0;
}

int SetAction(lua_State* L) {
    CPActionsManager* manager = CPActionsManager::Instance;
    const std::string keyName = Text(L, 2);
    // A key name outside the key-name table changes nothing: taking the key away from its holder
    // and binding nothing would only lose a binding.
    if (manager == nullptr || !FindKeyCode(keyName)) {
        return 0;
    }
    manager->SetAction(Text(L, 1), keyName, Flag(L, 3));
    return 0;
}

int SaveActions(lua_State*) {
    CPActionsManager* manager = CPActionsManager::Instance;
    if (manager != nullptr && FAILED(manager->SaveActions())) {
        CPLog::GetInstance().Write(0, "SaveActions: %s: cannot be written, the old file stays\n",
                                   CPActionsManager::FileName);
    }
    return 0;
}

int UpdateActions(lua_State*) {
    if (CPActionsManager::Instance != nullptr) {
        CPActionsManager::Instance->SaveAndReloadActions();
    }
    return 0;
}

int LoadActions(lua_State* L) {
    if (CPActionsManager::Instance != nullptr) {
        CPActionsManager::Instance->LoadActions(Text(L, 1));
    }
    return 0;
}

}  // namespace

extern const luaL_Reg ActionFunctionsA[] = {
    {"GetActionNames", GetActionNames},
    {"SetAssignKey", SetAssignKey},
    {"SetAction", SetAction},
    {"SaveActions", SaveActions},
    {"LoadActions", LoadActions},
    {"UpdateActions", UpdateActions},
    {nullptr, nullptr},
};

}  // namespace Script
