// The physics world as the layers below the race world see it: the lower half of
// CPPhysicWorld (game/CPPhysicWorld.h), the one class of the game's rigid-body world.
//
// Layering: the world needs the renderer (the terrain mesh is a render object, collisions
// dent meshes), sounds, particles and the cars, so it lives in game/. Yet scene nodes switch
// their physics on and off, a dying node must leave the active set, a killed car's physics
// data parks its body, and the renderer's shadow decals read the terrain triangles and
// heights. That part needs nothing above the scene graph, so it is this base class, and
// CPPhysicWorld derives from it; nodes and the renderer reach it through Current, or the
// world that owns a given simulator. Nothing here creates or steps a simulator.
//
// The terrain is a triangle soup (positions in world space, z up) sorted into a grid of
// 4 m x 4 m cells over x and y. A cell lists every triangle that overlaps it, so the
// candidates for a box are the triangles of the cells it covers.
#pragma once

#include "core/CPtr.h"
#include "physics/RbMath.h"
#include "physics/RbTerrain.h"
#include "platform/d3dx/D3DXMath.h"

#include <cstdint>
#include <list>
#include <memory>
#include <unordered_set>
#include <vector>

class CPGameObject;
class CPPhysicData;
class RbBody;
class RbKinematicBody;
class RbRigidBody;
class RbSimulator;

// One grid cell: the numbers of the terrain triangles that overlap it. Count always equals
// Triangles.size().
struct CPGridCell {
    int32_t Count = 0;
    std::vector<int32_t> Triangles;
};

// A parked body waiting to be let go; Count frames are left before the world forgets it.
struct CPPendingRemoval {
    RbRigidBody* RigidBody = nullptr;          // null for a kinematic body
    RbKinematicBody* KinematicBody = nullptr;  // null for a rigid body
    int32_t Count = 2;
};

// 2-D geometry of the grid (x and y only; z is ignored except where said).
// Where p lies against the directed segment a->b: 0 left, 1 right, 2 beyond b, 3 behind a,
// 4 between a and b, 5 at a, 6 at b (5 and 6 compare x, y and z).
int ClassifyPoint(const D3DXVECTOR3& p, const D3DXVECTOR3& a, const D3DXVECTOR3& b);
// p inside or on the triangle, whatever its winding.
bool PointInTriangle2D(const D3DXVECTOR3& p, const D3DXVECTOR3& a, const D3DXVECTOR3& b, const D3DXVECTOR3& c);
// The two closed segments meet; parallel segments (collinear ones too) never do.
bool SegmentsIntersect(const D3DXVECTOR3& a1, const D3DXVECTOR3& a2, const D3DXVECTOR3& b1, const D3DXVECTOR3& b2);
// The cell rectangle with corners p0 (low x, low y), p1 (high x, low y), p2 (low x, high y),
// p3 (high x, high y) and the triangle t0 t1 t2 overlap (touching counts).
bool CellOverlapsTriangle(const D3DXVECTOR3& p0, const D3DXVECTOR3& p1, const D3DXVECTOR3& p2,
                          const D3DXVECTOR3& p3, const D3DXVECTOR3& t0, const D3DXVECTOR3& t1,
                          const D3DXVECTOR3& t2);

class CPPhysicScene {
public:
    static constexpr size_t ActiveObjectBuckets = 100;
    static constexpr float CellSize = 4.0f;  // m
    static constexpr int32_t GridMargin = 10;  // extra cells along each axis
    // Where the first removed body is parked (z, m); each removal parks the next 500 m lower,
    // and below -100000 the heights start again at -1000.
    static constexpr float FirstParkingHeight = -1000.0f;

    CPPhysicScene();
    virtual ~CPPhysicScene();
    CPPhysicScene(const CPPhysicScene&) = delete;
    CPPhysicScene& operator=(const CPPhysicScene&) = delete;

    // The world of the running game: the last one constructed while it lives (null when
    // none). Tests may set it.
    static inline CPPhysicScene* Current = nullptr;
    // The live world whose simulator is that one, else null.
    static CPPhysicScene* OfSimulator(const RbSimulator* simulator);
    // A node is being destroyed: every live world drops it from its active set, and a body
    // that still names it as its owner forgets it.
    static void ForgetNode(CPGameObject* node);

    // Switch a node's physics on and off (CPPhysicScene_Activation.cpp): the node enters or
    // leaves ActiveObjects and its physics data's Active flag follows; switching off also
    // takes its body (the rigid one, else the kinematic one) out of the simulation. Nothing
    // for a node without physics data.
    void ActivateObject(CPtr<CPGameObject> node);
    void DeactivateObject(CPtr<CPGameObject> node);

    // Parks the body of the physics data at (0, 0, ParkingHeight), switches it off, detaches
    // it from the data and queues it in PendingRemovals (CPPhysicScene_Bodies.cpp). Nothing
    // for data without a body.
    void RemoveBody(CPtr<CPPhysicData> physics);

    // Terrain (CPPhysicScene_Terrain.cpp). Builds Vertices, Triangles and the grid from world
    // positions and a 16-bit triangle list (a trailing partial triangle is dropped). A
    // triangle with an index at or beyond the vertex count keeps the record (-1, -1, -1) and
    // enters no cell.
    void BuildTriangleGrid(const std::vector<D3DXVECTOR3>& positions, const uint16_t* indices, size_t indexCount);
    // Column and row of the cell under p, clamped to the grid, as floats.
    D3DXVECTOR2 GetCell(const D3DXVECTOR3& p) const;
    // The cell at column trunc(x), row trunc(y); an empty cell outside the grid.
    const CPGridCell& GetCellTriangles(const D3DXVECTOR2& cell) const;
    bool CellHasTriangle(int32_t triangle, const D3DXVECTOR2& cell) const;
    // Height (z) of the terrain under p: the plane of the cell's triangle that covers p in x
    // and y (the one nearest p.z where several do); where none covers it, the z of the cell's
    // vertex nearest p; 0 over a cell without triangles.
    float GetHeight(const D3DXVECTOR3& p) const;
    // Refills the physics data's TerrainTriangles with the triangles of the cells covering
    // the box lower..upper grown by one cell on each side, each triangle once, cells in the
    // order of the query; the list stops before the cell that would reach MaxTerrainTriangles.
    void QueryTerrain(const D3DXVECTOR3& lower, const D3DXVECTOR3& upper, CPPhysicData& physics) const;

    // The simulator's terrain query callback: the candidates of the body's box, kept in the
    // physics data of the body's node (a body without one gets them in a scratch list), with
    // the world's triangle and vertex arrays. No world owning the body's simulator: nothing.
    static void TerrainQueryCallback(const RbVector& lower, const RbVector& upper, const int32_t*& candidates,
                                     const RbTerrainTriangle*& triangles, const RbVector*& vertices,
                                     int32_t& candidateCount, int32_t& triangleCount, RbBody* body);

    int32_t GetVertexCount() const { return static_cast<int32_t>(Vertices.size()); }
    int32_t GetTriangleCount() const { return static_cast<int32_t>(Triangles.size()); }

    // Nodes whose physics takes part in the simulation (not counted).
    std::unordered_set<CPGameObject*> ActiveObjects;
    // The simulator of the level (owned by CPPhysicWorld), null without one.
    RbSimulator* Simulator = nullptr;

    // Grid: GridWidth columns of GridHeight cells, column x at GridCells[x * GridHeight].
    // Cell (x, y) covers [o.x + 4x, o.x + 4(x + 1)] x [o.y + 4y, o.y + 4(y + 1)].
    std::vector<CPGridCell> GridCells;
    RbVector GridOrigin;  // lower corner of the terrain's bounds (which hold the origin)
    int32_t GridWidth = 0;
    int32_t GridHeight = 0;
    // Terrain vertices in world space (fourth float 0) and triangles of vertex numbers.
    std::vector<RbVector> Vertices;
    std::vector<RbTerrainTriangle> Triangles;

    float ParkingHeight = FirstParkingHeight;
    std::list<CPPendingRemoval> PendingRemovals;

private:
    // The simulator keeps a body's last answer while its box stays inside the box it asked
    // for; after the grid changes every body must ask again.
    void ForgetTerrainAnswers();
    const CPGridCell* CellAt(int32_t x, int32_t y) const;
    // Query scratch: per-cell and per-triangle marks of the current query.
    mutable std::vector<uint32_t> CellMarks;
    mutable std::vector<uint32_t> TriangleMarks;
    mutable std::vector<int32_t> QueryCells;
    mutable uint32_t QueryMark = 0;
    // The cells' lists once more, end to end in cell order (cell i's from CellStarts[i] to
    // CellStarts[i + 1]): a query walks a block of cells, which then lie together in memory.
    std::vector<uint32_t> CellStarts;
    std::vector<int32_t> CellEntries;
    uint32_t GridVersion = 0;  // counts the grid's builds
    // Candidates of bodies without physics data.
    std::unique_ptr<CPPhysicData> ScratchData;
};
