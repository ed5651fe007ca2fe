// The race as the race scripts see it: the headless host with its script runtime, cars
// (CPPlayer with their vehicle model) on the flat terrain of the car fixture's physics world,
// a current level with its race camera, shot types that record their launches, and the script
// tasks the functions send to ("main" also in the category "main", "gamemenu").
#pragma once

#include "ScriptFixture.h"

#include "tests/game/CarFixture.h"
#include "tests/game/SentCommands.h"

#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "game/CPRaceCamera.h"
#include "game/CPShot.h"
#include "game/CPShotManager.h"
#include "platform/win32/CrtRand.h"

#include <array>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace ScriptCarFixture {

// A shot type whose launches are kept: type, position and direction.
struct ShotLaunch {
    std::string Type;
    D3DXVECTOR3 Position;
    D3DXVECTOR3 Direction;
};

class RecordingShot : public CPShot {
public:
    RecordingShot(std::string type, std::vector<ShotLaunch>* log) : CPShot(std::move(type)), log(log) {}
    size_t GetObjectSize() const override { return sizeof(RecordingShot); }
    CPtr<CPShot> Clone() override { return CPtr<CPShot>(new RecordingShot(TypeName, log)); }
    bool Step() override { return false; }
    void Launch(const D3DXVECTOR3& position, const D3DXVECTOR3& direction, float lifetime, CPtr<CPGameObject> owner,
                int32_t extra) override {
        CPShot::Launch(position, direction, lifetime, owner, extra);
        log->push_back({TypeName, position, direction});
    }

private:
    std::vector<ShotLaunch>* log;
};

// The car fixture's world, its set-up steps opened to the script fixture.
class CarWorld : public CarFixture::CarTest {
public:
    void TestBody() override {}
    using CarTest::MakeCar;
    using CarTest::Mass;
    using CarTest::SetUp;
    using CarTest::SetUpBody;
    using CarTest::TearDown;
    using CarTest::World;
};

class ScriptCarTest : public ScriptTest {
protected:
    static constexpr std::array<const char*, 2> Targets{"main", "gamemenu"};

    void SetUp() override {
        ScriptTest::SetUp();
        world.SetUp();
        CrtSrand(1);
        for (CPScriptTask& task : tasks) {
            task.Running = true;
        }
        host->RegisterScriptTask(&tasks[0], "main", {"main"});
        host->RegisterScriptTask(&tasks[1], "gamemenu", {});
        level = new CPLevel();
        camera = new CPCamera();  // the level's
        level->Camera = CPtr<CPCamera>(camera);
        level->LevelSize = D3DXVECTOR2(3000.0f, 3000.0f);
        for (const char* type : {"super", "boom", "bonus_a", "bonus_b", "sparks"}) {
            host->ShotManager().AddPrototype(CPtr<CPShot>(new RecordingShot(type, &launches)));
        }
    }
    void TearDown() override {
        DeleteLevel();
        world.TearDown();
        for (CPScriptTask& task : tasks) {
            host->UnregisterScriptTask(&task);
        }
        ScriptTest::TearDown();
    }

    // The cars are the test's: the level, which deletes its own, lets go of them first.
    void DeleteLevel() {
        if (level != nullptr) {
            level->Cars.clear();
            level->Player = nullptr;
            level->FollowedCar = nullptr;
            delete level;
            level = nullptr;
            camera = nullptr;
        }
    }

    // A car of the given sides and car name at position, with its physics and vehicle model.
    CPPlayer* MakeCar(const D3DXVECTOR3& position, uint32_t sides, const std::string& name = "", float yaw = 0.0f) {
        CPPlayer* car = world.SetUpBody(new CPPlayer(), position, yaw, 4, true, true);
        world.MakeCar(car, CarFixture::Description());
        car->SetSideFlags(sides);
        car->SetCarName(name);
        car->SetBounds(CPBox(D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.9f, 2.0f, 0.4f)));
        car->UpdateTransform();
        return car;
    }
    // A car without physics or vehicle model, owned by the test.
    CPPlayer* MakeBareCar(const D3DXVECTOR3& position, uint32_t sides, const std::string& name = "") {
        auto& car = bare.emplace_back(std::make_unique<CPPlayer>());
        car->Position = position;
        car->SetSideFlags(sides);
        car->SetCarName(name);
        return car.get();
    }

    // The commands sent since the last call, as "target:command(params)", by target in the
    // order of Targets and in sending order within a target.
    std::vector<std::string> Sent() { return TakeSentCommands(Targets, tasks); }

    CarWorld world;
    std::array<CPScriptTask, 2> tasks;
    CPLevel* level = nullptr;
    CPCamera* camera = nullptr;
    std::vector<ShotLaunch> launches;
    std::vector<std::unique_ptr<CPPlayer>> bare;
};

}  // namespace ScriptCarFixture
