// Shadow decals: the frame fitted around a car's footprint, terrain triangles copied from the
// physics world's tables with their texture coordinates, duplicates and bad numbers skipped.
#include "Render/CPRender.h"
#include "Render/CPRenderObject.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicData.h"
#include "scene/CPPhysicScene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

namespace {

constexpr float Tolerance = 1e-5f;

class DecalTest : public ::testing::Test {
protected:
    void SetUp() override {
        CPPhysicScene::Current = &world;
        decal = new CPRenderObject(&shadow);
        shadow.RenderObject = decal;
        shadow.RenderKind = CPGameObject::RenderMesh;
        SetHalfExtents(1.0f, 2.0f, 0.5f);
        physics = new CPPhysicData(&shadow);
        D3DXMatrixIdentity(&identity);
        // A 3 x 3 patch of ground vertices from (-1, -1) to (1, 1), heights 0.5 x + 1.
        for (int y = -1; y <= 1; ++y) {
            for (int x = -1; x <= 1; ++x) {
                world.Vertices.push_back(RbVec(static_cast<float>(x), static_cast<float>(y), 0.5f * x + 1.0f));
            }
        }
        // Vertex k is (k % 3 - 1, k / 3 - 1); vertex 4 is the origin.
        world.Triangles = {{{4, 5, 7}}, {{7, 4, 5}}, {{0, 1, 4}}, {{4, 99, 5}}, {{-3, 4, 5}}, {{1, 2, 5}}};
    }
    void TearDown() override {
        shadow.RenderObject = nullptr;
        delete decal;
        delete physics;
        CPPhysicScene::Current = nullptr;
    }
    void SetHalfExtents(float x, float y, float z) {
        shadow.CollisionBounds.Min = D3DXVECTOR3(-x, -y, -z);
        shadow.CollisionBounds.Max = D3DXVECTOR3(x, y, z);
        shadow.CollisionBounds.UpdateCentre();
    }
    void List(std::initializer_list<int32_t> triangles) {
        physics->TerrainTriangleCount = static_cast<int32_t>(triangles.size());
        std::copy(triangles.begin(), triangles.end(), physics->TerrainTriangles);
    }
    void Project(const D3DXMATRIX& m) {
        CPRender render;  // the decal uses no renderer state
        render.ProjectDecal(CPtr<CPGameObject>(&shadow), &m, CPtr<CPPhysicData>(physics));
    }
    // Texture coordinates the decal gave the terrain vertex at (x, y), or NaN when absent.
    D3DXVECTOR2 CoordinatesAt(float x, float y) const {
        for (const CPVertex& v : decal->Vertices) {
            if (v.Position.x == x && v.Position.y == y) {
                return D3DXVECTOR2(v.U, v.V);
            }
        }
        return D3DXVECTOR2(NAN, NAN);
    }

    CPPhysicScene world;
    CPGameObject shadow{"shadow"};
    CPRenderObject* decal = nullptr;
    CPPhysicData* physics = nullptr;
    D3DXMATRIX identity;
};

void ExpectVector(const D3DXVECTOR2& actual, float x, float y) {
    EXPECT_NEAR(actual.x, x, Tolerance);
    EXPECT_NEAR(actual.y, y, Tolerance);
}

TEST_F(DecalTest, FootprintRectangleAndTheCentreOfThePicture) {
    // The frame ProjectDecal hands over for half extents (1, 2, 0.5) and no turn, fitted.
    D3DXVECTOR2 o(-1.1f, -2.1f), u(2.2f, 0.0f), v(0.0f, 0.2f);
    CPRender::FitDecalFrame(o, u, v, D3DXVECTOR2(-1.1f, 1.9f));
    ExpectVector(o, -1.1f, -2.1f);
    ExpectVector(u, 2.2f, 0.0f);
    ExpectVector(v, 0.0f, 4.2f);

    List({0});
    Project(identity);
    ASSERT_EQ(decal->Vertices.size(), 3u);
    EXPECT_EQ(decal->Indices, (std::vector<uint16_t>{0, 1, 2}));
    ExpectVector(CoordinatesAt(0, 0), 0.5f, 0.5f);
    ExpectVector(CoordinatesAt(1, 0), 2.1f / 2.2f, 0.5f);
    ExpectVector(CoordinatesAt(0, 1), 0.5f, 3.1f / 4.2f);
    const CPVertex& first = decal->Vertices[0];
    EXPECT_FLOAT_EQ(first.Position.z, 1.0f + 0.03f);
    EXPECT_EQ(first.Normal.z, 1.0f);
    EXPECT_EQ(first.Diffuse, 0xFFFFFFFFu);
    EXPECT_EQ(first.Specular, 0u);
    EXPECT_EQ(first.U2, 0.0f);
    EXPECT_EQ(decal->Vertices[1].Position.z, 1.5f + 0.03f);
    ASSERT_EQ(decal->WorldVertices.size(), 3u);
    EXPECT_EQ(std::memcmp(decal->WorldVertices.data(), decal->Vertices.data(), 3 * sizeof(CPVertex)), 0);
}

TEST_F(DecalTest, DuplicatesAndNumbersOutsideTheTablesAreSkipped) {
    // 0 and 1 are one triangle in two vertex orders; 3 and 4 name vertices that do not exist;
    // -1 and 6 are no triangles.
    List({0, 0, 1, -1, 6, 3, 4, 2, 5, 2});
    Project(identity);
    ASSERT_EQ(decal->Vertices.size(), 9u);
    const float expected[9][2] = {{0, 0}, {1, 0}, {0, 1}, {-1, -1}, {0, -1}, {0, 0}, {0, -1}, {1, -1}, {1, 0}};
    for (size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(decal->Vertices[i].Position.x, expected[i][0]) << i;
        EXPECT_EQ(decal->Vertices[i].Position.y, expected[i][1]) << i;
        EXPECT_EQ(decal->Indices[i], i);
    }
}

TEST_F(DecalTest, TheRectangleTurnsWithTheCar) {
    D3DXMATRIX turn;
    D3DXMatrixRotationZ(&turn, std::numbers::pi_v<float> / 2);
    List({0, 5});
    Project(turn);
    ExpectVector(CoordinatesAt(0, 0), 0.5f, 0.5f);
    // World x is the car's -y: the car's near edge (t = 0) lies at world x = 2.1.
    const D3DXVECTOR2 right = CoordinatesAt(1, 0);
    EXPECT_NEAR(right.x, 0.5f, Tolerance);
    EXPECT_NEAR(right.y, 0.5f - 1.0f / 4.2f, Tolerance);
    const D3DXVECTOR2 up = CoordinatesAt(0, 1);
    EXPECT_NEAR(up.x, 0.5f + 1.0f / 2.2f, Tolerance);
    EXPECT_NEAR(up.y, 0.5f, Tolerance);
}

TEST_F(DecalTest, DegenerateFramesAreRebuiltFromTheFarPoint) {
    const D3DXVECTOR2 d(0.0f, 5.0f);
    const struct {
        const char* name;
        D3DXVECTOR2 o, u, v;
        D3DXVECTOR2 fo, fu, fv;
    } cases[] = {
        {"no U", {1, 1}, {0, 0}, {2, 0}, {1, 1}, {-1, 4}, {2, 0}},
        {"no V", {1, 1}, {2, 0}, {0, 0}, {1, 1}, {2, 0}, {-1, 4}},
        {"V before U", {1, 1}, {2, 0}, {-2, 0}, {-1, 1}, {4, 0}, {-1, 4}},
        {"V past U", {1, 1}, {2, 0}, {6, 0}, {1, 1}, {6, 0}, {-1, 4}},
        {"V along U", {1, 1}, {2, 0}, {1, 0}, {1, 1}, {2, 0}, {-1, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        D3DXVECTOR2 o = c.o, u = c.u, v = c.v;
        CPRender::FitDecalFrame(o, u, v, d);
        ExpectVector(o, c.fo.x, c.fo.y);
        ExpectVector(u, c.fu.x, c.fu.y);
        ExpectVector(v, c.fv.x, c.fv.y);
    }
}

TEST_F(DecalTest, AFrameThatStaysDegenerateKeepsTheLastDecal) {
    List({0});
    Project(identity);
    ASSERT_EQ(decal->Vertices.size(), 3u);
    const D3DXVECTOR2 zero(0.0f, 0.0f);
    CPRender::BuildDecal(CPtr<CPGameObject>(&shadow), zero, zero, zero, zero, CPtr<CPPhysicData>(physics));
    EXPECT_EQ(decal->Vertices.size(), 3u);
    // A car stood on its side: its footprint's depth vanishes on the ground, and the frame is
    // rebuilt towards the far point.
    D3DXMATRIX side;
    D3DXMatrixRotationX(&side, std::numbers::pi_v<float> / 2);
    Project(side);
    EXPECT_EQ(decal->Vertices.size(), 3u);
    for (const CPVertex& v : decal->Vertices) {
        EXPECT_TRUE(std::isfinite(v.U) && std::isfinite(v.V));
    }
}

TEST_F(DecalTest, NothingToShadeGivesNoDecal) {
    List({0, 5});
    Project(identity);
    ASSERT_EQ(decal->Vertices.size(), 6u);

    shadow.CollisionBounds = CPBoundingBox();  // empty
    Project(identity);
    EXPECT_TRUE(decal->Vertices.empty());
    EXPECT_TRUE(decal->Indices.empty());

    SetHalfExtents(1, 2, 0.5f);
    List({});
    Project(identity);
    EXPECT_TRUE(decal->Vertices.empty());

    // Counts outside 0..1000 are held to the list.
    physics->TerrainTriangleCount = -7;
    Project(identity);
    EXPECT_TRUE(decal->Vertices.empty());
    physics->TerrainTriangleCount = 1 << 30;
    Project(identity);
    EXPECT_EQ(decal->Vertices.size(), 6u);  // 0, 5, then zeros: triangle 0 again

    CPPhysicScene::Current = nullptr;
    List({0});
    Project(identity);
    EXPECT_TRUE(decal->Vertices.empty());
    CPPhysicScene::Current = &world;

    // No render object: nothing to write, nothing breaks.
    shadow.RenderObject = nullptr;
    Project(identity);
    CPRender::BuildDecal(CPtr<CPGameObject>(&shadow), D3DXVECTOR2(0, 0), D3DXVECTOR2(0, 1), D3DXVECTOR2(1, 0),
                         D3DXVECTOR2(0, 1), CPtr<CPPhysicData>(physics));
    shadow.RenderObject = decal;
    CPRender render;
    render.ProjectDecal(CPtr<CPGameObject>(nullptr), &identity, CPtr<CPPhysicData>(physics));
    render.ProjectDecal(CPtr<CPGameObject>(&shadow), nullptr, CPtr<CPPhysicData>(physics));
}

}  // namespace
