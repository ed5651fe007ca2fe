// Shots and the shot manager: the launch orientation, pools by type name (reuse without growth,
// the last spare first, unknown names, prototypes that cannot be cloned), and the lightning
// shot's flight: hitting a car on its path, missing one beside it, never its own owner, its
// range and its duration.
#include "Render/CPRenderObject.h"
#include "game/CPEffectShot.h"
#include "game/CPLevel.h"
#include "game/CPLightningShot.h"
#include "game/CPPlayer.h"
#include "game/CPShotManager.h"
#include "Sound/PSoundManager.h"
#include "core/FrameTime.h"
#include "platform/audio/DirectSound.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Com.h"
#include "tests/Sound/WavFixtures.h"
#include "tests/TestTempDir.h"
#include "core/Singletons.h"
#include "scene/CPParticleManager.h"
#include "scene/CPParticleTemplate.h"
#include "scene/CPPerspectiveCamera.h"
#include "scene/CPSceneLoader.h"
#include "scene/MainView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Lightning(const char* speed, const char* duration, const char* impact) {
    return {"any", speed, duration, "0.1", "t.tga", "e.fx", "0", impact, "0", "none"};
}

CPLightningShot* MakeLightning(const std::string& name, std::vector<std::string> parameters) {
    auto* shot = new CPLightningShot(name);
    shot->Setup(parameters);
    return shot;
}

// A shot whose flight lasts `frames` steps; it counts its launches.
class CountingShot : public CPShot {
public:
    CountingShot(std::string name, int* launches, int frames = 1)
        : CPShot(std::move(name)), Launches(launches), Frames(frames) {}
    CPtr<CPShot> Clone() override { return CPtr<CPShot>(Cloneable ? new CountingShot(TypeName, Launches, Frames) : nullptr); }
    bool Step() override { return ++Flown < Frames; }
    void Launch(const D3DXVECTOR3& p, const D3DXVECTOR3& d, float lifetime, CPtr<CPGameObject> owner,
                int32_t extra) override {
        CPShot::Launch(p, d, lifetime, owner, extra);
        ++*Launches;
        Flown = 0;
        At = p;
    }
    int* Launches;
    int Frames;
    int Flown = 0;
    bool Cloneable = true;
    D3DXVECTOR3 At;
};

D3DXVECTOR3 Turned(const D3DXQUATERNION& q, const D3DXVECTOR3& v) {
    D3DXMATRIX m;
    D3DXMatrixRotationQuaternion(&m, &q);
    D3DXVECTOR3 out;
    D3DXVec3TransformNormal(&out, &v, &m);
    return out;
}

TEST(CPShot, LaunchTurnsLocalMinusYAlongTheDirection) {
    const D3DXVECTOR3 down(0.0f, -1.0f, 0.0f);
    const D3DXVECTOR3 directions[] = {{0, -1, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, 1}, {-3, 4, 0}, {1, 1, -1}, {0, 1e-9f, 0}};
    for (const D3DXVECTOR3& direction : directions) {
        int launches = 0;
        CountingShot shot("s", &launches);
        shot.Launch(D3DXVECTOR3(1, 2, 3), direction, -1.0f, nullptr, 0);
        D3DXVECTOR3 unit;
        D3DXVec3Normalize(&unit, &direction);
        EXPECT_NEAR(D3DXVec3Length(&shot.Direction), 1.0f, 1e-5f);
        const D3DXVECTOR3 along = Turned(shot.Orientation, down);
        EXPECT_NEAR(along.x, unit.x, 1e-5f) << direction.x << " " << direction.y << " " << direction.z;
        EXPECT_NEAR(along.y, unit.y, 1e-5f) << direction.x << " " << direction.y << " " << direction.z;
        EXPECT_NEAR(along.z, unit.z, 1e-5f) << direction.x << " " << direction.y << " " << direction.z;
        EXPECT_EQ(shot.Position, D3DXVECTOR3(1, 2, 3));
    }
    int launches = 0;
    CountingShot shot("s", &launches);
    shot.Launch(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, -1, 0), -1.0f, nullptr, 0);
    EXPECT_EQ(shot.Orientation, D3DXQUATERNION(0, 0, 0, 1));
    shot.Launch(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), -1.0f, nullptr, 0);
    EXPECT_EQ(shot.Direction, D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(shot.Orientation, D3DXQUATERNION(0, 0, 0, 1));
}

class ShotManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        CPShotManager::Instance = &shots;
        FrameTime = 1.0f / 60.0f;
    }
    void TearDown() override {
        CPShotManager::Instance = nullptr;
        FrameTime = 0.0f;
    }
    CPShotManager shots;
    int launches = 0;
};

TEST_F(ShotManagerTest, EndedShotsAreReusedSoThePoolDoesNotGrow) {
    ASSERT_TRUE(shots.AddPrototype(CPtr<CPShot>(new CountingShot("t", &launches, 3))));
    EXPECT_FALSE(shots.AddPrototype(CPtr<CPShot>(nullptr)));
    for (int i = 0; i < 1000; ++i) {
        shots.LaunchShot("t", D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, -1, 0), -1.0f, nullptr, 0);
        shots.Update();
    }
    EXPECT_EQ(launches, 1000);
    // Three frames of flight at one launch a frame: three in the air at most, plus the prototype.
    EXPECT_EQ(shots.Launched.size(), 2u);
    EXPECT_EQ(shots.PoolSize("t"), 2u);
    const size_t live = CPObject::LiveCount();
    for (int i = 0; i < 1000; ++i) {
        shots.LaunchShot("t", D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, -1, 0), -1.0f, nullptr, 0);
        shots.Update();
    }
    EXPECT_EQ(CPObject::LiveCount(), live);

    // Lightning shots too: each ends on its first frame here (20 units in one second).
    shots.AddPrototype(CPtr<CPShot>(MakeLightning("bolt", Lightning("40", "0", "none"))));
    FrameTime = 1.0f;
    for (int i = 0; i < 1000; ++i) {
        shots.LaunchShot("bolt", D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 0, 0), -1.0f, nullptr, 0);
        shots.Update();
    }
    EXPECT_EQ(shots.PoolSize("bolt"), 2u);
}

TEST_F(ShotManagerTest, TheLastSpareIsLaunchedFirstAndThePrototypeStays) {
    auto* prototype = new CountingShot("t", &launches, 100);
    shots.AddPrototype(CPtr<CPShot>(prototype));
    auto* a = new CountingShot("t", &launches, 100);
    auto* b = new CountingShot("t", &launches, 100);
    shots.Pool["t"].push_back(CPtr<CPShot>(a));
    shots.Pool["t"].push_back(CPtr<CPShot>(b));
    shots.LaunchShot("t", D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, -1, 0), -1.0f, nullptr, 0);
    ASSERT_EQ(shots.Launched.size(), 1u);
    EXPECT_EQ(shots.Launched[0].Get(), b);
    EXPECT_EQ(shots.PoolSize("t"), 2u);
    shots.LaunchShot("t", D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, -1, 0), -1.0f, nullptr, 0);
    shots.LaunchShot("t", D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, -1, 0), -1.0f, nullptr, 0);
    ASSERT_EQ(shots.Launched.size(), 3u);
    EXPECT_EQ(shots.Launched[1].Get(), a);
    EXPECT_NE(shots.Launched[2].Get(), prototype);  // a clone
    EXPECT_EQ(shots.PoolSize("t"), 1u);
    EXPECT_EQ(shots.Pool["t"].front().Get(), prototype);
}

TEST_F(ShotManagerTest, NothingIsLaunchedForAnUnknownNameOrAPrototypeThatCannotBeCloned) {
    shots.LaunchShot("nope", D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, -1, 0), -1.0f, nullptr, 0);
    EXPECT_TRUE(shots.Launched.empty());
    ASSERT_EQ(shots.Pool.count("nope"), 1u);
    EXPECT_TRUE(shots.Pool["nope"].empty());
    shots.Update();

    auto* stubborn = new CountingShot("fixed", &launches);
    stubborn->Cloneable = false;
    shots.AddPrototype(CPtr<CPShot>(stubborn));
    shots.LaunchShot("fixed", D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, -1, 0), -1.0f, nullptr, 0);
    EXPECT_TRUE(shots.Launched.empty());
    EXPECT_EQ(launches, 0);
    // A second prototype for a name is refused and stays the caller's.
    CountingShot other("fixed", &launches);
    EXPECT_FALSE(shots.AddPrototype(CPtr<CPShot>(&other)));
}

TEST_F(ShotManagerTest, DescriptionsBecomeSetUpPrototypes) {
    std::vector<ShotDescription> descriptions(1);
    descriptions[0].Name = "trasser11";
    descriptions[0].Class = "lightning";
    descriptions[0].Parameters = Lightning("200", "0.5", "none");
    descriptions[0].Line = 4;
    std::string error;
    ASSERT_TRUE(shots.AddPrototypes(descriptions, "Data\\shots.txt", error)) << error;
    ASSERT_EQ(shots.PoolSize("trasser11"), 1u);
    auto* prototype = dynamic_cast<CPLightningShot*>(shots.Pool["trasser11"].front().Get());
    ASSERT_NE(prototype, nullptr);
    EXPECT_FLOAT_EQ(prototype->Speed, 200.0f);
    EXPECT_FLOAT_EQ(prototype->Duration, 0.5f);
    EXPECT_FLOAT_EQ(prototype->Width, 0.1f);
    EXPECT_EQ(prototype->ImpactName, "none");
    EXPECT_TRUE(prototype->TargetFlag);
    EXPECT_EQ(prototype->Sound, nullptr);
    EXPECT_EQ(prototype->GetShotName(), "trasser11");
    EXPECT_FALSE(shots.AddPrototypes(descriptions, "Data\\shots.txt", error));
    EXPECT_EQ(error, "Data\\shots.txt:4: shot \"trasser11\" already has a pool");

    // The clone carries the values and a quad of its own.
    CPtr<CPShot> clone = prototype->Clone();
    auto* copy = dynamic_cast<CPLightningShot*>(clone.Get());
    ASSERT_NE(copy, nullptr);
    EXPECT_FLOAT_EQ(copy->Speed, 200.0f);
    EXPECT_NE(copy->RenderObject.Get(), prototype->RenderObject.Get());
    clone = nullptr;
    delete copy;
}

TEST_F(ShotManagerTest, TheSoundFieldLoadsAPlainOrAPositionedSound) {
    const ScratchFolder scratch("shot_sounds");
    const WavFixtures::Bytes wav = WavFixtures::PcmWav(1, 22050, 16, WavFixtures::Samples(22050));
    scratch.Write("Data/Sounds/bang.wav", std::string(wav.begin(), wav.end()));
    PlatformClock::UseManual();
    IDirectSound8* device = nullptr;
    ASSERT_EQ(DirectSoundCreate8(nullptr, &device, nullptr), DS_OK);
    {
        CPSoundCache cache;
        cache.Device = device;
        CPSoundManager sounds;
        sounds.Cache = &cache;
        CPSoundManager::Instance = &sounds;
        {
            CPShotManager owner;  // owns the sounds its prototypes load
            auto* plain = new CountingShot("plain", &launches);
            plain->Setup({"bang.wav,2d"});
            auto* placed = new CountingShot("placed", &launches);
            placed->Setup({"x", "bang.wav"});
            auto* silent = new CountingShot("silent", &launches);
            silent->Setup({"none"});
            auto* missing = new CountingShot("missing", &launches);
            missing->Setup({"nothing.wav"});
            for (CPShot* shot : {static_cast<CPShot*>(plain), static_cast<CPShot*>(placed), static_cast<CPShot*>(silent),
                                 static_cast<CPShot*>(missing)}) {
                owner.AddPrototype(CPtr<CPShot>(shot));
            }
            ASSERT_NE(plain->Sound, nullptr);
            EXPECT_TRUE(plain->Sound2D);
            EXPECT_EQ(plain->Sound->Is3D, 0);
            EXPECT_EQ(plain->SoundSpec, "bang.wav");
            ASSERT_NE(placed->Sound, nullptr);
            EXPECT_FALSE(placed->Sound2D);
            EXPECT_EQ(placed->Sound->Is3D, 1);
            EXPECT_EQ(silent->Sound, nullptr);
            EXPECT_EQ(missing->Sound, nullptr);

            // A launch stamps its sound with the frame number.
            EXPECT_EQ(placed->Sound->TimeStamp, 0);
            EXPECT_EQ(plain->Sound->TimeStamp, 0);
            const int32_t frame = FrameNumber;
            FrameNumber = 1234;
            placed->Launch(D3DXVECTOR3(4, 5, 6), D3DXVECTOR3(1, 0, 0), -1.0f, nullptr, 0);
            EXPECT_TRUE(placed->Sound->IsPlaying());
            EXPECT_EQ(placed->Sound->Params3D.vPosition, D3DXVECTOR3(4, 5, 6));
            EXPECT_EQ(placed->Sound->TimeStamp, 1234);
            FrameNumber = -7;
            plain->Launch(D3DXVECTOR3(4, 5, 6), D3DXVECTOR3(1, 0, 0), -1.0f, nullptr, 0);
            EXPECT_TRUE(plain->Sound->IsPlaying());
            EXPECT_EQ(plain->Sound->TimeStamp, -7);
            EXPECT_EQ(placed->Sound->TimeStamp, 1234);
            silent->Launch(D3DXVECTOR3(4, 5, 6), D3DXVECTOR3(1, 0, 0), -1.0f, nullptr, 0);
            FrameNumber = frame;
        }
        CPSoundManager::Instance = nullptr;
    }
    SafeRelease(device);
    PlatformClock::UseReal();
}

// Counts the requests of one particle template and keeps the last position.
class ParticleCounter : public CPParticleTemplate {
public:
    size_t GetObjectSize() const override { return sizeof(ParticleCounter); }
    std::string GetTypeName() const override { return "ParticleCounter"; }
    void Update() override {}
    int GetKind() const override { return 0; }
    void Emit(const CPParticleParams& params) override {
        ++Emitted;
        At = params.Position;
    }
    void Reset() override {}
    int Emitted = 0;
    D3DXVECTOR3 At;
};

TEST_F(ShotManagerTest, AnEffectShotStartsItsParticlesAndLastsItsDuration) {
    CPParticleManager particles;
    CPParticleManager::Instance = &particles;
    ParticleCounter fire;
    particles.Templates["fire"] = CPtr<CPParticleTemplate>(&fire);
    std::vector<ShotDescription> descriptions(2);
    descriptions[0] = {"boom", "effect", {"fire", "0.05", "none"}, 1};
    descriptions[1] = {"quiet", "effect", {"none", "0", "none"}, 2};
    std::string error;
    ASSERT_TRUE(shots.AddPrototypes(descriptions, "Data\\shots.txt", error)) << error;
    ASSERT_NE(dynamic_cast<CPEffectShot*>(shots.Pool["boom"].front().Get()), nullptr);

    shots.LaunchShot("boom", D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(0, 0, 0), -1.0f, nullptr, 0);
    EXPECT_EQ(fire.Emitted, 1);
    EXPECT_EQ(fire.At, D3DXVECTOR3(1, 2, 3));
    shots.Update();  // 1/60 s
    shots.Update();
    EXPECT_EQ(shots.Launched.size(), 1u);
    shots.Update();  // past 0.05 s
    EXPECT_TRUE(shots.Launched.empty());
    EXPECT_EQ(shots.PoolSize("boom"), 2u);

    shots.LaunchShot("quiet", D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 1), -1.0f, nullptr, 0);
    EXPECT_EQ(fire.Emitted, 1);
    shots.Update();
    EXPECT_TRUE(shots.Launched.empty());
    particles.Templates.clear();
    particles.Active.clear();
    CPParticleManager::Instance = nullptr;
}

// A car with one collision box of half size 1 at `centre`, current as the followed car.
class LightningTest : public ShotManagerTest {
protected:
    void SetUp() override {
        ShotManagerTest::SetUp();
        level = std::make_unique<CPLevel>();
        car = new CPPlayer();
        level->FollowedCar = car;
        shots.AddPrototype(CPtr<CPShot>(new CountingShot("spark", &launches, 1)));
        bolt = MakeLightning("bolt", Lightning("40", "0", "spark"));
        shots.AddPrototype(CPtr<CPShot>(bolt));
    }
    void TearDown() override {
        level->FollowedCar = nullptr;
        CPSceneLoader::DeleteObject(car);
        level.reset();
        ShotManagerTest::TearDown();
    }
    void PlaceCar(const D3DXVECTOR3& centre) {
        car->CollisionBoxes.assign(1, CPBox(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1)));
        car->SetPosition(centre);
        car->UpdateTransform();
    }
    // Frames until Update stops returning 1; its last result in `result`.
    int Fly(CPLightningShot& shot, int& result, CPtr<CPGameObject>& hitOwner) {
        for (int frame = 1; frame <= 1000; ++frame) {
            result = shot.Update(hitOwner);
            if (result != 1) return frame;
        }
        return -1;
    }

    std::unique_ptr<CPLevel> level;
    CPPlayer* car = nullptr;
    CPLightningShot* bolt = nullptr;
};

TEST_F(LightningTest, HitsACarOnItsPathAndLaunchesTheImpactAtTheHitPoint) {
    PlaceCar(D3DXVECTOR3(0, -10, 0));
    bolt->Launch(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, -2, 0), -1.0f, nullptr, 0);
    int result = 0;
    CPtr<CPGameObject> owner;
    const int frames = Fly(*bolt, result, owner);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(frames, 14);  // 40/60 a frame; the box's face is 9 units away
    EXPECT_EQ(owner.Get(), car);
    ASSERT_EQ(shots.Launched.size(), 1u);
    auto* spark = static_cast<CountingShot*>(shots.Launched[0].Get());
    EXPECT_EQ(spark->GetShotName(), "spark");
    EXPECT_NEAR(spark->At.y, -9.0f, 1e-4f);
    EXPECT_NEAR(spark->At.x, 0.0f, 1e-6f);
    EXPECT_EQ(spark->Direction, D3DXVECTOR3(0, -1, 0));
}

TEST_F(LightningTest, MissesACarBesideItsPathAndEndsAfterTwentyUnits) {
    PlaceCar(D3DXVECTOR3(2.5f, -10, 0));
    bolt->Launch(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, -1, 0), -1.0f, nullptr, 0);
    int result = 0;
    CPtr<CPGameObject> owner;
    const int frames = Fly(*bolt, result, owner);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(frames, 31);  // 30 frames make 20 units; the 31st goes past them
    EXPECT_EQ(owner, nullptr);
    EXPECT_TRUE(shots.Launched.empty());
    EXPECT_NEAR(bolt->Position.y, -20.0f, 1e-3f);
}

TEST_F(LightningTest, NeverHitsItsOwnOwner) {
    PlaceCar(D3DXVECTOR3(0, 0, 0));
    bolt->Launch(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, -1, 0), -1.0f, CPtr<CPGameObject>(car), 0);
    EXPECT_EQ(bolt->LiveOwner(), car);
    int result = 0;
    CPtr<CPGameObject> owner;
    Fly(*bolt, result, owner);
    EXPECT_EQ(result, -1);
    bolt->DropOwner();
    EXPECT_EQ(bolt->LiveOwner(), nullptr);
    // Without the owner the same shot hits at once (it starts inside the box).
    bolt->Launch(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, -1, 0), -1.0f, nullptr, 0);
    EXPECT_EQ(bolt->Update(owner), 0);
}

TEST_F(LightningTest, ALifetimeReplacesTheDurationAndMinusOneKeepsIt) {
    bolt->Launch(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 0, 0), -1.0f, nullptr, 0);
    EXPECT_FLOAT_EQ(bolt->Duration, 0.0f);
    bolt->Launch(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 0, 0), 0.25f, nullptr, 0);
    EXPECT_FLOAT_EQ(bolt->Duration, 0.25f);
    bolt->Launch(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 0, 0), -1.0f, nullptr, 0);
    EXPECT_FLOAT_EQ(bolt->Duration, 0.25f);
    int result = 0;
    CPtr<CPGameObject> owner;
    EXPECT_EQ(Fly(*bolt, result, owner), 16);  // 15 frames are 0.25 s; the 16th goes past it
    EXPECT_EQ(result, -1);
}

TEST_F(LightningTest, AnOwnerDeletedInFlightIsLetGoWithoutBeingTouched) {
    PlaceCar(D3DXVECTOR3(0, -10, 0));
    auto* shooter = new CPPlayer();
    shots.LaunchShot("bolt", D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, -1, 0), -1.0f, CPtr<CPGameObject>(shooter), 0);
    ASSERT_EQ(shots.Launched.size(), 1u);
    CPSceneLoader::DeleteObject(shooter);
    auto* flying = static_cast<CPShot*>(shots.Launched[0].Get());
    EXPECT_EQ(flying->LiveOwner(), nullptr);
    for (int i = 0; i < 40; ++i) shots.Update();
    EXPECT_EQ(shots.PoolSize("bolt"), 2u);
}

TEST_F(LightningTest, TheRibbonFacesTheCameraAndIsLeftAloneWithoutOne) {
    auto* quad = dynamic_cast<CPRenderObject*>(bolt->RenderObject.Get());
    ASSERT_NE(quad, nullptr);
    ASSERT_EQ(quad->Vertices.size(), 4u);
    EXPECT_EQ(quad->Indices, (std::vector<uint16_t>{0, 1, 2, 0, 2, 3}));
    const auto corners = [quad] {
        std::vector<D3DXVECTOR3> out;
        for (const CPVertex& vertex : quad->WorldVertices) out.push_back(vertex.Position);
        return out;
    };

    // No view: the quad stays collapsed at the launch point.
    bolt->Launch(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 0, 0), -1.0f, nullptr, 0);
    CPtr<CPGameObject> owner;
    ASSERT_EQ(bolt->Update(owner), 1);
    for (const D3DXVECTOR3& corner : corners()) EXPECT_EQ(corner, D3DXVECTOR3(0, 0, 0));

    // A view above the line: the ribbon lies flat, 0.1 to each side, from the launch point to
    // the head.
    CPPerspectiveCamera view;
    view.Position = D3DXVECTOR3(5, 0, 10);
    MainView = &view;
    ASSERT_EQ(bolt->Update(owner), 1);
    const float head = 2.0f * 40.0f / 60.0f;
    const std::vector<D3DXVECTOR3> flat = corners();
    ASSERT_EQ(flat.size(), 4u);
    EXPECT_NEAR(flat[0].x, 0.0f, 1e-5f);
    EXPECT_NEAR(flat[1].x, head, 1e-5f);
    EXPECT_NEAR(std::fabs(flat[0].y), 0.1f, 1e-5f);
    EXPECT_NEAR(flat[0].y, -flat[3].y, 1e-6f);
    EXPECT_NEAR(flat[1].y, -flat[2].y, 1e-6f);
    for (const D3DXVECTOR3& corner : flat) EXPECT_NEAR(corner.z, 0.0f, 1e-5f);

    // The eye on the line: no side to turn to, the last ribbon stays (no NaN).
    view.Position = D3DXVECTOR3(-5, 0, 0);
    ASSERT_EQ(bolt->Update(owner), 1);
    EXPECT_EQ(corners(), flat);
    MainView = nullptr;
}

}  // namespace
