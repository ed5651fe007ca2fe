// The render-object interface of scene nodes. A render object does not draw: once per frame
// the batcher asks how many vertices and indices it will write, then gives it memory to write
// them into (48-byte CPVertex records and 16-bit triangle-list indices). Implemented by the
// static mesh, the vertex-animated mesh and the sprite; a node holds its render object in
// RenderObject with RenderKind saying which one.
//
// The interface lives with the node so the node can reach its render object's animation and
// material without knowing the renderer's classes.
#pragma once

#include "core/CPObject.h"
#include "core/CPtr.h"

#include <cstdint>

struct CPVertex;
class CPMaterial;
struct CPAnimationParams;

class CPRenderable : public CPObject {
public:
    // An excluded object reports its counts but is not written (its mesh sits in shared
    // device buffers instead).
    virtual bool IsExcluded() const = 0;
    virtual void SetExcluded(bool excluded) = 0;
    virtual int GetVertexCount() = 0;
    virtual int GetIndexCount() = 0;
    // Writes GetVertexCount vertices in world space and GetIndexCount indices, each increased
    // by base. The flag belongs to the batchers; render objects ignore it.
    virtual void Fill(CPVertex* vertices, uint16_t* indices, uint16_t base, bool flag) = 0;
    // Writes the indices without the base and reports the first and the last one written;
    // false, with nothing written and first and last untouched, when there is nothing to write.
    virtual bool FillIndices(uint16_t* destination, int ignored, uint16_t& first, uint16_t& last) = 0;
    virtual void GetMaterial(CPtr<CPMaterial>& material) = 0;

    // Hooks through which a node reaches its render object: a new material (a burning node's
    // fire material) and the start of a vertex animation. Objects without them ignore them.
    virtual void SetMaterial(const CPtr<CPMaterial>& material);
    virtual void SetAnimation(const CPAnimationParams& params, bool force);
};
