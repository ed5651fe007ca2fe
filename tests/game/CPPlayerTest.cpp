// The player object over the vehicle model in the physics world: the driver's inputs reaching
// the car, lock and unlock, nitro and its reserve, brake lights, impulses, collision damage up
// to a wreck, the car's once-per-frame effects (several steps in a frame, frames without a
// step, the nitro glow's cone), the catalogue entries, and a car missing its parts.
#include "CarFixture.h"

#include "Render/CPSprite.h"
#include "Sound/NSound.h"
#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "interface/CPGameData.h"
#include "tests/game/SpecialSoundFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace {

using CarFixture::CarTest;
using CarFixture::Description;
using CarFixture::Dt;

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

// The player's car sounds (nitro, engine, squeal) as special sounds of the test's own; the
// clock stands still, so a started sound keeps playing.
class CarSounds : public SpecialSoundFixture {
public:
    CarSounds() : SpecialSoundFixture({"nitro", "engine", "squeal"}, "player_sounds") {}
    // The car outlives the sounds here: it lets go of them first.
    ~CarSounds() {
        if (fitted != nullptr) {
            fitted->HasSound = false;
            for (CPtr<CNSound>& slot : fitted->Sounds) {
                slot = nullptr;
            }
        }
    }
    // Gives the car its three sounds, as the factory does for the player's car.
    void Fit(CPCar& car) {
        fitted = &car;
        car.HasSound = true;
        car.Sounds[CPCar::NitroSound] = &Sound("nitro");
        car.Sounds[CPCar::EngineSound] = &Sound("engine");
        car.Sounds[CPCar::SqueakSound] = &Sound("squeal");
    }
    DirectSoundStandIn::Buffer& Nitro() { return Buffer(Sound("nitro")); }
    DirectSoundStandIn::Buffer& Engine() { return Buffer(Sound("engine")); }
    DirectSoundStandIn::Buffer& Squeal() { return Buffer(Sound("squeal")); }

private:
    CPCar* fitted = nullptr;
};

class PlayerTest : public CarTest {
protected:
    void SetUp() override {
        CarTest::SetUp();
        CPGameData::Instance = &game;
    }
    void TearDown() override {
        CPGameData::Instance = nullptr;
        CPLevel::Current = nullptr;
        CarTest::TearDown();
    }
    // A player car at position with its vehicle model; lights adds the four light meshes.
    CPPlayer* MakePlayer(const D3DXVECTOR3& position = D3DXVECTOR3(0.0f, 0.0f, 0.6f), bool lights = true,
                         bool withRigidBody = true) {
        CPPlayer* player = SetUpBody(new CPPlayer(), position, 0.0f, 4, withRigidBody, lights);
        MakeCar(player, Description());
        return player;
    }
    // One frame in which the car logic hands the inputs to the car, as it does every step.
    void Drive(CPPlayer* player, float seconds) {
        const int frames = static_cast<int>(std::lround(seconds / Dt));
        for (int i = 0; i < frames; ++i) {
            World->SetCarControls(CPtr<CPGameObject>(player), player->Throttle, player->Steering);
            Frame();
        }
    }
    static float ForwardSpeed(CPCar* car) {
        return RbDot(car->GetRigidBody()->GetVelocity(), Forward(*car->GetRigidBody()));
    }

    CPGameData game;
};

TEST_F(PlayerTest, ControlsReachTheCarModel) {
    CPPlayer* player = MakePlayer();
    CPCar* car = player->GetCar();
    ASSERT_NE(car, nullptr);
    EXPECT_EQ(player->GetCarPtr().Get(), car);
    EXPECT_EQ(player->GetName(), "PLAYER");
    Run(2.0f);

    player->SetControls(1.0f, 0.3f);
    EXPECT_FLOAT_EQ(player->Throttle, 1.0f);
    EXPECT_FLOAT_EQ(player->Steering, 0.3f);
    World->SetCarControls(CPtr<CPGameObject>(player), player->Throttle, player->Steering);
    EXPECT_FLOAT_EQ(car->DriveForce, car->AccelFront);
    EXPECT_FLOAT_EQ(car->SteerInput, 0.3f);

    player->SetControls(1.0f, 0.0f);
    Drive(player, 2.0f);
    const float cruising = ForwardSpeed(car);
    EXPECT_GT(cruising, 3.0f);

    // The brake: the stop lights come on and the rear slides; off again puts them back.
    player->SetBrakeLights(true);
    EXPECT_TRUE(car->Braking);
    EXPECT_FALSE(car->StopLights->Visible);
    EXPECT_TRUE(car->StopLights2->Visible);
    player->SetBrakeLights(false);
    EXPECT_FALSE(car->Braking);
    EXPECT_TRUE(car->StopLights->Visible);

    // Reverse throttle slows the car down.
    player->SetControls(-1.0f, 0.0f);
    Drive(player, 0.5f);
    EXPECT_LT(ForwardSpeed(car), cruising);

    // A cut throttle holds the throttle at 0 but still steers; numbers that are not finite
    // count as 0.
    player->CutThrottle();
    EXPECT_EQ(player->Throttle, 0.0f);
    player->SetControls(1.0f, -0.2f);
    EXPECT_EQ(player->Throttle, 0.0f);
    EXPECT_FLOAT_EQ(player->Steering, -0.2f);
    player->ThrottleCut = false;
    player->SetControls(NaN, NaN);
    EXPECT_EQ(player->Throttle, 0.0f);
    EXPECT_EQ(player->Steering, 0.0f);
}

TEST_F(PlayerTest, LockStopsTheCarAndUnlockLetsItDrive) {
    CPPlayer* player = MakePlayer();
    CPCar* car = player->GetCar();
    Run(2.0f);
    player->SetControls(1.0f, 0.1f);
    Drive(player, 2.0f);
    const float speed = ForwardSpeed(car);
    ASSERT_GT(speed, 3.0f);

    player->SetLocked(true);
    EXPECT_TRUE(player->Locked);
    EXPECT_TRUE(car->Locked);
    EXPECT_EQ(car->DriveForce, 0.0f) << "the throttle is released at once";
    // Inputs, brake lights and nitro are ignored while locked; a cut only sets its flag.
    player->SetControls(-1.0f, -0.5f);
    EXPECT_FLOAT_EQ(player->Throttle, 1.0f);
    EXPECT_FLOAT_EQ(player->Steering, 0.1f);
    player->SetBrakeLights(true);
    EXPECT_FALSE(car->Braking);
    player->SetNitro(1.0f);
    EXPECT_EQ(car->Nitro, 0.0f);
    player->CutThrottle();
    EXPECT_TRUE(player->ThrottleCut);
    EXPECT_FLOAT_EQ(player->Throttle, 1.0f);

    // The car logic keeps handing the old throttle on; the locked wheels brake all the same,
    // in proportion to the speed (0.2 per second for this car: e^-0.8 after 4 s).
    Drive(player, 4.0f);
    EXPECT_LT(ForwardSpeed(car), 0.6f * speed);
    EXPECT_GT(ForwardSpeed(car), 0.0f);

    player->SetLocked(false);
    player->ThrottleCut = false;
    EXPECT_FALSE(car->Locked);
    player->SetControls(1.0f, 0.0f);
    Drive(player, 1.0f);
    EXPECT_GT(ForwardSpeed(car), 1.0f);
}

TEST_F(PlayerTest, NitroKeepsToItsReserveAndStopsItsSound) {
    CarSounds sounds;
    CPPlayer* player = MakePlayer();
    CPCar* car = player->GetCar();
    sounds.Fit(*car);
    const struct {
        const char* name;
        float fuel;
        bool locked;
        float request;
        float expected;
    } cases[] = {
        {"request", 100.0f, false, 1.0f, 1.0f},
        {"more than one", 50.0f, false, 5.0f, 5.0f},
        {"empty reserve", 0.0f, false, 5.0f, 0.0f},
        {"locked", 100.0f, true, 1.0f, 0.0f},
        {"negative", 100.0f, false, -1.0f, 0.0f},
        {"no number", 100.0f, false, NaN, 0.0f},
        {"off", 100.0f, false, 0.0f, 0.0f},
    };
    for (const auto& c : cases) {
        car->NitroFuel = c.fuel;
        player->Locked = c.locked;
        sounds.Sound("nitro").Play(0, 0);
        player->SetNitro(c.request);
        EXPECT_EQ(car->Nitro, c.expected) << c.name;
        EXPECT_EQ(sounds.Nitro().IsPlaying(), c.expected != 0.0f) << c.name;
    }
    player->Locked = false;

    // The volume reaches all three sounds.
    const LONG before = sounds.Engine().Volume();
    player->SetCarSoundVolume(0.25f);
    EXPECT_NE(sounds.Engine().Volume(), before);
    EXPECT_EQ(sounds.Squeal().Volume(), sounds.Engine().Volume());
    EXPECT_EQ(sounds.Nitro().Volume(), sounds.Engine().Volume());
    car->Sounds[CPCar::SqueakSound] = nullptr;  // a sound that did not load is skipped
    player->SetCarSoundVolume(1.0f);
    EXPECT_EQ(sounds.Nitro().Volume(), sounds.Engine().Volume());
}

TEST_F(PlayerTest, SlowedCarsShowTheirRearFlaresInsteadOfStopLights) {
    CPPlayer* player = MakePlayer();
    CPCar* car = player->GetCar();
    CPtr<CPGameObject> left(new CPGameObject("lflarerear"));
    CPtr<CPGameObject> right(new CPGameObject("rflarerear"));
    player->AddChild(left);
    player->AddChild(right);
    player->Slowed = true;
    player->SetBrakeLights(false);
    EXPECT_FALSE(left->Visible);
    EXPECT_FALSE(right->Visible);
    player->SetBrakeLights(true);
    EXPECT_TRUE(left->Visible);
    EXPECT_TRUE(right->Visible);
    EXPECT_FALSE(car->Braking);
    EXPECT_TRUE(car->StopLights->Visible);
}

TEST_F(PlayerTest, ImpulsesChangeTheCarsMomentum) {
    CPPlayer* player = MakePlayer(D3DXVECTOR3(0.0f, 0.0f, 30.0f));
    RbRigidBody* body = player->GetCar()->GetRigidBody();
    Frame();  // the body's motion (its inertia in the world) is set up by its first step
    const RbVector before = body->GetVelocity();
    // Through the centre: a pure change of velocity, impulse / mass.
    const D3DXVECTOR3 centre(body->GetPosition().x, body->GetPosition().y, body->GetPosition().z);
    player->ApplyImpulse(centre, D3DXVECTOR3(Mass * 2.0f, 0.0f, 0.0f));
    EXPECT_NEAR(body->GetVelocity().x - before.x, 2.0f, 1e-4f);
    EXPECT_NEAR(RbLength(body->GetAngularVelocity()), 0.0f, 1e-5f);
    // Off the centre it also turns the car.
    player->ApplyImpulse(centre + D3DXVECTOR3(0.0f, 1.0f, 0.0f), D3DXVECTOR3(Mass, 0.0f, 0.0f));
    // A push along +x one metre ahead along +y turns the car clockwise about z.
    EXPECT_LT(body->GetAngularVelocity().z, -0.01f);
    // Numbers that are not finite change nothing.
    const RbVector now = body->GetVelocity();
    player->ApplyImpulse(centre, D3DXVECTOR3(NaN, 0.0f, 0.0f));
    EXPECT_EQ(body->GetVelocity().x, now.x);

    // The velocity at the start of the last slice: falling by then.
    Frame();
    Frame();
    D3DXVECTOR4 v;
    player->GetCarVelocity(v);
    EXPECT_EQ(v.x, player->GetCar()->Velocity.x);
    EXPECT_EQ(v.z, player->GetCar()->Velocity.z);
    EXPECT_LT(v.z, 0.0f) << "falling";
}

TEST_F(PlayerTest, CrashesRaiseTheDamageLevelUntilTheCarIsLockedAsAWreck) {
    CPPlayer* player = MakePlayer();
    // Each row: game time, dent amount, damage level after it.
    const struct {
        double time;
        float amount;
        float level;
    } contacts[] = {
        {1.0, 0.1f, 0.0f},    // a scrape
        {1.1, 0.24f, 0.0f},   // a resting push
        {2.0, 0.5f, 12.5f},   // a crash begins
        {2.2, 3.0f, 25.0f},   // its hardest contact counts, capped at 1
        {2.4, 0.6f, 25.0f},   // a weaker contact of the same crash
        {3.3, 1.0f, 25.0f},   // still the same crash: contacts keep it going
        {5.0, 1.0f, 50.0f},   // a new crash
        {7.0, NaN, 50.0f},
        {9.0, 1.0f, 75.0f},
    };
    for (const auto& c : contacts) {
        FullTime = c.time;
        player->AddCollisionDamage(c.amount);
        EXPECT_FLOAT_EQ(player->DamageLevel, c.level) << "at " << c.time;
    }
    EXPECT_FALSE(player->Locked);
    FullTime = 11.0;
    player->AddCollisionDamage(2.0f);
    EXPECT_FLOAT_EQ(player->DamageLevel, 100.0f);
    EXPECT_TRUE(player->Locked);
    EXPECT_TRUE(player->GetCar()->Locked);
    // A wreck takes no more.
    player->Dead = true;
    player->DamageLevel = 50.0f;
    FullTime = 20.0;
    player->AddCollisionDamage(1.0f);
    EXPECT_FLOAT_EQ(player->DamageLevel, 50.0f);
}

TEST_F(PlayerTest, HeadOnCollisionDamagesBothCarsThroughTheWorld) {
    CPPlayer* a = MakePlayer(D3DXVECTOR3(-3.0f, 0.0f, 30.0f));
    CPPlayer* b = MakePlayer(D3DXVECTOR3(3.0f, 0.0f, 30.0f));
    CPLevel level;
    level.FollowedCar = b;
    EXPECT_TRUE(b->IsFollowedCar());
    EXPECT_FALSE(a->IsFollowedCar());
    a->GetCar()->GetRigidBody()->SetVelocity(RbVec(10.0f, 0.0f, 0.0f));
    b->GetCar()->GetRigidBody()->SetVelocity(RbVec(-10.0f, 0.0f, 0.0f));
    for (int i = 0; i < 30; ++i) {
        Frame();
    }
    // 400 N·s each way, 0.08 per N·s: a full-strength crash for both.
    EXPECT_FLOAT_EQ(a->DamageLevel, CPPlayer::DamagePerCrash);
    EXPECT_FLOAT_EQ(b->DamageLevel, CPPlayer::DamagePerCrash);
    EXPECT_TRUE(a->CollisionFlag);
    EXPECT_TRUE(b->CollisionFlag);
}

TEST_F(PlayerTest, FrameEffectsRunOncePerFrameWithTheTimeOfFramesWithoutAStep) {
    CarSounds sounds;
    CPPlayer* player = MakePlayer();
    CPCar* car = player->GetCar();
    sounds.Fit(*car);
    Run(1.0f);
    game.LevelStarted = true;
    car->NitroFuel = 100.0f;
    player->SetNitro(1.0f);
    car->EnginePitch = 0.0f;

    // Three steps in one frame: one burn of the whole frame.
    Frame(3.0f * Dt);
    EXPECT_EQ(World->LastStepCount, 3);
    EXPECT_FLOAT_EQ(car->NitroFuel, 100.0f - 25.0f * 3.0f * Dt);
    EXPECT_EQ(car->LastFrame, FrameNumber);
    EXPECT_TRUE(sounds.Engine().IsPlaying());
    EXPECT_TRUE(sounds.Engine().IsLooping());
    // At rest the pitch heads for 0.5 at 5 per second.
    EXPECT_NEAR(car->EnginePitch, 0.5f * 5.0f * 3.0f * Dt, 1e-3f);

    // A frame too short for a step burns nothing; the next frame that steps burns for both.
    const float fuel = car->NitroFuel;
    Frame(0.01f);
    EXPECT_EQ(World->LastStepCount, 0);
    EXPECT_EQ(car->NitroFuel, fuel);
    Frame(0.01f);
    EXPECT_EQ(World->LastStepCount, 1);
    EXPECT_FLOAT_EQ(car->NitroFuel, fuel - 25.0f * 0.02f);
    // A long wait never carries the pitch past its target.
    Frame(4.0f * Dt);
    Frame(1.0f);
    EXPECT_LE(car->EnginePitch, 0.5f + 0.05f * car->Speed + 1e-4f);

    // Before the race starts nothing burns, and nothing is carried into the start.
    game.LevelStarted = false;
    const float waiting = car->NitroFuel;
    Frame(0.01f);
    Frame(0.01f);
    EXPECT_EQ(car->NitroFuel, waiting);
    game.LevelStarted = true;
    Frame(Dt);
    EXPECT_FLOAT_EQ(car->NitroFuel, waiting - 25.0f * Dt);
}

TEST_F(PlayerTest, SlidingTyresSquealOnTheCarWithSounds) {
    CarSounds sounds;
    CPPlayer* player = MakePlayer(D3DXVECTOR3(0.0f, 100.0f, 0.6f));
    CPCar* car = player->GetCar();
    sounds.Fit(*car);
    Run(2.0f);
    player->SetControls(1.0f, 0.0f);
    for (int frames = 0; car->Speed < 12.0f && frames < 1200; ++frames) {
        Drive(player, Dt);
    }
    ASSERT_GE(car->Speed, 12.0f);
    EXPECT_FALSE(sounds.Squeal().IsPlaying()) << "rolling straight";
    // Braking slides the rear: the squeal plays once per start.
    player->SetBrakeLights(true);
    player->SetControls(-1.0f, 0.0f);
    Drive(player, Dt);
    EXPECT_TRUE(sounds.Squeal().IsPlaying());
    EXPECT_FALSE(sounds.Squeal().IsLooping());
    // With the spark budget spent the puffs stop but the squeal still starts.
    sounds.Sound("squeal").Stop();
    SparkCount = CPPhysicWorld::MaxSparks;
    World->Simulator->Step(Dt);
    EXPECT_TRUE(sounds.Squeal().IsPlaying());
}

TEST_F(PlayerTest, NitroGlowConeIsHiddenGreyOrFaded) {
    CPPlayer* player = MakePlayer();
    CPCar* car = player->GetCar();
    CPtr<CPGameObject> glass(new CPGameObject("glass"));
    player->AddChild(glass);
    CPSprite* sprites[2] = {new CPSprite(0.5f), new CPSprite(0.5f)};
    for (CPSprite* sprite : sprites) {
        CPtr<CPGameObject> node(new CPGameObject("glow"));
        node->RenderKind = CPGameObject::RenderSprite;
        node->RenderObject = sprite;
        glass->AddChild(node);
    }
    // A child that is no sprite is skipped.
    glass->AddChild(CPtr<CPGameObject>(new CPGameObject("plain")));
    game.LevelStarted = true;

    const struct {
        const char* name;
        float fuel;
        float nitro;
        float low;  // the cone lies in [low, high]
        float high;
    } cases[] = {
        {"hidden without nitro", 100.0f, 0.0f, -0.09f, -0.09f},
        {"grey at full nitro", 100.0f, 1.0f, -1.0f, -(0.455f + 0.09f)},
        {"faded at half a request", 20.0f, 0.5f, -(1.2f * 0.455f * 0.5f + 0.09f), -(0.455f * 0.5f + 0.09f)},
    };
    for (const auto& c : cases) {
        car->NitroFuel = c.fuel;
        car->Nitro = c.nitro;
        for (int frame = 0; frame < 5; ++frame) {
            Frame();
            for (CPSprite* sprite : sprites) {
                EXPECT_GE(sprite->Cone, c.low - 1e-5f) << c.name;
                EXPECT_LE(sprite->Cone, c.high + 1e-5f) << c.name;
                EXPECT_EQ(sprite->Direction, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
            }
        }
        if (c.nitro == 0.0f) {
            EXPECT_GT(sprites[0]->Cone, CPSprite::HiddenAbove) << "hides the sprite";
        } else {
            EXPECT_LE(sprites[0]->Cone, CPSprite::HiddenAbove) << "shows it grey";
        }
    }
}

TEST_F(PlayerTest, TheCarTakesItsEngineAndMineFromTheCatalogues) {
    CPPlayer* player = MakePlayer();
    EngineInfo engine;
    engine.Name = "v8";
    engine.Price = 300;
    engine.Values = {1.0f, 2.0f, 3.0f, 0.25f, 0.125f};
    game.Engines.Add("v8", engine);
    MineInfo mine;
    mine.Name = "spike";
    mine.M4 = 6;
    game.Mines.Add("spike", mine);
    game.ActiveCarSettings.Engine = "v8";
    game.ActiveCarSettings.Mine = "spike";
    game.EditedCarSettings.Engine = "";  // the race uses the committed settings

    player->LoadCarRecords(game);
    EXPECT_EQ(player->EngineRecord, engine);
    EXPECT_FLOAT_EQ(player->EngineHeatingRate(), 0.25f);
    EXPECT_FLOAT_EQ(player->EngineCoolingRate(), 0.125f);
    EXPECT_EQ(player->MineRecord, mine);
    EXPECT_EQ(player->MineCount(), 6);
    EXPECT_TRUE(player->HasMines);

    // Empty slots and names the catalogues lack leave empty entries.
    game.ActiveCarSettings.Engine = "";
    game.ActiveCarSettings.Mine = "unknown";
    player->LoadCarRecords(game);
    EXPECT_EQ(player->EngineRecord, EngineInfo());
    EXPECT_EQ(player->MineRecord, MineInfo());
    EXPECT_FALSE(player->HasMines);
    EXPECT_EQ(player->EngineHeatingRate(), 0.0f);
}

TEST_F(PlayerTest, DefaultsOfANewPlayer) {
    CPPlayer player;
    EXPECT_EQ(player.WeaponSlot, 0);
    EXPECT_EQ(player.Health, 100000.0f);
    EXPECT_EQ(player.Ammunition[0], 1.0f);
    EXPECT_EQ(player.Ammunition[2], 1.0f);
    EXPECT_EQ(player.CostFactor, 1.0f);
    EXPECT_EQ(player.RateFactor, 1.0f);
    EXPECT_EQ(player.SideFlags, 0u);
    player.SetSideFlags(CPPlayer::SidePlayer | CPPlayer::SideDrevik);
    EXPECT_EQ(player.GetSideFlags(), 10u);
    player.SetCarName("rover");
    EXPECT_EQ(player.CarName, "rover");
    player.SetTimeBonusTimer(4.0f);
    EXPECT_EQ(player.TimeBonusTimer, 4.0f);
}

TEST_F(PlayerTest, ACarMissingItsPartsDoesWhatItCan) {
    // No vehicle model at all.
    CPPlayer bare;
    EXPECT_EQ(bare.GetCar(), nullptr);
    EXPECT_EQ(bare.GetCarPtr().Get(), nullptr);
    bare.SetControls(1.0f, 0.2f);
    EXPECT_EQ(bare.Throttle, 1.0f);
    bare.SetLocked(true);
    EXPECT_TRUE(bare.Locked);
    bare.SetLocked(false);
    bare.SetNitro(1.0f);
    bare.SetBrakeLights(true);
    bare.Slowed = true;
    bare.SetBrakeLights(true);  // no rear flares
    bare.SetCarSoundVolume(0.5f);
    bare.ApplyImpulse(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 0, 0));
    D3DXVECTOR4 v(1, 2, 3, 4);
    bare.GetCarVelocity(v);
    EXPECT_EQ(v, D3DXVECTOR4(0, 0, 0, 0));
    EXPECT_TRUE(bare.AddShadow());  // no scene loader: no shadow
    EXPECT_EQ(bare.Shadow, nullptr);
    bare.Draw(nullptr, nullptr);
    FullTime = 1.0;
    bare.AddCollisionDamage(1.0f);
    EXPECT_FLOAT_EQ(bare.DamageLevel, CPPlayer::DamagePerCrash);
    EXPECT_FALSE(bare.IsFollowedCar());

    // A model on a body without a rigid body, wheels or lights.
    CPPlayer* inert = SetUpBody(new CPPlayer(), D3DXVECTOR3(0, 0, 0.6f), 0.0f, 0, false, false);
    MakeCar(inert, Description());
    ASSERT_NE(inert->GetCar(), nullptr);
    inert->SetControls(1.0f, 0.0f);
    World->SetCarControls(CPtr<CPGameObject>(inert), inert->Throttle, inert->Steering);
    inert->SetLocked(true);
    inert->SetLocked(false);
    inert->SetNitro(1.0f);
    inert->SetBrakeLights(true);
    inert->SetCarSoundVolume(0.5f);  // no sounds
    inert->ApplyImpulse(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 0, 0));
    inert->GetCarVelocity(v);
    EXPECT_EQ(v, D3DXVECTOR4(0, 0, 0, 0));

    // A rigid body without wheels, lights, glow or sounds that loaded: the frames run.
    CPPlayer* hull = SetUpBody(new CPPlayer(), D3DXVECTOR3(20, 0, 5.0f), 0.0f, 0, true, false);
    MakeCar(hull, Description());
    hull->GetCar()->HasSound = true;  // the factory found no sound files
    game.LevelStarted = true;
    hull->SetNitro(1.0f);
    hull->SetBrakeLights(true);
    hull->SetCarSoundVolume(0.5f);
    for (int i = 0; i < 10; ++i) {
        World->SetCarControls(CPtr<CPGameObject>(hull), 1.0f, 0.5f);
        Frame();
    }
    EXPECT_LT(hull->GetCar()->NitroFuel, 100.0f);
    hull->SetNitro(0.0f);
    EXPECT_TRUE(hull->AddShadow());
    EXPECT_EQ(hull->Shadow, nullptr);
}

}  // namespace
