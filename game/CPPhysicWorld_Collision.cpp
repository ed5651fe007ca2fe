// What a contact does in the game: it dents the meshes of the bodies' nodes, flags the cars
// that were hit, throws sparks and plays the impact sound for the car the race follows.
//
// Against the terrain or a kinematic body the amount is 0.008 per N·s of the contact's
// impulse and sparks fly back against the car's motion; between two rigid bodies it is 0.08
// per N·s, and sparks (at most every SparkPause seconds) fly against the faster body's motion.
// A body's velocity is its car's velocity. A node that is no car (not a CPCarContact) is
// dented and throws sparks but sets no flag and makes no sound.
#include "game/CPPhysicWorld.h"

#include "Render/CPRenderObject.h"
#include "Sound/PSoundManager.h"
#include "core/ConfigVars.h"
#include "core/FrameTime.h"
#include "physics/RbSimulator.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPGameObject.h"
#include "scene/CPParticleDesc.h"
#include "scene/CPParticleManager.h"

#include <cmath>
#include <numbers>

int32_t SparkCount = 0;
float SparkCooldown = 0.0f;

namespace {

constexpr float TerrainDamagePerImpulse = 0.008f;
constexpr float CarDamagePerImpulse = 0.08f;
constexpr float SparkSpeed = 10.0f;  // m/s of a terrain spark's drift

D3DXVECTOR3 ToD3D(const RbVector& v) { return D3DXVECTOR3(v.x, v.y, v.z); }

float Length(const D3DXVECTOR3& v) {
    const float squared = D3DXVec3LengthSq(&v);
    return squared < RbZeroLengthSquared ? 0.0f : std::sqrt(squared);
}

// v over its length; zero for a length of zero.
D3DXVECTOR3 Unit(const D3DXVECTOR3& v) {
    const float length = Length(v);
    return length > 0.0f ? v / length : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
}

CPGameObject* OwnerOf(const RbBody* body) {
    return body != nullptr ? static_cast<CPGameObject*>(body->GetUserData()) : nullptr;
}

D3DXVECTOR3 VelocityOf(const RbBody* body) {
    if (body == nullptr || body->Kind != RbBody::KindRigid) {
        return D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    }
    return ToD3D(static_cast<const RbRigidBody*>(body)->GetVelocity());
}

CPCarContact* CarOf(CPGameObject* owner) { return dynamic_cast<CPCarContact*>(owner); }

// The mesh of the node, dented along the line from the contact point to the node; a car also
// counts the amount towards its damage level, mesh or not.
void Dent(CPGameObject* owner, const D3DXVECTOR3& point, float amount) {
    if (CPCarContact* car = CarOf(owner)) {
        car->AddCollisionDamage(amount);
    }
    if (owner == nullptr || owner->RenderKind != CPGameObject::RenderMesh) {
        return;
    }
    auto* mesh = dynamic_cast<CPRenderObject*>(owner->RenderObject.Get());
    if (mesh != nullptr) {
        mesh->ApplyDamage(point, Unit(owner->Position - point), amount);
    }
}

void Flag(CPGameObject* owner) {
    if (CPCarContact* car = CarOf(owner)) {
        car->SetCollisionFlag();
    }
}

bool IsFollowed(CPGameObject* owner) {
    const CPCarContact* car = CarOf(owner);
    return car != nullptr && car->IsFollowedCar();
}

}  // namespace

void CPPhysicWorld::OnCollision(RbCollisionInfo& info) {
    auto* world = dynamic_cast<CPPhysicWorld*>(
        CPPhysicScene::OfSimulator(info.BodyA != nullptr ? info.BodyA->Simulator : nullptr));
    if (world != nullptr) {
        world->HandleCollision(info);
    }
}

void CPPhysicWorld::HandleCollision(const RbCollisionInfo& info) {
    if (FrameNumber != LastCollisionFrame) {
        LastCollisionFrame = FrameNumber;
        SparkCooldown += FrameTime;
    }
    if (info.KindA != RbBody::KindRigid || info.BodyA == nullptr) {
        return;
    }
    CPGameObject* ownerA = OwnerOf(info.BodyA);
    const D3DXVECTOR3 pointA = ToD3D(info.PointA);
    const D3DXVECTOR3 normal = ToD3D(info.Normal);
    const float impulse = Length(ToD3D(info.Contact));
    if (info.KindB == RbBody::KindKinematic) {
        // A purely vertical push is the ground carrying the car, not a hit.
        if (!(normal.x == 0.0f && normal.y == 0.0f && normal.z != 0.0f)) {
            Flag(ownerA);
        }
        const float amount = TerrainDamagePerImpulse * impulse;
        Dent(ownerA, pointA, amount);
        const D3DXVECTOR3 v = VelocityOf(info.BodyA);
        const D3DXVECTOR3 drift(-v.x, -v.y, 0.45f * std::max(std::fabs(v.x), std::fabs(v.y)));
        const float count = static_cast<float>(Cfg::psystems) * amount * 0.5f;
        const int32_t sparks =
            count >= static_cast<float>(MaxSparks) ? MaxSparks : (count > 0.0f ? static_cast<int32_t>(count) : 0);
        SpawnSparks(pointA, normal, Unit(drift) * SparkSpeed, sparks);
        if (IsFollowed(ownerA)) {
            PlayImpactSound();
        }
        return;
    }
    if (info.KindB != RbBody::KindRigid) {
        return;
    }
    CPGameObject* ownerB = OwnerOf(info.BodyB);
    const D3DXVECTOR3 vA = VelocityOf(info.BodyA);
    const D3DXVECTOR3 vB = VelocityOf(info.BodyB);
    const float speedA = Length(vA);
    const float speedB = Length(vB);
    Flag(ownerA);
    Flag(ownerB);
    const float amount = CarDamagePerImpulse * impulse;
    Dent(ownerA, pointA, amount);
    Dent(ownerB, ToD3D(info.PointB), amount);
    if (SparkCooldown <= SparkPause) {
        return;
    }
    const bool aFaster = speedA > speedB;
    const D3DXVECTOR3 u = Unit(aFaster ? vA : vB);
    const D3DXVECTOR3 direction(-2.0f * u.x, -2.0f * u.y, 2.0f * (u.z + 1.0f));
    SpawnSparks(pointA, normal, direction, Cfg::psystems);
    if (IsFollowed(aFaster ? ownerA : ownerB)) {
        PlayImpactSound();
    }
    SparkCooldown = 0.0f;
}

void CPPhysicWorld::SpawnSparks(const D3DXVECTOR3& position, const D3DXVECTOR3& /*unused*/,
                                const D3DXVECTOR3& direction, int32_t count) {
    if (count > MaxSparks - SparkCount) {
        count = MaxSparks - SparkCount;
    }
    CPParticleManager* particles = CPParticleManager::Instance;
    if (count <= 0 || particles == nullptr) {
        return;
    }
    constexpr float Degree = std::numbers::pi_v<float> / 180.0f;
    for (int32_t i = 0; i < count; ++i) {
        ++SparkCount;
        const float r3 = CrtRandUnit();
        const float r2 = CrtRandUnit();
        const float a = static_cast<float>(CrtRand() % 360) * Degree;
        const float b = static_cast<float>(CrtRand() % 45) * Degree;
        const float r1 = CrtRandUnit();
        const float speed = r1 * 5.5f + 0.5f;
        CPParticleDesc spark;
        spark.Name = "iskra";
        spark.Position = position;
        spark.Velocity = D3DXVECTOR3(std::sin(b) * std::cos(a) * speed + direction.x,
                                     std::sin(b) * std::sin(a) * speed + direction.y, direction.z);
        spark.Acceleration = D3DXVECTOR3(r2 * direction.x, r2 * direction.y, r2 * direction.z + Gravity);
        spark.Param1 = r3 * 0.02f + 0.01f;
        spark.Param2 = 0.0f;
        spark.Param3 = 1.0f;
        spark.Flag1 = 1;
        spark.Flag2 = 1;
        particles->Spawn(spark);
    }
}

void CPPhysicWorld::PlayImpactSound() {
    CPSoundManager* sounds = CPSoundManager::Instance;
    if (sounds == nullptr || LastImpactSoundFrame == FrameNumber) {
        return;
    }
    CPtr<CNSound> slam;
    sounds->GetSpecialSound(slam, "slam");
    if (slam == nullptr || slam->IsPlaying()) {
        return;
    }
    LastImpactSoundFrame = FrameNumber;
    slam->Stop();
    slam->Rewind();
    slam->Play(0, 0);
}
