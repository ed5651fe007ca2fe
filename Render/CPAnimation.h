// A vertex animation: every frame of a deforming figure stored whole (vertex list and triangle
// list), played by time. Created and shared by CPAnimationManager under a key of node name, "&"
// and mesh file, so nodes of the same name in the same mesh file share it.
//
// All frames have the same vertex and index counts (checked when read): the batcher sizes its
// buffers with one frame and then lets the figure write another.
#pragma once

#include "Render/KeyFrameBlock.h"
#include "core/CPBox.h"
#include "core/CPObject.h"

#include <string>
#include <vector>

class CPFileReader;

class CPAnimation : public CPObject {
public:
    // Registers the animation in CPAnimationManager::Instance (when set) under name, replacing
    // any entry.
    explicit CPAnimation(std::string name);
    // Removes the manager's entry only when it still points to this animation.
    ~CPAnimation() override;

    size_t GetObjectSize() const override { return sizeof(CPAnimation); }
    std::string GetTypeName() const override { return "CPAnimation"; }

    // Reads one key-frame block at the reader's cursor; every vertex gets the scene loader's
    // default colour. A damaged or unplayable block is reported to the log, leaves the
    // animation as it was, and gives false.
    bool Load(CPFileReader& reader);

    // The frame shown `seconds` after the start (speed already applied): passes beyond the
    // first wrap around the duration, a time before the start shows frame 0, and the result
    // always names a frame. 0 when there are no frames.
    int FrameAt(double seconds) const;

    std::string Name;
    float Duration = 0.0f;  // FrameCount × FrameTime
    int FrameCount = 0;
    float FrameTime = 0.0f;  // seconds per frame
    std::vector<CPAnimationFrame> Frames;
    CPBox Bounds{D3DXVECTOR3(), D3DXVECTOR3()};  // around every vertex of every frame
};
