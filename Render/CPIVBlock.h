// One batch of a render batcher: the render objects of one material gathered in a frame, with
// the numbers of vertices and indices they will write. The frame drawing writes and draws the
// block, then empties it for the next frame (Clear).
#pragma once

#include "Render/CPDeviceObject.h"
#include "Render/CPIVertexBuffer.h"
#include "core/CPObject.h"
#include "core/CPtr.h"
#include "scene/CPRenderable.h"

#include <cstdint>
#include <string>
#include <vector>

class CPIVBlock : public CPObject, public CPDeviceObject {
public:
    explicit CPIVBlock(CPtr<CPIVertexBuffer> ring) : Ring(ring) {}
    ~CPIVBlock() override;

    size_t GetObjectSize() const override { return sizeof(CPIVBlock); }
    std::string GetTypeName() const override { return "CPIVBlock"; }
    void OnLostDevice() override { Valid = false; }
    void OnResetDevice() override {}

    // Appends object; its counts join the totals unless it is excluded.
    void Add(CPtr<CPRenderable> object);
    // The same for an object the caller holds: it leaves the object's count as Add does
    // without making and dropping a reference of its own.
    void Add(CPRenderable* object);
    // Empties Objects and the totals for the next frame (the block itself stays).
    void Clear();

    void* DeviceData[2] = {nullptr, nullptr};  // unused by this frame drawing
    uint32_t IndexTotal = 0;
    uint32_t VertexTotal = 0;
    bool Valid = false;
    std::vector<CPtr<CPRenderable>> Pending;
    CPtr<CPIVertexBuffer> Ring;
    std::vector<CPtr<CPRenderable>> Objects;
};
