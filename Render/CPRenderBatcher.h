// A render batcher: during a frame the scene code hands it nodes, and it sorts their render
// objects into one block per material and copies their lights into the renderer's light
// table; nothing is drawn here. The renderer holds two, both made by the host: StaticBatcher,
// filled every frame by the quadtree walk, the car drawing and the interface, and
// DynamicBatcher, whose ring receives the level's static meshes once when the level loads
// (AddStaticTree between a Lock and an Unlock of VertexRing, or FillStatic).
//
// FrameBlocks holds the blocks that received objects since the frame drawing last emptied
// it, FrameOrder the same blocks in the order they first received one, so a frame draws
// alike every run. Blocks keeps one block per material ever met; only the batcher writes it.
//
// A node is batched only when its render object is of the class its RenderKind names
// (CPRenderObject, CPAnimatedObject, CPLight, CPSprite); any other, or none, is skipped.
#pragma once

#include "Render/CPIVBlock.h"
#include "Render/CPIVertexBuffer.h"
#include "core/CPObject.h"
#include "core/CPtr.h"
#include "platform/d3d9/D3D9.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CPGameObject;
class CPMaterial;

class CPRenderBatcher : public CPObject {
public:
    // The batcher's ring: slots pairs of vertexCapacity vertices and indexCapacity indices.
    CPRenderBatcher(int slots, uint32_t vertexCapacity, uint32_t indexCapacity);
    ~CPRenderBatcher() override;

    size_t GetObjectSize() const override { return sizeof(CPRenderBatcher); }
    std::string GetTypeName() const override { return "CPRenderBatcher"; }

    // Batches one node, without its children.
    void AddObject(const CPtr<CPGameObject>& node);
    // Batches a node and its visible subtree (only static nodes under StaticOnly).
    void AddTree(const CPtr<CPGameObject>& node);
    // Writes one visible static mesh into VertexRing.
    void AddStaticObject(CPtr<CPGameObject> node);
    // AddStaticObject over a node, its visible subtree and its level-of-detail objects. The
    // outermost call remembers the node, so the ring can be written again after a lost device.
    void AddStaticTree(CPtr<CPGameObject> node);
    // Locks the whole ring, writes the trees with AddStaticTree and unlocks it: what a level
    // does when it loads. False when the ring cannot be locked; the trees are then written
    // by the first RefillIfLost that can lock it.
    bool FillStatic(const std::vector<CPtr<CPGameObject>>& roots);
    // Writes the remembered trees again into a ring made again after a lost device (its
    // Refill flag), or that could not be locked before; nothing otherwise. Refill stays set
    // until the trees are written.
    void RefillIfLost();
    // Forgets the ring's contents and the remembered trees (a new level).
    void ForgetStatic();
    // Empties FrameBlocks, FrameOrder and those blocks for the next frame.
    void EndFrame();

    CPtr<CPIVertexBuffer> VertexRing;
    std::unordered_map<CPMaterial*, CPtr<CPIVBlock>> FrameBlocks;
    std::unordered_map<CPMaterial*, CPtr<CPIVBlock>> Blocks;
    bool StaticOnly = false;
    // The materials of FrameBlocks in the order their blocks first received an object.
    std::vector<CPMaterial*> FrameOrder;

private:
    // The render object of node as a renderable, when it is of the class RenderKind names.
    static CPRenderable* Renderable(CPGameObject& node);
    // AddObject and AddTree on nodes the caller holds: the walk takes no counted pointers.
    void AddNode(CPGameObject& node);
    void AddTreeInner(CPGameObject* node);
    void AddStaticTreeInner(CPGameObject* node);

    // The block of a material, made on first meeting it.
    CPIVBlock* BlockOf(CPMaterial* key);

    // A direct-mapped index over Blocks, so most objects find their block without the map's
    // division and its two dependent loads. Only this batcher adds to Blocks and an entry
    // keeps its block for the batcher's life, so a slot never goes stale.
    struct BlockSlot {
        CPMaterial* Material = nullptr;
        CPIVBlock* Block = nullptr;  // null: an empty slot
    };
    static constexpr int BlockIndexBits = 6;
    std::array<BlockSlot, size_t{1} << BlockIndexBits> blockIndex{};

    // Release frees nothing: the batcher owns its ring and blocks.
    std::unique_ptr<CPIVertexBuffer> ownRing;
    std::vector<std::unique_ptr<CPIVBlock>> ownBlocks;
    std::vector<CPtr<CPGameObject>> staticRoots;
    int staticDepth = 0;
};
