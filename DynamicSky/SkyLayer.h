// One time-of-day phase of the sky as the sky file gives it (degrees already in radians, the
// channel already 0-based, bright layers already doubled). The sky also keeps three working
// copies of this record: the running values, their rates toward the next phase, and the
// overcast version of the running values. Colours are 0..255 per component.
#pragma once

#include "platform/d3dx/D3DXMath.h"

#include <vector>

struct SkyLayer {
    std::vector<D3DXVECTOR3> RingColours;  // horizon first, zenith last
    float Duration = 0.0f;                 // day-step units
    float Angle = 0.0f;                    // radians; carried, draws nothing
    float Alpha = 0.0f;                    // alpha of the dome vertices
    // One entry per cloud layer.
    std::vector<float> DayAngles;  // radians
    std::vector<float> Scales;
    std::vector<int> EffectIndexes;  // 0 or 1: which cloud effect the layer uses
    std::vector<int> AdvanceTexture;  // 1: the cloud layer moves to its next texture
    D3DXVECTOR3 AmbientColour;
    D3DXVECTOR3 SunColour;
    D3DXVECTOR3 ColourB;  // carried and interpolated; nothing draws with it
    D3DXVECTOR3 ColourA;  // as ColourB
    D3DXVECTOR3 FogColour;
    float FogValues[3] = {};
    int Bright = 0;
    int Channel = 0;  // 0, 1, 2: the component the overcast sky takes as its brightness
};
