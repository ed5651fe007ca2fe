// The level's queries: ray picks against a brute-force scan of random scenes, the band around
// the player that lets the loose objects take part, the cars' ray, the sphere query, the
// wrong-way test and the flame thrower's hit test.
#include "core/ConfigVars.h"
#include "game/CPLevel.h"
#include "game/CPLevelBranch.h"
#include "game/CPPlayer.h"
#include "scene/CPGameObject.h"
#include "scene/CPPickInfo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// A node with a collision box of half size `half` at position.
CPGameObject* MakeBox(CPGameObject* node, const D3DXVECTOR3& position, float half) {
    node->CollisionBoxes.emplace_back(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(half, half, half));
    node->SetBounds(CPBox(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(half, half, half)));
    node->SetPosition(position);
    node->UpdateTransform();
    return node;
}

CPPickInfo Ray(const D3DXVECTOR3& origin, const D3DXVECTOR3& direction, float length) {
    CPPickInfo pick;
    pick.Origin = origin;
    D3DXVec3Normalize(&pick.Direction, &direction);
    pick.Distance = length;
    return pick;
}

class LevelQueriesTest : public testing::Test {
protected:
    void SetUp() override {
        Cfg::ResetDefaults();
        Level = std::make_unique<CPLevel>();
        Player = MakeBox(new CPPlayer(), D3DXVECTOR3(0, 0, 0), 1.0f);
        ownedCars.emplace_back(static_cast<CPPlayer*>(Player));
        Level->Player = static_cast<CPPlayer*>(Player);
        Level->FollowedCar = static_cast<CPPlayer*>(Player);
    }
    void TearDown() override {
        // The cars are the test's.
        Level->Player = nullptr;
        Level->FollowedCar = nullptr;
        Level->Cars.clear();
        Level.reset();
        Cfg::ResetDefaults();
    }

    // A loose object of the level (the level deletes it).
    CPGameObject* AddLoose(const D3DXVECTOR3& position, float half) {
        CPGameObject* node = MakeBox(new CPGameObject("loose"), position, half);
        Level->Objects.emplace_back(node);
        return node;
    }
    // Scenery in the level's tree (the test deletes it).
    void BuildTree(const std::vector<D3DXVECTOR3>& positions, float half) {
        std::vector<CPtr<CPGameObject>> objects;
        for (const D3DXVECTOR3& p : positions) {
            scenery.push_back(std::make_unique<CPGameObject>("scenery"));
            objects.emplace_back(MakeBox(scenery.back().get(), p, half));
        }
        auto* root = new CPLevelBranch();
        root->Build(objects);
        root->Split();
        Level->BranchRoot = root;
    }
    CPPlayer* AddCar(const D3DXVECTOR3& position) {
        ownedCars.emplace_back(new CPPlayer());
        CPPlayer* car = ownedCars.back().get();
        MakeBox(car, position, 1.0f);
        Level->Cars.emplace_back(car);
        return car;
    }

    std::unique_ptr<CPLevel> Level;
    CPGameObject* Player = nullptr;
    std::vector<std::unique_ptr<CPPlayer>> ownedCars;
    std::vector<std::unique_ptr<CPGameObject>> scenery;
};

TEST_F(LevelQueriesTest, RayPicksMatchABruteForceScan) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(-60.0f, 60.0f);
    std::vector<D3DXVECTOR3> positions;
    for (int i = 0; i < 150; ++i) positions.emplace_back(coordinate(random), coordinate(random), coordinate(random) * 0.1f);
    BuildTree(positions, 1.5f);
    std::vector<CPGameObject*> loose;
    for (int i = 0; i < 40; ++i) {
        loose.push_back(AddLoose(D3DXVECTOR3(coordinate(random), coordinate(random), 0.0f), 1.0f));
    }

    int hits = 0;
    int nearPlayer = 0;
    for (int r = 0; r < 400; ++r) {
        // From above the scenery, slanting down through it.
        const D3DXVECTOR3 origin(coordinate(random), coordinate(random), 8.0f);
        const D3DXVECTOR3 direction(coordinate(random), coordinate(random), -std::fabs(coordinate(random)) * 0.1f);
        const float length = 20.0f + std::fabs(coordinate(random));
        for (const bool withCar : {false, true}) {
            CPPickInfo pick = Ray(origin, direction, length);
            const bool hit = withCar ? Level->CrossInterfaceRay(pick) : Level->CrossPlayerRay(pick);

            // Brute force: every scenery object, and the player's car and loose objects when the
            // ray's middle lies within the band around the player.
            CPPickInfo brute = Ray(origin, direction, length);
            bool bruteHit = false;
            for (const auto& object : scenery) bruteHit = object->RayPick(brute) || bruteHit;
            const float h = length * 0.5f;
            const D3DXVECTOR3 d = Player->GetPosition() - (brute.Origin + brute.Direction * h);
            const D3DXVECTOR3& u = brute.Direction;
            const bool near = std::fabs(d.x) <= std::fabs(u.x) * h + 10.0f &&
                              std::fabs(d.y) <= std::fabs(u.y) * h + 10.0f &&
                              std::fabs(d.x * u.y - d.y * u.x) <= (std::fabs(u.x) + std::fabs(u.y)) * 10.0f;
            if (near) {
                ++nearPlayer;
                if (withCar) bruteHit = Player->RayPick(brute) || bruteHit;
                for (CPGameObject* object : loose) bruteHit = object->RayPick(brute) || bruteHit;
            }
            ASSERT_EQ(hit, bruteHit) << r;
            if (hit) {
                ++hits;
                EXPECT_FLOAT_EQ(pick.Distance, brute.Distance) << r;
                EXPECT_EQ(pick.Object.Get(), brute.Object.Get()) << r;
            }
            // HitPoint ends at the nearest hit, or at the ray's end.
            const D3DXVECTOR3 end = origin + pick.Direction * pick.Distance;
            EXPECT_NEAR(pick.HitPoint.x, end.x, 1e-3f);
            EXPECT_NEAR(pick.HitPoint.y, end.y, 1e-3f);
        }
    }
    EXPECT_GT(hits, 50);
    EXPECT_GT(nearPlayer, 10);
}

TEST_F(LevelQueriesTest, LooseObjectsCountOnlyForRaysNearThePlayer) {
    CPGameObject* loose = AddLoose(D3DXVECTOR3(20.0f, 0.0f, 0.0f), 1.0f);
    struct Case {
        float beside;
        int quadlevels;
        bool hit;
    };
    const Case cases[] = {{9.0f, 0, true}, {12.0f, 0, false}, {12.0f, 1, false}, {9.0f, 1, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.beside) + " beside, quadlevels " + std::to_string(c.quadlevels));
        Cfg::quadlevels = c.quadlevels;
        // The player stands beside the ray along x through the loose object.
        Player->SetPosition(D3DXVECTOR3(20.0f, c.beside, 0.0f));
        CPPickInfo pick = Ray(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 0, 0), 40.0f);
        EXPECT_EQ(Level->CrossPlayerRay(pick), c.hit);
        EXPECT_EQ(pick.Object.Get(), c.hit ? loose : nullptr);
        if (c.hit) {
            EXPECT_FLOAT_EQ(pick.Distance, 19.0f);
            EXPECT_FLOAT_EQ(pick.HitPoint.x, 19.0f);
        } else {
            EXPECT_FLOAT_EQ(pick.HitPoint.x, 40.0f);
        }
    }
}

TEST_F(LevelQueriesTest, TheInterfaceRayAlsoHitsThePlayersCarButNotTheExcludedOne) {
    Player->SetPosition(D3DXVECTOR3(10.0f, 0.0f, 0.0f));
    Player->UpdateTransform();
    CPPickInfo pick = Ray(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 0, 0), 40.0f);
    EXPECT_FALSE(Level->CrossPlayerRay(pick));
    pick = Ray(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 0, 0), 40.0f);
    EXPECT_TRUE(Level->CrossInterfaceRay(pick));
    EXPECT_EQ(pick.Object.Get(), Player);
    pick = Ray(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 0, 0), 40.0f);
    pick.Exclude = Player;
    EXPECT_FALSE(Level->CrossInterfaceRay(pick));
}

TEST_F(LevelQueriesTest, TheCarsRayStopsAtTheFirstCarInListOrder) {
    CPPlayer* far = AddCar(D3DXVECTOR3(30.0f, 50.0f, 0.0f));
    CPPlayer* near = AddCar(D3DXVECTOR3(10.0f, 50.0f, 0.0f));
    CPPickInfo pick = Ray(D3DXVECTOR3(0, 50, 0), D3DXVECTOR3(1, 0, 0), 100.0f);
    EXPECT_TRUE(Level->CrossObjectRay(pick));
    EXPECT_EQ(pick.Object.Get(), far);
    EXPECT_FLOAT_EQ(pick.Distance, 29.0f);
    (void)near;

    // No car hit: the followed car answers.
    Player->SetPosition(D3DXVECTOR3(0.0f, -50.0f, 0.0f));
    Player->UpdateTransform();
    pick = Ray(D3DXVECTOR3(-10, -50, 0), D3DXVECTOR3(1, 0, 0), 100.0f);
    EXPECT_TRUE(Level->CrossObjectRay(pick));
    EXPECT_EQ(pick.Object.Get(), Player);
    pick = Ray(D3DXVECTOR3(-10, -80, 0), D3DXVECTOR3(1, 0, 0), 100.0f);
    EXPECT_FALSE(Level->CrossObjectRay(pick));
}

TEST_F(LevelQueriesTest, WrongWayMeansMoreThanAQuarterTurnFromThePath) {
    struct Case {
        float path;
        bool reversed;
        float heading;
        bool backwards;
    };
    const float turn = static_cast<float>(D3DX_PI);
    const Case cases[] = {
        {0.0f, false, 1.57f, false},
        {0.0f, false, 1.58f, true},
        {0.0f, false, 4.713f, false},
        {0.0f, false, 4.70f, true},
        {0.0f, false, -0.5f, false},  // wraps to 5.783
        {1.0f, false, -2.0f, true},   // d = -3 wraps to 3.283
        {6.2f, true, 6.2f + turn - 6.2831855f, false},
        {6.2f, true, 6.2f, true},
        {0.5f, false, 0.5f + 12.566f, false},  // several turns away
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.path) + " " + std::to_string(c.heading));
        Level->PathHeading = c.path;
        Level->Reversed = c.reversed;
        Level->FollowedHeading = c.heading;
        EXPECT_EQ(Level->IsPlayerMovingBackwards(), c.backwards);
    }
    // No number, or so many turns that subtracting one changes nothing: an answer, not a hang.
    Level->PathHeading = 0.0f;
    Level->Reversed = false;
    for (const float odd : {std::nanf(""), INFINITY, -INFINITY}) {
        Level->FollowedHeading = odd;
        EXPECT_FALSE(Level->IsPlayerMovingBackwards());
    }
    Level->FollowedHeading = 1e30f;
    Level->IsPlayerMovingBackwards();
    Level->FollowedHeading = 0.0f;
    Level->PathHeading = -1e30f;
    Level->IsPlayerMovingBackwards();
}

TEST_F(LevelQueriesTest, TheSphereFindsTheTreeThePlayerAndNearLooseObjects) {
    BuildTree({D3DXVECTOR3(5, 0, 0), D3DXVECTOR3(50, 0, 0)}, 1.0f);
    CPGameObject* touching = AddLoose(D3DXVECTOR3(-4.5f, 0, 0), 1.0f);
    AddLoose(D3DXVECTOR3(0, 20, 0), 1.0f);
    std::list<CPtr<CPGameObject>> found;
    Level->CollectObjectsInSphere(D3DXVECTOR3(0, 0, 0), 4.0f, found);
    std::vector<CPGameObject*> got;
    for (const auto& object : found) got.push_back(object.Get());
    EXPECT_EQ(got, (std::vector<CPGameObject*>{scenery[0].get(), Player, touching}));

    // Far from the player the loose objects are not tested.
    found.clear();
    Level->CollectObjectsInSphere(D3DXVECTOR3(0, 20, 0), 2.0f, found);
    EXPECT_TRUE(found.empty());
}

TEST_F(LevelQueriesTest, FlameParticlesCollectWhatTheyTouchOnce) {
    CPPlayer* shooter = static_cast<CPPlayer*>(Player);
    CPGameObject* barrel = AddLoose(D3DXVECTOR3(6.0f, 0, 0), 1.0f);
    CPGameObject* crate = AddLoose(D3DXVECTOR3(0, 6.0f, 0), 1.0f);

    // Only the shooter in the sphere and a ray that hits nothing: nothing changes.
    FlameParticle lone;
    lone.Position = D3DXVECTOR3(0, -1.5f, 0);
    lone.PreviousPosition = D3DXVECTOR3(0, -3.0f, 0);
    lone.Radius = 1.0f;
    FlameHitTest(shooter, &lone);
    EXPECT_TRUE(shooter->FlameObjects.empty());
    EXPECT_EQ(lone.Hit, 0.0f);

    // Two particles in the barrel's sphere: it stands once.
    for (int i = 0; i < 2; ++i) {
        FlameParticle particle;
        particle.Position = D3DXVECTOR3(4.5f, 0, 0);
        particle.PreviousPosition = D3DXVECTOR3(4.0f, 0, 0);
        particle.Radius = 1.0f;
        FlameHitTest(shooter, &particle);
        EXPECT_EQ(particle.Hit, FlameHit);
    }
    const auto touched = [shooter] {
        std::vector<CPGameObject*> objects;
        for (const CPtr<CPGameObject>& object : shooter->FlameObjects) {
            objects.push_back(object.Get());
        }
        return objects;
    };
    EXPECT_EQ(touched(), std::vector<CPGameObject*>{barrel});

    // A particle that flew through the crate since its last update: the ray finds it.
    FlameParticle fast;
    fast.PreviousPosition = D3DXVECTOR3(0, 2.5f, 0);
    fast.Position = D3DXVECTOR3(0, 9.5f, 0);
    fast.Radius = 0.1f;
    FlameHitTest(shooter, &fast);
    EXPECT_EQ(fast.Hit, FlameHit);
    // Listed after the barrel, which was touched first.
    EXPECT_EQ(touched(), (std::vector<CPGameObject*>{barrel, crate}));

    // Not a car, or no level: nothing.
    FlameParticle other = fast;
    other.Hit = 0.0f;
    FlameHitTest(barrel, &other);
    EXPECT_EQ(other.Hit, 0.0f);
    shooter->FlameObjects.clear();
}

TEST_F(LevelQueriesTest, LerpVectorAndStopTraffic) {
    const D3DXVECTOR3 a(1, 2, 3);
    const D3DXVECTOR3 b(3, 6, -1);
    D3DXVECTOR3 out;
    EXPECT_EQ(LerpVector(&out, &a, &b, 0.25f), &out);
    EXPECT_EQ(out, D3DXVECTOR3(1.5f, 3.0f, 2.0f));
    Level->StopTraffic();
    EXPECT_FALSE(Level->TrafficActive);
}

}  // namespace
