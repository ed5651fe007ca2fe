// What the player object shows: its shadow (loaded for the race, projected onto the terrain
// under the car each frame it is near the camera), its tree through the batcher, and the
// shell cases the machine guns throw.
//
// The shadow tree is the player's own: it is deleted when the car gets a new one or goes.
#include "game/CPPlayer.h"

#include "game/CPCar.h"

#include "Render/CPMaterialManager.h"
#include "Render/CPRender.h"
#include "Render/CPRenderBatcher.h"
#include "core/CPScriptTask.h"
#include "core/FrameTime.h"
#include "core/Singletons.h"
#include "core/StringUtil.h"
#include "game/CarDescription.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPParticleDesc.h"
#include "scene/CPParticleManager.h"
#include "scene/CPPerspectiveCamera.h"
#include "scene/CPRenderable.h"
#include "scene/CPSceneLoader.h"

#include <string>
#include <vector>

namespace {

// Whether the loader gave the shadow itself as a mesh, not its stand-in or a group.
bool IsShadowMesh(const CPGameObject& shadow) {
    std::string source = shadow.SourceName;
    ToLower(source);
    return source == CPPlayer::ShadowObjectName && shadow.RenderKind == CPGameObject::RenderMesh &&
           dynamic_cast<CPRenderable*>(shadow.RenderObject.Get()) != nullptr;
}

}  // namespace

void CPPlayer::DropShadow() {
    CPGameObject* shadow = Shadow.Get();
    Shadow = nullptr;
    CPSceneLoader::DeleteObject(shadow);
}

bool CPPlayer::AddShadow() {
    Dead = false;
    PlayerDeadSent = false;
    DropShadow();
    CPSceneLoader* loader = CPSceneLoader::Instance;
    CPtr<CPGameObject> shadow = loader != nullptr ? loader->LoadObject(ShadowObjectName, 0) : CPtr<CPGameObject>();
    if (shadow == nullptr) {
        return true;
    }
    if (!IsShadowMesh(*shadow)) {
        CPGameObject* standIn = shadow.Get();
        shadow = nullptr;
        CPSceneLoader::DeleteObject(standIn);
        return true;
    }
    // The texture the car's description names ("render"/"shadow"); without a car, read from
    // the node's own description.
    std::string texture;
    if (const CPCar* car = GetCar()) {
        texture = car->ShadowName;
    } else {
        CarParams params;
        ReadCarDescription(XmlDocument, params);
        texture = params.ShadowName;
    }
    auto* renderable = static_cast<CPRenderable*>(shadow->RenderObject.Get());
    if (CPMaterialManager* materials = CPMaterialManager::Instance) {
        renderable->SetMaterial(materials->GetMaterial(ShadowEffectName, {texture}, 0));
    }
    // The shadow is a plain drawn mesh: no body, no script, never moved by the scene.
    CPPhysicData* physics = shadow->Physics.Get();
    shadow->Physics = nullptr;
    delete physics;
    shadow->Visible = true;
    shadow->SetScriptObject(CPtr<CPScriptTask>());
    shadow->Static = true;
    for (size_t i = 1; i < shadow->LodLevels.size(); ++i) {
        if (shadow->LodLevels[i].first != nullptr) {
            shadow->LodLevels[i].first->SetStatic(true);
        }
    }
    renderable->SetExcluded(false);
    Shadow = shadow;
    return true;
}

void CPPlayer::SpawnShells(CPGameObject* weapon) {
    if (weapon == nullptr) {
        return;
    }
    const D3DXMATRIX& world = weapon->WorldMatrix;
    D3DXVECTOR3 direction;
    const D3DXVECTOR3 local(-1.0f, 0.0f, 2.0f);
    D3DXVec3TransformNormal(&direction, &local, &world);
    const float ra = CrtRandUnit();
    const float rb = CrtRandUnit();
    CPParticleDesc shell;
    shell.Name = "gilze";
    shell.Position = D3DXVECTOR3(world._41, world._42, world._43);
    shell.Velocity = direction * (rb + 4.0f);
    shell.Acceleration = D3DXVECTOR3(0.0f, 0.0f, -24.8f);
    shell.Param1 = 0.2f;
    shell.Param2 = 0.0f;
    shell.Param3 = ra + 1.0f;
    shell.Flag1 = 0;
    shell.Flag2 = 0;
    if (CPParticleManager* particles = GetParticleManager()) {
        particles->Spawn(shell);
    }
}

void CPPlayer::Draw(CPRenderBatcher* batcher, const CPPerspectiveCamera* view) {
    // The respawn's fade runs while the car is followed, seen or not.
    if (IsFollowedCar()) {
        UpdateRespawnFade(FrameTime);
    }
    if (batcher == nullptr || view == nullptr || !view->IsBoxVisible(Bounds.Min, Bounds.Max)) {
        return;
    }
    batcher->AddTree(CPtr<CPGameObject>(this));
    const D3DXVECTOR3 offset = view->Position - Position;
    // Without physics data there are no terrain triangles to cast the shadow on.
    if (Shadow == nullptr || Physics == nullptr || !(D3DXVec3LengthSq(&offset) < ShadowDistance * ShadowDistance)) {
        return;
    }
    if (CPRender* render = GetRender()) {
        render->ProjectDecal(Shadow, &WorldMatrix, Physics);
    }
    batcher->AddTree(Shadow);
}
