// Writers of the two animation formats for tests, fuzz seeds and benchmarks: part-animation
// files ("Data\Animations") and the key-frame block of animated mesh nodes. Both are built
// byte by byte here so a test can also write what no real exporter would (wrong counts,
// cut-off data).
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace AnimationBytes {

struct Writer {
    std::vector<uint8_t> Bytes;

    Writer& Int(int32_t value) { return Raw(&value, 4); }
    Writer& Float(float value) { return Raw(&value, 4); }
    Writer& U16(uint16_t value) { return Raw(&value, 2); }
    Writer& Text(const std::string& text) { return Raw(text.data(), text.size()); }
    Writer& Raw(const void* data, size_t size) {
        const auto* at = static_cast<const uint8_t*>(data);
        Bytes.insert(Bytes.end(), at, at + size);
        return *this;
    }
};

// One key of a part animation: its duration and the twelve stored floats (the first three
// matrix columns, column by column).
struct Key {
    float Duration = 1.0f;
    std::array<float, 12> Stored{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
};

// The stored floats of a rotation about z by `angle` radians (row vectors, D3DX's sense) with
// translation t.
inline std::array<float, 12> RotationZ(float angle, float tx = 0, float ty = 0, float tz = 0) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    // Matrix rows (c, s, 0), (-s, c, 0), (0, 0, 1), (tx, ty, tz); stored column by column.
    return {c, -s, 0, tx, s, c, 0, ty, 0, 0, 1, tz};
}

struct Track {
    std::string Name;
    std::vector<Key> Keys;
};

inline std::vector<uint8_t> PartAnimationFile(const std::vector<Track>& tracks) {
    Writer out;
    out.Int(static_cast<int32_t>(tracks.size()));
    for (const Track& track : tracks) {
        out.Int(static_cast<int32_t>(track.Name.size())).Text(track.Name);
        out.Int(static_cast<int32_t>(track.Keys.size()));
        for (const Key& key : track.Keys) {
            out.Float(key.Duration);
            for (float value : key.Stored) {
                out.Float(value);
            }
        }
    }
    return out.Bytes;
}

// A 48-byte vertex as stored.
struct Vertex {
    float Position[3] = {0, 0, 0};
    float Normal[3] = {0, 0, 1};
    uint32_t Diffuse = 0x12345678;
    uint32_t Specular = 0;
    float Uv[2] = {0, 0};
    float Uv2[2] = {0, 0};
};
static_assert(sizeof(Vertex) == 48);

struct Frame {
    std::vector<Vertex> Vertices;
    std::vector<uint16_t> Indices;
};

// The key-frame block: frame count, rate in units of 1/2400 s, then the frames.
inline std::vector<uint8_t> KeyFrameBlock(float rate, const std::vector<Frame>& frames) {
    Writer out;
    out.Int(static_cast<int32_t>(frames.size())).Float(rate);
    for (const Frame& frame : frames) {
        out.Int(static_cast<int32_t>(frame.Vertices.size()));
        out.Raw(frame.Vertices.data(), frame.Vertices.size() * sizeof(Vertex));
        out.Int(static_cast<int32_t>(frame.Indices.size()));
        out.Raw(frame.Indices.data(), frame.Indices.size() * 2);
    }
    return out.Bytes;
}

// `count` frames of one triangle each; frame k's first vertex sits at x = k so a test can
// tell the frames apart.
inline std::vector<Frame> CountingFrames(int count, int verticesPerFrame = 3) {
    std::vector<Frame> frames(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) {
        Frame& frame = frames[static_cast<size_t>(k)];
        frame.Vertices.resize(static_cast<size_t>(verticesPerFrame));
        for (int v = 0; v < verticesPerFrame; ++v) {
            frame.Vertices[static_cast<size_t>(v)].Position[0] = static_cast<float>(k);
            frame.Vertices[static_cast<size_t>(v)].Position[1] = static_cast<float>(v);
        }
        for (int i = 0; i + 2 < verticesPerFrame; i += 3) {
            frame.Indices.insert(frame.Indices.end(), {static_cast<uint16_t>(i), static_cast<uint16_t>(i + 1),
                                                       static_cast<uint16_t>(i + 2)});
        }
    }
    return frames;
}

}  // namespace AnimationBytes

#include "core/CPFileReader.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace AnimationBytes {

// A reader holding the bytes, loaded through a file of their own under the temporary folder
// (the reader only loads files); the file is removed again. Null when the load fails.
inline std::unique_ptr<CPFileReader> LoadReader(const std::vector<uint8_t>& bytes) {
    static int serial = 0;
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("anim_bytes_" + std::to_string(getpid()) + "_" + std::to_string(serial++));
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    auto reader = std::make_unique<CPFileReader>(path.string(), false);
    const bool loaded = reader->Load() == S_OK;
    std::filesystem::remove(path);
    return loaded ? std::move(reader) : nullptr;
}

}  // namespace AnimationBytes
