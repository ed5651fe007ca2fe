#include "game/LevelFile.h"

#include "core/NumberText.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>

namespace LevelFile {

namespace {

// Little-endian reads over the file's bytes that never leave them; a read that does not fit
// fails and moves nothing.
class ByteCursor {
public:
    ByteCursor(const uint8_t* data, size_t size, size_t offset) : data(data), size(size), offset(offset) {}

    size_t Offset() const { return offset; }
    size_t Left() const { return offset <= size ? size - offset : 0; }

    bool U32(uint32_t& value) {
        if (Left() < 4) {
            return false;
        }
        const uint8_t* p = data + offset;
        value = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
                static_cast<uint32_t>(p[3]) << 24;
        offset += 4;
        return true;
    }
    bool F32(float& value) {
        uint32_t bits = 0;
        if (!U32(bits)) {
            return false;
        }
        value = std::bit_cast<float>(bits);
        return true;
    }
    bool Skip(size_t n) {
        if (Left() < n) {
            return false;
        }
        offset += n;
        return true;
    }
    // A uint32 length and that many bytes; the text ends at its first zero byte.
    bool Text(std::string& text) {
        uint32_t length = 0;
        if (Left() < 4) {
            return false;
        }
        const size_t start = offset;
        U32(length);
        if (Left() < length) {
            offset = start;
            return false;
        }
        const char* p = reinterpret_cast<const char*>(data + offset);
        size_t n = 0;
        while (n < length && p[n] != '\0') {
            ++n;
        }
        text.assign(p, n);
        offset += length;
        return true;
    }

private:
    const uint8_t* data;
    size_t size;
    size_t offset;
};

bool Fail(std::string& problem, const std::string& what, size_t offset) {
    problem = what + " at offset " + std::to_string(offset);
    return false;
}

bool Finite(std::initializer_list<float> values) {
    for (float v : values) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

// Three floats in file order; false when short.
bool Vector(ByteCursor& in, D3DXVECTOR3& v) { return in.F32(v.x) && in.F32(v.y) && in.F32(v.z); }

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// atof of the text, 0 when it does not begin with a number or leaves the float range.
float LeadingNumber(const std::string& text) {
    float value = 0.0f;
    return TextToFloat(text, value) ? value : 0.0f;
}

// The key read as a number truncated toward zero, kept inside the int range.
int32_t KeyNumber(const std::string& key) {
    double value = 0.0;
    if (!TextToDouble(key, value) || !std::isfinite(value)) {
        return 0;
    }
    value = std::trunc(value);
    if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
        return std::numeric_limits<int32_t>::max();
    }
    if (value <= static_cast<double>(std::numeric_limits<int32_t>::min())) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(value);
}

// A plain object: placed from base + ".rdf", unless it is a start post.
void AddPlain(const LevelObjectRecord& object, const std::string& base, LevelLayout& layout) {
    if (base.empty()) {
        layout.Refused.push_back("\"" + object.Name + "\": no object file name");
        return;
    }
    const std::string file = base + ".rdf";
    if (file == "stolb_start_left.rdf") {
        layout.HasLeftPost = true;
        layout.LeftPost = object.Position;
        return;
    }
    if (file == "stolb_start_right.rdf") {
        layout.HasRightPost = true;
        layout.RightPost = object.Position;
        return;
    }
    LevelPlacedObject placed;
    placed.Name = object.Name;
    placed.File = file;
    placed.Position = object.Position;
    placed.Orientation = D3DXQUATERNION(-object.Rotation.x, -object.Rotation.y, -object.Rotation.z, object.Rotation.w);
    placed.Scale = object.Scale;
    placed.Zone = file == "arrow_blue.rdf" || file == "arrow_blue_b.rdf";
    placed.Checkpoint = file == "checkpoint.rdf" || file == "checkpoint_a.rdf";
    if (placed.Checkpoint) {
        const size_t comma = object.Name.find(',');
        placed.CheckpointTime =
            (comma == std::string::npos ? 0.0f : LeadingNumber(object.Name.substr(comma + 1))) + 9.0f;
    }
    layout.Objects.push_back(std::move(placed));
}

void AddBeacon(const LevelObjectRecord& object, const std::string& base, LevelLayout& layout) {
    LevelBeacon beacon;
    std::string objectName;
    if (!SplitBeaconName(base, beacon.Key, beacon.Number, objectName)) {
        layout.Refused.push_back("\"" + object.Name + "\": a beacon without an object file name");
        return;
    }
    beacon.BaseName = base;
    beacon.File = objectName + ".rdf";
    beacon.Position = object.Position;
    beacon.Rotation = object.Rotation;
    layout.Beacons.push_back(std::move(beacon));
}

}  // namespace

std::string BaseName(const std::string& name) {
    size_t end = name.size();
    while (end > 0 && name[end - 1] >= '0' && name[end - 1] <= '9') {
        --end;
    }
    return name.substr(0, end);
}

bool SplitBeaconName(const std::string& base, std::string& key, int32_t& number, std::string& objectName) {
    size_t i = std::min<size_t>(3, base.size());
    const size_t first = i;
    while (i < base.size() && ((base[i] >= '0' && base[i] <= '9') || base[i] == '-')) {
        ++i;
    }
    key = base.substr(first, i - first);
    number = KeyNumber(key);
    objectName = i + 1 < base.size() ? base.substr(i + 1) : std::string();
    return !objectName.empty();
}

bool ReadPath(const uint8_t* data, size_t size, size_t& offset, LevelPathRecord& path, std::string& problem) {
    ByteCursor in(data, size, offset);
    path = LevelPathRecord{};
    if (!in.Text(path.Name)) {
        return Fail(problem, "path name cut short", in.Offset());
    }
    uint32_t closed = 0;
    uint32_t count = 0;
    if (!in.U32(closed) || !in.U32(count)) {
        return Fail(problem, "path \"" + path.Name + "\" cut short before its segments", in.Offset());
    }
    path.Closed = closed != 0;
    if (static_cast<uint64_t>(count) * SegmentSize > in.Left()) {
        return Fail(problem, "path \"" + path.Name + "\": " + std::to_string(count) + " segments need more than the " +
                                 std::to_string(in.Left()) + " bytes left",
                    in.Offset());
    }
    path.Segments.resize(count);
    for (LevelSegmentRecord& segment : path.Segments) {
        const size_t at = in.Offset();
        Vector(in, segment.Start);
        Vector(in, segment.End);
        Vector(in, segment.Control1);
        Vector(in, segment.Control2);
        const D3DXVECTOR3* points[] = {&segment.Start, &segment.End, &segment.Control1, &segment.Control2};
        for (const D3DXVECTOR3* p : points) {
            if (!Finite({p->x, p->y, p->z})) {
                return Fail(problem, "path \"" + path.Name + "\": a point that is not a finite number", at);
            }
        }
    }
    offset = in.Offset();
    return true;
}

bool Read(const uint8_t* data, size_t size, LevelFileRecord& record, std::string& problem) {
    record = LevelFileRecord{};
    problem.clear();
    auto refuse = [&](const std::string& what, size_t offset) {
        record = LevelFileRecord{};
        return Fail(problem, what, offset);
    };
    ByteCursor in(data, size, 0);
    if (!in.Skip(HeaderSize) || !in.U32(record.CameraCount)) {
        return refuse("file shorter than its header", in.Offset());
    }
    if (record.CameraCount > 0) {
        const uint64_t cameras = FirstCameraSize + static_cast<uint64_t>(record.CameraCount - 1) * CameraSize;
        if (cameras > in.Left()) {
            return refuse(std::to_string(record.CameraCount) + " camera records need more than the " +
                              std::to_string(in.Left()) + " bytes left",
                          in.Offset());
        }
        in.Skip(static_cast<size_t>(cameras));
    }

    uint32_t objectCount = 0;
    if (!in.U32(objectCount)) {
        return refuse("no object count", in.Offset());
    }
    // Each object takes at least its name's length and ten floats.
    constexpr uint64_t smallestObject = 4 + ObjectFloats * 4;
    if (objectCount * smallestObject > in.Left()) {
        return refuse(std::to_string(objectCount) + " objects need more than the " + std::to_string(in.Left()) +
                          " bytes left",
                      in.Offset());
    }
    record.Objects.resize(objectCount);
    for (uint32_t i = 0; i < objectCount; ++i) {
        LevelObjectRecord& object = record.Objects[i];
        if (!in.Text(object.Name)) {
            return refuse("object " + std::to_string(i) + ": name longer than the file", in.Offset());
        }
        const size_t at = in.Offset();
        D3DXQUATERNION& q = object.Rotation;
        if (!Vector(in, object.Position) || !in.F32(q.x) || !in.F32(q.y) || !in.F32(q.z) || !in.F32(q.w) ||
            !Vector(in, object.Scale)) {
            return refuse("object \"" + object.Name + "\" cut short", at);
        }
        const D3DXVECTOR3& p = object.Position;
        const D3DXVECTOR3& s = object.Scale;
        if (!Finite({p.x, p.y, p.z, q.x, q.y, q.z, q.w, s.x, s.y, s.z})) {
            return refuse("object \"" + object.Name + "\": a value that is not a finite number", at);
        }
    }

    uint32_t pathCount = 0;
    if (!in.U32(pathCount)) {
        return refuse("no path count", in.Offset());
    }
    // Each path takes at least its name's length, its closed flag and its segment count.
    if (static_cast<uint64_t>(pathCount) * 12 > in.Left()) {
        return refuse(std::to_string(pathCount) + " paths need more than the " + std::to_string(in.Left()) +
                          " bytes left",
                      in.Offset());
    }
    record.Paths.resize(pathCount);
    size_t offset = in.Offset();
    for (LevelPathRecord& path : record.Paths) {
        if (!ReadPath(data, size, offset, path, problem)) {
            std::string why = std::move(problem);
            record = LevelFileRecord{};
            problem = std::move(why);
            return false;
        }
    }
    return true;
}

void Classify(LevelFileRecord&& record, bool singleMode, bool timeMode, LevelLayout& layout) {
    layout = LevelLayout{};
    layout.File = std::move(record);
    for (const LevelObjectRecord& object : layout.File.Objects) {
        const std::string base = BaseName(object.Name);
        if (base == "player") {
            layout.Player = LevelCarStart{object.Position, object.Rotation};
        } else if (StartsWith(base, "enemy")) {
            if (!timeMode) {
                layout.Cars.push_back(LevelCarStart{object.Position, object.Rotation});
            }
        } else if (StartsWith(base, "che")) {
            if (!singleMode) {
                AddPlain(object, BaseName(object.Name.substr(0, object.Name.find(','))), layout);
            }
        } else if (StartsWith(base, "chk")) {
            AddBeacon(object, base, layout);
        } else if (StartsWith(base, "src")) {
            layout.Sources[base.size() > 4 ? base.substr(4) : std::string()] = object.Position;
        } else {
            AddPlain(object, base, layout);
        }
    }
    for (size_t i = 0; i < layout.File.Paths.size(); ++i) {
        const std::string& name = layout.File.Paths[i].Name;
        if (name == "c_path") {
            layout.CentrePath = static_cast<int>(i);
        } else if (name == "left") {
            layout.LeftPath = static_cast<int>(i);
        } else if (name == "right") {
            layout.RightPath = static_cast<int>(i);
        }
    }
}

bool Check(const LevelLayout& layout, std::string& problem) {
    if (layout.CentrePath < 0) {
        problem = "no path \"c_path\"";
        return false;
    }
    if (!layout.Cars.empty() && (layout.LeftPath < 0 || layout.RightPath < 0)) {
        problem = std::string("computer cars but no path \"") + (layout.LeftPath < 0 ? "left" : "right") + "\"";
        return false;
    }
    return true;
}

bool Parse(const uint8_t* data, size_t size, bool singleMode, bool timeMode, LevelLayout& layout,
           std::string& problem) {
    LevelFileRecord record;
    if (!Read(data, size, record, problem)) {
        layout = LevelLayout{};
        return false;
    }
    Classify(std::move(record), singleMode, timeMode, layout);
    if (!Check(layout, problem)) {
        layout = LevelLayout{};
        return false;
    }
    return true;
}

}  // namespace LevelFile
