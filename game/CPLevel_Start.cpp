// Start and stop of a race. Start hands the race's three tasks to the scheduler (the AI
// manager 100, the physics world 400, the level's update 500), binds the camera to the render
// layers and seeds the lap tracker; Stop takes them off again, deletes the placed objects and
// every car and silences the sounds.
//
// Sound behaviour where a script could misuse them: Start does nothing after a failed load,
// on a stopped level (it has no player car) or while the level runs; StartRace begins the
// path list afresh; Stop may be called any number of times, leaves no task of the level in
// the scheduler's list and no followed car, and passes over special sounds that never loaded.
#include "game/CPLevel.h"

#include "Render/CPQuadTreeNode.h"
#include "Render/CPRender.h"
#include "Render/CPRenderBatcher.h"
#include "Sound/NSound.h"
#include "Sound/PSoundManager.h"
#include "core/CPCommandDispatcher.h"
#include "core/CPLog.h"
#include "core/CPObjUpdater.h"
#include "core/CPScheduler.h"
#include "core/FrameTime.h"
#include "game/CPAIManager.h"
#include "game/CPLevelBranch.h"
#include "game/CPLine.h"
#include "game/CPPhysicWorld.h"
#include "game/CPPlayer.h"
#include "game/CPRaceCamera.h"
#include "game/CPSpline.h"
#include "interface/CPGameData.h"
#include "interface/CPLensFlare.h"
#include "physics/RbRigidBody.h"
#include "scene/CPGameObject.h"
#include "scene/CPParticleManager.h"
#include "scene/CPSceneLoader.h"

#include <charconv>
#include <unordered_set>

namespace {

constexpr int32_t AiPriority = 100;
constexpr int32_t PhysicsPriority = 400;
constexpr int32_t UpdatePriority = 500;
constexpr int ShadowLayer = 16;
constexpr int IdentityLayer = 17;
constexpr float StartLevelTime = 600.0f;  // s
constexpr size_t RacingSlots = 5;
constexpr size_t FirstTrafficCar = 5;
constexpr float TrafficDropHeight = 3.0f;

// "%.2f" in the C locale.
std::string TwoDecimals(float value) {
    char text[64];
    const auto written = std::to_chars(text, text + sizeof(text), static_cast<double>(value), std::chars_format::fixed, 2);
    return std::string(text, written.ptr);
}

void Schedule(CPTask* task, int32_t priority) {
    task->Priority = priority;
    if (CPScheduler::Instance != nullptr) {
        CPScheduler::Instance->AddTask(CPtr<CPTask>(task));
    }
}

}  // namespace

void CPLevel::Start() {
    if (!Loaded || Player == nullptr) {
        CPLog::GetInstance().Write(0, "Level not started: %s\n", Loaded ? "it was stopped" : "it did not load");
        return;
    }
    if (UpdateTask != nullptr) {
        return;  // running already
    }
    PlaceToFinish = 0;
    RaceOver = false;
    FinishSlots = {-1, -1, -1};
    StepAccumulator = 0.0f;
    FrameTime = 0.0f;

    CPAIManager* ai = CPAIManager::Instance;
    if (ai != nullptr) {
        ai->Priority = AiPriority;
    }
    if (CPPhysicWorld* world = CPPhysicWorld::Instance) {
        Schedule(world, PhysicsPriority);
    }
    if (Camera != nullptr) {
        Camera->ApplyView1(CPCamera::SceneLayer);
        Camera->ApplyView2(CPCamera::FarLayer);
    }
    if (CPRender* render = CPRender::Instance) {
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        render->SetLayerMatrix(&identity.m[0][0], IdentityLayer);
        // Shadows of the scene layer fall on the ground plane z = 0.
        const D3DXVECTOR4 light(SunLight.Direction.x, SunLight.Direction.y, SunLight.Direction.z, 0.0f);
        const D3DXPLANE ground(0.0f, 0.0f, -1.0f, 0.0f);
        D3DXMATRIX shadow;
        D3DXMatrixShadow(&shadow, &light, &ground);
        render->SetLayerMatrix(&shadow.m[0][0], ShadowLayer);
    }
    UpdateTask = new CPObjUpdater(this, &CPLevel::Update);
    Schedule(UpdateTask.Get(), UpdatePriority);
    ++Starts;
    if (ai != nullptr) {
        Schedule(ai, AiPriority);
    }

    Stopped = false;
    Player->Activate(ScenePriority);
    if (LevelObject != nullptr) {
        LevelObject->Activate(ScenePriority);
    }
    NextBeacon = Beacons.begin();
    LevelTime = StartLevelTime;

    CPGameData* game = CPGameData::Instance;
    if (CPCommandDispatcher* dispatcher = CPCommandDispatcher::Instance) {
        dispatcher->SendCommandByName("gamemenu", "set_money", TwoDecimals(game != nullptr ? game->Money : 0.0f));
        dispatcher->SendCommandByName("gamemenu", "init_game_interface", "");
    }
    if (game != nullptr) {
        if (game->CurrentRound >= 1) {
            const auto round = static_cast<size_t>(game->CurrentRound - 1);
            if (round < game->LapTimes.size()) {
                game->LapTimes[round] = 0.0f;
            } else {
                game->LapTimes.push_back(0.0f);
            }
        }
        for (auto& [name, record] : game->LapRecords) {
            for (size_t lap = 0; lap < RacingSlots && lap < record.LapTimes.size(); ++lap) {
                record.LapTimes[lap] = game->RoundTime;
            }
        }
    }
    StartRace();
}

void CPLevel::StartRace() {
    PlayerLapProgress = 0;
    PathPoints.clear();
    if (CentrePath != nullptr && CentrePath->FirstLine != nullptr) {
        // Round the ring in the race direction; a chain that is no ring ends at its end.
        CPLine* first = CentrePath->FirstLine;
        CPLine* line = first;
        const size_t limit = CentrePath->Lines.size();
        do {
            PathPoints.push_back(line);
            line = Reversed ? line->Next : line->Prev;
        } while (line != nullptr && line != first && PathPoints.size() < limit);
    }
    PlayerLastPoint = FollowedCar != nullptr ? FindNearestPathPoint(FollowedCar->GetPosition()) : -1;
    FinishPoint = FindNearestPathPoint(FinishPosition);
    FinishDirection.z = 0.0f;
    PlayerLapProgress = 0;
    size_t slot = 0;
    for (const CPtr<CPPlayer>& car : Cars) {
        if (slot >= RacingSlots || slot >= AiLastPoint.size()) {
            break;
        }
        if (car == nullptr || (car->GetSideFlags() & CPPlayer::SideTraffic) != 0) {
            continue;
        }
        AiLastPoint[slot++] = FindNearestPathPoint(car->GetPosition());
    }
}

void CPLevel::LetGoOfLevelObjects() {
    if (CPRender* render = CPRender::Instance) {
        if (CPtr<CPRenderBatcher> batcher = render->GetDynamicBatcher()) {
            batcher->ForgetStatic();
        }
        // A level stopped or deleted mid-frame (by a script task) has meshes queued for this
        // frame's draw: that frame draws no scene rather than freed meshes.
        for (CPRenderBatcher* batcher : {render->StaticBatcher.Get(), render->DynamicBatcher.Get()}) {
            if (batcher != nullptr) {
                batcher->EndFrame();
            }
        }
    }
    // The game data's bonus list holds the race's bonus objects.
    if (CPGameData* data = CPGameData::Instance) {
        for (BonusEntry& entry : data->Bonuses) {
            entry.Bonus = nullptr;
        }
        data->Bonuses.clear();
    }
}

void CPLevel::DeletePlacedObjects() {
    // The batchers and the bonus list hold the objects: they let go first.
    LetGoOfLevelObjects();
    if (BranchRoot != nullptr) {
        BranchRoot->DeactivateDynamic();
        CPLevelBranch* tree = BranchRoot.Get();
        BranchRoot = nullptr;
        delete tree;
    }
    QuadTree.reset();
    // Zones and checkpoints stay with the level until it goes.
    std::unordered_set<CPGameObject*> kept;
    for (const CPtr<CPGameObject>& zone : Zones) kept.insert(zone.Get());
    for (const CheckpointEntry& checkpoint : Checkpoints) kept.insert(checkpoint.Object.Get());
    // The list lets go before the trees go.
    std::vector<CPGameObject*> objects;
    for (const CPtr<CPGameObject>& object : Objects) objects.push_back(object.Get());
    Objects.clear();
    std::unordered_set<CPGameObject*> deleted;
    for (CPGameObject* object : objects) {
        if (object == nullptr) {
            continue;
        }
        object->Deactivate();
        if (!kept.contains(object) && deleted.insert(object).second) {
            CPSceneLoader::DeleteObject(object);
        }
    }
}

void CPLevel::Stop() {
    TrafficActive = false;
    if (LevelObject != nullptr) {
        LevelObject->Deactivate();
    }
    // The paths stay with the level (only the lap tracker's view of them goes).
    PathPoints.clear();
    AiLastPoint.clear();
    AiLapProgress.clear();
    RaceStarted = false;

    DeletePlacedObjects();
    DeleteCars();

    if (CPAIManager* ai = CPAIManager::Instance) {
        ai->Reset();
        ai->Stop();
    }
    if (CPPhysicWorld* world = CPPhysicWorld::Instance) {
        world->Stop();
    }
    DeleteTree(GhostCar);
    StopUpdateTask();
    Stopped = true;
    LensFlare = nullptr;

    if (CPParticleManager* particles = CPParticleManager::Instance) {
        particles->Clear();
    }
    if (CPGameData::Instance != nullptr) {
        CPGameData::Instance->LevelStarted = false;
    }
    if (CPSoundManager* sounds = CPSoundManager::Instance) {
        for (auto& [name, sound] : sounds->SpecialSounds) {
            if (sound != nullptr) {
                sound->Stop();
                sound->Rewind();
            }
        }
    }
    for (CNSound* sound : CNSound::AllSounds) {
        sound->Stop();
    }
    if (CPRender::Instance != nullptr) {
        CPRender::Instance->ReleaseMeshBuffers();
    }
}

void CPLevel::ResetCars() {
    if (CPAIManager* ai = CPAIManager::Instance) {
        ai->TrafficEnabled = ai->TrafficCount != 0;
    }
    TrafficActive = true;
    for (size_t i = FirstTrafficCar; i < Cars.size(); ++i) {
        CPPlayer* car = Cars[i].Get();
        if (car == nullptr) {
            continue;
        }
        car->Collision = true;
        car->SetVisible(true);
        RbRigidBody* body = car->Physics != nullptr ? car->Physics->RigidBody : nullptr;
        if (body != nullptr) {
            const RbVector zero{};
            body->SetForce(zero, zero);
            body->SetTorque(zero);
            body->SetAngularMomentum(zero);
            body->SetVelocity(zero);
        }
        const D3DXVECTOR3 position = car->GetPosition();
        car->SetPosition(D3DXVECTOR3(position.x, position.y, TrafficDropHeight));
        car->UpdateTransform();
        if (body != nullptr) {
            body->SetBodyFlag(1);
        }
    }
}
