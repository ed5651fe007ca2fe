// The respawn: which cars are put back (turned over, on the side, falling, off the terrain,
// forced by a script when stuck against a wall) and which are not (driving normally, locked,
// within the cooldown, without physics or path); where they go (the first free point of the
// nearest path piece, two units up, headed in the race direction, at rest); the followed car's
// camera and screen fade.
#include "CarLogicFixture.h"

#include "game/CPCar.h"
#include "game/CPRaceCamera.h"
#include "game/CPSpline.h"
#include "physics/RbRigidBody.h"
#include "scene/CPPhysicData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <vector>

namespace {


constexpr float Pi = std::numbers::pi_v<float>;
constexpr float Degree = Pi / 180.0f;
const D3DXVECTOR3 CarAt(15.0f, 3.0f, 1.0f);  // beside piece 1, which runs (10, 0) to (20, 0)

class PlayerRespawnTest : public CarLogicFixture::CarLogicTest {
protected:
    void SetUp() override {
        CarLogicTest::SetUp();
        // The rectangle 0..100 x 0..50 in pieces of 10 from (0, 0) along +x; the race runs
        // against that order, so each piece is headed from its end back to its start.
        std::vector<D3DXVECTOR2> points;
        for (int x = 0; x < 100; x += 10) points.emplace_back(float(x), 0.0f);
        for (int y = 0; y < 50; y += 10) points.emplace_back(100.0f, float(y));
        for (int x = 100; x > 0; x -= 10) points.emplace_back(float(x), 50.0f);
        for (int y = 50; y > 0; y -= 10) points.emplace_back(0.0f, float(y));
        Path = new CPSpline();
        const size_t n = points.size();
        for (size_t i = 0; i < n; ++i) {
            auto line = std::make_unique<CPLine>();
            const D3DXVECTOR2& s = points[i];
            const D3DXVECTOR2& e = points[(i + 1) % n];
            line->Start = D3DXVECTOR3(s.x, s.y, 0.0f);
            line->End = D3DXVECTOR3(e.x, e.y, 0.0f);
            line->Min = D3DXVECTOR2(std::fmin(s.x, e.x), std::fmin(s.y, e.y));
            line->Max = D3DXVECTOR2(std::fmax(s.x, e.x), std::fmax(s.y, e.y));
            line->Centre = D3DXVECTOR3((s.x + e.x) * 0.5f, (s.y + e.y) * 0.5f, 0.0f);
            float heading = std::atan2(s.y - e.y, s.x - e.x);
            line->Heading = heading < 0.0f ? heading + 2.0f * Pi : heading;
            const D3DXVECTOR2 d(e.x - s.x, e.y - s.y);
            line->Normal = D3DXVECTOR2(d.y / 10.0f, -d.x / 10.0f);
            line->Offset = -(line->Normal.x * s.x + line->Normal.y * s.y);
            Path->Lines.push_back(std::move(line));
        }
        for (size_t i = 0; i < n; ++i) {
            Path->Lines[i]->Next = Path->Lines[(i + 1) % n].get();
            Path->Lines[i]->Prev = Path->Lines[(i + n - 1) % n].get();
        }
        Path->FirstLine = Path->Lines.front().get();
        Path->CurrentLine = Path->FirstLine;
        Level->CentrePath = Path;
    }

    static D3DXQUATERNION Turn(const D3DXVECTOR3& axis, float angle) {
        D3DXQUATERNION q;
        D3DXQuaternionRotationAxis(&q, &axis, angle);
        return q;
    }
    // Where the car's nose (local -y) points.
    static D3DXVECTOR3 Nose(const CPPlayer& player) {
        D3DXMATRIX m;
        D3DXMatrixRotationQuaternion(&m, &player.Orientation);
        const D3DXVECTOR3 forward(0.0f, -1.0f, 0.0f);
        D3DXVECTOR3 nose;
        D3DXVec3TransformCoord(&nose, &forward, &m);
        return nose;
    }
    static void ExpectNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
        EXPECT_NEAR(a.x, b.x, 1e-4f);
        EXPECT_NEAR(a.y, b.y, 1e-4f);
        EXPECT_NEAR(a.z, b.z, 1e-4f);
    }

    CPSpline* Path = nullptr;  // the level's, deleted with it
};

struct TriggerCase {
    const char* Name;
    std::function<void(CPPlayer&)> Setup;
    bool Force;
    bool Respawned;
};

TEST_F(PlayerRespawnTest, OverturnedFallingOffTerrainAndForcedCarsArePutBack) {
    const D3DXVECTOR3 x(1.0f, 0.0f, 0.0f);
    const D3DXVECTOR3 y(0.0f, 1.0f, 0.0f);
    const auto upright = [](CPPlayer&) {};
    const auto velocity = [](float vx, float vz) {
        return [vx, vz](CPPlayer& p) {
            p.GetCar()->Velocity = RbVec(vx, 0.0f, vz);
            p.Physics->RigidBody->SetVelocity(RbVec(vx, 0.0f, vz));
        };
    };
    const auto turned = [](D3DXVECTOR3 axis, float angle) {
        return [axis, angle](CPPlayer& p) { p.Orientation = Turn(axis, angle); };
    };
    const std::vector<TriggerCase> cases = {
        {"driving normally", velocity(10.0f, 0.0f), false, false},
        {"on its roof", turned(y, Pi), false, true},
        {"on its side", turned(y, Pi / 2.0f), false, true},
        {"tilted 71 degrees", turned(x, 71.0f * Degree), false, true},
        {"tilted 69 degrees", turned(x, 69.0f * Degree), false, false},
        {"stuck against a wall, at rest: the script forces it", upright, true, true},
        {"stuck against a wall without the script", upright, false, false},
        {"falling: v (4, 0, -6)", velocity(4.0f, -6.0f), false, true},
        {"not falling: v (5, 0, -6)", velocity(5.0f, -6.0f), false, false},
        {"off the terrain", [](CPPlayer& p) { p.Physics->TerrainTriangleCount = 0; }, false, true},
        {"locked, even forced", [](CPPlayer& p) { p.Locked = true; }, true, false},
        {"within the cooldown, even forced", [](CPPlayer& p) { p.RespawnCooldown = 0.01f; }, true, false},
    };
    for (const TriggerCase& c : cases) {
        SCOPED_TRACE(c.Name);
        CPPlayer* player = MakePlayer(CarAt, 2);
        c.Setup(*player);
        const float cooldown = player->RespawnCooldown;
        player->Respawn(c.Force);
        if (c.Respawned) {
            ExpectNear(player->Position, D3DXVECTOR3(10.0f, 0.0f, 2.0f));
            EXPECT_EQ(player->RespawnCooldown, 1.0f);
            // At rest, headed along the piece in the race direction (-x), upright.
            const RbVector& v = player->Physics->RigidBody->GetVelocity();
            EXPECT_EQ(D3DXVECTOR3(v.x, v.y, v.z), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
            const RbVector& l = player->Physics->RigidBody->Motion.AngularMomentum;
            EXPECT_EQ(D3DXVECTOR3(l.x, l.y, l.z), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
            ExpectNear(Nose(*player), D3DXVECTOR3(-1.0f, 0.0f, 0.0f));
            const RbVector& body = player->Physics->RigidBody->GetPosition();
            ExpectNear(D3DXVECTOR3(body.x, body.y, body.z), D3DXVECTOR3(10.0f, 0.0f, 2.0f));
        } else {
            EXPECT_EQ(player->Position, CarAt);
            EXPECT_EQ(player->RespawnCooldown, cooldown);
        }
        EXPECT_FALSE(player->FadeOutActive);  // not the followed car
    }
}

TEST_F(PlayerRespawnTest, CarsWithoutPhysicsOrPathStayAndStartNoCooldown) {
    CPPlayer bare;
    bare.Position = CarAt;
    bare.Respawn(true);
    EXPECT_EQ(bare.Position, CarAt);
    EXPECT_EQ(bare.RespawnCooldown, 0.0f);

    CPPlayer* player = MakePlayer(CarAt, 2);
    Level->CentrePath = nullptr;
    player->Respawn(true);
    EXPECT_EQ(player->Position, CarAt);
    EXPECT_EQ(player->RespawnCooldown, 0.0f);
    Level->CentrePath = Path;
}

// The first of start, centre and end that no car blocks (a car within 5 of the point, or one
// this car would overlap there); the end when all are blocked.
TEST_F(PlayerRespawnTest, TheCarGoesToTheFirstFreePointOfThePiece) {
    struct PlaceCase {
        const char* Name;
        std::vector<D3DXVECTOR3> Others;
        D3DXVECTOR3 Half;  // of the respawned car's box
        D3DXVECTOR3 Placed;
    };
    const D3DXVECTOR3 car(0.9f, 2.0f, 0.4f);
    const std::vector<PlaceCase> cases = {
        {"a car near the start", {{7.0f, 0.0f, 0.4f}}, car, {15.0f, 0.0f, 2.0f}},
        {"cars at every point", {{10.0f, 0.0f, 0.4f}, {15.0f, 0.0f, 0.4f}, {20.0f, 0.0f, 0.4f}}, car,
         {20.0f, 0.0f, 2.0f}},
        {"a car far from all three", {{15.0f, 30.0f, 0.4f}}, car, {10.0f, 0.0f, 2.0f}},
        // Beyond 5 of the start, but inside where a long car would stand there.
        {"a car the long car would overlap at the start", {{10.0f, 7.5f, 2.0f}}, {0.9f, 6.0f, 0.4f},
         {15.0f, 0.0f, 2.0f}},
    };
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Level->Cars.clear();
        for (const D3DXVECTOR3& at : c.Others) {
            Level->Cars.push_back(CPtr<CPPlayer>(MakeOther(at)));
        }
        CPPlayer* player = MakePlayer(CarAt, 2);
        Level->Cars.push_back(CPtr<CPPlayer>(player));
        player->Bounds = CPBoundingBox::Around(CarAt, c.Half);
        player->Respawn(true);
        ExpectNear(player->Position, c.Placed);
    }
    // The followed car blocks as well.
    Level->Cars.clear();
    Level->FollowedCar = MakeOther(D3DXVECTOR3(7.0f, 0.0f, 0.4f));
    CPPlayer* player = MakePlayer(CarAt, 2);
    player->Respawn(true);
    ExpectNear(player->Position, D3DXVECTOR3(15.0f, 0.0f, 2.0f));
    Level->FollowedCar = nullptr;
}

TEST_F(PlayerRespawnTest, AReversedRaceHeadsTheCarTheOtherWay) {
    Level->Reversed = true;
    CPPlayer* player = MakePlayer(CarAt, 2);
    player->Respawn(true);
    ExpectNear(Nose(*player), D3DXVECTOR3(1.0f, 0.0f, 0.0f));
}

// The followed car: the camera turns with it, and a second request within the second does
// nothing until the car logic has run the cooldown down.
TEST_F(PlayerRespawnTest, TheFollowedCarTurnsTheCameraOncePerSecond) {
    CPCamera camera;
    Level->Camera = &camera;
    CPPlayer* player = MakePlayer(CarAt, 9);
    Level->FollowedCar = player;
    player->Respawn(true);
    EXPECT_TRUE(player->FadeOutActive);
    EXPECT_FALSE(player->FadeInActive);
    EXPECT_EQ(player->FadeTime, 0.0f);
    EXPECT_FLOAT_EQ(camera.Yaw, Pi);
    EXPECT_TRUE(camera.Changed);

    player->SetPosition(CarAt);
    player->Respawn(true);
    EXPECT_EQ(player->Position, CarAt);
    for (int i = 0; i < 4; ++i) {
        player->UpdateLogic(0.25f);
    }
    EXPECT_EQ(player->Position, CarAt);  // upright on the terrain: the logic does not put it back
    player->Respawn(true);
    ExpectNear(player->Position, D3DXVECTOR3(10.0f, 0.0f, 2.0f));
    Level->FollowedCar = nullptr;
    Level->Camera = nullptr;
}

// The fade the drawing runs for the followed car: out to 0 in 0.1 s, the next frame back in,
// full again after 0.4 s.
TEST_F(PlayerRespawnTest, TheScreenFadesOutAndBackIn) {
    CPPlayer* player = MakePlayer(CarAt, 9);
    Level->FollowedCar = player;
    player->Respawn(true);
    Render.Fade = 200.0f;
    struct FadeFrame {
        float FrameTime;
        float Fade;
        bool Out;
        bool In;
    };
    const std::vector<FadeFrame> frames = {
        {0.05f, 100.0f, true, false}, {0.05f, 0.0f, false, true}, {0.2f, 100.0f, false, true},
        {0.2f, 200.0f, false, false}, {0.2f, 200.0f, false, false},
    };
    for (const FadeFrame& f : frames) {
        FrameTime = f.FrameTime;
        Render.Fade = 200.0f;
        player->Draw(nullptr, nullptr);
        EXPECT_NEAR(Render.Fade, f.Fade, 1e-3f);
        EXPECT_EQ(player->FadeOutActive, f.Out);
        EXPECT_EQ(player->FadeInActive, f.In);
    }
    // A car that is not followed leaves the screen alone.
    player->FadeOutActive = true;
    Level->FollowedCar = nullptr;
    Render.Fade = 200.0f;
    player->Draw(nullptr, nullptr);
    EXPECT_EQ(Render.Fade, 200.0f);
    EXPECT_TRUE(player->FadeOutActive);
}

}  // namespace
