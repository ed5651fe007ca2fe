// A part animation moves one part of an object (a door, a barrier, a turret) through key
// matrices over time. It is a scheduler task: each step advances it by the frame time, blends
// the two keys around the moment element by element, and hands the result to its target node
// as the node's animated placement (see CPGameObject::UpdateTransform).
//
// With n keys the segments from key 0 to key n - 2 are played, and the animation ends when it
// would enter the segment that starts at key n - 2: a looping one jumps back to key 0 and
// tells its target on every pass, any other tells its target once, stops, and holds the pose
// of key n - 2; started again, it plays again from key 0. So an animation needs at least three keys and positive durations; with less
// it does nothing but stop (the file reader never builds such animations).
#pragma once

#include "core/CPTask.h"
#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"

#include <vector>

class CPGameObject;

class CPPartAnimation : public CPTask {
public:
    // At most this many passes of a looping animation are played out in one step; a longer
    // step (a paused game coming back) keeps only its remainder within the last pass.
    static constexpr int MaxPassesPerStep = 64;

    size_t GetObjectSize() const override { return sizeof(CPPartAnimation); }
    std::string GetTypeName() const override { return "CPPartAnimation"; }
    // Advances by FrameTime, reports ends to Target and moves it.
    void Update() override;
    int GetKind() const override { return 1; }

    // Replaces the keys and their durations (one per key).
    void SetKeys(std::vector<D3DXMATRIX> keys, std::vector<float> durations);
    // Takes the keys, durations and Loop of source; the target and playback position stay.
    void CopyFrom(CPtr<CPPartAnimation> source);

    // Whether the keys can be played: at least three, as many durations as keys, each a
    // positive finite number.
    bool IsPlayable() const;
    // Advances playback by seconds without touching the target. Returns how many times the
    // end was reached (every pass when looping); a non-looping animation that reaches its end
    // is stopped and holds the pose of its end key. Nothing happens when the keys cannot be
    // played.
    int Advance(float seconds);
    // The key matrix of the moment: the keys at Key and Key + 1 blended by the time spent
    // in Key (a linear blend of all sixteen elements). Identity when unplayable.
    D3DXMATRIX CurrentMatrix() const;

    std::vector<D3DXMATRIX> Keys;
    std::vector<float> Durations;  // seconds per key
    CPGameObject* Target = nullptr;  // not counted
    float Elapsed = 0.0f;             // seconds spent in the current key
    int Key = 0;
    bool Loop = false;

private:
    // Advance for keys known to be playable.
    int AdvancePlayable(float seconds);
    // CurrentMatrix for playable keys and a Key with a key after it.
    void Blend(D3DXMATRIX& out) const;
};
