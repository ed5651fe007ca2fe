// The physics side of one scene node: the shape and mass its description gives it, the box
// and cylinder records of its collision hull, and plain pointers to the rigid or kinematic
// body the physics world makes from them. Moving the node moves its body through this class.
//
// Masses are divided by the configuration's "weight_div"; a divisor of 0 or below (0 is its
// value until "config.cfg" sets it) counts as 1, so no mass becomes infinite. A mass that is
// not a positive finite number makes a static body (the library gives it inverse mass 0) and
// gets no inertia. Bodies, geometries and controllers belong to the simulator; nothing here
// frees them.
//
// Vectors are in world axes, metres; quaternions (x, y, z, w) as in D3DX.
#pragma once

#include "core/CPObject.h"
#include "physics/RbController.h"
#include "physics/RbMath.h"
#include "platform/d3dx/D3DXMath.h"
#include "scene/CPPhysicShape.h"

#include <cstdint>
#include <vector>

class CPGameObject;
class RbKinematicBody;
class RbRigidBody;

class CPPhysicData : public CPObject, public RbControllerCallback {
public:
    static constexpr int32_t MaxTerrainTriangles = 1000;

    explicit CPPhysicData(CPGameObject* owner);

    size_t GetObjectSize() const override { return sizeof(CPPhysicData); }
    std::string GetTypeName() const override { return "CPPhysicData"; }

    // The main shape becomes a box of size (b, a, c) (the loaders pass size along x, height,
    // size along y) and mass / "weight_div"; a negative mass asks for a kinematic body.
    void SetShape(float a, float b, float c, float mass);
    // Appends a box record of size (sx, sy, sz).
    void AddBox(const D3DXVECTOR3& position, const D3DXQUATERNION& rotation, float sx, float sy, float sz, float mass);
    // Appends a cylinder record (axis along local y): Size (5, height, 5), Diameter.
    void AddCylinder(const D3DXVECTOR3& position, const D3DXQUATERNION& rotation, float diameter, float height,
                     float mass);
    // Re-applies the main shape's inertia and mass and the owner's pose (its orientation
    // normalised) to the rigid body, attaches the controller when asked; nothing without a
    // rigid body.
    void Refresh();
    // To the kinematic body when there is one, else the rigid body, else nothing.
    void SetPosition(const D3DXVECTOR3& position);
    void SetOrientation(const D3DXQUATERNION& rotation);

    // Hands the body to the physics world that owns its simulator (else the current one),
    // which parks it and detaches it from this data. Nothing without a body.
    void RemoveBody();

    // Controller step: while HoldMotion is set, the rigid body keeps the held momentum and
    // velocity. No force or torque is set.
    void OnStep(RbController* controller, float timeStep) override;

    RbController* Controller = nullptr;
    RbKinematicBody* KinematicBody = nullptr;
    std::vector<CPPhysicShape> Shapes;
    CPGameObject* Owner = nullptr;  // not counted
    bool AttachController = false;
    RbVector HeldAngularMomentum;
    RbVector HeldVelocity;
    bool HoldMotion = false;
    bool Active = false;
    // Candidate terrain triangles of the body's last terrain query (indices into the
    // world's triangle table); TerrainTriangleCount of them are valid.
    int32_t TerrainTriangles[MaxTerrainTriangles] = {};
    int32_t TerrainTriangleCount = 0;
    // What the list answers: the world and grid it came from and the cells of the query
    // box's five sample points. A query with the same cells gets the same list.
    const void* TerrainQueryWorld = nullptr;
    uint32_t TerrainQueryGrid = 0;
    int32_t TerrainQueryCount = -1;
    int32_t TerrainQueryCells[10] = {};
    RbRigidBody* RigidBody = nullptr;
    CPPhysicShape MainShape;
    bool IsParticle = false;
};
