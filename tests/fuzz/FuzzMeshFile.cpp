// Mesh files of all three kinds: any bytes are read or refused; a refused file gives nothing
// and says why; what is read holds no more than the file, nests no deeper than the limit, and
// reads back the same after the writer has written it.
#include "FuzzFiles.h"

#include "Render/KeyFrameBlock.h"
#include "Render/MeshFile.h"
#include "core/CPFileReader.h"

#include <cstring>

namespace {

struct Totals {
    size_t Nodes = 0;
    size_t Bytes = 0;
};

void Count(const MeshFile::Node& node, int depth, Totals& totals) {
    Fuzz::Check(depth <= MeshFile::MaxDepth, "no deeper than the limit");
    Fuzz::Check(node.Name.size() < MeshFile::NameFieldSize, "names fit their field");
    ++totals.Nodes;
    totals.Bytes += node.Vertices.size() * sizeof(CPVertex) + node.Indices.size() * 2 +
                    node.Boxes.size() * MeshFile::BoxRecordSize + node.Shapes.size() * MeshFile::ShapeRecordSize;
    for (const MeshFile::Node& child : node.Children) Count(child, depth + 1, totals);
}

bool SameNode(const MeshFile::Node& a, const MeshFile::Node& b) {
    if (a.Name != b.Name || a.Vertices.size() != b.Vertices.size() || a.Indices != b.Indices ||
        a.Boxes.size() != b.Boxes.size() || a.Shapes.size() != b.Shapes.size() || a.KeyFrames != b.KeyFrames ||
        a.Children.size() != b.Children.size()) {
        return false;
    }
    if (!a.Vertices.empty() &&
        std::memcmp(a.Vertices.data(), b.Vertices.data(), a.Vertices.size() * sizeof(CPVertex)) != 0) {
        return false;
    }
    for (size_t k = 0; k < a.Children.size(); ++k) {
        if (!SameNode(a.Children[k], b.Children[k])) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = Fuzz::WriteFile("mesh.msh", data, size);
    for (MeshFile::Kind kind : {MeshFile::Kind::Static, MeshFile::Kind::Physics, MeshFile::Kind::Animated}) {
        CPFileReader reader(path, false);
        Fuzz::Check(SUCCEEDED(reader.Load()), "a file on disk loads");
        // The key-frame blocks as they stand, so the writer can put them back.
        std::vector<std::vector<uint8_t>> blocks;
        const auto keep = [&blocks](CPFileReader& r, const std::string&) {
            const int start = r.GetCursor();
            std::string problem;
            if (!KeyFrameBlock::Skip(r, problem)) return false;
            blocks.emplace_back(r.GetData() + start, r.GetData() + r.GetCursor());
            return true;
        };
        MeshFile::File file;
        std::string problem;
        const bool read = MeshFile::Read(reader, kind, file, problem, keep);
        Fuzz::Check(reader.GetCursor() >= 0 && reader.GetCursor() <= reader.GetLength(), "the cursor stays inside");
        if (!read) {
            Fuzz::Check(file.Nodes.empty() && !problem.empty(), "a refused file gives nothing and says why");
            continue;
        }
        Totals totals;
        for (const MeshFile::Node& node : file.Nodes) Count(node, 0, totals);
        Fuzz::Check(totals.Bytes + totals.Nodes * 264 <= size, "no more than the file holds");

        const std::vector<uint8_t> written = MeshFile::Write(file, kind, blocks);
        const std::string again = Fuzz::WriteFile("again.msh", written.data(), written.size());
        CPFileReader rereader(again, false);
        Fuzz::Check(SUCCEEDED(rereader.Load()), "the written file loads");
        MeshFile::File reread;
        Fuzz::Check(MeshFile::Read(rereader, kind, reread, problem), "what was read is written readably");
        Fuzz::Check(reread.Nodes.size() == file.Nodes.size() && reread.Tail.size() == file.Tail.size(),
                    "the same nodes and tail");
        for (size_t k = 0; k < file.Nodes.size(); ++k) {
            Fuzz::Check(SameNode(file.Nodes[k], reread.Nodes[k]), "the same records");
        }
    }
    return 0;
}
