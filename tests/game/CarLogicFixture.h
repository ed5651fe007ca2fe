// A race around the player object's per-step logic: cars (CPPlayer with their vehicle model)
// on the flat terrain of the car fixture, a current level with its race started, the campaign
// data, the renderer, particle templates that count what they are asked for, and the four
// script tasks the logic talks to ("game_interface", "jeep", "main", "gamemenu").
#pragma once

#include "CarFixture.h"
#include "tests/game/SentCommands.h"
#include "tests/game/SpecialSoundFixture.h"

#include "Render/CPRender.h"
#include "core/CPCommandDispatcher.h"
#include "core/CPScriptTask.h"
#include "game/CPLevel.h"
#include "game/CPRaceCamera.h"
#include "game/CPPlayer.h"
#include "interface/CPGameData.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPParticleManager.h"
#include "scene/CPParticleTemplate.h"

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace CarLogicFixture {

// A particle template that keeps what it was asked for.
class ParticleRecorder : public CPParticleTemplate {
public:
    size_t GetObjectSize() const override { return sizeof(ParticleRecorder); }
    std::string GetTypeName() const override { return "ParticleRecorder"; }
    void Update() override {}
    int GetKind() const override { return 0; }
    void Emit(const CPParticleParams& params) override {
        CPParticleDesc& last = Requests.emplace_back();
        last.Position = params.Position;
        last.Velocity = params.Velocity;
        last.Acceleration = params.Acceleration;
        last.Param1 = params.Param1;
        last.Param2 = params.Param2;
        last.Param3 = params.Param3;
        last.Flag1 = params.Flag1;
        last.Flag2 = params.Flag2;
    }
    void Reset() override {}
    std::deque<CPParticleDesc> Requests;  // descriptions move nowhere
};

class CarLogicTest : public CarFixture::CarTest {
protected:
    static constexpr std::array<const char*, 4> Targets{"game_interface", "jeep", "main", "gamemenu"};
    static constexpr std::array<const char*, 4> ParticleNames{"smoke3car", "iskra3blue", "wall", "unused"};

    void SetUp() override {
        CarTest::SetUp();
        CrtSrand(1);
        CPCommandDispatcher::Instance = &Dispatcher;
        for (size_t i = 0; i < Targets.size(); ++i) {
            Tasks[i].Running = true;
            Dispatcher.RegisterName(Targets[i], &Tasks[i]);
        }
        CPGameData::Instance = &Game;
        Game.MaxAbilityCount = 3;
        Game.TextTable["drift_time"] = "Drift";
        Render.MaxFade = 200;
        CPRender::Instance = &Render;
        for (size_t i = 0; i < ParticleNames.size(); ++i) {
            Particles.Templates[ParticleNames[i]] = &Recorders[i];
        }
        CPParticleManager::Instance = &Particles;
        Level = new CPLevel();
        Level->RaceStarted = true;
    }
    void TearDown() override {
        // The cars and camera are the fixture's: the level, which deletes its own, lets go first.
        Level->Cars.clear();
        Level->Player = nullptr;
        Level->Camera = nullptr;
        Level->FollowedCar = nullptr;
        delete Level;
        Others.clear();
        CPParticleManager::Instance = nullptr;
        Particles.Templates.clear();
        Particles.Active.clear();
        CPRender::Instance = nullptr;
        Game.Bonuses.clear();
        CPGameData::Instance = nullptr;
        for (CPScriptTask& task : Tasks) {
            Dispatcher.Unregister(&task);
        }
        CPCommandDispatcher::Instance = nullptr;
        CarTest::TearDown();
    }

    // A car of the given sides at position in the physics world, on the terrain, with its
    // vehicle model (and the rear flares when flares is set), its box 1.8 x 4 x 0.8 m.
    CPPlayer* MakePlayer(const D3DXVECTOR3& position, uint32_t sides, bool flares = true, float yaw = 0.0f) {
        CPPlayer* player = SetUpBody(new CPPlayer(), position, yaw, 4, true, true);
        if (flares) {
            player->AddChild(CPtr<CPGameObject>(new CPGameObject("lflarerear")));
            player->AddChild(CPtr<CPGameObject>(new CPGameObject("rflarerear")));
        }
        MakeCar(player, CarFixture::Description());
        player->SetSideFlags(sides);
        player->SetBounds(CPBox(D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.9f, 2.0f, 0.4f)));
        player->UpdateTransform();
        player->Physics->TerrainTriangleCount = 1;  // on the ground
        return player;
    }
    // A car without physics or vehicle model whose world box the test sets: another car the
    // race knows.
    CPPlayer* MakeOther(const D3DXVECTOR3& centre) {
        auto& other = Others.emplace_back(std::make_unique<CPPlayer>());
        other->Position = centre;
        other->Bounds = CPBoundingBox::Around(centre, D3DXVECTOR3(0.9f, 2.0f, 0.4f));
        return other.get();
    }

    // The commands sent since the last call, as "target:command(params)", grouped by target
    // in the order of Targets and in sending order within a target.
    std::vector<std::string> Sent() { return TakeSentCommands(Targets, Tasks); }
    ParticleRecorder& Recorded(const std::string& name) {
        for (size_t i = 0; i < ParticleNames.size(); ++i) {
            if (name == ParticleNames[i]) {
                return Recorders[i];
            }
        }
        return Recorders.back();
    }

    CPCommandDispatcher Dispatcher;
    std::array<CPScriptTask, 4> Tasks;
    CPGameData Game;
    CPRender Render;
    CPParticleManager Particles;
    std::array<ParticleRecorder, 4> Recorders;
    CPLevel* Level = nullptr;
    std::vector<std::unique_ptr<CPPlayer>> Others;
};

}  // namespace CarLogicFixture
