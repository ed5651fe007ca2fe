// The bonus pickup: every kind once for the player's car and once for a computer car, with the
// commands it sends, whether its entry leaves the list and what it does to the car; then the
// exclusions (traffic cars, the sides an ability object works against), the contact boxes, the
// sphere's and the halo's rate limits and the cut of a halo push, and a walk that erases.
#include "CarLogicFixture.h"

#include "core/FrameTime.h"
#include "game/CPCar.h"
#include "physics/RbRigidBody.h"
#include "scene/CPPhysicData.h"
#include "scene/CPSceneLoader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

using Commands = std::vector<std::string>;

constexpr uint32_t PlayerSolmar = 9;
constexpr uint32_t PlayerDrevik = 10;
constexpr uint32_t Solmar = 1;
constexpr uint32_t Drevik = 2;
constexpr uint32_t Traffic = 4;

const D3DXVECTOR3 CarAt(0.0f, 0.0f, 1.0f);

class PlayerBonusTest : public CarLogicFixture::CarLogicTest {
protected:
    void TearDown() override {
        Game.Bonuses.clear();
        for (CPGameObject* object : Objects) {
            CPSceneLoader::DeleteObject(object);
        }
        CarLogicTest::TearDown();
    }

    // A listed bonus object named name, with a child of that name when child is not null, its
    // world box of half extents half around centre.
    CPGameObject* AddBonus(const char* name, const char* child, const D3DXVECTOR3& centre,
                           const D3DXVECTOR3& half = D3DXVECTOR3(0.5f, 0.5f, 0.5f)) {
        auto* object = new CPGameObject(name);
        Objects.push_back(object);
        object->Position = centre;
        object->Bounds = CPBoundingBox::Around(centre, half);
        if (child != nullptr) {
            CPtr<CPGameObject> node(new CPGameObject(child));
            node->Bounds = CPBoundingBox::Around(centre, half);
            object->AddChild(node);
        }
        Game.AddBonus(CPtr<CPGameObject>(object), 0);
        return object;
    }
    static RbRigidBody& Rigid(CPPlayer& player) { return *player.Physics->RigidBody; }
    static D3DXVECTOR3 Velocity(CPPlayer& player) {
        const RbVector& v = Rigid(player).GetVelocity();
        return D3DXVECTOR3(v.x, v.y, v.z);
    }

    std::vector<CPGameObject*> Objects;
};

struct BonusCase {
    const char* Name;
    const char* ObjectName;
    const char* Child;
    uint32_t Sides;
    std::function<void(CPPlayer&)> Setup;
    Commands Expected;
    bool Removed;
    std::function<void(CPPlayer&, const CPCar&)> Check;
};

TEST_F(PlayerBonusTest, EachKindActsOnThePlayersCarAndAComputerCar) {
    const auto none = [](CPPlayer&) {};
    const std::vector<BonusCase> cases = {
        {"repair from 12 leaves 0", "bonus_remont", nullptr, PlayerSolmar,
         [](CPPlayer& p) { p.DamageLevel = 12.0f; },
         {"game_interface:show_message(remont!)", "main:update_bonus_list(repair)"}, true,
         [](CPPlayer& p, const CPCar&) { EXPECT_EQ(p.DamageLevel, 0.0f); }},
        {"repair of a computer car", "bonus_remont", nullptr, Drevik,
         [](CPPlayer& p) { p.DamageLevel = 50.0f; }, {"main:update_bonus_list(repair)"}, true,
         [](CPPlayer& p, const CPCar&) { EXPECT_FLOAT_EQ(p.DamageLevel, 30.0f); }},
        {"stop", "bonus", "glow3", PlayerDrevik, [](CPPlayer& p) { p.SetControls(1.0f, 0.2f); },
         {"game_interface:show_message(uskorenie!)", "main:update_bonus_list(axel)"}, true,
         [](CPPlayer& p, const CPCar&) {
             EXPECT_TRUE(p.ThrottleCut);
             EXPECT_EQ(p.Throttle, 0.0f);
             EXPECT_FLOAT_EQ(p.Steering, 0.2f);
             EXPECT_TRUE(p.TimedLock);
             EXPECT_FLOAT_EQ(p.TimedLockTime, 2.0f);
         }},
        {"stop of a computer car", "bonus", "glow3", Solmar, none, {"main:update_bonus_list(axel)"}, true,
         [](CPPlayer& p, const CPCar&) {
             EXPECT_TRUE(p.ThrottleCut);
             EXPECT_TRUE(p.TimedLock);
         }},
        {"slow-down with the flares shown leaves them shown", "bonus", "glow2", PlayerSolmar, none,
         {"game_interface:show_message(zamedlenie!)", "main:update_bonus_list(brake)"}, true,
         [](CPPlayer& p, const CPCar& car) {
             EXPECT_TRUE(p.Slowed);
             EXPECT_EQ(p.SlowedTime, 0.0f);
             EXPECT_TRUE(car.Braking);
             EXPECT_TRUE(p.FindChild("rflarerear")->Visible);
         }},
        {"slow-down of a computer car with the left flare hidden hides both", "bonus", "glow2", Drevik,
         [](CPPlayer& p) { p.FindChild("lflarerear")->Visible = false; },
         {"main:update_bonus_list(brake)"}, true,
         [](CPPlayer& p, const CPCar& car) {
             EXPECT_TRUE(p.Slowed);
             EXPECT_TRUE(car.Braking);
             EXPECT_FALSE(p.FindChild("rflarerear")->Visible);
         }},
        {"ability down", "bonus", "glow6", PlayerSolmar, [](CPPlayer& p) { p.AbilityCount = 2; },
         {"game_interface:redraw_abilities()", "game_interface:show_message(sposobnost-1!)",
          "main:update_bonus_list(minus)"},
         true, [](CPPlayer& p, const CPCar&) { EXPECT_EQ(p.AbilityCount, 1); }},
        {"ability down of a computer car at 0 stays at 0", "bonus", "glow6", Drevik, none,
         {"main:update_bonus_list(minus)"}, true, [](CPPlayer& p, const CPCar&) { EXPECT_EQ(p.AbilityCount, 0); }},
        {"ability up at the maximum changes nothing but is picked up", "bonus", "glow4", PlayerSolmar,
         [](CPPlayer& p) { p.AbilityCount = 3; },
         {"game_interface:show_message(sposobnost+1!)", "main:update_bonus_list(plus)"}, true,
         [](CPPlayer& p, const CPCar&) { EXPECT_EQ(p.AbilityCount, 3); }},
        {"ability up of a computer car", "bonus", "glow4", Solmar,
         [](CPPlayer& p) { p.AbilityCount = 1; },
         {"game_interface:redraw_abilities()", "main:update_bonus_list(plus)"}, true,
         [](CPPlayer& p, const CPCar&) { EXPECT_EQ(p.AbilityCount, 2); }},
        {"gloom portal of the followed car: the screen effect, traffic off", "portal", "portal_a", PlayerSolmar,
         [this](CPPlayer& p) {
             Level->FollowedCar = &p;
             Level->Player = &p;
         },
         {"game_interface:show_message(uron_x2!)", "main:update_bonus_list(gloom)"}, true,
         [this](CPPlayer& p, const CPCar&) {
             EXPECT_TRUE(p.InGloom);
             EXPECT_EQ(p.GloomTime, 0.0f);
             EXPECT_TRUE(p.GloomVisual);
             EXPECT_TRUE(p.Visible);
             EXPECT_EQ(Render.MotionBlur, 1);
             EXPECT_FLOAT_EQ(Render.MotionBlurAmount, 0.3f);
             EXPECT_EQ(Render.BlurAlpha, 150);
             EXPECT_FALSE(Level->TrafficActive);
         }},
        {"gloom portal of a computer car hides it", "portal", "portal_a", Drevik, none,
         {"main:update_bonus_list(gloom)"}, true,
         [this](CPPlayer& p, const CPCar&) {
             EXPECT_TRUE(p.InGloom);
             EXPECT_FALSE(p.GloomVisual);
             EXPECT_FALSE(p.Visible);
             EXPECT_TRUE(Level->TrafficActive);
             EXPECT_EQ(Render.MotionBlur, 0);
         }},
        {"sphere pushes a Drevik car away by its speed and lifts it", "ball", "sphera", Drevik,
         [](CPPlayer& p) {
             p.GetCar()->Velocity = RbVec(10.0f, 0.0f, 0.0f);
             // The sphere stands 1 m behind the car on x.
             p.Position.x = 1.0f;
         },
         {}, false,
         [](CPPlayer& p, const CPCar&) {
             // s = min(10 · 2.4 · 40 · 0.1, 300) = 96 along (1, 0), and 2 · 40 up.
             const D3DXVECTOR3 v = Velocity(p);
             EXPECT_NEAR(v.x, 96.0f / 40.0f, 1e-4f);
             EXPECT_NEAR(v.y, 0.0f, 1e-4f);
             EXPECT_NEAR(v.z, 2.0f, 1e-4f);
             EXPECT_EQ(p.SphereHits, 1);
             EXPECT_FLOAT_EQ(p.TimeBonusTimer, 4.0f);
         }},
        {"sphere does not push the Solmar player's car", "ball", "sphera", PlayerSolmar, none, {}, false,
         [](CPPlayer& p, const CPCar&) {
             EXPECT_EQ(Velocity(p), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
             EXPECT_EQ(p.SphereHits, 0);
         }},
        {"whirl lifts and spins the Solmar player's car", "empty", "v_bii", PlayerSolmar, none, {}, false,
         [](CPPlayer& p, const CPCar&) {
             EXPECT_NEAR(Velocity(p).z, 1.5f, 1e-4f);
             const RbVector& l = Rigid(p).Motion.AngularMomentum;
             EXPECT_NEAR(l.x, 0.0f, 1e-3f);
             EXPECT_NEAR(l.y, 0.0f, 1e-3f);
             EXPECT_FLOAT_EQ(l.z, 1200.0f);
             EXPECT_FLOAT_EQ(p.TimeBonusTimer, 4.0f);
         }},
        {"whirl leaves a Drevik car alone", "empty", "v_bii", Drevik, none, {}, false,
         [](CPPlayer& p, const CPCar&) { EXPECT_EQ(Velocity(p), D3DXVECTOR3(0.0f, 0.0f, 0.0f)); }},
        {"light holds a Drevik car for a new 4 s", "light", nullptr, Drevik,
         [](CPPlayer& p) {
             p.SetControls(1.0f, 0.0f);
             p.TimedLockTime = 3.0f;
         },
         {}, false,
         [](CPPlayer& p, const CPCar& car) {
             EXPECT_TRUE(p.Locked);
             EXPECT_TRUE(car.Locked);
             EXPECT_EQ(car.DriveForce, 0.0f);
             EXPECT_TRUE(p.TimedLock);
             EXPECT_EQ(p.TimedLockTime, 0.0f);
         }},
        {"light leaves the Solmar player's car alone", "light", nullptr, PlayerSolmar, none, {}, false,
         [](CPPlayer& p, const CPCar& car) {
             EXPECT_FALSE(p.Locked);
             EXPECT_FALSE(car.Locked);
         }},
        {"halo pushes a Solmar car away, cut to 400", "halo", nullptr, Solmar,
         [this](CPPlayer& p) {
             // The halo 5 m ahead on y: (0, -500, 0) is cut to length 400.
             Objects.back()->Position = p.Position + D3DXVECTOR3(0.0f, 5.0f, 0.0f);
             Objects.back()->Bounds = CPBoundingBox::Around(Objects.back()->Position, D3DXVECTOR3(15.0f, 15.0f, 1.0f));
         },
         {}, false,
         [this](CPPlayer& p, const CPCar&) {
             const D3DXVECTOR3 v = Velocity(p);
             EXPECT_NEAR(v.x, 0.0f, 1e-4f);
             EXPECT_NEAR(v.y, -400.0f / 40.0f, 1e-4f);
             EXPECT_FLOAT_EQ(p.TimeBonusTimer, 4.0f);
             ASSERT_EQ(Recorded("wall").Requests.size(), 1u);
             const CPParticleDesc& wall = Recorded("wall").Requests[0];
             const D3DXVECTOR3 at = p.Position + D3DXVECTOR3(0.0f, 1.0f, 0.0f);
             EXPECT_NEAR(wall.Position.y, at.y, 1e-5f);
             // (0, -1, 0) turned by acos(-1) + π/2.
             EXPECT_NEAR(wall.Velocity.x, -1.0f, 1e-5f);
             EXPECT_NEAR(wall.Velocity.y, 0.0f, 1e-5f);
             EXPECT_FLOAT_EQ(wall.Param1, 4.0f);
             EXPECT_GE(wall.Param2, 0.4f);
             EXPECT_LE(wall.Param2, 2.2f);
             EXPECT_EQ(wall.Flag1, 1);
         }},
        {"halo leaves the Drevik player's car alone", "halo", nullptr, PlayerDrevik, none, {}, false,
         [this](CPPlayer& p, const CPCar&) {
             EXPECT_EQ(Velocity(p), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
             EXPECT_TRUE(Recorded("wall").Requests.empty());
         }},
    };
    for (const BonusCase& c : cases) {
        SCOPED_TRACE(c.Name);
        for (CarLogicFixture::ParticleRecorder& recorder : Recorders) {
            recorder.Requests.clear();
        }
        Render.MotionBlur = 0;
        Level->TrafficActive = true;
        Level->FollowedCar = nullptr;
        FullTime += 10.0;
        CPPlayer* player = MakePlayer(CarAt, c.Sides);
        AddBonus(c.ObjectName, c.Child, CarAt);
        c.Setup(*player);
        player->Bounds = CPBoundingBox::Around(player->Position, D3DXVECTOR3(0.9f, 2.0f, 0.4f));
        player->PickUpBonus();
        EXPECT_EQ(Sent(), c.Expected);
        EXPECT_EQ(Game.Bonuses.size(), c.Removed ? 0u : 1u);
        c.Check(*player, *player->GetCar());
        Game.Bonuses.clear();
    }
}

// The six picked-up kinds pass a traffic car by and stay listed; a traffic car is pushed by a
// sphere. A car without the rear flares is not slowed.
TEST_F(PlayerBonusTest, TrafficAndUnslowableCarsLeaveBonusesListed) {
    CPPlayer* traffic = MakePlayer(CarAt, Traffic);
    const std::vector<std::pair<const char*, const char*>> kept = {
        {"bonus_remont", nullptr}, {"bonus", "glow3"}, {"bonus", "glow2"},
        {"bonus", "glow6"},        {"bonus", "glow4"}, {"portal", "portal_a"},
    };
    for (const auto& [name, child] : kept) {
        AddBonus(name, child, CarAt);
    }
    traffic->DamageLevel = 50.0f;
    traffic->PickUpBonus();
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Game.Bonuses.size(), kept.size());
    EXPECT_EQ(traffic->DamageLevel, 50.0f);
    EXPECT_FALSE(traffic->InGloom);
    EXPECT_FALSE(traffic->Slowed);

    Game.Bonuses.clear();
    AddBonus("ball", "sphera", CarAt);
    traffic->PickUpBonus();
    EXPECT_EQ(traffic->SphereHits, 1);

    Game.Bonuses.clear();
    CPPlayer* bare = MakePlayer(CarAt, Drevik, false);
    AddBonus("bonus", "glow2", CarAt);
    bare->PickUpBonus();
    EXPECT_FALSE(bare->Slowed);
    EXPECT_EQ(Game.Bonuses.size(), 1u);
    EXPECT_TRUE(Sent().empty());
}

// A sphere or a whirl reaches a car without physics too: there is nothing to push, but the
// time bonus starts and the sphere counts its hit.
TEST_F(PlayerBonusTest, ASphereAndAWhirlCountForACarWithoutPhysics) {
    struct Case {
        const char* ObjectName;
        const char* Child;
        uint32_t Sides;
        int32_t SphereHits;
    };
    for (const Case& c : {Case{"ball", "sphera", Drevik, 1}, Case{"empty", "v_bii", PlayerSolmar, 0}}) {
        SCOPED_TRACE(c.ObjectName);
        Game.Bonuses.clear();
        CPPlayer& bare = *Others.emplace_back(std::make_unique<CPPlayer>());
        bare.SetSideFlags(c.Sides);
        bare.SetPosition(CarAt);
        bare.SetBounds(CPBox(D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.9f, 2.0f, 0.4f)));
        bare.UpdateTransform();
        ASSERT_EQ(bare.Physics, nullptr);
        AddBonus(c.ObjectName, c.Child, CarAt + D3DXVECTOR3(1.0f, 0.0f, 0.0f));
        bare.PickUpBonus();
        EXPECT_FLOAT_EQ(bare.TimeBonusTimer, 4.0f);
        EXPECT_EQ(bare.SphereHits, c.SphereHits);
        EXPECT_EQ(Game.Bonuses.size(), 1u);
        EXPECT_TRUE(Sent().empty());
    }
}

// A sphere object that is also a halo: the Solmar car the sphere excludes is not tried as the
// halo's either.
TEST_F(PlayerBonusTest, AnExcludedSphereEndsTheTestsOfItsObject) {
    CPPlayer* player = MakePlayer(CarAt, Solmar);
    AddBonus("halo", "sphera", CarAt + D3DXVECTOR3(0.0f, 1.0f, 0.0f), D3DXVECTOR3(3.0f, 3.0f, 1.0f));
    player->PickUpBonus();
    EXPECT_EQ(Velocity(*player), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    EXPECT_TRUE(Recorded("wall").Requests.empty());
}

// Contact needs the centres within the summed half extents over 3.3 on every axis.
TEST_F(PlayerBonusTest, ContactNeedsTheBoxesCloseOnEveryAxis) {
    CPPlayer* player = MakePlayer(CarAt, Drevik);
    player->Bounds = CPBoundingBox::Around(CarAt, D3DXVECTOR3(1.0f, 2.0f, 0.5f));
    // Half extents 0.65 with the car's: x reaches (1 + 0.65) / 3.3 = 0.5.
    struct ContactCase {
        D3DXVECTOR3 Offset;
        bool Touches;
    };
    const std::vector<ContactCase> cases = {
        {{0.49f, 0.0f, 0.0f}, true}, {{0.51f, 0.0f, 0.0f}, false}, {{0.0f, 0.8f, 0.0f}, true},
        {{0.0f, 0.85f, 0.0f}, false}, {{0.0f, 0.0f, 0.34f}, true}, {{0.0f, 0.0f, 0.36f}, false},
    };
    for (const ContactCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Offset.x << " " << c.Offset.y << " " << c.Offset.z);
        player->DamageLevel = 50.0f;
        AddBonus("bonus_remont", nullptr, CarAt + c.Offset, D3DXVECTOR3(0.65f, 0.65f, 0.65f));
        player->PickUpBonus();
        EXPECT_EQ(player->DamageLevel, c.Touches ? 30.0f : 50.0f);
        Game.Bonuses.clear();
        Sent();
    }
    // The "empty" object's box is its child "v_bii" (k 0.8); without that child it is passed by.
    CPPlayer* solmar = MakePlayer(CarAt, Solmar);
    solmar->Bounds = CPBoundingBox::Around(CarAt, D3DXVECTOR3(1.0f, 2.0f, 0.5f));
    CPGameObject* whirl = AddBonus("empty", "v_bii", CarAt + D3DXVECTOR3(0.0f, 30.0f, 0.0f));
    whirl->FindChild("v_bii")->Bounds = CPBoundingBox::Around(CarAt + D3DXVECTOR3(1.4f, 0.0f, 0.0f), D3DXVECTOR3(0.2f, 0.2f, 0.2f));
    AddBonus("empty", nullptr, CarAt);
    solmar->PickUpBonus();
    EXPECT_NEAR(Velocity(*solmar).z, 1.5f, 1e-4f);
    EXPECT_EQ(Game.Bonuses.size(), 2u);
}

// Eleven sphere contacts within a second push ten times; a second after the last push the
// count starts again.
TEST_F(PlayerBonusTest, ASpherePushesTenTimesInARow) {
    CPPlayer* player = MakePlayer(CarAt, Drevik);
    AddBonus("ball", "sphera", CarAt + D3DXVECTOR3(-1.0f, 0.0f, 0.0f));
    FullTime = 100.0;
    for (int i = 0; i < 11; ++i) {
        player->PickUpBonus();
        FullTime += 0.05;
    }
    EXPECT_EQ(player->SphereHits, 10);
    EXPECT_NEAR(Velocity(*player).z, 10 * 2.0f, 1e-3f);
    FullTime = player->LastSphereHit + 1.0;
    player->PickUpBonus();
    EXPECT_EQ(player->SphereHits, 1);
    EXPECT_NEAR(Velocity(*player).z, 11 * 2.0f, 1e-3f);
}

// A halo pushes at most once per 0.2 s, and not from exactly where the car is.
TEST_F(PlayerBonusTest, AHaloPushesOncePerFifthOfASecond) {
    CPPlayer* player = MakePlayer(CarAt, Solmar);
    CPGameObject* halo = AddBonus("halo", nullptr, CarAt + D3DXVECTOR3(0.0f, 1.0f, 0.0f), D3DXVECTOR3(3.0f, 3.0f, 1.0f));
    FullTime = 50.0;
    const double times[] = {50.0, 50.1, 50.2, 50.3, 50.45};
    for (double t : times) {
        FullTime = t;
        player->PickUpBonus();
    }
    EXPECT_EQ(Recorded("wall").Requests.size(), 3u);  // 50.0, 50.2, 50.45
    EXPECT_EQ(player->LastHaloHit, 50.45);

    halo->Position = player->Position;
    FullTime = 60.0;
    const D3DXVECTOR3 before = Velocity(*player);
    player->PickUpBonus();
    EXPECT_EQ(Recorded("wall").Requests.size(), 3u);
    EXPECT_EQ(Velocity(*player), before);
}

// Nothing before the race starts; empty entries are passed; several pickups in one walk each
// leave the list.
TEST_F(PlayerBonusTest, TheWalkSurvivesErasingAndEmptyEntries) {
    CPPlayer* player = MakePlayer(CarAt, PlayerSolmar);
    player->DamageLevel = 60.0f;
    Game.Bonuses.push_back({CPtr<CPGameObject>(), 0});
    AddBonus("bonus_remont", nullptr, CarAt);
    AddBonus("bonus_remont", nullptr, CarAt);
    AddBonus("light", nullptr, CarAt + D3DXVECTOR3(50.0f, 0.0f, 0.0f));
    Level->RaceStarted = false;
    player->PickUpBonus();
    EXPECT_EQ(Game.Bonuses.size(), 4u);
    EXPECT_EQ(player->DamageLevel, 60.0f);

    Level->RaceStarted = true;
    player->PickUpBonus();
    EXPECT_FLOAT_EQ(player->DamageLevel, 20.0f);
    ASSERT_EQ(Game.Bonuses.size(), 2u);
    EXPECT_EQ(Game.Bonuses.front().Bonus, nullptr);
    EXPECT_EQ(Game.Bonuses.back().Bonus->Name, "light");
    EXPECT_EQ(Sent(), (Commands{"game_interface:show_message(remont!)", "game_interface:show_message(remont!)",
                                "main:update_bonus_list(repair)", "main:update_bonus_list(repair)"}));
}

}  // namespace

namespace {

// A pickup's special sound starts over from its beginning; a kind without its sound acts all
// the same.
TEST_F(PlayerBonusTest, APickupPlaysItsSoundFromTheStart) {
    SpecialSoundFixture sounds({"chik"}, "player_chik");
    auto& chik = SpecialSoundFixture::Buffer(sounds.Sound("chik"));
    sounds.Sound("chik").Play(0, 0);
    PlatformClock::AdvanceMilliseconds(100);
    ASSERT_GT(chik.PlayCursor(), 0u);
    CPPlayer* player = MakePlayer(CarAt, Drevik);
    player->DamageLevel = 30.0f;
    AddBonus("bonus_remont", nullptr, CarAt);
    AddBonus("bonus", "glow6", CarAt);
    player->PickUpBonus();
    EXPECT_TRUE(chik.IsPlaying());
    EXPECT_EQ(chik.PlayCursor(), 0u);
    EXPECT_EQ(chik.PlayCalls(), 2);
    EXPECT_FLOAT_EQ(player->DamageLevel, 10.0f);
    EXPECT_TRUE(Game.Bonuses.empty());
}

}  // namespace
