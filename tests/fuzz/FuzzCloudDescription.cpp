// Cloud-description files: any bytes read into puffs that belong to their description, with
// bounds that are not negative. The first byte picks the scale and the turn.
#include "FuzzFiles.h"

#include "DynamicSky/CloudDescription.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CloudDescription d;
    if (size > 0) {
        d.Scale = static_cast<float>(data[0] % 8) * 0.5f;
        d.Angle = static_cast<float>(data[0] / 8) * 0.2f;
        ++data;
        --size;
    }
    d.ReadText(reinterpret_cast<const char*>(data), static_cast<int>(size));
    for (const CloudPuff& puff : d.Puffs) {
        Fuzz::Check(puff.Owner == &d, "puffs point at their description");
    }
    Fuzz::Check(!(d.Radius < 0.0f) && !(d.HalfHeight < 0.0f), "bounds are not negative");
    return 0;
}
