// Part animations moving a node tree, and the scene loader's animation-file reader that builds
// them.
#include "scene/CPPartAnimation.h"

#include "core/CPCommandDispatcher.h"
#include "core/CPLog.h"
#include "core/CPScriptTask.h"
#include "core/FrameTime.h"
#include "core/ObjectAddress.h"
#include "scene/CPGameObject.h"
#include "scene/CPSceneLoader.h"
#include "scene/PartAnimationFile.h"
#include "tests/TestTempDir.h"
#include "tests/scene/AnimationBytes.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cmath>

namespace {

using AnimationBytes::Key;

constexpr float QuarterTurn = D3DX_PI / 2.0f;

void ExpectNear(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected, const char* what) {
    EXPECT_NEAR(actual.x, expected.x, 1e-5f) << what;
    EXPECT_NEAR(actual.y, expected.y, 1e-5f) << what;
    EXPECT_NEAR(actual.z, expected.z, 1e-5f) << what;
}

D3DXVECTOR3 Origin(const D3DXMATRIX& m) { return D3DXVECTOR3(m._41, m._42, m._43); }

std::vector<D3DXMATRIX> Matrices(const std::vector<Key>& keys) {
    std::vector<D3DXMATRIX> out;
    for (const Key& key : keys) {
        out.push_back(PartAnimationFile::KeyMatrix(key.Stored.data()));
    }
    return out;
}

std::vector<float> Durations(const std::vector<Key>& keys) {
    std::vector<float> out;
    for (const Key& key : keys) {
        out.push_back(key.Duration);
    }
    return out;
}

// The arm's keys: at (1, 0, 0) turned by 0, then a quarter turn about z, held; one second each.
std::vector<Key> ArmKeys() {
    return {{1.0f, AnimationBytes::RotationZ(0, 1, 0, 0)},
            {1.0f, AnimationBytes::RotationZ(QuarterTurn, 1, 0, 0)},
            {1.0f, AnimationBytes::RotationZ(QuarterTurn, 1, 0, 0)}};
}

class PartAnimationTest : public ::testing::Test {
protected:
    void SetUp() override {
        CPCommandDispatcher::Instance = &dispatcher;
        script.Start();
        FrameTime = 0.0f;
    }
    void TearDown() override {
        CPCommandDispatcher::Instance = nullptr;
        FrameTime = 0.0f;
    }
    // Steps the task as the frame loop does while it runs.
    void Step(CPPartAnimation& animation, float seconds) {
        FrameTime = seconds;
        if (animation.Running) {
            animation.Update();
        }
    }
    int CommandsNamed(const std::string& name) const {
        int count = 0;
        for (const CPCommand& command : script.Commands) {
            count += command.Name == name ? 1 : 0;
        }
        return count;
    }

    CPCommandDispatcher dispatcher;
    CPScriptTask script;
};

// A body with an arm whose hand sits one unit along the arm.
struct Figure {
    Figure() {
        body->AddChild(arm);
        arm->AddChild(hand);
        arm->SetPosition(D3DXVECTOR3(1, 0, 0));
        hand->SetPosition(D3DXVECTOR3(1, 0, 0));
        body->UpdateTransform();
    }
    ~Figure() {
        delete hand;
        delete arm;
        delete body;
    }
    CPGameObject* body = new CPGameObject("body");
    CPGameObject* arm = new CPGameObject("arm");
    CPGameObject* hand = new CPGameObject("hand");
};

TEST_F(PartAnimationTest, ArmTurnsAQuarterTurnOverOneSecondAndLoops) {
    Figure figure;
    figure.arm->SetScriptObject(&script);
    CPPartAnimation animation;
    animation.SetKeys(Matrices(ArmKeys()), Durations(ArmKeys()));
    animation.Target = figure.arm;
    animation.Loop = true;
    animation.Start();

    Step(animation, 0.0f);
    ExpectNear(Origin(figure.hand->WorldMatrix), D3DXVECTOR3(2, 0, 0), "at 0 s");
    Step(animation, 0.5f);
    // The blend is linear in every element, not a turn: halfway the hand is at the mean of
    // its two key places.
    ExpectNear(Origin(figure.hand->WorldMatrix), D3DXVECTOR3(1.5f, 0.5f, 0), "at 0.5 s");
    EXPECT_NEAR(figure.arm->WorldMatrix._11, 0.5f, 1e-6f);
    Step(animation, 0.5f);
    ExpectNear(Origin(figure.hand->WorldMatrix), D3DXVECTOR3(1, 1, 0), "at 1 s");
    EXPECT_EQ(CommandsNamed("animation_end"), 0);

    // Past the end: back to the start, "animation_end" on each pass.
    Step(animation, 0.25f);
    EXPECT_EQ(animation.Key, 0);
    EXPECT_EQ(CommandsNamed("animation_end"), 1);
    for (int i = 0; i < 20; ++i) {
        Step(animation, 0.1f);
    }
    EXPECT_EQ(CommandsNamed("animation_end"), 3);
    EXPECT_TRUE(animation.Running);
    ASSERT_FALSE(script.Commands.empty());
    EXPECT_EQ(script.Commands.front().Name, "animation_end");
    ASSERT_EQ(script.Commands.front().Params.size(), 1u);
    EXPECT_EQ(script.Commands.front().Params[0], AddressToText(figure.arm));
    // The node's own placement is untouched; the body did not move.
    ExpectNear(figure.arm->Position, D3DXVECTOR3(1, 0, 0), "arm position");
    ExpectNear(Origin(figure.body->WorldMatrix), D3DXVECTOR3(0, 0, 0), "body");
}

TEST_F(PartAnimationTest, EndsAfterTheSegmentBeforeTheLastButOneKey) {
    // Four keys of one second: the segments 0-1 and 1-2 play, the end comes after 2 s.
    std::vector<Key> keys(4);
    for (int k = 0; k < 4; ++k) {
        keys[static_cast<size_t>(k)].Stored = AnimationBytes::RotationZ(0, static_cast<float>(k), 0, 0);
    }
    struct Case {
        bool Loop;
        float Seconds;  // stepped in 0.1 s
        int Ends;
        bool Running;
    };
    const Case cases[] = {{false, 1.9f, 0, true}, {false, 2.1f, 1, false}, {false, 9.0f, 1, false},
                          {true, 2.1f, 1, true},  {true, 4.1f, 2, true},   {true, 9.0f, 4, true}};
    for (const Case& c : cases) {
        CPGameObject part("part");
        int ends = 0;
        CPPartAnimation animation;
        animation.SetKeys(Matrices(keys), Durations(keys));
        animation.Loop = c.Loop;
        animation.Start();
        const int steps = static_cast<int>(std::lround(c.Seconds / 0.1f));
        for (int i = 0; i < steps && animation.Running; ++i) {
            ends += animation.Advance(0.1f);
        }
        EXPECT_EQ(ends, c.Ends) << c.Loop << " " << c.Seconds;
        EXPECT_EQ(animation.Running, c.Running) << c.Loop << " " << c.Seconds;
        if (!c.Loop && !c.Running) {
            // Stopped on the pose of its end key.
            ExpectNear(Origin(animation.CurrentMatrix()), D3DXVECTOR3(2, 0, 0), "end pose");
        }
    }
}

TEST_F(PartAnimationTest, StepsCrossSeveralKeysAndAnEqualTimeStaysInItsKey) {
    std::vector<Key> keys(6, Key{0.5f, {}});
    CPPartAnimation animation;
    animation.SetKeys(Matrices(keys), Durations(keys));
    animation.Start();
    EXPECT_EQ(animation.Advance(0.5f), 0);
    EXPECT_EQ(animation.Key, 0);  // exactly its duration: still current
    EXPECT_EQ(animation.Advance(1.25f), 0);
    EXPECT_EQ(animation.Key, 3);
    EXPECT_FLOAT_EQ(animation.Elapsed, 0.25f);
}

TEST_F(PartAnimationTest, UnplayableKeysAndHugeStepsAreSafe) {
    CPGameObject part("part");
    // Too few keys, zero durations, durations missing: the task stops and nothing moves.
    const std::vector<std::vector<float>> badDurations = {{1, 1}, {0, 0, 0}, {1, -1, 1}, {1, 1}};
    const std::vector<size_t> keyCounts = {2, 3, 3, 3};
    for (size_t i = 0; i < badDurations.size(); ++i) {
        CPPartAnimation animation;
        animation.SetKeys(std::vector<D3DXMATRIX>(keyCounts[i]), badDurations[i]);
        animation.Target = &part;
        animation.Loop = true;
        animation.Start();
        Step(animation, 1.0f);
        EXPECT_FALSE(animation.Running) << i;
        EXPECT_FALSE(part.HasAnimatedTransform) << i;
    }

    // A looping animation of tiny keys after a very long pause plays a bounded number of passes.
    std::vector<Key> keys(3, Key{1e-6f, {}});
    CPPartAnimation animation;
    animation.SetKeys(Matrices(keys), Durations(keys));
    animation.Loop = true;
    animation.Start();
    const int ends = animation.Advance(1e9f);
    EXPECT_GE(ends, 1);
    EXPECT_LE(ends, 2);
    EXPECT_LE(animation.Elapsed, 1e-6f);
    EXPECT_EQ(animation.Advance(INFINITY), 0);
    EXPECT_TRUE(std::isfinite(animation.Elapsed));
}

TEST_F(PartAnimationTest, RestartedAfterItsEndPlaysAgainAndCopyTakesKeysNotPosition) {
    CPPartAnimation animation;
    animation.SetKeys(Matrices(ArmKeys()), Durations(ArmKeys()));
    animation.Start();
    EXPECT_EQ(animation.Advance(1.5f), 1);
    EXPECT_FALSE(animation.Running);
    animation.Start();
    EXPECT_EQ(animation.Advance(0.5f), 0);
    EXPECT_EQ(animation.Key, 0);
    EXPECT_FLOAT_EQ(animation.Elapsed, 0.5f);

    CPPartAnimation copy;
    animation.Loop = true;
    copy.CopyFrom(&animation);
    EXPECT_EQ(copy.Keys.size(), 3u);
    EXPECT_EQ(copy.Durations, animation.Durations);
    EXPECT_TRUE(copy.Loop);
    EXPECT_EQ(copy.Elapsed, 0.0f);
    EXPECT_EQ(copy.Target, nullptr);
    EXPECT_EQ(copy.GetKind(), 1);
    EXPECT_EQ(copy.GetTypeName(), "CPPartAnimation");
}

// The loader reads "Data\Animations" under the working folder.
class LoadPartAnimationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        CPLog::GetInstance().SetSink([this](const CPLogReport& report) { reports.push_back(report.Text); });
    }
    void TearDown() override { CPLog::GetInstance().SetSink(nullptr); }
    void Put(const std::string& name, const std::vector<uint8_t>& bytes) const {
        scratch.Write("Data/Animations/" + name, std::string(bytes.begin(), bytes.end()));
    }

    ScratchFolder scratch{"partanim"};
    std::vector<std::string> reports;
    CPSceneLoader loader;
};

TEST_F(LoadPartAnimationsTest, TracksBecomeAnimationsByLowerCasedName) {
    std::vector<Key> later = ArmKeys();
    later[0].Duration = 2.0f;
    Put("door.anm", AnimationBytes::PartAnimationFile(
                        {{"Door_Left", ArmKeys()}, {"DOOR_RIGHT", ArmKeys()}, {"door_right", later}, {"short", {}}}));
    CPSceneLoader::PartAnimationTable table;
    table["kept"] = nullptr;
    loader.LoadPartAnimations("Door.anm", table);
    ASSERT_EQ(table.size(), 3u);
    EXPECT_TRUE(table.count("kept"));
    ASSERT_TRUE(table["door_left"]);
    ASSERT_TRUE(table["door_right"]);
    EXPECT_EQ(table["door_right"]->Durations[0], 2.0f);  // the later track of the name
    EXPECT_EQ(table["door_left"]->Target, nullptr);
    EXPECT_FALSE(table["door_left"]->Loop);
    EXPECT_FALSE(table["door_left"]->Running);
    ASSERT_EQ(reports.size(), 1u);  // the track without keys
    EXPECT_NE(reports[0].find("short"), std::string::npos);
    std::vector<CPPartAnimation*> made;
    for (auto& [name, animation] : table) {
        made.push_back(animation.Get());
    }
    table.clear();
    for (CPPartAnimation* animation : made) {
        delete animation;
    }
}

TEST_F(LoadPartAnimationsTest, MissingEmptyAndDamagedFilesAddNothing) {
    Put("empty.anm", AnimationBytes::PartAnimationFile({}));
    std::vector<uint8_t> huge = AnimationBytes::PartAnimationFile({{"arm", ArmKeys()}});
    const int32_t count = INT_MAX;
    std::memcpy(huge.data(), &count, 4);
    Put("huge.anm", huge);
    const std::vector<uint8_t> good = AnimationBytes::PartAnimationFile({{"arm", ArmKeys()}});
    Put("cut.anm", std::vector<uint8_t>(good.begin(), good.end() - 1));

    CPSceneLoader::PartAnimationTable table;
    loader.LoadPartAnimations("missing.anm", table);
    loader.LoadPartAnimations("empty.anm", table);
    EXPECT_TRUE(table.empty());
    EXPECT_TRUE(reports.empty());
    loader.LoadPartAnimations("huge.anm", table);
    loader.LoadPartAnimations("cut.anm", table);
    EXPECT_TRUE(table.empty());
    EXPECT_EQ(reports.size(), 2u);
}

}  // namespace
