// The engine binding module (table E): the frame time, reference counts, string commands to and
// from script tasks, walking and moving scene objects, loading and drawing objects, animations,
// the screen fade, stopping every task, splitting and converting strings, and the three
// interface operations registered here (DeactivateObject, LockButton, UnlockButton).
//
// Every handle is checked before it is followed (script/ScriptApi.h); a null one keeps each
// function's null behaviour. Object addresses cross as decimal text through the one helper the
// engine's commands use (core/ObjectAddress.h), 64 bits wide.
#include "script/ScriptAreas.h"

#include "script/ScriptApi.h"

#include "Render/CPRender.h"
#include "Render/CPRenderBatcher.h"
#include "core/CPCommandDispatcher.h"
#include "core/CPScheduler.h"
#include "core/CPScriptTask.h"
#include "core/CPTokenizer.h"
#include "core/FrameTime.h"
#include "core/ObjectAddress.h"
#include "game/CPLevel.h"
#include "interface/CPInterface.h"
#include "scene/CPAnimationParams.h"
#include "scene/CPGameObject.h"
#include "scene/CPSceneLoader.h"

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

namespace Script {

namespace {

// Objects and references.

int AddRef(lua_State* L) {
    if (CPObject* object = Handle<CPObject>(L, 1, "AddRef")) {
        object->AddRef();
    }
    return 0;
}

int Release(lua_State* L) {
    if (CPObject* object = Handle<CPObject>(L, 1, "Release")) {
        object->Release();
    }
    return 0;
}

int GetChildObject(lua_State* L) {
    // The name is read (and checked) even for a null object.
    const char* name = CheckText(L, 2);
    CPGameObject* root = Handle<CPGameObject>(L, 1, "GetChildObject");
    CPGameObject* found = nullptr;
    if (root != nullptr) {
        std::vector<CPtr<CPGameObject>> tree;
        root->CollectTree(tree);
        for (const CPtr<CPGameObject>& node : tree) {
            if (node && node->Name == name) {
                found = node.Get();
                break;
            }
        }
    }
    PushHandle(L, found);
    return 1;
}

int GetParentObject(lua_State* L) {
    CPGameObject* object = Handle<CPGameObject>(L, 1, "GetParentObject");
    PushHandle(L, object != nullptr ? object->Parent : nullptr);
    return 1;
}

int SetVisible(lua_State* L) {
    if (CPGameObject* object = Handle<CPGameObject>(L, 1, "SetVisible")) {
        object->Visible = Flag(L, 2);
    }
    return 0;
}

int SetCollision(lua_State* L) {
    if (CPGameObject* object = Handle<CPGameObject>(L, 1, "SetCollision")) {
        object->Collision = Flag(L, 2);
    }
    return 0;
}

int SetPTransformation(lua_State* L) {
    CPGameObject* object = Handle<CPGameObject>(L, 1, "SetPTransformation");
    if (object == nullptr) {
        return 0;
    }
    // Row vectors: rotate, then translate; angles in radians.
    D3DXMATRIX rotation;
    D3DXMATRIX translation;
    D3DXMatrixRotationYawPitchRoll(&rotation, Number(L, 5), Number(L, 6), Number(L, 7));
    D3DXMatrixTranslation(&translation, Number(L, 2), Number(L, 3), Number(L, 4));
    D3DXMatrixMultiply(&object->ParentMatrix, &rotation, &translation);
    object->TransformDirty = true;
    object->TransformUpdated = false;
    object->UpdateTransform();
    return 0;
}

int ActivateObject(lua_State* L) {
    if (CPGameObject* object = Handle<CPGameObject>(L, 1, "ActivateObject")) {
        object->Activate(Int(L, 2));
    }
    return 0;
}

// DeactivateObject, and DeactivateInterface of table A.
int DeactivateObject(lua_State* L) {
    if (CPGameObject* object = Handle<CPGameObject>(L, 1, "DeactivateObject")) {
        object->Deactivate();
    }
    return 0;
}

int LoadRenderObject(lua_State* L) {
    const char* name = CheckText(L, 1);
    const int32_t typeBase = Truncate(luaL_checknumber(L, 2));
    CPGameObject* object = nullptr;
    if (CPSceneLoader::Instance != nullptr) {
        CPtr<CPGameObject> loaded = CPSceneLoader::Instance->LoadObject(name, typeBase);
        object = loaded.Get();
        if (object != nullptr) {
            // The script's reference, taken before the loader's holder lets go.
            object->AddRef();
            // Nothing else deletes a loaded object: one made during a level (a bonus, a prop)
            // goes with the level.
            if (CPLevel::Current != nullptr) {
                CPLevel::Current->ScriptObjects.emplace_back(object);
            }
        }
    }
    PushHandle(L, object);
    return 1;
}

int DrawDynamicObject(lua_State* L) {
    CPGameObject* object = Handle<CPGameObject>(L, 1, "DrawDynamicObject");
    if (object != nullptr && CPRender::Instance != nullptr) {
        if (CPtr<CPRenderBatcher> batcher = CPRender::Instance->GetStaticBatcher()) {
            batcher->AddTree(CPtr<CPGameObject>(object));
        }
    }
    return 0;
}

int SetAnimation(lua_State* L) {
    CPGameObject* object = Handle<CPGameObject>(L, 1, "SetAnimation");
    CPScriptTask* listener = Handle<CPScriptTask>(L, 6, "SetAnimation");
    if (object == nullptr) {
        return 0;
    }
    CPAnimationParams params;
    params.Name = Text(L, 2);
    params.Speed = Number(L, 3);
    params.LoopLimit = Int(L, 4);
    params.Listener = listener;
    params.ReportFrame = Int(L, 5);
    params.StartDelay = 0.0f;
    object->SetAnimation(params, false);
    return 0;
}

// Commands.

int SendCommandByName(lua_State* L) {
    const char* target = CheckText(L, 1);
    const char* command = CheckText(L, 2);
    const char* params = CheckText(L, 3);
    // The dispatcher's strings are gone before the error can be raised.
    if (CPCommandDispatcher::Instance != nullptr &&
        !CPCommandDispatcher::Instance->SendCommandByName(target, command, params)) {
        luaL_error(L, "SendCommandByName: the command queue of \"%s\" is full", target);
    }
    return 0;
}

int SendCommandByCategory(lua_State* L) {
    const char* category = CheckText(L, 1);
    const char* command = CheckText(L, 2);
    const char* params = CheckText(L, 3);
    if (CPCommandDispatcher::Instance != nullptr &&
        !CPCommandDispatcher::Instance->SendCommandByCategory(category, command, params)) {
        luaL_error(L, "SendCommandByCategory: a command queue of category \"%s\" is full", category);
    }
    return 0;
}

int SendCommandByObject(lua_State* L) {
    CPGameObject* object = Handle<CPGameObject>(L, 1, "SendCommandByObject");
    if (object == nullptr) {
        return 0;  // the strict arguments are not read
    }
    const char* command = CheckText(L, 2);
    const char* params = CheckText(L, 3);
    // The object's task pointer is not counted: send only to a task that is still alive.
    CPObject* task = CPObject::FindLive(static_cast<const void*>(object->ScriptObject));
    bool delivered = true;
    if (task != nullptr && CPCommandDispatcher::Instance != nullptr) {
        delivered = CPCommandDispatcher::Instance->SendCommandByObject(CPtr<CPScriptTask>(object->ScriptObject),
                                                                       command, params);
    }
    if (!delivered) {
        luaL_error(L, "SendCommandByObject: the command queue of the object's task is full");
    }
    return 0;
}

int SetNextCommand(lua_State* L) {
    CPScriptTask* task = Handle<CPScriptTask>(L, 1, "SetNextCommand");
    lua_pushboolean(L, task != nullptr && task->NextCommand());
    return 1;
}

int GetCurrentCommand(lua_State* L) {
    CPScriptTask* task = Handle<CPScriptTask>(L, 1, "GetCurrentCommand");
    if (task == nullptr || task->Current == nullptr) {
        return 0;
    }
    lua_pushlstring(L, task->Current->Name.data(), task->Current->Name.size());
    return 1;
}

// Pushes one string per piece (a protected push: the pieces are the caller's copies).
int PushPieces(lua_State* L, const std::vector<std::string>& pieces, const char* function) {
    if (pieces.size() > static_cast<size_t>(INT_MAX) || !HasRoom(L, static_cast<int>(pieces.size()))) {
        RaiseTooManyResults(L, function);
    }
    for (const std::string& piece : pieces) {
        lua_pushlstring(L, piece.data(), piece.size());
    }
    return static_cast<int>(pieces.size());
}

int GetCurrentParams(lua_State* L) {
    CPScriptTask* task = Handle<CPScriptTask>(L, 1, "GetCurrentParams");
    if (task == nullptr || task->Current == nullptr) {
        return 0;
    }
    int count = 0;
    {
        // A copy: the pushes may run the collector, and nothing may change the queue under us.
        const std::vector<std::string> params = task->Current->Params;
        count = PushProtected(L, [&params](lua_State* S) { return PushPieces(S, params, "GetCurrentParams"); });
    }
    return Results(L, count);
}

// Time, tasks and the screen.

int GetDeltaTime(lua_State* L) {
    lua_pushnumber(L, FrameTime);
    return 1;
}

int KillAllTasks(lua_State*) {
    if (CPScheduler::Instance != nullptr) {
        CPScheduler::Instance->KillAllTasks();
    }
    return 0;
}

int SetFade(lua_State* L) {
    if (CPRender::Instance != nullptr) {
        CPRender::Instance->SetFade(Number(L, 1));
    }
    return 0;
}

int DumpObjects(lua_State*) { return 0; }

// Interface buttons.

int LockButton(lua_State* L) {
    CPInterface* screen = Handle<CPInterface>(L, 1, "LockButton");
    if (screen == nullptr) {
        return 0;
    }
    const auto found = screen->Windows.find(Text(L, 2));
    if (found != screen->Windows.end() && found->second) {
        CPWindow* button = found->second.Get();
        button->SetEnabled(false);
        if (screen->CurrentButton.Get() == button) {
            button->OnMouseOut(0.0f, 0.0f);
            screen->CurrentButton = nullptr;
        }
    }
    return 0;
}

int UnlockButton(lua_State* L) {
    CPInterface* screen = Handle<CPInterface>(L, 1, "UnlockButton");
    if (screen == nullptr) {
        return 0;
    }
    const auto found = screen->Windows.find(Text(L, 2));
    if (found != screen->Windows.end() && found->second) {
        found->second->SetEnabled(true);
    }
    return 0;
}

// Strings and numbers.

int PointerToString(lua_State* L) {
    // Only the address is printed; nothing is followed, so it is not checked. The text is
    // copied into a plain buffer so no C++ object lives across the push.
    char text[32] = "";
    {
        const std::string address = AddressToText(lua_touserdata(L, 1));
        std::snprintf(text, sizeof(text), "%s", address.c_str());
    }
    lua_pushstring(L, text);
    return 1;
}

int StringToPointer(lua_State* L) {
    const char* text = CheckText(L, 1);
    lua_pushlightuserdata(L, TextToAddress(text));
    return 1;
}

int SplitString(lua_State* L) {
    const char* text = CheckText(L, 1);
    const char* delimiter = CheckText(L, 2);
    int count = 0;
    {
        std::vector<std::string> pieces;
        {
            CPTokenizer tokenizer(text, delimiter, true);
            std::string piece;
            while (tokenizer.NextToken(piece)) {
                pieces.push_back(piece);
            }
        }
        count = PushProtected(L, [&pieces](lua_State* S) { return PushPieces(S, pieces, "SplitString"); });
    }
    // Raised once the pieces are gone (the error does not unwind C++ objects).
    return Results(L, count);
}

int ToInt(lua_State* L) {
    lua_pushnumber(L, Int(L, 1));
    return 1;
}

int CheckString(lua_State* L) {
    CheckText(L, 1);
    lua_pushvalue(L, 1);  // its one result is its argument, whatever else the call was given
    return 1;
}

}  // namespace

extern const luaL_Reg EngineFunctionsA[] = {
    {"DeactivateInterface", DeactivateObject},
    {nullptr, nullptr},
};

extern const luaL_Reg EngineFunctionsE[] = {
    {"GetDeltaTime", GetDeltaTime},
    {"AddRef", AddRef},
    {"DumpObjects", DumpObjects},
    {"Release", Release},
    {"SendCommandByName", SendCommandByName},
    {"SendCommandByObject", SendCommandByObject},
    {"SendCommandByCategory", SendCommandByCategory},
    {"SetNextCommand", SetNextCommand},
    {"GetCurrentCommand", GetCurrentCommand},
    {"GetCurrentParams", GetCurrentParams},
    {"PointerToString", PointerToString},
    {"StringToPointer", StringToPointer},
    {"SetPTransformation", SetPTransformation},
    {"CheckString", CheckString},
    {"GetChildObject", GetChildObject},
    {"SetVisible", SetVisible},
    {"SetCollision", SetCollision},
    {"SplitString", SplitString},
    {"LoadRenderObject", LoadRenderObject},
    {"DrawDynamicObject", DrawDynamicObject},
    {"SetAnimation", SetAnimation},
    {"GetParentObject", GetParentObject},
    {"ActivateObject", ActivateObject},
    {"DeactivateObject", DeactivateObject},
    {"SetFade", SetFade},
    {"LockButton", LockButton},
    {"UnlockButton", UnlockButton},
    {"KillAllTasks", KillAllTasks},
    {"ToInt", ToInt},
    {nullptr, nullptr},
};

}  // namespace Script
