// A car in the game's physics world over a flat terrain of 400 m x 400 m: a car body (a box
// with wheel children "w0".."w3") registered with the world, whose vehicle model is built from
// a description the test writes, and frames stepped through the world's task.
#pragma once

#include "PhysicWorldFixture.h"

#include "core/ConfigVars.h"
#include "core/FrameTime.h"
#include "game/CPCar.h"
#include "game/CPPhysicWorld.h"
#include "physics/RbSimulator.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicData.h"
#include "scene/CPSceneLoader.h"

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

// The description of the test car; extra is spliced into its "params".
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
        Cfg::ResetDefaults();
        Cfg::weight_div = 1;
        FrameTime = 0.0f;
        FrameNumber = 0;
        FullTime = 0.0;
        CarFrameTime = 0.0f;
        World = std::make_unique<CPPhysicWorld>();
        CPPhysicWorld::Instance = World.get();
        const PhysicWorldFixture::TerrainMesh ground =
            PhysicWorldFixture::MakeTerrain(50, 8.0f, -200.0f, -200.0f, [](float, float) { return 0.0f; });
        World->BuildTriangleGrid(ground.Positions, ground.Indices.data(), ground.Indices.size());
        ASSERT_TRUE(World->CreateSimulator());
    }
    void TearDown() override {
        World.reset();  // lets go of the bodies before their nodes go
        CPPhysicWorld::Instance = nullptr;
        for (CPGameObject* body : Bodies) {
            body->Car = nullptr;
        }
        for (CPCar* car : Cars) {
            delete car;
        }
        for (CPGameObject* body : Bodies) {
            CPSceneLoader::DeleteObject(body);
        }
        Cfg::ResetDefaults();
        FrameTime = 0.0f;
    }

    // A body of the test car's box and mass at position, turned by yaw about z, with wheel
    // children (and, with lights, the four light children), and its rigid body unless
    // withRigidBody is false.
    CPGameObject* MakeBody(const D3DXVECTOR3& position, float yaw = 0.0f, int wheels = 4, bool withRigidBody = true,
                           bool lights = false) {
        return SetUpBody(new CPGameObject("car"), position, yaw, wheels, withRigidBody, lights);
    }
    // The same on a node the test made (a player object); the fixture deletes it.
    template <class Node>
    Node* SetUpBody(Node* body, const D3DXVECTOR3& position, float yaw = 0.0f, int wheels = 4,
                    bool withRigidBody = true, bool lights = false) {
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
        // The description's order: size along x, height, size along y; boxes (x, height, y).
        body->Physics->SetShape(BodyHeight, BodyWidth, BodyLength, Mass);
        body->Physics->AddBox(D3DXVECTOR3(0, 0, 0), D3DXQUATERNION(0, 0, 0, 1), BodyWidth, BodyHeight, BodyLength, Mass);
        if (withRigidBody) {
            World->AddObject(CPtr<CPGameObject>(body), true, 1);
            World->ActivateObject(CPtr<CPGameObject>(body));
        }
        return body;
    }

    CPCar* MakeCar(CPGameObject* body, const std::string& description, bool withSound = false) {
        body->XmlDocument.Parse(description.c_str());
        CPtr<CPCar> car = CPCar::Create(CPtr<CPGameObject>(body), withSound);
        Cars.push_back(car.Get());
        return car.Get();
    }

    // One host frame: the clocks, then the world's task step.
    void Frame(float seconds = Dt) {
        ++FrameNumber;
        FrameTime = seconds;
        FullTime += seconds;
        World->Update();
    }
    void Run(float seconds, float dt = Dt) {
        const int frames = static_cast<int>(std::lround(seconds / dt));
        for (int i = 0; i < frames; ++i) {
            Frame(dt);
        }
    }

    static RbVector Forward(const RbRigidBody& body) {
        RbMatrix3 rows = body.Motion.Rotation;
        return RbScale(rows.Rows[1], -1.0f);
    }

    static constexpr float Mass = 40.0f;
    static inline const D3DXVECTOR3 ZAxis{0.0f, 0.0f, 1.0f};
    std::unique_ptr<CPPhysicWorld> World;
    std::vector<CPCar*> Cars;
    std::vector<CPGameObject*> Bodies;
};

}  // namespace CarFixture
