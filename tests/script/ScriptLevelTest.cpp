// Level, race, camera, render and ray functions through scripts, checked against the engine's
// state: every name registered, the round times from known lap times, the checkpoint beacon and
// its pointer, the task a script stops (and stale handles), the camera's fields and the
// renderer's values, the screen ray from a placed camera. tests/script/lua holds the scripts
// that need only the script side.
#include "LevelScriptFixture.h"

#include "core/ObjectAddress.h"
#include "game/CPBeaconPointer.h"
#include "game/CPPlayer.h"
#include "game/CPRaceCamera.h"
#include "interface/CPGameData.h"
#include "interface/CPInterface.h"
#include "interface/CPLensFlare.h"
#include "scene/CPGameObject.h"
#include "scene/CPPerspectiveCamera.h"
#include "script/ScriptTables.h"
#include "tools/MeshText.h"

#include <string>

namespace {

using Script::Table;

class ScriptLevel : public LevelScriptTest {
protected:
    CPGameData& Data() { return host->GameData(); }
    // The names of the commands waiting in the inbox, oldest first; the inbox is emptied.
    std::vector<std::string> TakeCommands() {
        std::vector<std::string> names;
        while (!inbox->Commands.empty()) {
            names.push_back(inbox->Commands.back().Name);
            inbox->Commands.pop_back();
        }
        return names;
    }
};

TEST_F(ScriptLevel, EveryNameOfTheThreeTablesIsAGlobalFunction) {
    for (const Table table : {Table::A, Table::B, Table::E}) {
        EXPECT_TRUE(Script::MissingFunctions(table).empty());
        for (const char* name : Script::TableNames(table)) {
            lua_getglobal(L(), name);
            EXPECT_TRUE(lua_iscfunction(L(), -1)) << name;
            lua_pop(L(), 1);
        }
    }
    // One function under several names is one Lua value.
    Run(R"(
        assert(SetBrightness == DumpAIInfo and DumpAIInfo == CreateArrow and CreateArrow == DrawArrow)
        assert(GetCurrentMission == GetCurrentRace and SetCurrentMission == SetCurrentRace)
        assert(ClearTimer == ClearGlobalTimer and DeactivateInterface == DeactivateObject)
    )");
}

TEST_F(ScriptLevel, SettingsReachTheLevelAndTheGameData) {
    Data().LevelTimeCoefficient = 1.5f;
    Run("SetPlayerType(0) SetLevelTransportCount(3.7)");
    EXPECT_EQ(Data().PlayerType, 10);
    EXPECT_EQ(Data().LevelTransportCount, 3);
    Run("SetPlayerType()");
    EXPECT_EQ(Data().PlayerType, 9);
    // The traffic stays within what a level tracks besides its five opponents.
    Run("SetLevelTransportCount(1e9)");
    EXPECT_EQ(Data().LevelTransportCount, 15);
    Run("SetLevelTransportCount(-3)");
    EXPECT_EQ(Data().LevelTransportCount, 0);
    CPLevel* level = LoadLevel();
    ASSERT_NE(level, nullptr);
    EXPECT_FALSE(level->ShotRequest);
    Data().RaceTimer = 12.0f;
    Run("SetLevelTime(20) SetPlaceToFinish(-2.5) SetReversed(0) PlayerShot() ClearLevelTimers()");
    EXPECT_FLOAT_EQ(level->LevelTime, 30.0f);
    EXPECT_EQ(level->PlaceToFinish, -2);
    EXPECT_TRUE(level->Reversed);
    EXPECT_TRUE(level->ShotRequest);
    EXPECT_EQ(Data().RaceTimer, 0.0f);
    // The defeat message: the game-over flag or the player's car's loss.
    Run("assert(IsDamageMsg() == false)");
    ASSERT_NE(level->Player, nullptr);
    level->Player->LossShown = true;
    Run("assert(IsDamageMsg() == true)");
    level->Player->LossShown = false;
    level->GameOverSent = true;
    Run("assert(IsDamageMsg() == true)");
}

TEST_F(ScriptLevel, RoundTimesSplitTheLapTimes) {
    auto& laps = Data().LapTimes;
    laps[0] = 65.5f;
    laps[1] = 0.0f;
    laps[2] = 61.25f;
    laps[3] = 0.5f;
    Data().CurrentRound = 4;
    Run(R"(
        local function is(f, em, es, eh)
            local m, s, h = f()
            assert(m == em and s == es and h == eh, m .. " " .. s .. " " .. h)
        end
        is(GetTime, 0, 0, 50)          -- the running round
        is(GetTimeAttack, 1, 5, 50)    -- the first round
        is(GetTimeBest, 1, 1, 25)      -- the best earlier round; 0 is skipped
        local n, t = UpdateRoundsTime()
        assert(n == 40)
        assert(t[1] == 1 and t[2] == 5 and t[3] == 50 and t[4] == true)
        assert(t[9] == 1 and t[10] == 1 and t[11] == 25 and t[12] == true)
        assert(t[16] == true and t[20] == false and t[40] == false)
    )");
    // Round 1 has no earlier round; a round outside the lap times splits 0.
    for (const int round : {1, 0, -3}) {
        Data().CurrentRound = round;
        SCOPED_TRACE(round);
        Run("local m, s, h = GetTimeBest() assert(m == 0 and s == 0 and h == 0)");
    }
    for (const int round : {0, -3, 21, 1000000}) {
        Data().CurrentRound = round;
        SCOPED_TRACE(round);
        Run("local m, s, h = GetTime() assert(m == 0 and s == 0 and h == 0)");
    }
    // Beyond the lap times the best covers every recorded round.
    Data().CurrentRound = 1000000;
    Run("local m, s, h = GetTimeBest() assert(m == 0 and s == 0 and h == 50)");
    Data().CurrentRound = 3;
    Run(R"(
        local n, t = UpdateRoundsTime()
        for r = 1, 10 do assert(t[4 * r] == (r <= 3)) end
    )");
}

TEST_F(ScriptLevel, ShowCheckPointShowsTheFirstBeaconAndPointsAtIt) {
    CPLevel* level = LoadLevel();
    ASSERT_NE(level, nullptr);
    ASSERT_EQ(level->Beacons.size(), 1u);
    CPGameObject* beacon = level->Beacons.front().Object.Get();
    // A pointer with two shapes, as a load makes it.
    CPtr<CPBeaconPointer> pointer(new CPBeaconPointer());
    pointer->ShapeA = CPtr<CPGameObject>(new CPGameObject("a"));
    pointer->ShapeB = CPtr<CPGameObject>(new CPGameObject("b"));
    pointer->ShapeA->SetVisible(false);
    pointer->ShapeB->SetVisible(false);
    level->BeaconPointer = pointer;

    // Before the start no beacon is next: nothing shown, no command.
    Run("ShowCheckPoint()");
    EXPECT_EQ(level->ShownBeacon, nullptr);
    EXPECT_EQ(pointer->Target, nullptr);
    EXPECT_EQ(pointer->Shown, nullptr);
    EXPECT_TRUE(TakeCommands().empty());

    Run("StartLevel()");
    TakeCommands();
    for (int call = 0; call < 2; ++call) {
        Run("ShowCheckPoint()");
        EXPECT_EQ(level->ShownBeacon.Get(), beacon);
        EXPECT_TRUE(beacon->Visible);
        EXPECT_EQ(TakeCommands(), std::vector<std::string>{"say_show"});
        EXPECT_EQ(pointer->Target.Get(), beacon);
        EXPECT_TRUE(pointer->ShapeA->Visible && pointer->ShapeB->Visible);
        EXPECT_EQ(pointer->Shown, pointer->ShapeA.Get());
    }
    // The shown beacon moves to the ground point given.
    Run("ChangeCheckpointPosition(12.5, -4)");
    EXPECT_EQ(beacon->GetPosition(), D3DXVECTOR3(12.5f, -4.0f, 0.0f));

    // No beacon left: the pointer hides its second shape and the first keeps its state.
    level->NextBeacon = level->Beacons.end();
    Run("ShowCheckPoint() ChangeCheckpointPosition(1, 1)");
    EXPECT_EQ(level->ShownBeacon, nullptr);
    EXPECT_EQ(pointer->Target, nullptr);
    EXPECT_EQ(pointer->Shown, nullptr);
    EXPECT_TRUE(pointer->ShapeA->Visible);
    EXPECT_FALSE(pointer->ShapeB->Visible);
    EXPECT_TRUE(TakeCommands().empty());

    // Without a pointer the beacon still shows.
    level->BeaconPointer = nullptr;
    level->NextBeacon = level->Beacons.begin();
    Run("ShowCheckPoint()");
    EXPECT_EQ(level->ShownBeacon.Get(), beacon);
}

TEST_F(ScriptLevel, TheLevelMakesItsBeaconPointerFromOurDescription) {
    // Without the description the level has no pointer.
    CPLevel* level = LoadLevel();
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level->BeaconPointer, nullptr);

    const auto writePointer = [this](const std::string& nodes) {
        MeshText::Result mesh;
        std::string error;
        ASSERT_TRUE(MeshText::Parse("mesh static\nnode pointer\n  cube 1 1 1\n" + nodes + "end\n", mesh, error)) << error;
        const std::vector<uint8_t> bytes = MeshText::Build(mesh);
        WriteFile("Data/Meshes/beacon_pointer.msh", std::string(bytes.begin(), bytes.end()));
        WriteFile("Data/Meshes/beacon_pointer.rdf", "mesh = beacon_pointer.msh\n");
        HostFiles::ClearCache();
    };
    writePointer("  node shape_a\n    cube 1 1 1\n  end\n  node shape_b\n    cube 1 1 1\n  end\n");
    level = LoadLevel();
    CPBeaconPointer* pointer = level->BeaconPointer.Get();
    ASSERT_NE(pointer, nullptr);
    ASSERT_NE(pointer->ShapeA, nullptr);
    ASSERT_NE(pointer->ShapeB, nullptr);
    EXPECT_FALSE(pointer->ShapeA->Visible || pointer->ShapeB->Visible);
    Run("StartLevel() ShowCheckPoint()");
    EXPECT_EQ(pointer->Target.Get(), level->Beacons.front().Object.Get());
    EXPECT_TRUE(pointer->ShapeA->Visible && pointer->ShapeB->Visible);

    // A description without both shapes is reported and gives no pointer.
    writePointer("  node shape_a\n    cube 1 1 1\n  end\n");
    reports.clear();
    level = LoadLevel();
    EXPECT_EQ(level->BeaconPointer, nullptr);
    bool reported = false;
    for (const CPLogReport& report : reports) {
        reported = reported || report.Text.find("beacon_pointer.rdf: the beacon pointer needs") != std::string::npos;
    }
    EXPECT_TRUE(reported);
}

TEST_F(ScriptLevel, AScriptTaskRunsRacesAcrossFrames) {
    // A race script as the game has them: its level made, started, run, replaced and deleted
    // from inside its own task while the scheduler steps the level's tasks too.
    WriteFile("Data/Scripts/race.lua", R"(
        InitLevel("level1", false)
        StartLevel()
        for i = 1, 5 do coroutine.yield() end
        assert(IsRaceStarted() ~= nil)
        InitLevel("level1", true)      -- replaces the running level
        StartLevel()
        for i = 1, 5 do coroutine.yield() end
        StopLevel()
        coroutine.yield()
        DeleteLevel()
        done = true
    )");
    CPLuaScriptTask* task = host->StartScript("race.lua", "race", {});
    ASSERT_NE(task, nullptr);
    for (int frame = 0; frame < 20; ++frame) {
        host->RunFrame(1.0f / 60.0f);
    }
    Run("assert(done == true)");
    EXPECT_EQ(CPLevel::Current, nullptr);
}

TEST_F(ScriptLevel, TheBonusListLetsGoOfTheLevelsObjectsBeforeTheyGo) {
    for (const char* end : {"DeleteLevel()", "StopLevel()", "InitLevel('level1', false)"}) {
        SCOPED_TRACE(end);
        CPLevel* level = LoadLevel();
        ASSERT_NE(level, nullptr);
        SetHandle("crate", static_cast<CPObject*>(level->Objects.front().Get()));
        Run(std::string("StartLevel() AddBonus(crate, 5) assert(GetBonusesCount() == 1) ") + end +
            " assert(GetBonusesCount() == 0) ClearBonuses() ClearGameData()");
    }
}

TEST_F(ScriptLevel, StopScriptFinishesTheTaskAndRefusesStaleHandles) {
    CPLuaScriptTask other(host->Scripts(), "none.lua");
    other.Running = true;
    SetHandle("other", static_cast<CPObject*>(&other));
    CPInterface screen;
    SetHandle("screen", static_cast<CPObject*>(&screen));
    {
        CPGameObject gone("gone");
        SetHandle("gone", static_cast<CPObject*>(&gone));
    }
    Run(R"(
        StopScript(nil)
        StopScript(StringToPointer("0"))
        for _, handle in ipairs({screen, gone, StringToPointer("123456789")}) do
            local ok, message = pcall(StopScript, handle)
            assert(not ok and string.find(message, "StopScript: stale or invalid handle", 1, true), message)
        end
        StopScript(other)
    )");
    EXPECT_TRUE(other.Finished);
    EXPECT_TRUE(other.Running);  // left alone; the frame loop ends the task
}

TEST_F(ScriptLevel, CameraFunctionsWriteTheRaceCamera) {
    CPLevel* level = LoadLevel();
    ASSERT_NE(level, nullptr);
    CPCamera* camera = level->GetCamera();
    ASSERT_NE(camera, nullptr);

    // A current field of view only gets the wanted value; a fresh one (0) also the views.
    camera->Fov = 45.0f;
    camera->Changed = false;
    Run("SetFOV(60)");
    EXPECT_EQ(camera->Fov, 45.0f);
    EXPECT_EQ(camera->TargetFov, 60.0f);
    EXPECT_TRUE(camera->Changed);
    camera->Fov = 0.0f;
    camera->GetView1()->ProjectionDirty = false;
    Run("SetFOV(60)");
    EXPECT_EQ(camera->Fov, 60.0f);
    for (CPPerspectiveCamera* view : {camera->GetView1(), camera->GetView2()}) {
        EXPECT_FLOAT_EQ(view->Fov, 60.0f * 0.017453292f);
        EXPECT_TRUE(view->ProjectionDirty);
    }

    // The free view is on in mode 2 only; three changes come back to the chase view.
    Run("ChangeGameCamera() ChangeGameCamera()");
    EXPECT_TRUE(camera->FreeView);
    Run("ChangeGameCamera()");
    EXPECT_FALSE(camera->FreeView);
    EXPECT_EQ(level->CameraMode, 0);
    // A mode outside 0..2 is only stored and counted on.
    level->CameraMode = 7;
    Run("assert(ChangeGameCamera() == 8)");
    EXPECT_EQ(level->CameraMode, 8);

    // The orbit switch happens once for the same kind.
    level->OrbitTime = 3.0f;
    Run("SetCamera(true)");
    EXPECT_EQ(level->CameraKind, 1);
    EXPECT_EQ(level->OrbitTime, 0.0f);
    level->OrbitTime = 3.0f;
    Run("SetCamera(true)");
    EXPECT_EQ(level->OrbitTime, 3.0f);
    level->FollowedHeading = 0.75f;
    Run("SetCamera(false)");
    EXPECT_EQ(level->CameraKind, 0);
    EXPECT_EQ(camera->Yaw, 0.75f);
    EXPECT_TRUE(camera->Elevation == -1.5707964f || camera->Elevation == -0.2617994f);

    // GetCameraPositions reads the free look-at point in free view.
    camera->FreeView = true;
    camera->FreeLookAt = D3DXVECTOR3(7, 8, 9);
    Run("local _, _, _, x, y, z = GetCameraPositions() assert(x == 7 and y == 8 and z == 9)");

    // The lens flare is replaced.
    level->LensFlare = nullptr;
    Run("SetLensFlare(1, 2, 3)");
    CPLensFlare* first = level->LensFlare.Get();
    EXPECT_NE(first, nullptr);
    Run("SetLensFlare()");
    EXPECT_NE(level->LensFlare.Get(), nullptr);

    Run("SetTemp(0.5)");
    EXPECT_EQ(RenderTemp, 0.5f);
    Run("SetTemp(1)");
}

TEST_F(ScriptLevel, RendererValuesAndTheDefaultCamera) {
    CPRender& render = host->Render();
    Run("SetMotionBlur(0.3)");
    EXPECT_EQ(render.MotionBlur, 1);
    EXPECT_FLOAT_EQ(render.MotionBlurAmount, 0.3f);
    Run("SetMotionBlur(0)");
    EXPECT_EQ(render.MotionBlur, 0);
    EXPECT_EQ(render.MotionBlurAmount, 0.0f);
    Run("SetLightCoeff(0.75) SetRadialBlur('0.5')");
    EXPECT_EQ(render.LightCoeff, 0.75f);
    EXPECT_EQ(render.RadialBlur, 0.5f);

    const size_t before = render.Lines.size();
    Run("DrawLine(1, 2, 3, 4, 5, 6)");
    ASSERT_EQ(render.Lines.size(), before + 2);
    EXPECT_EQ(render.Lines[before].Position, D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(render.Lines[before + 1].Position, D3DXVECTOR3(4, 5, 6));
    EXPECT_EQ(render.Lines[before].Diffuse, 0xFFFF0000u);

    Run("SetDefaultCamera()");
    auto* camera = dynamic_cast<CPPerspectiveCamera*>(render.Layers.at(19).Camera.Get());
    ASSERT_NE(camera, nullptr);
    EXPECT_FLOAT_EQ(camera->Fov, 1.2217305f);
    EXPECT_EQ(camera->Near, 1.0f);
    EXPECT_EQ(camera->Far, 1000.0f);
    EXPECT_EQ(camera->Target, D3DXVECTOR3(1, 0, 0));
    EXPECT_EQ(camera->Up, D3DXVECTOR3(0, 0, 1));
    EXPECT_FALSE(camera->ViewDirty || camera->ProjectionDirty);  // updated

    // Called again and again, it leaves one camera: the one it replaces is deleted.
    const size_t live = CPObject::LiveCount();
    Run("for i = 1, 5 do SetDefaultCamera() end");
    EXPECT_EQ(CPObject::LiveCount(), live);
    camera = dynamic_cast<CPPerspectiveCamera*>(render.Layers.at(19).Camera.Get());
    ASSERT_NE(camera, nullptr);
    EXPECT_NE(CPObject::FindLive(camera), nullptr);
    EXPECT_FLOAT_EQ(camera->Fov, 1.2217305f);
}

TEST_F(ScriptLevel, TheScreenRayMeetsTheGroundUnderThePoint) {
    CPLevel* level = LoadLevel();
    ASSERT_NE(level, nullptr);
    CPPerspectiveCamera* view = level->GetCamera()->GetView1();
    // Looking straight down from above the first crate.
    view->Position = D3DXVECTOR3(40, 20, 50);
    view->Target = D3DXVECTOR3(40, 20, 0);
    view->Up = D3DXVECTOR3(0, 1, 0);
    view->ViewDirty = view->ProjectionDirty = true;
    view->Update();
    Run(R"(
        local hit, owner, x, y, zero = CrossInterfaceRay(0.5, 0.5)
        assert(hit == true and type(owner) == "userdata" and zero == 0)
        assert(math.abs(x - 40) < 1e-3 and math.abs(y - 20) < 1e-3, x .. " " .. y)
        picked = owner
    )");
    // The crate has no script task: the node hit stands for itself.
    lua_getglobal(L(), "picked");
    EXPECT_NE(lua_touserdata(L(), -1), nullptr);
    lua_pop(L(), 1);
    // Far from anything.
    view->Position = D3DXVECTOR3(300, 300, 50);
    view->Target = D3DXVECTOR3(300, 300, 0);
    view->ViewDirty = true;
    view->Update();
    Run(R"(
        local hit, owner, x, y = CrossInterfaceRay(0.5, 0.5)
        assert(hit == false and math.abs(x - 300) < 1e-3 and math.abs(y - 300) < 1e-3)
    )");
}

}  // namespace
