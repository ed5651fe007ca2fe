// AI-car, side and car weapon functions through scripts: computer cars by handle, cars by
// model name, the nearest car and the living cars of each side with traffic about, the radar,
// push-backs and throws, weapon selection with its sounds, damage with its commands, death and
// respawn.
#include "ScriptCarFixture.h"

#include "core/ConfigVars.h"
#include "game/CPCar.h"
#include "interface/CPGameData.h"
#include "physics/RbRigidBody.h"
#include "platform/audio/DirectSound.h"
#include "tests/Sound/WavFixtures.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

using ScriptCarFixture::CarWorld;
using ScriptCarFixture::ScriptCarTest;
using Strings = std::vector<std::string>;

constexpr uint32_t Solmar = CPPlayer::SideSolmar;
constexpr uint32_t Drevik = CPPlayer::SideDrevik;
constexpr uint32_t Traffic = CPPlayer::SideTraffic;
constexpr uint32_t Player = CPPlayer::SidePlayer;

class ScriptCarsTest : public ScriptCarTest {
protected:
    void SetUp() override {
        ScriptCarTest::SetUp();
        car = MakeCar(D3DXVECTOR3(0.0f, 0.0f, 1.0f), Solmar, "rover");
        SetHandle("car", car);
    }
    CPPlayer* car = nullptr;
};

TEST_F(ScriptCarsTest, ComputerCarsByHandle) {
    car->AbilityCount = 3;
    car->GetCar()->Speed = 7.5f;
    Run("assert(ActivateAbilitiesAI(car) == 3)\n"
        "SetAbilitiesCountAI(car, 1.9)\n"
        "assert(GetPlayerSpeedAI(car) == 7.5)\n"
        "local x, y, z = GetPlayerDirectionAI(car)\n"
        "assert(math.abs(x) < 1e-6 and math.abs(y + 1) < 1e-6 and z == 0)\n"
        "for _, f in ipairs({ActivateAbilitiesAI, GetPlayerSpeedAI, GetPlayerDirectionAI}) do\n"
        "  assert(select('#', f(nil)) == 0)\n"
        "end\n"
        "SetAbilitiesCountAI(nil, 2) PlayerNitroAI(nil, 5)\n");
    EXPECT_EQ(car->AbilityCount, 1);
    Run("PlayerNitroAI(car, 50)");
    EXPECT_FLOAT_EQ(car->GetCar()->Nitro, 50.0f);
    car->Throttle = 1.0f;
    Run("PlayerNitroAI(car, 20, 1)");
    EXPECT_FLOAT_EQ(car->GetCar()->Nitro, 50.0f);
    EXPECT_TRUE(car->ThrottleCut);
    EXPECT_FLOAT_EQ(car->Throttle, 0.0f);
    Run("PlayerNitroAI(car)");
    EXPECT_FLOAT_EQ(car->GetCar()->Nitro, 0.0f);
    // A trailing nil is no third argument.
    Run("PlayerNitroAI(car, 30, nil)");
    EXPECT_FLOAT_EQ(car->GetCar()->Nitro, 30.0f);
    car->ThrottleCut = false;
    Run("PlayerNitroAI(car, 10, 'x')");
    EXPECT_TRUE(car->ThrottleCut);
    EXPECT_FLOAT_EQ(car->GetCar()->Nitro, 30.0f);
}

TEST_F(ScriptCarsTest, CarsByModelNameAndTheOpponentCount) {
    CPPlayer* saloon = MakeBareCar(D3DXVECTOR3(0, 0, 0), Drevik, "saloon");
    CPPlayer* traffic = MakeBareCar(D3DXVECTOR3(0, 0, 0), Traffic, "van");
    saloon->DamageLevel = 100.0f;
    level->Cars = {CPtr<CPPlayer>(car), CPtr<CPPlayer>(saloon), CPtr<CPPlayer>(traffic)};
    CPPlayer* followed = MakeBareCar(D3DXVECTOR3(0, 0, 0), Drevik | Player, "coupe_r");
    level->FollowedCar = followed;
    host->GameData().PlayerName = "sedan_main";
    Run("assert(GetActiveCar() == 'sedan_z')\n"
        "assert(GetAIDamage('saloon_s') == 100 and GetAIDamage('rover_x') == 0 and GetAIDamage('none') == 0)\n"
        "assert(IsPlayerDead('saloon_s') == true and IsPlayerDead('rover_x') == false)\n"
        "assert(IsPlayerDead() == false and IsPlayerDead('coupe_r') == false and IsPlayerDead('none') == false)\n"
        "assert(GetAICount() == 2)\n");
    followed->DamageLevel = 100.0f;
    host->GameData().PlayerName = "buggy";
    Run("assert(IsPlayerDead() == true and IsPlayerDead('coupe_r') == true)\n"
        "assert(GetActiveCar() == 'buggy')\n");
    DeleteLevel();
    Run("assert(GetAICount() == 0)\n"
        "assert(select('#', GetAIDamage('saloon_s')) == 0 and select('#', IsPlayerDead()) == 0)\n"
        "assert(select('#', GetNearestSolmarPlayer(0, 0, 0)) == 0 and IsLightLeft() == 0)\n"
        "assert(select('#', GetAIPositions()) == 0)\n");
}

TEST_F(ScriptCarsTest, TheNearestCarOfASide) {
    // Two Solmar cars 10 from the origin, a Drevik car 3 away, a wrecked traffic car 1 away.
    CPPlayer* first = MakeBareCar(D3DXVECTOR3(10, 0, 0), Solmar, "a");
    CPPlayer* second = MakeBareCar(D3DXVECTOR3(0, 10, 0), Solmar, "b");
    CPPlayer* dark = MakeBareCar(D3DXVECTOR3(3, 0, 0), Drevik, "c");
    CPPlayer* traffic = MakeBareCar(D3DXVECTOR3(1, 0, 0), Traffic, "t");
    traffic->DamageLevel = 100.0f;
    level->Cars = {CPtr<CPPlayer>(first), CPtr<CPPlayer>(second), CPtr<CPPlayer>(dark), CPtr<CPPlayer>(traffic)};
    SetHandle("first", first);
    SetHandle("second", second);
    SetHandle("dark", dark);
    SetHandle("traffic", traffic);
    CPPlayer* followed = MakeBareCar(D3DXVECTOR3(-10, 0, 0), Solmar | Player, "p");
    level->FollowedCar = followed;
    SetHandle("followed", followed);
    Run("local x, y, z, c, d = GetNearestSolmarPlayer(0, 0, 0)\n"
        "assert(c == second and x == 0 and y == 10 and d == 10)\n"
        "local _, _, _, w, wd = GetNearestSolmarPlayer(0, 0, 0, true)\n"
        "assert(w == traffic and wd == 1)\n"
        "local _, _, _, k = GetNearestDrevikPlayer(0, 0, 0)\n"
        "assert(k == dark)\n");
    // The followed car wins only when strictly nearer; a wrecked Solmar car does not count.
    followed->Position = D3DXVECTOR3(-9.0f, 0.0f, 0.0f);
    second->DamageLevel = 100.0f;
    Run("local _, _, _, c, d = GetNearestSolmarPlayer(0, 0, 0)\n"
        "assert(c == followed and d == 9)\n");
    // Farther than 10000 is never found; a wrecked Drevik car still counts.
    Run("assert(select('#', GetNearestSolmarPlayer(20000, 0, 0)) == 0)");
    dark->DamageLevel = 100.0f;
    Run("assert(select(4, GetNearestDrevikPlayer(0, 0, 0)) == dark)");
}

TEST_F(ScriptCarsTest, LivingCarsOfEachSideAmongTheFirstFive) {
    std::vector<CPtr<CPPlayer>> cars;
    for (int i = 0; i < 5; ++i) {
        cars.emplace_back(MakeBareCar(D3DXVECTOR3(0, 0, 0), Traffic));
    }
    cars.emplace_back(MakeBareCar(D3DXVECTOR3(0, 0, 0), Solmar));  // sixth: not counted
    level->Cars = cars;
    Run("assert(IsLightLeft() == 0 and IsDarkLeft() == 0)");
    cars[4]->SideFlags = Drevik;
    Run("assert(IsLightLeft() == 0 and IsDarkLeft() == 1)");
    cars[4]->DamageLevel = 100.0f;
    cars[2]->SideFlags = Solmar;
    Run("assert(IsLightLeft() == 1 and IsDarkLeft() == 0)");
}

TEST_F(ScriptCarsTest, TheRadarPlacesCarsAroundTheFollowedOne) {
    Cfg::screenWidth = 1024;
    CPPlayer* followed = MakeBareCar(D3DXVECTOR3(100, 200, 0), Drevik | Player);
    level->FollowedCar = followed;
    camera->Yaw = 1.5707964f;  // no turn
    Run("local n, t = GetAIPositions()\n"
        "assert(n == 0 and next(t) == nil)\n");
    auto& positions = host->GameData().AiPositions;
    positions["coupe_r"] = {130.0f, 140.0f};   // 30 right, 60 up: on the radar, an ally
    positions["hauler_"] = {-900.0f, 200.0f};  // far left: off the radar
    positions["x"] = {100.0f, -500.0f};        // far below on the radar: off it
    Run("local n, t = GetAIPositions()\n"
        "assert(n == 9 and #t == 9)\n"
        "assert(math.abs(t[1] - 920) < 1e-3 and math.abs(t[2] - 110) < 1e-3 and t[3] == true)\n"
        "assert(t[4] == 1074 and t[6] == false)\n"
        "assert(t[7] == 1074 and t[9] == false)\n");
    // The race update's keys (car indices) are never allies.
    positions.clear();
    positions["0"] = {100.0f, 200.0f};
    Run("local n, t = GetAIPositions()\n"
        "assert(n == 3 and t[3] == false and math.abs(t[1] - 915) < 1e-3 and t[2] == 100)\n");
}

TEST_F(ScriptCarsTest, PushBackAndThrow) {
    const float m = CarWorld::Mass;
    CPPlayer* dark = MakeCar(D3DXVECTOR3(3.0f, 4.0f, 1.0f), Drevik);
    CPPlayer* farDark = MakeCar(D3DXVECTOR3(30.0f, 0.0f, 1.0f), Drevik);
    level->Cars = {CPtr<CPPlayer>(car), CPtr<CPPlayer>(dark), CPtr<CPPlayer>(farDark)};
    dark->GetCar()->Velocity = RbVec(0.0f, 2.0f, 0.0f);
    car->GetCar()->Velocity = RbVec(0.0f, 2.0f, 0.0f);
    // Within 5 on the ground (z does not count): pushed back against its motion.
    Run("CheckIntersection(0, 0, 100, 5)");
    EXPECT_NEAR(dark->Physics->RigidBody->GetVelocity().y, -72.0f / m, 1e-4f);
    EXPECT_FLOAT_EQ(car->Physics->RigidBody->GetVelocity().y, 0.0f);
    EXPECT_FLOAT_EQ(farDark->Physics->RigidBody->GetVelocity().y, 0.0f);

    SetHandle("dark", dark);
    Run("ThrowPlayer(car) ThrowPlayer(dark) ThrowPlayer(nil)");
    EXPECT_NEAR(car->Physics->RigidBody->GetVelocity().z, 62.5f, 1e-3f);
    EXPECT_FLOAT_EQ(dark->Physics->RigidBody->GetVelocity().z, 0.0f);
    CPPlayer* hauler = MakeCar(D3DXVECTOR3(0.0f, 30.0f, 1.0f), Solmar, "hauler_");
    SetHandle("hauler", hauler);
    Run("ThrowPlayer(hauler)");
    EXPECT_NEAR(hauler->Physics->RigidBody->GetVelocity().z, 31.25f, 1e-3f);
    // A car without physics is not thrown.
    SetHandle("bare", MakeBareCar(D3DXVECTOR3(0, 0, 0), Solmar, "hauler_"));
    Run("ThrowPlayer(bare)");
}

TEST_F(ScriptCarsTest, TriggersFollowTheWeaponState) {
    struct Row {
        int32_t Slot;
        bool Empty;
        int32_t Type;
        const char* Fire;
        bool Trigger;
        bool FlameReset;
    };
    const Row rows[] = {
        {0, false, 1, "true", true, false}, {-1, false, 1, "true", false, false}, {1, true, 1, "true", false, false},
        {2, false, 8, "true", true, true},  {2, false, 8, "false", false, false}, {0, false, 1, "0", true, false},
    };
    for (const Row& row : rows) {
        car->WeaponSlot = row.Slot;
        car->WeaponEmpty = row.Empty;
        car->WeaponType = row.Type;
        car->FlameTimer = 5.0f;
        Run(std::string("SetShot(car, ") + row.Fire + ")");
        EXPECT_EQ(car->Trigger, row.Trigger) << row.Slot << " " << row.Fire;
        EXPECT_EQ(car->FlameTimer, row.FlameReset ? 0.0f : 5.0f) << row.Slot;
    }
    car->HasMines = true;
    Run("SetMineShot(car, true)");
    EXPECT_TRUE(car->MineTrigger);
    car->MineEmpty = true;
    Run("SetMineShot(car, true) SetShot(nil, true) SetMineShot(nil, true)");
    EXPECT_FALSE(car->MineTrigger);

    car->AddChild(CPtr<CPGameObject>(new CPGameObject("mgun")));
    Run("SetCurrentWeapon(car, 'mgun')");
    EXPECT_EQ(car->WeaponObject.Get(), car->FindChild("mgun").Get());
    Run("SetCurrentWeapon(car, 'none') SetCurrentWeapon(nil, 'mgun')");
    EXPECT_EQ(car->WeaponObject, nullptr);
    EXPECT_NE(RunFailing("SetCurrentWeapon(car, nil)").Message.find("bad argument #2"), std::string::npos);
}

TEST_F(ScriptCarsTest, WeaponStepsSkipEmptySlotsAndSayWhetherTheyChanged) {
    const WavFixtures::Bytes wav = WavFixtures::PcmWav(1, 22050, 16, WavFixtures::Samples(4000));
    WriteFile("Data/Sounds/click.wav", std::string(wav.begin(), wav.end()));
    ASSERT_TRUE(host->AddSpecialSound("change_weapon", "click.wav", 0));
    ASSERT_TRUE(host->AddSpecialSound("undo_weapon", "click.wav", 0));
    auto playing = [&](const char* name) { return host->SoundManager().SpecialSounds[name]->IsPlaying(); };
    auto stop = [&] {
        host->SoundManager().SpecialSounds["change_weapon"]->Stop();
        host->SoundManager().SpecialSounds["undo_weapon"]->Stop();
    };
    auto& weapons = host->GameData().ActiveCarSettings.Weapons;
    weapons = {"", "b", ""};
    car->WeaponSlot = 1;
    Run("SetPrevWeapon(car)");
    EXPECT_EQ(car->WeaponSlot, 1);
    EXPECT_TRUE(playing("undo_weapon"));
    EXPECT_FALSE(playing("change_weapon"));
    stop();
    Run("SetNextWeapon(car)");
    EXPECT_EQ(car->WeaponSlot, 1);
    EXPECT_TRUE(playing("undo_weapon"));
    stop();
    weapons = {"a", "", "c"};
    car->WeaponSlot = 0;
    Run("SetNextWeapon(car)");
    EXPECT_EQ(car->WeaponSlot, 2);
    EXPECT_TRUE(playing("change_weapon"));
    Run("SetNextWeapon(car)");
    EXPECT_EQ(car->WeaponSlot, 0);
    Run("SetPrevWeapon(car)");
    EXPECT_EQ(car->WeaponSlot, 2);
    stop();
    weapons = {"", "", ""};
    Run("SetNextWeapon(car) SetPrevWeapon(nil)");
    EXPECT_EQ(car->WeaponSlot, -1);
    EXPECT_TRUE(playing("change_weapon"));
}

TEST_F(ScriptCarsTest, DamageSaysCriticalOnceAndDeathOnce) {
    host->GameData().DamageCoefficient = 1.0f;
    car->Health = 25.0f;
    Run("assert(DamagePlayer(car, 10) == true)");
    EXPECT_FLOAT_EQ(car->Health, 15.0f);
    EXPECT_EQ(Sent(), (Strings{"main:say_critical()", "gamemenu:update_game_interface()"}));
    Run("assert(DamagePlayer(car, 5) == true)");
    EXPECT_EQ(Sent(), (Strings{"gamemenu:update_game_interface()"}));
    Run("assert(DamagePlayer(car, 30) == false)");
    EXPECT_FLOAT_EQ(car->Health, 0.0f);
    EXPECT_TRUE(car->PlayerDeadSent);
    EXPECT_EQ(Sent(), (Strings{"main:player_dead()", "gamemenu:update_game_interface()"}));
    Run("assert(DamagePlayer(car, 30) == false)");
    EXPECT_EQ(Sent(), (Strings{"gamemenu:update_game_interface()"}));
    Run("assert(DamagePlayer(nil, 10) == true)");
    EXPECT_TRUE(Sent().empty());
    // The damage coefficient scales the hit: at 0 nothing is lost.
    car->Health = 21.0f;
    host->GameData().DamageCoefficient = 0.0f;
    Run("assert(DamagePlayer(car, 100) == true)");
    EXPECT_FLOAT_EQ(car->Health, 21.0f);
}

TEST_F(ScriptCarsTest, KillSpawnAndBrake) {
    Run("KillPlayer(car) KillPlayer(nil) Spawn(nil) SetBrake(nil, true)");
    EXPECT_FALSE(car->Visible);
    EXPECT_FALSE(car->Collision);
    EXPECT_EQ(car->Physics->RigidBody, nullptr);
    EXPECT_FALSE(car->Physics->Active);
    // A car without physics loses only its looks.
    CPPlayer* bare = MakeBareCar(D3DXVECTOR3(0, 0, 0), Solmar);
    SetHandle("bare", bare);
    Run("KillPlayer(bare) Spawn(bare)");
    EXPECT_FALSE(bare->Visible);

    CPPlayer* other = MakeCar(D3DXVECTOR3(0.0f, 20.0f, 1.0f), Drevik);
    SetHandle("other", other);
    Run("SetBrake(other, true)");
    EXPECT_TRUE(other->GetCar()->Braking);
    Run("SetBrake(other, false)");
    EXPECT_FALSE(other->GetCar()->Braking);
}

}  // namespace
