#include "Render/CPAnimatedObject.h"

#include "Render/VertexTransform.h"
#include "core/CPCommandDispatcher.h"
#include "core/FrameTime.h"
#include "core/ObjectAddress.h"
#include "core/Singletons.h"
#include "scene/CPAnimationParams.h"
#include "scene/CPGameObject.h"

#include <algorithm>

int CPAnimatedObject::FrameNow(bool withSpeed) const {
    if (!Current || Current->Frames.empty()) {
        return 0;
    }
    double seconds = FullTime - static_cast<double>(StartTime);
    if (withSpeed) {
        seconds *= static_cast<double>(Speed);
    }
    return Current->FrameAt(seconds);
}

int CPAnimatedObject::GetVertexCount() {
    if (!Current || Current->Frames.empty()) {
        return 0;
    }
    return static_cast<int>(Current->Frames[static_cast<size_t>(FrameNow(false))].Vertices.size());
}

int CPAnimatedObject::GetIndexCount() {
    if (!Current || Current->Frames.empty()) {
        return 0;
    }
    return static_cast<int>(Current->Frames[static_cast<size_t>(FrameNow(false))].Indices.size());
}

const CPAnimationFrame* CPAnimatedObject::GetCurrentFrame() const {
    if (!Current || CurrentFrame < 0 || CurrentFrame >= static_cast<int>(Current->Frames.size())) {
        return nullptr;
    }
    return &Current->Frames[static_cast<size_t>(CurrentFrame)];
}

void CPAnimatedObject::Notify(const CPtr<CPScriptTask>& listener, const char* command) {
    if (CPCommandDispatcher* dispatcher = GetCommandDispatcher()) {
        dispatcher->SendCommandByObject(listener, command, AddressToText(listener.Get()));
    }
}

void CPAnimatedObject::Fill(CPVertex* vertices, uint16_t* indices, uint16_t base, bool) {
    if (!Current || Current->Frames.empty()) {
        return;
    }
    bool stoppedNow = false;
    bool reportNow = false;
    if (!Stopped) {
        const int frame = FrameNow(true);
        if (CurrentFrame >= 0 && CurrentFrame > frame) {
            // Wrapped around: one more pass.
            ReportedFrame = -1;
            ++LoopCount;
            if (LoopLimit > 0 && LoopCount >= LoopLimit) {
                Stopped = true;
                CurrentFrame = std::max(Current->FrameCount - 2, 0);
                Name.clear();
                stoppedNow = true;
            }
        }
        if (!Stopped) {
            CurrentFrame = frame;
        }
        if (ReportFrame >= 0 && ReportedFrame < 0 && ReportFrame <= frame) {
            ReportedFrame = frame;
            reportNow = true;
        }
    }
    // The events go out after the frame is written: their receivers may start another
    // animation (an enemy's next move when one ends), which then shows from the next fill on,
    // from its own start and with the counts the batcher takes from it.
    const CPtr<CPScriptTask> listener = Listener;
    Write(vertices, indices, base);
    if (stoppedNow) {
        Notify(listener, "animation_stopped");
        if (Owner != nullptr) {
            Owner->OnAnimationStopped();
        }
    }
    if (reportNow) {
        Notify(listener, "animation_report");
        if (Owner != nullptr) {
            Owner->OnAnimationReport();
        }
    }
}

void CPAnimatedObject::Write(CPVertex* vertices, uint16_t* indices, uint16_t base) {
    const CPAnimationFrame* shown = GetCurrentFrame();
    if (shown == nullptr) {
        return;
    }
    D3DXMATRIX world;
    D3DXMatrixIdentity(&world);
    if (Owner != nullptr) {
        world = Owner->WorldMatrix;
    }
    const size_t count = shown->Vertices.size();
    VertexTransform::ToWorldCopy(vertices, shown->Vertices.data(), count, world);
    if (HasModifiers) {
        for (const auto& modifier : Modifiers) {
            modifier->Apply(vertices, vertices, static_cast<int>(count));
        }
    }
    if (VertexTransform::IsMirrored(world)) {
        VertexTransform::AddBaseSwapped(indices, shown->Indices.data(), shown->Indices.size(), base);
    } else {
        VertexTransform::AddBase(indices, shown->Indices.data(), shown->Indices.size(), base);
    }
}

void CPAnimatedObject::SetAnimation(const CPAnimationParams& params, bool force) {
    if (!force && Name == params.Name) {
        return;
    }
    const auto entry = Animations.find(params.Name);
    if (entry == Animations.end() || !entry->second) {
        return;
    }
    Name = params.Name;
    Current = entry->second;
    StartTime = static_cast<float>(FullTime + static_cast<double>(params.StartDelay));
    LoopCount = 0;
    LoopLimit = params.LoopLimit;
    ReportedFrame = -1;
    ReportFrame = params.ReportFrame;
    Speed = params.Speed;
    CurrentFrame = -1;
    Listener = params.Listener;
    Stopped = false;
    for (const auto& modifier : Modifiers) {
        modifier->Reset();
    }
}

void CPAnimatedObject::AddAnimation(const std::string& name, CPtr<CPAnimation> animation) {
    Animations[name] = animation;
    if (!Current) {
        Current = animation;
        Stopped = false;
    }
}

void CPAnimatedObject::CopyFrom(CPtr<CPAnimatedObject> source) {
    if (!source || source.Get() == this) {
        return;
    }
    for (const auto& [name, animation] : source->Animations) {
        Animations[name] = animation;
    }
    Current = source->Current;
    StartTime = source->StartTime;
    LoopLimit = source->LoopLimit;
    LoopCount = source->LoopCount;
    ReportedFrame = source->ReportedFrame;
    ReportFrame = source->ReportFrame;
    Speed = source->Speed;
    Listener = source->Listener;
    CurrentFrame = source->CurrentFrame;
    Stopped = source->Stopped;
    Name = source->Name;
    Material = source->Material;
    HasModifiers = source->HasModifiers;
    Modifiers.clear();
    for (const auto& modifier : source->Modifiers) {
        Modifiers.push_back(modifier->Clone());
    }
}

void CPAnimatedObject::AddModifier(std::unique_ptr<CPTextureModifier> modifier) {
    if (modifier) {
        Modifiers.push_back(std::move(modifier));
        HasModifiers = true;
    }
}
