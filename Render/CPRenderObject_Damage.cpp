// The car damage model of a mesh render object: the vertices of the car's body parts (wheels
// left out) are gathered into groups of coinciding vertices and the groups into regions about
// 0.3 across, each with a box that follows the car. A hit whose ray crosses a region's box bends
// the normals of all its vertices by small random turns (the game's rand, so a seeded run dents
// the same way) and tints them, until the region has taken a damage of 1.
//
// Grouping compares every vertex with the group's first one. Candidates come from a hash grid
// of cells as wide as the distance limit, so building the model of a car of n vertices costs
// about n look-ups instead of n² comparisons; the groups and their order are those of the plain
// pairwise search (members in reference order).
#include "Render/CPRenderObject.h"

#include "platform/win32/CrtRand.h"
#include "scene/CPGameObject.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>

namespace {

constexpr float GroupDistance = 0.1f;
constexpr float RegionDistance = 0.3f;
constexpr float SmallRegion = 0.4f;         // boxes smaller than this get the default size
constexpr float DefaultHalfExtent = 0.3f;
constexpr float HitReach = 1.7f;            // in units of the hit's direction vector
constexpr float MinimumAmount = 0.01f;
constexpr uint32_t DentColour = 0x96FFFFFF;

const std::array<const char*, 8> WheelNames = {"w0", "w0d", "w1", "w1d", "w2", "w2d", "w3", "w3d"};

float Distance(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    const D3DXVECTOR3 d(a.x - b.x, a.y - b.y, a.z - b.z);
    return D3DXVec3Length(&d);
}

struct Cell {
    int64_t x, y, z;
    bool operator==(const Cell&) const = default;
};

struct CellHash {
    size_t operator()(const Cell& c) const {
        return static_cast<size_t>(static_cast<uint64_t>(c.x) * 73856093u ^ static_cast<uint64_t>(c.y) * 19349663u ^
                                   static_cast<uint64_t>(c.z) * 83492791u);
    }
};

int64_t CellOf(float value, float size) {
    const double cell = std::floor(static_cast<double>(value) / size);
    // Points far out or not finite share the outermost cells; they still compare by distance.
    if (!(cell > -1e15)) {
        return std::isnan(cell) ? 0 : static_cast<int64_t>(-1e15);
    }
    return static_cast<int64_t>(std::min(cell, 1e15));
}

Cell CellOf(const D3DXVECTOR3& p, float size) { return {CellOf(p.x, size), CellOf(p.y, size), CellOf(p.z, size)}; }

// Clusters in order: the first point not yet taken starts one, and every later point not yet
// taken that lies nearer than `limit` to the starting point joins it. Members ascending.
std::vector<std::vector<uint32_t>> Cluster(const std::vector<D3DXVECTOR3>& points, float limit) {
    std::unordered_map<Cell, std::vector<uint32_t>, CellHash> grid;
    grid.reserve(points.size());
    for (uint32_t i = 0; i < points.size(); ++i) {
        grid[CellOf(points[i], limit)].push_back(i);
    }
    std::vector<bool> taken(points.size(), false);
    std::vector<std::vector<uint32_t>> clusters;
    for (uint32_t i = 0; i < points.size(); ++i) {
        if (taken[i]) {
            continue;
        }
        taken[i] = true;
        std::vector<uint32_t> members{i};
        const Cell centre = CellOf(points[i], limit);
        for (int64_t dx = -1; dx <= 1; ++dx) {
            for (int64_t dy = -1; dy <= 1; ++dy) {
                for (int64_t dz = -1; dz <= 1; ++dz) {
                    auto it = grid.find(Cell{centre.x + dx, centre.y + dy, centre.z + dz});
                    if (it == grid.end()) {
                        continue;
                    }
                    for (uint32_t j : it->second) {
                        if (!taken[j] && Distance(points[j], points[i]) < limit) {
                            taken[j] = true;
                            members.push_back(j);
                        }
                    }
                }
            }
        }
        std::sort(members.begin() + 1, members.end());
        clusters.push_back(std::move(members));
    }
    return clusters;
}

bool IsWheel(const std::string& name) {
    return std::find(WheelNames.begin(), WheelNames.end(), name) != WheelNames.end();
}

CPVertex* VertexOf(const CPVertexRef& ref) {
    if (ref.Object == nullptr || ref.Index >= ref.Object->Vertices.size()) {
        return nullptr;
    }
    return &ref.Object->Vertices[ref.Index];
}

}  // namespace

void CPRenderObject::InitDamageModel() {
    DamageEnabled = true;
    DamageRegions.clear();
    damageBoxesBehind = false;

    // Body parts: the mesh nodes of the owner's tree that are not wheels. The owner is one of
    // them when it is a mesh of another name, so its vertices are listed twice.
    std::vector<CPRenderObject*> objects{this};
    if (Owner != nullptr) {
        std::vector<CPtr<CPGameObject>> tree;
        Owner->CollectTree(tree);
        for (const CPtr<CPGameObject>& node : tree) {
            if (node->RenderKind != CPGameObject::RenderMesh || IsWheel(node->Name)) {
                continue;
            }
            if (auto* part = dynamic_cast<CPRenderObject*>(node->RenderObject.Get())) {
                objects.push_back(part);
            }
        }
    }
    std::vector<CPVertexRef> refs;
    std::vector<D3DXVECTOR3> positions;
    for (CPRenderObject* object : objects) {
        for (uint32_t i = 0; i < object->Vertices.size(); ++i) {
            object->Vertices[i].Diffuse = 0xFFFFFFFF;
            refs.push_back({object, i});
            positions.push_back(object->Vertices[i].Position);
        }
    }

    std::vector<CPDamageRegion::VertexGroup> groups;
    std::vector<D3DXVECTOR3> groupPositions;
    for (const std::vector<uint32_t>& members : Cluster(positions, GroupDistance)) {
        CPDamageRegion::VertexGroup group;
        group.reserve(members.size());
        for (uint32_t m : members) {
            group.push_back(refs[m]);
        }
        groupPositions.push_back(positions[members.front()]);
        groups.push_back(std::move(group));
    }

    for (const std::vector<uint32_t>& members : Cluster(groupPositions, RegionDistance)) {
        CPDamageRegion region;
        D3DXVECTOR3 low = groupPositions[members.front()];
        D3DXVECTOR3 high = low;
        for (uint32_t m : members) {
            const D3DXVECTOR3& p = groupPositions[m];
            low = D3DXVECTOR3(std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z));
            high = D3DXVECTOR3(std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z));
            region.Groups.push_back(std::move(groups[m]));
        }
        const bool same = low.x == high.x && low.y == high.y && low.z == high.z;
        if (same || Distance(low, high) < SmallRegion) {
            region.Box.Centre = low;
            region.Box.HalfExtents = D3DXVECTOR3(DefaultHalfExtent, DefaultHalfExtent, DefaultHalfExtent);
        } else {
            const D3DXVECTOR3 half((high.x - low.x) / 2, (high.y - low.y) / 2, (high.z - low.z) / 2);
            region.Box.HalfExtents = half;
            region.Box.Centre = D3DXVECTOR3(low.x + half.x, low.y + half.y, low.z + half.z);
        }
        DamageRegions.push_back(std::move(region));
    }
    // Boxes are placed now, so a hit before the first frame finds them.
    for (CPDamageRegion& region : DamageRegions) {
        if (Owner != nullptr) {
            region.Box.Place(Owner->WorldMatrix);
        } else {
            region.Box.Update();
        }
    }
}

void CPRenderObject::UpdateDamageBoxes() {
    if (!DamageEnabled || Owner == nullptr) {
        return;
    }
    damagePlacement = Owner->WorldMatrix;
    damageBoxesBehind = true;
}

void CPRenderObject::PlaceDamageBoxes() {
    if (!damageBoxesBehind) {
        return;
    }
    damageBoxesBehind = false;
    for (CPDamageRegion& region : DamageRegions) {
        if (region.Level < 1.0f) {
            region.Box.Place(damagePlacement);
        }
    }
}

const std::vector<CPDamageRegion>& CPRenderObject::GetDamageRegions() {
    PlaceDamageBoxes();
    return DamageRegions;
}

void CPRenderObject::ApplyDamage(const D3DXVECTOR3& origin, const D3DXVECTOR3& direction, float amount) {
    if (!DamageEnabled || !(amount > MinimumAmount)) {
        return;
    }
    PlaceDamageBoxes();
    for (CPDamageRegion& region : DamageRegions) {
        if (!(region.Level < 1.0f)) {
            continue;
        }
        float distance = HitReach;
        D3DXPLANE plane;
        if (!region.Box.IntersectRay(origin, direction, distance, plane)) {
            continue;
        }
        region.Level += amount;
        for (const CPDamageRegion::VertexGroup& group : region.Groups) {
            for (const CPVertexRef& ref : group) {
                CPVertex* vertex = VertexOf(ref);
                if (vertex == nullptr) {
                    continue;
                }
                // Three turns in [-0.05, 0.05] rad, drawn as roll, pitch, yaw.
                const float roll = 0.05f - static_cast<float>(CrtRand()) * 0.1f / 32767.0f;
                const float pitch = 0.05f - static_cast<float>(CrtRand()) * 0.1f / 32767.0f;
                const float yaw = 0.05f - static_cast<float>(CrtRand()) * 0.1f / 32767.0f;
                D3DXMATRIX turn;
                D3DXMatrixRotationYawPitchRoll(&turn, yaw, pitch, roll);
                D3DXVECTOR3 normal;
                D3DXVec3TransformNormal(&normal, &vertex->Normal, &turn);
                D3DXVec3Normalize(&vertex->Normal, &normal);
                vertex->Diffuse = DentColour;
            }
        }
    }
}
