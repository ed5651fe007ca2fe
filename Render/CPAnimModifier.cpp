#include "Render/CPAnimModifier.h"

#include "Render/ModifierLoops.h"
#include "core/FrameTime.h"

#include <cmath>

CPAnimModifier::CPAnimModifier(int columns, int rows, float fps)
    : Columns(columns),
      Rows(rows),
      Fps(fps),
      CellCount(columns * rows),
      ScaleU(1.0f / static_cast<float>(columns)),
      ScaleV(1.0f / static_cast<float>(rows)),
      OffsetU(static_cast<size_t>(CellCount)),
      OffsetV(static_cast<size_t>(CellCount)) {
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            OffsetU[c + r * columns] = static_cast<float>(c) / static_cast<float>(columns);
            OffsetV[c + r * columns] = static_cast<float>(r) / static_cast<float>(rows);
        }
    }
}

void CPAnimModifier::Update(float seconds) {
    Time += seconds;
    // The truncated frame number modulo the cell count, taken in floating point so that any
    // clock works, and kept non-negative for a running-backwards (negative fps) animation.
    const double frame = std::trunc(static_cast<double>(Time) * static_cast<double>(Fps));
    double cell = std::isfinite(frame) ? std::fmod(frame, static_cast<double>(CellCount)) : 0.0;
    if (cell < 0.0) {
        cell += static_cast<double>(CellCount);
    }
    Cell = static_cast<int>(cell);
    if (Cell >= CellCount) {
        Cell = 0;
    }
}

void CPAnimModifier::Apply(CPVertex* destination, const CPVertex* source, int count) {
    Update(FrameTime);
    ModifierLoops::MapUV(destination, source, count, ScaleU, ScaleV, OffsetU[Cell], OffsetV[Cell]);
}

std::unique_ptr<CPTextureModifier> CPAnimModifier::Clone() const { return std::make_unique<CPAnimModifier>(*this); }
