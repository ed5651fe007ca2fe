// Shares vertex animations by key (node name, "&", mesh file name; compared exactly).
//
// The first request of a key reads the key-frame block at the reader's cursor into a new
// animation. A later request of a known key moves the reader past its block and keeps the
// frames already loaded, so figures already playing them never see them change. A damaged
// block gives null: the reader then stands where the check stopped (at the end of the data
// when it ran out), and a new animation is not kept.
//
// The manager owns its animations: deleting it deletes them, so every CPtr to them must be gone
// first (animated objects included).
#pragma once

#include "Render/CPAnimation.h"
#include "core/CPtr.h"

#include <string>
#include <unordered_map>

class CPFileReader;

class CPAnimationManager {
public:
    static CPAnimationManager* Instance;

    CPAnimationManager() = default;
    ~CPAnimationManager();
    CPAnimationManager(const CPAnimationManager&) = delete;
    CPAnimationManager& operator=(const CPAnimationManager&) = delete;

    CPtr<CPAnimation> GetAnimation(const std::string& name, CPFileReader& reader);

    std::unordered_map<std::string, CPAnimation*> Animations;
};
