// A race world step against Bullet's raycast vehicle: 8 cars driving circles on a
// 60 000-triangle terrain. Ours is the game's whole path: CPPhysicWorld's frame (its terrain
// grid answering the simulator's queries, the wheel sensors, CPCar's controller on every car,
// the poses written back to the nodes) with the drivers' inputs through the world; Bullet's is
// btRaycastVehicle on a BVH triangle mesh, the peer engine's own vehicle, its wheel rays
// leaving the car's own chassis out as a tuned set-up does. Each iteration
// steps both worlds by 1/60 s; x_baseline is our time per step over Bullet's. After the timed
// steps both worlds run on and must end alike (every car upright at its ride height over the
// terrain, driving at its cruising speed), or the benchmark fails.
//
// Matching settings: the same car (mass, wheel positions, spring and damper rates, 100 N of
// drive per wheel below a cruising speed of 8 m/s, front wheels steered by 0.16 rad, which is
// the game's 0.2 faded at that speed), Bullet's suspension rates divided by the mass as it
// expects them, its ray as long as our sensor line (rest length plus wheel radius). Grip
// models differ (ours a capped sideways force, Bullet's its tyre friction), so the circles
// differ a little; the work per step does not.
#include "bench/BaselineRatio.h"
#include "bench/BulletTerrain.h"
#include "bench/RollingTerrain.h"
#include "core/ConfigVars.h"
#include "core/FrameTime.h"
#include "game/CPCar.h"
#include "game/CPPhysicWorld.h"
#include "physics/RbSimulator.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicData.h"
#include "scene/CPSceneLoader.h"

#include <BulletDynamics/Vehicle/btRaycastVehicle.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr float Dt = 1.0f / 60.0f;
constexpr float Gravity = 9.8f;

// ---------------------------------------------------------------------------------------
// The terrain: bench/RollingTerrain.h.

using TerrainMesh = bench::RollingTerrain;
float Height(float x, float y) { return TerrainMesh::Height(x, y); }

TerrainMesh& Terrain() {
    static TerrainMesh mesh;
    return mesh;
}

// ---------------------------------------------------------------------------------------
// The car, as the game describes it: a jeep whose hull rides 0.35 m above the ground; nose
// along -y, roof along +z.

constexpr int Cars = 8;
constexpr float CarMass = 40.0f;
constexpr float HullX = 1.8f;
constexpr float HullY = 4.0f;
constexpr float HullZ = 0.4f;
constexpr float HalfTrack = 0.8f;
constexpr float HalfBase = 1.4f;
constexpr float Length = 0.7f;
constexpr float Radius = 0.35f;
constexpr float Spring = 650.0f;
constexpr float Damping = 150.0f;
constexpr float Drive = 100.0f;
constexpr float Cruise = 8.0f;
constexpr float Steer = 0.2f;
constexpr float FadedSteer = Steer * (1.0f - 0.025f * Cruise);
constexpr float RideDepth = CarMass * Gravity / (4.0f * Spring);

const char* const Description =
    "<physics><geometry><wheels count=\"4\" x=\"0\" y=\"0\" length=\"0.7\" radius=\"0.35\"/></geometry>"
    "<params><wheels spring1=\"650\" spring2=\"650\" damping=\"150\"/>"
    "<friction front=\"100\" back=\"240\" slide=\"0.9\"/>"
    "<acceleration front=\"100\" back=\"100\" brake=\"100\"/></params></physics>";

RbVector CarStart(int i) {
    const float x = -60.0f + 40.0f * static_cast<float>(i % 4);
    const float y = -40.0f + 60.0f * static_cast<float>(i / 4);
    return RbVec(x, y, Height(x, y) + Length - RideDepth + 0.05f);
}

// ---------------------------------------------------------------------------------------
// Our world: scene nodes with physics data and a CPCar each.

struct OurWorld {
    CPPhysicWorld World;
    std::vector<CPGameObject*> Bodies;
    std::vector<CPCar*> CarModels;

    OurWorld() {
        Cfg::weight_div = 1;
        FrameNumber = 0;
        TerrainMesh& t = Terrain();
        std::vector<D3DXVECTOR3> positions;
        for (const RbVector& v : t.Vertices) {
            positions.emplace_back(v.x, v.y, v.z);
        }
        const std::vector<uint16_t> indices(t.Indices.begin(), t.Indices.end());
        World.BuildTriangleGrid(positions, indices.data(), indices.size());
        World.CreateSimulator();
        for (int i = 0; i < Cars; ++i) {
            auto* body = new CPGameObject("car");
            const RbVector p = CarStart(i);
            body->Position = D3DXVECTOR3(p.x, p.y, p.z);
            for (int w = 0; w < 4; ++w) {
                CPtr<CPGameObject> wheel(new CPGameObject(std::string("w").append(std::to_string(w))));
                wheel->Position = D3DXVECTOR3(w % 2 == 0 ? -HalfTrack : HalfTrack, w < 2 ? -HalfBase : HalfBase, 0.0f);
                body->AddChild(wheel);
            }
            body->XmlDocument.Parse(Description);
            body->Physics = CPtr<CPPhysicData>(new CPPhysicData(body));
            // The description's order: size along x, height, size along y.
            body->Physics->SetShape(HullZ, HullX, HullY, CarMass);
            body->Physics->AddBox(D3DXVECTOR3(0, 0, 0), D3DXQUATERNION(0, 0, 0, 1), HullX, HullZ, HullY, CarMass);
            World.AddObject(CPtr<CPGameObject>(body), true, 1);
            World.ActivateObject(CPtr<CPGameObject>(body));
            CarModels.push_back(CPCar::Create(CPtr<CPGameObject>(body), false).Get());
            Bodies.push_back(body);
        }
    }
    ~OurWorld() {
        World.DestroySimulator();
        for (size_t i = 0; i < Bodies.size(); ++i) {
            Bodies[i]->Car = nullptr;
            delete CarModels[i];
            CPSceneLoader::DeleteObject(Bodies[i]);
        }
        Cfg::ResetDefaults();
    }
    // One frame of 1/60 s: the drivers' inputs, then the world's task step.
    void Step() {
        for (CPGameObject* body : Bodies) {
            const CPCar* car = static_cast<const CPCar*>(body->Car.Get());
            World.SetCarControls(CPtr<CPGameObject>(body), car->Speed < Cruise ? 1.0f : 0.0f, Steer);
        }
        ++FrameNumber;
        FrameTime = Dt;
        World.Update();
    }
    RbVector Position(size_t i) const { return CarModels[i]->GetRigidBody()->GetPosition(); }
    float Speed(size_t i) const { return RbLength(CarModels[i]->GetRigidBody()->GetVelocity()); }
    float Up(size_t i) const { return CarModels[i]->GetRigidBody()->Motion.Rotation.Rows[2].z; }
};

// ---------------------------------------------------------------------------------------
// Bullet's world: a BVH triangle mesh for the terrain and a btRaycastVehicle per car.

// btDefaultVehicleRaycaster's cast, with the car's own chassis left out of the ray test as
// a tuned set-up leaves it: the wheel's ray starts inside the hull.
class ChassisRaycaster final : public btVehicleRaycaster {
public:
    ChassisRaycaster(btDynamicsWorld& world, const btCollisionObject& chassis) : World(world), Chassis(chassis) {}
    void* castRay(const btVector3& from, const btVector3& to, btVehicleRaycasterResult& result) override {
        bench::RayPastOwnBody ray(from, to, &Chassis);
        World.rayTest(from, to, ray);
        if (!ray.hasHit()) {
            return nullptr;
        }
        const btRigidBody* body = btRigidBody::upcast(ray.m_collisionObject);
        if (body == nullptr || !body->hasContactResponse()) {
            return nullptr;
        }
        result.m_hitPointInWorld = ray.m_hitPointWorld;
        result.m_hitNormalInWorld = ray.m_hitNormalWorld.normalized();
        result.m_distFraction = ray.m_closestHitFraction;
        return const_cast<btRigidBody*>(body);
    }

private:
    btDynamicsWorld& World;
    const btCollisionObject& Chassis;
};

struct BulletWorld : bench::BulletTerrainWorld {
    btBoxShape* Hull = nullptr;
    std::vector<std::unique_ptr<ChassisRaycaster>> Raycasters;
    std::vector<std::unique_ptr<btRaycastVehicle>> Vehicles;

    BulletWorld() : BulletTerrainWorld(Terrain(), Gravity) {
        Hull = AddBox(btVector3(HullX / 2, HullY / 2, HullZ / 2));
        btVector3 inertia;
        Hull->calculateLocalInertia(CarMass, inertia);
        btRaycastVehicle::btVehicleTuning tuning;
        // Bullet's rates are per unit of chassis mass.
        tuning.m_suspensionStiffness = Spring / CarMass;
        tuning.m_suspensionDamping = Damping / CarMass;
        tuning.m_suspensionCompression = Damping / CarMass;
        tuning.m_frictionSlip = 2.0f;
        for (int i = 0; i < Cars; ++i) {
            const RbVector p = CarStart(i);
            btTransform transform;
            transform.setIdentity();
            transform.setOrigin(btVector3(p.x, p.y, p.z));
            States.push_back(std::make_unique<btDefaultMotionState>(transform));
            btRigidBody::btRigidBodyConstructionInfo info(CarMass, States.back().get(), Hull, inertia);
            Bodies.push_back(std::make_unique<btRigidBody>(info));
            btRigidBody& body = *Bodies.back();
            body.setActivationState(DISABLE_DEACTIVATION);
            World.addRigidBody(&body);
            Raycasters.push_back(std::make_unique<ChassisRaycaster>(World, body));
            Vehicles.push_back(std::make_unique<btRaycastVehicle>(tuning, &body, Raycasters.back().get()));
            btRaycastVehicle& vehicle = *Vehicles.back();
            // Right x, up z, forward -y: Bullet's forward axis is +y, so it drives backwards
            // by our body's axes, which changes nothing of the work.
            vehicle.setCoordinateSystem(0, 2, 1);
            for (int w = 0; w < 4; ++w) {
                const btVector3 connection(w % 2 == 0 ? -HalfTrack : HalfTrack, w < 2 ? HalfBase : -HalfBase, 0.0f);
                btWheelInfo& wheel = vehicle.addWheel(connection, btVector3(0, 0, -1), btVector3(-1, 0, 0),
                                                      Length - Radius, Radius, tuning, w < 2);
                wheel.m_rollInfluence = 1.0f;
            }
            World.addAction(&vehicle);
        }
    }
    ~BulletWorld() {
        for (auto& vehicle : Vehicles) {
            World.removeAction(vehicle.get());
        }
    }
    void Step() {
        for (auto& vehicle : Vehicles) {
            const float speed = vehicle->getRigidBody()->getLinearVelocity().length();
            for (int w = 0; w < 4; ++w) {
                vehicle->applyEngineForce(speed < Cruise ? Drive : 0.0f, w);
            }
            vehicle->setSteeringValue(FadedSteer, 0);
            vehicle->setSteeringValue(FadedSteer, 1);
        }
        World.stepSimulation(Dt, 1, Dt);
    }
};

// ---------------------------------------------------------------------------------------

// Empty when every car ended upright at its ride height, driving near its cruising speed.
template <class World>
std::string CheckEnd(const World& world, const char* name) {
    for (size_t i = 0; i < static_cast<size_t>(Cars); ++i) {
        const RbVector p = world.Position(i);
        const float ground = Height(p.x, p.y);
        const std::string car = std::string(name) + ": car " + std::to_string(i);
        if (!(p.z > ground)) {
            return car + " fell through the terrain";
        }
        if (std::fabs(p.z - ground - (Length - RideDepth)) > 0.15f) {
            return car + " is off its ride height (" + std::to_string(p.z - ground) + " m up)";
        }
        if (world.Up(i) < 0.95f) {
            return car + " is not upright";
        }
        if (world.Speed(i) < 0.5f * Cruise || world.Speed(i) > 1.5f * Cruise) {
            return car + " is not cruising (" + std::to_string(world.Speed(i)) + " m/s)";
        }
    }
    return {};
}

// Ten seconds of driving from the drop onto the springs.
void BM_StepCarsDriving(benchmark::State& state) {
    OurWorld ours;
    BulletWorld bullet;
    RunAgainstBaseline(state, [&] { ours.Step(); }, [&] { bullet.Step(); });
    for (int i = 0; i < 300; ++i) {
        ours.Step();
        bullet.Step();
    }
    std::string problem = CheckEnd(ours, "ours");
    if (problem.empty()) {
        problem = CheckEnd(bullet, "Bullet");
    }
    if (!problem.empty()) {
        state.SkipWithError(problem.c_str());
    }
    state.SetItemsProcessed(state.iterations() * Cars);
}
BENCHMARK(BM_StepCarsDriving)->Iterations(600)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
