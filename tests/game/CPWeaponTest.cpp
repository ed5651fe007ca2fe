// The weapons of the player's car: the type of each weapon name, selection (mesh, flares,
// catalogue values, the empty state), the fire rate at any frame rate, ammunition down to
// empty, the flares taking turns, the guarded divisors and rates, and weapons that fire nothing.
#include "game/CPWeapon.h"

#include "core/FrameTime.h"
#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "game/CPShotManager.h"
#include "interface/CPGameData.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPEnemyController.h"
#include "scene/CPParticleManager.h"
#include "scene/CPParticleTemplate.h"
#include "scene/CPSceneLoader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

// A shot that ends after one frame and counts its launches.
class CountingShot : public CPShot {
public:
    CountingShot(std::string name, int* launches) : CPShot(std::move(name)), Launches(launches) {}
    CPtr<CPShot> Clone() override { return CPtr<CPShot>(new CountingShot(TypeName, Launches)); }
    bool Step() override { return false; }
    void Launch(const D3DXVECTOR3& p, const D3DXVECTOR3& d, float lifetime, CPtr<CPGameObject> owner,
                int32_t extra) override {
        CPShot::Launch(p, d, lifetime, owner, extra);
        ++*Launches;
    }
    int* Launches;
};

TEST(CPWeapon, EachNameSelectsItsTypeAndShot) {
    struct Case {
        const char* Name;
        int32_t Type;
        const char* Shot;
    };
    const Case cases[] = {
        {"lgun", 0, "trasser11"},     {"ssrlauncher", 3, "srocket1"}, {"plasma", 5, "plazma"},
        {"lgun2x", 1, "trasser11"},   {"hmgun", 2, "trasser12"},      {"shotgun", 6, "trasser13"},
        {"mgun", 0, "trasser11"},     {"mgun2x", 0, "trasser11"},     {"gauss", 7, "gauss1"},
        {"rlauncher", 4, "rocket1"},  {"autoshotgun", 6, "trasser13"}, {"firethrower", 8, nullptr},
        {"MGUN", 9, nullptr},         {"", 9, nullptr},               {"mgun3x", 9, nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CPWeapon::TypeOf(c.Name), c.Type) << c.Name;
        const char* shot = CPWeapon::ShotOf(CPWeapon::TypeOf(c.Name));
        EXPECT_EQ(shot == nullptr ? std::string("-") : std::string(shot), c.Shot == nullptr ? "-" : c.Shot) << c.Name;
    }
}

// The player's car with the weapons "mgun" (flares "flare_mgun" .. "_03") and "bogus" as
// children, the game data's committed settings naming them in slots 0 and 1, and a shot
// manager whose "trasser11" counts launches.
class WeaponTest : public ::testing::Test {
protected:
    void SetUp() override {
        CrtSrand(1);
        CPGameData::Instance = &game;
        CPShotManager::Instance = &shots;
        shots.AddPrototype(CPtr<CPShot>(new CountingShot("trasser11", &launches)));
        game.ActiveCarSettings.Weapons = {"mgun", "bogus", ""};
        record.ShotCost = 1;
        record.CostDivisor = 4;  // a quarter of the slot per shot
        record.FireRate = 10.0f;
        game.Weapons.Add("mgun", record);
        game.Weapons.Add("bogus", record);
        car = new CPPlayer();
        weapon = new CPGameObject("mgun");
        weapon->SetPosition(D3DXVECTOR3(0, 0, 1));
        car->AddChild(CPtr<CPGameObject>(weapon));
        for (const char* name : {"flare_mgun", "flare_mgun_01", "flare_mgun_02", "flare_mgun_03"}) {
            auto* flare = new CPGameObject(name);
            flare->SetPosition(D3DXVECTOR3(0, -1, 0));
            weapon->AddChild(CPtr<CPGameObject>(flare));
        }
        car->AddChild(CPtr<CPGameObject>(new CPGameObject("bogus")));
        FrameTime = 1.0f / 60.0f;
    }
    void TearDown() override {
        CPSceneLoader::DeleteObject(car);
        CPShotManager::Instance = nullptr;
        CPGameData::Instance = nullptr;
        FrameTime = 0.0f;
    }
    void Select(int32_t slot) {
        car->WeaponSlot = slot;
        car->SetWeaponFlares();
    }
    // Frames of the given length with the trigger held; the shots launched meanwhile.
    int Hold(int frames, float dt = 1.0f / 60.0f) {
        const int before = launches;
        FrameTime = dt;
        car->Trigger = true;
        for (int i = 0; i < frames; ++i) {
            car->UpdateWeapons(D3DXVECTOR3(0, -50, 0), nullptr);
            shots.Update();
        }
        car->Trigger = false;
        return launches - before;
    }

    CPGameData game;
    CPShotManager shots;
    WeaponInfo record;
    CPPlayer* car = nullptr;
    CPGameObject* weapon = nullptr;
    int launches = 0;
};

TEST_F(WeaponTest, SelectionShowsTheWeaponHidesItsFlaresAndTakesItsCatalogueEntry) {
    Select(0);
    EXPECT_EQ(car->WeaponName, "mgun");
    EXPECT_EQ(car->WeaponObject.Get(), weapon);
    EXPECT_TRUE(weapon->Visible);
    EXPECT_EQ(car->WeaponType, CPWeapon::MachineGun);
    EXPECT_EQ(car->WeaponRecord, record);
    EXPECT_EQ(car->FlareIndex, 3);
    EXPECT_FALSE(car->FlareShown);
    for (const CPtr<CPGameObject>& flare : car->Flares) {
        ASSERT_NE(flare, nullptr);
        EXPECT_FALSE(flare->Visible);
    }
    EXPECT_FALSE(car->WeaponEmpty);

    // An empty slot hides the weapon and selects nothing.
    Select(2);
    EXPECT_FALSE(weapon->Visible);
    EXPECT_EQ(car->WeaponName, "");
    EXPECT_EQ(car->WeaponObject, nullptr);
    EXPECT_EQ(car->WeaponType, CPWeapon::None);
    Select(-1);
    EXPECT_EQ(car->WeaponName, "");
    EXPECT_EQ(Hold(30), 0);

    // The empty state follows the slot selected.
    car->Ammunition = {0.1f, 1.0f, 1.0f};
    Select(0);
    EXPECT_TRUE(car->WeaponEmpty);
    EXPECT_EQ(Hold(30), 0);
    car->Ammunition[0] = 1.0f;
    Select(0);
    EXPECT_FALSE(car->WeaponEmpty);

    // Nothing while the car is wrecked.
    car->Dead = true;
    Select(2);
    EXPECT_EQ(car->WeaponName, "mgun");
    EXPECT_EQ(Hold(30), 0);
}

TEST_F(WeaponTest, TheFireRateIsTheSameAtAnyFrameRate) {
    game.Weapons.ByName["mgun"].FireRate = 7.35f;  // 74 shots in 10 s, none near its end
    game.Weapons.ByName["mgun"].CostDivisor = 1000;
    for (const int fps : {30, 60, 144}) {
        car->WeaponCooldown = 0.0f;
        car->Ammunition = {1.0f, 1.0f, 1.0f};
        Select(0);
        EXPECT_EQ(Hold(10 * fps, 1.0f / static_cast<float>(fps)), 74) << fps << " frames per second";
    }
    // A trigger released for a while stores no burst: one shot, then the rate again.
    car->Trigger = false;
    FrameTime = 1.0f / 60.0f;
    for (int i = 0; i < 120; ++i) car->UpdateWeapons(D3DXVECTOR3(0, -50, 0), nullptr);
    EXPECT_EQ(Hold(1), 1);
    EXPECT_EQ(Hold(7), 0);  // 1/7.35 s is 8.2 frames
    EXPECT_EQ(Hold(60), 8);  // then every 8.2 frames
}

TEST_F(WeaponTest, AmmunitionIsSpentDownToEmpty) {
    car->Ammunition = {0.75f, 1.0f, 1.0f};  // three shots of a quarter
    Select(0);
    EXPECT_EQ(Hold(60), 3);
    EXPECT_FLOAT_EQ(car->Ammunition[0], 0.0f);
    EXPECT_TRUE(car->WeaponEmpty);
    EXPECT_EQ(Hold(60), 0);

    // The car's cost factor divides the cost; a factor or divisor of 0 counts as 1.
    car->Ammunition = {1.0f, 1.0f, 1.0f};
    car->CostFactor = 2.0f;
    Select(0);
    EXPECT_FLOAT_EQ(car->WeaponShotCost(), 0.125f);
    car->CostFactor = 0.0f;
    EXPECT_FLOAT_EQ(car->WeaponShotCost(), 0.25f);
    car->WeaponRecord.CostDivisor = 0;
    EXPECT_FLOAT_EQ(car->WeaponShotCost(), 1.0f);
    car->CostFactor = 1.0f;
    car->WeaponRecord.CostDivisor = 4;

    // A rate of 0 fires nothing and spends nothing.
    car->RateFactor = 0.0f;
    EXPECT_EQ(Hold(60), 0);
    EXPECT_FLOAT_EQ(car->Ammunition[0], 1.0f);
    car->RateFactor = 1.0f;
    EXPECT_EQ(Hold(1), 1);
}

TEST_F(WeaponTest, AWeaponOfNoKnownTypeFiresNothingAndCostsNothing) {
    Select(1);
    EXPECT_EQ(car->WeaponName, "bogus");
    EXPECT_EQ(car->WeaponType, CPWeapon::None);
    EXPECT_EQ(Hold(120), 0);
    EXPECT_FLOAT_EQ(car->Ammunition[1], 1.0f);
    EXPECT_FALSE(car->WeaponEmpty);
}

TEST_F(WeaponTest, TheFlaresTakeTurnsOneShotEach) {
    game.Weapons.ByName["mgun"].CostDivisor = 1000;
    Select(0);
    const std::string names[] = {"flare_mgun", "flare_mgun_01", "flare_mgun_02", "flare_mgun_03", "flare_mgun"};
    for (const std::string& name : names) {
        car->WeaponCooldown = -1.0f;
        ASSERT_EQ(Hold(1), 1);
        int shown = 0;
        for (const CPtr<CPGameObject>& flare : car->Flares) {
            if (flare->Visible) {
                ++shown;
                EXPECT_EQ(flare->GetName(), name);
            }
        }
        EXPECT_EQ(shown, 1) << name;
    }
    // A flare shows for 0.1 s.
    car->Trigger = false;
    FrameTime = 0.05f;
    car->UpdateWeapons(D3DXVECTOR3(0, -50, 0), nullptr);
    EXPECT_TRUE(car->FlareShown);
    car->UpdateWeapons(D3DXVECTOR3(0, -50, 0), nullptr);
    car->UpdateWeapons(D3DXVECTOR3(0, -50, 0), nullptr);
    EXPECT_FALSE(car->FlareShown);
    for (const CPtr<CPGameObject>& flare : car->Flares) EXPECT_FALSE(flare->Visible);
}

TEST_F(WeaponTest, TheWeaponTurnsTowardsTheAimPointAndFiresAlongItsBarrel) {
    Select(0);
    FrameTime = 1.0f / 60.0f;
    car->UpdateWeapons(D3DXVECTOR3(30, 0, 1), nullptr);  // to the car's right (+x)
    D3DXVECTOR3 barrel;
    const D3DXVECTOR3 local(0, -1, 0);
    D3DXVec3TransformNormal(&barrel, &local, &weapon->WorldMatrix);
    EXPECT_NEAR(barrel.x, 1.0f, 1e-5f);
    EXPECT_NEAR(barrel.y, 0.0f, 1e-5f);
    EXPECT_EQ(car->AimPoint, D3DXVECTOR3(30, 0, 1));

    // The rocket launcher also lifts its barrel for a ballistic throw: ½·asin(g·d/17²).
    car->WeaponType = CPWeapon::RocketLauncher;
    car->UpdateWeapons(D3DXVECTOR3(0, -10, 1), nullptr);
    D3DXVec3TransformNormal(&barrel, &local, &weapon->WorldMatrix);
    const float lift = 0.5f * std::asin(9.8f * 10.0f / 289.0f);
    EXPECT_NEAR(barrel.z, std::sin(lift), 1e-4f);
    EXPECT_NEAR(barrel.y, -std::cos(lift), 1e-4f);
    car->UpdateWeapons(D3DXVECTOR3(0, -1000, 1), nullptr);  // beyond the range: 45 degrees
    D3DXVec3TransformNormal(&barrel, &local, &weapon->WorldMatrix);
    EXPECT_NEAR(barrel.z, std::sqrt(0.5f), 1e-4f);
    car->WeaponType = CPWeapon::MachineGun;

    // Straight ahead a shot leaves along -y from the flare.
    car->Trigger = true;
    car->WeaponCooldown = -1.0f;
    shots.Pool["trasser11"].push_back(CPtr<CPShot>(new CountingShot("trasser11", &launches)));
    CPShot* spare = shots.Pool["trasser11"].back().Get();
    car->UpdateWeapons(D3DXVECTOR3(0, -40, 1), nullptr);
    ASSERT_EQ(shots.Launched.size(), 1u);
    EXPECT_EQ(shots.Launched[0].Get(), spare);
    EXPECT_NEAR(spare->Direction.y, -1.0f, 1e-5f);
    EXPECT_NEAR(spare->Position.y, -1.0f, 1e-5f);
    EXPECT_NEAR(spare->Position.z, 1.0f, 1e-5f);
    EXPECT_EQ(spare->LiveOwner(), car);
}

// Keeps the "firethrower" requests.
class FlameRecorder : public CPParticleTemplate {
public:
    size_t GetObjectSize() const override { return sizeof(FlameRecorder); }
    std::string GetTypeName() const override { return "FlameRecorder"; }
    void Update() override {}
    int GetKind() const override { return 0; }
    void Emit(const CPParticleParams& params) override {
        ++Emitted;
        Speed = D3DXVec3Length(&params.Velocity);
        Param3 = params.Param3;
        Tag = params.Tag;
        Object = params.Object.Get();
    }
    void Reset() override {}
    int Emitted = 0;
    float Speed = 0.0f;
    float Param3 = 0.0f;
    CPParticleCallback Tag = nullptr;
    CPObject* Object = nullptr;
};

TEST_F(WeaponTest, EachKindFiresItsShotsAndShellCases) {
    CPParticleManager particles;
    CPParticleManager::Instance = &particles;
    FlameRecorder shells;
    particles.Templates["gilze"] = CPtr<CPParticleTemplate>(&shells);
    struct Case {
        const char* Weapon;
        const char* Shot;
        int32_t ShotCost;
        int Shots;
        int Shells;
    };
    const Case cases[] = {
        {"mgun2x", "trasser11", 1, 1, 1}, {"lgun2x", "trasser11", 1, 1, 1}, {"hmgun", "trasser12", 1, 1, 1},
        {"shotgun", "trasser13", 3, 3, 3}, {"autoshotgun", "trasser13", 0, 0, 0}, {"rlauncher", "rocket1", 1, 1, 0},
        {"ssrlauncher", "srocket1", 1, 1, 0}, {"plasma", "plazma", 1, 1, 0},     {"gauss", "gauss1", 1, 1, 0},
    };
    std::map<std::string, int> launched;
    for (const Case& c : cases) {
        // "trasser11" counts into `launches` (the fixture's prototype).
        int* counter = std::string(c.Shot) == "trasser11" ? &launches : &launched[c.Shot];
        if (shots.PoolSize(c.Shot) == 0) shots.AddPrototype(CPtr<CPShot>(new CountingShot(c.Shot, counter)));
        WeaponInfo entry = record;
        entry.ShotCost = c.ShotCost;
        entry.CostDivisor = 1000;
        game.Weapons.Add(c.Weapon, entry);
        auto* mesh = new CPGameObject(c.Weapon);
        mesh->AddChild(CPtr<CPGameObject>(new CPGameObject("stvol")));
        car->AddChild(CPtr<CPGameObject>(mesh));
        game.ActiveCarSettings.Weapons[2] = c.Weapon;
        car->Ammunition[2] = 1.0f;
        Select(2);
        const int before = *counter;
        const int shellsBefore = shells.Emitted;
        car->WeaponCooldown = -1.0f;
        Hold(1);
        EXPECT_EQ(*counter - before, c.Shots) << c.Weapon;
        EXPECT_EQ(shells.Emitted - shellsBefore, c.Shells) << c.Weapon;
        // Only the heavy gun spins its barrel while firing.
        const D3DXQUATERNION still(0, 0, 0, 1);
        EXPECT_EQ(mesh->FindChild("stvol")->Orientation != still, std::string(c.Weapon) == "hmgun") << c.Weapon;
    }
    // The shotgun's pellets leave in a cone of 0.4 rad about the barrel.
    for (const CPtr<CPShot>& pellet : shots.Pool["trasser13"]) {
        if (pellet == shots.Pool["trasser13"].front()) continue;
        EXPECT_LE(std::acos(std::min(1.0f, -pellet->Direction.y)), 0.4f + 1e-4f);
    }
    particles.Templates.clear();
    particles.Active.clear();
    CPParticleManager::Instance = nullptr;
}

TEST_F(WeaponTest, TheFlameThrowerSpraysFlamesAndBurnsWhatTheyTouched) {
    CPParticleManager particles;
    CPParticleManager::Instance = &particles;
    FlameRecorder flames;
    particles.Templates["firethrower"] = CPtr<CPParticleTemplate>(&flames);
    game.ActiveCarSettings.Weapons[2] = "firethrower";
    record.CostDivisor = 1000;
    game.Weapons.Add("firethrower", record);
    car->AddChild(CPtr<CPGameObject>(new CPGameObject("firethrower")));
    Select(2);
    EXPECT_EQ(car->WeaponType, CPWeapon::FlameThrower);

    EXPECT_EQ(Hold(1), 0);  // no shot: particles
    EXPECT_EQ(flames.Emitted, 1);
    EXPECT_NEAR(flames.Speed, CPWeapon::FlameSpeed, 1e-4f);
    EXPECT_GE(flames.Param3, 0.8f);
    EXPECT_LE(flames.Param3, 1.1f);
    EXPECT_EQ(flames.Tag, &FlameHitTest);
    EXPECT_EQ(flames.Object, car);
    EXPECT_LT(car->Ammunition[2], 1.0f);

    // What the flames touched is burnt every 0.2 s and forgotten every frame.
    auto* barrel = new CPGameObject("barrel");
    car->AddFlameObject(CPtr<CPGameObject>(barrel));
    FrameTime = 0.25f;
    car->UpdateWeapons(D3DXVECTOR3(0, -50, 0), nullptr);
    EXPECT_TRUE(car->FlameObjects.empty());
    EXPECT_GT(car->FlameTimer, 0.0f);
    // An object deleted before the weapon's frame is skipped.
    auto* gone = new CPGameObject("gone");
    car->AddFlameObject(CPtr<CPGameObject>(gone));
    CPSceneLoader::DeleteObject(gone);
    car->UpdateWeapons(D3DXVECTOR3(0, -50, 0), nullptr);
    EXPECT_TRUE(car->FlameObjects.empty());
    CPSceneLoader::DeleteObject(barrel);
    particles.Templates.clear();
    particles.Active.clear();
    CPParticleManager::Instance = nullptr;
}

// Takes the damage of one object into a shared log, by the object's name.
class DamageLog : public CPEnemyController {
public:
    DamageLog(std::string name, std::vector<std::string>* log) : Name(std::move(name)), Log(log) {}
    void OnAnimationStopped() override {}
    void OnAnimationReport() override {}
    void OnDamage(const D3DXVECTOR3&, const D3DXVECTOR3&, float, bool, bool) override { Log->push_back(Name); }
    std::string Name;
    std::vector<std::string>* Log;
};

// The damage pass burns what the flames touched in the order they touched it, whichever of
// the objects lies higher in memory.
TEST_F(WeaponTest, FlamesBurnInTheOrderTheyTouched) {
    game.ActiveCarSettings.Weapons[2] = "firethrower";
    game.Weapons.Add("firethrower", record);
    car->AddChild(CPtr<CPGameObject>(new CPGameObject("firethrower")));
    Select(2);
    ASSERT_EQ(car->WeaponType, CPWeapon::FlameThrower);

    std::vector<std::string> log;
    auto* first = new CPGameObject("first");
    auto* second = new CPGameObject("second");
    DamageLog firstLog("first", &log);
    DamageLog secondLog("second", &log);
    first->Controller = &firstLog;
    second->Controller = &secondLog;
    CPGameObject* high = std::max(first, second, std::less<CPGameObject*>());
    CPGameObject* low = high == first ? second : first;
    for (const auto& order : {std::vector<CPGameObject*>{high, low}, std::vector<CPGameObject*>{low, high}}) {
        SCOPED_TRACE(order[0] == high ? "higher address first" : "lower address first");
        log.clear();
        for (CPGameObject* object : order) {
            car->AddFlameObject(CPtr<CPGameObject>(object));
        }
        car->AddFlameObject(CPtr<CPGameObject>(order[0]));  // touched again: listed once
        car->FlameTimer = 0.0f;
        FrameTime = 0.25f;  // two passes: the timer ends at -0.25, then -0.05
        car->UpdateWeapons(D3DXVECTOR3(0, -50, 0), nullptr);
        const std::string a = order[0]->Name;
        const std::string b = order[1]->Name;
        EXPECT_EQ(log, (std::vector<std::string>{a, b, a, b}));
        EXPECT_TRUE(car->FlameObjects.empty());
    }
    first->Controller = nullptr;
    second->Controller = nullptr;
    CPSceneLoader::DeleteObject(first);
    CPSceneLoader::DeleteObject(second);
}

}  // namespace
