// The controller of an enemy on foot: a scene object with an animated mesh whose animation
// ends, report frames and damage come here (CPGameObject::Controller). It chains the attack
// animations (melee after melee, "fire_in" into a repeated "fire", "fire_out" back to
// behaviour state 1), makes the blows and the shots at their report frames, and handles wounds
// and death: hit effects, the reward and the kill, gibs, and "enemy_death" to the level's
// scripts. Enemies are made from their descriptions (EnemyDescription.h).
//
// Offsets (melee reach and push, muzzle) are given facing ReferenceAxis and turned about z by
// the facing angle: the signed angle from ReferenceAxis to the frame's forward axis, both
// taken along the ground. An axis without a part along the ground gives angle 0.
//
// Guards: a melee count outside 1..2 counts as the nearest of them; an aim of zero length
// (the car on the muzzle) falls back to the frame's forward axis; damage to an enemy without
// physics data still wounds it. The shot launches and the melee ray go through Services, so
// a test or a tool can route them; by default they reach the shot manager and the level.
#pragma once

#include "core/CPFrame.h"
#include "platform/d3dx/D3DXMath.h"
#include "scene/CPAnimationParams.h"
#include "scene/CPEnemyController.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>

class CPEnemy;
class CPGameObject;
struct CPPickInfo;

// What an enemy does between the events of its controller: choosing to attack, walk or fall.
// The controller only tells it when an attack animation starts again.
class CPEnemyBehaviour {
public:
    virtual ~CPEnemyBehaviour() = default;
    // "melee1", "melee2" or "fire" restarts.
    virtual void OnAttackRepeated(CPEnemy&) {}
};

class CPEnemy : public CPEnemyController {
public:
    struct MeleeAttack {
        int32_t ReportFrame = 0;
        D3DXVECTOR3 Reach;  // its length is the reach of the blow
        D3DXVECTOR3 Push;
        float Strength = 0.0f;
        float Damage = 0.0f;
    };
    // Where launches and the melee ray go.
    struct EnemyServices {
        std::function<void(const std::string& name, const D3DXVECTOR3& position, const D3DXVECTOR3& direction)>
            LaunchShot;
        std::function<bool(CPPickInfo& pick)> CrossRay;
    };

    CPEnemy();
    // Leaves the object's Controller if it is this enemy.
    virtual ~CPEnemy();

    // Starts an animation on Object unless it is the one playing and force is false; with
    // reports, "animation_report" comes back once at reportFrame.
    void PlayAnimation(const std::string& name, bool reports, bool force, int32_t reportFrame);

    void OnAnimationStopped() override;
    void OnAnimationReport() override;
    // oilOnly: only an enemy of "oil1" takes the damage.
    void OnDamage(const D3DXVECTOR3& hitPoint, const D3DXVECTOR3& hitDirection, float amount, bool noEffect,
                  bool oilOnly) override;

    // The facing angle (radians) and an offset turned by it; a point also moves to the frame's
    // origin.
    float FacingAngle() const;
    D3DXVECTOR3 Turned(const D3DXVECTOR3& offset, bool point) const;

    std::unique_ptr<CPEnemyBehaviour> Behaviour;
    int32_t State = 0;
    float StateTime = 0.0f;
    std::map<int32_t, int32_t> States;
    CPFrame* Frame = nullptr;  // OwnFrame unless the creator hands another
    CPGameObject* Object = nullptr;
    D3DXVECTOR3 ReferenceAxis{0.0f, 1.0f, 0.0f};
    float Health = 100.0f;
    std::string Weapon;
    int32_t MeleeCount = 1;
    float GibHeight = 1.0f;
    CPAnimationParams Animation;
    std::string HitEffect = "blood1";
    bool WasHit = false;
    std::string MeleeName;
    MeleeAttack Melee[2];
    int32_t FireReportFrame = 0;
    D3DXVECTOR3 MuzzleOffset;
    int32_t Activity = 1;
    int32_t Firing = 0;
    bool Dead = false;
    bool Gibs = false;
    std::string TypeName;
    std::unordered_map<std::string, std::string> Sounds;
    bool EventPending = false;
    int32_t Reward = 0;
    int32_t RocketCount = 0;
    bool DeathDone = false;
    bool SilentDeath = false;
    bool DeathReported = false;

    CPFrame OwnFrame;
    EnemyServices Services;

private:
    // State := States[number], StateTime := 0.
    void SetState(int32_t number);
    void Launch(const std::string& name, const D3DXVECTOR3& position, const D3DXVECTOR3& direction);
    // "enemy_death" to the category "level", once, unless silent.
    void ReportDeath();
    void Strike(int k);
    void Fire();
};
