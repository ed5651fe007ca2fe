// The scene object of one car in a race: the player's car, an opponent or a traffic car. It is
// the car's body node (its geometry copied from the car's description object), so its physics
// data holds the rigid body that the vehicle model (CPCar, in CPGameObject::Car) drives. On
// top of the model it keeps the driver's inputs, the lock and throttle cut, the weapon state,
// the race state (health, damage, abilities, side, gloom, slow-down, timers) and the car's
// shadow object.
//
// Split by aspect: CPPlayer.cpp the state, controls, lights, sounds, impulses and collision
// damage; CPPlayer_Draw.cpp the shadow, shell cases and drawing; CPPlayer_Records.cpp the
// catalogue entries the car takes for a race; CPPlayer_Logic.cpp the per-step car logic,
// CPPlayer_Bonus.cpp the bonus pickup, CPPlayer_Respawn.cpp the respawn and its screen fade.
//
// Every operation tolerates a car without its CPCar, rigid body, wheels, sounds or shadow:
// what needs the missing part is left out.
//
// Collision damage: the physics world hands every contact's dent amount (the value it gives
// the mesh's ApplyDamage) to AddCollisionDamage. Contacts closer than CrashGap seconds of game
// time to the previous one belong to one crash, which counts once, by its hardest contact:
// DamageLevel rises by DamagePerCrash times that amount (capped at 1, as the mesh caps its
// dent). Contacts below MinCrashAmount are scrapes and pushes and count nothing; a contact
// that goes on (cars pushing each other) stays one crash. So four crashes of full strength
// wreck a car; at 100 the car is locked, and the car logic makes a locked car at 100 a wreck.
#pragma once

#include "game/CPPhysicWorld.h"
#include "interface/CampaignRecords.h"

#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"
#include "scene/CPGameObject.h"

#include <array>
#include <cstdint>
#include <list>
#include <string>

class CPCar;
class CPGameData;
class CPPerspectiveCamera;
class CPRenderBatcher;

class CPPlayer : public CPGameObject, public CPCarContact {
public:
    // SideFlags bits.
    enum : uint32_t {
        SideSolmar = 1,
        SideDrevik = 2,
        SideTraffic = 4,
        SidePlayer = 8,
    };
    static constexpr float DefaultHealth = 100000.0f;
    static constexpr float WreckedLevel = 100.0f;
    // Collision damage (see above).
    static constexpr float DamagePerCrash = 25.0f;
    static constexpr float MinCrashAmount = 0.25f;
    static constexpr double CrashGap = 1.0;  // s of game time
    // The shadow is drawn for cars closer to the camera than this, m.
    static constexpr float ShadowDistance = 100.0f;
    static constexpr const char* ShadowObjectName = "shadow.rdf";
    static constexpr const char* ShadowEffectName = "shadow.fx";

    CPPlayer();
    // Deletes the shadow tree it loaded; the car (CPGameObject::Car) stays with its owner.
    ~CPPlayer() override;

    void SetCarName(const std::string& name) { CarName = name; }
    void SetSideFlags(uint32_t flags) { SideFlags = flags; }
    uint32_t GetSideFlags() const { return SideFlags; }
    // The vehicle model, or null.
    CPCar* GetCar() const;
    CPtr<CPCar> GetCarPtr() const;

    // Nothing while Locked; else Steering := steering and Throttle := throttle (0 while
    // ThrottleCut). A value that is no finite number counts as 0.
    void SetControls(float throttle, float steering);
    // Locking releases the car's throttle at once and makes its wheels brake; unlocking lets
    // them drive again.
    void SetLocked(bool locked);
    // ThrottleCut := true; Throttle := 0 unless Locked.
    void CutThrottle();
    // The car's nitro request := value (0 while Locked, or when the reserve is exactly empty;
    // a negative or non-finite value is 0). A request of 0 stops the nitro sound.
    void SetNitro(float value);
    // Nothing while Locked; while Slowed the rear flares "lflarerear" and "rflarerear" show
    // or hide instead; otherwise the car's stop lights and brake.
    void SetBrakeLights(bool on);
    // The volume of the car's engine, tyre-squeal and nitro sounds, in this order.
    void SetCarSoundVolume(float volume);
    // The car's velocity (x, y, z, w) of its last physics slice, m/s; zero without a car.
    void GetCarVelocity(D3DXVECTOR4& velocity) const;
    // An instant change of momentum (N·s, world) at a world point of the car's rigid body.
    // Nothing without one, or for values that are no finite numbers.
    void ApplyImpulse(const D3DXVECTOR3& point, const D3DXVECTOR3& impulse);
    void SetTimeBonusTimer(float seconds) { TimeBonusTimer = seconds; }

    // Race preparation (CPPlayer_Draw.cpp): the car is alive again and gets its shadow, the
    // object "shadow.rdf" with the effect "shadow.fx" and the car's shadow texture. A shadow
    // that does not load (or only as the loader's stand-in, or not as a mesh) leaves the car
    // without one. Always true.
    bool AddShadow();
    // One shell case "gilze" thrown from the weapon's muzzle.
    static void SpawnShells(CPGameObject* weapon);
    // When the view sees the car: the car's tree to the batcher, and within ShadowDistance of
    // the view's eye its shadow projected onto the terrain under it and batched as well. The
    // race camera hands its first view. The followed car also runs its respawn fade here.
    void Draw(CPRenderBatcher* batcher, const CPPerspectiveCamera* view);

    // The player's car takes its engine and mine entries from the catalogues of `game` by the
    // names of the committed car settings (CPPlayer_Records.cpp); a name that is empty or not
    // in its catalogue leaves an empty entry. HasMines := the mine was found. Called when the
    // car is created for a race.
    void LoadCarRecords(const CPGameData& game);
    // The engine's heating and cooling rates of EngineTemperature, per second.
    float EngineHeatingRate() const { return EngineRecord.Values[3]; }
    float EngineCoolingRate() const { return EngineRecord.Values[4]; }
    // The mine count the interface shows.
    int32_t MineCount() const { return MineRecord.M4; }

    // The selected weapon (CPWeapon.cpp). SetWeaponFlares selects the weapon of WeaponSlot in
    // the committed car settings: its mesh child, its four muzzle flares, its catalogue entry
    // and type; WeaponEmpty := the slot cannot pay for a shot. UpdateWeapons runs once per frame
    // (FrameTime) with the aim point: flame damage, barrel spin, aim and, while Trigger is held,
    // the cooldown has run out and the slot can pay, one shot. Both do nothing while Dead.
    void SetWeaponFlares();
    void UpdateWeapons(const D3DXVECTOR3& aimPoint, CPtr<CPGameObject> car);
    // Ammunition one shot of the selected weapon costs.
    float WeaponShotCost() const;
    // Appends an object a flame touched to FlameObjects unless it stands there already.
    void AddFlameObject(const CPtr<CPGameObject>& object);

    // Car logic, bonus pickup and respawn. UpdateLogic runs once per step of the car: every
    // fixed step for the player's car, once per frame for computer cars (dt in s); it runs
    // PickUpBonus and Respawn(false) itself. Respawn(true) is a script's request; a locked
    // car or one within a second of its last respawn stays where it is either way.
    void UpdateLogic(float dt);
    void PickUpBonus();
    void Respawn(bool force);
    // The screen fade after a respawn of the followed car, out in 0.1 s and back in 0.4 s;
    // run by Draw every frame with the frame time.
    void UpdateRespawnFade(float frameTime);
    // Length of the car's velocity, 0 below 0.001 m/s and without a car.
    float GetCarSpeed() const;
    // Respawn: tilt beyond which an overturned car is put back (70 degrees), the path search
    // size, the radius kept free around a placement point and the height above the path.
    static constexpr float MaxUprightTilt = 1.2217305f;
    static constexpr float RespawnSearchSize = 20.0f;
    static constexpr float RespawnClearance = 5.0f;
    static constexpr float RespawnHeight = 2.0f;

    // CPCarContact: the physics world's collision handling.
    void SetCollisionFlag() override { CollisionFlag = true; }
    bool IsFollowedCar() const override;
    void AddCollisionDamage(float amount) override;

    CPtr<CPGameObject> Shadow;
    float RespawnCooldown = 0.0f;
    bool FadeInActive = false;
    bool FadeOutActive = false;
    float FadeTime = 0.0f;
    float FlameTimer = 0.0f;
    float BarrelAngle = 0.0f;
    float Steering = 0.0f;
    float Throttle = 0.0f;  // negative: reverse
    int32_t WeaponSlot = 0;  // -1 none, 0..2
    std::string WeaponName;
    bool WeaponEmpty = false;
    bool MineEmpty = false;
    float EngineTemperature = 0.0f;  // 0..1
    CPtr<CPGameObject> WeaponObject;
    std::array<CPtr<CPGameObject>, 4> Flares;
    int32_t FlareIndex = 0;
    float FlareTimer = 0.0f;
    bool FlareShown = false;
    float DriftTime = 0.0f;
    // Frame time not yet counted by a logic step, s: the race update adds each frame's time
    // once (for the player's car also a frame that runs none of its fixed steps), and the next
    // UpdateLogic takes it all, into DriftTime when the car drifts, so a drift reads the same
    // at any frame rate.
    float DriftFrameTime = 0.0f;
    D3DXVECTOR3 AimPoint;
    std::array<float, 3> Ammunition{1.0f, 1.0f, 1.0f};  // fraction of slots 0..2
    WeaponInfo WeaponRecord;
    MineInfo MineRecord;
    EngineInfo EngineRecord;
    float MineFactor = 0.0f;
    bool MineTrigger = false;
    bool HasMines = false;
    bool Trigger = false;
    int32_t WeaponType = 0;  // 0..9
    float WeaponCooldown = 0.0f;
    float Health = DefaultHealth;
    // Objects the flame particles touched since the weapon update last emptied the list, each
    // once, in the order they were first touched (AddFlameObject): the damage pass walks them
    // in that order, whatever their addresses.
    std::list<CPtr<CPGameObject>> FlameObjects;
    float CostFactor = 1.0f;
    float RateFactor = 1.0f;
    bool AimAssist = false;
    float AimAssistTimer = 0.0f;
    D3DXVECTOR3 AimDirection;
    D3DXVECTOR3 AimOffset;
    CPtr<CPGameObject> AimTarget;
    CPtr<CPGameObject> AimTargetOwner;
    bool PlayerDeadSent = false;
    bool Locked = false;
    bool ThrottleCut = false;
    bool TimedLock = false;
    float TimedLockTime = 0.0f;
    int32_t AbilityCount = 0;
    float DefeatTime = 0.0f;
    bool LossShown = false;
    int32_t SphereHits = 0;
    double LastSphereHit = 0.0;
    D3DXVECTOR3 SpherePush;
    double LastHaloHit = 0.0;
    std::string CarName;
    float GloomVisualTime = 0.0f;
    bool GloomVisual = false;
    uint32_t SideFlags = 0;
    float DamageLevel = 0.0f;  // 0..100
    float SmokeTimer = 0.0f;
    bool InGloom = false;
    float GloomTime = 0.0f;
    bool Slowed = false;
    float SlowedTime = 0.0f;
    float TimeBonusTimer = 0.0f;
    float SlamSoundTimer = 0.0f;
    bool HumanDriven = false;
    int32_t AiLowerLimit = 0;
    int32_t AiUpperLimit = 0;
    bool Dead = false;
    bool CollisionFlag = false;
    // The crash being counted: game time of its last contact and its hardest amount.
    double CrashTime = 0.0;
    float CrashAmount = 0.0f;
    bool Crashing = false;

private:
    // Deletes the shadow tree, if any.
    void DropShadow();
};
