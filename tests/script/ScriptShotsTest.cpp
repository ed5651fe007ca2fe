// Shot and bonus functions through scripts: shots and explosions launched by type name, the
// lightning bolt a script steps until it hits a car (and that the level frees), the super
// weapon, random bonuses at checkpoints and the list of bonuses lying in the level.
#include "ScriptCarFixture.h"

#include "core/CPScriptTask.h"
#include "core/FrameTime.h"
#include "interface/CPGameData.h"
#include "platform/win32/Clock.h"

#include <string>
#include <vector>

namespace {

using ScriptCarFixture::ScriptCarTest;
using Strings = std::vector<std::string>;

class ScriptShotsTest : public ScriptCarTest {
protected:
    void SetUp() override {
        ScriptCarTest::SetUp();
        car = MakeCar(D3DXVECTOR3(10.0f, 0.0f, 1.0f), CPPlayer::SideSolmar | CPPlayer::SidePlayer);
        level->FollowedCar = car;
        level->Player = CPtr<CPPlayer>(car);
        SetHandle("car", car);
    }
    void ExpectLaunch(size_t i, const std::string& type, const D3DXVECTOR3& position, const D3DXVECTOR3& direction) {
        ASSERT_LT(i, launches.size());
        EXPECT_EQ(launches[i].Type, type);
        EXPECT_NEAR(launches[i].Position.x, position.x, 1e-4f);
        EXPECT_NEAR(launches[i].Position.y, position.y, 1e-4f);
        EXPECT_NEAR(launches[i].Position.z, position.z, 1e-4f);
        EXPECT_EQ(launches[i].Direction, direction);
    }
    CPPlayer* car = nullptr;
    const D3DXVECTOR3 zero{0.0f, 0.0f, 0.0f};
};

TEST_F(ScriptShotsTest, ShotsAndExplosionsLaunchByTypeName) {
    // In the owner's frame: the car stands at (10, 0, 1) unturned.
    Run("Shot('boom', car, 1, 2, 3, 7, 8, 9)\n"
        "Shot('boom', nil, 1, 2, 3)\n"
        "Shot(5, car, 0, 0, 0)\n"
        "Explosion('super', 1, 2, 3)\n"
        "DirectionalExplosion('boom', 4, 5, 6, 0, 0, 1)\n"
        "Explosion('unknown', 1, 2, 3)\n");
    ASSERT_EQ(launches.size(), 3u);
    ExpectLaunch(0, "boom", D3DXVECTOR3(11.0f, 2.0f, 4.0f), zero);
    ExpectLaunch(1, "super", D3DXVECTOR3(1.0f, 2.0f, 3.0f), zero);
    ExpectLaunch(2, "boom", D3DXVECTOR3(4.0f, 5.0f, 6.0f), D3DXVECTOR3(0.0f, 0.0f, 1.0f));
    // A stopped level fires nothing; neither does a script without a level.
    level->Stopped = true;
    Run("Shot('boom', car, 0, 0, 0)");
    DeleteLevel();
    Run("Shot('boom', car, 0, 0, 0)");
    EXPECT_EQ(launches.size(), 3u);
    EXPECT_NE(RunFailing("Shot({}, car, 0, 0, 0)").Message.find("bad argument #1"), std::string::npos);
}

TEST_F(ScriptShotsTest, TheSuperWeaponSpendsACharge) {
    CarSettings& settings = host->GameData().ActiveCarSettings;
    settings.SuperWeaponCharges = 0;
    Run("SmartBomb()");
    EXPECT_TRUE(launches.empty());
    EXPECT_TRUE(Sent().empty());
    settings.SuperWeaponCharges = 1;
    Run("SmartBomb() SmartBomb()");
    ASSERT_EQ(launches.size(), 1u);
    ExpectLaunch(0, "super", car->Position, car->Position);
    EXPECT_EQ(settings.SuperWeaponCharges, 0);
    EXPECT_EQ(Sent(), (Strings{"gamemenu:update_game_interface()"}));
}

TEST_F(ScriptShotsTest, ALightningBoltFliesUntilItHitsACarAndGoesWithTheLevel) {
    // From 6 units short of the car along +x, 10 units per second: a frame of 0.1 s is 1 unit.
    FrameTime = 0.1f;
    car->CollisionBoxes.assign(1, CPBox(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1)));
    car->TransformDirty = true;
    car->UpdateTransform();
    Run("bolt = StartLighting('lightning', 4, 0, 1, 1, 0, 0)\n"
        "assert(type(bolt) == 'userdata')\n"
        "local state, hit, n = nil, nil, 0\n"
        "repeat state, hit = UpdateTrasser(bolt); n = n + 1 until state ~= 1 or n > 50\n"
        "assert(state == 0, state)\n"
        "assert(hit == car)\n"
        "assert(UpdateTrasser(nil) == -1 and select('#', UpdateTrasser(nil)) == 1)\n");
    ASSERT_EQ(level->ScriptObjects.size(), 1u);
    // A bolt flying nowhere ends after its travel.
    Run("other = StartLighting('lightning', 0, 50, 1, 0, 1, 0)\n"
        "local state, n = 1, 0\n"
        "while state == 1 and n < 100 do state = UpdateTrasser(other); n = n + 1 end\n"
        "assert(state == -1 and n == 21, n)\n");
    // The level frees its bolts, also in the middle of a frame that batched them: the frame
    // draws without them and the handle is stale afterwards.
    EXPECT_FALSE(host->StaticBatcher().FrameBlocks.empty());
    DeleteLevel();
    host->RunFrame(0.1f);
    EXPECT_NE(RunFailing("UpdateTrasser(bolt)").Message.find("UpdateTrasser: stale or invalid handle"),
              std::string::npos);
    Run("local b = StartLighting('lightning', 0, 0, 0, 1, 0, 0)\n"
        "assert(type(b) == 'userdata' and UpdateTrasser(b) == -1)\n");
}

TEST_F(ScriptShotsTest, ABoltThatHitsAScriptedPartNamesItsScriptOwner) {
    // A car with a gun that has a script task; the gun's barrel is what the bolt meets.
    CPPlayer* other = MakeBareCar(D3DXVECTOR3(30.0f, 0.0f, 1.0f), CPPlayer::SideDrevik);
    CPGameObject gun("gun");
    CPGameObject barrel("barrel");
    CPScriptTask task;
    gun.SetScriptObject(CPtr<CPScriptTask>(&task));
    barrel.CollisionBoxes.assign(1, CPBox(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1)));
    other->AddChild(CPtr<CPGameObject>(&gun));
    gun.AddChild(CPtr<CPGameObject>(&barrel));
    other->TransformDirty = true;
    other->UpdateTransform();
    level->Cars = {CPtr<CPPlayer>(other)};
    SetHandle("gun", &gun);
    FrameTime = 0.1f;
    Run("local bolt = StartLighting('lightning', 25, 0, 1, 1, 0, 0)\n"
        "local state, hit, n = 1, nil, 0\n"
        "while state == 1 and n < 50 do state, hit = UpdateTrasser(bolt); n = n + 1 end\n"
        "assert(state == 0 and hit == gun, state)\n");
    level->Cars.clear();
}

TEST_F(ScriptShotsTest, RandomBonusesAtCheckpoints) {
    MissionSource source;
    source.BonusProbability = 0;
    source.BonusRanges = {{"bonus_a", 0, 50}, {"bonus_b", 50, 100}};
    host->GameData().MissionSources = {source};
    host->GameData().BonusCoefficient = 0.0f;
    // The generator is seeded with the millisecond clock: find a time whose first draw is 0 (a
    // bonus even at probability 0) and one whose first draw is not.
    auto firstDraw = [](uint32_t ms) {
        CrtSrand(ms);
        return CrtRand() % 100;
    };
    uint32_t lucky = 0;
    while (firstDraw(lucky) != 0) ++lucky;
    uint32_t unlucky = 0;
    while (firstDraw(unlucky) == 0) ++unlucky;
    CrtSrand(lucky);
    CrtRand();
    const std::string expected = CrtRand() % 100 < 50 ? "bonus_a" : "bonus_b";

    PlatformClock::UseManual(uint64_t{unlucky} * 1000);
    Run("SetBonus(5, 6, 0)");
    EXPECT_TRUE(launches.empty());
    PlatformClock::UseManual(uint64_t{lucky} * 1000);
    Run("SetBonus(5, 6, 0) SetBonus(5, 6, 1) SetBonus(5, 6, -1)");
    ASSERT_EQ(launches.size(), 1u);
    ExpectLaunch(0, expected, D3DXVECTOR3(5.0f, 6.0f, 0.0f), D3DXVECTOR3(5.0f, 6.0f, 0.0f));
}

TEST_F(ScriptShotsTest, TheBonusListKeepsObjectsAndValuesInOrder) {
    CPGameObject a("a");
    CPGameObject b("b");
    SetHandle("A", &a);
    SetHandle("B", &b);
    Run("local list = GetBonusList()\n"
        "assert(type(list) == 'table' and next(list) == nil and GetBonusesCount() == 0)\n"
        "AddBonus(A, 5) AddBonus(B, 7.9) AddBonus(A, 9)\n"
        "list = GetBonusList()\n"
        "assert(#list == 3 and list[1][1] == A and list[1][2] == 5 and list[2][1] == B and list[2][2] == 7)\n"
        "EraseBonus(A)\n"
        "list = GetBonusList()\n"
        "assert(GetBonusesCount() == 2 and list[1][1] == B and list[2][1] == A and list[2][2] == 9)\n"
        "EraseBonus(nil)\n"
        "assert(GetBonusesCount() == 2)\n"
        "AddBonus(nil, 3)\n"
        "assert(GetBonusesCount() == 3 and GetBonusList()[3][2] == 3)\n"
        "ClearBonuses()\n"
        "assert(GetBonusesCount() == 0)\n"
        "local withArgument = GetBonusList(1, 2)\n"
        "assert(type(withArgument) == 'table')\n");
}

}  // namespace
