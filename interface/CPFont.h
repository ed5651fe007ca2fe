// A bitmap font: the material holding its texture and the metrics the text layout reads.
#pragma once

#include "Render/CPMaterial.h"
#include "core/CPObject.h"
#include "core/CPtr.h"
#include "interface/FontFile.h"

#include <string>

class CPFont : public CPObject {
public:
    size_t GetObjectSize() const override { return sizeof(CPFont); }
    std::string GetTypeName() const override { return "CPFont"; }

    CPtr<CPMaterial> Material;  // null when no material manager was there to make it
    FontMetrics Metrics;
};
