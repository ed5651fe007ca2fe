// The level object: its starting values, its life as the current level, taking a level file
// over (or refusing it whole), camera values, and the trees and task it owns.
#include "game/CPLevel.h"

#include "Render/CPRenderObject.h"
#include "core/CPObjUpdater.h"
#include "core/CPScheduler.h"
#include "game/CPLevelBranch.h"
#include "game/CPSpline.h"
#include "game/LevelFile.h"
#include "interface/CPGameData.h"
#include "platform/files/HostFiles.h"
#include "tests/TestTempDir.h"
#include "tests/game/LevelBytes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using LevelBytes::Bytes;

bool Apply(CPLevel& level, const Bytes& bytes, std::string& problem) {
    LevelLayout layout;
    return level.ApplyLevelData(bytes.data(), bytes.size(), layout, problem);
}

TEST(CPLevel, StartsAtItsDefaultsAndIsCurrentWhileItLives) {
    {
        CPLevel level;
        EXPECT_EQ(CPLevel::Current, &level);
        EXPECT_EQ(CPLevelSun::Current, &level);
        EXPECT_EQ(GetCurrentLevel(), &level);
        EXPECT_EQ(level.GetTypeName(), "CPLevel");
        EXPECT_EQ(level.CameraMode, 0);
        EXPECT_TRUE(level.DemoMode);
        EXPECT_EQ(level.PlayerModel, "hauler_");
        EXPECT_FLOAT_EQ(level.CameraDistance, 7.0f);
        EXPECT_FLOAT_EQ(level.CameraHeight, 2.0f);
        EXPECT_NE(level.CameraAngleDiv, 0.0f);
        EXPECT_NE(level.CameraDistanceDiv, 0.0f);
        for (const CPLevel::CameraSet& set : level.CameraSets) {
            EXPECT_FLOAT_EQ(set.Distance, 7.0f);
            EXPECT_FLOAT_EQ(set.Height, 2.0f);
            EXPECT_FLOAT_EQ(set.Blur, 0.0f);
            EXPECT_NE(set.AngleDiv, 0.0f);
            EXPECT_NE(set.DistanceDiv, 0.0f);
        }
        EXPECT_EQ(level.AiLastPoint, std::vector<int32_t>(20, 0));
        EXPECT_EQ(level.AiLapProgress, std::vector<int32_t>(20, 0));
        EXPECT_FLOAT_EQ(level.LevelSize.x, 10.0f);
        EXPECT_FLOAT_EQ(level.Fov1, 50.0f);
        EXPECT_FLOAT_EQ(level.Fov2, 50.0f);
        EXPECT_EQ(level.LevelNumber, 0);
        EXPECT_TRUE(level.TrafficActive);
        EXPECT_EQ(level.LastCheckpoint, -1);
        EXPECT_EQ(level.NextBeacon, level.Beacons.end());
        EXPECT_EQ(level.Sources.bucket_count() >= CPLevel::SourceBuckets, true);
        EXPECT_EQ(level.GetPathSpline(), nullptr);

        level.AiLastPoint[3] = 7;
        level.AiLapProgress.clear();
        level.ResetLapSlots();
        EXPECT_EQ(level.AiLastPoint, std::vector<int32_t>(20, 0));
        EXPECT_EQ(level.AiLapProgress.size(), 20u);
    }
    EXPECT_EQ(CPLevel::Current, nullptr);
    EXPECT_EQ(CPLevelSun::Current, nullptr);
}

TEST(CPLevel, ANewLevelReplacesTheCurrentOneAndStopsItsTask) {
    CPScheduler scheduler;
    CPScheduler::Instance = &scheduler;
    CPLevel* first = CPLevel::CreateCurrent();
    auto* task = new CPObjUpdater();
    task->Priority = 500;
    ASSERT_TRUE(scheduler.AddTask(CPtr<CPObjUpdater>(task)));
    first->UpdateTask = task;
    ASSERT_EQ(scheduler.Tasks.size(), 1u);

    CPLevel* second = CPLevel::CreateCurrent();  // deletes the first, which frees its task
    EXPECT_EQ(CPLevel::Current, second);
    EXPECT_TRUE(scheduler.Tasks.empty());

    // Deleting a level whose task was stopped already, or never made, is as safe.
    auto* stopped = new CPObjUpdater();
    second->UpdateTask = stopped;
    stopped->Stop();
    delete second;
    EXPECT_EQ(CPLevel::Current, nullptr);
    CPScheduler::Instance = nullptr;
}

TEST(CPLevel, TakesOverALevelFile) {
    CPLevel level;
    std::string problem;
    ASSERT_TRUE(Apply(level, LevelBytes::Level(LevelBytes::RaceObjects(),
                                               LevelBytes::RacePaths()), problem))
        << problem;
    ASSERT_TRUE(level.CentrePath && level.LeftPath && level.RightPath);
    EXPECT_EQ(level.GetPathSpline(), level.CentrePath.Get());
    EXPECT_EQ(level.CentrePath->Name, "c_path");
    EXPECT_EQ(level.CentrePath->Lines.size(), 80u);  // 840 units in pieces of 10.5
    EXPECT_EQ(level.PathLineHint, level.CentrePath->FirstLine);
    EXPECT_FLOAT_EQ(level.LevelSize.x, 3000.0f);
    EXPECT_FLOAT_EQ(level.LevelSize.y, 3000.0f);
    // Posts at (0, 10, 0) and (0, −10, 0).
    EXPECT_EQ(level.FinishDirection, D3DXVECTOR3(0, 20, 0));
    EXPECT_EQ(level.FinishPosition, D3DXVECTOR3(0, 0, 0));

    // A second file replaces the paths and the sources.
    std::vector<LevelBytes::Object> objects = {{"stolb_start_left", {0, 10, 0}}, {"stolb_start_right", {0, -10, 0}},
                                               {"src_tank1", {1, 2, 3}}, {"src_tank2", {4, 5, 6}}};
    ASSERT_TRUE(Apply(level, LevelBytes::Level(objects, {LevelBytes::Square("c_path", 21)}), problem)) << problem;
    EXPECT_EQ(level.CentrePath->Lines.size(), 8u);
    EXPECT_EQ(level.LeftPath, nullptr);
    ASSERT_EQ(level.Sources.size(), 1u);
    EXPECT_EQ(level.Sources.at("tank"), D3DXVECTOR3(4, 5, 6));
}

TEST(CPLevel, ARefusedFileChangesNothing) {
    CPLevel level;
    std::string problem;
    ASSERT_TRUE(Apply(level, LevelBytes::RaceLevel(), problem)) << problem;
    const CPSpline* centre = level.CentrePath.Get();
    const D3DXVECTOR3 finish = level.FinishDirection;

    const std::vector<LevelBytes::Object> posts = {{"stolb_start_left", {0, 50, 0}}, {"stolb_start_right", {0, 0, 0}},
                                                   {"src_x", {}}};
    const LevelBytes::Path dot{"c_path", false, {LevelBytes::Straight({0, 0, 0}, {5, 0, 0})}};
    const LevelBytes::Path tower{"left", true, {LevelBytes::Straight({0, 0, 0}, {0, 0, 50})}};
    Bytes truncated = LevelBytes::RaceLevel();
    truncated.resize(truncated.size() - 1);
    struct Case {
        const char* what;
        Bytes bytes;
        const char* problem;
    };
    const Case cases[] = {
        {"truncated", truncated, "at offset"},
        {"no centre path", LevelBytes::Level(posts, {}), "c_path"},
        {"centre path fills no piece", LevelBytes::Level(posts, {dot}), "fills no piece"},
        {"border fills no piece", LevelBytes::Level(posts, {LevelBytes::Square("c_path", 30), tower}), "\"left\""},
        {"cars without borders", LevelBytes::Level({posts[0], posts[1], {"enemy1", {}}}, {LevelBytes::Square("c_path", 30)}),
         "no path \"left\""},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(Apply(level, c.bytes, problem)) << c.what;
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.what << ": " << problem;
        EXPECT_EQ(level.CentrePath.Get(), centre) << c.what;
        EXPECT_EQ(level.FinishDirection, finish) << c.what;
        EXPECT_TRUE(level.Sources.empty()) << c.what;
        EXPECT_EQ(level.PathLineHint, centre->FirstLine) << c.what;
    }
}

TEST(CPLevel, ReadsItsFileFromTheLevelsFolder) {
    const ScratchFolder scratch("level");
    const Bytes bytes = LevelBytes::RaceLevel();
    scratch.Write("data/levels/Desert.LVL", std::string(bytes.begin(), bytes.end()));
    HostFiles::ClearCache();
    {
        CPLevel level;
        LevelLayout layout;
        EXPECT_TRUE(level.ReadLevelFile("desert", layout));
        EXPECT_TRUE(level.CentrePath);
        EXPECT_EQ(layout.Cars.size(), 2u);
        EXPECT_EQ(layout.Player.Position, D3DXVECTOR3(5, 0, 0.5f));
        CPLevel other;
        EXPECT_FALSE(other.ReadLevelFile("nowhere", layout));
        EXPECT_FALSE(other.CentrePath);
    }
    HostFiles::ClearCache();
}

TEST(CPLevel, CameraValues) {
    CPLevel level;
    using V = CPLevel::CameraValue;
    struct Case {
        int set;
        V which;
        float value;
        bool stored;
    };
    const Case cases[] = {
        {0, V::Distance, 9.0f, true},     {0, V::DistanceDiv, 20.0f, true}, {0, V::DistanceDiv, 0.0f, false},
        {1, V::AngleDiv, 0.0f, false},    {1, V::AngleDiv, -3.0f, true},    {2, V::Height, 4.0f, true},
        {2, V::Blur, 0.5f, true},         {2, V::Angle, 1.0f, false},       {2, V::DistanceDiv, 5.0f, false},
        {3, V::Distance, 1.0f, false},    {-1, V::Distance, 1.0f, false},
        {0, V::Height, std::numeric_limits<float>::quiet_NaN(), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(level.SetCameraValue(c.set, c.which, c.value), c.stored) << c.set << " " << static_cast<int>(c.which);
    }
    EXPECT_FLOAT_EQ(level.CameraSets[0].Distance, 9.0f);
    EXPECT_FLOAT_EQ(level.CameraSets[0].DistanceDiv, 20.0f);
    EXPECT_FLOAT_EQ(level.CameraSets[1].AngleDiv, -3.0f);
    EXPECT_FLOAT_EQ(level.CameraSets[0].Height, 2.0f);
    EXPECT_FLOAT_EQ(level.CameraSets[2].Height, 4.0f);
    level.SetPlayerModel("saloon");
    EXPECT_EQ(level.PlayerModel, "saloon");

    CPLevel::ResetRaceTimer();  // without game data: nothing
    CPGameData data;
    CPGameData::Instance = &data;
    data.RaceTimer = 42.0f;
    CPLevel::ResetRaceTimer();
    EXPECT_EQ(data.RaceTimer, 0.0f);
    CPGameData::Instance = nullptr;
}

TEST(CPLevel, ApplyToTreeBakesMeshesOfTheWholeTree) {
    CPLevel level;
    auto mesh = [](CPGameObject* node) {
        node->RenderKind = CPGameObject::RenderMesh;
        auto* render = new CPRenderObject(node);
        CPVertex v;
        v.Position = D3DXVECTOR3(1, 1, 1);
        render->Vertices.push_back(v);
        node->RenderObject = render;
        return render;
    };
    auto* root = new CPGameObject("root");
    auto* group = new CPGameObject("group");  // not a mesh: only its children are baked
    auto* leaf = new CPGameObject("leaf");
    auto* lod = new CPGameObject("lod");
    root->AddChild(group);
    group->AddChild(leaf);
    CPRenderObject* rootMesh = mesh(root);
    CPRenderObject* leafMesh = mesh(leaf);
    CPRenderObject* lodMesh = mesh(lod);
    root->LodLevels = {{root, 0}, {lod, 50}};
    D3DXMATRIX scale;
    D3DXMatrixScaling(&scale, 2, 3, 4);
    level.ApplyToTree(root, scale);
    EXPECT_EQ(rootMesh->Vertices[0].Position, D3DXVECTOR3(2, 3, 4));
    EXPECT_EQ(leafMesh->Vertices[0].Position, D3DXVECTOR3(2, 3, 4));
    EXPECT_EQ(lodMesh->Vertices[0].Position, D3DXVECTOR3(2, 3, 4));
    // The level owns what it placed and frees it with itself (the leak checker watches).
    level.Objects.push_back(root);
    level.Zones.push_back(root);
    level.Checkpoints.push_back({root, 9.0f});
}

TEST(CPLevel, BeaconsNeedAnObjectNameAndALoader) {
    CPLevel level;
    level.LoadObject("chk12", 0, 0, 0, 0, 0, 0, 1);
    level.LoadObject("chk12_flag", 0, 0, 0, 0, 0, 0, 1);  // no scene loader here
    EXPECT_TRUE(level.Beacons.empty());
}

}  // namespace
