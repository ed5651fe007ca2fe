// Putting a car back on the track: a car that has turned over, falls freely or has left the
// terrain, or that a script asks to put back, goes two units above a free point of the nearest
// piece of the path "c_path", headed along the path in the race direction and at rest. For the
// followed car the camera turns to the new heading and the screen fades out and back in.
//
// The tilt is the arc cosine of the roof's height component for every value (a car on its side
// is 90 degrees over, and is put back). A placement point is blocked by a car near it or by a car
// the respawned car would overlap there, its box moved to the point. A car without physics data
// or without a path to stand on is left alone and starts no cooldown.
#include "game/CPPlayer.h"

#include "game/CPLevel.h"
#include "game/CPRaceCamera.h"
#include "game/CPSpline.h"

#include "Render/CPRender.h"
#include "core/Geometry.h"
#include "core/Singletons.h"
#include "physics/RbRigidBody.h"
#include "scene/CPPhysicData.h"

#include <array>
#include <cmath>
#include <numbers>

namespace {

constexpr float RespawnPause = 1.0f;  // s before the same car may be put back again
// The fade runs from full to 0 in FadeOutLength, then back to full in FadeInLength.
constexpr float FadeOutLength = 0.1f;
constexpr float FadeInLength = 0.4f;

// Whether the boxes overlap on every axis (touching counts).
bool Overlaps(const D3DXVECTOR3& centre, const D3DXVECTOR3& halfExtents, const CPBoundingBox& other) {
    const D3DXVECTOR3 gap = centre - other.Centre;
    const D3DXVECTOR3 reach = halfExtents + other.HalfExtents;
    return std::fabs(gap.x) <= reach.x && std::fabs(gap.y) <= reach.y && std::fabs(gap.z) <= reach.z;
}

}  // namespace

void CPPlayer::Respawn(bool force) {
    if (Locked || RespawnCooldown > 0.0f) {
        return;
    }
    CPPhysicData* physics = Physics.Get();
    CPLevel* level = CPLevel::Current;
    CPSpline* path = level != nullptr ? level->GetPathSpline() : nullptr;
    if (physics == nullptr || path == nullptr || path->CurrentLine == nullptr) {
        return;
    }
    if (physics->TerrainTriangleCount != 0 && !force) {
        D3DXVECTOR4 v;
        GetCarVelocity(v);
        const bool falling = v.z * v.z > 1.5f * (v.x * v.x + v.y * v.y) && v.z < -5.0f;
        // The roof's downward axis in the world: upright (0, 0, -1) gives tilt 0, on the roof π.
        D3DXMATRIX rotation;
        D3DXMatrixRotationQuaternion(&rotation, &Orientation);
        const D3DXVECTOR3 down(0.0f, 0.0f, -1.0f);
        D3DXVECTOR3 u;
        D3DXVec3TransformCoord(&u, &down, &rotation);
        D3DXVec3Normalize(&u, &u);
        const float tilt = static_cast<float>(ClampedAcos(-u.z));
        if (!falling && tilt <= MaxUprightTilt) {
            return;
        }
    }

    RespawnCooldown = RespawnPause;
    const bool followed = level->FollowedCar == this;
    if (followed) {
        FadeTime = 0.0f;
        FadeOutActive = true;
        FadeInActive = false;
    }
    CPLine* hint = path->CurrentLine;
    float searchSize = RespawnSearchSize;
    path->FindNearestLine(Position, searchSize, 0, hint, -1);
    const CPLine& line = *hint;

    if (RbRigidBody* rigid = physics->RigidBody) {
        const RbVector zero = RbVec(0.0f, 0.0f, 0.0f);
        rigid->SetForce(zero, RbVec(Position.x, Position.y, Position.z, 1.0f));
        rigid->SetTorque(zero);
        rigid->SetAngularMomentum(zero);
        rigid->SetVelocity(zero);
    }

    // The first free point of the piece's start, centre and end; the end when none is free.
    const std::array<D3DXVECTOR3, 3> candidates{line.Start, line.Centre, line.End};
    const D3DXVECTOR3 lift(0.0f, 0.0f, RespawnHeight);
    D3DXVECTOR3 point = line.End;
    for (const D3DXVECTOR3& candidate : candidates) {
        // This car's box as it would stand at the candidate.
        const D3DXVECTOR3 centre = Bounds.Centre + (candidate + lift - Position);
        auto blocks = [&](const CPPlayer* other) {
            return other != nullptr && other != this &&
                   (Overlaps(centre, Bounds.HalfExtents, other->Bounds) ||
                    other->Bounds.IntersectSphere(candidate, RespawnClearance));
        };
        bool blocked = false;
        for (const CPtr<CPPlayer>& other : level->Cars) {
            blocked = blocked || blocks(other.Get());
        }
        blocked = blocked || blocks(level->FollowedCar);
        if (!blocked) {
            point = candidate;
            break;
        }
    }
    const D3DXVECTOR3 placed = point + lift;
    SetPosition(placed);

    // Headed along the path in the race direction: the nose (local -y) along the heading.
    searchSize = RespawnSearchSize;
    float heading = path->FindNearestLine(placed, searchSize, 0, hint, -1);
    if (level->Reversed) {
        heading += std::numbers::pi_v<float>;
    }
    D3DXMATRIX turn;
    D3DXMatrixRotationZ(&turn, heading + std::numbers::pi_v<float> / 2.0f);
    D3DXQUATERNION q;
    D3DXQuaternionRotationMatrix(&q, &turn);
    if (followed) {
        if (CPCamera* camera = level->GetCamera()) {
            camera->Yaw = heading;
            camera->Changed = true;
        }
    }
    SetOrientation(q);
    UpdateTransform();
}

void CPPlayer::UpdateRespawnFade(float frameTime) {
    CPRender* render = GetRender();
    auto fade = [render](float value) {
        if (render != nullptr) {
            render->SetFade(value);
        }
    };
    if (FadeInActive) {
        FadeTime += frameTime;
        fade(FadeTime * 2.5f);  // 1 / FadeInLength
        if (FadeTime >= FadeInLength) {
            FadeOutActive = false;
            FadeInActive = false;
            fade(1.0f);
        }
    }
    if (FadeOutActive) {
        FadeTime += frameTime;
        fade((FadeOutLength - FadeTime) * 10.0f);  // 1 / FadeOutLength
        if (FadeTime >= FadeOutLength) {
            FadeOutActive = false;
            FadeInActive = true;
            fade(0.0f);
            FadeTime = 0.0f;
        }
    }
}
