// Loading a level: from the level file to a race ready to start. The file's layout is read and
// checked whole first (ReadLevelFile), so a file that cannot be raced builds nothing; then the
// placed objects, beacons, the level's own object, the ground, the road physics with the
// physics world's terrain, the spatial tree, the computer cars, the player's car and the
// camera are built in this order.
//
// A car whose rdf names a description that cannot be read or parsed refuses the level: its
// values would silently be the defaults.
//
// What a race can do without is skipped with a log line: a placed object or beacon that does
// not load, the light and halo children a model hides, a car body without a mesh (its damage
// model), road physics without a render object (no terrain grid), a missing start post.
#include "game/CPLevel.h"

#include "Render/CPMaterialManager.h"
#include "Render/CPQuadTreeNode.h"
#include "Render/CPRender.h"
#include "Render/CPRenderBatcher.h"
#include "Render/CPRenderObject.h"
#include "core/CPBoundingBox.h"
#include "core/CPLog.h"
#include "core/ConfigVars.h"
#include "core/XmlFile.h"
#include "game/CPAIManager.h"
#include "game/CPBeaconPointer.h"
#include "game/CPCar.h"
#include "game/CPLevelBranch.h"
#include "game/CPPhysicWorld.h"
#include "game/CPPlayer.h"
#include "game/CPRaceCamera.h"
#include "game/CPSpline.h"
#include "game/CarDescription.h"
#include "game/CarNameTable.h"
#include "game/LevelFile.h"
#include "interface/CPGameData.h"
#include "platform/win32/Clock.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPAnimationParams.h"
#include "scene/CPGameObject.h"
#include "scene/CPSceneLoader.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cmath>
#include <optional>
#include <string>

namespace {

// Material type bases of the level's loads.
constexpr int32_t LevelObjectType = 0;
constexpr int32_t GroundType = 17;
constexpr int32_t RoadType = 19;
constexpr int32_t ObjectType = 20;
constexpr float StartLift = 2.0f;         // cars start this far above their start record
constexpr float GroundHeight = -0.6f;
constexpr float DetailRepeat = 0.2f;      // detail texture repeats per metre of ground
constexpr int32_t Opponents = 5;
constexpr float QuadTreeHalfHeight = 100.0f;

CPtr<CPGameObject> LoadTree(const std::string& file, int32_t type) {
    if (CPSceneLoader::Instance == nullptr) {
        return CPtr<CPGameObject>();
    }
    return CPSceneLoader::Instance->LoadObject(file, type);
}

// The brand of the computer cars of a level by its name; empty for other names.
std::string BrandOfLevel(const std::string& name) {
    static constexpr std::array<const char*, 10> Brands = {"kestrel", "adder",   "pleiad",  "nimbus", "pleiad",
                                                           "nimbus",  "drifter", "drifter", "adder",  "kestrel"};
    for (size_t i = 0; i < Brands.size(); ++i) {
        if (name == "level" + std::to_string(i + 1)) {
            return Brands[i];
        }
    }
    return std::string();
}

CPRenderObject* MeshOf(CPGameObject& node) {
    return node.RenderKind == CPGameObject::RenderMesh ? dynamic_cast<CPRenderObject*>(node.RenderObject.Get())
                                                       : nullptr;
}

// A description's number as an int, truncated toward zero and kept within the int range.
int32_t TruncatedInt(float value) {
    constexpr float Limit = 2147483520.0f;  // the largest float below 2^31
    return static_cast<int32_t>(std::clamp(value, -Limit, Limit));
}

void Hide(CPGameObject& body, const char* child, const std::string& model) {
    if (CPtr<CPGameObject> node = body.FindChild(child)) {
        node->SetVisible(false);
    } else {
        CPLog::GetInstance().Write(0, "Car %s has no child \"%s\" to hide\n", model.c_str(), child);
    }
}

// A new car node made from a loaded body, which is deleted after the copy.
CPPlayer* CopyBody(CPtr<CPGameObject>& body, const std::string& carName) {
    auto* car = new CPPlayer();
    car->CopyFrom(body);
    CPGameObject* loaded = body.Get();
    body = nullptr;
    CPSceneLoader::DeleteObject(loaded);
    car->SetCarName(carName);
    return car;
}

// Damage model on the car's mesh; a body without one is raced without dents.
void PrepareMesh(CPPlayer& car) {
    if (CPRenderObject* mesh = MeshOf(car)) {
        mesh->SetExcluded(false);
        mesh->InitDamageModel();
    } else {
        CPLog::GetInstance().Write(0, "Car %s has no mesh at its root: no damage model\n", car.CarName.c_str());
    }
}

// Rigid body and vehicle model; without a physics world the car stands as a scene object.
void AddCarBody(CPPlayer& car, bool withSound) {
    CPPhysicWorld* world = CPPhysicWorld::Instance;
    if (world == nullptr) {
        CPLog::GetInstance().Write(0, "No physics world: car %s gets no body\n", car.CarName.c_str());
        return;
    }
    world->ActivateObject(CPtr<CPGameObject>(&car));
    world->AddObject(CPtr<CPGameObject>(&car), true, 1);
    CPCar::Create(CPtr<CPGameObject>(&car), withSound);
}

}  // namespace

uint32_t CPLevel::ComputerCarSide(const std::string& carName) {
    return static_cast<uint32_t>(CarNameTable::SideOfCar(LevelFile::BaseName(carName)));
}

bool CPLevel::Load(const std::string& name, bool singleMode, bool timeMode) {
    // What an earlier load built goes first.
    if (UpdateTask != nullptr) {
        Stop();
    }
    Unload();
    ResetLapSlots();

    RaceClock = 0.0f;
    LastGhostSampleTime = 0.0f;
    GhostReplayIndex = 0;
    TimeMode = timeMode;
    SingleMode = singleMode;
    CPGameData* game = CPGameData::Instance;

    if (CPAIManager* ai = CPAIManager::Instance) {
        ai->TrafficCount = game != nullptr ? std::max(game->LevelTransportCount, 0) : 0;
        if (ai->TrafficCount == 0) {
            ai->TrafficEnabled = false;
        }
        ai->Reset();
        for (int32_t i = 0; i < Opponents; ++i) {
            ai->Opponents.emplace_back(new AI_Vehicle());
        }
        for (int32_t i = 0; i < ai->TrafficCount; ++i) {
            ai->Traffic.emplace_back(new AI_Vehicle());
        }
    }
    CrtSrand(timeGetTime());

    LevelNumber = 0;
    for (int32_t i = 1; i <= 10; ++i) {
        if (name == "level" + std::to_string(i)) {
            LevelNumber = i;
        }
    }
    // The ghost of the track record; a level outside the ten tracks has none.
    if (timeMode && LevelNumber >= 1 && game != nullptr) {
        const TrackRecord& record = game->Records[static_cast<size_t>(LevelNumber - 1)];
        if (!record.Name.empty()) {
            GhostCar = LoadTree(record.Name + "_.rdf", ObjectType);
        }
    }

    if (CPRender::Instance != nullptr) {
        CPRender::Instance->LoadSky(LevelNumber);
    }
    DemoMode = Cfg::rolling != 0;
    CrtSrand(timeGetTime());
    LevelFailedSent = false;

    LevelLayout layout;
    if (!ReadLevelFile(name, layout)) {
        DeleteTree(GhostCar);
        return false;
    }

    if (CPSceneLoader::Instance != nullptr) {
        CPSceneLoader::Instance->DefaultVertexColour = 0xFFFFFFFF;
    }
    Camera = new CPCamera();
    Camera->SetTargetDistance(7.0f);

    SunLight = D3DLIGHT9{};
    SunLight.Type = D3DLIGHT_DIRECTIONAL;
    SunLight.Diffuse = D3DCOLORVALUE{0.99609375f, 0.99609375f, 0.99609375f, 0.0f};
    SunLight.Specular = SunLight.Diffuse;
    SunLight.Direction = D3DVECTOR{0.0f, 0.0f, -1.0f};
    SunLight.Range = 10000.0f;

    if (CPRender* render = CPRender::Instance) {
        render->Ambient = 0xFF7F7F7F;
        render->AmbientColor = D3DCOLORVALUE{0.5f, 0.5f, 0.5f, 1.0f};
        render->SetDefaultStates();
    }
    SetShadowMatrix(SunLight.Direction);

    std::vector<CPtr<CPGameObject>> placed;
    for (const LevelPlacedObject& record : layout.Objects) {
        PlaceObject(record, placed);
    }
    for (const LevelBeacon& beacon : layout.Beacons) {
        LoadObject(beacon.BaseName, beacon.Position.x, beacon.Position.y, beacon.Position.z, beacon.Rotation.x,
                   beacon.Rotation.y, beacon.Rotation.z, beacon.Rotation.w);
    }
    // The on-screen pointer to the shown beacon, from our description (null without one).
    BeaconPointer = CPBeaconPointer::Load();
    CheckpointTimeLeft = 0.0f;
    LastCheckpoint = -1;
    CheckpointCount = 0;

    LevelObject = LoadTree(name + ".rdf", LevelObjectType);
    if (Cfg::plane != 0.0f) {
        LoadGround(name);
    }
    LoadRoadPhysics();
    BuildSpatialTree(placed);

    if (game != nullptr && !game->PlayerName.empty()) {
        SetPlayerModel(game->PlayerName);
    }
    for (size_t i = 0; i < layout.Cars.size(); ++i) {
        CreateComputerCar(i, layout.Cars[i], name);
    }
    CreatePlayerCar(layout.Player);
    // A car whose description does not load would race on default values and look like a
    // working race: the level is refused instead.
    std::vector<const CPPlayer*> cars = {Player.Get()};
    for (const CPtr<CPPlayer>& car : Cars) {
        cars.push_back(car.Get());
    }
    for (const CPPlayer* car : cars) {
        const TiXmlDocument& description = car->XmlDocument;
        const std::string problem = description.ValueStr().empty() ? std::string() : XmlFileProblem(description);
        if (!problem.empty()) {
            CPLog::GetInstance().Write(0, "Level %s refused: car %s: description %s: %s\n", name.c_str(),
                                       car->CarName.c_str(), description.Value(), problem.c_str());
            placed.clear();  // their objects go with the level's
            Unload();
            return false;
        }
    }

    FollowedCar = Player.Get();
    if (game != nullptr) {
        Player->SetSideFlags(static_cast<uint32_t>(game->PlayerType));
        if (game->CurrentRound >= 1) {
            const auto round = static_cast<size_t>(game->CurrentRound - 1);
            if (round < game->LapTimes.size()) {
                game->LapTimes[round] = 0.0f;
            } else {
                game->LapTimes.push_back(0.0f);
            }
        }
        game->CurrentRound = 1;
    }
    PathLineHint = CentrePath->FirstLine;
    if (CPRender* render = CPRender::Instance) {
        render->MotionBlur = 0;
        render->MotionBlurAmount = 0.0f;
        render->BlurAlpha = 255;
    }
    for (CPSpline* path : {CentrePath.Get(), LeftPath.Get(), RightPath.Get()}) {
        if (path != nullptr) {
            path->SnapToTerrain();
        }
    }
    Player->HumanDriven = true;
    Loaded = true;
    return true;
}

void CPLevel::DeleteTree(CPtr<CPGameObject>& tree) {
    CPGameObject* doomed = tree.Get();
    tree = nullptr;
    CPSceneLoader::DeleteObject(doomed);
}

void CPLevel::SetShadowMatrix(const D3DVECTOR& sun) {
    const D3DXVECTOR4 light(sun.x, sun.y, sun.z, 0.0f);
    const D3DXPLANE ground(0.0f, 0.0f, -1.0f, 0.5f);
    D3DXMatrixShadow(&ShadowMatrix, &light, &ground);
}

void CPLevel::PlaceObject(const LevelPlacedObject& record, std::vector<CPtr<CPGameObject>>& placed) {
    CPtr<CPGameObject> object = LoadTree(record.File, ObjectType);
    if (object == nullptr) {
        CPLog::GetInstance().Write(0, "Level object %s did not load\n", record.Name.c_str());
        return;
    }
    object->SetCastShadow(false);
    if (object->Physics == nullptr) {
        D3DXMATRIX scale;
        D3DXMatrixScaling(&scale, record.Scale.x, record.Scale.y, record.Scale.z);
        ApplyToTree(object, scale);
    }
    object->SetPosition(record.Position);
    object->SetOrientation(record.Orientation);
    object->UpdateTransform();
    object->SetStatic(true);
    if (object->Physics != nullptr && object->RenderKind == CPGameObject::RenderAnimatedMesh) {
        CPAnimationParams idle;
        idle.Name = "idle";
        idle.StartDelay = CrtRandUnit();
        idle.Speed = 0.8f + 0.4f * CrtRandUnit();
        object->SetAnimation(idle, false);
    }
    object->Activate(ScenePriority);
    object->Collision = true;
    Objects.push_back(object);
    placed.push_back(object);
    if (record.Zone) {
        Zones.push_back(object);
    }
    if (record.Checkpoint) {
        Checkpoints.push_back(CheckpointEntry{object, record.CheckpointTime});
    }
}

void CPLevel::LoadGround(const std::string& name) {
    Terrain = LoadTree("land.rdf", GroundType);
    if (Terrain == nullptr) {
        return;
    }
    CPRenderObject* mesh = MeshOf(*Terrain);
    if (mesh != nullptr && CPMaterialManager::Instance != nullptr) {
        mesh->SetMaterial(CPMaterialManager::Instance->GetMaterial(
            "terrain2.fx", {name + "\\color.dds", name + "\\detail1.dds"}, GroundType));
    }
    CPPhysicData* physics = Terrain->Physics.Get();
    Terrain->Physics = nullptr;
    delete physics;
    Terrain->SetVisible(true);
    Terrain->ScriptObject = nullptr;
    Terrain->SetStatic(true);
    if (mesh == nullptr) {
        CPLog::GetInstance().Write(0, "Ground land.rdf has no mesh at its root\n");
        return;
    }
    // One quad over the whole level.
    const float w = LevelSize.x;
    const float h = LevelSize.y;
    auto corner = [&](float x, float y, float u, float v, float u2, float v2) {
        CPVertex vertex{};
        vertex.Position = D3DXVECTOR3(x, y, GroundHeight);
        vertex.Normal = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
        vertex.Diffuse = 0xFFFFFFFF;
        vertex.Specular = 0;
        vertex.U = u;
        vertex.V = v;
        vertex.U2 = u2;
        vertex.V2 = v2;
        return vertex;
    };
    mesh->Vertices = {corner(-w / 2, -h / 2, 0, 0, 0, 0), corner(w / 2, -h / 2, 1, 0, DetailRepeat * w, 0),
                      corner(w / 2, h / 2, 1, 1, DetailRepeat * w, DetailRepeat * h),
                      corner(-w / 2, h / 2, 0, 1, 0, DetailRepeat * h)};
    mesh->WorldVertices = mesh->Vertices;
    mesh->Indices = {0, 1, 2, 0, 2, 3};
}

void CPLevel::LoadRoadPhysics() {
    char file[64];
    std::snprintf(file, sizeof(file), "road_phys%d.rdf", static_cast<int>(LevelNumber));
    RoadPhysics = LoadTree(file, RoadType);
    CPRenderObject* mesh = nullptr;
    if (RoadPhysics != nullptr) {
        RoadPhysics->SetCastShadow(false);
        if (RoadPhysics->Physics == nullptr) {
            D3DXMATRIX unit;
            D3DXMatrixScaling(&unit, 1.0f, 1.0f, 1.0f);
            ApplyToTree(RoadPhysics, unit);
            RoadPhysics->SetPosition(D3DXVECTOR3(0.0f, 0.0f, 0.0f));
            RoadPhysics->SetOrientation(D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f));
            RoadPhysics->UpdateTransform();
            RoadPhysics->SetVisible(true);
            RoadPhysics->ScriptObject = nullptr;
            RoadPhysics->SetStatic(true);
        }
        mesh = MeshOf(*RoadPhysics);
    }
    CPPhysicWorld* world = CPPhysicWorld::Instance;
    if (world == nullptr) {
        CPLog::GetInstance().Write(0, "No physics world: the level has no terrain\n");
        return;
    }
    if (mesh != nullptr) {
        world->BuildTriangleGrid(CPtr<CPRenderObject>(mesh));
    } else {
        CPLog::GetInstance().Write(0, "Road physics %s has no render object: the cars have no ground\n", file);
    }
    if (!world->CreateSimulator()) {
        CPLog::GetInstance().Write(0, "The physics world made no simulator\n");
    }
}

void CPLevel::BuildSpatialTree(std::vector<CPtr<CPGameObject>>& placed) {
    if (Cfg::quadlevels != 0) {
        QuadTree = std::make_unique<CPQuadTreeNode>();
        const float half = 0.5f * std::max(LevelSize.x, LevelSize.y);
        QuadTree->SetBounds(D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(half, half, QuadTreeHalfHeight));
        QuadTree->Build(placed, 0);
        // The level's static meshes go into the dynamic batcher's ring once.
        if (Cfg::staticGeometry != 0 && CPRender::Instance != nullptr) {
            if (CPtr<CPRenderBatcher> batcher = CPRender::Instance->GetDynamicBatcher()) {
                batcher->FillStatic(placed);
            }
        }
    } else {
        // The root's Build writes the static meshes itself under "static".
        BranchRoot = new CPLevelBranch();
        BranchRoot->Build(placed);
        BranchRoot->Split(0);
    }
}

void CPLevel::CreateComputerCar(size_t index, const LevelCarStart& start, const std::string& levelName) {
    const std::string brand = SingleMode ? PlayerModel : BrandOfLevel(levelName);
    const std::string carName = brand + std::to_string(index + 1);
    CPtr<CPGameObject> body = LoadTree(carName + "_enemy.rdf", ObjectType);
    if (body == nullptr) {
        CPLog::GetInstance().Write(0, "Computer car %s did not load and is left out\n", carName.c_str());
        return;
    }
    CPPlayer* car = CopyBody(body, carName);
    car->SetPosition(start.Position + D3DXVECTOR3(0.0f, 0.0f, StartLift));
    car->SetOrientation(start.Orientation);
    car->UpdateTransform();
    car->Activate(ScenePriority);
    AddCarBody(*car, false);
    PrepareMesh(*car);
    car->AddShadow();
    // Computer cars race for the side of their model (none for names outside the table).
    car->SetSideFlags(ComputerCarSide(carName));
    const auto carIndex = static_cast<int32_t>(Cars.size());
    Cars.emplace_back(car);

    if (const TiXmlElement* camera = car->XmlDocument.FirstChildElement("camera")) {
        for (const auto& [attribute, which] : {std::pair{"distance", CameraValue::Distance},
                                               std::pair{"height", CameraValue::Height},
                                               std::pair{"angle", CameraValue::Angle}}) {
            if (const std::optional<float> value = ReadCarNumber(*camera, attribute)) {
                SetCameraValue(1, which, *value);
            }
        }
        if (const std::optional<float> value = ReadCarNumber(*camera, "min")) {
            car->AiLowerLimit = TruncatedInt(*value);
        }
        if (const std::optional<float> value = ReadCarNumber(*camera, "max")) {
            car->AiUpperLimit = TruncatedInt(*value);
        }
    }
    if (CPAIManager* ai = CPAIManager::Instance) {
        ai->SetTarget(carIndex, 0, CentrePath != nullptr ? CentrePath->FirstLine : nullptr);
        ai->SetTarget(carIndex, 2, LeftPath != nullptr ? LeftPath->FirstLine : nullptr);
        ai->SetTarget(carIndex, 1, RightPath != nullptr ? RightPath->FirstLine : nullptr);
    }
}

void CPLevel::CreatePlayerCar(const LevelCarStart& start) {
    RecordName = PlayerModel;
    CPtr<CPGameObject> body = LoadTree(PlayerModel + (DemoMode ? "_enemy.rdf" : ".rdf"), ObjectType);
    // The race needs the player's car: without a body (not even the loader's stand-in) it is
    // an empty node.
    if (body == nullptr) {
        CPLog::GetInstance().Write(0, "Player car %s did not load: an empty car stands in\n", PlayerModel.c_str());
        body = new CPGameObject(PlayerModel);
    }
    if (PlayerModel == "rover") {
        Hide(*body, "light", PlayerModel);
    } else if (PlayerModel == "touring_wagon") {
        Hide(*body, "halo", PlayerModel);
        Hide(*body, "halo_blend", PlayerModel);
    }
    Player = CopyBody(body, PlayerModel);
    Player->Activate(ScenePriority);
    Player->SetPosition(start.Position + D3DXVECTOR3(0.0f, 0.0f, StartLift));
    Player->SetOrientation(start.Orientation);
    Player->UpdateTransform();
    PrepareMesh(*Player);
    if (DemoMode) {
        Cars.push_back(Player);
    }
    ReadCameraSets(*Player);
    if (CPGameData::Instance != nullptr) {
        Player->LoadCarRecords(*CPGameData::Instance);
    }
    AddCarBody(*Player, true);
    SetCameraMode(0);
    Camera->SetTargetDistance(CameraDistance);
    Player->AddShadow();
}

void CPLevel::ReadCameraSets(const CPGameObject& body) {
    struct Value {
        const char* Attribute;
        CameraValue Which;
    };
    static constexpr Value Values[] = {{"distance", CameraValue::Distance}, {"height", CameraValue::Height},
                                       {"angle", CameraValue::Angle},       {"angle_div", CameraValue::AngleDiv},
                                       {"distance_div", CameraValue::DistanceDiv}, {"blur", CameraValue::Blur}};
    static constexpr const char* Sets[CameraSetCount] = {"camera", "camera2", "camera3"};
    for (int set = 0; set < CameraSetCount; ++set) {
        const TiXmlElement* element = body.XmlDocument.FirstChildElement(Sets[set]);
        if (element == nullptr) {
            continue;
        }
        for (const Value& value : Values) {
            // The third set has distance, height and blur only (SetCameraValue refuses the rest).
            if (const std::optional<float> number = ReadCarNumber(*element, value.Attribute)) {
                SetCameraValue(set, value.Which, *number);
            }
        }
        if (set < 2) {
            if (const std::optional<float> fov = ReadCarNumber(*element, "fov")) {
                (set == 0 ? Fov1 : Fov2) = *fov;
            }
        }
    }
}
