// A cloud shape: a cluster of puffs, each a small textured patch with a position, a facing
// direction and a size, placed by the scale and the turn about z that its cloud set gives it.
//
// Cloud-description file, one line each unless said: anchor count N; N anchor points; puff
// count M; M blocks of five lines (position; two ints; a float; anchor index; sizes x and y);
// then eight closing floats (Extra1, Extra2, Extra3 .. Extra8). Points are multiplied by the
// scale, then turned about z; sizes are only scaled. A puff faces away from its anchor.
#pragma once

#include "platform/d3dx/D3DXMath.h"

#include <string>
#include <vector>

class CloudDescription;

struct CloudPuff {
    D3DXVECTOR3 Position;
    int Int1 = 0;
    int Int2 = 0;
    float Value = 0.0f;
    D3DXVECTOR3 Direction;  // unit length (zero when the puff sits on its anchor)
    float SizeX = 0.0f;
    float SizeY = 0.0f;
    CloudDescription* Owner = nullptr;
};

class CloudDescription {
public:
    CloudDescription() = default;
    virtual ~CloudDescription() = default;
    // Puffs point at their description.
    CloudDescription(const CloudDescription&) = delete;
    CloudDescription& operator=(const CloudDescription&) = delete;

    // Reads "Data\Clouds\" + name placed by scale and angle (radians about z). A file that
    // cannot be read leaves the description without puffs.
    void Load(const std::string& name, float scale, float angle);
    // The same from a text already in memory; Scale and Angle place the points. An anchor index
    // that names no anchor read faces the puff away from the origin; reading stops when the
    // lines run out (a puff cut short reads its missing lines as 0, missing closing lines keep
    // their defaults).
    void ReadText(const char* text, int length);

    std::vector<CloudPuff> Puffs;
    float Alpha = 0.0f;           // opacity 0..255
    float InverseAlpha = 255.0f;  // 255 - Alpha at the set's switches
    bool FadingOut = false;
    bool FadingIn = false;
    float Extra2 = 20.0f;
    float Extra1 = 20.0f;
    float Extra3 = 128.0f;
    float Extra4 = 128.0f;
    float Extra5 = 128.0f;
    float Extra6 = 128.0f;
    float Extra7 = 128.0f;
    float Extra8 = 128.0f;
    float HalfHeight = 0.0f;  // half the puffs' reach from the origin along z
    float Radius = 0.0f;      // the puffs' largest reach from the origin along one axis
    D3DXVECTOR3 WorldPosition;
    bool Changed = false;
    float Scale = 1.0f;
    float Angle = 0.0f;
    D3DXVECTOR3 Offset;  // from the set's position
    bool Refresh = false;
};
