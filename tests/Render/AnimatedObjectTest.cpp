// Vertex-animated figures: frames chosen by game time, loop limits, reports and their
// commands, world-space writing, and the animation manager that shares the frames.
#include "Render/CPAnimatedObject.h"
#include "Render/CPAnimationManager.h"

#include "core/CPCommandDispatcher.h"
#include "core/CPLog.h"
#include "core/FrameTime.h"
#include "core/ObjectAddress.h"
#include "scene/CPAnimationParams.h"
#include "scene/CPEnemyController.h"
#include "scene/CPGameObject.h"
#include "scene/CPSceneLoader.h"
#include "tests/scene/AnimationBytes.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>

namespace {

class Controller : public CPEnemyController {
public:
    void OnAnimationStopped() override {
        Events.push_back("stopped");
        if (Stopped) {
            Stopped();
        }
    }
    void OnAnimationReport() override {
        Events.push_back("report");
        if (Reported) {
            Reported();
        }
    }
    void OnDamage(const D3DXVECTOR3&, const D3DXVECTOR3&, float, bool, bool) override {}
    std::vector<std::string> Events;
    // What the enemy does next, as a controller starting its next move would.
    std::function<void()> Stopped;
    std::function<void()> Reported;
};

// Reads a key-frame block through the manager under the key.
CPtr<CPAnimation> Load(CPAnimationManager& manager, const std::string& key, const std::vector<uint8_t>& bytes,
                       int* cursor = nullptr) {
    auto reader = AnimationBytes::LoadReader(bytes);
    EXPECT_NE(reader, nullptr);
    CPtr<CPAnimation> animation = manager.GetAnimation(key, *reader);
    if (cursor != nullptr) {
        *cursor = reader->GetCursor();
    }
    return animation;
}

class AnimatedObjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        CPAnimationManager::Instance = &manager;
        CPCommandDispatcher::Instance = &dispatcher;
        CPSceneLoader::Instance = &loader;
        loader.DefaultVertexColour = 0xFFFFFFFF;
        listener.Start();
        FullTime = 0.0;
        // Ten frames of 0.1 s.
        walk = Load(manager, "figure&walk.msh", AnimationBytes::KeyFrameBlock(240.0f, AnimationBytes::CountingFrames(10)));
        figure = new CPAnimatedObject(&node);
        node.RenderObject = figure;
        node.RenderKind = CPGameObject::RenderAnimatedMesh;
        node.Controller = &controller;
        node.UpdateTransform();
        figure->AddAnimation("walk", walk);
    }
    void TearDown() override {
        node.RenderObject = nullptr;
        delete figure;
        walk = nullptr;
        CPAnimationManager::Instance = nullptr;
        CPCommandDispatcher::Instance = nullptr;
        CPSceneLoader::Instance = nullptr;
        FullTime = 0.0;
    }
    // Fills at game time t and returns the frame written (its first vertex's x).
    int FillAt(double t) {
        FullTime = t;
        vertices.assign(static_cast<size_t>(figure->GetVertexCount()), CPVertex());
        indices.assign(static_cast<size_t>(figure->GetIndexCount()), 0);
        figure->Fill(vertices.data(), indices.data(), 0, false);
        return vertices.empty() ? -1 : static_cast<int>(std::lround(vertices[0].Position.x));
    }
    // The commands the listener received, oldest first.
    std::vector<std::string> Received() {
        std::vector<std::string> names;
        while (listener.NextCommand()) {
            names.push_back(listener.Current->Name);
            EXPECT_EQ(listener.Current->Params, std::vector<std::string>({AddressToText(&listener)}));
        }
        return names;
    }

    CPAnimationManager manager;
    CPCommandDispatcher dispatcher;
    CPSceneLoader loader;
    CPScriptTask listener;
    Controller controller;
    CPGameObject node{"figure"};
    CPAnimatedObject* figure = nullptr;
    CPtr<CPAnimation> walk;
    std::vector<CPVertex> vertices;
    std::vector<uint16_t> indices;
};

TEST_F(AnimatedObjectTest, LoopLimitReportFrameAndStartDelay) {
    FullTime = 100.0;
    CPAnimationParams params;
    params.Name = "walk";
    params.LoopLimit = 2;
    params.ReportFrame = 5;
    params.StartDelay = 0.5f;
    params.Listener = &listener;
    figure->SetAnimation(params, false);
    EXPECT_EQ(figure->Name, "walk");
    EXPECT_FLOAT_EQ(figure->StartTime, 100.5f);

    // Game time after the start (100.5 s) -> frame shown, in the middle of each frame.
    const std::pair<double, int> timeline[] = {
        {0.0, 0}, {0.3, 0}, {0.55, 0}, {0.75, 2}, {1.05, 5}, {1.45, 9},  // first pass, report at 5
        {1.55, 0}, {1.95, 4}, {2.15, 6}, {2.45, 9},                      // second pass, report at 6
        {2.55, 8}, {3.0, 8}, {50.0, 8},                                  // stopped on frame 8
    };
    for (const auto& [after, frame] : timeline) {
        EXPECT_EQ(FillAt(100.0 + after), frame) << "at " << after;
    }
    EXPECT_TRUE(figure->Stopped);
    EXPECT_EQ(figure->LoopCount, 2);
    EXPECT_EQ(figure->Name, "");
    EXPECT_EQ(Received(), std::vector<std::string>({"animation_report", "animation_report", "animation_stopped"}));
    EXPECT_EQ(controller.Events, std::vector<std::string>({"report", "report", "stopped"}));

    // Stopped, the same animation starts again without force (its name was cleared).
    FullTime = 200.0;
    params.StartDelay = 0.0f;
    params.LoopLimit = 0;
    figure->SetAnimation(params, false);
    EXPECT_FALSE(figure->Stopped);
    EXPECT_EQ(FillAt(200.35), 3);
}

TEST_F(AnimatedObjectTest, ForceSpeedAndUnknownNames) {
    CPAnimationParams params;
    params.Name = "walk";
    FullTime = 10.0;
    figure->SetAnimation(params, false);
    const float started = figure->StartTime;
    FullTime = 11.0;
    figure->SetAnimation(params, false);  // already playing: unchanged
    EXPECT_EQ(figure->StartTime, started);
    params.Speed = 2.0f;
    figure->SetAnimation(params, true);
    EXPECT_EQ(figure->StartTime, 11.0f);
    EXPECT_EQ(FillAt(11.27), 5);  // 0.27 s at speed 2

    params.Name = "run";  // not in the table: nothing changes
    figure->SetAnimation(params, true);
    EXPECT_EQ(figure->Name, "walk");
    EXPECT_EQ(figure->Speed, 2.0f);

    // A figure without any animation reports nothing and writes nothing.
    CPAnimatedObject empty(&node);
    params.Name = "";
    empty.SetAnimation(params, false);
    empty.SetAnimation(params, true);
    EXPECT_EQ(empty.GetVertexCount(), 0);
    EXPECT_EQ(empty.GetIndexCount(), 0);
    empty.Fill(nullptr, nullptr, 0, false);
    EXPECT_EQ(empty.GetCurrentFrame(), nullptr);
    uint16_t first = 9, last = 9;
    EXPECT_FALSE(empty.FillIndices(nullptr, 0, first, last));
}

TEST_F(AnimatedObjectTest, WorldSpaceWindingAndExtremeTimes) {
    node.SetPosition(D3DXVECTOR3(0, 0, 10));
    node.UpdateTransform();
    EXPECT_EQ(FillAt(0.35), 3);
    EXPECT_EQ(vertices[1].Position, D3DXVECTOR3(3, 1, 10));
    EXPECT_EQ(vertices[1].Diffuse, 0xFFFFFFFFu);  // the loader's colour, not the file's
    EXPECT_EQ(indices, std::vector<uint16_t>({0, 1, 2}));

    D3DXMATRIX mirror;
    D3DXMatrixScaling(&mirror, -1, 1, 1);
    node.SetAnimatedTransform(mirror);
    node.UpdateTransform();
    figure->Fill(vertices.data(), indices.data(), 10, false);
    EXPECT_EQ(vertices[1].Position, D3DXVECTOR3(-3, 1, 0));
    EXPECT_EQ(indices, std::vector<uint16_t>({10, 12, 11}));

    // Any game time names a frame; nothing loops for ever or divides by zero.
    node.ClearAnimatedTransform();
    node.UpdateTransform();
    for (double t : {1e300, -1e300, HUGE_VAL, -HUGE_VAL, std::nan(""), 4e9}) {
        const int frame = FillAt(t);
        EXPECT_GE(frame, 0) << t;
        EXPECT_LE(frame, 9) << t;
    }
}

TEST_F(AnimatedObjectTest, CopyFromTakesAnimationsAndPlayback) {
    CPAnimationParams params;
    params.Name = "walk";
    params.Listener = &listener;
    params.ReportFrame = 3;
    figure->SetAnimation(params, true);
    FillAt(0.45);
    CPGameObject other("other");
    CPAnimatedObject copy(&other);
    copy.CopyFrom(figure);
    EXPECT_EQ(copy.Owner, &other);
    EXPECT_EQ(copy.Current, walk);
    EXPECT_EQ(copy.CurrentFrame, 4);
    EXPECT_EQ(copy.ReportedFrame, figure->ReportedFrame);
    EXPECT_EQ(copy.Listener.Get(), &listener);
    EXPECT_EQ(copy.Name, "walk");
    EXPECT_EQ(copy.Animations.count("walk"), 1u);
    EXPECT_EQ(copy.GetTypeName(), "CPAnimatedObject");
    EXPECT_FALSE(copy.IsExcluded());
}

TEST_F(AnimatedObjectTest, ManagerSharesFramesAndSkipsAKnownBlock) {
    EXPECT_EQ(walk->FrameCount, 10);
    EXPECT_FLOAT_EQ(walk->FrameTime, 0.1f);
    EXPECT_FLOAT_EQ(walk->Duration, 1.0f);
    EXPECT_EQ(walk->GetTypeName(), "CPAnimation");
    // Bounds around every vertex of every frame: x 0..9, y 0..2, z 0.
    EXPECT_EQ(walk->Bounds.Centre, D3DXVECTOR3(4.5f, 1.0f, 0.0f));
    EXPECT_EQ(walk->Bounds.HalfExtents, D3DXVECTOR3(4.5f, 1.0f, 0.0f));

    // The same key again, from another file with other frames: one object, frames kept, the
    // reader past the block.
    std::vector<uint8_t> other = AnimationBytes::KeyFrameBlock(480.0f, AnimationBytes::CountingFrames(3));
    other.push_back(0);
    int cursor = 0;
    CPtr<CPAnimation> again = Load(manager, "figure&walk.msh", other, &cursor);
    EXPECT_EQ(again, walk);
    EXPECT_EQ(walk->FrameCount, 10);
    EXPECT_EQ(cursor, static_cast<int>(other.size()) - 1);
    // The playing figure's frame survives the second request.
    EXPECT_EQ(FillAt(0.75), 7);

    // Keys are exact: another case is another animation.
    CPtr<CPAnimation> upper = Load(manager, "FIGURE&walk.msh", other);
    ASSERT_TRUE(upper);
    EXPECT_NE(upper, walk);
    EXPECT_EQ(manager.Animations.size(), 2u);
}

TEST_F(AnimatedObjectTest, DamagedBlocksGiveNullAndAreNotKept) {
    std::vector<CPLogReport> reports;
    CPLog::GetInstance().SetSink([&](const CPLogReport& report) { reports.push_back(report); });
    std::vector<uint8_t> huge = AnimationBytes::KeyFrameBlock(240.0f, AnimationBytes::CountingFrames(2));
    const int32_t count = INT_MAX;
    std::memcpy(huge.data(), &count, 4);
    EXPECT_FALSE(Load(manager, "a&x.msh", huge));
    EXPECT_FALSE(Load(manager, "b&x.msh", AnimationBytes::KeyFrameBlock(0.0f, AnimationBytes::CountingFrames(2))));
    EXPECT_EQ(manager.Animations.count("a&x.msh"), 0u);
    EXPECT_EQ(manager.Animations.count("b&x.msh"), 0u);
    // A known key whose block is damaged also gives null and keeps the loaded frames.
    EXPECT_FALSE(Load(manager, "figure&walk.msh", huge));
    EXPECT_EQ(walk->FrameCount, 10);
    EXPECT_EQ(reports.size(), 3u);
    CPLog::GetInstance().SetSink(nullptr);

    // An animation deleted explicitly leaves the manager.
    CPtr<CPAnimation> single = Load(manager, "one&x.msh", AnimationBytes::KeyFrameBlock(240.0f, AnimationBytes::CountingFrames(1)));
    ASSERT_TRUE(single);
    delete single.Get();
    single.MakeNull();
    EXPECT_EQ(manager.Animations.count("one&x.msh"), 0u);
}

TEST_F(AnimatedObjectTest, AnAnimationStartedFromAnEventPlaysFromItsOwnStart) {
    // Six vertices a frame against the walk's three: a fill writes what the batcher counted.
    CPtr<CPAnimation> run =
        Load(manager, "figure&run.msh", AnimationBytes::KeyFrameBlock(240.0f, AnimationBytes::CountingFrames(10, 6)));
    ASSERT_TRUE(run);
    figure->AddAnimation("run", run);
    CPAnimationParams walkOnce;
    walkOnce.Name = "walk";
    walkOnce.LoopLimit = 1;
    walkOnce.Listener = &listener;
    CPAnimationParams runOnce = walkOnce;
    runOnce.Name = "run";
    runOnce.ReportFrame = 0;
    // When the walk ends the enemy runs once.
    bool ran = false;
    controller.Stopped = [&] {
        if (!ran) {
            ran = true;
            node.SetAnimation(runOnce, true);
        }
    };
    figure->SetAnimation(walkOnce, true);

    EXPECT_EQ(FillAt(0.95), 9);
    // The walk wraps to its frame 4 and stops on its frame 8; then the run starts.
    EXPECT_EQ(FillAt(1.45), 8);
    EXPECT_EQ(vertices.size(), 3u);
    EXPECT_EQ(figure->Name, "run");
    EXPECT_FALSE(figure->Stopped);
    EXPECT_EQ(figure->LoopCount, 0);
    EXPECT_EQ(figure->Current, run);
    // Its frames follow from its own start, without a wrap taken from the walk's frame.
    for (const auto& [t, frame] : {std::pair{1.5, 0}, std::pair{1.8, 3}, std::pair{2.4, 9}}) {
        EXPECT_EQ(FillAt(t), frame) << t;
        EXPECT_EQ(vertices.size(), 6u) << t;
        EXPECT_FALSE(figure->Stopped) << t;
    }
    EXPECT_EQ(FillAt(2.5), 8);
    EXPECT_TRUE(figure->Stopped);
    // The run's stop comes back to its frame 0, which is its report frame again.
    EXPECT_EQ(controller.Events, std::vector<std::string>({"stopped", "report", "stopped", "report"}));
    EXPECT_EQ(Received(), std::vector<std::string>(
                              {"animation_stopped", "animation_report", "animation_stopped", "animation_report"}));

    // A report that starts another animation: the reported frame is written, the new
    // animation shows from the next fill.
    controller.Events.clear();
    controller.Stopped = nullptr;
    CPAnimationParams walkReport = walkOnce;
    walkReport.LoopLimit = 0;
    walkReport.ReportFrame = 2;
    CPAnimationParams runAfter = runOnce;
    runAfter.ReportFrame = -1;
    runAfter.LoopLimit = 0;
    controller.Reported = [&] { figure->SetAnimation(runAfter, true); };
    FullTime = 10.0;
    figure->SetAnimation(walkReport, true);
    EXPECT_EQ(FillAt(10.25), 2);
    EXPECT_EQ(figure->Name, "run");
    EXPECT_EQ(FillAt(10.6), 3);
    EXPECT_EQ(controller.Events, std::vector<std::string>({"report"}));
}

TEST_F(AnimatedObjectTest, AOneFrameAnimationStopsOnItsOnlyFrame) {
    CPtr<CPAnimation> still = Load(manager, "still&x.msh", AnimationBytes::KeyFrameBlock(240.0f, AnimationBytes::CountingFrames(1)));
    ASSERT_TRUE(still);
    figure->AddAnimation("still", still);
    CPAnimationParams params;
    params.Name = "still";
    params.LoopLimit = 1;
    figure->SetAnimation(params, true);
    for (double t : {0.05, 0.15, 0.25, 7.0}) {
        EXPECT_EQ(FillAt(t), 0) << t;
    }
    // Force the stop path: a wrap seen from a later frame.
    figure->CurrentFrame = 5;
    EXPECT_EQ(FillAt(8.0), 0);
    EXPECT_TRUE(figure->Stopped);
    EXPECT_EQ(figure->CurrentFrame, 0);
}

}  // namespace
