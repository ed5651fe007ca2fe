// The frame drawing: what turns the state the scene code left in the renderer into draw
// calls, once a frame after the tasks have stepped. The host makes one and calls Draw.
//
// A frame: the device is asked whether it can draw (a lost device skips the frame; the host
// resets it and the next frame draws again, the level's static meshes written anew into the
// dynamic batcher's ring); ViewProjection is taken from the scene camera (the lowest layer
// with a perspective camera) before anything projects with it; the scene begins and is
// cleared to the fog colour; the sky draws (through CPRenderSky::Render) and the light table
// is applied exactly once, by the sky or else here; the blocks of both batchers are drawn
// layer by layer; the debug lines are drawn as a line list and cleared; the radial blur,
// motion blur and fade are drawn as screen passes; the scene ends and is presented. The
// blocks are emptied for the next frame whatever happened.
//
// Layers, in number order: a layer with a camera sets view and projection from it (a base
// camera's View holds the whole projection of the 2-D layer); one without keeps those before
// it. A block is drawn in the layer with the greatest number not above its material's Type,
// or in the lowest layer when the Type is below all of them; a layer's matrix is the world
// transform of the blocks whose Type is the layer's own number (the shadow projection of
// layer 16 for shadow materials of type 16), identity for the others.
//
// A block draws with its material's effect, pass by pass, textures "tex0".. from its texture
// block, "time" from FullTime and the pool's shared scene parameters per layer (the world ones,
// world x view and world x view x projection, per world drawn, shared meshes included); a material
// without a compiled effect draws with the fixed-function stages and its textures. Its
// objects are written into the static batcher's ring, one lock per slot for as many blocks
// as fit, and drawn with one call per block and slot. Objects already in the dynamic
// batcher's ring (static meshes written at level load, without texture modifiers) write only
// their indices; excluded meshes draw from their shared mesh buffers with their node's
// world matrix.
#pragma once

#include "Render/CPIVBlock.h"
#include "Render/CPRender.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class CPMaterial;
class CPRenderBatcher;
class CPRenderObject;
class FrameDump;

class CPRenderFrame {
public:
    explicit CPRenderFrame(CPRender& render) : render(render) {}

    // Draws one frame of frameTime seconds. False when nothing was presented (no device, a
    // lost device, a refused scene or present); the blocks and lines are emptied either way.
    bool Draw(float frameTime);

    // When set, the frame notes its layers, blocks and passes into it.
    FrameDump* Dump = nullptr;

    struct Statistics {
        int Blocks = 0;
        int Objects = 0;
        int Draws = 0;
        uint64_t Primitives = 0;
        int Refused = 0;  // draws the device refused
    };
    // What the last Draw drew.
    Statistics Last;

    // The layer a material Type draws in, of the renderer's layers; INT32_MIN without layers.
    int32_t LayerFor(int type) const;

private:
    // One block of a frame, with the layer it draws in.
    struct FrameBlock {
        CPMaterial* Material = nullptr;
        CPIVBlock* Block = nullptr;
        int32_t Layer = 0;
    };
    // A stretch of a block written into the locked slot of the frame ring.
    struct Piece {
        size_t Block = 0;             // index into blocks
        uint32_t DynamicIndex = 0;    // first index of the dynamic objects
        uint32_t DynamicIndices = 0;
        uint32_t MinVertex = 0;
        uint32_t Vertices = 0;
        uint32_t StaticIndex = 0;     // first index of the objects of the static ring
        uint32_t StaticIndices = 0;
        int StaticSlot = -1;
        uint32_t StaticMin = 0;
        uint32_t StaticEnd = 0;
        std::vector<CPRenderObject*> Shared;  // excluded meshes
    };

    void Discard();
    void CollectBlocks();
    void DrawBlocks();
    // Writes blocks from index next on into the locked ring until one does not fit.
    size_t FillPieces(size_t next, size_t& object);
    void DrawPieces();
    void ApplyLayer(int32_t layer);
    void DrawPiece(const Piece& piece);
    // active: the effect whose pass is open, told of the shared meshes' own worlds.
    void DrawPieceGeometry(const Piece& piece, const D3DXMATRIX& world, ID3DXEffect* active);
    void SetSceneParameters();
    // The pool's world-dependent parameters (world x view, world x view x projection).
    void SetWorldParameters(const D3DXMATRIX& world);
    void DrawLines();
    void DrawScreenPasses();
    void DrawScreenQuad(uint32_t colour);
    void Note(const std::string& text);

    CPRender& render;
    IDirect3DDevice9* device = nullptr;
    CPRenderBatcher* frameBatcher = nullptr;
    CPRenderBatcher* staticBatcher = nullptr;
    std::vector<FrameBlock> blocks;
    std::vector<Piece> pieces;
    // The meshes of the piece being filled that sit in the level's ring, with their first
    // vertex there; kept for its capacity.
    std::vector<std::pair<CPRenderObject*, uint32_t>> fromLevel;
    int frameSlot = 0;  // the frame ring's slot of the pieces
    int32_t currentLayer = 0;
    bool layerApplied = false;
    D3DXMATRIX view;
    D3DXMATRIX projection;
    D3DXMATRIX sceneView;
    D3DXMATRIX sceneProjection;
    std::vector<CPRender::BlurVertex> blurVertices;
    std::vector<uint16_t> blurIndices;
};
