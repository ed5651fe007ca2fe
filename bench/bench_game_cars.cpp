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
//
// BM_PhysicsWorldAgainstFloor measures the same world with 3 to 48 cars against a floor: the
// least work a frame of driving cars needs, in plain code (see FloorWorld). Its cars must end
// the run as ours do.
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

#include <algorithm>
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

// Up to 8 cars in two rows of four; more in rows of six, 40 m apart across and 42 m along,
// so the circles they drive (about 35 m across) never meet and stay on the terrain.
RbVector CarStart(int i, int cars) {
    const float x = cars <= 8 ? -60.0f + 40.0f * static_cast<float>(i % 4) : -100.0f + 40.0f * static_cast<float>(i % 6);
    const float y = cars <= 8 ? -40.0f + 60.0f * static_cast<float>(i / 4) : -150.0f + 42.0f * static_cast<float>(i / 6);
    return RbVec(x, y, Height(x, y) + Length - RideDepth + 0.05f);
}

// ---------------------------------------------------------------------------------------
// Our world: scene nodes with physics data and a CPCar each.

struct OurWorld {
    CPPhysicWorld World;
    std::vector<CPGameObject*> Bodies;
    std::vector<CPCar*> CarModels;

    explicit OurWorld(int cars = Cars) {
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
        for (int i = 0; i < cars; ++i) {
            auto* body = new CPGameObject("car");
            const RbVector p = CarStart(i, cars);
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
    size_t Count() const { return Bodies.size(); }
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
            const RbVector p = CarStart(i, Cars);
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
// The floor: the least work a frame of N driving cars needs, as tight scalar code on one
// thread with no engine classes. Per car and frame (one 1/60 s step): the driver's throttle
// and steering, four wheel rays against the terrain triangles under them (a grid of 2 m
// cells built once, unit normals stored with the triangles, as the terrain never changes),
// spring, damper, grip and drive forces with their torques and the drag, four integration
// substeps (velocity, position, angular momentum and velocity, the quaternion normalised),
// the rotation from the quaternion, and the node matrices (body and four wheels, each wheel
// turned by its spin and steering and lowered to its suspension) with the five world boxes
// and the car's bounds. The engine's step does this and more (contacts of the hull with the
// terrain, the broad phase, the solver); the ratio says how far it is from this floor.

struct FloorTerrain {
    static constexpr float Cell = 2.0f;
    struct Triangle {
        float V0[3], E1[3], E2[3], N[3];  // N: unit, facing up
    };
    std::vector<Triangle> Triangles;
    std::vector<uint32_t> CellStart;  // per cell, into CellTriangles; one more at the end
    std::vector<uint32_t> CellTriangles;
    float X0 = 0.0f;
    float Y0 = 0.0f;
    int Nx = 0;
    int Ny = 0;

    explicit FloorTerrain(const TerrainMesh& mesh) {
        float x1 = mesh.Vertices[0].x;
        float y1 = mesh.Vertices[0].y;
        X0 = x1;
        Y0 = y1;
        for (const RbVector& v : mesh.Vertices) {
            X0 = std::min(X0, v.x);
            Y0 = std::min(Y0, v.y);
            x1 = std::max(x1, v.x);
            y1 = std::max(y1, v.y);
        }
        Nx = static_cast<int>((x1 - X0) / Cell) + 1;
        Ny = static_cast<int>((y1 - Y0) / Cell) + 1;
        struct Span {
            int I0, I1, J0, J1;
        };
        std::vector<Span> spans;
        for (const RbTerrainTriangle& record : mesh.Triangles) {
            const RbVector& a = mesh.Vertices[static_cast<size_t>(record.Vertices[0])];
            const RbVector& b = mesh.Vertices[static_cast<size_t>(record.Vertices[1])];
            const RbVector& c = mesh.Vertices[static_cast<size_t>(record.Vertices[2])];
            Triangle t{{a.x, a.y, a.z}, {b.x - a.x, b.y - a.y, b.z - a.z}, {c.x - a.x, c.y - a.y, c.z - a.z}, {}};
            float n[3] = {t.E1[1] * t.E2[2] - t.E1[2] * t.E2[1], t.E1[2] * t.E2[0] - t.E1[0] * t.E2[2],
                          t.E1[0] * t.E2[1] - t.E1[1] * t.E2[0]};
            const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            const float scale = (n[2] < 0.0f ? -1.0f : 1.0f) / length;
            for (int k = 0; k < 3; ++k) {
                t.N[k] = n[k] * scale;
            }
            Triangles.push_back(t);
            // Bounds shrunk a little, so a triangle is not listed by cells it only touches.
            const float lo[2] = {std::min({a.x, b.x, c.x}) + 1e-3f, std::min({a.y, b.y, c.y}) + 1e-3f};
            const float hi[2] = {std::max({a.x, b.x, c.x}) - 1e-3f, std::max({a.y, b.y, c.y}) - 1e-3f};
            spans.push_back({CellX(lo[0]), CellX(hi[0]), CellY(lo[1]), CellY(hi[1])});
        }
        CellStart.assign(static_cast<size_t>(Nx * Ny) + 1, 0);
        for (const Span& span : spans) {
            for (int j = span.J0; j <= span.J1; ++j) {
                for (int i = span.I0; i <= span.I1; ++i) {
                    ++CellStart[static_cast<size_t>(j * Nx + i) + 1];
                }
            }
        }
        for (size_t k = 1; k < CellStart.size(); ++k) {
            CellStart[k] += CellStart[k - 1];
        }
        CellTriangles.resize(CellStart.back());
        std::vector<uint32_t> fill(CellStart.begin(), CellStart.end() - 1);
        for (size_t t = 0; t < spans.size(); ++t) {
            for (int j = spans[t].J0; j <= spans[t].J1; ++j) {
                for (int i = spans[t].I0; i <= spans[t].I1; ++i) {
                    CellTriangles[fill[static_cast<size_t>(j * Nx + i)]++] = static_cast<uint32_t>(t);
                }
            }
        }
    }
    int CellX(float x) const { return std::clamp(static_cast<int>(std::floor((x - X0) / Cell)), 0, Nx - 1); }
    int CellY(float y) const { return std::clamp(static_cast<int>(std::floor((y - Y0) / Cell)), 0, Ny - 1); }

    // The nearest triangle the segment from s along the unit d for length hits, or null;
    // *distance is its distance along d.
    const Triangle* Cast(const float s[3], const float d[3], float length, float* distance) const {
        const float e[2] = {s[0] + d[0] * length, s[1] + d[1] * length};
        const int i0 = CellX(std::min(s[0], e[0]));
        const int i1 = CellX(std::max(s[0], e[0]));
        const int j0 = CellY(std::min(s[1], e[1]));
        const int j1 = CellY(std::max(s[1], e[1]));
        const Triangle* nearest = nullptr;
        float best = length;
        for (int j = j0; j <= j1; ++j) {
            for (int i = i0; i <= i1; ++i) {
                const size_t cell = static_cast<size_t>(j * Nx + i);
                for (uint32_t k = CellStart[cell]; k < CellStart[cell + 1]; ++k) {
                    const Triangle& t = Triangles[CellTriangles[k]];
                    // Moeller-Trumbore, the division left to the one hit that is kept.
                    const float p[3] = {d[1] * t.E2[2] - d[2] * t.E2[1], d[2] * t.E2[0] - d[0] * t.E2[2],
                                        d[0] * t.E2[1] - d[1] * t.E2[0]};
                    float det = t.E1[0] * p[0] + t.E1[1] * p[1] + t.E1[2] * p[2];
                    float o[3] = {s[0] - t.V0[0], s[1] - t.V0[1], s[2] - t.V0[2]};
                    if (det < 0.0f) {
                        det = -det;
                        o[0] = -o[0];
                        o[1] = -o[1];
                        o[2] = -o[2];
                    }
                    if (!(det > 1e-12f)) {
                        continue;
                    }
                    const float u = o[0] * p[0] + o[1] * p[1] + o[2] * p[2];
                    if (u < 0.0f || u > det) {
                        continue;
                    }
                    const float q[3] = {o[1] * t.E1[2] - o[2] * t.E1[1], o[2] * t.E1[0] - o[0] * t.E1[2],
                                        o[0] * t.E1[1] - o[1] * t.E1[0]};
                    const float v = d[0] * q[0] + d[1] * q[1] + d[2] * q[2];
                    if (v < 0.0f || u + v > det) {
                        continue;
                    }
                    const float along = t.E2[0] * q[0] + t.E2[1] * q[1] + t.E2[2] * q[2];
                    if (along < 0.0f || along >= best * det) {
                        continue;
                    }
                    best = along / det;
                    nearest = &t;
                }
            }
        }
        *distance = best;
        return nearest;
    }
};

struct FloorWorld {
    struct Car {
        float P[3], V[3], L[3], W[3], Q[4];  // W: angular velocity; Q: x, y, z, w
        float R[3][3];                       // rows: the body axes in the world
        float Spin[4], Offset[4];
        float Node[5][4][3];  // body, then wheels: rotation rows and translation
        float BoxMin[5][3], BoxMax[5][3], BoundsMin[3], BoundsMax[3];
    };
    static constexpr float FrontGrip = 100.0f;
    static constexpr float BackGrip = 240.0f;
    static constexpr float Drag = 0.5f;
    static constexpr float HullHalf[3] = {HullX / 2, HullY / 2, HullZ / 2};
    static constexpr float WheelHalf[3] = {0.15f, Radius, Radius};

    FloorTerrain Ground{Terrain()};
    std::vector<Car> Cars;
    float InverseInertia[3];
    float WheelAt[4][2];

    explicit FloorWorld(int cars) {
        const float m = CarMass / 12.0f;
        InverseInertia[0] = 1.0f / (m * (HullY * HullY + HullZ * HullZ));
        InverseInertia[1] = 1.0f / (m * (HullX * HullX + HullZ * HullZ));
        InverseInertia[2] = 1.0f / (m * (HullX * HullX + HullY * HullY));
        for (int w = 0; w < 4; ++w) {
            WheelAt[w][0] = w % 2 == 0 ? -HalfTrack : HalfTrack;
            WheelAt[w][1] = w < 2 ? -HalfBase : HalfBase;
        }
        for (int i = 0; i < cars; ++i) {
            Car car{};
            const RbVector p = CarStart(i, cars);
            car.P[0] = p.x;
            car.P[1] = p.y;
            car.P[2] = p.z;
            car.Q[3] = 1.0f;
            car.R[0][0] = car.R[1][1] = car.R[2][2] = 1.0f;
            Cars.push_back(car);
        }
    }

    void Step() {
        for (Car& car : Cars) {
            StepCar(car);
        }
    }

    void StepCar(Car& c) const {
        const float (&R)[3][3] = c.R;
        const float speed = std::sqrt(c.V[0] * c.V[0] + c.V[1] * c.V[1] + c.V[2] * c.V[2]);
        const bool throttle = speed < Cruise;
        // The steering direction on the ground, faded with speed.
        const float angle = (1.0f - std::min(0.025f * speed, 0.9f)) * Steer;
        const float sa = std::sin(angle);
        const float ca = std::cos(angle);
        float steer[3] = {sa * R[0][0] + ca * R[1][0], sa * R[0][1] + ca * R[1][1], 0.0f};
        const float steerLength = std::sqrt(steer[0] * steer[0] + steer[1] * steer[1]);
        steer[0] /= steerLength;
        steer[1] /= steerLength;
        const float line[3] = {-R[2][0], -R[2][1], -R[2][2]};

        // The wheel rays.
        float start[4][3];
        float distance[4];
        const FloorTerrain::Triangle* hit[4];
        int contacts = 0;
        for (int w = 0; w < 4; ++w) {
            for (int k = 0; k < 3; ++k) {
                start[w][k] = c.P[k] + WheelAt[w][0] * R[0][k] + WheelAt[w][1] * R[1][k];
            }
            hit[w] = Ground.Cast(start[w], line, Length, &distance[w]);
            contacts += hit[w] != nullptr ? 1 : 0;
        }
        const float wheelMass = contacts > 0 ? CarMass / static_cast<float>(contacts) : 0.0f;

        // The wheels' forces and torques about the body's position.
        float f[3] = {0.0f, 0.0f, 0.0f};
        float t[3] = {0.0f, 0.0f, 0.0f};
        auto apply = [&f, &t](const float arm[3], const float force[3]) {
            f[0] += force[0];
            f[1] += force[1];
            f[2] += force[2];
            t[0] += arm[1] * force[2] - arm[2] * force[1];
            t[1] += arm[2] * force[0] - arm[0] * force[2];
            t[2] += arm[0] * force[1] - arm[1] * force[0];
        };
        auto velocityAt = [&c](const float arm[3], float out[3]) {
            out[0] = c.V[0] + c.W[1] * arm[2] - c.W[2] * arm[1];
            out[1] = c.V[1] + c.W[2] * arm[0] - c.W[0] * arm[2];
            out[2] = c.V[2] + c.W[0] * arm[1] - c.W[1] * arm[0];
        };
        for (int w = 0; w < 4; ++w) {
            if (hit[w] == nullptr) {
                continue;
            }
            const bool front = w < 2;
            const float depth = Length - distance[w];
            const float* n = hit[w]->N;
            const float arm[3] = {start[w][0] - c.P[0], start[w][1] - c.P[1], start[w][2] - c.P[2]};
            const float spring[3] = {n[0] * Spring * depth, n[1] * Spring * depth, n[2] * Spring * depth};
            apply(arm, spring);
            float sv[3];
            velocityAt(arm, sv);
            const float damp = -(sv[0] * line[0] + sv[1] * line[1] + sv[2] * line[2]) * Damping;
            const float damper[3] = {line[0] * damp, line[1] * damp, line[2] * damp};
            apply(arm, damper);

            const float contactArm[3] = {arm[0] + line[0] * distance[w], arm[1] + line[1] * distance[w],
                                         arm[2] + line[2] * distance[w]};
            float cv[3];
            velocityAt(contactArm, cv);
            const float wheelSpeed = -(cv[0] * R[1][0] + cv[1] * R[1][1] + cv[2] * R[1][2]);
            const float vn = cv[0] * n[0] + cv[1] * n[1] + cv[2] * n[2];
            const float ground[3] = {cv[0] - n[0] * vn, cv[1] - n[1] * vn, cv[2] - n[2] * vn};
            const float* along = front ? steer : R[1];
            const float ga = ground[0] * along[0] + ground[1] * along[1] + ground[2] * along[2];
            const float slip[3] = {ground[0] - along[0] * ga, ground[1] - along[1] * ga, ground[2] - along[2] * ga};
            const float slipLength = std::sqrt(slip[0] * slip[0] + slip[1] * slip[1] + slip[2] * slip[2]);
            if (slipLength > 0.0f) {
                const float grip = std::min(front ? FrontGrip : BackGrip, wheelMass * slipLength / Dt) / slipLength;
                const float flat[3] = {-slip[0] * grip, -slip[1] * grip, 0.0f};
                apply(contactArm, flat);
            }
            if (throttle) {
                float drive[3];
                if (front) {
                    drive[0] = -steer[0] * Drive;
                    drive[1] = -steer[1] * Drive;
                    drive[2] = 0.0f;
                } else {
                    const float* r0 = R[0];
                    const float r0n = r0[0] * n[0] + r0[1] * n[1] + r0[2] * n[2];
                    drive[0] = (r0[1] * n[2] - r0[2] * n[1] + r0[0] * r0n) * Drive;
                    drive[1] = (r0[2] * n[0] - r0[0] * n[2] + r0[1] * r0n) * Drive;
                    drive[2] = (r0[0] * n[1] - r0[1] * n[0] + r0[2] * r0n) * Drive;
                }
                apply(contactArm, drive);
            }
            c.Offset[w] = std::min(Radius - distance[w], Radius);
            c.Spin[w] += Dt * wheelSpeed / (Radius * 0.5f);
        }
        const float forward = c.V[0] * R[1][0] + c.V[1] * R[1][1] + c.V[2] * R[1][2];
        for (int k = 0; k < 3; ++k) {
            f[k] -= R[1][k] * Drag * forward;
        }

        // Four substeps: the world's inverse inertia Rt I^-1 R of the slice, velocities from the
        // forces, positions by the mean velocity, the quaternion by the angular velocity.
        float wi[3][3];
        for (int a = 0; a < 3; ++a) {
            for (int b = a; b < 3; ++b) {
                wi[a][b] = wi[b][a] = R[0][a] * InverseInertia[0] * R[0][b] + R[1][a] * InverseInertia[1] * R[1][b] +
                                      R[2][a] * InverseInertia[2] * R[2][b];
            }
        }
        constexpr float h = Dt / 4.0f;
        const float dv[3] = {f[0] / CarMass * h, f[1] / CarMass * h, (f[2] / CarMass - Gravity) * h};
        for (int substep = 0; substep < 4; ++substep) {
            for (int k = 0; k < 3; ++k) {
                c.P[k] += (c.V[k] + 0.5f * dv[k]) * h;
                c.V[k] += dv[k];
                c.L[k] += t[k] * h;
            }
            for (int k = 0; k < 3; ++k) {
                c.W[k] = wi[k][0] * c.L[0] + wi[k][1] * c.L[1] + wi[k][2] * c.L[2];
            }
            float* q = c.Q;
            const float half = 0.5f * h;
            const float dq[4] = {half * (c.W[0] * q[3] + c.W[1] * q[2] - c.W[2] * q[1]),
                                 half * (c.W[1] * q[3] + c.W[2] * q[0] - c.W[0] * q[2]),
                                 half * (c.W[2] * q[3] + c.W[0] * q[1] - c.W[1] * q[0]),
                                 half * -(c.W[0] * q[0] + c.W[1] * q[1] + c.W[2] * q[2])};
            float length = 0.0f;
            for (int k = 0; k < 4; ++k) {
                q[k] += dq[k];
                length += q[k] * q[k];
            }
            const float inverse = 1.0f / std::sqrt(length);
            for (int k = 0; k < 4; ++k) {
                q[k] *= inverse;
            }
        }
        const float x = c.Q[0], y = c.Q[1], z = c.Q[2], w = c.Q[3];
        c.R[0][0] = 1.0f - 2.0f * (y * y + z * z);
        c.R[0][1] = 2.0f * (x * y + z * w);
        c.R[0][2] = 2.0f * (x * z - y * w);
        c.R[1][0] = 2.0f * (x * y - z * w);
        c.R[1][1] = 1.0f - 2.0f * (x * x + z * z);
        c.R[1][2] = 2.0f * (y * z + x * w);
        c.R[2][0] = 2.0f * (x * z + y * w);
        c.R[2][1] = 2.0f * (y * z - x * w);
        c.R[2][2] = 1.0f - 2.0f * (x * x + y * y);

        // The nodes: the body's matrix, each wheel's (spin about x, then the front wheels'
        // steering about z, lowered to its suspension) times the body's, and the world boxes.
        for (int r = 0; r < 3; ++r) {
            for (int k = 0; k < 3; ++k) {
                c.Node[0][r][k] = c.R[r][k];
            }
            c.Node[0][3][r] = c.P[r];
        }
        const float sb = std::sin(-Steer);
        const float cb = std::cos(-Steer);
        for (int wheel = 0; wheel < 4; ++wheel) {
            const float ss = std::sin(c.Spin[wheel]);
            const float cs = std::cos(c.Spin[wheel]);
            const float zs = wheel < 2 ? sb : 0.0f;
            const float zc = wheel < 2 ? cb : 1.0f;
            const float local[4][3] = {{zc, zs, 0.0f}, {-cs * zs, cs * zc, ss}, {ss * zs, -ss * zc, cs},
                                       {WheelAt[wheel][0], WheelAt[wheel][1], c.Offset[wheel]}};
            float (&node)[4][3] = c.Node[1 + wheel];
            for (int r = 0; r < 4; ++r) {
                for (int k = 0; k < 3; ++k) {
                    node[r][k] = local[r][0] * c.R[0][k] + local[r][1] * c.R[1][k] + local[r][2] * c.R[2][k] +
                                 (r == 3 ? c.P[k] : 0.0f);
                }
            }
        }
        for (int k = 0; k < 3; ++k) {
            c.BoundsMin[k] = c.P[k];
            c.BoundsMax[k] = c.P[k];
        }
        for (int b = 0; b < 5; ++b) {
            const float* half = b == 0 ? HullHalf : WheelHalf;
            const float (&node)[4][3] = c.Node[b];
            for (int k = 0; k < 3; ++k) {
                const float extent = std::fabs(node[0][k]) * half[0] + std::fabs(node[1][k]) * half[1] +
                                     std::fabs(node[2][k]) * half[2];
                c.BoxMin[b][k] = node[3][k] - extent;
                c.BoxMax[b][k] = node[3][k] + extent;
                c.BoundsMin[k] = std::min(c.BoundsMin[k], c.BoxMin[b][k]);
                c.BoundsMax[k] = std::max(c.BoundsMax[k], c.BoxMax[b][k]);
            }
        }
    }

    RbVector Position(size_t i) const { return RbVec(Cars[i].P[0], Cars[i].P[1], Cars[i].P[2]); }
    float Speed(size_t i) const {
        const float* v = Cars[i].V;
        return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    }
    float Up(size_t i) const { return Cars[i].R[2][2]; }
};

// ---------------------------------------------------------------------------------------

// Empty when every car ended upright at its ride height, driving near its cruising speed.
template <class World>
std::string CheckEnd(const World& world, const char* name, int cars = Cars) {
    for (size_t i = 0; i < static_cast<size_t>(cars); ++i) {
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

// The physics world's frame against the floor above, over 3 to 48 cars: the cost per car
// should not grow with the count. "floor_us_per_car" is the floor's time per car.
void BM_PhysicsWorldAgainstFloor(benchmark::State& state) {
    const int cars = static_cast<int>(state.range(0));
    OurWorld ours(cars);
    FloorWorld floor(cars);
    RunAgainstBaseline(state, [&] { ours.Step(); }, [&] { floor.Step(); });
    for (int i = 0; i < 300; ++i) {
        ours.Step();
        floor.Step();
    }
    std::string problem = CheckEnd(ours, "ours", cars);
    if (problem.empty()) {
        problem = CheckEnd(floor, "floor", cars);
    }
    if (!problem.empty()) {
        state.SkipWithError(problem.c_str());
    }
    if (state.counters.count("baseline_us") != 0) {
        state.counters["floor_us_per_car"] = state.counters["baseline_us"].value / cars;
    }
    state.SetItemsProcessed(state.iterations() * cars);
}
BENCHMARK(BM_PhysicsWorldAgainstFloor)
    ->Arg(3)->Arg(8)->Arg(16)->Arg(32)->Arg(48)
    ->Iterations(600)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
