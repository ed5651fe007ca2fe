// The render object of a vertex-animated figure: it plays named animations by game time and
// writes the frame of the moment in world space when the batcher asks. Playback is driven by
// FullTime, not by the number of Fill calls; the events ("animation_stopped" when the loop
// limit is reached, "animation_report" when the report frame is reached, once per pass) go to
// the listener task and to the owner node, and are only produced while Fill is called.
//
// The events are sent once the frame is written, so a receiver that starts another animation
// (an enemy's next move) changes what the next fill writes, never the frame being written.
//
// The frame written last is kept as an index into the current animation's frames, so nothing
// points into a list that may move.
#pragma once

#include "Render/CPAnimation.h"
#include "Render/CPMaterial.h"
#include "Render/CPTextureModifier.h"
#include "Render/CPVertex.h"
#include "core/CPScriptTask.h"
#include "core/CPtr.h"
#include "scene/CPRenderable.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CPGameObject;

class CPAnimatedObject : public CPRenderable {
public:
    explicit CPAnimatedObject(CPGameObject* owner = nullptr) : Owner(owner) {}

    size_t GetObjectSize() const override { return sizeof(CPAnimatedObject); }
    std::string GetTypeName() const override { return "CPAnimatedObject"; }

    bool IsExcluded() const override { return false; }
    void SetExcluded(bool) override {}
    // The counts of the frame at the current game time (all frames have the same); 0 without
    // an animation.
    int GetVertexCount() override;
    int GetIndexCount() override;
    // Chooses the frame of the moment, sends the events it leads to, and writes the frame in
    // world space with the indices plus base (winding swapped under a mirroring world
    // matrix). Nothing is written without a frame to show.
    void Fill(CPVertex* vertices, uint16_t* indices, uint16_t base, bool flag) override;
    bool FillIndices(uint16_t*, int, uint16_t&, uint16_t&) override { return false; }
    void GetMaterial(CPtr<CPMaterial>& material) override { material = Material; }
    void SetMaterial(const CPtr<CPMaterial>& material) override { Material = material; }
    // Starts the named animation from the parameters (see CPGameObject::SetAnimation): without
    // force an animation already playing under that name is left alone; a name not in the
    // table changes nothing.
    void SetAnimation(const CPAnimationParams& params, bool force) override;

    // Enters the animation under name; the first one becomes the current animation.
    void AddAnimation(const std::string& name, CPtr<CPAnimation> animation);
    // Takes source's animations (adding to its own), playback state, material and clones of
    // its modifiers; the owner stays.
    void CopyFrom(CPtr<CPAnimatedObject> source);
    void AddModifier(std::unique_ptr<CPTextureModifier> modifier);

    // The frame written last, or null.
    const CPAnimationFrame* GetCurrentFrame() const;

    CPGameObject* Owner = nullptr;  // not counted
    CPtr<CPMaterial> Material;
    std::unordered_map<std::string, CPtr<CPAnimation>> Animations{100};
    CPtr<CPAnimation> Current;
    float StartTime = 0.0f;  // game time of the start, delay included
    int LoopLimit = 0;       // passes after which playback stops; 0 or less plays endlessly
    int LoopCount = 0;
    int ReportedFrame = -1;  // frame last reported; -1 while a report may be sent
    int ReportFrame = -1;    // -1 none
    float Speed = 1.0f;
    CPtr<CPScriptTask> Listener;
    int CurrentFrame = -1;  // index into Current's frames; -1 none
    bool Stopped = false;
    std::string Name;  // of the playing animation; empty once it stopped
    bool HasModifiers = false;
    std::vector<std::unique_ptr<CPTextureModifier>> Modifiers;

private:
    // The frame index of the moment, with or without the playback speed.
    int FrameNow(bool withSpeed) const;
    // The frame written last, in world space, with the indices plus base.
    void Write(CPVertex* vertices, uint16_t* indices, uint16_t base);
    void Notify(const CPtr<CPScriptTask>& listener, const char* command);
};
