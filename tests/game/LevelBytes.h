// Level files written by the tests: a builder of the little-endian layout, and the smallest
// level a race can be run on.
#pragma once

#include "game/LevelFile.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace LevelBytes {

using Bytes = std::vector<uint8_t>;

class Writer {
public:
    Writer& U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    Writer& F32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return U32(bits);
    }
    Writer& Text(const std::string& text) {
        U32(static_cast<uint32_t>(text.size()));
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
    Writer& Fill(size_t n, uint8_t value = 0xAB) {
        bytes.insert(bytes.end(), n, value);
        return *this;
    }
    Bytes bytes;
};

struct Object {
    std::string Name;
    D3DXVECTOR3 Position;
    D3DXQUATERNION Rotation{0, 0, 0, 1};
    D3DXVECTOR3 Scale{1, 1, 1};
};

struct Path {
    std::string Name;
    bool Closed = false;
    std::vector<LevelSegmentRecord> Segments;
};

// A straight segment with its control points at a third and two thirds.
inline LevelSegmentRecord Straight(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return LevelSegmentRecord{a, b, a + (b - a) / 3.0f, a + (b - a) * (2.0f / 3.0f)};
}

// The closed square path of side `side` at the origin, anticlockwise, one segment a side.
inline Path Square(const std::string& name, float side, float shift = 0.0f) {
    const D3DXVECTOR3 c[4] = {{shift, shift, 0}, {side + shift, shift, 0}, {side + shift, side + shift, 0},
                              {shift, side + shift, 0}};
    Path path{name, true, {}};
    for (int i = 0; i < 4; ++i) path.Segments.push_back(Straight(c[i], c[(i + 1) % 4]));
    return path;
}

inline Bytes Level(const std::vector<Object>& objects, const std::vector<Path>& paths, uint32_t cameras = 0) {
    Writer w;
    for (int i = 0; i < 4; ++i) w.F32(1.5f);
    w.U32(cameras);
    if (cameras > 0) w.Fill(LevelFile::FirstCameraSize + (cameras - 1) * LevelFile::CameraSize);
    w.U32(static_cast<uint32_t>(objects.size()));
    for (const Object& o : objects) {
        w.Text(o.Name);
        w.F32(o.Position.x).F32(o.Position.y).F32(o.Position.z);
        w.F32(o.Rotation.x).F32(o.Rotation.y).F32(o.Rotation.z).F32(o.Rotation.w);
        w.F32(o.Scale.x).F32(o.Scale.y).F32(o.Scale.z);
    }
    w.U32(static_cast<uint32_t>(paths.size()));
    for (const Path& p : paths) {
        w.Text(p.Name).U32(p.Closed ? 1 : 0).U32(static_cast<uint32_t>(p.Segments.size()));
        for (const LevelSegmentRecord& s : p.Segments) {
            for (const D3DXVECTOR3* v : {&s.Start, &s.End, &s.Control1, &s.Control2}) w.F32(v->x).F32(v->y).F32(v->z);
        }
    }
    return w.bytes;
}

// Start posts at (0, 10, 0) and (0, −10, 0), two computer cars and the three paths.
inline std::vector<Object> RaceObjects() {
    return {{"player", {5, 0, 0.5f}},
            {"enemy1", {5, 4, 0}},
            {"enemy2", {5, 8, 0}},
            {"stolb_start_left", {0, 10, 0}},
            {"stolb_start_right2", {0, -10, 0}}};
}
inline std::vector<Path> RacePaths() { return {Square("c_path", 210), Square("left", 200, -5), Square("right", 220, -5)}; }
inline Bytes RaceLevel() { return Level(RaceObjects(), RacePaths()); }

}  // namespace LevelBytes
