// The sky as the renderer holds it: the renderer owns the current sky and replaces it in
// LoadSky through the factory the host gives it, so the renderer does not depend on the
// sky's library, which lies above it.
#pragma once

#include <string>

class CPRenderSky {
public:
    virtual ~CPRenderSky() = default;
    // Reads the sky file; a sky whose file is missing or damaged stays in place.
    virtual void Load(const std::string& fileName) = 0;
    // Draws the sky for a frame of frameTime seconds, before the scene; a sky that draws
    // applies the renderer's light table (ApplyLights). Nothing by default.
    virtual void Render(float frameTime) { (void)frameTime; }
};
