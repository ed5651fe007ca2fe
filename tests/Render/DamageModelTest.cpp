// The car damage model: vertex groups and regions of a small car, boxes, seeded hits.
#include "Render/CPRenderObject.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPGameObject.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

CPVertex At(float x, float y, float z) {
    CPVertex v;
    v.Position = D3DXVECTOR3(x, y, z);
    v.Normal = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    v.Diffuse = 0x12345678;
    return v;
}

// A car: the body (a mesh, so a part of itself), a door, a wheel "w0", a part "W0" that only
// looks like a wheel, and a group node.
class DamageModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        body = Mesh(root, {At(0, 0, 0), At(0.05f, 0, 0), At(2, 0, 0), At(0.2f, 0, 0)});
        door = Mesh(*Child("door"), {At(0, 0, 0.05f), At(10, 0, 0), At(9.71f, 0, 0), At(10.29f, 0, 0)});
        wheel = Mesh(*Child("w0"), {At(0, 0, 0)});
        notWheel = Mesh(*Child("W0"), {At(5, 5, 5)});
        Child("group");
        root.UpdateTransform();
    }
    void TearDown() override {
        for (CPGameObject* node : {&root}) {
            node->RenderObject = nullptr;
        }
        for (auto& child : children) {
            child->RenderObject = nullptr;
        }
    }
    CPGameObject* Child(const std::string& name) {
        children.push_back(std::make_unique<CPGameObject>(name));
        root.AddChild(CPtr<CPGameObject>(children.back().get()));
        return children.back().get();
    }
    CPRenderObject* Mesh(CPGameObject& node, std::vector<CPVertex> vertices) {
        objects.push_back(std::make_unique<CPRenderObject>(&node));
        objects.back()->Vertices = std::move(vertices);
        node.RenderObject = objects.back().get();
        node.RenderKind = CPGameObject::RenderMesh;
        return objects.back().get();
    }
    static std::vector<std::pair<CPRenderObject*, uint32_t>> RefsOf(const CPDamageRegion::VertexGroup& group) {
        std::vector<std::pair<CPRenderObject*, uint32_t>> refs;
        for (const CPVertexRef& r : group) {
            refs.emplace_back(r.Object, r.Index);
        }
        return refs;
    }

    CPGameObject root{"body"};
    std::vector<std::unique_ptr<CPGameObject>> children;
    std::vector<std::unique_ptr<CPRenderObject>> objects;
    CPRenderObject* body = nullptr;
    CPRenderObject* door = nullptr;
    CPRenderObject* wheel = nullptr;
    CPRenderObject* notWheel = nullptr;
};

TEST_F(DamageModelTest, GroupsRegionsAndBoxes) {
    body->InitDamageModel();
    EXPECT_TRUE(body->DamageEnabled);
    using Refs = std::vector<std::pair<CPRenderObject*, uint32_t>>;
    // Regions in order of their first group; the body's own vertices come twice (as itself
    // and as a part).
    const struct {
        std::vector<Refs> groups;
        D3DXVECTOR3 centre, half;
    } expected[] = {
        {{{{body, 0}, {body, 1}, {body, 0}, {body, 1}, {door, 0}}, {{body, 3}, {body, 3}}},
         D3DXVECTOR3(0, 0, 0),
         D3DXVECTOR3(0.3f, 0.3f, 0.3f)},
        {{{{body, 2}, {body, 2}}}, D3DXVECTOR3(2, 0, 0), D3DXVECTOR3(0.3f, 0.3f, 0.3f)},
        {{{{door, 1}}, {{door, 2}}, {{door, 3}}}, D3DXVECTOR3(10, 0, 0), D3DXVECTOR3(0.29f, 0.001f, 0.001f)},
        {{{{notWheel, 0}}}, D3DXVECTOR3(5, 5, 5), D3DXVECTOR3(0.3f, 0.3f, 0.3f)},
    };
    ASSERT_EQ(body->GetDamageRegions().size(), std::size(expected));
    for (size_t r = 0; r < std::size(expected); ++r) {
        SCOPED_TRACE(r);
        const CPDamageRegion& region = body->GetDamageRegions()[r];
        ASSERT_EQ(region.Groups.size(), expected[r].groups.size());
        for (size_t g = 0; g < region.Groups.size(); ++g) {
            EXPECT_EQ(RefsOf(region.Groups[g]), expected[r].groups[g]);
        }
        EXPECT_NEAR(region.Box.Centre.x, expected[r].centre.x, 1e-5f);
        EXPECT_NEAR(region.Box.Centre.y, expected[r].centre.y, 1e-5f);
        EXPECT_NEAR(region.Box.Centre.z, expected[r].centre.z, 1e-5f);
        EXPECT_NEAR(region.Box.HalfExtents.x, expected[r].half.x, 1e-5f);
        EXPECT_NEAR(region.Box.HalfExtents.y, expected[r].half.y, 1e-5f);
        EXPECT_NEAR(region.Box.HalfExtents.z, expected[r].half.z, 1e-5f);
        EXPECT_EQ(region.Level, 0.0f);
        // Placed at once: the world corners exist before the first frame.
        EXPECT_NEAR(region.Box.Max.x, expected[r].centre.x + expected[r].half.x, 1e-5f);
    }
    EXPECT_EQ(wheel->Vertices[0].Diffuse, 0x12345678u);  // wheels are left alone
    EXPECT_EQ(notWheel->Vertices[0].Diffuse, 0xFFFFFFFFu);
    EXPECT_EQ(door->Vertices[3].Diffuse, 0xFFFFFFFFu);
}

TEST_F(DamageModelTest, SeededHitsDentTheRegionsTheyCross) {
    body->InitDamageModel();
    const D3DXVECTOR3 above(0, 0, 1), down(0, 0, -1);
    CrtSrand(7);
    body->ApplyDamage(above, down, 0.01f);  // too little: no draw, no change
    EXPECT_EQ(body->GetDamageRegions()[0].Level, 0.0f);
    const int untouched = CrtRand();
    CrtSrand(7);
    EXPECT_EQ(CrtRand(), untouched);

    CrtSrand(7);
    body->ApplyDamage(above, down, 0.5f);
    const int after = CrtRand();
    // Seven references in the region (body 0 and 1 twice, door 0, body 3 twice): 21 draws.
    CrtSrand(7);
    std::vector<int> draws(22);
    for (int& d : draws) {
        d = CrtRand();
    }
    EXPECT_EQ(after, draws[21]);
    EXPECT_EQ(body->GetDamageRegions()[0].Level, 0.5f);
    EXPECT_EQ(body->GetDamageRegions()[1].Level, 0.0f);

    // The door's vertex is the fifth reference: draws 12, 13, 14 are its roll, pitch and yaw.
    const auto angle = [&](int i) { return 0.05f - static_cast<float>(draws[static_cast<size_t>(i)]) * 0.1f / 32767.0f; };
    D3DXMATRIX turn;
    D3DXMatrixRotationYawPitchRoll(&turn, angle(14), angle(13), angle(12));
    D3DXVECTOR3 expected(0, 0, 1);
    D3DXVec3TransformNormal(&expected, &expected, &turn);
    D3DXVec3Normalize(&expected, &expected);
    EXPECT_FLOAT_EQ(door->Vertices[0].Normal.x, expected.x);
    EXPECT_FLOAT_EQ(door->Vertices[0].Normal.y, expected.y);
    EXPECT_FLOAT_EQ(door->Vertices[0].Normal.z, expected.z);
    for (const CPVertex* v : {&body->Vertices[0], &body->Vertices[1], &body->Vertices[3], &door->Vertices[0]}) {
        EXPECT_EQ(v->Diffuse, 0x96FFFFFFu);
        EXPECT_NEAR(D3DXVec3Length(&v->Normal), 1.0f, 1e-5f);
        EXPECT_NE(v->Normal.z, 1.0f);
        EXPECT_GT(v->Normal.z, 0.98f);  // at most two turns of 0.05 rad about each axis
    }
    EXPECT_EQ(body->Vertices[2].Diffuse, 0xFFFFFFFFu);
    EXPECT_EQ(body->Vertices[2].Normal.z, 1.0f);

    // Past a level of 1 the region ignores hits and its box stays where it was.
    body->ApplyDamage(above, down, 0.6f);
    EXPECT_FLOAT_EQ(body->GetDamageRegions()[0].Level, 1.1f);
    const D3DXVECTOR3 saturatedNormal = door->Vertices[0].Normal;
    body->ApplyDamage(above, down, 0.6f);
    EXPECT_EQ(door->Vertices[0].Normal.x, saturatedNormal.x);
    EXPECT_FLOAT_EQ(body->GetDamageRegions()[0].Level, 1.1f);

    root.SetPosition(D3DXVECTOR3(100, 0, 0));
    root.UpdateTransform();
    body->TransformToWorld();
    EXPECT_NEAR(body->GetDamageRegions()[0].Box.Max.x, 0.3f, 1e-5f);
    EXPECT_NEAR(body->GetDamageRegions()[1].Box.Max.x, 102.3f, 1e-4f);
}

TEST_F(DamageModelTest, HitsFindTheBoxesWhereTheLastTransformPutThem) {
    body->InitDamageModel();
    const D3DXVECTOR3 down(0, 0, -1);
    root.SetPosition(D3DXVECTOR3(50, 0, 0));
    root.UpdateTransform();
    // Not yet transformed to world: the boxes are still at the origin.
    body->ApplyDamage(D3DXVECTOR3(50, 0, 1), down, 0.5f);
    EXPECT_EQ(body->GetDamageRegions()[0].Level, 0.0f);
    body->ApplyDamage(D3DXVECTOR3(0, 0, 1), down, 0.25f);
    EXPECT_EQ(body->GetDamageRegions()[0].Level, 0.25f);

    body->TransformToWorld();
    body->ApplyDamage(D3DXVECTOR3(0, 0, 1), down, 0.5f);  // where the car was
    EXPECT_EQ(body->GetDamageRegions()[0].Level, 0.25f);
    body->ApplyDamage(D3DXVECTOR3(50, 0, 1), down, 0.5f);  // where it is
    EXPECT_EQ(body->GetDamageRegions()[0].Level, 0.75f);
    EXPECT_NEAR(body->GetDamageRegions()[0].Box.Max.x, 50.3f, 1e-4f);
}

TEST_F(DamageModelTest, ReferencesIntoShrunkenPartsAreSkipped) {
    body->InitDamageModel();
    door->Vertices.clear();
    body->ApplyDamage(D3DXVECTOR3(0, 0, 1), D3DXVECTOR3(0, 0, -1), 0.5f);
    EXPECT_EQ(body->GetDamageRegions()[0].Level, 0.5f);
    EXPECT_EQ(body->Vertices[0].Diffuse, 0x96FFFFFFu);
}

TEST_F(DamageModelTest, NothingBeforeTheModelIsBuilt) {
    body->ApplyDamage(D3DXVECTOR3(0, 0, 1), D3DXVECTOR3(0, 0, -1), 0.5f);
    EXPECT_EQ(body->Vertices[0].Diffuse, 0x12345678u);
    EXPECT_TRUE(body->GetDamageRegions().empty());
}

}  // namespace
