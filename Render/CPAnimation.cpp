#include "Render/CPAnimation.h"

#include "Render/CPAnimationManager.h"
#include "core/CPFileReader.h"
#include "core/CPLog.h"
#include "scene/CPSceneLoader.h"

#include <algorithm>
#include <cmath>

CPAnimation::CPAnimation(std::string name) : Name(std::move(name)) {
    if (CPAnimationManager* manager = CPAnimationManager::Instance) {
        manager->Animations[Name] = this;
    }
}

CPAnimation::~CPAnimation() {
    if (CPAnimationManager* manager = CPAnimationManager::Instance) {
        const auto entry = manager->Animations.find(Name);
        if (entry != manager->Animations.end() && entry->second == this) {
            manager->Animations.erase(entry);
        }
    }
}

bool CPAnimation::Load(CPFileReader& reader) {
    const uint32_t colour = CPSceneLoader::Instance != nullptr ? CPSceneLoader::Instance->DefaultVertexColour : 0xFFFFFFFF;
    KeyFrameBlock::Contents contents;
    std::string problem;
    if (!KeyFrameBlock::Read(reader, colour, contents, problem)) {
        CPLog::GetInstance().Write(0, "Key frames of %s in %s refused: %s\n", Name.c_str(), reader.GetFileName().c_str(),
                                   problem.c_str());
        return false;
    }
    FrameCount = static_cast<int>(contents.Frames.size());
    FrameTime = contents.FrameTime;
    Duration = static_cast<float>(FrameCount) * FrameTime;
    Frames = std::move(contents.Frames);

    // The starting values are the stored ones, the odd x/z maximum included.
    D3DXVECTOR3 low(5000000.0f, 5000000.0f, 5000000.0f);
    D3DXVECTOR3 high(-500000.0f, -5000000.0f, -500000.0f);
    for (const CPAnimationFrame& frame : Frames) {
        for (const CPVertex& vertex : frame.Vertices) {
            D3DXVec3Minimize(&low, &low, &vertex.Position);
            D3DXVec3Maximize(&high, &high, &vertex.Position);
        }
    }
    Bounds = CPBox((low + high) / 2.0f, (high - low) / 2.0f);
    return true;
}

int CPAnimation::FrameAt(double seconds) const {
    if (FrameCount <= 0 || !(FrameTime > 0.0f)) {
        return 0;
    }
    if (!std::isfinite(seconds)) {
        seconds = 0.0;
    }
    // Repeated subtraction of the duration, in closed form: a time past the duration lands in
    // (0, Duration], so a whole number of passes shows the last frame, as subtraction does.
    const double duration = Duration;
    if (seconds > duration) {
        seconds = std::fmod(seconds, duration);
        if (seconds == 0.0) {
            seconds = duration;
        }
    }
    const double frame = std::clamp(seconds / FrameTime, 0.0, static_cast<double>(FrameCount - 1));
    return static_cast<int>(frame);
}
