// Camera and render functions: the menus' default camera, the race camera's target, turn,
// field of view and kind, the three views of the player's car, the render temperature, the
// sun light, the lens flare, the renderer's blur and light values and debug lines.
//
// The functions of the race camera need a current level with a camera, those of the sun and
// the lens flare a current level: without one they return at once with no results.
// ChangeGameCamera pushes -1 without a level. The renderer's values are left alone while there
// is no renderer.
#include "script/ScriptAreas.h"

#include "script/ScriptApi.h"

#include "Render/CPRender.h"
#include "game/CPLevel.h"
#include "game/CPRaceCamera.h"
#include "interface/CPLensFlare.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPPerspectiveCamera.h"

#include <cstdint>
#include <memory>

namespace Script {

namespace {

constexpr float DegreesToRadians = 0.017453292f;
constexpr int MenuLayer = 19;

CPLevel* Level() { return GetCurrentLevel(); }
CPCamera* Camera() {
    CPLevel* level = Level();
    return level != nullptr ? level->GetCamera() : nullptr;
}

int SetDefaultCamera(lua_State*) {
    auto camera = std::make_unique<CPPerspectiveCamera>();
    camera->Fov = 1.2217305f;
    camera->Near = 1.0f;
    camera->Far = 1000.0f;
    camera->Position = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    camera->Target = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
    camera->Up = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    camera->ProjectionDirty = true;
    camera->ViewDirty = true;
    camera->Update();
    if (CPRender::Instance != nullptr) {
        // The renderer keeps it and deletes the one this call replaces.
        CPRender::Instance->SetOwnLayerCamera(MenuLayer, std::move(camera));
    }
    return 0;
}

int SetCameraPos(lua_State* L) {
    const D3DXVECTOR3 target(Number(L, 1), Number(L, 2), Number(L, 3));
    if (CPCamera* camera = Camera()) {
        camera->LookTarget = target;
        camera->Changed = true;
    }
    return 0;
}

int SetCameraZAngle(lua_State* L) {
    const float angle = Number(L, 1);
    if (CPCamera* camera = Camera()) {
        camera->Yaw = angle;
        camera->Changed = true;
    }
    return 0;
}

int GetCameraZAngle(lua_State* L) {
    CPCamera* camera = Camera();
    if (camera == nullptr) {
        return 0;
    }
    lua_pushnumber(L, camera->Yaw);
    return 1;
}

int GetCameraPositions(lua_State* L) {
    CPCamera* camera = Camera();
    if (camera == nullptr || camera->GetView1() == nullptr) {
        return 0;
    }
    const D3DXVECTOR3& eye = camera->GetView1()->Position;
    const D3DXVECTOR3& look = camera->FreeView ? camera->FreeLookAt : camera->LookTarget;
    for (const float value : {eye.x, eye.y, eye.z, look.x, look.y, look.z}) {
        lua_pushnumber(L, value);
    }
    return 6;
}

int SetFOV(lua_State* L) {
    const float fov = Number(L, 1);
    CPCamera* camera = Camera();
    if (camera == nullptr) {
        return 0;
    }
    camera->Changed = true;
    camera->TargetFov = fov;
    if (camera->Fov == 0.0f) {
        camera->Fov = fov;
        for (CPPerspectiveCamera* view : {camera->GetView1(), camera->GetView2()}) {
            if (view != nullptr) {
                view->Fov = fov * DegreesToRadians;
                view->ProjectionDirty = true;
            }
        }
    }
    return 0;
}

int SetCamera(lua_State* L) {
    const int32_t kind = Flag(L, 1) ? 1 : 0;
    CPLevel* level = Level();
    CPCamera* camera = Camera();
    if (camera == nullptr || kind == level->CameraKind) {
        return 0;
    }
    level->CameraKind = kind;
    level->OrbitTime = 0.0f;
    CrtRand();
    if (kind == 0) {
        camera->Yaw = level->FollowedHeading;
        camera->Changed = true;
    }
    camera->Elevation = CrtRand() % 4 != 0 ? -1.5707964f : -0.2617994f;
    camera->Changed = true;
    return 0;
}

int ChangeGameCamera(lua_State* L) {
    CPLevel* level = Level();
    if (level == nullptr) {
        lua_pushnumber(L, -1);
        return 1;
    }
    int64_t mode = static_cast<int64_t>(level->CameraMode) + 1;
    if (mode == CPLevel::CameraSetCount) {
        mode = 0;
    }
    // A mode outside 0..2 is only stored (SetCameraMode switches nothing for it).
    level->SetCameraMode(static_cast<int32_t>(mode));
    lua_pushnumber(L, static_cast<double>(mode));
    return 1;
}

int SetCameraPlayer(lua_State* L) {
    const bool second = Flag(L, 1);
    if (CPLevel* level = Level()) {
        level->SetCameraMode(second ? 1 : 0);
    }
    return 0;
}

int GetCameraPlayer(lua_State* L) {
    CPLevel* level = Level();
    if (level == nullptr) {
        return 0;
    }
    lua_pushnumber(L, level->CameraMode);
    return 1;
}

int SetTemp(lua_State* L) {
    RenderTemp = Number(L, 1);
    return 0;
}

int GetTemp(lua_State* L) {
    lua_pushnumber(L, RenderTemp);
    return 1;
}

// The fifteen values of the sun light in the scripts' order.
constexpr int LightValues = 15;
float* LightValue(D3DLIGHT9& light, int i) {
    float* const values[LightValues] = {
        &light.Diffuse.r,  &light.Diffuse.g,  &light.Diffuse.b,  &light.Diffuse.a,  &light.Specular.r,
        &light.Specular.g, &light.Specular.b, &light.Specular.a, &light.Ambient.r,  &light.Ambient.g,
        &light.Ambient.b,  &light.Ambient.a,  &light.Direction.x, &light.Direction.y, &light.Direction.z,
    };
    return values[i];
}

int GetLight(lua_State* L) {
    CPLevel* level = Level();
    if (level == nullptr) {
        return 0;
    }
    for (int i = 0; i < LightValues; ++i) {
        lua_pushnumber(L, *LightValue(level->SunLight, i));
    }
    return LightValues;
}

int SetLight(lua_State* L) {
    float values[LightValues];
    for (int i = 0; i < LightValues; ++i) {
        values[i] = Number(L, i + 1);
    }
    CPLevel* level = Level();
    if (level == nullptr) {
        return 0;
    }
    for (int i = 0; i < LightValues; ++i) {
        *LightValue(level->SunLight, i) = values[i];
    }
    return 0;
}

int SetLensFlare(lua_State*) {
    CPLevel* level = Level();
    if (level == nullptr) {
        return 0;
    }
    // The three arguments are read by the scripts' convention and change nothing.
    level->LensFlare = CPtr<CPLensFlare>(new CPLensFlare());
    level->LensFlare->Load("lensflare2", 198);
    return 0;
}

int SetMotionBlur(lua_State* L) {
    const float amount = Number(L, 1);
    if (CPRender* render = CPRender::Instance) {
        render->MotionBlur = amount != 0.0f ? 1 : 0;
        render->MotionBlurAmount = amount;
    }
    return 0;
}

int SetLightCoeff(lua_State* L) {
    const float value = Number(L, 1);
    if (CPRender* render = CPRender::Instance) {
        render->LightCoeff = value;
    }
    return 0;
}

int SetRadialBlur(lua_State* L) {
    const float value = Number(L, 1);
    if (CPRender* render = CPRender::Instance) {
        render->RadialBlur = value;
    }
    return 0;
}

int DrawLine(lua_State* L) {
    const D3DXVECTOR3 from(Number(L, 1), Number(L, 2), Number(L, 3));
    const D3DXVECTOR3 to(Number(L, 4), Number(L, 5), Number(L, 6));
    if (CPRender* render = CPRender::Instance) {
        render->AddLine(0xFFFF0000u, from, to);
    }
    return 0;
}

}  // namespace

extern const luaL_Reg CameraFunctionsA[] = {
    {"SetDefaultCamera", SetDefaultCamera},
    {"SetCameraPos", SetCameraPos},
    {"SetCameraZAngle", SetCameraZAngle},
    {"GetCameraZAngle", GetCameraZAngle},
    {"GetCameraPositions", GetCameraPositions},
    {"SetFOV", SetFOV},
    {"SetCamera", SetCamera},
    {"ChangeGameCamera", ChangeGameCamera},
    {"SetTemp", SetTemp},
    {"GetTemp", GetTemp},
    {"GetLight", GetLight},
    {"SetLight", SetLight},
    {"SetLensFlare", SetLensFlare},
    {"SetMotionBlur", SetMotionBlur},
    {"DrawLine", DrawLine},
    {nullptr, nullptr},
};

extern const luaL_Reg CameraFunctionsB[] = {
    {"SetCameraPlayer", SetCameraPlayer},
    {"GetCameraPlayer", GetCameraPlayer},
    {"SetLightCoeff", SetLightCoeff},
    {"SetRadialBlur", SetRadialBlur},
    {nullptr, nullptr},
};

}  // namespace Script
