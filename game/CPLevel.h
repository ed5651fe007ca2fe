// The race level: the one object that owns everything of a race in progress — the placed
// scenery, the three driving paths, checkpoints and beacons, enemy sources, the spatial tree,
// the sun light (in its renderer-side base) and every flag and counter of the race rules. At
// most one level is current, reached through CPLevel::Current; scripts create, load, start,
// stop and delete it.
//
// The level file is read in two steps: LevelFile turns its bytes into a layout without a scene
// (game/LevelFile.h), and ApplyLevelData builds the paths and takes over what needs no renderer.
// Nothing half-read stays: a file that is refused leaves the level as it was.
//
// The level owns its paths, tree, quadtree, update task, camera and cars, and the object trees
// it placed; it frees them when it is deleted, after stopping the race when it still runs.
#pragma once

#include "Render/CPLevelSun.h"
#include "core/CPtr.h"
#include "interface/CampaignRecords.h"
#include "platform/d3dx/D3DXMath.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CPBeaconPointer;
class CPCamera;
class CPGameObject;
class CPLensFlare;
class CPObject;
class CPLevelBranch;
class CPLine;
class CPObject;
class CPObjUpdater;
class CPPlayer;
class CPQuadTreeNode;
class CPSpline;
struct LevelCarStart;
struct CPPickInfo;
struct LevelLayout;
struct LevelPlacedObject;

class CPLevel : public CPLevelSun {
public:
    // The values of one camera parameter set, read from the player car's description. The
    // divisors start at 10 and never become 0.
    struct CameraSet {
        float Distance = 7.0f;
        float Height = 2.0f;
        float Angle = 0.0f;
        float AngleDiv = 10.0f;
        float DistanceDiv = 10.0f;
        float Blur = 0.0f;
    };
    enum class CameraValue { Distance, Height, Angle, AngleDiv, DistanceDiv, Blur };
    static constexpr int CameraSetCount = 3;  // "camera", "camera2", "camera3"

    struct BeaconEntry {
        std::string Key;  // the digits of the object name
        int32_t Number = 0;
        CPtr<CPGameObject> Object;  // loaded hidden
    };
    struct CheckpointEntry {
        CPtr<CPGameObject> Object;
        float Time = 0.0f;  // seconds granted on reaching it
    };

    static constexpr size_t SourceBuckets = 100;
    static constexpr size_t TrackedCars = 20;  // slots of AiLastPoint and AiLapProgress
    static constexpr float FullLevelSize = 3000.0f;
    static constexpr int32_t ScenePriority = 200;  // the level's objects and cars are activated at it

    // The current level, or null.
    static CPLevel* Current;
    // Levels started (Start with a race to run) in this process: a watcher tells a new race
    // by it, also one started on the same level object or in the frame the last one ended.
    static uint64_t Starts;

    // Every field at its starting value; the level becomes current.
    CPLevel();
    ~CPLevel() override;

    virtual std::string GetTypeName() const { return "CPLevel"; }

    // A new level that becomes current. A level already current is deleted first (which stops
    // its update task), so no level is left behind unowned.
    static CPLevel* CreateCurrent();

    // Reads "Data\Levels\" + name + ".lvl" (unscrambled) and applies it with ApplyLevelData.
    // False, with the reason in the log, when the file cannot be read or is refused.
    bool ReadLevelFile(const std::string& name, LevelLayout& layout);
    // Parses a level file's bytes in the level's SingleMode and TimeMode, builds "c_path",
    // "left" and "right" and takes over the enemy sources, the paths, the start line
    // (FinishDirection, FinishPosition), PathLineHint and LevelSize. The layout keeps what the
    // loader still places (objects, beacons, car starts). False with the reason, and nothing
    // changed, when the bytes are refused or a named path fills no piece.
    bool ApplyLevelData(const uint8_t* data, size_t size, LevelLayout& layout, std::string& problem);

    // Loads one "chk" beacon from baseName ("chk" + key + separator + object name) through the
    // scene loader: hidden, at (x, y, z) with the stored rotation conjugated back, appended to
    // Beacons. Nothing without an object name or when nothing loads.
    void LoadObject(const std::string& baseName, float x, float y, float z, float qx, float qy, float qz, float qw);

    void SetPlayerModel(const std::string& model) { PlayerModel = model; }
    // The game data's race timer back to 0 (nothing without game data).
    static void ResetRaceTimer();
    // Stores one value of a camera set (0..2) as the car description gives it. A divisor of 0
    // and a value that is not finite are refused (false), as is a set or value the set lacks
    // ("camera3" has only distance, height and blur).
    bool SetCameraValue(int set, CameraValue which, float value);
    // AiLastPoint and AiLapProgress: TrackedCars zeros each; no car's point is known yet.
    void ResetLapSlots();
    // For an object drawn as a plain mesh, bakes m into the vertices of its render object and of
    // its level-of-detail substitutes; then the same for every child.
    void ApplyToTree(CPtr<CPGameObject> object, const D3DXMATRIX& m);
    // Stops the update task when it runs, takes it off the scheduler and frees it.
    void StopUpdateTask();

    // Loading, start and stop of a race (CPLevel_Load.cpp, CPLevel_Start.cpp) and the race
    // camera's parameter sets (CPRaceCamera.cpp).
    //
    // Reads "Data\Levels\" + name + ".lvl" and builds the race: placed objects, beacons,
    // checkpoints, zones, the level's object, the ground and road physics, the physics
    // world's terrain and simulator, the spatial tree, the computer cars and the player's car
    // with their bodies, the camera and its sets. What an earlier load built goes first (a
    // running level is stopped). False, with the reason in the log and nothing built, when
    // the file cannot be read or lacks what a race needs.
    bool Load(const std::string& name, bool singleMode, bool timeMode);
    // Schedules the physics world (400), the level's update (500) and the AI manager (100),
    // binds the camera's views to the render layers, tells "gamemenu" the money and to build
    // the race interface and seeds the lap tracker. Nothing after a failed load, without a
    // player car (a stopped level) or while the level runs.
    void Start();
    // The lap tracker's first state from the paths and the cars' places.
    void StartRace();
    // Ends the race: the three tasks stopped, the placed objects and every car deleted (each
    // car's vehicle model before its node tree), sounds silenced. Harmless when repeated.
    void Stop();
    // (ResetCars, below with the cars: the traffic cars, index 5 on, back on the ground at
    // rest.)
    // The side flags a computer car gets from its name: that of its model in the car-name
    // table (its name without the trailing digits), 0 for a name outside it.
    static uint32_t ComputerCarSide(const std::string& carName);
    CPSpline* GetLeftPath() const { return LeftPath.Get(); }
    CPSpline* GetRightPath() const { return RightPath.Get(); }
    // Whether the last Load built a race.
    bool IsLoaded() const { return Loaded; }

    CPSpline* GetPathSpline() const { return CentrePath.Get(); }
    int32_t GetLevelNumber() const { return LevelNumber; }

    CPtr<CPGameObject> GhostCar;
    float RaceClock = 0.0f;
    float LastGhostSampleTime = 0.0f;
    int32_t GhostReplayIndex = 0;
    int32_t CameraMode = 0;  // 0 "camera", 1 "camera2", 2 "camera3"
    CPtr<CPLensFlare> LensFlare;
    std::array<CameraSet, CameraSetCount> CameraSets;
    float CameraAngle = 0.0f;
    bool DemoMode = true;
    std::string PlayerModel = "hauler_";
    uint32_t LastClockMs = 0;  // wall clock of the previous update, ms (it wraps)
    CPtr<CPSpline> CentrePath;  // "c_path", owned
    CPtr<CPSpline> LeftPath;    // "left", owned
    CPtr<CPSpline> RightPath;   // "right", owned
    bool LevelFailedSent = false;
    std::unordered_map<std::string, D3DXVECTOR3> Sources;  // enemy source positions by type
    std::list<BeaconEntry> Beacons;
    std::list<BeaconEntry>::iterator NextBeacon;
    CPtr<CPGameObject> ShownBeacon;
    CPtr<CPObjUpdater> UpdateTask;  // owned
    CPtr<CPGameObject> LevelObject;
    CPtr<CPGameObject> RoadPhysics;
    CPtr<CPGameObject> Terrain;
    CPtr<CPLevelBranch> BranchRoot;  // owned
    std::unique_ptr<CPQuadTreeNode> QuadTree;
    std::list<CPtr<CPGameObject>> Objects;  // placed objects in file order, owned
    D3DXVECTOR2 LevelSize{10.0f, 10.0f};
    float LevelTime = 0.0f;
    float FollowedSpeed = 0.0f;
    float CameraDistance = 7.0f;
    float CameraHeight = 2.0f;
    float CameraAngleDiv = 10.0f;
    float CameraDistanceDiv = 10.0f;
    int32_t LevelNumber = 0;
    CPPlayer* FollowedCar = nullptr;
    bool ShotRequest = false;
    float FollowedHeading = 0.0f;
    D3DXVECTOR3 FollowedForward;
    int32_t CameraKind = 0;  // 0 chase, 1 orbit, 2 front view, 3 chase
    float DemoTimer = 0.0f;
    CPLine* PathLineHint = nullptr;  // search hint into CentrePath
    bool TrafficActive = true;
    std::vector<CPLine*> PathPoints;
    std::vector<int32_t> AiLastPoint;
    std::vector<int32_t> AiLapProgress;
    bool RaceStarted = false;
    int32_t PlayerLastPoint = 0;
    int32_t PlayerLapProgress = 0;
    int32_t FinishPoint = 0;
    D3DXVECTOR3 FinishDirection;  // left start post minus right start post
    D3DXVECTOR3 FinishPosition;   // midpoint of the start posts
    std::array<int32_t, 3> FinishSlots{-1, -1, -1};
    bool RaceOver = false;
    float FastCooldown = 0.0f;
    bool TimeMode = false;
    std::string RecordName;
    bool SingleMode = false;
    float OrbitTime = 0.0f;
    bool GameOverSent = false;
    float PathHeading = 0.0f;
    bool Reversed = false;
    std::list<CPtr<CPGameObject>> Zones;  // nitro refill zones (also in Objects)
    int32_t PlaceToFinish = 0;
    std::vector<CheckpointEntry> Checkpoints;  // also in Objects
    float CheckpointTimeLeft = 0.0f;
    int32_t LastCheckpoint = -1;
    int32_t CheckpointCount = 0;
    float Fov1 = 50.0f;
    float Fov2 = 50.0f;
    bool Stopped = false;
    float StepAccumulator = 0.0f;

    // The race rules: the per-update race (CPLevel_Update.cpp), the lap tracker
    // (CPLevel_Progress.cpp), the ray, sphere and wrong-way queries (CPLevel_Queries.cpp) and
    // the camera feed with the demo director (CPLevel_CameraFeed.cpp).
    static constexpr float FixedStep = 1.0f / 60.0f;  // s, the player car's logic step
    static constexpr int32_t OpponentCount = 5;        // Cars tracked, positioned and always driven
    static constexpr int32_t PlayerSlotId = 10;        // the player in FinishSlots
    // One update of a running race; FrameTime is its step.
    void Update();
    // The lap tracker, then the lap time and race timer while RaceStarted.
    void Step();
    void UpdateLapProgress();
    // Index of the PathPoints entry whose centre is nearest position on the ground, the later
    // of equally near ones; -1 when none lies within about 316.2 units.
    int32_t FindNearestPathPoint(const D3DXVECTOR3& position) const;
    // Ray picks: the tree and, near the player, the loose objects (CrossInterfaceRay also the
    // player's car); CrossObjectRay the cars. HitPoint ends at the nearest hit.
    bool CrossPlayerRay(CPPickInfo& pick);
    bool CrossInterfaceRay(CPPickInfo& pick);
    bool CrossObjectRay(CPPickInfo& pick);
    // The followed car points more than about 90 degrees away from the race direction.
    bool IsPlayerMovingBackwards() const;
    void UpdatePlayerWeapons(const D3DXVECTOR3& position, CPtr<CPGameObject> car);
    void StopTraffic() { TrafficActive = false; }
    // Appends the objects whose collision bounds touch the sphere: the tree's, the player's
    // car, and near the player the loose objects.
    void CollectObjectsInSphere(const D3DXVECTOR3& centre, float radius, std::list<CPtr<CPGameObject>>& out);
    // Demo mode: every 1.5 s a random camera kind or mode.
    void RunDemoDirector(float dt);
    // The followed car's state into the camera, before and after the cars move.
    void FeedCameraBeforeCars();
    void FeedCameraAfterCars();

    std::vector<GhostSample> GhostSamples;  // the run being recorded in time mode
    // Whether PlayerLastPoint / AiLastPoint[k] hold a point found by the tracker; until then a
    // car's first step only records its point.
    bool PlayerPointKnown = false;
    std::array<bool, TrackedCars> AiPointKnown{};
    // Makes one of the player car's camera sets (0..2) the active one; other modes are only
    // stored.
    void SetCameraMode(int mode);
    // The cars and the race camera, and putting traffic back on the ground (read by the car
    // logic and the respawn).
    CPtr<CPCamera> Camera;
    CPtr<CPPlayer> Player;
    std::vector<CPtr<CPPlayer>> Cars;  // opponents first, then traffic
    CPCamera* GetCamera() const { return Camera.Get(); }
    void ResetCars();
    // The on-screen pointer to the shown checkpoint beacon (null: the level has none).
    CPtr<CPBeaconPointer> BeaconPointer;

    // Objects the scripts made that live as long as the level (their lightning bolts, the
    // objects they load or clone: bonuses, props), deleted on unload; a scene object goes
    // with its whole tree (CPSceneLoader::DeleteObject).
    std::vector<std::unique_ptr<CPObject>> ScriptObjects;

private:
    void DeletePaths();
    // Parts of Update, in its order.
    void EvaluateRaceResult();
    void CountDownCheckpoint(float dt);
    void StepComputerCars(float dt);
    void RefillNitro(float dt);
    void HandleCheckpoints();
    void UpdateGhost();
    void DrawRace();
    void PlaceLensFlare();
    // Enters id into the first empty finishing slot unless it stands in one already.
    void EnterFinishSlot(int32_t id);
    // Loading steps (CPLevel_Load.cpp).
    void PlaceObject(const LevelPlacedObject& record, std::vector<CPtr<CPGameObject>>& placed);
    void LoadGround(const std::string& name);
    void LoadRoadPhysics();
    void BuildSpatialTree(std::vector<CPtr<CPGameObject>>& placed);
    void CreateComputerCar(size_t index, const LevelCarStart& start, const std::string& levelName);
    void CreatePlayerCar(const LevelCarStart& start);
    void ReadCameraSets(const CPGameObject& body);
    // ShadowMatrix := the projection along the sun onto the plane z = 0.5.
    static void SetShadowMatrix(const D3DVECTOR& sun);
    // Deletes the tree and nulls the pointer.
    static void DeleteTree(CPtr<CPGameObject>& tree);
    // Deletes a car: its vehicle model, its body's rigid body, then its node tree.
    static void DeleteCar(CPPlayer* car);
    // Every car once (Cars and Player), nulling Cars, Player and FollowedCar first.
    void DeleteCars();
    // Everything a load built, deleted (the level is stopped first when it runs).
    void Unload();
    // Deletes the spatial tree and, of the placed objects, those no zone or checkpoint keeps.
    void DeletePlacedObjects();
    // Whatever outside the level holds its objects lets go of them before they are deleted:
    // the dynamic batcher's remembered static meshes, both batchers' blocks queued for this
    // frame, and the game data's bonus list.
    static void LetGoOfLevelObjects();
    bool Loaded = false;
};

CPLevel* GetCurrentLevel();

// out = a + (b - a)·t per component.
D3DXVECTOR3* LerpVector(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b, float t);

// A flame thrower particle as the particle effect hands it to the hit test: only these fields
// are read or written.
struct FlameParticle {
    D3DXVECTOR3 Position;          // now
    D3DXVECTOR3 PreviousPosition;  // at its previous update
    uint8_t Unused[40];
    float Radius = 0.0f;           // of the sphere query
    float Hit = 0.0f;              // FlameHit when it touched something
};
static_assert(offsetof(FlameParticle, PreviousPosition) == 12 && offsetof(FlameParticle, Radius) == 64 &&
                  offsetof(FlameParticle, Hit) == 68,
              "the particle effect's layout");
constexpr float FlameHit = 1000.0f;

// The flame thrower's per-particle callback (a CPParticleCallback): what the particle's sphere
// and its last movement touch goes into the shooting car's FlameObjects.
void FlameHitTest(CPObject* shooter, void* particle);
