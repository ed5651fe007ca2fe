// Mission and enemy functions through scripts: checkpoint records, the enemy-type table, enemy
// sources near the followed car, the enemy type drawn for a group or a mission record, and
// spawn points inside the level.
#include "ScriptCarFixture.h"

#include "interface/CPGameData.h"
#include "script/CPEnemyTable.h"

#include <string>

namespace {

using ScriptCarFixture::ScriptCarTest;

class ScriptMissionsTest : public ScriptCarTest {
protected:
    void SetUp() override {
        ScriptCarTest::SetUp();
        car = MakeBareCar(D3DXVECTOR3(100.0f, 0.0f, 0.0f), CPPlayer::SideSolmar | CPPlayer::SidePlayer);
        level->FollowedCar = car;
        CPGameData& game = host->GameData();
        MissionSource first;
        first.Value = 2.5f;
        first.IntValues = {1, 2, 3};
        first.EnemyRanges = {{"tank", 0, 100}};
        MissionSource second;
        second.IntValues = {4, 5, 6};
        MissionSource third;
        third.EnemyRanges = {{"jeep", 0, 100}};
        game.MissionSources = {first, second, third};
    }
    // A source point of the group at distance d from the followed car along +y.
    void AddSource(const std::string& group, float d, bool kind, const std::string& type) {
        EnemySourcePoint point;
        point.Position = car->Position + D3DXVECTOR3(0.0f, d, 0.0f);
        point.Kind = kind;
        point.EnemyRanges = {{type, 0, 100}};
        host->GameData().EnemySources[group].push_back(point);
    }
    CPPlayer* car = nullptr;
};

TEST_F(ScriptMissionsTest, CheckpointRecordsAreReadWithinTheirCount) {
    Run("assert(GetCheckPointsCount() == 3)\n"
        "local a, b, c, v = GetCheckPointInfo(0)\n"
        "assert(a == 1 and b == 2 and c == 3 and v == 2.5)\n"
        "assert(select(2, GetCheckPointInfo(1.9)) == 5)\n"
        "assert(select('#', GetCheckPointInfo(3)) == 0 and select('#', GetCheckPointInfo(-1)) == 0)\n"
        "AddEnemy('tank', 1, 2)\n"
        "LoadMissionInfo('no_such_mission')\n"
        "assert(GetCheckPointsCount() == 0)\n");
}

TEST_F(ScriptMissionsTest, EnemyTypesComeFromTheTableAndUnknownOnesAreAddedEmpty) {
    host->EnemyTable().Types["tank"] = {1.5f, 2.5f, "one", "two", "three"};
    Run("local v1, t2, v2, t1, t3 = GetEnemyData('tank')\n"
        "assert(v1 == 1.5 and t2 == 'two' and v2 == 2.5 and t1 == 'one' and t3 == 'three')\n"
        "local a, b, c, d, e = GetEnemyData('ghost')\n"
        "assert(a == 0 and b == '' and c == 0 and d == '' and e == '')\n");
    EXPECT_EQ(host->EnemyTable().Types.count("ghost"), 1u);
    EXPECT_NE(RunFailing("GetEnemyData({})").Message.find("bad argument #1"), std::string::npos);
}

TEST_F(ScriptMissionsTest, SourcesCountAsNearStrictlyBetween25And40) {
    AddSource("g", 25.0f, true, "a");
    AddSource("g", 40.0f, true, "a");
    AddSource("h", 30.0f, false, "a");
    Run("assert(IsEnemySourceNear(true, 'g') == false)\n"
        "assert(IsEnemySourceNear(false, 'h') == true and IsEnemySourceNear(true, 'h') == false)\n"
        "assert(IsEnemySourceNear(false, 'none') == false)\n");
    DeleteLevel();
    Run("assert(IsEnemySourceNear(false, 'h') == false)\n"
        "assert(select('#', GetEnemyType(1, false)) == 0 and select('#', GetPositionForEnemy('e', 0)) == 0)\n");
}

TEST_F(ScriptMissionsTest, EnemyTypesComeFromANearSourceElseFromTheMissionRecord) {
    AddSource("3", 30.0f, true, "sniper");
    AddSource("3", 50.0f, true, "far");
    // The number 3 names the group "3"; its near point gives the type and the place.
    Run("local t, fromSource, x, y = GetEnemyType(3, true)\n"
        "assert(t == 'sniper' and fromSource == true and x == 100 and y == 30)\n"
        "t, fromSource, x, y = GetEnemyType(3, false)\n"
        "assert(t == 'jeep' and fromSource == false and x == 100 and y == 0)\n"
        "assert(GetEnemyType(1, false) == 'tank' and GetEnemyType(2, false) == '')\n"
        "local u, s = GetEnemyType(9, false)\n"
        "assert(u == '' and s == false)\n"
        "assert(GetEnemyType(0, false) == '')\n");
}

TEST_F(ScriptMissionsTest, SpawnPointsLieInsideTheLevel) {
    Run("local inside, x, y = GetPositionForEnemy('e', 0, 'fixed', 10, 10)\n"
        "assert(inside == true and x == 12 and y == 12)\n"
        "inside, x, y = GetPositionForEnemy('e', 0, 'fixed', 1490, 0)\n"
        "assert(inside == false and x == 1492 and y == 2)\n"
        "inside, x, y = GetPositionForEnemy('e', 0, 7, -10, -10)\n"
        "assert(inside == true and x == -8 and y == -8)\n");
    // Without a fixed point (nil is absent): around the followed car, on the border of its
    // square, or ahead of it while it moves.
    for (const float speed : {0.0f, 10.0f}) {
        level->FollowedSpeed = speed;
        Run("for i = 1, 50 do\n"
            "  local inside, x, y = GetPositionForEnemy('e', 0, nil, 5000, 5000)\n"
            "  local dx, dy = x - 100, y\n"
            "  local d = math.sqrt(dx * dx + dy * dy)\n"
            "  assert(inside == true, x)\n"
            "  assert(d >= 29.99 and d <= 42.5, d)\n"
            "end\n");
    }
    // Near the level's edge the two tries can both fall outside.
    car->Position = D3DXVECTOR3(1490.0f, 1490.0f, 0.0f);
    level->FollowedSpeed = 0.0f;
    Run("local outside = 0\n"
        "for i = 1, 20 do if not GetPositionForEnemy('e', 0) then outside = outside + 1 end end\n"
        "assert(outside > 0)\n");
}

}  // namespace
