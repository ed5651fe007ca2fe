// meshbuild <description.txt> <output mesh file>
// Builds a mesh file (static, physics or animated) from its text description (see
// tools/MeshText.h). The output is written whole to a temporary name, then renamed.
#include "core/CPLog.h"
#include "tools/MeshText.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
    CPLog::GetInstance().SetSink(CPLog::StreamSink(stderr));  // what the engine reports, readable
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("usage: %s <description.txt> <output mesh file>\n", argv[0]);
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <description.txt> <output mesh file>\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "meshbuild: cannot read %s\n", argv[1]);
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    MeshText::Result description;
    std::string error;
    if (!MeshText::Parse(text.str(), description, error)) {
        std::fprintf(stderr, "meshbuild: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    const std::vector<uint8_t> bytes = MeshText::Build(description);
    const std::string temporary = std::string(argv[2]) + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            std::fprintf(stderr, "meshbuild: cannot write %s\n", temporary.c_str());
            std::remove(temporary.c_str());
            return 1;
        }
    }
    if (std::rename(temporary.c_str(), argv[2]) != 0) {
        std::fprintf(stderr, "meshbuild: cannot write %s\n", argv[2]);
        std::remove(temporary.c_str());
        return 1;
    }
    return 0;
}
