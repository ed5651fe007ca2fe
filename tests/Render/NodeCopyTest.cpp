// Deep copies of node trees: each copy owns its render objects, boxes, part animations,
// children and physics data, shares materials, animation frames and the script task, and
// can be changed without touching the original. XML descriptions load through the data
// files.
#include "Render/CPAnimatedObject.h"
#include "Render/CPAnimation.h"
#include "Render/CPMaterial.h"
#include "Render/CPRenderObject.h"
#include "Render/CPSprite.h"
#include "core/CPScheduler.h"
#include "core/CPScriptTask.h"
#include "scene/CPGameObject.h"
#include "scene/CPLight.h"
#include "scene/CPParticleSystem.h"
#include "scene/CPPickInfo.h"
#include "scene/CPSceneLoader.h"
#include "tests/Render/RenderFixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using RenderFixtures::RenderTest;

CPVertex VertexAt(float x, float y, float z) {
    CPVertex v;
    v.Position = D3DXVECTOR3(x, y, z);
    return v;
}

class NodeCopyTest : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        CPScheduler::Instance = &scheduler;
        material = std::make_unique<CPMaterial>(0, nullptr, nullptr);
        shadow = std::make_unique<CPMaterial>(1, nullptr, nullptr);
        walk = std::make_unique<CPAnimation>("walk");
        BuildCar();
    }
    void TearDown() override {
        scheduler.Tasks.clear();
        if (copy != nullptr) CPSceneLoader::DeleteObject(copy);
        CPSceneLoader::DeleteObject(car);
        walk.reset();
        shadow.reset();
        material.reset();
        CPScheduler::Instance = nullptr;
        RenderTest::TearDown();
    }

    CPGameObject* Add(CPGameObject* parent, const std::string& name, int32_t kind) {
        auto* node = new CPGameObject(name);
        node->RenderKind = kind;
        if (parent != nullptr) parent->AddChild(node);
        return node;
    }

    // A car: a group root with an XML description, physics, an offset collision box and an
    // idle animation; a body mesh with a wheel under it, an animated driver, a lamp sprite, a
    // headlight and a smoke system.
    void BuildCar() {
        car = Add(nullptr, "car", CPGameObject::RenderGroup);
        car->XmlDocument.Parse("<car><engine power=\"100\"/></car>");
        car->Physics = new CPPhysicData(car);
        car->Physics->SetShape(2, 1, 4, 100);
        car->Physics->AddBox(D3DXVECTOR3(0, 0, 0.5f), D3DXQUATERNION(0, 0, 0, 1), 2, 1, 4, 50);
        CPBox hull(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 2, 0.5f));
        D3DXMatrixTranslation(&hull.Local, 0, 0, 1);
        car->CollisionBoxes.push_back(hull);
        car->Collision = false;
        auto* idle = new CPPartAnimation();
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        idle->SetKeys({identity, identity, identity}, {1, 1, 1});
        idle->Target = car;
        car->AddPartAnimation("idle", idle);
        car->SetScriptObject(&script);
        car->FlameType = 2;
        car->SetPosition(D3DXVECTOR3(5, 0, 0));

        body = Add(car, "body", CPGameObject::RenderMesh);
        auto* mesh = new CPRenderObject(body);
        mesh->Vertices = {VertexAt(0, 0, 0), VertexAt(1, 0, 0), VertexAt(0, 1, 0)};
        mesh->Indices = {0, 1, 2};
        mesh->Material = material.get();
        body->RenderObject = mesh;
        body->SetShadowMaterial(shadow.get());
        body->SetFireMaterial(shadow.get());
        CPGameObject* wheel = Add(body, "wheel", CPGameObject::RenderGroup);
        wheel->SetPosition(D3DXVECTOR3(1, 1, 0));
        wheel->CollisionBoxes.push_back(CPBox(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0.3f, 0.3f, 0.3f)));

        CPGameObject* driver = Add(car, "driver", CPGameObject::RenderAnimatedMesh);
        auto* figure = new CPAnimatedObject(driver);
        figure->Material = material.get();
        figure->AddAnimation("walk", walk.get());
        driver->RenderObject = figure;

        CPGameObject* lamp = Add(car, "lamp", CPGameObject::RenderSprite);
        auto* sprite = new CPSprite(0.5f);
        sprite->SetOwner(lamp);
        sprite->SetMaterial(material.get());
        sprite->SetFacing(D3DXVECTOR3(0, 1, 0), 0.4f);
        sprite->Angle = 0.3f;
        sprite->Colour = 0x80808080;
        sprite->AddModifier(CPTextureModifier::Create("movingtex", {"1", "0"}));
        lamp->RenderObject = sprite;

        CPGameObject* headlight = Add(car, "headlight", CPGameObject::RenderLight);
        headlight->SetPosition(D3DXVECTOR3(0, 2, 0));
        auto* light = new CPLight;
        light->SetOwner(headlight);
        light->Light.Type = D3DLIGHT_POINT;
        light->Light.Range = 7.0f;
        headlight->RenderObject = light;

        CPGameObject* smoke = Add(car, "smoke", CPGameObject::RenderParticleTask);
        auto* system = new CPParticleSystem(smoke, {});
        system->Duration = 5.0f;
        smoke->RenderObject = system;

        car->UpdateTransform();
    }

    CPGameObject* MakeCopy() {
        copy = new CPGameObject(car->Name);
        copy->CopyFrom(car);
        return copy;
    }
    template <class T>
    static T* Object(CPGameObject* tree, const std::string& name) {
        CPGameObject* node = tree->FindChild(name).Get();
        return node == nullptr ? nullptr : dynamic_cast<T*>(node->RenderObject.Get());
    }

    CPScheduler scheduler;
    CPScriptTask script;
    std::unique_ptr<CPMaterial> material, shadow;
    std::unique_ptr<CPAnimation> walk;
    CPGameObject* car = nullptr;
    CPGameObject* body = nullptr;
    CPGameObject* copy = nullptr;
};

TEST_F(NodeCopyTest, TheCopyOwnsItsChildrenAndNameLookups) {
    MakeCopy();
    EXPECT_EQ(copy->Name, "car");
    std::vector<CPtr<CPGameObject>> original, copied;
    car->CollectTree(original);
    copy->CollectTree(copied);
    ASSERT_EQ(copied.size(), original.size());
    for (size_t i = 0; i < copied.size(); ++i) {
        EXPECT_NE(copied[i], original[i]);
        EXPECT_EQ(copied[i]->Name, original[i]->Name);
        EXPECT_EQ(copied[i]->RenderKind, original[i]->RenderKind);
        if (i > 0) {
            EXPECT_NE(copied[i]->Parent, nullptr);
        }
    }
    CPGameObject* copiedBody = copy->FindChild("body").Get();
    EXPECT_EQ(copiedBody->Parent, copy);
    EXPECT_EQ(copy->GetChild("body"), copiedBody);
    EXPECT_EQ(copy->FindChild("wheel")->Parent, copiedBody);
    EXPECT_EQ(car->FindChild("body"), body);
    EXPECT_TRUE(copy->LodLevels.empty());
    // Collision is the copy's own, on as on every new node.
    EXPECT_TRUE(copy->Collision);
    EXPECT_EQ(copy->ScriptObject, &script);
    EXPECT_EQ(copy->FlameType, 2);
    EXPECT_FALSE(copy->Active);
    EXPECT_FALSE(copy->Static);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(copy->WorldMatrix.m[3][k], car->WorldMatrix.m[3][k]);
}

TEST_F(NodeCopyTest, RenderObjectsAreNewAndShareTheirResources) {
    MakeCopy();
    auto* mesh = Object<CPRenderObject>(copy, "body");
    ASSERT_NE(mesh, nullptr);
    EXPECT_NE(mesh, Object<CPRenderObject>(car, "body"));
    EXPECT_EQ(mesh->Owner, copy->FindChild("body").Get());
    EXPECT_EQ(mesh->Material, material.get());
    EXPECT_EQ(mesh->Vertices.size(), 3u);
    CPGameObject* copiedBody = copy->FindChild("body").Get();
    EXPECT_EQ(copiedBody->ShadowMaterial, shadow.get());
    EXPECT_EQ(copiedBody->FireMaterial, shadow.get());

    auto* figure = Object<CPAnimatedObject>(copy, "driver");
    ASSERT_NE(figure, nullptr);
    EXPECT_NE(figure, Object<CPAnimatedObject>(car, "driver"));
    EXPECT_EQ(figure->Owner, copy->FindChild("driver").Get());
    EXPECT_EQ(figure->Material, material.get());
    EXPECT_EQ(figure->Animations.at("walk"), walk.get());

    auto* sprite = Object<CPSprite>(copy, "lamp");
    auto* sourceSprite = Object<CPSprite>(car, "lamp");
    ASSERT_NE(sprite, nullptr);
    EXPECT_NE(sprite, sourceSprite);
    EXPECT_EQ(sprite->Owner, copy->FindChild("lamp").Get());
    EXPECT_EQ(sprite->Size, 0.5f);
    EXPECT_EQ(sprite->Material, material.get());
    EXPECT_EQ(sprite->Cone, 0.4f);
    EXPECT_EQ(sprite->Direction, D3DXVECTOR3(0, 1, 0));
    EXPECT_EQ(sprite->Angle, 0.3f);
    EXPECT_EQ(sprite->Colour, 0xFFFFFFFFu);
    ASSERT_EQ(sprite->Modifiers.size(), 1u);
    EXPECT_TRUE(sprite->HasModifiers);
    EXPECT_NE(sprite->Modifiers[0].get(), sourceSprite->Modifiers[0].get());

    auto* light = Object<CPLight>(copy, "headlight");
    ASSERT_NE(light, nullptr);
    EXPECT_NE(light, Object<CPLight>(car, "headlight"));
    EXPECT_EQ(light->Owner, copy->FindChild("headlight").Get());
    EXPECT_EQ(light->Light.Range, 7.0f);
    EXPECT_EQ(light->Light.Position.x, 5.0f);
    EXPECT_EQ(light->Light.Position.y, 2.0f);

    auto* system = Object<CPParticleSystem>(copy, "smoke");
    ASSERT_NE(system, nullptr);
    EXPECT_NE(system, Object<CPParticleSystem>(car, "smoke"));
    EXPECT_EQ(system->Owner, copy->FindChild("smoke").Get());
    EXPECT_EQ(system->Duration, 5.0f);
    EXPECT_FALSE(system->Running);
}

TEST_F(NodeCopyTest, BoxesPhysicsDescriptionAndAnimationsAreTheCopysOwn) {
    MakeCopy();
    // The hull keeps its placement above the origin, so the copy is picked where the car is.
    ASSERT_EQ(copy->CollisionBoxes.size(), 1u);
    EXPECT_EQ(copy->CollisionBoxes[0].Local._43, 1.0f);
    EXPECT_EQ(copy->CollisionBoxes[0].Min, car->CollisionBoxes[0].Min);
    EXPECT_EQ(copy->CollisionBoxes[0].Max, car->CollisionBoxes[0].Max);
    CPPickInfo pick;
    pick.Origin = D3DXVECTOR3(5, 0, 10);
    pick.Direction = D3DXVECTOR3(0, 0, -1);
    pick.Distance = 100.0f;
    EXPECT_TRUE(copy->RayPick(pick));
    EXPECT_FLOAT_EQ(pick.Distance, 8.5f);
    EXPECT_EQ(pick.Object, copy);

    ASSERT_NE(copy->Physics, nullptr);
    EXPECT_NE(copy->Physics, car->Physics);
    EXPECT_EQ(copy->Physics->Owner, copy);
    EXPECT_EQ(copy->Physics->MainShape.Mass, car->Physics->MainShape.Mass);
    EXPECT_EQ(copy->Physics->MainShape.Size, car->Physics->MainShape.Size);
    ASSERT_EQ(copy->Physics->Shapes.size(), 1u);
    EXPECT_EQ(copy->Physics->Shapes[0].Position.z, 0.5f);
    EXPECT_EQ(copy->Physics->RigidBody, nullptr);

    const TiXmlElement* engine = copy->XmlDocument.RootElement()->FirstChildElement("engine");
    ASSERT_NE(engine, nullptr);
    EXPECT_STREQ(engine->Attribute("power"), "100");

    ASSERT_NE(copy->IdleAnimation, nullptr);
    EXPECT_NE(copy->IdleAnimation, car->IdleAnimation);
    EXPECT_EQ(copy->IdleAnimation->Target, copy);
    EXPECT_TRUE(copy->IdleAnimation->Loop);
    EXPECT_EQ(copy->IdleAnimation->Keys.size(), 3u);
    EXPECT_EQ(copy->Animations.at("idle"), copy->IdleAnimation);
    // Activating the copy starts its own idle animation and its own smoke.
    copy->Activate(200);
    EXPECT_TRUE(copy->IdleAnimation->Running);
    EXPECT_FALSE(car->IdleAnimation->Running);
    EXPECT_TRUE(Object<CPParticleSystem>(copy, "smoke")->Running);
    EXPECT_FALSE(Object<CPParticleSystem>(car, "smoke")->Running);
    copy->Deactivate();
}

TEST_F(NodeCopyTest, ChangingTheCopyLeavesTheOriginalAlone) {
    MakeCopy();
    const D3DXMATRIX wheelBefore = car->FindChild("wheel")->WorldMatrix;
    copy->FindChild("body")->SetPosition(D3DXVECTOR3(0, 0, 3));
    copy->UpdateTransform();
    copy->TransformDirty = true;
    copy->UpdateTransform();
    Object<CPRenderObject>(copy, "body")->Vertices[0].Position.x = 9.0f;
    Object<CPSprite>(copy, "lamp")->SetFacing(D3DXVECTOR3(1, 0, 0), -0.5f);
    Object<CPLight>(copy, "headlight")->Light.Range = 1.0f;
    copy->XmlDocument.RootElement()->FirstChildElement("engine")->SetAttribute("power", "250");
    copy->CollisionBoxes[0].HalfExtents.x = 3.0f;
    copy->Physics->Shapes.clear();
    CPGameObject* copiedWheel = copy->FindChild("wheel").Get();
    copiedWheel->Param = "spare";

    EXPECT_EQ(car->FindChild("wheel")->WorldMatrix, wheelBefore);
    EXPECT_EQ(copiedWheel->WorldMatrix._43, 3.0f);
    EXPECT_EQ(Object<CPRenderObject>(car, "body")->Vertices[0].Position.x, 0.0f);
    EXPECT_EQ(Object<CPSprite>(car, "lamp")->Cone, 0.4f);
    EXPECT_EQ(Object<CPLight>(car, "headlight")->Light.Range, 7.0f);
    EXPECT_STREQ(car->XmlDocument.RootElement()->FirstChildElement("engine")->Attribute("power"), "100");
    EXPECT_EQ(car->CollisionBoxes[0].HalfExtents.x, 1.0f);
    EXPECT_EQ(car->Physics->Shapes.size(), 1u);
    EXPECT_EQ(car->FindChild("wheel")->Param, "");
}

TEST_F(NodeCopyTest, CopyingANodeIntoItselfOrFromNothingChangesNothing) {
    car->CopyFrom(car);
    car->CopyFrom(nullptr);
    EXPECT_EQ(car->Children.size(), 5u);
    EXPECT_EQ(car->CollisionBoxes.size(), 1u);
}

TEST_F(NodeCopyTest, DescriptionsLoadFromTheDescriptionsFolder) {
    WriteFile("Data/Descriptions/jeep.xml", RenderFixtures::TextBytes("<car><camera distance=\"7\"/></car>"));
    CPGameObject node("jeep");
    node.DescriptionName = "jeep.xml";
    EXPECT_TRUE(node.LoadDescription());
    ASSERT_NE(node.XmlDocument.RootElement(), nullptr);
    EXPECT_STREQ(node.XmlDocument.RootElement()->Value(), "car");

    struct Case {
        const char* Name;
        const char* Text;  // null: no file
    };
    const Case cases[] = {{"missing.xml", nullptr}, {"broken.xml", "<car><camera></car>"}};
    for (const Case& c : cases) {
        if (c.Text != nullptr) WriteFile(std::string("Data/Descriptions/") + c.Name, RenderFixtures::TextBytes(c.Text));
        CPGameObject other("other");
        other.DescriptionName = c.Name;
        EXPECT_FALSE(other.LoadDescription()) << c.Name;
        EXPECT_TRUE(other.XmlDocument.Error()) << c.Name;
        EXPECT_EQ(other.XmlDocument.RootElement() == nullptr || c.Text != nullptr, true);
    }
}

}  // namespace
