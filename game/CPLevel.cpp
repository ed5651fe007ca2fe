#include "game/CPLevel.h"

#include "Render/CPQuadTreeNode.h"
#include "Render/CPRenderObject.h"
#include "core/CPFileReader.h"
#include "core/CPLog.h"
#include "core/CPObjUpdater.h"
#include "core/CPScheduler.h"
#include "game/CPBeaconPointer.h"
#include "game/CPCar.h"
#include "game/CPPhysicWorld.h"
#include "game/CPPlayer.h"
#include "game/CPRaceCamera.h"
#include "game/CPShot.h"
#include "game/CPLevelBranch.h"
#include "game/CPPlayer.h"
#include "game/CPRaceCamera.h"
#include "game/CPSpline.h"
#include "game/CPPlayer.h"
#include "game/CPRaceCamera.h"
#include "game/LevelFile.h"
#include "interface/CPGameData.h"
#include "interface/CPLensFlare.h"
#include "platform/win32/Clock.h"
#include "scene/CPGameObject.h"
#include "scene/CPSceneLoader.h"

#include <cmath>
#include <tuple>
#include <unordered_set>
#include <utility>

CPLevel* CPLevel::Current = nullptr;
uint64_t CPLevel::Starts = 0;

CPLevel* GetCurrentLevel() { return CPLevel::Current; }

namespace {

// Deletes a spline the level owned.
void DeleteSpline(CPtr<CPSpline>& spline) {
    CPSpline* doomed = spline.Get();
    spline = nullptr;
    delete doomed;
}

}  // namespace

CPLevel::CPLevel() : Sources(SourceBuckets), NextBeacon(Beacons.end()) {
    Current = this;
    CPLevelSun::Current = this;
    LastClockMs = timeGetTime();
    ResetLapSlots();
}

CPLevel::~CPLevel() {
    // A level deleted while it runs takes its tasks off first.
    if (UpdateTask != nullptr) {
        Stop();
    }
    Unload();
    if (Current == this) {
        Current = nullptr;
    }
    if (CPLevelSun::Current == this) {
        CPLevelSun::Current = nullptr;
    }
}

void CPLevel::DeleteCar(CPPlayer* car) {
    if (car == nullptr) {
        return;
    }
    car->Deactivate();
    // The vehicle model lets go of the rigid body's controller while the body is still there.
    CPCar* model = car->GetCar();
    car->Car = nullptr;
    delete model;
    if (CPPhysicWorld* world = CPPhysicWorld::Instance; world != nullptr && car->Physics != nullptr) {
        world->DeactivateObject(CPtr<CPGameObject>(car));
        world->RemoveBody(car->Physics);
    }
    CPSceneLoader::DeleteObject(car);
}

void CPLevel::DeleteCars() {
    // Each once: the player's car is also among Cars in demo mode.
    std::unordered_set<CPPlayer*> cars;
    for (const CPtr<CPPlayer>& car : Cars) {
        cars.insert(car.Get());
    }
    cars.insert(Player.Get());
    cars.erase(nullptr);
    Cars.clear();
    Player = nullptr;
    FollowedCar = nullptr;
    for (CPPlayer* car : cars) {
        DeleteCar(car);
    }
}

void CPLevel::Unload() {
    StopUpdateTask();
    // The batchers and the bonus list let go before the objects the scripts made are deleted.
    LetGoOfLevelObjects();
    // A loaded or cloned object goes whole: its children, render objects and physics data. A
    // shot (a script's lightning bolt) owns its parts and frees them itself.
    for (std::unique_ptr<CPObject>& object : ScriptObjects) {
        if (auto* tree = dynamic_cast<CPGameObject*>(object.get()); tree != nullptr && !dynamic_cast<CPShot*>(tree)) {
            object.release();
            CPSceneLoader::DeleteObject(tree);
        }
    }
    ScriptObjects.clear();
    DeleteCars();
    CPCamera* camera = Camera.Get();
    Camera = nullptr;
    delete camera;

    QuadTree.reset();
    CPLevelBranch* tree = BranchRoot.Get();
    BranchRoot = nullptr;
    delete tree;
    DeletePaths();

    // The placed trees, each once: zones, checkpoints and the shown beacon are also listed
    // elsewhere.
    std::vector<CPGameObject*> trees;
    std::unordered_set<CPGameObject*> seen;
    auto take = [&](const CPtr<CPGameObject>& object) {
        if (object && seen.insert(object.Get()).second) {
            trees.push_back(object.Get());
        }
    };
    for (const CPtr<CPGameObject>& object : Objects) take(object);
    for (const CPtr<CPGameObject>& object : Zones) take(object);
    for (const CheckpointEntry& checkpoint : Checkpoints) take(checkpoint.Object);
    for (const BeaconEntry& beacon : Beacons) take(beacon.Object);
    take(ShownBeacon);
    take(LevelObject);
    take(RoadPhysics);
    take(Terrain);
    take(GhostCar);
    Objects.clear();
    Zones.clear();
    Checkpoints.clear();
    Beacons.clear();
    NextBeacon = Beacons.end();
    ShownBeacon = nullptr;
    LevelObject = nullptr;
    RoadPhysics = nullptr;
    Terrain = nullptr;
    GhostCar = nullptr;
    for (CPGameObject* object : trees) {
        CPSceneLoader::DeleteObject(object);
    }
    Loaded = false;
}

CPLevel* CPLevel::CreateCurrent() {
    delete Current;
    return new CPLevel();
}

void CPLevel::DeletePaths() {
    PathLineHint = nullptr;
    PathPoints.clear();
    DeleteSpline(CentrePath);
    DeleteSpline(LeftPath);
    DeleteSpline(RightPath);
}

void CPLevel::StopUpdateTask() {
    CPObjUpdater* task = UpdateTask.Get();
    if (task == nullptr) {
        return;
    }
    UpdateTask = nullptr;
    if (task->Running) {
        task->Stop();
    }
    if (CPScheduler::Instance != nullptr) {
        CPScheduler::Instance->Tasks.remove_if([task](const CPtr<CPTask>& listed) { return listed.Get() == task; });
    }
    delete task;
}

void CPLevel::ResetRaceTimer() {
    if (CPGameData::Instance != nullptr) {
        CPGameData::Instance->RaceTimer = 0.0f;
    }
}

void CPLevel::ResetLapSlots() {
    AiLastPoint.assign(TrackedCars, 0);
    AiLapProgress.assign(TrackedCars, 0);
    AiPointKnown.fill(false);
    PlayerPointKnown = false;
}

bool CPLevel::SetCameraValue(int set, CameraValue which, float value) {
    if (set < 0 || set >= CameraSetCount || !std::isfinite(value)) {
        return false;
    }
    const bool divisor = which == CameraValue::AngleDiv || which == CameraValue::DistanceDiv;
    if (divisor && value == 0.0f) {
        return false;
    }
    // The third set carries distance, height and blur only.
    if (set == 2 && which != CameraValue::Distance && which != CameraValue::Height && which != CameraValue::Blur) {
        return false;
    }
    CameraSet& values = CameraSets[static_cast<size_t>(set)];
    switch (which) {
        case CameraValue::Distance: values.Distance = value; break;
        case CameraValue::Height: values.Height = value; break;
        case CameraValue::Angle: values.Angle = value; break;
        case CameraValue::AngleDiv: values.AngleDiv = value; break;
        case CameraValue::DistanceDiv: values.DistanceDiv = value; break;
        case CameraValue::Blur: values.Blur = value; break;
    }
    return true;
}

bool CPLevel::ReadLevelFile(const std::string& name, LevelLayout& layout) {
    CPFileReader reader("Data\\Levels\\" + name + ".lvl", false);
    if (FAILED(reader.Load())) {
        CPLog::GetInstance().Write(0, "Level %s cannot be read\n", name.c_str());
        return false;
    }
    std::string problem;
    if (!ApplyLevelData(reader.GetData(), static_cast<size_t>(reader.GetLength()), layout, problem)) {
        CPLog::GetInstance().Write(0, "Level %s refused: %s\n", name.c_str(), problem.c_str());
        return false;
    }
    return true;
}

bool CPLevel::ApplyLevelData(const uint8_t* data, size_t size, LevelLayout& layout, std::string& problem) {
    LevelLayout parsed;
    if (!LevelFile::Parse(data, size, SingleMode, TimeMode, parsed, problem)) {
        return false;
    }
    // The named paths are built aside and taken over only when all of them are.
    auto build = [&](int index, std::unique_ptr<CPSpline>& spline) {
        if (index < 0) {
            return true;
        }
        const LevelPathRecord& path = parsed.File.Paths[static_cast<size_t>(index)];
        spline = std::make_unique<CPSpline>();
        if (!spline->Build(path)) {
            problem = "path \"" + path.Name + "\" fills no piece or is too long";
            return false;
        }
        return true;
    };
    std::unique_ptr<CPSpline> centre;
    std::unique_ptr<CPSpline> left;
    std::unique_ptr<CPSpline> right;
    if (!build(parsed.CentrePath, centre) || !build(parsed.LeftPath, left) || !build(parsed.RightPath, right)) {
        return false;
    }

    for (const std::string& refused : parsed.Refused) {
        CPLog::GetInstance().Write(0, "Level object %s left out\n", refused.c_str());
    }
    DeletePaths();
    CentrePath = centre.release();
    LeftPath = left.release();
    RightPath = right.release();
    PathLineHint = CentrePath->FirstLine;
    Sources.clear();
    for (const auto& [type, position] : parsed.Sources) {
        Sources[type] = position;
    }
    LevelSize = D3DXVECTOR2(FullLevelSize, FullLevelSize);
    // Without a start post the start line runs through the origin there.
    for (const auto& [has, post, name] : {std::tuple{parsed.HasLeftPost, &parsed.LeftPost, "stolb_start_left"},
                                          std::tuple{parsed.HasRightPost, &parsed.RightPost, "stolb_start_right"}}) {
        if (!has) {
            *post = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
            CPLog::GetInstance().Write(0, "Level has no start post %s: (0, 0, 0) taken\n", name);
        }
    }
    FinishDirection = parsed.LeftPost - parsed.RightPost;
    FinishPosition = (parsed.LeftPost + parsed.RightPost) * 0.5f;
    layout = std::move(parsed);
    return true;
}

void CPLevel::LoadObject(const std::string& baseName, float x, float y, float z, float qx, float qy, float qz,
                         float qw) {
    BeaconEntry entry;
    std::string objectName;
    if (!LevelFile::SplitBeaconName(baseName, entry.Key, entry.Number, objectName)) {
        CPLog::GetInstance().Write(0, "Beacon %s has no object name\n", baseName.c_str());
        return;
    }
    if (CPSceneLoader::Instance == nullptr) {
        return;
    }
    CPtr<CPGameObject> object = CPSceneLoader::Instance->LoadObject(objectName + ".rdf", 20);
    if (!object) {
        return;
    }
    object->SetVisible(false);
    object->SetPosition(D3DXVECTOR3(x, y, z));
    object->SetOrientation(D3DXQUATERNION(-qx, -qy, -qz, qw));
    object->UpdateTransform();
    entry.Object = object;
    Beacons.push_back(std::move(entry));
}

void CPLevel::ApplyToTree(CPtr<CPGameObject> object, const D3DXMATRIX& m) {
    if (!object) {
        return;
    }
    if (object->RenderKind == CPGameObject::RenderMesh) {
        if (auto* mesh = dynamic_cast<CPRenderObject*>(object->RenderObject.Get())) {
            mesh->TransformVertices(m);
        }
        for (size_t k = 1; k < object->LodLevels.size(); ++k) {
            const CPtr<CPGameObject>& substitute = object->LodLevels[k].first;
            if (!substitute) {
                continue;
            }
            if (auto* mesh = dynamic_cast<CPRenderObject*>(substitute->RenderObject.Get())) {
                mesh->TransformVertices(m);
            }
        }
    }
    for (const CPtr<CPGameObject>& child : object->Children) {
        ApplyToTree(child, m);
    }
}
