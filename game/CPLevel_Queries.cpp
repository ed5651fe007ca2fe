// The level's answers to scripts, weapons, shots and enemies: ray picks against the scenery,
// the loose objects and the cars, the sphere query, the wrong-way test, and the flame
// thrower's per-particle hit test.
//
// The ray picks stay cheap: the static scenery is searched only through the spatial tree (and
// not at all in the quadtree configuration), and the loose objects only when the ray passes
// within a band of 10 to 14 units of the player's car on the ground.
#include "game/CPLevel.h"

#include "core/ConfigVars.h"
#include "game/CPLevelBranch.h"
#include "game/CPPlayer.h"
#include "scene/CPGameObject.h"
#include "scene/CPPickInfo.h"

#include <cmath>

namespace {

constexpr float NearBand = 10.0f;     // units around the ray, x and y
constexpr float SphereReach = 10.0f;  // loose objects are tested this far beyond the radius
constexpr float TwoPi = 6.2831855f;
constexpr float LooseTwoPi = 6.283f;  // the heading difference wraps by this
constexpr float BackwardsFrom = 1.57f;
constexpr float BackwardsTo = 4.713f;
constexpr float ManyTurns = 1000.0f;  // rad

// Whether the ray of the pick passes near point on the ground.
bool RayPassesNear(const CPPickInfo& pick, const D3DXVECTOR3& point) {
    const float h = pick.Distance * 0.5f;
    const D3DXVECTOR3 middle = pick.Origin + pick.Direction * h;
    const D3DXVECTOR3 d = point - middle;
    const D3DXVECTOR3& dir = pick.Direction;
    return std::fabs(d.x) <= std::fabs(dir.x) * h + NearBand && std::fabs(d.y) <= std::fabs(dir.y) * h + NearBand &&
           std::fabs(d.x * dir.y - d.y * dir.x) <= (std::fabs(dir.x) + std::fabs(dir.y)) * NearBand;
}

void EndPick(CPPickInfo& pick) { pick.HitPoint = pick.Origin + pick.Direction * pick.Distance; }

}  // namespace

D3DXVECTOR3* LerpVector(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b, float t) {
    out->x = a->x + (b->x - a->x) * t;
    out->y = a->y + (b->y - a->y) * t;
    out->z = a->z + (b->z - a->z) * t;
    return out;
}

bool CPLevel::CrossPlayerRay(CPPickInfo& pick) {
    bool hit = false;
    if (Cfg::quadlevels == 0 && BranchRoot) {
        hit = BranchRoot->RayPick(pick);
    }
    if (Player && RayPassesNear(pick, Player->GetPosition())) {
        for (const CPtr<CPGameObject>& object : Objects) {
            if (object && object->RayPick(pick)) {
                hit = true;
            }
        }
    }
    EndPick(pick);
    return hit;
}

bool CPLevel::CrossInterfaceRay(CPPickInfo& pick) {
    bool hit = false;
    if (Cfg::quadlevels == 0 && BranchRoot) {
        hit = BranchRoot->RayPick(pick);
    }
    if (Player && RayPassesNear(pick, Player->GetPosition())) {
        if (Player->RayPick(pick)) {
            hit = true;
        }
        for (const CPtr<CPGameObject>& object : Objects) {
            if (object && object->RayPick(pick)) {
                hit = true;
            }
        }
    }
    EndPick(pick);
    return hit;
}

bool CPLevel::CrossObjectRay(CPPickInfo& pick) {
    bool hit = false;
    for (const CPtr<CPPlayer>& car : Cars) {
        if (car && car->RayPick(pick)) {
            hit = true;
            break;
        }
    }
    if (!hit && FollowedCar != nullptr) {
        hit = FollowedCar->RayPick(pick);
    }
    EndPick(pick);
    return hit;
}

bool CPLevel::IsPlayerMovingBackwards() const {
    float p = PathHeading + (Reversed ? static_cast<float>(D3DX_PI) : 0.0f);
    if (!std::isfinite(p) || !std::isfinite(FollowedHeading)) {
        return false;
    }
    // Angles of many turns are brought near first: subtracting a turn from a huge float
    // changes nothing, and the wrapping loops would never end.
    if (std::fabs(p) > ManyTurns) p = std::fmod(p, TwoPi);
    while (p > TwoPi) p -= TwoPi;
    while (p < 0.0f) p += TwoPi;
    float d = FollowedHeading - p;
    if (std::fabs(d) > ManyTurns) d = std::fmod(d, LooseTwoPi);
    while (d > LooseTwoPi) d -= LooseTwoPi;
    while (d < 0.0f) d += LooseTwoPi;
    return d > BackwardsFrom && d < BackwardsTo;
}

void CPLevel::UpdatePlayerWeapons(const D3DXVECTOR3& position, CPtr<CPGameObject> car) {
    if (Player) {
        Player->UpdateWeapons(position, car);
    }
}

void CPLevel::CollectObjectsInSphere(const D3DXVECTOR3& centre, float radius, std::list<CPtr<CPGameObject>>& out) {
    if (Cfg::quadlevels == 0 && BranchRoot) {
        BranchRoot->CollectInSphere(centre, radius, out);
    }
    if (!Player) {
        return;
    }
    if (Player->CollisionBounds.IntersectSphere(centre, radius)) {
        out.emplace_back(Player.Get());
    }
    const D3DXVECTOR3& player = Player->GetPosition();
    if (std::fabs(player.x - centre.x) < radius + SphereReach && std::fabs(player.y - centre.y) < radius + SphereReach) {
        for (const CPtr<CPGameObject>& object : Objects) {
            if (object && object->CollisionBounds.IntersectSphere(centre, radius)) {
                out.push_back(object);
            }
        }
    }
}

void FlameHitTest(CPObject* shooterObject, void* particleData) {
    CPLevel* level = CPLevel::Current;
    auto* shooter = dynamic_cast<CPPlayer*>(shooterObject);
    auto* particle = static_cast<FlameParticle*>(particleData);
    if (level == nullptr || shooter == nullptr || particle == nullptr) {
        return;
    }
    std::list<CPtr<CPGameObject>> touched;
    level->CollectObjectsInSphere(particle->Position, particle->Radius, touched);

    const D3DXVECTOR3 movement = particle->Position - particle->PreviousPosition;
    const float length = D3DXVec3Length(&movement);
    if (length > 0.0f && std::isfinite(length)) {
        CPPickInfo pick;
        pick.Exclude = shooter;
        pick.Origin = particle->PreviousPosition;
        pick.Direction = movement / length;
        pick.Distance = length;
        if (level->CrossInterfaceRay(pick)) {
            if (pick.Owner) {
                shooter->AddFlameObject(pick.Owner);
            }
            particle->Hit = FlameHit;
        }
    }
    for (const CPtr<CPGameObject>& object : touched) {
        if (!object || object.Get() == shooter) {
            continue;
        }
        shooter->AddFlameObject(object);
        particle->Hit = FlameHit;
    }
}
