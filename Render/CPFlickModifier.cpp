#include "Render/CPFlickModifier.h"

#include "Render/ModifierLoops.h"
#include "core/FrameTime.h"
#include "platform/win32/CrtRand.h"

#include <cmath>

CPFlickModifier::CPFlickModifier(float frequency, uint8_t low, uint8_t high)
    : Frequency(frequency),
      Low(low),
      High(high),
      Amplitude((static_cast<float>(high) - static_cast<float>(low)) * 0.5f),
      Centre(static_cast<uint8_t>(static_cast<int>(Amplitude) + low)),
      Time(static_cast<float>(CrtRand())) {}

void CPFlickModifier::Update(float seconds) {
    Time += seconds;
    const float value = std::sin(Time * Frequency) * Amplitude + static_cast<float>(Centre);
    // Stays within a byte's range whatever the clock did (sin of a non-finite time is NaN).
    Value = std::isfinite(value) ? static_cast<int>(std::fmin(std::fmax(value, 0.0f), 255.0f)) : Centre;
}

void CPFlickModifier::Apply(CPVertex* destination, const CPVertex* source, int count) {
    Update(FrameTime);
    ModifierLoops::ScaleAlpha(destination, source, count, static_cast<float>(Value) * 0.003921569f);
}

std::unique_ptr<CPTextureModifier> CPFlickModifier::Clone() const { return std::make_unique<CPFlickModifier>(*this); }
