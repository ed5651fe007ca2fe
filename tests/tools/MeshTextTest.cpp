// The mesh text description: what meshbuild makes reads back through the engine's mesh
// reader, and faulty descriptions name their line.
#include "Render/MeshFile.h"
#include "tests/scene/AnimationBytes.h"
#include "tools/MeshText.h"

#include <gtest/gtest.h>

namespace {

MeshFile::File ReadBack(const MeshText::Result& description) {
    auto reader = AnimationBytes::LoadReader(MeshText::Build(description));
    MeshFile::File file;
    std::string problem;
    EXPECT_NE(reader, nullptr);
    if (reader != nullptr) {
        EXPECT_TRUE(MeshFile::Read(*reader, description.Kind, file, problem)) << problem;
    }
    return file;
}

TEST(MeshTextTest, DescriptionsBecomeReadableFiles) {
    MeshText::Result result;
    std::string error;
    ASSERT_TRUE(MeshText::Parse("mesh physics  # a car\n"
                                "node body\n"
                                "  position 1 2 3\n"
                                "  body 4 1 2 100\n"
                                "  cube 2 2 2\n"
                                "  shape cylinder 0 1 0 0 0 0 0.5 10 0 0 1 0\n"
                                "  node wheel\n"
                                "    vertex 0 0 0\n"
                                "    vertex 1 0 0 0 0 1 1 0\n"
                                "    vertex 0 1 0\n"
                                "    triangle 0 1 2\n"
                                "  end\n"
                                "  node door\n"
                                "  end\n"
                                "end\n"
                                "transform mount 1 0 0 5 0 1 0 6 0 0 1 7\n",
                                result, error))
        << error;
    const MeshFile::File file = ReadBack(result);
    ASSERT_EQ(file.Nodes.size(), 1u);
    const MeshFile::Node& body = file.Nodes[0];
    EXPECT_EQ(body.Position, D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(body.Body.Mass, 100.0f);
    EXPECT_EQ(body.Vertices.size(), 24u);
    EXPECT_EQ(body.Indices.size(), 36u);
    ASSERT_EQ(body.Shapes.size(), 1u);
    EXPECT_EQ(body.Shapes[0].Kind, 1);
    EXPECT_EQ(body.Shapes[0].Rotation.z, 1.0f);
    ASSERT_EQ(body.Children.size(), 2u);
    EXPECT_EQ(body.Children[0].Indices, std::vector<uint16_t>({0, 1, 2}));
    EXPECT_EQ(body.Children[0].Vertices[1].U, 1.0f);
    EXPECT_EQ(body.Children[1].Name, "door");
    ASSERT_EQ(file.Tail.size(), 1u);
    EXPECT_EQ(file.Tail[0].Matrix.m[3][1], 6.0f);
}

TEST(MeshTextTest, AnimatedFilesCarryTheirFrames) {
    MeshText::Result result;
    std::string error;
    ASSERT_TRUE(MeshText::Parse("mesh animated\nnode figure\n cube 1 1 1\n frames 240 3 0.5\n node head\n"
                                "  cube 1 1 1\n  frames 240 3 0\n end\nend\n",
                                result, error))
        << error;
    ASSERT_EQ(result.KeyFrames.size(), 2u);
    const MeshFile::File file = ReadBack(result);
    EXPECT_EQ(file.Nodes[0].KeyFrames, 0);
    EXPECT_EQ(file.Nodes[0].Children[0].KeyFrames, 1);
}

TEST(MeshTextTest, FaultsNameTheirLine) {
    struct Case {
        const char* Text;
        const char* Error;
    };
    const Case cases[] = {
        {"mesh round\n", "line 1: unknown mesh kind round"},
        {"mesh static\nnode a\n  vertex 0 x 0\nend\n", "line 3: not a number: x"},
        {"mesh static\nnode a\n  triangle 0 1 2\nend\n", "line 3: no vertex 0"},
        {"mesh static\nvertex 0 0 0\n", "line 2: vertex outside a node"},
        {"mesh static\nnode a\n", "node a has no end"},
        {"mesh static\n", "no node"},
        {"mesh animated\nnode a\nend\n", "every node of an animated file needs its frames"},
        {"mesh animated\nnode a\nframes 1 1 0\nend\nnode b\n", "line 5: an animated file has one top node"},
        {"mesh static\nnode a\nframes 1 1 0\nend\n", "line 3: frames belong to animated files"},
        {"mesh static\nnode a\nwobble\nend\n", "line 3: unknown statement wobble"},
        // Frames the game's key-frame reader would refuse, or too many to hold.
        // The kind is set once, before anything it governs; an animated file has no tail.
        {"mesh static\nnode a\nend\nnode b\nend\nmesh animated\n", "line 6: mesh comes first, once"},
        {"mesh animated\ntransform t 1 0 0 0 0 1 0 0 0 0 1 0\n", "line 2: transform belongs to static and physics files"},
        {"mesh animated\nnode a\nframes 240 0 0\nend\n", "line 3: frames take a whole count of 1 or more"},
        {"mesh animated\nnode a\nframes 240 -2 0\nend\n", "line 3: frames take a whole count of 1 or more"},
        {"mesh animated\nnode a\nframes 240 0.5 0\nend\n", "line 3: frames take a whole count of 1 or more"},
        {"mesh animated\nnode a\nframes 0 1 0\nend\n", "line 3: frames take a positive rate"},
        {"mesh animated\nnode a\nframes 1e-45 1 0\nend\n", "line 3: frames take a positive rate"},
        {"mesh animated\nnode a\nframes -240 1 0\nend\n", "line 3: frames take a positive rate"},
        {"mesh animated\nnode a\ncube 1 1 1\nframes 240 2000000 0\nend\n", "line 4: frames larger than 256 MB"},
    };
    for (const Case& c : cases) {
        MeshText::Result result;
        std::string error;
        EXPECT_FALSE(MeshText::Parse(c.Text, result, error)) << c.Text;
        EXPECT_EQ(error, c.Error) << c.Text;
    }
}

// Nesting and vertex counts up to what the mesh reader and 16-bit indices take, and one more.
TEST(MeshTextTest, NestingAndVerticesStopAtTheReadersLimits) {
    const auto nested = [](int depth) {
        std::string text = "mesh static\n";
        for (int k = 0; k <= depth; ++k) text += "node n" + std::to_string(k) + "\n";
        for (int k = 0; k <= depth; ++k) text += "end\n";
        return text;
    };
    const auto vertices = [](int count) {
        std::string text = "mesh static\nnode a\n";
        for (int k = 0; k < count; ++k) text += "vertex 0 0 0\n";
        return text + "end\n";
    };
    MeshText::Result result;
    std::string error;
    ASSERT_TRUE(MeshText::Parse(nested(MeshFile::MaxDepth), result, error)) << error;
    EXPECT_EQ(ReadBack(result).Nodes.size(), 1u);
    EXPECT_FALSE(MeshText::Parse(nested(MeshFile::MaxDepth + 1), result, error));
    EXPECT_EQ(error, "line 67: nodes nest deeper than 64");

    ASSERT_TRUE(MeshText::Parse(vertices(65536), result, error)) << error;
    EXPECT_EQ(ReadBack(result).Nodes[0].Vertices.size(), 65536u);
    EXPECT_FALSE(MeshText::Parse(vertices(65537), result, error));
    EXPECT_EQ(error, "line 65539: more vertices than 16-bit indices reach");
}

}  // namespace
