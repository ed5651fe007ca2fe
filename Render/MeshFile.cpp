#include "Render/MeshFile.h"

#include "Render/KeyFrameBlock.h"
#include "core/CPFileReader.h"
#include "core/StringUtil.h"

#include <algorithm>
#include <cstring>

namespace MeshFile {

namespace {

// The fewest bytes a node record of the kind takes (no vertices, no children); counts of
// records are checked against it before anything is reserved.
int SmallestRecord(Kind kind) {
    switch (kind) {
    case Kind::Static: return 4 + NameFieldSize + 4 * 4;
    case Kind::Physics: return 4 + NameFieldSize + PlacementSize + ShapeRecordSize + 4 * 4;
    case Kind::Animated: break;
    }
    // The smallest key-frame block is its two head words.
    return NameFieldSize + PlacementSize + 2 * ShapeRecordSize + 8 + 2 * 4;
}

// Reads through the file reader (so a key-frame reader can take over at the same cursor),
// checking every size against what is left first.
class Cursor {
public:
    explicit Cursor(CPFileReader& reader) : Reader(reader) {}

    int Left() const { return Reader.GetLength() - Reader.GetCursor(); }

    bool Need(int64_t bytes, const char* what) {
        if (bytes <= Left()) return true;
        Problem = std::string("ends inside ") + what;
        return false;
    }
    bool Int(int32_t& value, const char* what) {
        if (!Need(4, what)) return false;
        value = Reader.ReadInt();
        return true;
    }
    // A count of records of `size` bytes each: negative reads as 0, one larger than the bytes
    // left refuses the file before anything is reserved.
    bool Count(int32_t& count, int size, const char* what) { return Int(count, what) && Within(count, size, what); }
    bool Within(int32_t& count, int size, const char* what) {
        if (count < 0) count = 0;
        if (static_cast<int64_t>(count) * size > Left()) {
            Problem = std::string("count of ") + what + " larger than the file";
            return false;
        }
        return true;
    }
    bool Bytes(void* destination, int n, const char* what) {
        if (!Need(n, what)) return false;
        Reader.Read(destination, n);
        return true;
    }
    bool Name(std::string& name) {
        char field[NameFieldSize];
        if (!Bytes(field, NameFieldSize, "a node name")) return false;
        // A name without its zero is cut so that the zero fits.
        name.assign(field, strnlen(field, NameFieldSize - 1));
        ToLower(name);
        return true;
    }
    bool Placement(Node& node) {
        float f[7];
        if (!Bytes(f, PlacementSize, "a placement block")) return false;
        node.Position = D3DXVECTOR3(f[0], f[1], f[2]);
        node.Rotation = D3DXQUATERNION(f[3], f[4], f[5], f[6]);
        return true;
    }
    bool ShapeRecord(Shape& shape, const char* what) {
        uint8_t raw[ShapeRecordSize];
        if (!Bytes(raw, ShapeRecordSize, what)) return false;
        float f[13];
        std::memcpy(f, raw, sizeof(f));
        std::memcpy(&shape.Kind, raw, 4);
        shape.SizeX = f[1];
        shape.Height = f[2];
        shape.SizeY = f[3];
        shape.Position = D3DXVECTOR3(f[4], f[5], f[6]);
        shape.Rotation = D3DXQUATERNION(f[7], f[8], f[9], f[10]);
        shape.Diameter = f[11];
        shape.Mass = f[12];
        return true;
    }
    bool Geometry(Node& node) {
        int32_t vertexCount = 0;
        if (!Count(vertexCount, sizeof(CPVertex), "vertices")) return false;
        node.Vertices.resize(static_cast<size_t>(vertexCount));
        Reader.Read(node.Vertices.data(), vertexCount * static_cast<int>(sizeof(CPVertex)));
        int32_t indexCount = 0;
        if (!Count(indexCount, 2, "indices")) return false;
        node.Indices.resize(static_cast<size_t>(indexCount));
        Reader.Read(node.Indices.data(), indexCount * 2);
        return true;
    }
    bool Shapes(Node& node) {
        int32_t count = 0;
        if (!Count(count, ShapeRecordSize, "shape records")) return false;
        node.Shapes.resize(static_cast<size_t>(count));
        for (Shape& shape : node.Shapes) {
            if (!ShapeRecord(shape, "a shape record")) return false;
        }
        return true;
    }
    bool Boxes(Node& node) {
        int32_t count = 0;
        if (!Count(count, BoxRecordSize, "collision boxes")) return false;
        node.Boxes.resize(static_cast<size_t>(count));
        for (Box& box : node.Boxes) {
            float f[BoxRecordSize / 4];
            Reader.Read(f, BoxRecordSize);
            box.Centre = D3DXVECTOR3(f[0], f[1], f[2]);
            box.HalfExtents = D3DXVECTOR3(f[4], f[5], f[6]);
        }
        return true;
    }

    bool Record(Kind kind, Node& node, int depth) {
        if (depth > MaxDepth) {
            Problem = "nodes nested too deep";
            return false;
        }
        int32_t ignored = 0;
        if (kind != Kind::Animated && !Int(ignored, "a node record")) return false;
        if (!Name(node.Name)) return false;
        switch (kind) {
        case Kind::Static:
            if (!Geometry(node) || !Boxes(node)) return false;
            break;
        case Kind::Physics:
            if (!Placement(node) || !ShapeRecord(node.Body, "a body block") || !Geometry(node) || !Shapes(node)) {
                return false;
            }
            break;
        case Kind::Animated:
            if (!Placement(node) || !ShapeRecord(node.Body, "a body block") ||
                !ShapeRecord(node.Bounds, "a bounds block")) {
                return false;
            }
            node.KeyFrames = KeyFrameBlocks++;
            if (!KeyFrames(Reader, node.Name)) {
                Problem = "damaged key frames of node " + node.Name;
                return false;
            }
            if (!Shapes(node)) return false;
            break;
        }
        int32_t childCount = 0;
        if (!Count(childCount, SmallestRecord(kind), "children")) return false;
        node.Children.resize(static_cast<size_t>(childCount));
        for (Node& child : node.Children) {
            if (!Record(kind, child, depth + 1)) return false;
        }
        return true;
    }

    bool Tail(File& file) {
        int32_t count = 0;
        // An entry is at least a string length and 12 floats.
        if (!Count(count, 4 + 48, "named transforms")) return false;
        file.Tail.resize(static_cast<size_t>(count));
        for (NamedTransform& entry : file.Tail) {
            int32_t length = 0;
            if (!Int(length, "a transform name")) return false;
            if (length < 0) length = 0;
            if (!Need(length, "a transform name")) return false;
            std::string text(static_cast<size_t>(length), '\0');
            Reader.Read(text.data(), length);
            text.resize(strnlen(text.c_str(), text.size()));
            ToLower(text);
            entry.Name = std::move(text);
            float f[12];
            if (!Bytes(f, sizeof(f), "a transform")) return false;
            D3DXMatrixIdentity(&entry.Matrix);
            for (int column = 0; column < 3; ++column) {
                for (int row = 0; row < 4; ++row) {
                    entry.Matrix.m[row][column] = f[column * 4 + row];
                }
            }
        }
        return true;
    }

    CPFileReader& Reader;
    KeyFrameReader KeyFrames;
    int32_t KeyFrameBlocks = 0;
    std::string Problem;
};

}  // namespace

Kind KindOfName(const std::string& name) {
    if (name.size() < 3) return Kind::Static;
    std::string ending = name.substr(name.size() - 3);
    ToLower(ending);
    return ending == "p3d" ? Kind::Physics : Kind::Static;
}

bool Read(CPFileReader& reader, Kind kind, File& out, std::string& problem, const KeyFrameReader& keyFrames) {
    out = File();
    Cursor cursor(reader);
    cursor.KeyFrames = keyFrames ? keyFrames : [](CPFileReader& r, const std::string&) {
        std::string ignored;
        return KeyFrameBlock::Skip(r, ignored);
    };
    bool ok = cursor.Int(out.Head, "the file head") && cursor.Int(out.NodeCount, "the file head");
    if (ok && kind == Kind::Animated) {
        out.Nodes.resize(1);
        ok = cursor.Record(kind, out.Nodes[0], 0);
    } else if (ok) {
        int32_t count = out.NodeCount;
        ok = cursor.Within(count, SmallestRecord(kind), "nodes");
        if (ok) {
            out.Nodes.resize(static_cast<size_t>(count));
            for (Node& node : out.Nodes) {
                if (!(ok = cursor.Record(kind, node, 0))) break;
            }
        }
        if (ok && cursor.Left() > 0) {
            out.HasTail = true;
            ok = cursor.Tail(out);
        }
    }
    if (!ok) {
        problem = cursor.Problem;
        out = File();
    }
    return ok;
}

namespace {

class Writer {
public:
    // Grown and copied into rather than inserted: GCC 12 takes the range insert of a few bytes
    // for an overflow (-Wstringop-overflow, a known false positive of its inliner).
    void Raw(const void* data, size_t n) {
        if (n == 0) return;  // data may be null then
        const size_t at = Out.size();
        Out.resize(at + n);
        std::memcpy(Out.data() + at, data, n);
    }
    void Int(int32_t value) { Raw(&value, 4); }
    void Float(float value) { Raw(&value, 4); }
    void Name(const std::string& name) {
        char field[NameFieldSize] = {};
        std::memcpy(field, name.data(), std::min<size_t>(name.size(), NameFieldSize - 1));
        Raw(field, NameFieldSize);
    }
    void Vector(const D3DXVECTOR3& v) {
        Float(v.x);
        Float(v.y);
        Float(v.z);
    }
    void Quaternion(const D3DXQUATERNION& q) {
        Float(q.x);
        Float(q.y);
        Float(q.z);
        Float(q.w);
    }
    void ShapeRecord(const Shape& shape) {
        Int(shape.Kind);
        Float(shape.SizeX);
        Float(shape.Height);
        Float(shape.SizeY);
        Vector(shape.Position);
        Quaternion(shape.Rotation);
        Float(shape.Diameter);
        Float(shape.Mass);
    }
    void Geometry(const Node& node) {
        Int(static_cast<int32_t>(node.Vertices.size()));
        Raw(node.Vertices.data(), node.Vertices.size() * sizeof(CPVertex));
        Int(static_cast<int32_t>(node.Indices.size()));
        Raw(node.Indices.data(), node.Indices.size() * 2);
    }
    void Shapes(const Node& node) {
        Int(static_cast<int32_t>(node.Shapes.size()));
        for (const Shape& shape : node.Shapes) ShapeRecord(shape);
    }
    void Record(const Node& node, Kind kind) {
        if (kind != Kind::Animated) Int(0);
        Name(node.Name);
        switch (kind) {
        case Kind::Static:
            Geometry(node);
            Int(static_cast<int32_t>(node.Boxes.size()));
            for (const Box& box : node.Boxes) {
                float f[BoxRecordSize / 4] = {};
                f[0] = box.Centre.x;
                f[1] = box.Centre.y;
                f[2] = box.Centre.z;
                f[4] = box.HalfExtents.x;
                f[5] = box.HalfExtents.y;
                f[6] = box.HalfExtents.z;
                Raw(f, sizeof(f));
            }
            break;
        case Kind::Physics:
            Vector(node.Position);
            Quaternion(node.Rotation);
            ShapeRecord(node.Body);
            Geometry(node);
            Shapes(node);
            break;
        case Kind::Animated:
            Vector(node.Position);
            Quaternion(node.Rotation);
            ShapeRecord(node.Body);
            ShapeRecord(node.Bounds);
            if (node.KeyFrames >= 0 && static_cast<size_t>(node.KeyFrames) < KeyFrames->size()) {
                const std::vector<uint8_t>& block = (*KeyFrames)[static_cast<size_t>(node.KeyFrames)];
                Raw(block.data(), block.size());
            }
            Shapes(node);
            break;
        }
        Int(static_cast<int32_t>(node.Children.size()));
        for (const Node& child : node.Children) Record(child, kind);
    }

    std::vector<uint8_t> Out;
    const std::vector<std::vector<uint8_t>>* KeyFrames = nullptr;
};

}  // namespace

std::vector<uint8_t> Write(const File& file, Kind kind, const std::vector<std::vector<uint8_t>>& keyFrames) {
    Writer writer;
    writer.KeyFrames = &keyFrames;
    writer.Int(file.Head);
    writer.Int(file.NodeCount);
    if (kind == Kind::Animated) {
        if (!file.Nodes.empty()) writer.Record(file.Nodes[0], kind);
        return writer.Out;
    }
    for (const Node& node : file.Nodes) writer.Record(node, kind);
    if (file.HasTail) {
        writer.Int(static_cast<int32_t>(file.Tail.size()));
        for (const NamedTransform& entry : file.Tail) {
            writer.Int(static_cast<int32_t>(entry.Name.size()));
            writer.Raw(entry.Name.data(), entry.Name.size());
            for (int column = 0; column < 3; ++column) {
                for (int row = 0; row < 4; ++row) writer.Float(entry.Matrix.m[row][column]);
            }
        }
    }
    return writer.Out;
}

}  // namespace MeshFile
