// Bullet's side of the physics benchmarks: a discrete dynamics world with the rolling terrain
// as a static BVH triangle mesh, and the dynamic bodies it owns, read back as our vectors.
#pragma once

#include "bench/RollingTerrain.h"

#include <btBulletDynamicsCommon.h>

#include <memory>
#include <vector>

namespace bench {

// The closest hit of a ray that leaves one body out, as a vehicle's wheel ray leaves out its
// own chassis: a ray starting inside the hull is never tested against it.
struct RayPastOwnBody : btCollisionWorld::ClosestRayResultCallback {
    RayPastOwnBody(const btVector3& from, const btVector3& to, const btCollisionObject* own)
        : ClosestRayResultCallback(from, to), Own(own) {}
    bool needsCollision(btBroadphaseProxy* proxy) const override {
        return proxy->m_clientObject != Own && ClosestRayResultCallback::needsCollision(proxy);
    }
    const btCollisionObject* Own;
};

struct BulletTerrainWorld {
    btDefaultCollisionConfiguration Configuration;
    btCollisionDispatcher Dispatcher{&Configuration};
    btDbvtBroadphase Broadphase;
    btSequentialImpulseConstraintSolver Solver;
    btDiscreteDynamicsWorld World{&Dispatcher, &Broadphase, &Solver, &Configuration};
    std::vector<float> VertexData;
    std::unique_ptr<btTriangleIndexVertexArray> Mesh;
    std::unique_ptr<btBvhTriangleMeshShape> TerrainShape;
    std::unique_ptr<btRigidBody> Ground;
    std::vector<std::unique_ptr<btCollisionShape>> Shapes;  // before the bodies: they outlive them
    std::vector<std::unique_ptr<btDefaultMotionState>> States;
    std::vector<std::unique_ptr<btRigidBody>> Bodies;  // the derived world adds them

    BulletTerrainWorld(RollingTerrain& terrain, float gravity) {
        World.setGravity(btVector3(0, 0, -gravity));
        for (const RbVector& v : terrain.Vertices) {
            VertexData.insert(VertexData.end(), {v.x, v.y, v.z});
        }
        Mesh = std::make_unique<btTriangleIndexVertexArray>(
            static_cast<int>(terrain.Triangles.size()), terrain.Indices.data(), 3 * static_cast<int>(sizeof(int32_t)),
            static_cast<int>(terrain.Vertices.size()), VertexData.data(), 3 * static_cast<int>(sizeof(float)));
        TerrainShape = std::make_unique<btBvhTriangleMeshShape>(Mesh.get(), true);
        Ground = std::make_unique<btRigidBody>(0.0f, nullptr, TerrainShape.get());
        World.addRigidBody(Ground.get());
    }
    ~BulletTerrainWorld() {
        for (auto& body : Bodies) {
            World.removeRigidBody(body.get());
        }
        World.removeRigidBody(Ground.get());
    }
    BulletTerrainWorld(const BulletTerrainWorld&) = delete;
    BulletTerrainWorld& operator=(const BulletTerrainWorld&) = delete;

    btBoxShape* AddBox(const btVector3& half) {
        Shapes.push_back(std::make_unique<btBoxShape>(half));
        return static_cast<btBoxShape*>(Shapes.back().get());
    }

    RbVector Position(size_t i) const {
        const btVector3& o = Bodies[i]->getWorldTransform().getOrigin();
        return RbVec(o.x(), o.y(), o.z());
    }
    float Speed(size_t i) const { return Bodies[i]->getLinearVelocity().length(); }
    float Up(size_t i) const { return Bodies[i]->getWorldTransform().getBasis().getColumn(2).z(); }
};

}  // namespace bench
