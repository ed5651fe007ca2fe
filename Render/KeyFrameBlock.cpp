#include "Render/KeyFrameBlock.h"

#include "core/CPFileReader.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace KeyFrameBlock {

namespace {

int64_t BytesLeft(const CPFileReader& reader) {
    return static_cast<int64_t>(reader.GetLength()) - static_cast<int64_t>(reader.GetCursor());
}

// The checks of one block, shared by Read and Skip. `frame` is called once per frame with the
// two counts after both were checked against the bytes left; it consumes the frame's vertices
// (48 bytes each) before the index count and its indices (2 bytes each) after.
struct Walker {
    CPFileReader& Reader;
    std::string& Problem;

    bool Fail(const char* why) {
        Problem = why;
        return false;
    }

    template <class Vertices, class Indices>
    bool Walk(float& frameTime, int& frameCount, Vertices&& readVertices, Indices&& readIndices) {
        if (BytesLeft(Reader) < 8) {
            return Fail("key frames cut short before their count");
        }
        frameCount = Reader.ReadInt();
        const float rate = Reader.ReadFloat();
        if (frameCount <= 0) {
            return Fail("no key frames");
        }
        // Each frame holds at least its two counts.
        if (static_cast<int64_t>(frameCount) * 8 > BytesLeft(Reader)) {
            return Fail("key-frame count larger than the data");
        }
        frameTime = rate * SecondsPerRateUnit;
        if (!(frameTime > 0.0f) || !std::isfinite(frameTime) || !std::isfinite(frameTime * static_cast<float>(frameCount))) {
            return Fail("key-frame rate is not a positive number");
        }
        int firstVertices = -1;
        int firstIndices = -1;
        for (int k = 0; k < frameCount; ++k) {
            if (BytesLeft(Reader) < 4) {
                return Fail("key frame cut short before its vertex count");
            }
            const int vertexCount = Reader.ReadInt();
            if (vertexCount < 0 || static_cast<int64_t>(vertexCount) * 48 > BytesLeft(Reader) - 4) {
                return Fail("key-frame vertex count larger than the data");
            }
            if (firstVertices >= 0 && vertexCount != firstVertices) {
                return Fail("key frames differ in vertex count");
            }
            readVertices(k, vertexCount);
            const int indexCount = Reader.ReadInt();
            if (indexCount < 0 || static_cast<int64_t>(indexCount) * 2 > BytesLeft(Reader)) {
                return Fail("key-frame index count larger than the data");
            }
            if (firstIndices >= 0 && indexCount != firstIndices) {
                return Fail("key frames differ in index count");
            }
            readIndices(k, indexCount);
            firstVertices = vertexCount;
            firstIndices = indexCount;
        }
        return true;
    }
};

void Discard(CPFileReader& reader, int64_t bytes) {
    std::array<uint8_t, 4096> scratch;
    while (bytes > 0) {
        const int chunk = static_cast<int>(std::min<int64_t>(bytes, static_cast<int64_t>(scratch.size())));
        reader.Read(scratch.data(), chunk);
        bytes -= chunk;
    }
}

}  // namespace

bool Read(CPFileReader& reader, uint32_t diffuse, Contents& out, std::string& problem) {
    out = Contents();
    problem.clear();
    int frameCount = 0;
    Walker walker{reader, problem};
    const bool ok = walker.Walk(
        out.FrameTime, frameCount,
        [&](int k, int vertexCount) {
            // Grown frame by frame: only the counts were checked against the data so far.
            CPAnimationFrame& frame = out.Frames.emplace_back();
            frame.Index = k;
            frame.Vertices.resize(static_cast<size_t>(vertexCount));
            reader.Read(frame.Vertices.data(), vertexCount * static_cast<int>(sizeof(CPVertex)));
            for (CPVertex& vertex : frame.Vertices) {
                vertex.Diffuse = diffuse;
            }
        },
        [&](int k, int indexCount) {
            CPAnimationFrame& frame = out.Frames[static_cast<size_t>(k)];
            frame.Indices.resize(static_cast<size_t>(indexCount));
            reader.Read(frame.Indices.data(), indexCount * 2);
        });
    if (!ok) {
        out = Contents();
    }
    return ok;
}

bool Skip(CPFileReader& reader, std::string& problem) {
    problem.clear();
    float frameTime = 0.0f;
    int frameCount = 0;
    Walker walker{reader, problem};
    return walker.Walk(
        frameTime, frameCount, [&](int, int vertexCount) { Discard(reader, static_cast<int64_t>(vertexCount) * 48); },
        [&](int, int indexCount) { Discard(reader, static_cast<int64_t>(indexCount) * 2); });
}

}  // namespace KeyFrameBlock
