#include "game/CPPhysicWorld.h"

#include "Render/CPRenderObject.h"
#include "core/ConfigVars.h"
#include "core/Singletons.h"
#include "physics/RbSimulator.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicData.h"

#include <cmath>

CPPhysicWorld* GetPhysicWorld() { return CPPhysicWorld::Instance; }

namespace {

// The game's capacities: 500 rigid bodies, 1000 kinematic bodies, 500 rigid particles, 50
// controllers, 1500 pairs, 5000 geometries, 1000 sensors.
RbSizeLimits GameLimits() {
    RbSizeLimits limits;
    limits.rigidBodiesCount = 500;
    limits.kinematicBodiesCount = 1000;
    limits.rigidParticleCount = 500;
    limits.constraintSetsCount = 50;
    limits.pairsCount = 1500;
    limits.geometriesCount = 5000;
    limits.constraintsCount = 150;
    limits.constraintGroupsCount = 150;
    limits.constraintBufferSize = 10;
    limits.sensorsCount = 1000;
    limits.nodesStartCount = 200;
    limits.nodesGrowByCount = -1;
    return limits;
}

// Group 0 against itself and against the terrain: resolve and report.
constexpr int32_t ResolveAndReport = 3;

// The quaternion over its length; the identity for a zero or non-finite one.
RbQuaternion Normalised(float x, float y, float z, float w) {
    const float length = std::sqrt(x * x + y * y + z * z + w * w);
    if (!(length > 0.0f) || !std::isfinite(length)) {
        return RbQuaternion{};
    }
    return RbQuaternion{x / length, y / length, z / length, w / length};
}

// Rows of the shape record's rotation, conjugated as the collision records store it, and its
// offset.
RbMatrix4 ShapeTransform(const CPPhysicShape& shape) {
    const D3DXQUATERNION& q = shape.Rotation;
    const RbMatrix3 rotation = RbRotationFromQuaternion(Normalised(-q.x, -q.y, -q.z, q.w));
    RbMatrix4 m;
    for (int row = 0; row < 3; ++row) {
        m.M[row][0] = rotation.Rows[row].x;
        m.M[row][1] = rotation.Rows[row].y;
        m.M[row][2] = rotation.Rows[row].z;
        m.M[row][3] = 0.0f;
    }
    m.M[3][0] = shape.Position.x;
    m.M[3][1] = shape.Position.y;
    m.M[3][2] = shape.Position.z;
    m.M[3][3] = 1.0f;
    return m;
}

}  // namespace

CPPhysicWorld::CPPhysicWorld() = default;

CPPhysicWorld::~CPPhysicWorld() {
    DestroySimulator();
    if (Instance == this) {
        Instance = nullptr;
    }
}

void CPPhysicWorld::BuildTriangleGrid(CPtr<CPRenderObject> terrain) {
    std::vector<D3DXVECTOR3> positions;
    if (terrain == nullptr) {
        CPPhysicScene::BuildTriangleGrid(positions, nullptr, 0);
        return;
    }
    D3DXMATRIX world;
    D3DXMatrixIdentity(&world);
    if (terrain->Owner != nullptr) {
        world = terrain->Owner->WorldMatrix;
    }
    positions.resize(terrain->Vertices.size());
    for (size_t i = 0; i < positions.size(); ++i) {
        D3DXVec3TransformCoord(&positions[i], &terrain->Vertices[i].Position, &world);
    }
    CPPhysicScene::BuildTriangleGrid(positions, terrain->Indices.data(), terrain->Indices.size());
}

bool CPPhysicWorld::CreateSimulator() {
    DestroySimulator();
    const RbSizeLimits limits = GameLimits();
    const RbVector gravity = RbVec(0.0f, 0.0f, Gravity);
    Simulator = RbSimulator::Create(&limits, nullptr, &gravity);
    if (Simulator == nullptr) {
        return false;
    }
    Simulator->SetMaterial(1, Cfg::friction, Cfg::restitution);
    Simulator->SetMaterial(0, Cfg::friction, Cfg::restitution);
    Simulator->SetCollisionCallback(&CPPhysicWorld::OnCollision);
    RbCollisionTable* table = Simulator->GetCollisionTable();
    table->Set(0, RbCollisionTable::TerrainGroup, ResolveAndReport);
    table->Set(0, 0, ResolveAndReport);
    Simulator->SetTerrainQueryCallback(&CPPhysicScene::TerrainQueryCallback);
    Accumulator = 0.0f;
    return true;
}

void CPPhysicWorld::DestroySimulator() {
    if (Simulator == nullptr) {
        return;
    }
    // Whatever still points into the simulator's pools lets go first: the physics data of
    // the bodies' nodes, and of the active nodes.
    auto release = [this](CPPhysicData* physics) {
        const RbBody* body = physics->RigidBody != nullptr ? static_cast<const RbBody*>(physics->RigidBody)
                                                           : static_cast<const RbBody*>(physics->KinematicBody);
        if (body == nullptr || body->Simulator != Simulator) {
            return;
        }
        physics->RigidBody = nullptr;
        physics->KinematicBody = nullptr;
        physics->Controller = nullptr;
        physics->TerrainTriangleCount = 0;
        for (CPPhysicShape& shape : physics->Shapes) {
            shape.Geometry = nullptr;
        }
    };
    for (int32_t kind = 0; kind < RbBodyListCount; ++kind) {
        for (RbBody* body = Simulator->GetBodyList(static_cast<RbBodyListKind>(kind)).Head; body != nullptr;
             body = body->ListNext) {
            auto* owner = static_cast<CPGameObject*>(body->GetUserData());
            if (owner != nullptr && owner->Physics != nullptr) {
                release(owner->Physics.Get());
            }
        }
    }
    for (CPGameObject* node : ActiveObjects) {
        if (node->Physics != nullptr) {
            release(node->Physics.Get());
        }
    }
    PendingRemovals.clear();
    RbSimulator::Destroy(Simulator);
    Simulator = nullptr;
}

void CPPhysicWorld::AddObject(CPtr<CPGameObject> node, bool active, int32_t material) {
    if (node == nullptr || node->Physics == nullptr || Simulator == nullptr) {
        return;
    }
    CPtr<CPPhysicData> physics = node->Physics;
    if (physics->RigidBody != nullptr || physics->KinematicBody != nullptr) {
        RemoveBody(physics);  // one body per object
    }
    CreateLevelBodies(physics, node->Position, node->Orientation, active, material);
    if (physics->KinematicBody != nullptr) {
        physics->KinematicBody->SetUserData(node.Get());
    } else if (physics->RigidBody != nullptr) {
        physics->RigidBody->SetUserData(node.Get());
    }
}

void CPPhysicWorld::CreateLevelBodies(CPtr<CPPhysicData> physics, const D3DXVECTOR3& position,
                                      const D3DXQUATERNION& orientation, bool active, int32_t material) {
    if (physics == nullptr || Simulator == nullptr) {
        return;
    }
    RbBody* body = nullptr;
    if (physics->MainShape.Mass < 0.0f) {
        physics->KinematicBody = Simulator->CreateKinematicBody();
        body = physics->KinematicBody;
    } else {
        physics->RigidBody = physics->IsParticle ? Simulator->CreateRigidParticle() : Simulator->CreateRigidBody();
        body = physics->RigidBody;
    }
    if (body == nullptr) {
        return;
    }
    for (CPPhysicShape& shape : physics->Shapes) {
        shape.Geometry = body->AddGeometry();
        if (shape.Geometry == nullptr) {
            continue;
        }
        if (shape.Kind != CPPhysicShape::KindBox && shape.Kind != CPPhysicShape::KindCylinder) {
            continue;
        }
        shape.Geometry->SetTransform(ShapeTransform(shape));
        if (shape.Kind == CPPhysicShape::KindBox) {
            shape.Geometry->SetBoxSize(shape.Size.x, shape.Size.z, shape.Size.y);
        } else {
            shape.Geometry->SetCylinder(shape.Diameter, shape.Size.y);
        }
        shape.Geometry->SetMaterialIndex(material);
    }
    body->UpdateBoundingInfo();
    if (physics->KinematicBody != nullptr) {
        physics->KinematicBody->SetPosition(RbVec(position.x, position.y, position.z, 1.0f));
        physics->KinematicBody->SetRotation(Normalised(orientation.x, orientation.y, orientation.z, orientation.w));
    } else {
        physics->Active = active;
    }
}
