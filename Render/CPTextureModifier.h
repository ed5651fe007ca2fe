// Texture modifiers animate the vertices of one render object as it writes them for drawing:
// scrolling or stepping texture coordinates, fading or flickering the vertex alpha, or
// deriving second texture coordinates for an environment map. They come from the
// "vertexeffect" items of object descriptions, belong to their render object, and keep their
// own clock, which every Apply advances by the frame time (FrameTime) - so an object written
// twice in a frame runs its modifiers twice as fast.
#pragma once

#include "Render/CPVertex.h"

#include <memory>
#include <string>
#include <vector>

class CPTextureModifier {
public:
    virtual ~CPTextureModifier() = default;

    // Advances the modifier's clock by seconds.
    virtual void Update(float seconds) = 0;
    // Writes count vertices: each a copy of the source vertex with the modifier's change.
    // destination and source may be the same memory.
    virtual void Apply(CPVertex* destination, const CPVertex* source, int count) = 0;
    // A modifier of the same kind and state, clocks included.
    virtual std::unique_ptr<CPTextureModifier> Clone() const = 0;
    // Back to the starting state; only the fade has one.
    virtual void Reset() {}

    // A modifier from a keyword (any letter case) and its arguments: "environment" k,
    // "fade" rate, "movingtex" su sv, "flick" frequency low high, "anim" columns rows fps.
    // Null for an unknown keyword, a wrong argument count, an argument that is not a plain
    // decimal number (digits, "." and "-"), or an "anim" grid without cells.
    static std::unique_ptr<CPTextureModifier> Create(const std::string& keyword, const std::vector<std::string>& args);
};
