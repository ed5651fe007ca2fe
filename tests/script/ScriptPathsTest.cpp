// Path functions through scripts, on a level whose centre path is the square "c_path" of side
// 210 from the origin (pieces of about 10.5 units, anticlockwise).
#include "ScriptFixture.h"

#include "tests/game/LevelBytes.h"

#include "game/CPLevel.h"
#include "game/CPLine.h"
#include "game/CPPlayer.h"
#include "game/CPSpline.h"

#include <cmath>
#include <memory>

namespace {

class ScriptPathsTest : public ScriptTest {
protected:
    void LoadLevel() {
        level = std::make_unique<CPLevel>();
        const LevelBytes::Bytes bytes = LevelBytes::RaceLevel();
        LevelLayout layout;
        std::string problem;
        ASSERT_TRUE(level->ApplyLevelData(bytes.data(), bytes.size(), layout, problem)) << problem;
        path = level->GetPathSpline();
        ASSERT_NE(path, nullptr);
    }
    void TearDown() override {
        level.reset();
        ScriptTest::TearDown();
    }
    // The n-th piece along Next from the first.
    CPLine* Piece(int n) {
        CPLine* line = path->FirstLine;
        for (int i = 0; i < n; ++i) line = line->Next;
        return line;
    }

    std::unique_ptr<CPLevel> level;
    CPSpline* path = nullptr;
};

TEST_F(ScriptPathsTest, WithoutALevelTheLevelFunctionsReturnNothing) {
    Run("assert(select('#', GetPlayerSplineAngle()) == 0)\n"
        "assert(select('#', GetSplineLinePoint(3)) == 0)\n"
        "assert(select('#', GetClosestLineCenter(1, 2, 3, 0)) == 0)\n"
        "assert(GetSplineLineCount() == 1)\n");
}

TEST_F(ScriptPathsTest, LinePointsWalkTheRingAndWrap) {
    LoadLevel();
    const int count = static_cast<int>(path->Lines.size());
    const CPLine* third = Piece(3);
    lua_pushnumber(L(), count);
    lua_setglobal(L(), "count");
    Run("local x0, y0, z0 = GetSplineLinePoint(0)\n"
        "local x, y, z = GetSplineLinePoint(3)\n"
        "local wx, wy = GetSplineLinePoint(3 + 2 * count)\n"
        "assert(wx == x and wy == y)\n"
        "local nx, ny = GetSplineLinePoint(-4)\n"
        "assert(nx == x0 and ny == y0)\n"
        "return x, y\n");
    Run(std::string("local x, y = GetSplineLinePoint(3)\n") + "assert(math.abs(x - " + std::to_string(third->Centre.x) +
        ") < 1e-3 and math.abs(y - " + std::to_string(third->Centre.y) + ") < 1e-3)\n");
}

TEST_F(ScriptPathsTest, ClosestLineCentreStepsByOffsetAndSkipsTheFirstPiece) {
    LoadLevel();
    // A point on the bottom edge, near the fifth piece's centre.
    const D3DXVECTOR3 point = Piece(5)->Centre;
    auto check = [&](int offset, const CPLine* expected) {
        Run("local x, y, half, a = GetClosestLineCenter(" + std::to_string(point.x) + ", " +
            std::to_string(point.y) + ", 99, " + std::to_string(offset) + ")\n" +
            "assert(math.abs(x - " + std::to_string(expected->Centre.x) + ") < 1e-3, x)\n" +
            "assert(math.abs(y - " + std::to_string(expected->Centre.y) + ") < 1e-3, y)\n" +
            "assert(half == 0.5)\n");
    };
    // The walk starts at the piece after the first and stops at the first within 20 units,
    // which for a point at piece 5 is piece 4 or nearer: find it as the script would.
    const CPLine* found = path->FirstLine->Next;
    while ((found->Centre.x - point.x) * (found->Centre.x - point.x) +
               (found->Centre.y - point.y) * (found->Centre.y - point.y) >= 400.0f) {
        found = found->Next;
    }
    ASSERT_NE(found, Piece(5));  // the walk stops at the first piece near enough, not the nearest
    check(0, found);
    check(2, found->Prev->Prev);
    check(-2, found->Next->Next);
    // Far from every piece: nothing.
    Run("assert(select('#', GetClosestLineCenter(5000, 5000, 0, 0)) == 0)");
}

TEST_F(ScriptPathsTest, PlayerAngleStaysWithinATurnAndSurvivesANewPath) {
    LoadLevel();
    auto car = std::make_unique<CPPlayer>();
    level->FollowedCar = car.get();
    level->FollowedHeading = 1.25f;
    for (const float x : {20.0f, 105.0f, 200.0f}) {
        D3DXMatrixTranslation(car->GetWorldMatrix(), x, 0.0f, 0.0f);
        Run("local heading, a = GetPlayerSplineAngle(true)\n"
            "assert(heading == 1.25)\n"
            "assert(a >= 0 and a <= 6.2831855, a)\n");
    }
    // A second level frees the first's path; the remembered piece must not be followed.
    level->FollowedCar = nullptr;
    LoadLevel();
    level->FollowedCar = car.get();
    Run("local heading, a = GetPlayerSplineAngle()\nassert(a >= 0 and a <= 6.2831855)\n");
    level->FollowedCar = nullptr;
}

}  // namespace
