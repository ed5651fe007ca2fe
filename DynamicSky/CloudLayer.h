// A cloud layer: a textured square that circles the world origin at OrbitRadius, at right
// angles to OrbitAxis, always turning its face toward the origin and kept upright. The sky
// sets its scale and day angle every frame (a growing day angle moves it backward along the
// circle) and changes its texture and effect when a time-of-day phase begins. The first cloud
// layer of a sky stands for the sun: its position places the level's sun light.
#pragma once

#include "DynamicSky/VertexObject.h"

#include <string>
#include <vector>

class CloudLayer : public VertexObject {
public:
    CloudLayer();
    ~CloudLayer() override = default;

    void SetEffectNames(const std::string& first, const std::string& second);
    void AddTexture(const std::string& path);
    // The quad of half size s in the y = 0 plane, its buffers, the current texture (none when
    // the list is empty) and effect name 1.
    void Build(float halfSize);
    // Loads effect name 0 or 1; another index is reported and changes nothing.
    void SelectEffect(int index);
    // Moves on to the next texture, back to the first after the last; nothing without textures.
    void NextTexture();
    // Alpha of the four drawn vertices (clamped to 0..255); colour stays blue 0x14.
    void SetAlpha(int alpha);
    // Places, turns and draws the quad for this frame (the argument is not read).
    virtual HRESULT Draw(float dayStep);

    D3DXVECTOR3 OrbitAxis;  // unit length
    D3DXVECTOR3 Position;   // orbit position of the latest Draw; the origin before the first
    float OrbitRadius = 0.0f;
    std::string EffectNames[2];
    int EffectIndex = 0;
    float Phase = 0.0f;     // radians
    float DayAngle = 0.0f;  // radians, written by the sky every frame
    float Scale = 0.0f;     // written by the sky every frame
    std::vector<std::string> Textures;
    int TextureIndex = 0;
    D3DXMATRIX AxisFrame;  // takes (0, 0, 1) onto OrbitAxis
};
