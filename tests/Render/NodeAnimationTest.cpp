// What a node tree does to the renderer's objects during play: vertex animations started
// over a subtree, and the fire material reaching meshes and figures through the renderer's
// factory.
#include "Render/CPAnimatedObject.h"
#include "Render/CPAnimation.h"
#include "Render/CPMaterial.h"
#include "Render/CPRenderFactory.h"
#include "Render/CPRenderObject.h"
#include "Render/CPSprite.h"
#include "core/FrameTime.h"
#include "scene/CPAnimationParams.h"
#include "scene/CPGameObject.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class NodeAnimationTest : public ::testing::Test {
protected:
    void SetUp() override {
        CPRenderFactory::Install();
        FullTime = 10.0;
        root.AddChild(&arm);
        arm.AddChild(&hand);
        for (auto [node, object] : {std::pair{&arm, &armFigure}, std::pair{&hand, &handFigure}}) {
            node->RenderKind = CPGameObject::RenderAnimatedMesh;
            node->RenderObject = object;
            object->Owner = node;
            object->AddAnimation("wave", wave.get());
            object->AddAnimation("rest", rest.get());
        }
    }
    void TearDown() override {
        arm.RenderObject = nullptr;
        hand.RenderObject = nullptr;
        for (CPAnimatedObject* figure : {&armFigure, &handFigure}) {
            figure->Animations.clear();
            figure->Current = nullptr;
            figure->Material = nullptr;
        }
        FullTime = 0.0;
    }

    std::unique_ptr<CPAnimation> wave = std::make_unique<CPAnimation>("wave");
    std::unique_ptr<CPAnimation> rest = std::make_unique<CPAnimation>("rest");
    CPAnimatedObject armFigure, handFigure;
    CPGameObject root{"robot"}, arm{"arm"}, hand{"hand"};
};

TEST_F(NodeAnimationTest, SetAnimationStartsEveryFigureOfTheSubtree) {
    CPAnimationParams params;
    params.Name = "wave";
    params.Speed = 2.0f;
    params.LoopLimit = 3;
    params.StartDelay = 0.5f;
    root.SetAnimation(params, false);
    for (CPAnimatedObject* figure : {&armFigure, &handFigure}) {
        EXPECT_EQ(figure->Name, "wave");
        EXPECT_EQ(figure->Current, wave.get());
        EXPECT_EQ(figure->StartTime, 10.5f);
        EXPECT_EQ(figure->Speed, 2.0f);
        EXPECT_EQ(figure->LoopLimit, 3);
    }
    // Already playing: left alone without force, restarted with it.
    FullTime = 20.0;
    root.SetAnimation(params, false);
    EXPECT_EQ(handFigure.StartTime, 10.5f);
    root.SetAnimation(params, true);
    EXPECT_EQ(handFigure.StartTime, 20.5f);
    // A name the figures do not have changes nothing.
    params.Name = "dance";
    root.SetAnimation(params, true);
    EXPECT_EQ(handFigure.Name, "wave");
}

TEST_F(NodeAnimationTest, FireMaterialReachesMeshesAndFigures) {
    CPMaterial paint(0, nullptr, nullptr), fire(0, nullptr, nullptr);
    CPGameObject body("body");
    CPRenderObject mesh(&body);
    mesh.Material = &paint;
    body.RenderKind = CPGameObject::RenderMesh;
    body.RenderObject = &mesh;
    CPGameObject lamp("lamp");
    CPSprite sprite(1.0f);
    sprite.Material = &paint;
    lamp.RenderKind = CPGameObject::RenderSprite;
    lamp.RenderObject = &sprite;
    root.AddChild(&body);
    root.AddChild(&lamp);
    for (CPGameObject* node : {&body, &lamp, &hand}) node->SetFireMaterial(&fire);

    root.ApplyFireMaterial();
    EXPECT_EQ(mesh.Material, &fire);
    EXPECT_EQ(handFigure.Material, &fire);
    EXPECT_EQ(armFigure.Material, nullptr);  // the arm has no fire material of its own
    EXPECT_EQ(sprite.Material, &paint);      // sprites do not burn

    for (CPGameObject* node : {&body, &lamp, &hand}) node->FireMaterial = nullptr;
    mesh.Material = nullptr;
    sprite.Material = nullptr;
    handFigure.Material = nullptr;
    body.RenderObject = nullptr;
    lamp.RenderObject = nullptr;
}

}  // namespace
