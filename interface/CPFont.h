// A bitmap font: the material holding its texture and the metrics the text layout reads.
#pragma once

#include "Render/CPMaterial.h"
#include "core/CPObject.h"
#include "core/CPtr.h"
#include "interface/FontFile.h"

#include <cstdint>
#include <string>

// Fixed once registered: labels laid out in a font are not laid out again for the same text.
class CPFont : public CPObject {
public:
    CPFont() : Serial(NextSerial()) {}

    size_t GetObjectSize() const override { return sizeof(CPFont); }
    std::string GetTypeName() const override { return "CPFont"; }

    CPtr<CPMaterial> Material;  // null when no material manager was there to make it
    FontMetrics Metrics;
    // Unique for the program's run (a font made at the address of a deleted one differs).
    const uint64_t Serial;

private:
    static uint64_t NextSerial() {
        static uint64_t next = 0;
        return ++next;
    }
};
