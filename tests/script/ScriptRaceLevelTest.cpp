// The object, car, shot and mission functions on the test level as the game loads it: its
// player's car and computer cars, its enemy source with a mission file naming it and an enemy
// placed there that fires, a lightning bolt flying into the player's car, and a computer car
// killed while the race runs.
#include "ScriptCarFixture.h"

#include "tests/game/LevelFixture.h"

#include "game/CPEnemy.h"
#include "game/CPPlayer.h"
#include "game/EnemyDescription.h"
#include "interface/CPGameData.h"

#include <string>

namespace {

class ScriptRaceLevel : public LevelFixture::LevelTest {
protected:
    void RunScript(const std::string& code) {
        ScriptError error;
        EXPECT_TRUE(host->Scripts().RunString(code, "test", &error)) << error.Message;
    }
    void SetHandle(const char* name, const void* object) {
        lua_State* L = host->Scripts().State();
        lua_pushlightuserdata(L, const_cast<void*>(object));
        lua_setglobal(L, name);
    }
};

TEST_F(ScriptRaceLevel, FunctionsWorkOnTheLoadedLevel) {
    host->GameData().LevelTransportCount = 0;
    host->GameData().PlayerType = CPPlayer::SideSolmar;
    CPLevel* level = LoadLevel();
    ASSERT_TRUE(loaded);
    ASSERT_NE(level->FollowedCar, nullptr);
    ASSERT_EQ(level->Cars.size(), TestLevelFiles::ComputerCars);
    SetHandle("player", level->FollowedCar);
    SetHandle("enemy", level->Cars[0].Get());
    // One checkpoint and the level's source "tank" (at 150, 150) in the group "1".
    scratch.Write("Data/Levels/mission1", "2.5 1 2 3 tank,100 50 bonus,100\nsources\ntank 1 1 0.5 tank,100\n");
    // The enemy the mission places at the source "tank" (150, 150, 0).
    EnemyCatalogue catalogue;
    std::string problem;
    ASSERT_TRUE(ParseEnemyDescriptions("enemy tank\nhealth 50\nmuzzle 0 1 2\n", "enemies.txt", catalogue, problem))
        << problem;
    CPGameObject enemyBody("tank_body");
    const std::unique_ptr<CPEnemy> enemy = PlaceEnemyAtSource(catalogue, *level, "tank", &enemyBody);
    ASSERT_NE(enemy, nullptr);
    enemyBody.UpdateTransform();
    SetHandle("tank", &enemyBody);
    std::vector<ScriptCarFixture::ShotLaunch> launches;
    host->ShotManager().AddPrototype(CPtr<CPShot>(new ScriptCarFixture::RecordingShot("bullet", &launches)));
    RunScript("local x, y, z = GetPosition(tank)\n"
              "assert(x == 150 and y == 150 and z == 0)\n"
              "Shot('bullet', tank, 0, 1, 2)\n"
              "AddBonus(tank, 5)\n"
              "assert(GetBonusList()[1][1] == tank)\n"
              "EraseBonus(tank)\n");
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].Position, D3DXVECTOR3(150.0f, 151.0f, 2.0f));
    RunScript("local x, y, z = GetPlayerPosition()\n"
              "assert(math.abs(x - 5) < 0.5 and math.abs(y) < 0.5, x)\n"
              "assert(GetAICount() == 2)\n"
              "assert(GetPlayerMass() > 0 and GetPlayerMass(enemy) > 0)\n"
              "local _, _, _, nearest = GetNearestSolmarPlayer(0, 0, 0)\n"
              "assert(nearest == player)\n"
              "LoadMissionInfo('mission1')\n"
              "assert(GetCheckPointsCount() == 1 and select(4, GetCheckPointInfo(0)) == 2.5)\n"
              "assert(IsEnemySourceNear(true, '1') == false)\n"
              "SetPosition(player, 150, 120, 0.5)\n"
              "assert(IsEnemySourceNear(true, '1') == true)\n"
              "local t, fromSource, sx, sy = GetEnemyType(1, true)\n"
              "assert(t == 'tank' and fromSource and sx == 150 and sy == 150)\n"
              "local inside, px, py = GetPositionForEnemy('tank', 0, nil)\n"
              "assert(type(inside) == 'boolean' and px and py)\n");
    // A bolt flying into the player's car (a box of 2 m around its position) from 8 units
    // short of it.
    CPPlayer* player = level->FollowedCar;
    player->CollisionBoxes.assign(1, CPBox(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1)));
    player->TransformDirty = true;
    player->UpdateTransform();
    RunScript("local x, y, z = GetPosition(player)\n"
              "bolt = StartLighting('lightning', x - 8, y, z, 1, 0, 0)\n");
    for (int frame = 0; frame < 40; ++frame) {
        host->RunFrame(0.1f);
        RunScript("state, hit = UpdateTrasser(bolt)");
        lua_State* L = host->Scripts().State();
        lua_getglobal(L, "state");
        const int state = static_cast<int>(lua_tonumber(L, -1));
        lua_pop(L, 1);
        if (state != 1) {
            break;
        }
    }
    RunScript("assert(state == 0 and hit == player, state)\n");
    // A computer car killed and damaged while the race goes on.
    host->GameData().DamageCoefficient = 1.0f;
    RunScript("KillPlayer(enemy)\n"
              "assert(DamagePlayer(enemy, 10) == true)\n");
    EXPECT_FALSE(level->Cars[0]->Visible);
    Run(30);
    RunScript("assert(GetObjectSpeed(enemy) == 0 and IsRigid(enemy) == false)");
}

}  // namespace
