// A car on a flat ground: a simulator with gravity along -z, a square-celled flat terrain
// answering the terrain query by cell range, and a car body (a box with wheel children
// "w0".."w3") whose vehicle model is built from a description the test writes.
#pragma once

#include "core/ConfigVars.h"
#include "game/CPCar.h"
#include "physics/RbSimulator.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace CarFixture {

constexpr float G = 9.8f;
constexpr float Dt = 1.0f / 60.0f;

// The body's box (x across, y along, z up), m, and its wheels at (±HalfTrack, ±HalfBase).
constexpr float BodyWidth = 1.8f;
constexpr float BodyLength = 4.0f;
constexpr float BodyHeight = 0.4f;
constexpr float HalfTrack = 0.8f;
constexpr float HalfBase = 1.4f;

// A flat square of cells at height 0, each cell two triangles.
struct FlatGround {
    float Half = 400.0f;
    float Cell = 4.0f;
    int32_t Cells = 0;
    std::vector<RbVector> Vertices;
    std::vector<RbTerrainTriangle> Triangles;
    std::vector<int32_t> Candidates;

    FlatGround() {
        Cells = static_cast<int32_t>(std::lround(2.0f * Half / Cell));
        const int32_t row = Cells + 1;
        for (int32_t j = 0; j <= Cells; ++j) {
            for (int32_t i = 0; i <= Cells; ++i) {
                Vertices.push_back(RbVec(-Half + Cell * static_cast<float>(i), -Half + Cell * static_cast<float>(j), 0.0f));
            }
        }
        for (int32_t j = 0; j < Cells; ++j) {
            for (int32_t i = 0; i < Cells; ++i) {
                const int32_t a = j * row + i;
                RbTerrainTriangle t0;
                t0.Vertices[0] = a;
                t0.Vertices[1] = a + 1;
                t0.Vertices[2] = a + row + 1;
                RbTerrainTriangle t1;
                t1.Vertices[0] = a;
                t1.Vertices[1] = a + row + 1;
                t1.Vertices[2] = a + row;
                Triangles.push_back(t0);
                Triangles.push_back(t1);
            }
        }
    }

    int32_t CellOf(float v) const {
        return std::clamp(static_cast<int32_t>(std::floor((v + Half) / Cell)), 0, Cells - 1);
    }
};

inline FlatGround* ActiveGround = nullptr;

inline void QueryGround(const RbVector& lower, const RbVector& upper, const int32_t*& candidates,
                        const RbTerrainTriangle*& triangles, const RbVector*& vertices, int32_t& candidateCount,
                        int32_t& triangleCount, RbBody*) {
    FlatGround& g = *ActiveGround;
    g.Candidates.clear();
    for (int32_t j = g.CellOf(lower.y); j <= g.CellOf(upper.y); ++j) {
        for (int32_t i = g.CellOf(lower.x); i <= g.CellOf(upper.x); ++i) {
            g.Candidates.push_back(2 * (j * g.Cells + i));
            g.Candidates.push_back(2 * (j * g.Cells + i) + 1);
        }
    }
    candidates = g.Candidates.data();
    triangles = g.Triangles.data();
    vertices = g.Vertices.data();
    candidateCount = static_cast<int32_t>(g.Candidates.size());
    triangleCount = static_cast<int32_t>(g.Triangles.size());
}

struct SimulatorDeleter {
    void operator()(RbSimulator* simulator) const { RbSimulator::Destroy(simulator); }
};

// The description of the test car; extra is spliced into <physics>.
inline std::string Description(const std::string& wheels = "count=\"4\" x=\"0\" y=\"0\" length=\"0.5\" radius=\"0.3\"",
                               const std::string& extra = "") {
    return "<physics><geometry><wheels " + wheels +
           "/></geometry>"
           "<params><wheels spring1=\"640\" spring2=\"660\" damping=\"150\"/>"
           "<friction front=\"100\" back=\"240\" slide=\"0.9\"/>"
           "<acceleration front=\"100\" back=\"100\" brake=\"100\"/>" +
           extra + "</params></physics>";
}

class CarTest : public testing::Test {
protected:
    void SetUp() override {
        ActiveGround = &Ground;
        Cfg::weight_div = 1;
        const RbVector gravity = RbVec(0.0f, 0.0f, -G);
        Sim.reset(RbSimulator::Create(nullptr, nullptr, &gravity));
        Sim->SetTerrainQueryCallback(QueryGround);
        Sim->SetMaterial(0, 0.2f, 0.0f);
    }
    void TearDown() override {
        for (CPGameObject* body : Bodies) {
            body->Car = nullptr;
        }
        for (CPCar* car : Cars) {
            delete car;
        }
        for (CPGameObject* body : Bodies) {
            delete body;
        }
        Sim.reset();
        ActiveGround = nullptr;
        Cfg::ResetDefaults();
    }

    // A body of the test car's box and mass at position, turned by yaw about z, with wheel
    // children (and, with lights, the four light children), and its rigid body unless
    // withRigidBody is false.
    CPGameObject* MakeBody(const D3DXVECTOR3& position, float yaw = 0.0f, int wheels = 4, bool withRigidBody = true,
                           bool lights = false) {
        auto* body = new CPGameObject("car");
        Bodies.push_back(body);
        body->Position = position;
        D3DXQuaternionRotationAxis(&body->Orientation, &ZAxis, yaw);
        for (int i = 0; i < wheels; ++i) {
            CPtr<CPGameObject> wheel(new CPGameObject("w" + std::to_string(i)));
            wheel->Position = D3DXVECTOR3(i % 2 == 0 ? -HalfTrack : HalfTrack, i < 2 ? -HalfBase : HalfBase, 0.0f);
            body->AddChild(wheel);
        }
        if (lights) {
            for (const char* name : {"stoplights", "stoplights2", "backlights", "backlights2"}) {
                body->AddChild(CPtr<CPGameObject>(new CPGameObject(name)));
            }
        }
        body->Physics = CPtr<CPPhysicData>(new CPPhysicData(body));
        // Size (x, height, y) so that the inertia is the box's.
        body->Physics->SetShape(BodyHeight, BodyWidth, BodyLength, Mass);
        if (withRigidBody) {
            RbRigidBody* rigid = Sim->CreateRigidBody();
            rigid->AddGeometry()->SetBoxSize(BodyWidth, BodyLength, BodyHeight);
            rigid->SetUserData(body);
            body->Physics->RigidBody = rigid;
        }
        return body;
    }

    CPCar* MakeCar(CPGameObject* body, const std::string& description, bool withSound = false) {
        body->XmlDocument.Parse(description.c_str());
        CPtr<CPCar> car = CPCar::Create(CPtr<CPGameObject>(body), withSound);
        Cars.push_back(car.Get());
        return car.Get();
    }

    void Run(float seconds, float dt = Dt) {
        const int steps = static_cast<int>(std::lround(seconds / dt));
        for (int i = 0; i < steps; ++i) {
            Sim->Step(dt);
        }
    }

    static RbVector Forward(const RbRigidBody& body) {
        RbMatrix3 rows = body.Motion.Rotation;
        return RbScale(rows.Rows[1], -1.0f);
    }

    static constexpr float Mass = 40.0f;
    static inline const D3DXVECTOR3 ZAxis{0.0f, 0.0f, 1.0f};
    FlatGround Ground;
    std::unique_ptr<RbSimulator, SimulatorDeleter> Sim;
    std::vector<CPCar*> Cars;
    std::vector<CPGameObject*> Bodies;
};

}  // namespace CarFixture
