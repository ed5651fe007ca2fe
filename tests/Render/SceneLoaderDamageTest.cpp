// Damaged and odd descriptions: missing files and the "wrong.rdf" stand-in, mesh files cut at
// every byte or with counts out of range, level-of-detail cycles, further animated files whose
// records match no node, the parent rules of attached objects, and the object forms.
#include "Render/CPAnimatedObject.h"
#include "Render/CPSprite.h"
#include "core/ConfigVars.h"
#include "scene/CPParticleSystem.h"
#include "tests/Render/SceneLoaderFixture.h"
#include "tests/scene/AnimationBytes.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

using SceneLoaderFixtures::SceneLoaderTest;

std::vector<uint8_t> ReadHostFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ChildNames(const CPGameObject* node) {
    std::vector<std::string> names;
    for (const auto& child : node->Children) names.push_back(child->Name);
    return names;
}

TEST_F(SceneLoaderTest, MissingFilesGiveTheStandIn) {
    CPGameObject* missing = Load("nothing.rdf", 3);
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->Name, "wrong");
    EXPECT_EQ(missing->SourceName, "wrong.rdf");
    // A description whose mesh file is missing gives the stand-in and skips its own lists.
    WriteText("Data/Meshes/hollow.rdf", "mesh = gone.msh\nsprite = s, 0, 0, 0, 1,\nlod = box.rdf, 5\n");
    CPGameObject* hollow = Load("hollow.rdf");
    ASSERT_NE(hollow, nullptr);
    EXPECT_EQ(hollow->Name, "wrong");
    EXPECT_TRUE(hollow->Children.empty());
    EXPECT_EQ(hollow->LodLevels.size(), 1u);
    // Without "wrong.rdf" the result is null, once.
    std::filesystem::remove(dir / "Data/Meshes/wrong.rdf");
    HostFiles::ClearCache();
    EXPECT_EQ(Load("nothing.rdf"), nullptr);
    EXPECT_EQ(Reports("wrong.rdf"), 1);
    EXPECT_FALSE(loader.ShadowTexturesOn);
}

TEST_F(SceneLoaderTest, MeshFilesCutAtEveryByte) {
    const std::vector<uint8_t> box = ReadHostFile(dir / "Data/Meshes/box.msh");
    for (size_t cut = 0; cut < box.size(); ++cut) {
        WriteFile("Data/Meshes/box.msh", std::vector<uint8_t>(box.begin(), box.begin() + static_cast<std::ptrdiff_t>(cut)));
        HostFiles::ClearCache();
        reports.clear();
        CPGameObject* root = Load("box.rdf");
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(root->Name, "wrong") << cut;
        EXPECT_EQ(Reports("refused"), 1) << cut;
    }
    // A damaged first animated file is passed over: the next one builds the tree, with the
    // name its own root record carries.
    const std::vector<uint8_t> walk = ReadHostFile(dir / "Data/Meshes/figure_walk.msh");
    for (size_t cut = 0; cut < walk.size(); cut += 13) {
        WriteFile("Data/Meshes/figure_walk.msh",
                  std::vector<uint8_t>(walk.begin(), walk.begin() + static_cast<std::ptrdiff_t>(cut)));
        HostFiles::ClearCache();
        CPGameObject* figure = Load("figure.rdf");
        ASSERT_NE(figure, nullptr);
        ASSERT_EQ(figure->Name, "runner") << cut;
        auto* animated = dynamic_cast<CPAnimatedObject*>(figure->RenderObject.Get());
        ASSERT_NE(animated, nullptr);
        EXPECT_EQ(animated->Animations.size(), 1u) << cut;
        EXPECT_EQ(animated->Animations.count("run"), 1u) << cut;
    }
}

TEST_F(SceneLoaderTest, DescriptionsCutAtEveryByte) {
    const std::vector<uint8_t> car = ReadHostFile(dir / "Data/Meshes/car.rdf");
    for (size_t cut = 0; cut < car.size(); ++cut) {
        WriteFile("Data/Meshes/cut.rdf", std::vector<uint8_t>(car.begin(), car.begin() + static_cast<std::ptrdiff_t>(cut)));
        HostFiles::ClearCache();
        CPGameObject* root = Load("cut.rdf");
        ASSERT_NE(root, nullptr) << cut;
        // Cut inside the head line the mesh file is not found: the stand-in comes.
        EXPECT_EQ(root->Name, cut < std::string("mesh = car.p3d").size() ? "wrong" : "body") << cut;
        EXPECT_FALSE(loader.ShadowTexturesOn);
    }
}

// The object is built either way; a description that cannot be used is said with its file and
// the reason, and its document keeps TinyXML's error for whoever needs the values.
TEST_F(SceneLoaderTest, ADescriptionThatDoesNotLoadIsReportedWithItsFileAndReason) {
    const struct {
        const char* What;
        std::string Text;  // empty with Missing: no file
        bool Missing;
        const char* Reason;
    } cases[] = {
        {"missing", "", true, "cannot be read"},
        {"empty", "", false, "holds no XML"},
        {"a zero byte first", std::string("\0\1<car", 6), false, "holds no XML"},
        {"cut off", "<car><camera distance=\"7\"/", false, "not well-formed XML at row 1, column "},
        {"only a comment", "<!-- car -->", false, "holds no element"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        std::filesystem::remove(dir / "Data/Descriptions/car.xml");
        if (!c.Missing) {
            WriteText("Data/Descriptions/car.xml", c.Text);
        }
        HostFiles::ClearCache();
        reports.clear();
        CPGameObject* root = Load("car.rdf");
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(root->Name, "body");
        EXPECT_EQ(Reports(std::string("Description Data\\Descriptions\\car.xml of car.rdf: ") + c.Reason), 1);
        const TiXmlDocument& document = root->GetDescriptionDocument();
        EXPECT_TRUE(document.Error() || document.RootElement() == nullptr);
    }
}

TEST_F(SceneLoaderTest, CountsOutOfRange) {
    const std::vector<uint8_t> box = ReadHostFile(dir / "Data/Meshes/box.msh");
    const size_t vertexCountAt = 8 + 4 + 260;
    for (int32_t count : {INT_MAX, INT_MIN, 0x7FFFFF, 25}) {
        std::vector<uint8_t> bytes = box;
        std::memcpy(&bytes[vertexCountAt], &count, 4);
        WriteFile("Data/Meshes/box.msh", bytes);
        HostFiles::ClearCache();
        CPGameObject* root = Load("box.rdf");
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(root->Name, "wrong") << count;
    }
}

TEST_F(SceneLoaderTest, LevelOfDetailCyclesStop) {
    WriteText("Data/Meshes/a.rdf", "mesh = box.msh\nlod = b.rdf, 10\nlod = a.rdf, 30\n");
    WriteText("Data/Meshes/b.rdf", "mesh = box.msh\nlod = A.RDF, 20\n");
    CPGameObject* a = Load("a.rdf");
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->LodLevels.size(), 3u);
    CPGameObject* b = a->LodLevels[1].first.Get();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->SourceName, "b.rdf");
    ASSERT_EQ(b->LodLevels.size(), 2u);
    EXPECT_EQ(b->LodLevels[1].first, nullptr);
    EXPECT_EQ(a->LodLevels[2].first, nullptr);
    EXPECT_EQ(Reports("refers back"), 2);
    // A stand-in whose own lists lead to missing files ends too.
    WriteText("Data/Meshes/wrong.rdf", "mesh = wrong.msh\nlod = nowhere.rdf, 10\n");
    CPGameObject* stand = Load("nothing.rdf");
    ASSERT_NE(stand, nullptr);
    ASSERT_EQ(stand->LodLevels.size(), 2u);
    EXPECT_EQ(stand->LodLevels[1].first, nullptr);
}

// An animated record with one triangle per frame.
MeshFile::Node Figure(const std::string& name, int32_t keyFrames) {
    MeshFile::Node node;
    node.Name = name;
    node.Rotation = D3DXQUATERNION(0, 0, 0, 1);
    node.KeyFrames = keyFrames;
    return node;
}

TEST_F(SceneLoaderTest, UnmatchedRecordsOfFurtherFilesAreConsumedWhole) {
    const std::vector<uint8_t> block = AnimationBytes::KeyFrameBlock(240.0f, AnimationBytes::CountingFrames(2));
    MeshFile::File first;
    MeshFile::Node root = Figure("man", 0);
    root.Children = {Figure("head", 1)};
    first.Nodes = {root};
    WriteMesh("man_a.msh", first, MeshFile::Kind::Animated, {block, block});
    MeshFile::File second;
    MeshFile::Node other = Figure("man", 0);
    MeshFile::Node tail = Figure("tail", 1);
    tail.Children = {Figure("tip", 2)};
    tail.Shapes.resize(2);
    other.Children = {tail, Figure("head", 3)};
    second.Nodes = {other};
    WriteMesh("man_b.msh", second, MeshFile::Kind::Animated, {block, block, block, block});
    WriteText("Data/Meshes/man.rdf", "mesh = anim;stand,man_a.msh;wave,man_b.msh\n"
                                     "sprite = lost, 0, 0, 0, 1, tail\nsprite = top, 0, 0, 0, 1, man\n");
    CPGameObject* man = Load("man.rdf");
    ASSERT_NE(man, nullptr);
    CPGameObject* head = man->GetChild("head").Get();
    ASSERT_NE(head, nullptr);
    auto* animated = dynamic_cast<CPAnimatedObject*>(head->RenderObject.Get());
    EXPECT_EQ(animated->Animations.count("wave"), 1u);
    EXPECT_EQ(animated->Animations.count("stand"), 1u);
    // No node was made for the unmatched record; a sprite naming it is dropped (and deleted),
    // one naming the root goes to the root.
    EXPECT_EQ(ChildNames(man), std::vector<std::string>({"head", "top"}));
    EXPECT_EQ(man->LodLevels.size(), 1u);
    EXPECT_EQ(man->Physics, nullptr);
}

TEST_F(SceneLoaderTest, ParentRulesOfAttachedObjects) {
    Cfg::weather = 0;
    WriteText("Data/Meshes/yard.rdf",
              "mesh = car.p3d\n"
              "sprite = s_deep, 0, 0, 0, 1, w1\n"
              "sprite = s_lost, 0, 0, 0, 1, nobody\n"
              "sprite = s_root, 0, 0, 0, 1,\n"
              "sprite = s_facing, 0, 0, 0, 1, , 0, 1, 0,\n"
              "light = l_lost, nobody, x, 0, 0, 0, 1, 1, 1, 0, 5\n"
              "light = l_empty, , x, 0, 0, 0, 1, 1, 1, 0, 5\n"
              "light = l_wheel, w2, x, 0, 0, 0, 1, 1, 1, 0, 5\n"
              "psystem = p_wheel, w3, 0, 0, 0, 0, puff\n"
              "psystem = p_empty, , 0, 0, 0, 1\n"
              "psystem = p_root, body, 0, 0, 0, -2\n"
              "psystem = snow2, body, 0, 0, 0, 1\n"
              "psystem = rain, body, 0, 0, 0, 1\n"
              "linecolor = nothex\n");
    CPGameObject* yard = Load("yard.rdf");
    ASSERT_NE(yard, nullptr);
    EXPECT_EQ(ChildNames(yard),
              std::vector<std::string>({"w0", "w1", "w2", "w3", "s_lost", "s_root", "s_facing", "p_root", "rain"}));
    EXPECT_EQ(ChildNames(yard->GetChild("w1").Get()), std::vector<std::string>({"s_deep"}));
    EXPECT_EQ(ChildNames(yard->GetChild("w2").Get()), std::vector<std::string>({"l_wheel"}));
    EXPECT_EQ(ChildNames(yard->GetChild("w3").Get()), std::vector<std::string>({"p_wheel"}));
    EXPECT_EQ(dynamic_cast<CPSprite*>(yard->GetChild("s_facing")->RenderObject.Get())->Cone, 0.0f);
    // A period of 0 or less keeps the default.
    EXPECT_EQ(dynamic_cast<CPParticleSystem*>(yard->GetChild("p_root")->RenderObject.Get())->Period, 0.5f);
    EXPECT_EQ(dynamic_cast<CPParticleSystem*>(yard->GetChild("w3")->GetChild("p_wheel")->RenderObject.Get())->Period,
              0.5f);
    EXPECT_EQ(yard->LineColor, CPGameObject::DefaultLineColor);
}

TEST_F(SceneLoaderTest, GroupAndNodeCounts) {
    WriteText("Data/Meshes/group.rdf",
              "mesh = empty\nsprite = lamp, 1, 2, 3, 0.5, , 0, 1, 0, 0.3\nlod = box.rdf, 5\nlight = l, , x\n");
    CPGameObject* group = Load("group.rdf");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->Name, "empty");
    EXPECT_EQ(group->RenderKind, CPGameObject::RenderGroup);
    EXPECT_TRUE(group->LodLevels.empty());
    EXPECT_EQ(group->SourceName, "");
    ASSERT_EQ(ChildNames(group), std::vector<std::string>({"lamp"}));
    CPGameObject* lamp = group->GetChild("lamp").Get();
    EXPECT_TRUE(lamp->Static);
    EXPECT_FLOAT_EQ(lamp->Box.HalfExtents.x, 0.5f);

    for (int count : {0, 3}) {
        MeshFile::File file;
        file.NodeCount = count;
        for (int k = 0; k < count; ++k) {
            MeshFile::Node node;
            node.Name = "part" + std::to_string(k);
            file.Nodes.push_back(node);
        }
        WriteMesh("parts.msh", file, MeshFile::Kind::Static);
        WriteText("Data/Meshes/Parts.rdf", "mesh = parts.msh\n");
        CPGameObject* parts = Load("Parts.rdf");
        ASSERT_NE(parts, nullptr);
        EXPECT_EQ(parts->Name, "Parts.rdf");
        EXPECT_EQ(parts->RenderKind, CPGameObject::RenderGroup);
        EXPECT_EQ(parts->Children.size(), static_cast<size_t>(count));
        EXPECT_EQ(parts->SourceName, "Parts.rdf");
    }
}

}  // namespace
