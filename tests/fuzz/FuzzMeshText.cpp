// meshbuild's text descriptions: any text is parsed or refused with a line-numbered error; what
// is parsed builds a mesh file that the game's mesh reader reads back with the same nodes.
#include "FuzzFiles.h"

#include "core/CPFileReader.h"
#include "tools/MeshText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    MeshText::Result description;
    std::string error;
    if (!MeshText::Parse(text, description, error)) {
        Fuzz::Check(!error.empty(), "a refused description says why");
        return 0;
    }
    const std::vector<uint8_t> bytes = MeshText::Build(description);
    const std::string path = Fuzz::WriteFile("built.msh", bytes.data(), bytes.size());
    CPFileReader reader(path, false);
    Fuzz::Check(SUCCEEDED(reader.Load()), "the built file loads");
    MeshFile::File file;
    std::string problem;
    Fuzz::Check(MeshFile::Read(reader, description.Kind, file, problem), "the built file reads");
    Fuzz::Check(file.Nodes.size() == description.File.Nodes.size() &&
                    file.Tail.size() == description.File.Tail.size(),
                "the same nodes and tail");
    return 0;
}
