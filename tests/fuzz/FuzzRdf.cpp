// Object descriptions (".rdf"): any text is read into lists, single values and sections, and
// every list entry, read as each kind of entry, gives its pieces without reading outside it.
#include "FuzzFiles.h"

#include "core/CPFileReader.h"
#include "scene/RdfFile.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = Fuzz::WriteFile("object.rdf", data, size);
    CPFileReader reader(path, false);
    Fuzz::Check(SUCCEEDED(reader.Load()), "a file on disk loads");
    RdfDescription description;
    RdfFile::Parse(reinterpret_cast<const char*>(reader.GetData()), reader.GetLength(), description);
    Fuzz::Check(description.Head.size() <= size, "the head comes from the text");
    for (const auto& [name, section] : description.Sections) {
        for (const auto& [key, value] : section) {
            Fuzz::Check(key != "sprite" && key != "lod" && key != "light" && key != "psystem" &&
                            key != "linekeypoint" && key != "linecolor" && key != "description" &&
                            key != "shadowtextures",
                        "the object's own keys are not section entries");
            Fuzz::Check(key.size() + value.size() <= size, "entries come from the text");
        }
    }
    std::vector<std::string> values;
    for (const auto* list : {&description.Sprites, &description.Lods, &description.Lights, &description.LineKeyPoints,
                             &description.ParticleSystems}) {
        values.insert(values.end(), list->begin(), list->end());
    }
    values.push_back(description.Head);
    values.push_back(description.LineColor);
    for (const std::string& value : values) {
        RdfFile::ReadLod(value);
        RdfFile::ReadSprite(value);
        RdfFile::ReadLight(value);
        const RdfParticleEntry particles = RdfFile::ReadParticleSystem(value);
        Fuzz::Check(particles.Emitters.size() <= value.size(), "no more emitters than pieces");
        RdfFile::ReadPoint(value);
        uint32_t colour = 0;
        RdfFile::ReadColour(value, colour);
        RdfFile::Split(value, ";");
        RdfFile::Split(value, " ");
    }
    return 0;
}
