// The simulation step against Bullet, the general engine it is measured by, on the same
// scenes over a 60 000-triangle terrain mesh: 25 car-like bodies (box hull, four downward
// sensors, suspension, drive and grip forces every step) driving apart; the same 25 cars
// driving into each other and into the walls of an arena, so hulls meet hulls and walls; and
// piles of 100 to 2 000 boxes dropped onto the terrain (the pile's footprint grows with the
// count, so a step's cost should grow linearly). Each iteration steps both worlds by 1/60 s;
// x_baseline is our time per step over Bullet's. After the timed steps both worlds run on
// and must end alike (cars at their ride height on the terrain or penned in the arena, boxes
// at rest on it, nothing fallen through), or the benchmark fails: the ratio only means
// something for equal work. "contacts" counts the contact points our world solved per step
// ("wall_contacts" those against the arena's walls), to show that a scene does solve them.
//
// Matching settings: 1/60 s steps, friction 0.5 on every contact (Bullet multiplies the two
// sides' coefficients, we take their geometric mean), no restitution, and no sleeping in
// either world: a pile is one island, and Bullet keeps a whole island awake while any box
// of it still jitters, where ours puts the settled pile to rest within a second of landing.
// With sleeping the ratio would measure that difference, not the step. Cars never sleep
// anyway (their springs always push).
#include "bench/BaselineRatio.h"
#include "bench/BulletTerrain.h"
#include "bench/RollingTerrain.h"
#include "physics/RbSimulator.h"

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
// The terrain: a gently rolling height field as a triangle soup, and the game's 4 m grid
// of cells answering the simulator's terrain query.

using bench::RollingTerrain;
constexpr int QuadsX = RollingTerrain::QuadsX;
constexpr int QuadsY = RollingTerrain::QuadsY;
constexpr float Spacing = RollingTerrain::Spacing;
constexpr float OriginX = RollingTerrain::OriginX;
constexpr float OriginY = RollingTerrain::OriginY;
float Height(float x, float y) { return RollingTerrain::Height(x, y); }

struct TerrainMesh : RollingTerrain {
    // 4 m cells over the terrain, each listing the triangles whose bounds reach into it.
    static constexpr float Cell = 4.0f;
    int CellsX = 0;
    int CellsY = 0;
    std::vector<std::vector<int32_t>> Cells;
    std::vector<int32_t> Candidates;

    TerrainMesh() {
        CellsX = static_cast<int>(QuadsX * Spacing / Cell) + 1;
        CellsY = static_cast<int>(QuadsY * Spacing / Cell) + 1;
        Cells.resize(static_cast<size_t>(CellsX * CellsY));
        for (size_t t = 0; t < Triangles.size(); ++t) {
            RbVector lo = RbVec(1e30f, 1e30f, 0);
            RbVector hi = RbVec(-1e30f, -1e30f, 0);
            for (int32_t v : Triangles[t].Vertices) {
                lo = RbMin(lo, Vertices[static_cast<size_t>(v)]);
                hi = RbMax(hi, Vertices[static_cast<size_t>(v)]);
            }
            for (int cy = CellY(lo.y); cy <= CellY(hi.y); ++cy) {
                for (int cx = CellX(lo.x); cx <= CellX(hi.x); ++cx) {
                    Cells[static_cast<size_t>(cy * CellsX + cx)].push_back(static_cast<int32_t>(t));
                }
            }
        }
        Candidates.reserve(4096);
    }
    int CellX(float x) const {
        const int c = static_cast<int>((x - OriginX) / Cell);
        return c < 0 ? 0 : (c >= CellsX ? CellsX - 1 : c);
    }
    int CellY(float y) const {
        const int c = static_cast<int>((y - OriginY) / Cell);
        return c < 0 ? 0 : (c >= CellsY ? CellsY - 1 : c);
    }
};

TerrainMesh& Terrain() {
    static TerrainMesh mesh;
    return mesh;
}

void QueryTerrain(const RbVector& lower, const RbVector& upper, const int32_t*& candidates,
                  const RbTerrainTriangle*& triangles, const RbVector*& vertices, int32_t& candidateCount,
                  int32_t& triangleCount, RbBody*) {
    TerrainMesh& t = Terrain();
    t.Candidates.clear();
    for (int cy = t.CellY(lower.y); cy <= t.CellY(upper.y); ++cy) {
        for (int cx = t.CellX(lower.x); cx <= t.CellX(upper.x); ++cx) {
            const std::vector<int32_t>& cell = t.Cells[static_cast<size_t>(cy * t.CellsX + cx)];
            t.Candidates.insert(t.Candidates.end(), cell.begin(), cell.end());
        }
    }
    candidates = t.Candidates.data();
    triangles = t.Triangles.data();
    vertices = t.Vertices.data();
    candidateCount = static_cast<int32_t>(t.Candidates.size());
    triangleCount = static_cast<int32_t>(t.Triangles.size());
}

// ---------------------------------------------------------------------------------------
// The car model both worlds share: four wheels, each a downward line of Length from the
// hull's centre plane; suspension spring and damper, drive up to a cruising speed, and
// lateral grip. Body axes as the game's: nose along -y, roof along +z.

constexpr float CarMass = 800.0f;
constexpr float HullX = 2.0f;
constexpr float HullY = 4.0f;
constexpr float HullZ = 0.6f;
constexpr float Length = 1.0f;
constexpr float Stiffness = 7840.0f;  // 0.25 m of compression carries the car
constexpr float Damping = 1200.0f;
constexpr float Drive = 2400.0f;
constexpr float Cruise = 8.0f;
constexpr float Grip = 900.0f;
constexpr float RideDepth = CarMass * Gravity / (4.0f * Stiffness);
constexpr int Cars = 25;
const RbVector WheelStarts[4] = {{-0.8f, -1.5f, 0.0f, 0.0f}, {0.8f, -1.5f, 0.0f, 0.0f},
                                 {-0.8f, 1.5f, 0.0f, 0.0f}, {0.8f, 1.5f, 0.0f, 0.0f}};

struct WheelHit {
    float Depth = 0.0f;  // 0: in the air
    RbVector Normal;
    RbVector Point;
};

struct CarPose {
    RbMatrix3 Rotation;  // rows: body axes in the world
    RbVector Position;
    RbVector Velocity;
    RbVector AngularVelocity;
};

RbVector PointVelocity(const CarPose& pose, const RbVector& r) {
    return RbAdd(pose.Velocity, RbCross(pose.AngularVelocity, r));
}

// Force and torque (about the body's position) of the wheels.
void CarForces(const CarPose& pose, const WheelHit (&hits)[4], RbVector* force, RbVector* torque) {
    const RbVector forward = RbScale(pose.Rotation.Rows[1], -1.0f);
    const RbVector side = pose.Rotation.Rows[0];
    const RbVector down = RbScale(pose.Rotation.Rows[2], -1.0f);
    const float speed = RbDot(pose.Velocity, forward);
    RbVector f;
    RbVector t;
    for (int i = 0; i < 4; ++i) {
        const WheelHit& hit = hits[i];
        if (hit.Depth <= 0.0f) {
            continue;
        }
        RbVector n = hit.Normal;
        if (n.z < 0.0f) {
            n = RbScale(n, -1.0f);
        }
        const RbVector rs = RbTransform(WheelStarts[i], pose.Rotation);
        const RbVector spring = RbScale(n, Stiffness * hit.Depth);
        const RbVector damper = RbScale(down, -RbDot(PointVelocity(pose, rs), down) * Damping);
        const RbVector rc = RbSub(hit.Point, pose.Position);
        const RbVector grip = RbScale(side, -RbDot(PointVelocity(pose, rc), side) * Grip);
        const RbVector drive = RbScale(forward, speed < Cruise ? Drive * 0.25f : 0.0f);
        for (const auto& [part, at] : {std::pair{spring, rs}, std::pair{damper, rs}, std::pair{grip, rc}, std::pair{drive, rc}}) {
            f = RbAdd(f, part);
            t = RbAdd(t, RbCross(at, part));
        }
    }
    *force = f;
    *torque = t;
}

RbVector CarStart(int i) {
    const float x = -30.0f + 15.0f * static_cast<float>(i % 5);
    const float y = -30.0f + 15.0f * static_cast<float>(i / 5);
    return RbVec(x, y, Height(x, y) + Length - RideDepth + 0.05f);
}

// ---------------------------------------------------------------------------------------
// The crash: the cars on a circle around the arena's centre, most heading inwards turned by
// -0.5, 0 or +0.5 rad, so they meet head-on and glancing in the middle and the ones that slip
// through go on into the walls; every fourth heads straight out into a wall and keeps
// pushing. Four walls (fixed boxes) pen them in.

constexpr float ArenaHalf = 16.0f;
constexpr float WallThickness = 1.0f;
constexpr float WallHeight = 4.0f;
constexpr float CrashRadius = 11.0f;

struct CarPlacement {
    RbVector Position;
    float Heading = 0.0f;  // rad about +z; 0 leaves the nose along -y
};

CarPlacement CrashStart(int i) {
    const float around = 6.2831853f * static_cast<float>(i) / static_cast<float>(Cars);
    const float x = CrashRadius * std::cos(around);
    const float y = CrashRadius * std::sin(around);
    // The nose (body -y) turned by psi points along (sin psi, -cos psi); inwards is
    // around + pi, so psi = around + pi + pi/2 plus the car's offset.
    const float offset = i % 4 == 3 ? 3.1415927f : 0.5f * static_cast<float>(i % 3 - 1);
    return {RbVec(x, y, Height(x, y) + Length - RideDepth + 0.05f), around + 4.712389f + offset};
}

// Centre and full size of wall k (0..3).
void Wall(int k, RbVector* centre, RbVector* size) {
    const float reach = ArenaHalf + 0.5f * WallThickness;
    const float length = 2.0f * ArenaHalf + 2.0f * WallThickness;
    const float x = k == 0 ? -reach : (k == 1 ? reach : 0.0f);
    const float y = k == 2 ? -reach : (k == 3 ? reach : 0.0f);
    *centre = RbVec(x, y, Height(x, y) + 0.5f * WallHeight - 1.0f);
    *size = k < 2 ? RbVec(WallThickness, length, WallHeight) : RbVec(length, WallThickness, WallHeight);
}

enum class Scene { Cars, Crash, Pile };

// ---------------------------------------------------------------------------------------
// The pile: unit boxes in columns of five, ten columns across and as many rows as the count
// needs (ten rows for 500 boxes), offset a little so they settle.

constexpr int PileColumns = 10;
constexpr int PileLayers = 5;
constexpr float BoxMass = 20.0f;
const float PileX = 40.0f;
const float PileY = 60.0f;

RbVector BoxStart(int i, int boxes, uint32_t* seed) {
    auto jitter = [seed]() {
        *seed = *seed * 214013u + 2531011u;
        return (static_cast<float>((*seed >> 16) & 0x7FFF) / 32767.0f - 0.5f) * 0.1f;
    };
    const int perLayer = boxes / PileLayers;
    const int layer = i / perLayer;
    const int column = i % perLayer;
    const float x = PileX + 1.3f * static_cast<float>(column % PileColumns) + jitter();
    const float y = PileY + 1.3f * static_cast<float>(column / PileColumns) + jitter();
    return RbVec(x, y, Height(x, y) + 0.7f + 1.15f * static_cast<float>(layer));
}

float BoxInertia() { return BoxMass / 6.0f; }

// ---------------------------------------------------------------------------------------
// Our world.

class SuspensionController final : public RbControllerCallback {
public:
    void OnStep(RbController* controller, float) override {
        RbRigidBody& body = *controller->Body;
        CarPose pose{body.Motion.Rotation, body.GetPosition(), body.GetVelocity(), body.GetAngularVelocity()};
        WheelHit hits[4];
        int i = 0;
        for (RbSensor* s = body.Sensors; s != nullptr && i < 4; s = s->Next, ++i) {
            hits[i] = {s->GetDetectDepth(), s->GetDetectNormal(), s->GetDetectContactPoint()};
        }
        RbVector force;
        RbVector torque;
        CarForces(pose, hits, &force, &torque);
        controller->SetForce(force);
        controller->SetTorque(torque);
    }
};

// Contact points our world solved in the last slice: all, and those against a wall.
struct ContactCount {
    int64_t All = 0;
    int64_t Walls = 0;
};

void CountContacts(const RbSimulator& sim, ContactCount* count) {
    const RbStepper* stepper = sim.GetStepper();
    for (int32_t m = 0; stepper != nullptr && m < stepper->GetManifoldCount(); ++m) {
        const RbManifold& manifold = stepper->GetManifolds()[m];
        if (manifold.Solve != 0 && manifold.Touching != 0) {
            count->All += manifold.PointCount;
            if (manifold.BodyB != nullptr && manifold.BodyB->Kind == RbBody::KindKinematic) {
                count->Walls += manifold.PointCount;
            }
        }
    }
}

struct OurWorld {
    RbSimulator* Sim = nullptr;
    std::vector<RbRigidBody*> Bodies;
    SuspensionController Suspension;

    OurWorld(Scene scene, int boxes) {
        Terrain();
        RbSizeLimits limits;
        limits.rigidBodiesCount = boxes + Cars;
        limits.geometriesCount = boxes + Cars + 8;
        // A pile keeps under one pair per box (each box on the one below); four per box is
        // room to spare, as a level sizes its pool. A pool sized far past the need costs
        // time too: the pair index is probed at random and grows with it.
        limits.pairsCount = 4 * boxes + 1000;
        limits.sensorsCount = 200;
        limits.constraintSetsCount = 100;
        const RbVector g = RbVec(0.0f, 0.0f, -Gravity);
        Sim = RbSimulator::Create(&limits, nullptr, &g);
        Sim->SetMaterial(0, 0.5f, 0.0f);
        Sim->SetTerrainQueryCallback(QueryTerrain);
        if (scene == Scene::Crash) {
            for (int k = 0; k < 4; ++k) {
                RbVector centre;
                RbVector size;
                Wall(k, &centre, &size);
                RbKinematicBody* wall = Sim->CreateKinematicBody();
                wall->AddGeometry()->SetBoxSize(size);
                wall->UpdateBoundingInfo();
                wall->SetPosition(centre);
            }
        }
        if (scene != Scene::Pile) {
            for (int i = 0; i < Cars; ++i) {
                RbRigidBody* body = Sim->CreateRigidBody();
                body->AddGeometry()->SetBoxSize(HullX, HullY, HullZ);
                for (const RbVector& start : WheelStarts) {
                    body->AddSensor()->SetLine(start, RbVec(0.0f, 0.0f, -Length));
                }
                body->UpdateBoundingInfo();
                body->SetMass(CarMass);
                body->SetInertiaTensor(RbVec(CarMass / 12.0f * (HullY * HullY + HullZ * HullZ),
                                             CarMass / 12.0f * (HullX * HullX + HullZ * HullZ),
                                             CarMass / 12.0f * (HullX * HullX + HullY * HullY)));
                body->AddController(&Suspension, 0);
                if (scene == Scene::Crash) {
                    const CarPlacement at = CrashStart(i);
                    body->SetPosition(at.Position);
                    body->SetRotation({0.0f, 0.0f, std::sin(0.5f * at.Heading), std::cos(0.5f * at.Heading)});
                } else {
                    body->SetPosition(CarStart(i));
                }
                Bodies.push_back(body);
            }
        } else {
            uint32_t seed = 1;
            for (int i = 0; i < boxes; ++i) {
                RbRigidBody* body = Sim->CreateRigidBody();
                body->AddGeometry()->SetBoxSize(1.0f, 1.0f, 1.0f);
                body->UpdateBoundingInfo();
                body->SetMass(BoxMass);
                body->SetInertiaTensor(RbVec(BoxInertia(), BoxInertia(), BoxInertia()));
                body->SetPosition(BoxStart(i, boxes, &seed));
                body->RestThreshold = 0.0f;  // never slow enough to rest: see the file's note
                Bodies.push_back(body);
            }
        }
    }
    ~OurWorld() { RbSimulator::Destroy(Sim); }
    void Step() { Sim->Step(Dt); }
    RbVector Position(size_t i) const { return Bodies[i]->GetPosition(); }
    float Speed(size_t i) const { return RbLength(Bodies[i]->GetVelocity()); }
    float Up(size_t i) const { return Bodies[i]->Motion.Rotation.Rows[2].z; }
};

// ---------------------------------------------------------------------------------------
// Bullet's world: a BVH triangle mesh for the terrain, boxes for hulls and boxes, closest-hit
// ray tests for the wheels that leave the car's own hull out (the ray starts inside it),
// forces applied before every step.

struct BulletWorld : bench::BulletTerrainWorld {
    btBoxShape* Shape = nullptr;
    std::vector<std::unique_ptr<btRigidBody>> Walls;
    bool IsCars;

    BulletWorld(Scene scene, int boxes) : BulletTerrainWorld(Terrain(), Gravity), IsCars(scene != Scene::Pile) {
        const bool cars = IsCars;
        Ground->setFriction(std::sqrt(0.5f));
        Ground->setRestitution(0.0f);
        if (scene == Scene::Crash) {
            for (int k = 0; k < 4; ++k) {
                RbVector centre;
                RbVector size;
                Wall(k, &centre, &size);
                btTransform transform;
                transform.setIdentity();
                transform.setOrigin(btVector3(centre.x, centre.y, centre.z));
                Walls.push_back(
                    std::make_unique<btRigidBody>(0.0f, nullptr, AddBox(btVector3(size.x / 2, size.y / 2, size.z / 2))));
                Walls.back()->setWorldTransform(transform);
                Walls.back()->setFriction(std::sqrt(0.5f));
                Walls.back()->setRestitution(0.0f);
                World.addRigidBody(Walls.back().get());
            }
        }
        const btVector3 half = cars ? btVector3(HullX / 2, HullY / 2, HullZ / 2) : btVector3(0.5f, 0.5f, 0.5f);
        Shape = AddBox(half);
        const float mass = cars ? CarMass : BoxMass;
        btVector3 inertia;
        Shape->calculateLocalInertia(mass, inertia);
        uint32_t seed = 1;
        const int count = cars ? Cars : boxes;
        for (int i = 0; i < count; ++i) {
            btTransform transform;
            transform.setIdentity();
            if (scene == Scene::Crash) {
                const CarPlacement at = CrashStart(i);
                transform.setOrigin(btVector3(at.Position.x, at.Position.y, at.Position.z));
                transform.setRotation(btQuaternion(btVector3(0, 0, 1), at.Heading));
            } else {
                const RbVector p = cars ? CarStart(i) : BoxStart(i, boxes, &seed);
                transform.setOrigin(btVector3(p.x, p.y, p.z));
            }
            States.push_back(std::make_unique<btDefaultMotionState>(transform));
            btRigidBody::btRigidBodyConstructionInfo info(mass, States.back().get(), Shape, inertia);
            Bodies.push_back(std::make_unique<btRigidBody>(info));
            btRigidBody& body = *Bodies.back();
            body.setFriction(std::sqrt(0.5f));
            body.setRestitution(0.0f);
            body.setActivationState(DISABLE_DEACTIVATION);
            World.addRigidBody(&body);
        }
    }
    ~BulletWorld() {
        for (auto& wall : Walls) {
            World.removeRigidBody(wall.get());
        }
    }

    void Step() {
        if (IsCars) {
            for (auto& body : Bodies) {
                const btTransform& transform = body->getWorldTransform();
                const btMatrix3x3& basis = transform.getBasis();
                CarPose pose;
                // Our rows are the images of the body axes: Bullet's basis columns.
                for (int r = 0; r < 3; ++r) {
                    const btVector3 column = basis.getColumn(r);
                    pose.Rotation.Rows[r] = RbVec(column.x(), column.y(), column.z());
                }
                const btVector3& o = transform.getOrigin();
                pose.Position = RbVec(o.x(), o.y(), o.z());
                const btVector3& v = body->getLinearVelocity();
                const btVector3& w = body->getAngularVelocity();
                pose.Velocity = RbVec(v.x(), v.y(), v.z());
                pose.AngularVelocity = RbVec(w.x(), w.y(), w.z());
                WheelHit hits[4];
                for (int i = 0; i < 4; ++i) {
                    const btVector3 from = transform * btVector3(WheelStarts[i].x, WheelStarts[i].y, WheelStarts[i].z);
                    const btVector3 to = transform * btVector3(WheelStarts[i].x, WheelStarts[i].y, -Length);
                    bench::RayPastOwnBody ray(from, to, body.get());
                    World.rayTest(from, to, ray);
                    if (ray.hasHit()) {
                        const btVector3& n = ray.m_hitNormalWorld;
                        const btVector3& p = ray.m_hitPointWorld;
                        hits[i] = {Length * (1.0f - ray.m_closestHitFraction), RbVec(n.x(), n.y(), n.z()),
                                   RbVec(p.x(), p.y(), p.z())};
                    }
                }
                RbVector force;
                RbVector torque;
                CarForces(pose, hits, &force, &torque);
                body->applyCentralForce(btVector3(force.x, force.y, force.z));
                body->applyTorque(btVector3(torque.x, torque.y, torque.z));
            }
        }
        World.stepSimulation(Dt, 1, Dt);
    }
};

// ---------------------------------------------------------------------------------------

// Empty when the world ended as the scene expects, else what is wrong.
template <class World>
std::string CheckEnd(const World& world, Scene scene, int boxes, const char* name) {
    const size_t count = scene == Scene::Pile ? static_cast<size_t>(boxes) : Cars;
    for (size_t i = 0; i < count; ++i) {
        const RbVector p = world.Position(i);
        const float ground = Height(p.x, p.y);
        if (!(p.z > ground)) {
            return std::string(name) + ": a body fell through the terrain";
        }
        if (scene == Scene::Cars) {
            // Riding on its springs: the centre at the spring's length above the ground.
            if (std::fabs(p.z - ground - (Length - RideDepth)) > 0.25f) {
                return std::string(name) + ": a car is off its ride height";
            }
        } else if (scene == Scene::Crash) {
            // Penned in, near the ground, and no hull through another.
            if (std::fabs(p.x) > ArenaHalf || std::fabs(p.y) > ArenaHalf) {
                return std::string(name) + ": car " + std::to_string(i) + " went through a wall";
            }
            if (p.z - ground > 3.0f) {
                return std::string(name) + ": car " + std::to_string(i) + " flew off";
            }
            for (size_t j = i + 1; j < count; ++j) {
                if (RbLength(RbSub(p, world.Position(j))) < 1.0f) {
                    return std::string(name) + ": cars " + std::to_string(i) + " and " + std::to_string(j) +
                           " are inside each other";
                }
            }
        } else if (p.z - ground < 0.4f || world.Speed(i) > 0.25f) {
            return std::string(name) + ": box " + std::to_string(i) + " is not resting on the terrain or the pile (" +
                   std::to_string(p.z - ground) + " m up, " + std::to_string(world.Speed(i)) + " m/s)";
        }
    }
    return {};
}

void RunScene(benchmark::State& state, Scene scene, int boxes) {
    OurWorld ours(scene, boxes);
    BulletWorld bullet(scene, boxes);
    ContactCount contacts;
    RunAgainstBaseline(
        state,
        [&] {
            ours.Step();
            CountContacts(*ours.Sim, &contacts);
        },
        [&] { bullet.Step(); });
    // Let both worlds finish what the timed steps started, then compare.
    for (int i = 0; i < 300; ++i) {
        ours.Step();
        bullet.Step();
    }
    std::string problem = CheckEnd(ours, scene, boxes, "ours");
    if (problem.empty()) {
        problem = CheckEnd(bullet, scene, boxes, "Bullet");
    }
    if (!problem.empty()) {
        state.SkipWithError(problem.c_str());
    }
    const double steps = static_cast<double>(state.iterations());
    state.counters["contacts"] = static_cast<double>(contacts.All) / steps;
    if (scene == Scene::Crash) {
        state.counters["wall_contacts"] = static_cast<double>(contacts.Walls) / steps;
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(scene == Scene::Pile ? boxes : Cars));
}

// Four seconds of driving from the drop onto the springs.
void BM_StepCarsOnTerrain(benchmark::State& state) { RunScene(state, Scene::Cars, 0); }
BENCHMARK(BM_StepCarsOnTerrain)->Iterations(240)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Four seconds of the cars meeting in the arena's middle, pushing and sliding into the walls.
void BM_StepCarsCrashing(benchmark::State& state) { RunScene(state, Scene::Crash, 0); }
BENCHMARK(BM_StepCarsCrashing)->Iterations(240)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Two seconds of the pile falling, colliding and settling; the argument is the box count.
void BM_StepBoxPile(benchmark::State& state) { RunScene(state, Scene::Pile, static_cast<int>(state.range(0))); }
BENCHMARK(BM_StepBoxPile)->Arg(100)->Arg(500)->Arg(1000)->Arg(2000)->Iterations(120)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
