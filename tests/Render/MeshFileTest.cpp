// The mesh-file reader: every kind read back from what the writer makes, the tail's matrix
// layout, and damaged files (cut at every byte, counts out of range, names without their zero,
// nesting without end) refused whole.
#include "Render/MeshFile.h"

#include "Render/KeyFrameBlock.h"
#include "core/CPFileReader.h"
#include "tests/scene/AnimationBytes.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>

namespace {

using MeshFile::Kind;

CPVertex Vertex(float x, float y, float z) {
    CPVertex v;
    v.Position = D3DXVECTOR3(x, y, z);
    v.Normal = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    v.Diffuse = 0x11223344;
    v.Specular = 0x55667788;
    v.U = x;
    v.V2 = z;
    return v;
}

MeshFile::Node Triangle(const std::string& name) {
    MeshFile::Node node;
    node.Name = name;
    node.Vertices = {Vertex(0, 0, 0), Vertex(1, 0, 0), Vertex(0, 1, 2)};
    node.Indices = {0, 1, 2};
    return node;
}

MeshFile::Shape BoxShape(float x, float y, float z) {
    MeshFile::Shape shape;
    shape.Kind = 0;
    shape.SizeX = 4;
    shape.Height = 2;
    shape.SizeY = 6;
    shape.Position = D3DXVECTOR3(x, y, z);
    shape.Rotation = D3DXQUATERNION(0, 0, 0.6f, 0.8f);
    shape.Diameter = 1.5f;
    shape.Mass = 10;
    return shape;
}

MeshFile::File StaticFile() {
    MeshFile::File file;
    file.Head = 7;
    file.NodeCount = 2;
    MeshFile::Node body = Triangle("body");
    body.Boxes.push_back({D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(4, 5, 6)});
    body.Children.push_back(Triangle("door"));
    file.Nodes = {body, Triangle("roof")};
    file.HasTail = true;
    MeshFile::NamedTransform entry;
    entry.Name = "mount";
    D3DXMatrixTranslation(&entry.Matrix, 1.0f, 2.0f, 3.0f);
    entry.Matrix.m[0][1] = 0.5f;
    file.Tail.push_back(entry);
    return file;
}

MeshFile::File PhysicsFile() {
    MeshFile::File file;
    file.NodeCount = 1;
    MeshFile::Node hull = Triangle("hull");
    hull.Position = D3DXVECTOR3(1, 2, 3);
    hull.Rotation = D3DXQUATERNION(0, 0, 0.6f, 0.8f);
    hull.Body = BoxShape(0, 0, 0);
    hull.Shapes = {BoxShape(0, 0, 0), BoxShape(1, 1, 1)};
    hull.Shapes[1].Kind = 2;
    MeshFile::Node wheel = Triangle("wheel");
    wheel.Shapes = {BoxShape(0, 0, 0)};
    wheel.Shapes[0].Kind = 1;
    hull.Children.push_back(wheel);
    file.Nodes = {hull};
    return file;
}

MeshFile::File AnimatedFile() {
    MeshFile::File file;
    file.NodeCount = 1;
    MeshFile::Node figure;
    figure.Name = "figure";
    figure.KeyFrames = 0;
    figure.Bounds = BoxShape(0, 0, 0);
    figure.Shapes = {BoxShape(0, 0, 0)};
    MeshFile::Node arm;
    arm.Name = "arm";
    arm.KeyFrames = 1;
    figure.Children.push_back(arm);
    file.Nodes = {figure};
    return file;
}

std::vector<std::vector<uint8_t>> Blocks() {
    return {AnimationBytes::KeyFrameBlock(240.0f, AnimationBytes::CountingFrames(2)),
            AnimationBytes::KeyFrameBlock(120.0f, AnimationBytes::CountingFrames(3))};
}

struct Outcome {
    bool Ok = false;
    MeshFile::File File;
    std::string Problem;
};

Outcome ReadBytes(const std::vector<uint8_t>& bytes, Kind kind) {
    Outcome outcome;
    auto reader = AnimationBytes::LoadReader(bytes);
    if (reader == nullptr) {
        ADD_FAILURE() << "no reader";
        return outcome;
    }
    outcome.Ok = MeshFile::Read(*reader, kind, outcome.File, outcome.Problem);
    return outcome;
}

void ExpectSameNode(const MeshFile::Node& read, const MeshFile::Node& written) {
    EXPECT_EQ(read.Name, written.Name);
    ASSERT_EQ(read.Vertices.size(), written.Vertices.size());
    for (size_t k = 0; k < read.Vertices.size(); ++k) {
        EXPECT_EQ(std::memcmp(&read.Vertices[k], &written.Vertices[k], sizeof(CPVertex)), 0);
    }
    EXPECT_EQ(read.Indices, written.Indices);
    ASSERT_EQ(read.Boxes.size(), written.Boxes.size());
    ASSERT_EQ(read.Shapes.size(), written.Shapes.size());
    for (size_t k = 0; k < read.Shapes.size(); ++k) {
        EXPECT_EQ(read.Shapes[k].Kind, written.Shapes[k].Kind);
        EXPECT_EQ(read.Shapes[k].Position, written.Shapes[k].Position);
        EXPECT_EQ(read.Shapes[k].Diameter, written.Shapes[k].Diameter);
        EXPECT_EQ(read.Shapes[k].Mass, written.Shapes[k].Mass);
    }
    ASSERT_EQ(read.Children.size(), written.Children.size());
    for (size_t k = 0; k < read.Children.size(); ++k) ExpectSameNode(read.Children[k], written.Children[k]);
}

TEST(MeshFileTest, EveryKindReadsBackWhatWasWritten) {
    struct Case {
        Kind FileKind;
        MeshFile::File File;
    };
    const Case cases[] = {{Kind::Static, StaticFile()}, {Kind::Physics, PhysicsFile()}, {Kind::Animated, AnimatedFile()}};
    for (const Case& c : cases) {
        const Outcome read = ReadBytes(MeshFile::Write(c.File, c.FileKind, Blocks()), c.FileKind);
        ASSERT_TRUE(read.Ok) << read.Problem;
        ASSERT_EQ(read.File.Nodes.size(), c.File.Nodes.size());
        for (size_t k = 0; k < read.File.Nodes.size(); ++k) ExpectSameNode(read.File.Nodes[k], c.File.Nodes[k]);
    }
}

TEST(MeshFileTest, RecordsKeepTheirFields) {
    const Outcome statics = ReadBytes(MeshFile::Write(StaticFile(), Kind::Static), Kind::Static);
    ASSERT_TRUE(statics.Ok);
    EXPECT_EQ(statics.File.Head, 7);
    EXPECT_EQ(statics.File.NodeCount, 2);
    EXPECT_EQ(statics.File.Nodes[0].Boxes[0].Centre, D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(statics.File.Nodes[0].Boxes[0].HalfExtents, D3DXVECTOR3(4, 5, 6));
    // The tail: floats 0-3 the first column, the fourth column (0, 0, 0, 1).
    ASSERT_TRUE(statics.File.HasTail);
    ASSERT_EQ(statics.File.Tail.size(), 1u);
    const D3DXMATRIX& m = statics.File.Tail[0].Matrix;
    EXPECT_EQ(statics.File.Tail[0].Name, "mount");
    EXPECT_EQ(m.m[3][0], 1.0f);
    EXPECT_EQ(m.m[3][2], 3.0f);
    EXPECT_EQ(m.m[0][1], 0.5f);
    EXPECT_EQ(m.m[3][3], 1.0f);

    const Outcome physics = ReadBytes(MeshFile::Write(PhysicsFile(), Kind::Physics), Kind::Physics);
    ASSERT_TRUE(physics.Ok);
    const MeshFile::Node& hull = physics.File.Nodes[0];
    EXPECT_EQ(hull.Position, D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(hull.Rotation, D3DXQUATERNION(0, 0, 0.6f, 0.8f));
    EXPECT_EQ(hull.Body.SizeX, 4.0f);
    EXPECT_EQ(hull.Body.Height, 2.0f);
    EXPECT_EQ(hull.Body.SizeY, 6.0f);
    EXPECT_EQ(hull.Body.Mass, 10.0f);
    EXPECT_FALSE(physics.File.HasTail);

    const Outcome animated = ReadBytes(MeshFile::Write(AnimatedFile(), Kind::Animated, Blocks()), Kind::Animated);
    ASSERT_TRUE(animated.Ok);
    EXPECT_EQ(animated.File.Nodes[0].KeyFrames, 0);
    EXPECT_EQ(animated.File.Nodes[0].Children[0].KeyFrames, 1);
    EXPECT_EQ(animated.File.Nodes[0].Bounds.Mass, 10.0f);
}

TEST(MeshFileTest, KeyFrameBlocksGoToTheKeyFrameReaderInOrder) {
    const std::vector<uint8_t> bytes = MeshFile::Write(AnimatedFile(), Kind::Animated, Blocks());
    auto reader = AnimationBytes::LoadReader(bytes);
    ASSERT_NE(reader, nullptr);
    std::vector<std::string> names;
    MeshFile::File file;
    std::string problem;
    ASSERT_TRUE(MeshFile::Read(*reader, Kind::Animated, file, problem, [&](CPFileReader& r, const std::string& name) {
        names.push_back(name);
        std::string ignored;
        return KeyFrameBlock::Skip(r, ignored);
    }));
    EXPECT_EQ(names, std::vector<std::string>({"figure", "arm"}));

    // A key-frame reader that refuses refuses the file.
    auto again = AnimationBytes::LoadReader(bytes);
    EXPECT_FALSE(MeshFile::Read(*again, Kind::Animated, file, problem, [](CPFileReader&, const std::string&) {
        return false;
    }));
    EXPECT_NE(problem.find("figure"), std::string::npos);
}

TEST(MeshFileTest, EveryCutIsRefusedOrEndsBeforeTheTail) {
    struct Case {
        Kind FileKind;
        std::vector<uint8_t> Bytes;
        size_t TailStart;  // a cut there leaves a whole file without its tail
    };
    MeshFile::File withoutTail = StaticFile();
    withoutTail.HasTail = false;
    const size_t tailStart = MeshFile::Write(withoutTail, Kind::Static).size();
    const Case cases[] = {{Kind::Static, MeshFile::Write(withoutTail, Kind::Static), SIZE_MAX},
                          {Kind::Static, MeshFile::Write(StaticFile(), Kind::Static), tailStart},
                          {Kind::Physics, MeshFile::Write(PhysicsFile(), Kind::Physics), SIZE_MAX},
                          {Kind::Animated, MeshFile::Write(AnimatedFile(), Kind::Animated, Blocks()), SIZE_MAX}};
    for (const Case& c : cases) {
        for (size_t cut = 0; cut < c.Bytes.size(); ++cut) {
            const std::vector<uint8_t> bytes(c.Bytes.begin(), c.Bytes.begin() + static_cast<std::ptrdiff_t>(cut));
            const Outcome read = ReadBytes(bytes, c.FileKind);
            if (cut == c.TailStart) {
                EXPECT_TRUE(read.Ok && !read.File.HasTail) << read.Problem;
                continue;
            }
            EXPECT_FALSE(read.Ok) << "cut at " << cut;
            EXPECT_FALSE(read.Problem.empty());
            EXPECT_TRUE(read.File.Nodes.empty());
        }
    }
}

// Offsets into a static file of one node with one vertex: head 8, leading int 4, name 260.
constexpr size_t VertexCountAt = 8 + 4 + 260;

std::vector<uint8_t> OneNodeStatic() {
    MeshFile::File file;
    file.NodeCount = 1;
    MeshFile::Node node = Triangle("part");
    node.Vertices.resize(1);
    node.Indices = {0};
    file.Nodes = {node};
    return MeshFile::Write(file, Kind::Static);
}

void Poke(std::vector<uint8_t>& bytes, size_t at, int32_t value) { std::memcpy(&bytes[at], &value, 4); }

TEST(MeshFileTest, CountsOutOfRange) {
    const size_t indexCountAt = VertexCountAt + 4 + 48;
    const size_t boxCountAt = indexCountAt + 4 + 2;
    const size_t childCountAt = boxCountAt + 4;
    struct Case {
        const char* What;
        size_t At;
        int32_t Value;
        bool Ok;
    };
    const Case cases[] = {
        {"node count huge", 4, INT_MAX, false},
        {"node count larger than the records", 4, 2, false},
        // No nodes; the record then reads as a tail of 0 entries (its leading int).
        {"node count negative", 4, -5, true},
        {"vertex count huge", VertexCountAt, INT_MAX, false},
        {"vertex count just too large", VertexCountAt, 200, false},
        {"index count huge", indexCountAt, 0x40000000, false},
        {"box count huge", boxCountAt, 1000000, false},
        {"box count negative", boxCountAt, -1, true},
        {"child count huge", childCountAt, INT_MAX, false},
        {"child count negative", childCountAt, INT_MIN, true},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = OneNodeStatic();
        Poke(bytes, c.At, c.Value);
        const Outcome read = ReadBytes(bytes, Kind::Static);
        EXPECT_EQ(read.Ok, c.Ok) << c.What << ": " << read.Problem;
    }
    // Negative vertex and index counts read as none.
    MeshFile::File empty;
    empty.NodeCount = 1;
    empty.Nodes.resize(1);
    std::vector<uint8_t> bytes = MeshFile::Write(empty, Kind::Static);
    Poke(bytes, VertexCountAt, -1);
    Poke(bytes, VertexCountAt + 4, INT_MIN);
    const Outcome read = ReadBytes(bytes, Kind::Static);
    ASSERT_TRUE(read.Ok) << read.Problem;
    EXPECT_TRUE(read.File.Nodes[0].Vertices.empty());
    EXPECT_TRUE(read.File.Nodes[0].Indices.empty());
}

TEST(MeshFileTest, NamesWithoutTheirZeroAreCut) {
    std::vector<uint8_t> bytes = OneNodeStatic();
    std::memset(&bytes[12], 'A', 260);
    const Outcome read = ReadBytes(bytes, Kind::Static);
    ASSERT_TRUE(read.Ok) << read.Problem;
    EXPECT_EQ(read.File.Nodes[0].Name, std::string(259, 'a'));
}

TEST(MeshFileTest, NestingDeeperThanTheLimitIsRefused) {
    for (int depth : {MeshFile::MaxDepth, MeshFile::MaxDepth + 1}) {
        MeshFile::File file;
        file.NodeCount = 1;
        MeshFile::Node leaf;
        leaf.Name = "n";
        for (int k = 0; k < depth; ++k) {
            MeshFile::Node parent;
            parent.Name = "n";
            parent.Children.push_back(std::move(leaf));
            leaf = std::move(parent);
        }
        file.Nodes.push_back(std::move(leaf));
        const Outcome read = ReadBytes(MeshFile::Write(file, Kind::Static), Kind::Static);
        EXPECT_EQ(read.Ok, depth <= MeshFile::MaxDepth) << depth;
    }
}

TEST(MeshFileTest, KindOfName) {
    EXPECT_EQ(MeshFile::KindOfName("car.p3d"), Kind::Physics);
    EXPECT_EQ(MeshFile::KindOfName("CAR.P3D"), Kind::Physics);
    EXPECT_EQ(MeshFile::KindOfName("car.pD3"), Kind::Static);
    EXPECT_EQ(MeshFile::KindOfName("box.msh"), Kind::Static);
    EXPECT_EQ(MeshFile::KindOfName("3d"), Kind::Static);
    EXPECT_EQ(MeshFile::KindOfName(""), Kind::Static);
}

}  // namespace
