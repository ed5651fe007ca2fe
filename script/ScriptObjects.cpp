// Object and player-car functions: moving, turning, pushing, inspecting, cloning and animating
// scene objects; reading and steering the followed car (the level's FollowedCar) — position,
// speed, heading, mass, nitro, lock, abilities, damage; the player's values of the game data;
// controls of any car; and the debug tuner of the followed car's vehicle model.
//
// A function that needs the followed car does what its level-less form does when the level has
// none (GetNitro returns nothing). A car without its vehicle model has no nitro (GetNitro 0,
// IsNitro false); an object without physics has no speed and no mass (0); a physics link with
// only a kinematic body has no velocity to read (speed 0).
#include "script/ScriptAreas.h"

#include "script/ScriptApi.h"

#include "Render/CPRender.h"
#include "core/CPScriptTask.h"
#include "core/Geometry.h"
#include "game/CPCar.h"
#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "game/CPRaceCamera.h"
#include "interface/CPGameData.h"
#include "physics/RbRigidBody.h"
#include "scene/CPAnimationParams.h"
#include "scene/CPGameObject.h"
#include "scene/CPPerspectiveCamera.h"
#include "scene/CPPhysicData.h"

#include <array>
#include <cmath>
#include <string>

namespace Script {

namespace {

constexpr int32_t TuneLast = 18;

CPPlayer* FollowedCar() {
    CPLevel* level = GetCurrentLevel();
    return level != nullptr ? level->FollowedCar : nullptr;
}

D3DXVECTOR3 Vector(lua_State* L, int first) {
    return D3DXVECTOR3(Number(L, first), Number(L, first + 1), Number(L, first + 2));
}

void PushVector(lua_State* L, const D3DXVECTOR3& v) {
    lua_pushnumber(L, v.x);
    lua_pushnumber(L, v.y);
    lua_pushnumber(L, v.z);
}

RbRigidBody* RigidBodyOf(const CPGameObject* object) {
    return object != nullptr && object->Physics != nullptr ? object->Physics->RigidBody : nullptr;
}

float MassOf(const CPGameObject* object) {
    return object != nullptr && object->Physics != nullptr ? object->Physics->MainShape.Mass : 0.0f;
}

// Scene objects.

int SetPosition(lua_State* L) {
    CPGameObject* object = Handle<CPGameObject>(L, 1, "SetPosition");
    const D3DXVECTOR3 p = Vector(L, 2);
    if (object != nullptr) {
        // Mirrors onto the substitutes and moves the kinematic body, else the rigid one.
        object->SetPosition(p);
        object->UpdateTransform();
    }
    return 0;
}

int GetPosition(lua_State* L) {
    CPGameObject* object = Handle<CPGameObject>(L, 1, "GetPosition");
    if (object == nullptr) {
        return 0;
    }
    PushVector(L, object->Position);
    return 3;
}

int SetRotation(lua_State* L) {
    CPGameObject* object = Handle<CPGameObject>(L, 1, "SetRotation");
    D3DXMATRIX rx, ry, rz, m;
    D3DXMatrixRotationX(&rx, Number(L, 2));
    D3DXMatrixRotationY(&ry, Number(L, 3));
    D3DXMatrixRotationZ(&rz, Number(L, 4));
    D3DXMatrixMultiply(&m, &rx, &ry);
    D3DXMatrixMultiply(&m, &m, &rz);
    D3DXQUATERNION q;
    D3DXQuaternionRotationMatrix(&q, &m);
    if (object != nullptr) {
        object->SetOrientation(q);
        object->UpdateTransform();
    }
    return 0;
}

int GetBBoxInfo(lua_State* L) {
    CPGameObject* object = Handle<CPGameObject>(L, 1, "GetBBoxInfo");
    if (object == nullptr) {
        return 0;
    }
    PushVector(L, object->Bounds.Centre);
    PushVector(L, object->Bounds.Min);
    PushVector(L, object->Bounds.Max);
    return 9;
}

// The race camera's first view, or null.
const CPPerspectiveCamera* RaceView() {
    const CPLevel* level = GetCurrentLevel();
    return level != nullptr && level->Camera != nullptr ? level->Camera->GetView1() : nullptr;
}

int CheckVisible(lua_State* L) {
    const CPGameObject* object = Handle<CPGameObject>(L, 1, "CheckVisible");
    const CPPerspectiveCamera* view = RaceView();
    lua_pushboolean(L, object != nullptr && view != nullptr &&
                           view->IsBoxVisible(object->CollisionBounds.Min, object->CollisionBounds.Max));
    return 1;
}

int GetObjectSpeed(lua_State* L) {
    CPGameObject* object = Handle<CPGameObject>(L, 1, "GetObjectSpeed");
    float speed = 0.0f;
    if (const RbRigidBody* body = RigidBodyOf(object)) {
        const RbVector& v = body->GetVelocity();
        const float squared = v.x * v.x + v.y * v.y + v.z * v.z;
        speed = squared < 1e-6f ? 0.0f : std::sqrt(squared);
    }
    lua_pushnumber(L, speed);
    return 1;
}

int IsRigid(lua_State* L) {
    CPGameObject* object = Handle<CPGameObject>(L, 1, "IsRigid");
    lua_pushboolean(L, RigidBodyOf(object) != nullptr);
    return 1;
}

int SetObjectVisible(lua_State* L) {
    CPGameObject* object = Handle<CPGameObject>(L, 1, "SetObjectVisible");
    if (object != nullptr) {
        object->Visible = Flag(L, 2);
    }
    return 0;
}

int FindObject(lua_State* L) {
    const char* name = CheckText(L, 2);
    CPGameObject* object = Handle<CPGameObject>(L, 1, "FindObject");
    CPGameObject* found = object != nullptr ? object->FindChild(name).Get() : nullptr;
    PushHandle(L, found);
    return 1;
}

int Clone(lua_State* L) {
    CPGameObject* object = Handle<CPGameObject>(L, 1, "Clone");
    if (object == nullptr) {
        return 0;
    }
    auto* copy = new CPGameObject(object->Name);
    copy->CopyFrom(CPtr<CPGameObject>(object));
    // No script function deletes objects: a copy made during a level goes with the level, as
    // the objects LoadRenderObject loads do.
    if (CPLevel::Current != nullptr) {
        CPLevel::Current->ScriptObjects.emplace_back(copy);
    }
    PushHandle(L, copy);
    return 1;
}

int StartAnimation(lua_State* L) {
    CPGameObject* object = Handle<CPGameObject>(L, 1, "StartAnimation");
    CPScriptTask* listener = Handle<CPScriptTask>(L, 4, "StartAnimation");
    CPAnimationParams params;
    params.Name = Text(L, 2);
    params.Speed = 1.0f;
    params.LoopLimit = Int(L, 3);
    params.Listener = CPtr<CPScriptTask>(listener);
    params.ReportFrame = -1;
    params.StartDelay = 0.0f;
    if (object != nullptr) {
        object->SetAnimation(params, false);
    }
    return 0;
}

int ApplyImpulse(lua_State* L) {
    CPPlayer* car = Handle<CPPlayer>(L, 1, "ApplyImpulse");
    if (car != nullptr) {
        car->ApplyImpulse(car->Position, Vector(L, 2));
    }
    return 0;
}

int Jump(lua_State* L) {
    CPGameObject* object = Handle<CPGameObject>(L, 1, "Jump");
    const D3DXVECTOR3 impulse = Vector(L, 2);
    if (RbRigidBody* body = RigidBodyOf(object)) {
        const D3DXVECTOR3& p = object->Position;
        body->ApplyImpulse(RbVec(impulse.x, impulse.y, impulse.z), RbVec(p.x, p.y, p.z, 1.0f));
    }
    return 0;
}

// The followed car.

int GetPlayerPosition(lua_State* L) {
    const CPPlayer* car = FollowedCar();
    PushVector(L, car != nullptr ? car->Position : D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    return 3;
}

int GetPlayerSpeed(lua_State* L) {
    const CPLevel* level = GetCurrentLevel();
    lua_pushnumber(L, level != nullptr ? level->FollowedSpeed : 0.0f);
    return 1;
}

int GetPlayerSlide(lua_State* L) {
    lua_pushnumber(L, 1.0);
    return 1;
}

}  // namespace

// The car heading: the nose (0, -1, 0) turned by the car's orientation, normalised.
D3DXVECTOR3 CarHeading(const CPGameObject& car) {
    D3DXMATRIX r;
    D3DXMatrixRotationQuaternion(&r, &car.Orientation);
    const D3DXVECTOR3 nose(0.0f, -1.0f, 0.0f);
    D3DXVECTOR3 d;
    D3DXVec3TransformCoord(&d, &nose, &r);
    D3DXVec3Normalize(&d, &d);
    return d;
}

namespace {

int GetPlayerDirection(lua_State* L) {
    const CPPlayer* car = FollowedCar();
    if (car == nullptr) {
        return 0;
    }
    PushVector(L, CarHeading(*car));
    return 3;
}

int GetPlayerMass(lua_State* L) {
    const bool given = lua_gettop(L) >= 1;
    const CPGameObject* object = given ? Handle<CPGameObject>(L, 1, "GetPlayerMass") : nullptr;
    if (GetCurrentLevel() == nullptr) {
        return 0;
    }
    lua_pushnumber(L, MassOf(given ? object : FollowedCar()));
    return 1;
}

// Whether the followed car moves within a right angle of the camera's viewing direction. A car
// at rest (or a camera looking at its own eye) gives the angle of a zero direction, a right
// angle: forward.
int IsPlayerMoveForward(lua_State* L) {
    const CPLevel* level = GetCurrentLevel();
    const CPPerspectiveCamera* view = RaceView();
    if (level == nullptr || level->FollowedCar == nullptr || view == nullptr) {
        return 0;
    }
    const CPCamera& camera = *level->Camera;
    const D3DXVECTOR3 target = camera.FreeView ? camera.FreeLookAt : camera.LookTarget;
    D3DXVECTOR4 velocity;
    level->FollowedCar->GetCarVelocity(velocity);
    D3DXVECTOR3 v(velocity.x, velocity.y, velocity.z);
    D3DXVECTOR3 d = target - view->Position;
    D3DXVec3Normalize(&v, &v);
    D3DXVec3Normalize(&d, &d);
    const float a = static_cast<float>(ClampedAcos(D3DXVec3Dot(&v, &d)));
    lua_pushboolean(L, a + 1.5707964f <= 3.1415927f);
    return 1;
}

int IsPlayerMovingBackwards(lua_State* L) {
    const CPLevel* level = GetCurrentLevel();
    lua_pushboolean(L, level != nullptr && level->IsPlayerMovingBackwards());
    return 1;
}

int PlayerApplyImpulse(lua_State* L) {
    const bool atPoint = lua_gettop(L) >= 4;
    const D3DXVECTOR3 first = Vector(L, 1);
    const D3DXVECTOR3 second = Vector(L, 4);
    if (CPPlayer* car = FollowedCar()) {
        if (atPoint) {
            car->ApplyImpulse(first, second);
        } else {
            car->ApplyImpulse(car->Position, first);
        }
    }
    return 0;
}

int StopPlayerCar(lua_State*) {
    if (CPPlayer* car = FollowedCar()) {
        D3DXVECTOR4 v;
        car->GetCarVelocity(v);
        car->ApplyImpulse(car->Position, D3DXVECTOR3(-4.0f * v.x, -4.0f * v.y, -4.0f * v.z));
    }
    return 0;
}

const CPCar* FollowedModel() {
    const CPPlayer* car = FollowedCar();
    return car != nullptr ? car->GetCar() : nullptr;
}

int GetNitro(lua_State* L) {
    const CPPlayer* car = FollowedCar();
    if (car == nullptr) {
        return 0;
    }
    const CPCar* model = car->GetCar();
    lua_pushnumber(L, model != nullptr ? model->NitroFuel : 0.0f);
    return 1;
}

int IsNitro(lua_State* L) {
    const CPCar* model = FollowedModel();
    lua_pushboolean(L, model != nullptr && model->NitroFuel > 0.0f && model->Nitro > 0.0f);
    return 1;
}

int PlayerNitro(lua_State* L) {
    const float amount = Number(L, 1);
    const CPLevel* level = GetCurrentLevel();
    if (level != nullptr && level->FollowedCar != nullptr && !level->GameOverSent) {
        level->FollowedCar->SetNitro(amount);
    }
    return 0;
}

int SetAbilitiesCount(lua_State* L) {
    if (CPPlayer* car = FollowedCar()) {
        car->AbilityCount = Int(L, 1);
    }
    return 0;
}

int ActivateAbilities(lua_State* L) {
    const CPPlayer* car = FollowedCar();
    if (car == nullptr) {
        return 0;
    }
    lua_pushnumber(L, car->AbilityCount);
    lua_pushnumber(L, CPGameData::Instance != nullptr ? CPGameData::Instance->MaxAbilityCount : 0);
    return 2;
}

int GetPlayerDamage(lua_State* L) {
    const CPPlayer* car = FollowedCar();
    if (car == nullptr) {
        return 0;
    }
    lua_pushnumber(L, car->DamageLevel);
    return 1;
}

int IsDead(lua_State* L) {
    const CPPlayer* car = FollowedCar();
    lua_pushboolean(L, car == nullptr || car->Dead);
    return 1;
}

int LockPlayers(lua_State* L) {
    const bool locked = Flag(L, 1);
    CPLevel* level = GetCurrentLevel();
    if (level == nullptr) {
        return 0;
    }
    if (level->FollowedCar != nullptr) {
        level->FollowedCar->SetLocked(locked);
    }
    for (const CPtr<CPPlayer>& car : level->Cars) {
        if (car != nullptr) {
            car->SetLocked(locked);
        }
    }
    return 0;
}

int LockPlayer(lua_State* L) {
    if (CPPlayer* car = FollowedCar()) {
        car->SetLocked(Flag(L, 1));
    }
    return 0;
}

// The player's values of the game data.

int SetMaxAbilityCount(lua_State* L) {
    if (CPGameData::Instance != nullptr) {
        CPGameData::Instance->MaxAbilityCount = Int(L, 1);
    }
    return 0;
}

int GetPlayerMana(lua_State* L) {
    lua_pushnumber(L, CPGameData::Instance != nullptr ? CPGameData::Instance->PlayerMana : 0);
    return 1;
}

int SetPlayerMana(lua_State* L) {
    if (CPGameData::Instance != nullptr) {
        CPGameData::Instance->PlayerMana = Int(L, 1);
    }
    return 0;
}

// Any car.

int SetCarParams(lua_State* L) {
    CPPlayer* car = Handle<CPPlayer>(L, 1, "SetCarParams");
    if (car != nullptr) {
        car->SetControls(Number(L, 2), Number(L, 3));
    }
    return 0;
}

int SetWeaponPos(lua_State* L) {
    CPGameObject* car = Handle<CPGameObject>(L, 4, "SetWeaponPos");
    const D3DXVECTOR3 point = Vector(L, 1);
    if (CPLevel* level = GetCurrentLevel()) {
        level->UpdatePlayerWeapons(point, CPtr<CPGameObject>(car));
    }
    return 0;
}

int SetTimeBonus(lua_State* L) {
    CPPlayer* car = Handle<CPPlayer>(L, 1, "SetTimeBonus");
    if (car != nullptr) {
        car->TimeBonusTimer = 4.0f;
    }
    return 0;
}

int IsInGloom(lua_State* L) {
    const CPPlayer* car = Handle<CPPlayer>(L, 1, "IsInGloom");
    lua_pushboolean(L, car != nullptr && car->InGloom);
    return 1;
}

// The debug tuner: the selected value of the followed car's model and its step.

struct TuneEntry {
    float CarParams::*Value;
    float Step;
};

constexpr std::array<TuneEntry, TuneLast + 1> TuneTable{{
    {&CarParams::WheelX, 0.01f},
    {&CarParams::WheelY, 0.01f},
    {&CarParams::Length, 0.01f},
    {&CarParams::Radius, 0.01f},
    {&CarParams::FrontMinRadius, 0.01f},
    {&CarParams::BackMinRadius, 0.01f},
    {&CarParams::Spring1, 1.0f},
    {&CarParams::Spring2, 1.0f},
    {&CarParams::Damping, 10.0f},
    {&CarParams::MaxFrontSpeed, 1.0f},
    {&CarParams::MaxRearSpeed, 1.0f},
    {&CarParams::FrictionFront, 1.0f},
    {&CarParams::FrictionBack, 1.0f},
    {&CarParams::Slide, 0.05f},
    {&CarParams::AccelFront, 1.0f},
    {&CarParams::AccelBack, 1.0f},
    {&CarParams::Brake, 0.1f},
    {&CarParams::InertionYaw, 0.05f},
    {&CarParams::InertionPitch, 0.05f},
}};

int Pup(lua_State*) {
    if (CPRender* render = CPRender::Instance) {
        render->TuneIndex = render->TuneIndex - 1 < 0 ? 0 : render->TuneIndex - 1;
    }
    return 0;
}

int Pdown(lua_State*) {
    if (CPRender* render = CPRender::Instance) {
        render->TuneIndex = render->TuneIndex + 1 > TuneLast ? TuneLast : render->TuneIndex + 1;
    }
    return 0;
}

void Tune(float sign) {
    const CPRender* render = CPRender::Instance;
    const CPPlayer* car = FollowedCar();
    CPCar* model = car != nullptr ? car->GetCar() : nullptr;
    if (render == nullptr || model == nullptr || render->TuneIndex < 0 || render->TuneIndex > TuneLast) {
        return;
    }
    const TuneEntry& entry = TuneTable[static_cast<size_t>(render->TuneIndex)];
    static_cast<CarParams&>(*model).*entry.Value += sign * entry.Step;
}

int Pleft(lua_State*) {
    Tune(-1.0f);
    return 0;
}

int Pright(lua_State*) {
    Tune(1.0f);
    return 0;
}

}  // namespace

extern const luaL_Reg ObjectFunctionsA[] = {
    {"SetPosition", SetPosition},
    {"GetPosition", GetPosition},
    {"SetRotation", SetRotation},
    {"GetBBoxInfo", GetBBoxInfo},
    {"CheckVisible", CheckVisible},
    {"GetObjectSpeed", GetObjectSpeed},
    {"Clone", Clone},
    {"ApplyImpulse", ApplyImpulse},
    {"GetPlayerPosition", GetPlayerPosition},
    {"GetPlayerSpeed", GetPlayerSpeed},
    {"GetPlayerSlide", GetPlayerSlide},
    {"GetPlayerDirection", GetPlayerDirection},
    {"GetPlayerMass", GetPlayerMass},
    {"IsPlayerMoveForward", IsPlayerMoveForward},
    {"IsPlayerMovingBackwards", IsPlayerMovingBackwards},
    {"PlayerApplyImpulse", PlayerApplyImpulse},
    {"StopPlayerCar", StopPlayerCar},
    {"GetNitro", GetNitro},
    {"IsNitro", IsNitro},
    {"PlayerNitro", PlayerNitro},
    {"SetAbilitiesCount", SetAbilitiesCount},
    {"ActivateAbilities", ActivateAbilities},
    {"GetPlayerDamage", GetPlayerDamage},
    {"IsDead", IsDead},
    {"LockPlayers", LockPlayers},
    {"LockPlayer", LockPlayer},
    {"SetMaxAbilityCount", SetMaxAbilityCount},
    {"GetPlayerMana", GetPlayerMana},
    {"SetPlayerMana", SetPlayerMana},
    {"SetCarParams", SetCarParams},
    {"SetWeaponPos", SetWeaponPos},
    {"SetTimeBonus", SetTimeBonus},
    {"IsInGloom", IsInGloom},
    {"Pup", Pup},
    {"Pdown", Pdown},
    {"Pleft", Pleft},
    {"Pright", Pright},
    {nullptr, nullptr},
};

extern const luaL_Reg ObjectFunctionsB[] = {
    {"IsRigid", IsRigid},
    {"SetObjectVisible", SetObjectVisible},
    {"FindObject", FindObject},
    {"StartAnimation", StartAnimation},
    {"Jump", Jump},
    {nullptr, nullptr},
};

}  // namespace Script
