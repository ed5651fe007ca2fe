// The render object of a static mesh node: its vertices as loaded, in the mesh's own space,
// and a world-space copy rebuilt only after the owner's world matrix changed, which Fill hands
// to the batcher each frame (through the texture modifiers, when it has any).
#pragma once

#include "Render/CPDamageRegion.h"
#include "Render/CPMaterial.h"
#include "Render/CPRender.h"
#include "Render/CPTextureModifier.h"
#include "Render/CPVertex.h"
#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"
#include "scene/CPRenderable.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CPGameObject;

class CPRenderObject final : public CPRenderable {
public:
    explicit CPRenderObject(CPGameObject* owner) : Owner(owner) {}

    size_t GetObjectSize() const override { return sizeof(CPRenderObject); }
    std::string GetTypeName() const override { return "CPRenderObject"; }

    bool IsExcluded() const override { return Excluded; }
    void SetExcluded(bool excluded) override { Excluded = excluded; }
    int GetVertexCount() override { return static_cast<int>(Vertices.size()); }
    int GetIndexCount() override { return static_cast<int>(Indices.size()); }
    // Writes the world vertices (recomputed first when the owner moved) and the indices plus
    // base. Nothing when excluded or without world vertices.
    void Fill(CPVertex* vertices, uint16_t* indices, uint16_t base, bool flag) override;
    bool FillIndices(uint16_t* destination, int ignored, uint16_t& first, uint16_t& last) override;
    void GetMaterial(CPtr<CPMaterial>& material) override { material = Material; }
    void SetMaterial(const CPtr<CPMaterial>& material) override { Material = material; }

    // WorldVertices := Vertices through the owner's world matrix (identity without an owner):
    // positions with translation, normals by the upper 3x3 (not renormalised), diffuse colours
    // copied; the other fields keep what they held. Sized to Vertices first (a new or resized
    // list starts as a copy of Vertices). Nothing when excluded.
    void TransformToWorld();
    // Bakes m into Vertices (positions with translation, normals by the upper 3x3); the level
    // pre-transforms static geometry with it. WorldVertices is not touched.
    void TransformVertices(const D3DXMATRIX& m);
    // Makes this object a copy of source: owner, vertices, world vertices, indices, material,
    // the excluded flag with the shared buffers of its mesh name, and clones of its modifiers
    // (the modifiers held before are deleted).
    void CopyFrom(CPtr<CPRenderObject> source);
    // Appends a modifier (owned).
    void AddModifier(std::unique_ptr<CPTextureModifier> modifier);

    // Car damage (CPRenderObject_Damage.cpp). InitDamageModel gathers the vertices of this
    // object and of the owner's mesh parts below it (wheels "w0".."w3", "w0d".."w3d" left out)
    // into regions with boxes; ApplyDamage (world-space ray, amount above 0.01) dents every
    // region whose box the ray crosses within 1.7 direction lengths; TransformToWorld moves
    // the boxes of unsaturated regions with the owner (UpdateDamageBoxes). The boxes are
    // placed when next read: a car is moved every frame and hit seldom.
    void InitDamageModel();
    void ApplyDamage(const D3DXVECTOR3& origin, const D3DXVECTOR3& direction, float amount);
    void UpdateDamageBoxes();
    // The regions, their boxes where the last TransformToWorld put them.
    const std::vector<CPDamageRegion>& GetDamageRegions();

    // What batching and the frame read of every object drawn comes first, in the object's
    // first 120 bytes (the flags fill the tail of the base's last word).
    bool HasModifiers = false;
    bool Excluded = false;
    CPGameObject* Owner = nullptr;  // not counted
    CPtr<CPMaterial> Material;
    std::vector<uint16_t> Indices;   // triangle list
    std::vector<CPVertex> Vertices;  // mesh space
    std::vector<CPVertex> WorldVertices;
    // Where the last ring that wrote the object put it, so that ring finds it without its
    // table: the ring's stamp at the time (0: none) and the object's base vertex there. Kept
    // by CPIVertexBuffer only.
    uint64_t RingStamp = 0;
    uint32_t RingVertex = 0;
    std::vector<std::unique_ptr<CPTextureModifier>> Modifiers;
    std::string MeshBufferName;
    // The text a label's glyph quads spell (set by the font manager), so a frame dump can say
    // what a label shows; empty for other meshes. With it, the font (null: none) and origin
    // they were laid out with, so the same text is not laid out again.
    std::string Caption;
    uint64_t CaptionFont = 0;  // the font's serial number
    float CaptionX = 0.0f;
    float CaptionY = 0.0f;
    std::shared_ptr<CPRender::MeshBuffers> MeshBuffers;
    bool DamageEnabled = false;

private:
    // Moves the boxes of unsaturated regions to damagePlacement when they lag behind it.
    void PlaceDamageBoxes();

    std::vector<CPDamageRegion> DamageRegions;
    D3DXMATRIX damagePlacement;  // the owner's world matrix at the last UpdateDamageBoxes
    bool damageBoxesBehind = false;

    // TransformToWorld that also writes every finished world vertex to copy (when not null),
    // in the same pass.
    void TransformToWorld(CPVertex* copy);
};
