// The race level as far as the renderer and the sky need it: the current level and its sun
// light, which the sky recolours and turns every frame and offers to the renderer's light
// table. The game world grows the class.
#pragma once

#include "platform/d3dx/D3DXMath.h"

class CPLevel {
public:
    // The level being played; null when there is none.
    static CPLevel* Current;

    CPLevel() = default;
    virtual ~CPLevel() = default;
    CPLevel(const CPLevel&) = delete;
    CPLevel& operator=(const CPLevel&) = delete;

    // Appends SunLight to the renderer's light table while it has room (30 lights); nothing
    // without a renderer.
    void AddSunLight();

    // Directional; the sky writes Direction, Diffuse and Specular, the level the rest.
    D3DLIGHT9 SunLight;
};
