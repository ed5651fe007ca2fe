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
    if (reader != nullptr) EXPECT_TRUE(MeshFile::Read(*reader, description.Kind, file, problem)) << problem;
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
    };
    for (const Case& c : cases) {
        MeshText::Result result;
        std::string error;
        EXPECT_FALSE(MeshText::Parse(c.Text, result, error)) << c.Text;
        EXPECT_EQ(error, c.Error) << c.Text;
    }
}

}  // namespace
