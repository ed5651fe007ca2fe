// "anim": maps the mesh's whole texture range onto one cell of a columns x rows grid of
// pictures, stepping through the cells row by row at fps cells per second and starting
// over after the last.
#pragma once

#include "Render/CPTextureModifier.h"

#include <vector>

class CPAnimModifier final : public CPTextureModifier {
public:
    // columns and rows must be at least 1 (Create refuses others).
    CPAnimModifier(int columns, int rows, float fps);

    void Update(float seconds) override;
    void Apply(CPVertex* destination, const CPVertex* source, int count) override;
    std::unique_ptr<CPTextureModifier> Clone() const override;

    int Columns;
    int Rows;
    float Fps;
    float Time = 0.0f;
    int CellCount;
    int Cell = 0;
    float ScaleU;  // 1 / columns
    float ScaleV;  // 1 / rows
    // Top-left corner of cell c + r x columns: (c / columns, r / rows).
    std::vector<float> OffsetU;
    std::vector<float> OffsetV;
};
