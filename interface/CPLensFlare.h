// The lens flare: a screen whose windows are translucent sprites strung along the line from
// the sun's place on the screen through the screen centre, fading in while the sun is visible
// and out while it is hidden. The level loads it ("lensflare2", 198), tells it every frame
// whether the sun shows and where, and submits it.
//
// Its file, "Data\Interface\" + name + ".int", holds one element per line with TAB-separated
// fields (texture, line position, scale x, scale y, colour, w, h, u, v; interface/InterfaceFile.h);
// w, h, u, v address texels of a 512 x 512 texture. All elements are drawn from the first
// element's texture.
#pragma once

#include "interface/CPInterface.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct FlareElement {
    std::string Texture;
    int32_t LinePosition = 0;  // 0 at the light, 50 at the screen centre, 100 opposite
    float ScaleX = 0.0f;
    float ScaleY = 0.0f;
    uint32_t Color = 0;        // ARGB; the alpha is replaced by the flare's
    int32_t Width = 0;         // screen pixels before scaling
    int32_t Height = 0;
    int32_t HalfWidth = 0;     // of the scaled quad
    int32_t HalfHeight = 0;
    int32_t U = 0;
    int32_t V = 0;
};

class CPLensFlare : public CPInterface {
public:
    CPLensFlare();
    ~CPLensFlare() override;

    // Builds one window per element line. A file without elements (or none at all) leaves an
    // overlay that is never drawn.
    void Load(const std::string& name, int number) override;
    // The part of Load after the file is read: the elements, their windows and the material.
    void Build(std::vector<FlareLine> lines, int number);
    // Fades by the milliseconds since the previous Submit (0.05 alpha per ms; the first one
    // counts none), places the elements for the light and hands the screen to the batcher.
    // Nothing is drawn without elements or before the light's position was set.
    void Submit() override;

    void SetLightVisible(bool visible) { LightVisible = visible; }
    void SetLightPosition(int32_t x, int32_t y);

    std::vector<FlareElement> Flares;
    bool LightVisible = false;
    int32_t LightX = 0;
    int32_t LightY = 0;
    bool LightPositionSet = false;
    float Alpha = 0.0f;  // 0 to 255

private:
    std::optional<uint32_t> previousSubmit;  // timeGetTime of the previous Submit
};
