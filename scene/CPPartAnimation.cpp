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
    return AdvancePlayable(seconds);
}

int CPPartAnimation::AdvancePlayable(float seconds) {
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
    // A pass is at least as long as the key being played (a sum of positive floats is never
    // below one of its terms, and times 64 is exact), so the pass is only summed when Elapsed
    // could be past the cap.
    if (Loop && Elapsed > Durations[static_cast<size_t>(Key)] * static_cast<float>(MaxPassesPerStep)) {
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
    if (!IsPlayable() || Key < 0 || Key + 1 >= static_cast<int>(Keys.size())) {
        D3DXMatrixIdentity(&blended);
        return blended;
    }
    Blend(blended);
    return blended;
}

void CPPartAnimation::Blend(D3DXMATRIX& out) const {
    const float t = Elapsed / Durations[static_cast<size_t>(Key)];
    const D3DXMATRIX& k0 = Keys[static_cast<size_t>(Key)];
    const D3DXMATRIX& k1 = Keys[static_cast<size_t>(Key) + 1];
    // k0 + (k1 - k0) * t, element by element, each step rounded as the matrix operators do.
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            out.m[r][c] = k0.m[r][c] + (k1.m[r][c] - k0.m[r][c]) * t;
        }
    }
}

void CPPartAnimation::Update() {
    if (!IsPlayable()) {
        Stop();
        return;
    }
    const int ends = AdvancePlayable(FrameTime);
    if (Target == nullptr) {
        return;
    }
    for (int i = 0; i < ends; ++i) {
        Target->OnAnimationEnd();
    }
    if (ends > 0) {
        // What the target was told may have changed the keys: check them again.
        Target->SetAnimatedTransform(CurrentMatrix());
    } else {
        // Untouched since AdvancePlayable, which leaves Key on a segment: Key + 1 is a key.
        D3DXMATRIX blended;
        Blend(blended);
        Target->SetAnimatedTransform(blended);
    }
    Target->UpdateTransform();
}
