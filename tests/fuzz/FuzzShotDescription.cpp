// Our shot description file: any text is either refused with its file and line, or gives shots
// of a known class with their parameters, unique names and impact shots that exist.
#include "FuzzFiles.h"

#include "game/ShotDescription.h"

#include <unordered_set>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<ShotDescription> shots;
    std::string error;
    const std::string file = "Data\\shots.txt";
    if (!ReadShotDescriptions(reinterpret_cast<const char*>(data), size, file, shots, error)) {
        Fuzz::Check(error.rfind(file + ":", 0) == 0, "an error names the file");
        Fuzz::Check(error.size() > file.size() + 1 && error[file.size() + 1] >= '1' && error[file.size() + 1] <= '9',
                    "an error names a line");
        Fuzz::Check(shots.empty(), "a refused file leaves the shots as they were");
        return 0;
    }
    std::unordered_set<std::string> names;
    for (const ShotDescription& shot : shots) {
        Fuzz::Check(names.insert(shot.Name).second, "names are unique");
        Fuzz::Check(shot.Class == "lightning" || shot.Class == "effect", "the class is known");
        Fuzz::Check(shot.Parameters.size() ==
                        (shot.Class == "lightning" ? LightningParameterCount : EffectParameterCount),
                    "all parameters are there");
        Fuzz::Check(shot.Line >= 1, "a shot has its line");
    }
    for (const ShotDescription& shot : shots) {
        if (shot.Class != "lightning") continue;
        const std::string& impact = shot.Parameters[LightningImpactParameter];
        Fuzz::Check(impact == "none" || (impact != shot.Name && names.count(impact) == 1), "impact shots exist");
    }
    return 0;
}
