#include "tools/MeshText.h"

#include "Render/KeyFrameBlock.h"
#include "core/NumberText.h"

#include <cmath>
#include <cstring>
#include <sstream>

namespace MeshText {

namespace {

// 16-bit indices reach this many vertices of a node.
constexpr size_t MaxVertices = 65536;
// Far more than a hand-written animation needs; a larger block is a typing slip.
constexpr size_t MaxKeyFrameBytes = size_t(256) << 20;

struct Parser {
    Result& Out;
    std::string& Error;
    int Line = 0;
    int FirstLine = 0;  // the line of the first statement
    // The open nodes, innermost last (valid for one statement).
    std::vector<MeshFile::Node*> Open;

    bool Fail(const std::string& message) {
        Error = "line " + std::to_string(Line) + ": " + message;
        return false;
    }
    bool Floats(const std::vector<std::string>& words, size_t first, size_t count, float* values) {
        for (size_t k = 0; k < count; ++k) {
            if (!TextToFloat(words[first + k], values[k])) return Fail("not a number: " + words[first + k]);
        }
        return true;
    }
    MeshFile::Node* Current() { return Open.empty() ? nullptr : Open.back(); }

    bool Statement(const std::vector<std::string>& w) {
        const std::string& word = w[0];
        const size_t n = w.size() - 1;
        if (word == "mesh") {
            if (n != 1) return Fail("mesh takes one word");
            // The kind governs what the statements before it were checked against.
            if (Line != FirstLine) return Fail("mesh comes first, once");
            if (w[1] == "static") Out.Kind = MeshFile::Kind::Static;
            else if (w[1] == "physics") Out.Kind = MeshFile::Kind::Physics;
            else if (w[1] == "animated") Out.Kind = MeshFile::Kind::Animated;
            else return Fail("unknown mesh kind " + w[1]);
            return true;
        }
        if (word == "node") {
            if (n != 1) return Fail("node takes a name");
            // The mesh reader refuses deeper files.
            if (Open.size() > static_cast<size_t>(MeshFile::MaxDepth)) {
                return Fail("nodes nest deeper than " + std::to_string(MeshFile::MaxDepth));
            }
            MeshFile::Node node;
            node.Name = w[1];
            node.Rotation = D3DXQUATERNION(0, 0, 0, 1);
            if (Current() == nullptr) {
                if (Out.Kind == MeshFile::Kind::Animated && !Out.File.Nodes.empty()) {
                    return Fail("an animated file has one top node");
                }
                Out.File.Nodes.push_back(node);
                Open.push_back(&Out.File.Nodes.back());
            } else {
                Current()->Children.push_back(node);
                Open.push_back(&Current()->Children.back());
            }
            return true;
        }
        if (word == "transform") {
            if (n != 13) return Fail("transform takes a name and 12 numbers");
            if (Out.Kind == MeshFile::Kind::Animated) return Fail("transform belongs to static and physics files");
            float f[12];
            if (!Floats(w, 2, 12, f)) return false;
            MeshFile::NamedTransform entry;
            entry.Name = w[1];
            D3DXMatrixIdentity(&entry.Matrix);
            for (int column = 0; column < 3; ++column) {
                for (int row = 0; row < 4; ++row) entry.Matrix.m[row][column] = f[column * 4 + row];
            }
            Out.File.HasTail = true;
            Out.File.Tail.push_back(entry);
            return true;
        }
        MeshFile::Node* node = Current();
        if (node == nullptr) return Fail(word + " outside a node");
        if (word == "end") {
            if (n != 0) return Fail("end takes nothing");
            Open.pop_back();
            return true;
        }
        float f[16];
        if (word == "position") {
            if (n != 3) return Fail("position takes x y z");
            if (!Floats(w, 1, 3, f)) return false;
            node->Position = D3DXVECTOR3(f[0], f[1], f[2]);
        } else if (word == "rotation") {
            if (n != 4) return Fail("rotation takes x y z w");
            if (!Floats(w, 1, 4, f)) return false;
            node->Rotation = D3DXQUATERNION(f[0], f[1], f[2], f[3]);
        } else if (word == "body") {
            if (n != 4) return Fail("body takes sx height sy mass");
            if (!Floats(w, 1, 4, f)) return false;
            node->Body.SizeX = f[0];
            node->Body.Height = f[1];
            node->Body.SizeY = f[2];
            node->Body.Mass = f[3];
        } else if (word == "bounds") {
            if (n != 7) return Fail("bounds takes sx height sy x y z switch");
            if (!Floats(w, 1, 7, f)) return false;
            node->Bounds.SizeX = f[0];
            node->Bounds.Height = f[1];
            node->Bounds.SizeY = f[2];
            node->Bounds.Position = D3DXVECTOR3(f[3], f[4], f[5]);
            node->Bounds.Rotation = D3DXQUATERNION(0, 0, 0, 1);
            node->Bounds.Mass = f[6];
        } else if (word == "box") {
            if (n != 6) return Fail("box takes cx cy cz hx hy hz");
            if (!Floats(w, 1, 6, f)) return false;
            node->Boxes.push_back({D3DXVECTOR3(f[0], f[1], f[2]), D3DXVECTOR3(f[3], f[4], f[5])});
        } else if (word == "shape") {
            if (n != 9 && n != 13) return Fail("shape takes a kind, 8 numbers and an optional quaternion");
            MeshFile::Shape shape;
            if (w[1] == "box") shape.Kind = 0;
            else if (w[1] == "cylinder") shape.Kind = 1;
            else if (!TextToInt(w[1], shape.Kind)) return Fail("unknown shape kind " + w[1]);
            if (!Floats(w, 2, n - 1, f)) return false;
            shape.SizeX = f[0];
            shape.Height = f[1];
            shape.SizeY = f[2];
            shape.Position = D3DXVECTOR3(f[3], f[4], f[5]);
            shape.Diameter = f[6];
            shape.Mass = f[7];
            shape.Rotation = n == 13 ? D3DXQUATERNION(f[8], f[9], f[10], f[11]) : D3DXQUATERNION(0, 0, 0, 1);
            node->Shapes.push_back(shape);
        } else if (word == "vertex") {
            if ((n != 3 && n != 6 && n != 8)) return Fail("vertex takes 3, 6 or 8 numbers");
            if (!Floats(w, 1, n, f)) return false;
            if (node->Vertices.size() >= MaxVertices) return Fail("more vertices than 16-bit indices reach");
            CPVertex v;
            v.Position = D3DXVECTOR3(f[0], f[1], f[2]);
            v.Normal = n >= 6 ? D3DXVECTOR3(f[3], f[4], f[5]) : D3DXVECTOR3(0, 0, 1);
            v.Diffuse = 0xFFFFFFFF;
            if (n == 8) {
                v.U = f[6];
                v.V = f[7];
            }
            node->Vertices.push_back(v);
        } else if (word == "triangle") {
            if (n != 3) return Fail("triangle takes three indices");
            for (size_t k = 1; k <= 3; ++k) {
                int32_t index = 0;
                if (!TextToInt(w[k], index) || index < 0 || static_cast<size_t>(index) >= node->Vertices.size()) {
                    return Fail("no vertex " + w[k]);
                }
                node->Indices.push_back(static_cast<uint16_t>(index));
            }
        } else if (word == "cube") {
            if ((n != 3 && n != 6)) return Fail("cube takes sx sy sz [x y z]");
            if (!Floats(w, 1, n, f)) return false;
            if (n == 3) f[3] = f[4] = f[5] = 0.0f;
            AddCube(*node, D3DXVECTOR3(f[0] / 2, f[1] / 2, f[2] / 2), D3DXVECTOR3(f[3], f[4], f[5]));
            if (node->Vertices.size() > MaxVertices) return Fail("more vertices than 16-bit indices reach");
        } else if (word == "frames") {
            if (n != 3) return Fail("frames takes rate count dz");
            if (!Floats(w, 1, 3, f)) return false;
            if (Out.Kind != MeshFile::Kind::Animated) return Fail("frames belong to animated files");
            if (node->KeyFrames >= 0) return Fail("the node has its frames already");
            // What the game's key-frame reader plays: one frame or more, a positive frame length.
            int32_t count = 0;
            if (!TextToInt(w[2], count) || count < 1) return Fail("frames take a whole count of 1 or more");
            const float frameTime = f[0] * KeyFrameBlock::SecondsPerRateUnit;
            if (!(frameTime > 0.0f) || !std::isfinite(frameTime)) return Fail("frames take a positive rate");
            const size_t frameBytes = 8 + node->Vertices.size() * sizeof(CPVertex) + node->Indices.size() * 2;
            if (frameBytes * static_cast<size_t>(count) > MaxKeyFrameBytes) return Fail("frames larger than 256 MB");
            node->KeyFrames = static_cast<int32_t>(Out.KeyFrames.size());
            Out.KeyFrames.push_back(Frames(*node, f[0], count, f[2]));
        } else {
            return Fail("unknown statement " + word);
        }
        return true;
    }

    static void AddCube(MeshFile::Node& node, const D3DXVECTOR3& half, const D3DXVECTOR3& centre) {
        // Per face: normal, and two axes spanning it.
        const float faces[6][9] = {{1, 0, 0, 0, 1, 0, 0, 0, 1},  {-1, 0, 0, 0, -1, 0, 0, 0, 1},
                                   {0, 1, 0, -1, 0, 0, 0, 0, 1}, {0, -1, 0, 1, 0, 0, 0, 0, 1},
                                   {0, 0, 1, 1, 0, 0, 0, 1, 0},  {0, 0, -1, -1, 0, 0, 0, 1, 0}};
        const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (const auto& face : faces) {
            const auto base = static_cast<uint16_t>(node.Vertices.size());
            for (const auto& corner : corners) {
                CPVertex v;
                const float x = face[0] + corner[0] * face[3] + corner[1] * face[6];
                const float y = face[1] + corner[0] * face[4] + corner[1] * face[7];
                const float z = face[2] + corner[0] * face[5] + corner[1] * face[8];
                v.Position = D3DXVECTOR3(centre.x + x * half.x, centre.y + y * half.y, centre.z + z * half.z);
                v.Normal = D3DXVECTOR3(face[0], face[1], face[2]);
                v.Diffuse = 0xFFFFFFFF;
                v.U = (corner[0] + 1) / 2;
                v.V = (1 - corner[1]) / 2;
                node.Vertices.push_back(v);
            }
            for (uint16_t k : {0, 1, 2, 0, 2, 3}) node.Indices.push_back(static_cast<uint16_t>(base + k));
        }
    }

    static std::vector<uint8_t> Frames(const MeshFile::Node& node, float rate, int count, float dz) {
        std::vector<uint8_t> out;
        // Grown and copied into, as MeshFile's writer does (GCC 12 warns falsely on the insert).
        const auto put = [&out](const void* data, size_t n) {
            if (n == 0) return;  // data may be null then
            const size_t at = out.size();
            out.resize(at + n);
            std::memcpy(out.data() + at, data, n);
        };
        const int32_t frames = count;
        put(&frames, 4);
        put(&rate, 4);
        for (int k = 0; k < count; ++k) {
            std::vector<CPVertex> vertices = node.Vertices;
            for (CPVertex& v : vertices) v.Position.z += static_cast<float>(k) * dz;
            const auto vertexCount = static_cast<int32_t>(vertices.size());
            const auto indexCount = static_cast<int32_t>(node.Indices.size());
            put(&vertexCount, 4);
            put(vertices.data(), vertices.size() * sizeof(CPVertex));
            put(&indexCount, 4);
            put(node.Indices.data(), node.Indices.size() * 2);
        }
        return out;
    }
};

}  // namespace

bool Parse(const std::string& text, Result& out, std::string& error) {
    out = Result();
    // Adding a node may move its siblings, so the open nodes are kept as paths of child
    // indices and their pointers found anew for every statement.
    Parser parser{out, error, 0, 0, {}};
    std::istringstream lines(text);
    std::string line;
    std::vector<std::vector<size_t>> paths;  // path of the open nodes
    while (std::getline(lines, line)) {
        ++parser.Line;
        const size_t comment = line.find('#');
        if (comment != std::string::npos) line.resize(comment);
        std::istringstream wordStream(line);
        std::vector<std::string> words;
        for (std::string word; wordStream >> word;) words.push_back(word);
        if (words.empty()) continue;
        if (parser.FirstLine == 0) parser.FirstLine = parser.Line;
        // Re-point the open nodes (pushing children moves their siblings).
        parser.Open.clear();
        for (const std::vector<size_t>& path : paths) {
            MeshFile::Node* node = &out.File.Nodes[path[0]];
            for (size_t k = 1; k < path.size(); ++k) node = &node->Children[path[k]];
            parser.Open.push_back(node);
        }
        const bool opening = words[0] == "node";
        const bool closing = words[0] == "end";
        if (!parser.Statement(words)) return false;
        if (opening) {
            std::vector<size_t> path = paths.empty() ? std::vector<size_t>() : paths.back();
            const size_t index = paths.empty() ? out.File.Nodes.size() - 1
                                               : parser.Open[parser.Open.size() - 2]->Children.size() - 1;
            path.push_back(index);
            paths.push_back(path);
        } else if (closing) {
            paths.pop_back();
        }
    }
    if (!paths.empty()) {
        error = "node " + parser.Open.back()->Name + " has no end";
        return false;
    }
    if (out.File.Nodes.empty()) {
        error = "no node";
        return false;
    }
    if (out.Kind == MeshFile::Kind::Animated) {
        bool framed = true;
        std::vector<const MeshFile::Node*> stack{&out.File.Nodes[0]};
        while (!stack.empty()) {
            const MeshFile::Node* node = stack.back();
            stack.pop_back();
            framed = framed && node->KeyFrames >= 0;
            for (const MeshFile::Node& child : node->Children) stack.push_back(&child);
        }
        if (!framed) {
            error = "every node of an animated file needs its frames";
            return false;
        }
    }
    out.File.NodeCount = static_cast<int32_t>(out.File.Nodes.size());
    return true;
}

std::vector<uint8_t> Build(const Result& description) {
    return MeshFile::Write(description.File, description.Kind, description.KeyFrames);
}

}  // namespace MeshText
