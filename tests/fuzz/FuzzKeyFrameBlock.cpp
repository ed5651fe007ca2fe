// Key-frame blocks of animated meshes: any bytes are read or refused; what is read has frames
// of one size and a positive frame length, and skipping agrees with reading.
#include "FuzzFiles.h"

#include "Render/KeyFrameBlock.h"
#include "core/CPFileReader.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = Fuzz::WriteFile("frames.msh", data, size);
    CPFileReader reader(path, false);
    CPFileReader skipper(path, false);
    Fuzz::Check(SUCCEEDED(reader.Load()) && SUCCEEDED(skipper.Load()), "a file on disk loads");
    KeyFrameBlock::Contents contents;
    std::string problem;
    const bool read = KeyFrameBlock::Read(reader, 0xFFFFFFFF, contents, problem);
    std::string skipProblem;
    const bool skipped = KeyFrameBlock::Skip(skipper, skipProblem);
    Fuzz::Check(read == skipped, "skip refuses what read refuses");
    Fuzz::Check(!read || reader.GetCursor() == skipper.GetCursor(), "skip ends where read ends");
    Fuzz::Check(reader.GetCursor() <= reader.GetLength(), "the cursor stays inside");
    if (!read) {
        Fuzz::Check(contents.Frames.empty() && !problem.empty(), "a refused block gives nothing and says why");
        return 0;
    }
    Fuzz::Check(!contents.Frames.empty(), "at least one frame");
    Fuzz::Check(contents.FrameTime > 0.0f && std::isfinite(contents.FrameTime), "a positive frame length");
    size_t bytes = 8;
    for (size_t k = 0; k < contents.Frames.size(); ++k) {
        const CPAnimationFrame& frame = contents.Frames[k];
        Fuzz::Check(frame.Index == static_cast<int>(k), "frames numbered in order");
        Fuzz::Check(frame.Vertices.size() == contents.Frames[0].Vertices.size() &&
                        frame.Indices.size() == contents.Frames[0].Indices.size(),
                    "frames of one size");
        bytes += 8 + frame.Vertices.size() * sizeof(CPVertex) + frame.Indices.size() * 2;
    }
    Fuzz::Check(bytes == static_cast<size_t>(reader.GetCursor()), "exactly the bytes read");
    return 0;
}
