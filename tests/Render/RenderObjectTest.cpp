// Static mesh render objects: world vertices recomputed once per move, modifiers in order,
// indices with and without the base, copies.
#include "Render/CPRenderObject.h"

#include "Render/VertexTransform.h"
#include "scene/CPGameObject.h"

#include <gtest/gtest.h>

namespace {

// Adds `step` to the first texture coordinate; counts its instances.
class ShiftU : public CPTextureModifier {
public:
    explicit ShiftU(float step, int* alive = nullptr) : Step(step), Alive(alive) {
        if (Alive != nullptr) {
            ++*Alive;
        }
    }
    ~ShiftU() override {
        if (Alive != nullptr) {
            --*Alive;
        }
    }
    void Update(float) override {}
    void Apply(CPVertex* destination, const CPVertex* source, int count) override {
        for (int i = 0; i < count; ++i) {
            destination[i] = source[i];
            destination[i].U = source[i].U * Scale + Step;
        }
    }
    std::unique_ptr<CPTextureModifier> Clone() const override {
        auto copy = std::make_unique<ShiftU>(Step, Alive);
        copy->Scale = Scale;
        return copy;
    }
    float Step;
    float Scale = 1.0f;
    int* Alive;
};

CPVertex MakeVertex(float x, float y, float z) {
    CPVertex v;
    v.Position = D3DXVECTOR3(x, y, z);
    v.Normal = D3DXVECTOR3(0, 0, 1);
    v.Diffuse = 0xFF00FF00;
    v.Specular = 0x11223344;
    v.U = 0.5f;
    v.V = 0.25f;
    v.U2 = 0.75f;
    v.V2 = 1.0f;
    return v;
}

class RenderObjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        object = new CPRenderObject(&node);
        object->Vertices = {MakeVertex(1, 0, 0), MakeVertex(0, 1, 0), MakeVertex(0, 0, 1), MakeVertex(1, 1, 1)};
        object->Indices = {0, 1, 2, 2, 1, 3};
        object->WorldVertices = object->Vertices;  // as the mesh reader leaves it
        node.RenderObject = object;
        node.RenderKind = CPGameObject::RenderMesh;
        node.SetPosition(D3DXVECTOR3(10, 20, 30));
        node.UpdateTransform();
    }
    void TearDown() override {
        node.RenderObject = nullptr;
        delete object;
    }
    void Fill(uint16_t base = 0) {
        vertices.assign(static_cast<size_t>(object->GetVertexCount()), CPVertex());
        indices.assign(static_cast<size_t>(object->GetIndexCount()), 0xEEEE);
        object->Fill(vertices.data(), indices.data(), base, false);
    }

    CPGameObject node{"mesh"};
    CPRenderObject* object = nullptr;
    std::vector<CPVertex> vertices;
    std::vector<uint16_t> indices;
};

TEST_F(RenderObjectTest, FillWritesWorldVerticesOncePerMoveAndAddsTheBase) {
    ASSERT_TRUE(node.TransformUpdated);
    Fill(100);
    EXPECT_FALSE(node.TransformUpdated);
    EXPECT_EQ(vertices[0].Position, D3DXVECTOR3(11, 20, 30));
    EXPECT_EQ(vertices[3].Position, D3DXVECTOR3(11, 21, 31));
    EXPECT_EQ(vertices[0].Diffuse, 0xFF00FF00u);
    EXPECT_EQ(vertices[0].U2, 0.75f);
    EXPECT_EQ(indices, std::vector<uint16_t>({100, 101, 102, 102, 101, 103}));

    // Not moved: the world copy is written as it stands, without recomputation.
    object->WorldVertices[0].Position = D3DXVECTOR3(-7, -7, -7);
    Fill();
    EXPECT_EQ(vertices[0].Position, D3DXVECTOR3(-7, -7, -7));
    EXPECT_EQ(indices, object->Indices);

    // Moved: recomputed once.
    node.SetPosition(D3DXVECTOR3(0, 0, 5));
    node.UpdateTransform();
    Fill();
    EXPECT_EQ(vertices[0].Position, D3DXVECTOR3(1, 0, 5));
    EXPECT_EQ(object->WorldVertices[0].Position, D3DXVECTOR3(1, 0, 5));  // kept for the frames that follow
    EXPECT_EQ(vertices[3].U2, object->WorldVertices[3].U2);
    EXPECT_FALSE(node.TransformUpdated);
}

TEST_F(RenderObjectTest, TransformKeepsNormalsUnnormalisedAndSizesTheWorldCopy) {
    D3DXMATRIX scale;
    D3DXMatrixScaling(&scale, 2, 2, 2);
    object->TransformVertices(scale);
    EXPECT_EQ(object->Vertices[0].Position, D3DXVECTOR3(2, 0, 0));
    EXPECT_EQ(object->Vertices[0].Normal, D3DXVECTOR3(0, 0, 2));
    EXPECT_EQ(object->WorldVertices[0].Position, D3DXVECTOR3(1, 0, 0));  // untouched

    object->Vertices.push_back(MakeVertex(3, 3, 3));
    object->TransformToWorld();
    ASSERT_EQ(object->WorldVertices.size(), object->Vertices.size());
    EXPECT_EQ(object->WorldVertices[4].Position, D3DXVECTOR3(13, 23, 33));
    EXPECT_EQ(object->WorldVertices[4].V, 0.25f);
    // Fill never writes more than the count it reported.
    object->Vertices.pop_back();
    Fill();
    EXPECT_EQ(object->WorldVertices.size(), 4u);
}

TEST_F(RenderObjectTest, ExcludedAndEmptyObjectsWriteNothing) {
    object->SetExcluded(true);
    EXPECT_TRUE(object->IsExcluded());
    EXPECT_EQ(object->GetVertexCount(), 4);
    EXPECT_EQ(object->GetIndexCount(), 6);
    Fill(7);
    EXPECT_EQ(vertices[0].Position, D3DXVECTOR3());
    EXPECT_EQ(indices[0], 0xEEEE);
    object->SetExcluded(false);

    // FillIndices gives the indices as stored and the first and last of them.
    uint16_t first = 1234, last = 1234;
    indices.assign(6, 0);
    EXPECT_TRUE(object->FillIndices(indices.data(), 0, first, last));
    EXPECT_EQ(indices, object->Indices);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, 3);

    // No indices: nothing written, no range.
    object->Indices.clear();
    first = last = 1234;
    EXPECT_FALSE(object->FillIndices(indices.data(), 0, first, last));
    EXPECT_EQ(first, 1234);
    EXPECT_EQ(last, 1234);
    object->WorldVertices.clear();
    object->Indices = {0, 1, 2};
    EXPECT_FALSE(object->FillIndices(indices.data(), 0, first, last));
    Fill();
    EXPECT_EQ(vertices[0].Position, D3DXVECTOR3());
}

TEST_F(RenderObjectTest, ModifiersRunInOrderOnEveryFill) {
    auto first = std::make_unique<ShiftU>(1.0f);
    auto second = std::make_unique<ShiftU>(0.0f);
    second->Scale = 10.0f;
    object->AddModifier(std::move(first));
    object->AddModifier(std::move(second));
    Fill();
    EXPECT_FLOAT_EQ(vertices[0].U, (0.5f + 1.0f) * 10.0f);  // the second saw the first's output
    EXPECT_FLOAT_EQ(object->WorldVertices[0].U, 0.5f);      // the world copy is untouched
    Fill();
    EXPECT_FLOAT_EQ(vertices[0].U, 15.0f);
}

TEST_F(RenderObjectTest, CopyFromTakesTheMeshAndReplacesTheModifiers) {
    int alive = 0;
    object->AddModifier(std::make_unique<ShiftU>(1.0f, &alive));
    object->Material = nullptr;
    CPGameObject other("other");
    CPRenderObject copy(&other);
    copy.AddModifier(std::make_unique<ShiftU>(5.0f, &alive));
    copy.AddModifier(std::make_unique<ShiftU>(6.0f, &alive));
    EXPECT_EQ(alive, 3);
    copy.CopyFrom(object);
    EXPECT_EQ(alive, 2);  // the two it had are gone, one clone came
    ASSERT_EQ(copy.Modifiers.size(), 1u);
    EXPECT_EQ(static_cast<ShiftU*>(copy.Modifiers[0].get())->Step, 1.0f);
    EXPECT_TRUE(copy.HasModifiers);
    EXPECT_EQ(copy.Owner, &node);
    EXPECT_EQ(copy.Vertices.size(), 4u);
    EXPECT_EQ(copy.Indices, object->Indices);
    EXPECT_FALSE(copy.IsExcluded());
    EXPECT_EQ(copy.GetTypeName(), "CPRenderObject");
}

TEST(VertexTransformTest, MirroringAndSwappedWinding) {
    D3DXMATRIX m;
    D3DXMatrixScaling(&m, -1, 1, 1);
    EXPECT_TRUE(VertexTransform::IsMirrored(m));
    D3DXMatrixRotationZ(&m, 2.0f);
    EXPECT_FALSE(VertexTransform::IsMirrored(m));
    const uint16_t in[] = {0, 1, 2, 3, 4, 5, 6};
    uint16_t out[7];
    VertexTransform::AddBaseSwapped(out, in, 7, 65535);
    const uint16_t expected[] = {65535, 1, 0, 2, 4, 3, 5};
    EXPECT_TRUE(std::equal(out, out + 7, expected));
}

}  // namespace
