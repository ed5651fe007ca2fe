// The enemy controller: each animation chain, a blow at its report frame, the shots of each
// weapon, wounds, death paying once, and the reports to the scripts. Shots and the melee ray
// are routed to the test.
#include "game/CPEnemy.h"

#include "core/CPCommandDispatcher.h"
#include "core/CPScriptTask.h"
#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "interface/CPGameData.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicData.h"
#include "scene/CPPickInfo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Shot {
    std::string Name;
    D3DXVECTOR3 Position;
    D3DXVECTOR3 Direction;
};

class CountingBehaviour : public CPEnemyBehaviour {
public:
    explicit CountingBehaviour(int& calls) : calls(calls) {}
    void OnAttackRepeated(CPEnemy&) override { ++calls; }

private:
    int& calls;
};

class EnemyTest : public testing::Test {
protected:
    void SetUp() override {
        CrtSrand(1);
        CPCommandDispatcher::Instance = &Dispatcher;
        CPGameData::Instance = &Game;
        for (CPScriptTask* task : {&Menu, &LevelScript, &CarScript}) {
            task->Running = true;
        }
        Dispatcher.RegisterName("gamemenu", &Menu);
        Dispatcher.RegisterCategory("level", &LevelScript);
        Figure = std::make_unique<CPGameObject>("soldier");
        Figure->Position = D3DXVECTOR3(1.0f, 2.0f, 3.0f);
        Car = std::make_unique<CPPlayer>();
        Car->Position = D3DXVECTOR3(1.0f, 12.0f, 0.5f);
        Car->SetScriptObject(CPtr<CPScriptTask>(&CarScript));
        Level = std::make_unique<CPLevel>();
        Level->FollowedCar = Car.get();

        Enemy = std::make_unique<CPEnemy>();
        Enemy->Object = Figure.get();
        Figure->Controller = Enemy.get();
        Enemy->TypeName = "soldier";
        Enemy->Weapon = "mgun";
        Enemy->Behaviour = std::make_unique<CountingBehaviour>(Repeats);
        Enemy->States = {{1, 11}, {4, 44}};
        Enemy->Melee[0] = CPEnemy::MeleeAttack{7, {0.0f, 1.5f, 1.0f}, {0.0f, 1.0f, 0.0f}, 300.0f, 15.0f};
        Enemy->Melee[1] = CPEnemy::MeleeAttack{9, {0.0f, 2.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, 100.0f, 25.0f};
        Enemy->MeleeCount = 2;
        Enemy->FireReportFrame = 5;
        Enemy->MuzzleOffset = D3DXVECTOR3(0.0f, 0.5f, 1.4f);
        Enemy->Reward = 50;
        Enemy->Sounds["hit1"] = "punch";
        D3DXVECTOR3 out;
        Enemy->Frame->SetOrigin(&out, 1.0f, 2.0f, 3.0f);
        Enemy->Services.LaunchShot = [this](const std::string& name, const D3DXVECTOR3& p, const D3DXVECTOR3& d) {
            Shots.push_back(Shot{name, p, d});
        };
        Enemy->Services.CrossRay = [this](CPPickInfo& pick) {
            Rays.push_back(pick);
            if (RayHitsCar) {
                pick.Owner = Car.get();
            }
            return RayHitsCar;
        };
    }
    void TearDown() override {
        Enemy.reset();
        Level.reset();
        Car->SetScriptObject(nullptr);
        Dispatcher.Unregister(&Menu);
        Dispatcher.Unregister(&LevelScript);
        CPCommandDispatcher::Instance = nullptr;
        CPGameData::Instance = nullptr;
    }

    // The commands a task got, oldest first.
    static std::vector<CPCommand> Received(const CPScriptTask& task) {
        return std::vector<CPCommand>(task.Commands.rbegin(), task.Commands.rend());
    }

    CPCommandDispatcher Dispatcher;
    CPGameData Game;
    CPScriptTask Menu;
    CPScriptTask LevelScript;
    CPScriptTask CarScript;
    std::unique_ptr<CPGameObject> Figure;
    std::unique_ptr<CPPlayer> Car;
    std::unique_ptr<CPLevel> Level;
    std::unique_ptr<CPEnemy> Enemy;
    int Repeats = 0;
    std::vector<Shot> Shots;
    std::vector<CPPickInfo> Rays;
    bool RayHitsCar = true;
};

TEST_F(EnemyTest, EachAnimationEndLeadsWhereTheChainSays) {
    const struct {
        const char* Ended;
        int32_t Firing;
        const char* Next;  // animation afterwards
        int32_t NextReportFrame;
        int32_t FiringAfter;
        int Repeats;
        int32_t State;
    } cases[] = {
        {"fire_in", 0, "fire", 5, 1, 0, 0},
        {"fire", 1, "fire", 5, 1, 1, 0},
        {"fire", 0, "fire", -1, 0, 0, 0},  // nothing: the old request stays
        {"fire_out", 1, "fire_out", -1, 0, 0, 11},
        {"idle", 1, "idle", -1, 1, 0, 0},
    };
    for (const auto& c : cases) {
        Repeats = 0;
        Enemy->State = 0;
        Enemy->StateTime = 2.0f;
        Enemy->Firing = c.Firing;
        Enemy->EventPending = true;
        Enemy->PlayAnimation(c.Ended, false, true, 0);
        Enemy->OnAnimationStopped();
        EXPECT_EQ(Enemy->Animation.Name, c.Next) << c.Ended;
        EXPECT_EQ(Enemy->Animation.ReportFrame, c.NextReportFrame) << c.Ended;
        EXPECT_EQ(Enemy->Firing, c.FiringAfter) << c.Ended;
        EXPECT_EQ(Repeats, c.Repeats) << c.Ended;
        EXPECT_EQ(Enemy->State, c.State) << c.Ended;
        if (c.State != 0) {
            EXPECT_EQ(Enemy->StateTime, 0.0f);
        }
        EXPECT_FALSE(Enemy->EventPending) << c.Ended;
    }
    for (const char* death : {"death1", "death2"}) {
        Figure->Collision = true;
        Enemy->Activity = 1;
        Enemy->PlayAnimation(death, false, true, 0);
        Enemy->OnAnimationStopped();
        EXPECT_FALSE(Figure->Collision) << death;
        EXPECT_EQ(Enemy->Activity, 0) << death;
    }
}

TEST_F(EnemyTest, AMeleeBlowIsFollowedByARandomOneWithinTheCount) {
    // A count outside 1..2 counts as the nearest of them.
    for (const int32_t count : {1, 2, 0, 5}) {
        const int32_t effective = count < 1 ? 1 : (count > 2 ? 2 : count);
        Enemy->MeleeCount = count;
        CrtSrand(7);
        std::vector<int> expected;
        for (int i = 0; i < 6; ++i) {
            expected.push_back(CrtRand() % effective + 1);
        }
        CrtSrand(7);
        Repeats = 0;
        Enemy->PlayAnimation("melee1", true, true, 7);
        for (int i = 0; i < 6; ++i) {
            Enemy->OnAnimationStopped();
            const std::string name = "melee" + std::to_string(expected[i]);
            EXPECT_EQ(Enemy->Animation.Name, name) << count;
            EXPECT_EQ(Enemy->MeleeName, name);
            EXPECT_EQ(Enemy->Animation.ReportFrame, Enemy->Melee[expected[i] - 1].ReportFrame);
            EXPECT_EQ(Enemy->Animation.LoopLimit, 1);
        }
        EXPECT_EQ(Repeats, 6);
    }
}

TEST_F(EnemyTest, PlayingTheSameAnimationAgainNeedsForce) {
    Enemy->PlayAnimation("walk", false, false, 0);
    EXPECT_EQ(Enemy->Animation.ReportFrame, -1);
    EXPECT_EQ(Enemy->Animation.LoopLimit, 0);
    Enemy->PlayAnimation("walk", true, false, 3);
    EXPECT_EQ(Enemy->Animation.ReportFrame, -1) << "unchanged without force";
    Enemy->PlayAnimation("walk", true, true, 3);
    EXPECT_EQ(Enemy->Animation.ReportFrame, 3);
    EXPECT_EQ(Enemy->Animation.LoopLimit, 1);
}

TEST_F(EnemyTest, ABlowLandsAtItsReportFrameNotBefore) {
    Enemy->PlayAnimation("melee1", true, true, Enemy->Melee[0].ReportFrame);
    EXPECT_TRUE(Rays.empty());
    EXPECT_TRUE(CarScript.Commands.empty());
    Enemy->OnAnimationReport();
    ASSERT_EQ(Rays.size(), 1u);
    // From the enemy at height 1.5 towards the car along the ground, as far as the reach.
    EXPECT_FLOAT_EQ(Rays[0].Origin.x, 1.0f);
    EXPECT_FLOAT_EQ(Rays[0].Origin.y, 2.0f);
    EXPECT_FLOAT_EQ(Rays[0].Origin.z, 1.5f);
    EXPECT_FLOAT_EQ(Rays[0].Direction.y, 1.0f);
    EXPECT_FLOAT_EQ(Rays[0].Distance, std::sqrt(1.5f * 1.5f + 1.0f));
    EXPECT_EQ(Rays[0].Exclude, Figure.get());
    const std::vector<CPCommand> got = Received(CarScript);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].Name, "damage");
    EXPECT_EQ(got[0].Params, std::vector<std::string>{"15.00"});
    EXPECT_TRUE(Shots.empty());

    // A miss does nothing.
    RayHitsCar = false;
    Enemy->OnAnimationReport();
    EXPECT_EQ(Received(CarScript).size(), 1u);
}

TEST_F(EnemyTest, AnExplodingEnemyBlowsUpOnItsFirstBlowHitOrMiss) {
    Enemy->Weapon = "explosion";
    RayHitsCar = false;
    Enemy->PlayAnimation("melee1", true, true, 7);
    Enemy->OnAnimationReport();
    ASSERT_EQ(Shots.size(), 1u);
    EXPECT_EQ(Shots[0].Name, "rocket_exp2");
    // The reach (0, 1.5, 1) from the enemy at (1, 2, 3), facing its reference axis.
    EXPECT_NEAR(Shots[0].Position.x, 1.0f, 1e-5f);
    EXPECT_NEAR(Shots[0].Position.y, 3.5f, 1e-5f);
    EXPECT_NEAR(Shots[0].Position.z, 4.0f, 1e-5f);
    EXPECT_EQ(Enemy->State, 44);
    const std::vector<CPCommand> reports = Received(LevelScript);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].Name, "enemy_death");
    EXPECT_EQ(reports[0].Params, (std::vector<std::string>{"soldier", "1.00", "2.00", "3.00"}));
    EXPECT_TRUE(CarScript.Commands.empty());

    // The second blow is an ordinary one.
    Shots.clear();
    RayHitsCar = true;
    Enemy->PlayAnimation("melee2", true, true, 9);
    Enemy->OnAnimationReport();
    EXPECT_TRUE(Shots.empty());
    EXPECT_EQ(Received(CarScript).size(), 1u);
    EXPECT_EQ(Received(LevelScript).size(), 1u);
}

TEST_F(EnemyTest, EachWeaponFiresItsShotsAtTheCar) {
    const struct {
        const char* Weapon;
        const char* Shot;
        size_t Count;
    } cases[] = {{"hmgun", "trasser22", 1}, {"plasma", "plazma_shot2", 1}, {"mgun", "trasser21", 1},
                 {"lgun", "trasser21", 1},  {"shotgun", "trasser23", 8},   {"explosion", "", 0}};
    for (const auto& c : cases) {
        Shots.clear();
        Enemy->Weapon = c.Weapon;
        Enemy->PlayAnimation("fire", true, true, 5);
        Enemy->OnAnimationReport();
        ASSERT_EQ(Shots.size(), c.Count) << c.Weapon;
        for (const Shot& shot : Shots) {
            EXPECT_EQ(shot.Name, c.Shot);
            // From the muzzle (0, 0.5, 1.4) ahead of the enemy.
            EXPECT_NEAR(shot.Position.y, 2.5f, 1e-5f);
            EXPECT_NEAR(shot.Position.z, 4.4f, 1e-5f);
            EXPECT_NEAR(D3DXVec3Length(&shot.Direction), 1.0f, 1e-4f);
        }
    }
    // Without spread the aim is 0.3 above the car's position.
    Shots.clear();
    Enemy->Weapon = "mgun";
    Enemy->OnAnimationReport();
    D3DXVECTOR3 aim(0.0f, 12.0f - 2.5f, 0.8f - 4.4f);
    D3DXVec3Normalize(&aim, &aim);
    EXPECT_NEAR(Shots[0].Direction.x, aim.x, 1e-5f);
    EXPECT_NEAR(Shots[0].Direction.y, aim.y, 1e-5f);
    EXPECT_NEAR(Shots[0].Direction.z, aim.z, 1e-5f);
    // A spread stays within its cone: at most 0.4 from the aim for the shotgun.
    Shots.clear();
    Enemy->Weapon = "shotgun";
    Enemy->OnAnimationReport();
    for (const Shot& shot : Shots) {
        EXPECT_LE(std::acos(std::min(1.0f, D3DXVec3Dot(&shot.Direction, &aim))), 0.4f + 1e-3f);
    }
}

TEST_F(EnemyTest, ARocketEnemyFiresEveryThirdShotAtRandom) {
    Enemy->Weapon = "rocket";
    Enemy->PlayAnimation("fire", true, true, 5);
    for (int round = 0; round < 3; ++round) {
        Shots.clear();
        for (int i = 0; i < 2; ++i) {
            Enemy->OnAnimationReport();
        }
        CrtSrand(static_cast<uint32_t>(round + 3));
        const bool even = CrtRand() % 2 == 0;
        CrtSrand(static_cast<uint32_t>(round + 3));
        Enemy->OnAnimationReport();
        ASSERT_EQ(Shots.size(), 3u);
        EXPECT_EQ(Shots[0].Name, "plazma_shot2");
        EXPECT_EQ(Shots[1].Name, "plazma_shot2");
        EXPECT_EQ(Shots[2].Name, even ? "srocket2" : "plazma_shot2");
        EXPECT_EQ(Enemy->RocketCount, 0);
    }
}

TEST_F(EnemyTest, OffsetsTurnWithTheEnemysFacing) {
    // Facing +x with the reference +y: a quarter turn clockwise.
    const D3DXVECTOR3 east(1.0f, 0.0f, 0.0f);
    Enemy->Frame->SetDirection(&east);
    EXPECT_NEAR(Enemy->FacingAngle(), -1.5707963f, 1e-5f);
    const D3DXVECTOR3 turned = Enemy->Turned(D3DXVECTOR3(0.0f, 2.0f, 1.0f), true);
    EXPECT_NEAR(turned.x, 3.0f, 1e-5f);
    EXPECT_NEAR(turned.y, 2.0f, 1e-5f);
    EXPECT_NEAR(turned.z, 4.0f, 1e-5f);
    // A reference axis without a ground part: no turn.
    Enemy->ReferenceAxis = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    EXPECT_EQ(Enemy->FacingAngle(), 0.0f);
}

TEST_F(EnemyTest, DeathPaysOnceAndReportsOnce) {
    Game.Money = 10.0f;
    Game.Kills = 2;
    Enemy->Health = 30.0f;
    const D3DXVECTOR3 at(1.0f, 2.0f, 4.0f);
    const D3DXVECTOR3 from(0.0f, 1.0f, 0.0f);
    Figure->Damage(at, from, 10.0f, false, false);
    EXPECT_FLOAT_EQ(Enemy->Health, 20.0f);
    EXPECT_TRUE(Enemy->WasHit);
    ASSERT_EQ(Shots.size(), 1u);
    EXPECT_EQ(Shots[0].Name, "blood1");
    EXPECT_FLOAT_EQ(Shots[0].Direction.y, -10.0f);
    EXPECT_FALSE(Enemy->DeathDone);

    // Exactly the health left kills.
    Figure->Damage(at, from, 20.0f, true, false);
    EXPECT_EQ(Shots.size(), 1u) << "no effect asked";
    EXPECT_TRUE(Enemy->DeathDone);
    EXPECT_EQ(Enemy->State, 44);
    EXPECT_FLOAT_EQ(Game.Money, 60.0f);
    EXPECT_EQ(Game.Kills, 3);
    const std::vector<CPCommand> money = Received(Menu);
    ASSERT_EQ(money.size(), 1u);
    EXPECT_EQ(money[0].Name, "change_money");
    EXPECT_EQ(money[0].Params, std::vector<std::string>{"60.00"});
    ASSERT_EQ(Received(LevelScript).size(), 1u);
    EXPECT_EQ(Received(LevelScript)[0].Params, (std::vector<std::string>{"soldier", "1.00", "2.00", "3.00"}));

    // A second death pays nothing and reports nothing, but sets the death state again.
    Enemy->State = 0;
    Figure->Damage(at, from, 5.0f, false, false);
    EXPECT_FLOAT_EQ(Game.Money, 60.0f);
    EXPECT_EQ(Game.Kills, 3);
    EXPECT_EQ(Received(Menu).size(), 1u);
    EXPECT_EQ(Received(LevelScript).size(), 1u);
    EXPECT_EQ(Enemy->State, 44);

    // Once Dead, damage does nothing at all.
    Enemy->Dead = true;
    Enemy->State = 0;
    const float health = Enemy->Health;
    Figure->Damage(at, from, 5.0f, false, false);
    EXPECT_EQ(Enemy->Health, health);
    EXPECT_EQ(Enemy->State, 0);
}

TEST_F(EnemyTest, ASilentDeathStillPaysAndGibsBurstFromFleshOnly) {
    Enemy->SilentDeath = true;
    Enemy->Gibs = true;
    Enemy->GibHeight = 1.2f;
    Enemy->Health = 1.0f;
    CPPhysicData physics(Figure.get());
    Figure->Physics = &physics;
    physics.HoldMotion = true;
    Figure->Damage(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0), 1.0f, true, false);
    EXPECT_FALSE(physics.HoldMotion);
    EXPECT_TRUE(Received(LevelScript).empty());
    EXPECT_EQ(Game.Kills, 1);
    EXPECT_FALSE(Figure->Visible);
    ASSERT_GE(Shots.size(), 5u);
    ASSERT_LE(Shots.size(), 9u);
    for (const Shot& shot : Shots) {
        EXPECT_TRUE(shot.Name == "gib1" || shot.Name == "gib2") << shot.Name;
        EXPECT_NEAR(shot.Position.z, 3.0f + 1.2f, 1e-5f);
    }
    Figure->Physics = nullptr;
}

TEST_F(EnemyTest, OilOnlyDamageSparesFlesh) {
    Enemy->Health = 10.0f;
    Figure->Damage(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0), 50.0f, false, true);
    EXPECT_FLOAT_EQ(Enemy->Health, 10.0f);
    EXPECT_TRUE(Enemy->WasHit);
    Enemy->HitEffect = "oil1";
    Figure->Damage(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0), 4.0f, false, true);
    EXPECT_FLOAT_EQ(Enemy->Health, 6.0f);
    ASSERT_EQ(Shots.size(), 1u);
    EXPECT_EQ(Shots[0].Name, "oil1");
}

TEST_F(EnemyTest, WithoutAFollowedCarNoBlowAndNoShot) {
    Level->FollowedCar = nullptr;
    Enemy->PlayAnimation("melee1", true, true, 7);
    Enemy->OnAnimationReport();
    Enemy->PlayAnimation("fire", true, true, 5);
    Enemy->OnAnimationReport();
    EXPECT_TRUE(Rays.empty());
    EXPECT_TRUE(Shots.empty());
}

}  // namespace
