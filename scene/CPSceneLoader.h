// The scene loader builds scene objects from the game's data files. It has one instance,
// created by the host and reached through Instance; its fields are state shared by every load
// (loads must not run concurrently).
//
// This file holds the animation-file reader; the object-description reader builds on the same
// class.
#pragma once

#include "core/CPtr.h"
#include "scene/CPPartAnimation.h"

#include <cstdint>
#include <string>
#include <unordered_map>

class CPSceneLoader {
public:
    using PartAnimationTable = std::unordered_map<std::string, CPtr<CPPartAnimation>>;

    // Reads "Data\Animations\" + fileName and enters one new part animation per playable track
    // in out under the track's lower-cased name (a later track of the same name replaces the
    // earlier entry). A file that cannot be read adds nothing and reports nothing; a damaged
    // file adds nothing and is reported to the log once, a track that cannot be played is
    // left out with a report of its own. Target and Loop are left to whoever registers the
    // animations on a node.
    void LoadPartAnimations(const std::string& fileName, PartAnimationTable& out);

    // The colour written into the diffuse field of every vertex the mesh and key-frame readers
    // load; set by the loader's owner (the level loader sets opaque white).
    uint32_t DefaultVertexColour = 0xFFFFFFFF;

    // Set by whoever creates the one loader (the host).
    static CPSceneLoader* Instance;
};
