// The sample game folder loaded end to end: a textured box, a car-like physics tree with its
// level-of-detail object, sprite, light and particle system, and an animated figure made of
// two animated files; a description loaded twice shares its materials and mesh buffers.
#include "Render/CPAnimatedObject.h"
#include "Render/CPAnimation.h"
#include "Render/CPMaterial.h"
#include "Render/CPRenderObject.h"
#include "Render/CPSprite.h"
#include "Render/CPTexture.h"
#include "Render/CPTextureBlock.h"
#include "scene/CPLight.h"
#include "scene/CPPhysicData.h"
#include "scene/CPParticleSystem.h"
#include "tests/Render/SceneLoaderFixture.h"

#include <gtest/gtest.h>

namespace {

using SceneLoaderFixtures::SceneLoaderTest;

CPRenderObject* MeshOf(CPGameObject* node) { return dynamic_cast<CPRenderObject*>(node->RenderObject.Get()); }

std::vector<std::string> ChildNames(const CPGameObject* node) {
    std::vector<std::string> names;
    for (const auto& child : node->Children) names.push_back(child->Name);
    return names;
}

void ExpectNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    EXPECT_NEAR(a.x, b.x, 1e-5f);
    EXPECT_NEAR(a.y, b.y, 1e-5f);
    EXPECT_NEAR(a.z, b.z, 1e-5f);
}

TEST_F(SceneLoaderTest, TexturedBox) {
    loader.DefaultVertexColour = 0xFF808080;
    CPGameObject* box = Load("box.rdf");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->Name, "box");
    EXPECT_EQ(box->SourceName, "box.rdf");
    EXPECT_EQ(box->RenderKind, CPGameObject::RenderMesh);
    CPRenderObject* mesh = MeshOf(box);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->Vertices.size(), 24u);
    EXPECT_EQ(mesh->Indices.size(), 36u);
    EXPECT_EQ(mesh->WorldVertices.size(), 24u);
    for (const CPVertex& v : mesh->Vertices) EXPECT_EQ(v.Diffuse, 0xFF808080u);
    ASSERT_NE(mesh->Material, nullptr);
    EXPECT_EQ(mesh->Material->Effect->Name, "plain.fx");
    ASSERT_EQ(mesh->Material->Block->Textures.size(), 1u);
    EXPECT_EQ(mesh->Material->Block->Textures[0]->Name, "box.tga");
    // Unchanging geometry lives in shared device buffers named by mesh file and node.
    EXPECT_TRUE(mesh->Excluded);
    EXPECT_EQ(mesh->MeshBufferName, "data\\meshes\\box.mshbox");
    ASSERT_NE(mesh->MeshBuffers, nullptr);
    ASSERT_EQ(box->CollisionBoxes.size(), 1u);
    box->UpdateTransform();
    ExpectNear(box->CollisionBounds.Min, D3DXVECTOR3(-1, -1, -1));
    ExpectNear(box->CollisionBounds.Max, D3DXVECTOR3(1, 1, 1));
    ASSERT_EQ(box->LodLevels.size(), 1u);
    EXPECT_EQ(box->LodLevels[0].first.Get(), box);
    EXPECT_FALSE(loader.ShadowTexturesOn);
}

TEST_F(SceneLoaderTest, CarTree) {
    CPGameObject* car = Load("car.rdf");
    ASSERT_NE(car, nullptr);
    EXPECT_EQ(car->Name, "body");
    EXPECT_EQ(ChildNames(car),
              std::vector<std::string>({"w0", "w1", "w2", "w3", "headlight", "lamp", "exhaust"}));

    // Placement: the stored quaternion's conjugate.
    ExpectNear(car->Position, D3DXVECTOR3(0, 0, 0.5f));
    EXPECT_EQ(car->Orientation.w, 1.0f);
    const CPGameObject* w1 = car->GetChild("w1").Get();
    ExpectNear(w1->Position, D3DXVECTOR3(1.3f, -0.9f, 0));
    car->UpdateTransform();
    EXPECT_NEAR(w1->WorldMatrix.m[3][2], 0.5f, 1e-6f);

    // Physics: main shape (height, size x, size y), a box and a cylinder record.
    ASSERT_NE(car->Physics, nullptr);
    ExpectNear(car->Physics->MainShape.Size, D3DXVECTOR3(1.2f, 4, 2));
    ASSERT_EQ(car->Physics->Shapes.size(), 2u);
    const CPPhysicShape& hull = car->Physics->Shapes[0];
    EXPECT_EQ(hull.Kind, CPPhysicShape::KindBox);
    ExpectNear(hull.Position, D3DXVECTOR3(0, 0, 0.5f));
    ExpectNear(hull.Size, D3DXVECTOR3(4, 1, 2));
    const CPPhysicShape& axle = car->Physics->Shapes[1];
    EXPECT_EQ(axle.Kind, CPPhysicShape::KindCylinder);
    ExpectNear(axle.Position, D3DXVECTOR3(0, 0, 1));  // as stored, not raised
    EXPECT_FLOAT_EQ(axle.Diameter, 1.2f);
    EXPECT_FLOAT_EQ(axle.Rotation.z, -0.7071068f);  // handed over conjugated
    EXPECT_FLOAT_EQ(axle.Rotation.w, 0.7071068f);
    for (const char* wheel : {"w0", "w1", "w2", "w3"}) {
        CPGameObject* node = car->GetChild(wheel).Get();
        ASSERT_NE(node->Physics, nullptr) << wheel;
        EXPECT_EQ(node->Physics->Shapes.size(), 1u);
        EXPECT_TRUE(node->CollisionBoxes.empty());  // cylinders make no collision box
    }

    // Bounds of a physics node enclose its vertices; the hull box is the one collision box.
    ExpectNear(car->Box.Centre, D3DXVECTOR3(0, 0, 0.5f));
    ExpectNear(car->Box.HalfExtents, D3DXVECTOR3(2, 1, 0.5f));
    ASSERT_EQ(car->CollisionBoxes.size(), 1u);
    ExpectNear(car->CollisionBoxes[0].HalfExtents, D3DXVECTOR3(2, 1, 0.5f));
    EXPECT_NEAR(car->CollisionBoxes[0].Local.m[3][2], 0.5f, 1e-6f);
    ExpectNear(car->CollisionBounds.Min, D3DXVECTOR3(-2, -1, 0.5f));
    ExpectNear(car->CollisionBounds.Max, D3DXVECTOR3(2, 1, 1.5f));

    // Materials: the wheels share theirs; the body's type is its section's.
    CPMaterial* wheelMaterial = MeshOf(car->GetChild("w0").Get())->Material.Get();
    ASSERT_NE(wheelMaterial, nullptr);
    for (const char* wheel : {"w1", "w2", "w3"}) EXPECT_EQ(MeshOf(car->GetChild(wheel).Get())->Material.Get(), wheelMaterial);
    EXPECT_EQ(MeshOf(car)->Material->Type, 2);
    EXPECT_NE(MeshOf(car)->Material.Get(), wheelMaterial);
    EXPECT_EQ(car->ShadowMaterial.Get(), render->GetShadowMaterial().Get());

    // Level of detail: the root, the far object, an empty entry.
    ASSERT_EQ(car->LodLevels.size(), 3u);
    EXPECT_EQ(car->LodLevels[0].first.Get(), car);
    ASSERT_NE(car->LodLevels[1].first, nullptr);
    EXPECT_EQ(car->LodLevels[1].first->Name, "car_far");
    EXPECT_EQ(car->LodLevels[1].second, 150);
    EXPECT_EQ(car->LodLevels[2].first, nullptr);
    EXPECT_EQ(car->LodLevels[2].second, 400);

    // The sprite, the light and the particle system.
    CPGameObject* headlight = car->GetChild("headlight").Get();
    EXPECT_EQ(headlight->RenderKind, CPGameObject::RenderSprite);
    auto* sprite = dynamic_cast<CPSprite*>(headlight->RenderObject.Get());
    ASSERT_NE(sprite, nullptr);
    EXPECT_FLOAT_EQ(sprite->Size, 0.3f);
    EXPECT_FLOAT_EQ(sprite->Cone, 0.8f);
    EXPECT_EQ(sprite->Owner, headlight);
    EXPECT_FALSE(headlight->Static);
    EXPECT_FALSE(headlight->CastShadow);
    ASSERT_NE(sprite->Material, nullptr);
    EXPECT_EQ(sprite->Material->Effect->Name, "glow.fx");

    CPGameObject* lamp = car->GetChild("lamp").Get();
    EXPECT_EQ(lamp->RenderKind, CPGameObject::RenderLight);
    auto* light = dynamic_cast<CPLight*>(lamp->RenderObject.Get());
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->Light.Type, D3DLIGHT_POINT);
    EXPECT_FLOAT_EQ(light->Light.Diffuse.g, 0.9f);
    EXPECT_FLOAT_EQ(light->Light.Ambient.b, 0.6f);
    EXPECT_EQ(light->Light.Specular.a, 0.0f);
    EXPECT_FLOAT_EQ(light->Light.Attenuation1, 0.05f);
    EXPECT_EQ(light->Light.Range, 25.0f);
    ExpectNear(lamp->Box.HalfExtents, D3DXVECTOR3(25, 25, 25));
    ExpectNear(lamp->Position, D3DXVECTOR3(2, 0, 0.8f));
    EXPECT_TRUE(lamp->Static);

    CPGameObject* exhaust = car->GetChild("exhaust").Get();
    EXPECT_EQ(exhaust->RenderKind, CPGameObject::RenderParticleTask);
    auto* smoke = dynamic_cast<CPParticleSystem*>(exhaust->RenderObject.Get());
    ASSERT_NE(smoke, nullptr);
    EXPECT_FLOAT_EQ(smoke->Period, 0.25f);
    EXPECT_EQ(smoke->EmitterNames, std::vector<std::string>({"smoke"}));
    EXPECT_EQ(smoke->Owner, exhaust);

    // Line data and the XML description.
    ASSERT_EQ(car->LineKeyPoints.size(), 2u);
    ExpectNear(car->LineKeyPoints[1], D3DXVECTOR3(10, 0, 0));
    EXPECT_EQ(car->LineColor, 0xFF20C040u);
    EXPECT_EQ(car->DescriptionName, "car.xml");
    ASSERT_NE(car->XmlDocument.RootElement(), nullptr);
    EXPECT_STREQ(car->XmlDocument.RootElement()->Value(), "car");
}

TEST_F(SceneLoaderTest, AnimatedFigure) {
    CPGameObject* figure = Load("figure.rdf");
    ASSERT_NE(figure, nullptr);
    EXPECT_EQ(figure->Name, "figure");
    EXPECT_EQ(figure->SourceName, "figure.rdf");
    EXPECT_EQ(figure->RenderKind, CPGameObject::RenderAnimatedMesh);
    CPGameObject* head = figure->GetChild("head").Get();
    ASSERT_NE(head, nullptr);
    for (CPGameObject* node : {figure, head}) {
        auto* animated = dynamic_cast<CPAnimatedObject*>(node->RenderObject.Get());
        ASSERT_NE(animated, nullptr);
        ASSERT_EQ(animated->Animations.size(), 2u) << node->Name;
        EXPECT_EQ(animated->Animations.at("walk")->FrameCount, 4);
        EXPECT_EQ(animated->Animations.at("run")->FrameCount, 6);
        EXPECT_EQ(animated->Current, animated->Animations.at("walk"));
        EXPECT_EQ(animated->Owner, node);
        ASSERT_NE(animated->Material, nullptr);
    }
    // Keyed by the node's name: the root record of figure_run.msh is called "runner".
    EXPECT_EQ(animations->Animations.count("figure&figure_walk.msh"), 1u);
    EXPECT_EQ(animations->Animations.count("figure&figure_run.msh"), 1u);
    EXPECT_EQ(animations->Animations.count("runner&figure_run.msh"), 0u);
    EXPECT_EQ(animations->Animations.count("head&figure_run.msh"), 1u);
    // A body with mass gets physics; the head has none and its bounds come from its frames.
    ASSERT_NE(figure->Physics, nullptr);
    EXPECT_EQ(head->Physics, nullptr);
    ExpectNear(figure->Box.HalfExtents, D3DXVECTOR3(0.3f, 0.2f, 0.9f));
    EXPECT_NEAR(figure->Box.Local.m[3][2], 0.9f, 1e-6f);
    const CPBox& frames = dynamic_cast<CPAnimatedObject*>(head->RenderObject.Get())->Animations.at("walk")->Bounds;
    ExpectNear(head->Box.HalfExtents, frames.HalfExtents);
    ASSERT_EQ(figure->CollisionBoxes.size(), 1u);
    // The sprite hangs at the head; the level of detail is the box.
    ASSERT_EQ(ChildNames(head), std::vector<std::string>({"halo"}));
    EXPECT_NE(head->GetChild("halo")->Box.HalfExtents.x, 0.0f);
    ASSERT_EQ(figure->LodLevels.size(), 2u);
    EXPECT_EQ(figure->LodLevels[1].first->Name, "box");
    EXPECT_EQ(figure->LodLevels[1].second, 80);
}

TEST_F(SceneLoaderTest, RecordsBecomeBoxesAndPhysics) {
    // A static collision box keeps its centre and half extents.
    MeshFile::File statics;
    statics.NodeCount = 1;
    statics.Nodes.resize(1);
    statics.Nodes[0].Name = "Crate";
    statics.Nodes[0].Boxes.push_back({D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(4, 5, 6)});
    WriteMesh("crate.msh", statics, MeshFile::Kind::Static);
    WriteText("Data/Meshes/crate.rdf", "mesh = crate.msh\n");
    CPGameObject* crate = Load("crate.rdf");
    ASSERT_NE(crate, nullptr);
    EXPECT_EQ(crate->Name, "crate");
    EXPECT_EQ(crate->Physics, nullptr);
    EXPECT_TRUE(MeshOf(crate)->Vertices.empty());
    crate->UpdateTransform();
    ExpectNear(crate->CollisionBounds.Min, D3DXVECTOR3(-3, -3, -3));
    ExpectNear(crate->CollisionBounds.Max, D3DXVECTOR3(5, 7, 9));

    // A physics node without vertices: a box record, a record of kind 2 skipped, a cylinder.
    MeshFile::Shape box;
    box.SizeX = 4;
    box.Height = 2;
    box.SizeY = 6;
    box.Rotation = D3DXQUATERNION(0, 0, 0, 1);
    box.Diameter = 3;
    box.Mass = 5;
    MeshFile::Shape skipped = box;
    skipped.Kind = 2;
    MeshFile::Shape cylinder = box;
    cylinder.Kind = 1;
    MeshFile::File physics;
    physics.NodeCount = 1;
    physics.Nodes.resize(1);
    physics.Nodes[0].Name = "post";
    physics.Nodes[0].Rotation = D3DXQUATERNION(0, 0, 0, 1);
    physics.Nodes[0].Shapes = {box, skipped, cylinder};
    WriteMesh("post.P3D", physics, MeshFile::Kind::Physics);
    WriteText("Data/Meshes/post.rdf", "mesh = post.P3D\n");
    CPGameObject* post = Load("post.rdf");
    ASSERT_NE(post, nullptr);
    ASSERT_NE(post->Physics, nullptr);
    ASSERT_EQ(post->Physics->Shapes.size(), 2u);
    ExpectNear(post->Physics->Shapes[0].Position, D3DXVECTOR3(0, 0, 1));
    ExpectNear(post->Physics->Shapes[0].Size, D3DXVECTOR3(4, 2, 6));
    EXPECT_EQ(post->Physics->Shapes[1].Kind, CPPhysicShape::KindCylinder);
    ExpectNear(post->Physics->Shapes[1].Position, D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(post->Physics->Shapes[1].Diameter, 3.0f);
    EXPECT_EQ(post->Physics->Shapes[1].Size.y, 2.0f);
    ASSERT_EQ(post->CollisionBoxes.size(), 1u);
    ExpectNear(post->CollisionBoxes[0].HalfExtents, D3DXVECTOR3(2, 3, 1));
    EXPECT_EQ(post->CollisionBoxes[0].Local.m[3][2], 1.0f);
    // No vertices: a zero box at the node's origin.
    ExpectNear(post->Box.Centre, D3DXVECTOR3(0, 0, 0));
    ExpectNear(post->Box.HalfExtents, D3DXVECTOR3(0, 0, 0));
}

TEST_F(SceneLoaderTest, LoadedTwiceSharesMaterialsBuffersAndAnimations) {
    CPGameObject* first = Load("car.rdf");
    CPGameObject* second = Load("car.rdf");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(first, second);
    EXPECT_EQ(MeshOf(first)->Material, MeshOf(second)->Material);
    EXPECT_EQ(MeshOf(first)->MeshBuffers, MeshOf(second)->MeshBuffers);
    EXPECT_NE(MeshOf(first), MeshOf(second));
    EXPECT_EQ(MeshOf(first->GetChild("w2").Get())->MeshBuffers, MeshOf(second->GetChild("w2").Get())->MeshBuffers);
    CPGameObject* figure = Load("figure.rdf");
    CPGameObject* again = Load("figure.rdf");
    EXPECT_EQ(dynamic_cast<CPAnimatedObject*>(figure->RenderObject.Get())->Animations.at("run"),
              dynamic_cast<CPAnimatedObject*>(again->RenderObject.Get())->Animations.at("run"));
    for (const CPLogReport& report : reports) ADD_FAILURE() << report.Text;
}

TEST_F(SceneLoaderTest, TypeBaseReachesEverySectionAndNestedLoads) {
    CPGameObject* car = Load("car.rdf", 20);
    ASSERT_NE(car, nullptr);
    EXPECT_EQ(MeshOf(car)->Material->Type, 22);
    EXPECT_EQ(MeshOf(car->LodLevels[1].first.Get())->Material->Type, 20);
}

}  // namespace
