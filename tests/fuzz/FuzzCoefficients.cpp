// "DATA\coeff.dat": any text gives up to four finite coefficients.
#include "FuzzFiles.h"

#include "interface/CampaignFiles.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const CoefficientsFile file = ParseCoefficients(reinterpret_cast<const char*>(data), static_cast<int>(size));
    Fuzz::Check(file.LinesRead >= 0 && file.LinesRead <= 4, "at most four lines are read");
    for (size_t i = 0; i < file.Values.size(); ++i) {
        Fuzz::Check(std::isfinite(file.Values[i]), "coefficients are finite");
        if (static_cast<int>(i) >= file.LinesRead) {
            Fuzz::Check(file.Values[i] == 0.0f, "missing coefficients are 0");
        }
    }
    return 0;
}
