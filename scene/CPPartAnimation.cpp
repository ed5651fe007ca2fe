#include "scene/CPPartAnimation.h"

#include "core/FrameTime.h"
#include "scene/CPGameObject.h"

#include <cmath>

void CPPartAnimation::SetKeys(std::vector<D3DXMATRIX> keys, std::vector<float> durations) {
    Keys = std::move(keys);
    Durations = std::move(durations);
}

void CPPartAnimation::CopyFrom(CPtr<CPPartAnimation> source) {
    if (!source || source.Get() == this) {
        return;
    }
    Keys = source->Keys;
    Durations = source->Durations;
    Loop = source->Loop;
}

bool CPPartAnimation::IsPlayable() const {
    if (Keys.size() < 3 || Durations.size() != Keys.size()) {
        return false;
    }
    for (float duration : Durations) {
        if (!(duration > 0.0f) || !std::isfinite(duration)) {
            return false;
        }
    }
    return true;
}

int CPPartAnimation::Advance(float seconds) {
    if (!IsPlayable()) {
        return 0;
    }
    const int endKey = static_cast<int>(Durations.size()) - 2;
    if (Key < 0 || Key >= endKey) {
        // A non-looping animation that ended and was started again plays again from its first
        // key (stepping on from its end key would run past the keys).
        Key = 0;
        Elapsed = 0.0f;
    }
    if (std::isfinite(seconds)) {
        Elapsed += seconds;
    }
    if (!std::isfinite(Elapsed)) {
        Elapsed = 0.0f;
    }
    if (Loop) {
        // Whole passes beyond the cap are folded away so a long pause costs one pass.
        float pass = 0.0f;
        for (int k = 0; k < endKey; ++k) {
            pass += Durations[static_cast<size_t>(k)];
        }
        if (Elapsed > pass * static_cast<float>(MaxPassesPerStep)) {
            Elapsed = std::fmod(Elapsed, pass) + pass;
        }
    }
    int ends = 0;
    while (Elapsed > Durations[static_cast<size_t>(Key)]) {
        Elapsed -= Durations[static_cast<size_t>(Key)];
        ++Key;
        if (Key == endKey) {
            ++ends;
            if (Loop) {
                Key = 0;
                continue;
            }
            Elapsed = 0.0f;  // hold the end key's pose
            Stop();
            break;
        }
    }
    return ends;
}

D3DXMATRIX CPPartAnimation::CurrentMatrix() const {
    D3DXMATRIX blended;
    D3DXMatrixIdentity(&blended);
    if (!IsPlayable() || Key < 0 || Key + 1 >= static_cast<int>(Keys.size())) {
        return blended;
    }
    const float t = Elapsed / Durations[static_cast<size_t>(Key)];
    const D3DXMATRIX& k0 = Keys[static_cast<size_t>(Key)];
    const D3DXMATRIX& k1 = Keys[static_cast<size_t>(Key) + 1];
    return k0 + (k1 - k0) * t;
}

void CPPartAnimation::Update() {
    if (!IsPlayable()) {
        Stop();
        return;
    }
    const int ends = Advance(FrameTime);
    if (Target == nullptr) {
        return;
    }
    for (int i = 0; i < ends; ++i) {
        Target->OnAnimationEnd();
    }
    Target->SetAnimatedTransform(CurrentMatrix());
    Target->UpdateTransform();
}
