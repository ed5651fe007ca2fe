// The race level as far as the renderer and the sky need it: the current level's sun light,
// which the sky recolours and turns every frame and offers to the renderer's light table. The
// game's level (game/CPLevel) is built on it and keeps Current pointing at itself while it
// lives.
#pragma once

#include "platform/d3dx/D3DXMath.h"

class CPLevelSun {
public:
    // The level being played; null when there is none.
    static CPLevelSun* Current;

    CPLevelSun() = default;
    virtual ~CPLevelSun() = default;
    CPLevelSun(const CPLevelSun&) = delete;
    CPLevelSun& operator=(const CPLevelSun&) = delete;

    // Appends SunLight to the renderer's light table while it has room (30 lights); nothing
    // without a renderer.
    void AddSunLight();

    // Directional; the sky writes Direction, Diffuse and Specular, the level the rest.
    D3DLIGHT9 SunLight;
};
