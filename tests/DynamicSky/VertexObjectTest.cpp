#include "SkyRenderTest.h"

#include "DynamicSky/VertexObject.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class VertexObjectTest : public SkyRenderTest {
protected:
    static std::vector<CPVertex> Quad(uint32_t diffuse = 0xFF102030u) {
        std::vector<CPVertex> v(4);
        const float xy[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        for (int i = 0; i < 4; ++i) {
            v[i].Position = D3DXVECTOR3(xy[i][0], xy[i][1], 0.0f);
            v[i].Diffuse = diffuse;
        }
        return v;
    }
    static std::vector<uint16_t> QuadIndices() { return {0, 1, 2, 0, 2, 3}; }

    // What the object's vertex buffer holds in its first n vertices.
    static std::vector<CPVertex> Uploaded(VertexObject& object, size_t n) {
        void* data = nullptr;
        EXPECT_EQ(object.VertexBuffer->Lock(0, 0, &data, 0), S_OK);
        std::vector<CPVertex> out(n);
        std::memcpy(out.data(), data, n * sizeof(CPVertex));
        object.VertexBuffer->Unlock();
        return out;
    }
};

TEST_F(VertexObjectTest, BuffersAreMadeOnceWithTheirFixedSizesAndRefilled) {
    VertexObject object;
    EXPECT_EQ(object.CreateBuffers(Quad(), QuadIndices(), false), S_OK);
    EXPECT_EQ(object.CreateBuffers(Quad(0xFFFFFFFFu), QuadIndices(), false), S_OK);
    const auto vb = Named("CreateVertexBuffer");
    const auto ib = Named("CreateIndexBuffer");
    ASSERT_EQ(vb.size(), 1u);
    ASSERT_EQ(ib.size(), 1u);
    EXPECT_EQ(vb[0]->args[0], 960000u);
    EXPECT_EQ(vb[0]->args[1], static_cast<uint64_t>(D3DUSAGE_WRITEONLY));
    EXPECT_EQ(vb[0]->args[2], 0x2D2u);
    EXPECT_EQ(vb[0]->args[3], static_cast<uint64_t>(D3DPOOL_MANAGED));
    EXPECT_EQ(ib[0]->args[0], 120000u);
    EXPECT_EQ(ib[0]->args[2], static_cast<uint64_t>(D3DFMT_INDEX16));
    EXPECT_EQ(Uploaded(object, 4)[3].Diffuse, 0xFFFFFFFFu);
    void* data = nullptr;
    ASSERT_EQ(object.IndexBuffer->Lock(0, 0, &data, 0), S_OK);
    EXPECT_EQ(static_cast<const uint16_t*>(data)[5], 3u);
    object.IndexBuffer->Unlock();
}

TEST_F(VertexObjectTest, MoreThanTheBuffersHoldIsRefused) {
    VertexObject object;
    object.CreateBuffers(Quad(), QuadIndices(), false);
    const struct { size_t vertices, indices; HRESULT result; } cases[] = {
        {20000, 60000, S_OK}, {20001, 6, E_INVALIDARG}, {4, 60001, E_INVALIDARG}};
    for (const auto& c : cases) {
        object.CreateBuffers(Quad(), QuadIndices(), false);
        EXPECT_EQ(object.CreateBuffers(std::vector<CPVertex>(c.vertices), std::vector<uint16_t>(c.indices), false),
                  c.result);
        EXPECT_EQ(object.SourceVertices.size(), c.result == S_OK ? c.vertices : 4u);
        EXPECT_EQ(object.Indices.size(), c.result == S_OK ? c.indices : 6u);
    }
}

TEST_F(VertexObjectTest, KeepDrawnUploadsTheDrawnCopyAtTheSourceLength) {
    VertexObject object;
    object.CreateBuffers(Quad(0xFF000001u), QuadIndices(), false);
    for (CPVertex& v : object.Vertices) {
        v.Diffuse = 0x80000014u;
    }
    // The source grows: the drawn copy is extended from it, never read or written past.
    std::vector<CPVertex> larger = Quad(0xFF000002u);
    larger.push_back(larger[0]);
    larger.push_back(larger[1]);
    object.CreateBuffers(larger, QuadIndices(), true);
    ASSERT_EQ(object.Vertices.size(), 6u);
    const std::vector<CPVertex> up = Uploaded(object, 6);
    EXPECT_EQ(up[0].Diffuse, 0x80000014u);
    EXPECT_EQ(up[3].Diffuse, 0x80000014u);
    EXPECT_EQ(up[4].Diffuse, 0xFF000002u);
    // The source shrinks: the drawn copy is cut to it.
    object.CreateBuffers(Quad(), QuadIndices(), true);
    EXPECT_EQ(object.Vertices.size(), 4u);
    EXPECT_EQ(object.Vertices[0].Diffuse, 0x80000014u);
}

TEST_F(VertexObjectTest, TransformMovesOnlyPositions) {
    VertexObject object;
    object.CreateBuffers(Quad(), QuadIndices(), false);
    object.Vertices[2].Diffuse = 0x12345678u;
    object.Vertices.pop_back();  // a drawn copy shorter than the source is extended first
    D3DXMATRIX move;
    D3DXMatrixTranslation(&move, 10.0f, 20.0f, 30.0f);
    EXPECT_EQ(object.TransformVertices(move), S_OK);
    ASSERT_EQ(object.Vertices.size(), 4u);
    EXPECT_EQ(object.Vertices[2].Diffuse, 0x12345678u);
    EXPECT_FLOAT_EQ(object.Vertices[3].Position.x, 10.0f);
    EXPECT_FLOAT_EQ(object.Vertices[3].Position.y, 21.0f);
    EXPECT_FLOAT_EQ(object.Vertices[3].Position.z, 30.0f);
    EXPECT_FLOAT_EQ(object.SourceVertices[3].Position.y, 1.0f);
}

TEST_F(VertexObjectTest, DrawChoosesTheEffectAndSkipsWhatCannotDraw) {
    VertexObject object;
    object.CreateBuffers(Quad(), QuadIndices(), false);

    // No effect: one draw of the triangles.
    device->ClearCalls();
    EXPECT_EQ(object.Draw(0.0f), S_OK);
    auto draws = Named("DrawIndexedPrimitive");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0]->args, (std::vector<uint64_t>{D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2}));
    EXPECT_EQ(device->FVF(), 0x2D2u);
    EXPECT_EQ(device->BoundIndices(), object.IndexBuffer);
    EXPECT_EQ(device->Stream(0).buffer, object.VertexBuffer);
    EXPECT_EQ(device->Stream(0).stride, 48u);

    // The second effect chosen but missing: nothing drawn.
    device->ClearCalls();
    object.UseEffect2 = true;
    EXPECT_EQ(object.Draw(0.0f), E_FAIL);
    EXPECT_TRUE(Named("DrawIndexedPrimitive").empty());

    // An effect of two passes: one draw per pass, with the texture bound.
    object.UseEffect2 = false;
    EXPECT_EQ(object.LoadEffect("Data\\Effects\\cloud1.fx"), S_OK);
    EXPECT_EQ(object.LoadTexture("Data\\Textures\\sky.tga"), S_OK);
    device->ClearCalls();
    EXPECT_EQ(object.Draw(0.0f), S_OK);
    EXPECT_EQ(Named("DrawIndexedPrimitive").size(), 2u);
    bool bound = false;
    for (const D3D9Call* call : Named("SetTexture")) {
        bound = bound || call->args[1] == reinterpret_cast<uint64_t>(object.Texture);
    }
    EXPECT_TRUE(bound) << "the effect's pass binds the object's texture";

    // No device: nothing at all.
    device->ClearCalls();
    VertexObject::Device = nullptr;
    EXPECT_EQ(object.Draw(0.0f), E_FAIL);
    EXPECT_TRUE(device->Calls().empty());
    VertexObject::Device = device;

    // Nothing to draw: no call.
    VertexObject empty;
    empty.CreateBuffers({}, {}, false);
    device->ClearCalls();
    EXPECT_EQ(empty.Draw(0.0f), S_OK);
    EXPECT_TRUE(device->Calls().empty());
}

TEST_F(VertexObjectTest, BuffersTheDeviceRefusedAreNeitherFilledNorDrawn) {
    for (D3D9Fault fault : {D3D9Fault::CreateVertexBuffer, D3D9Fault::CreateIndexBuffer}) {
        D3D9Faults::Fail(fault, E_OUTOFMEMORY);
        VertexObject object;
        object.CreateBuffers(Quad(), QuadIndices(), false);
        device->ClearCalls();
        EXPECT_EQ(object.Draw(0.0f), E_FAIL);
        EXPECT_TRUE(device->Calls().empty());
        // The next refill makes the missing buffer only.
        object.CreateBuffers(Quad(), QuadIndices(), false);
        EXPECT_EQ(Named("CreateVertexBuffer").size() + Named("CreateIndexBuffer").size(), 1u);
        EXPECT_EQ(object.Draw(0.0f), S_OK);
    }
    D3D9Faults::Fail(D3D9Fault::LockVertexBuffer, E_FAIL);
    VertexObject locked;
    EXPECT_EQ(locked.CreateBuffers(Quad(), QuadIndices(), false), S_OK);
}

TEST_F(VertexObjectTest, TexturesReplaceAndReleaseTheOldOne) {
    VertexObject object;
    EXPECT_EQ(object.LoadTexture("Data\\Textures\\sky.tga"), S_OK);
    IDirect3DTexture9* first = object.Texture;
    ASSERT_NE(first, nullptr);
    first->AddRef();
    // An unreadable file changes nothing.
    EXPECT_EQ(object.LoadTexture("Data\\Textures\\missing.tga"), S_OK);
    EXPECT_EQ(object.Texture, first);
    EXPECT_EQ(object.LoadTexture("Data\\Textures\\sun.tga"), S_OK);
    EXPECT_NE(object.Texture, first);
    EXPECT_EQ(first->Release(), 0u) << "the replaced texture was released";
    // A file D3DX cannot read: reported on line 50, no texture left.
    scratch.Write("Data/Textures/bad.tga", "not a picture");
    EXPECT_TRUE(FAILED(object.LoadTexture("Data\\Textures\\bad.tga")));
    EXPECT_EQ(object.Texture, nullptr);
    EXPECT_EQ(ReportsAt(50), 1);
}

TEST_F(VertexObjectTest, EffectFailuresLeaveTheEffectEmpty) {
    scratch.Write("Data/Effects/bad.fx", "technique { pass { ZEnable = ; } ");
    VertexObject object;
    EXPECT_EQ(object.LoadEffect("Data\\Effects\\sky.fx"), S_OK);
    EXPECT_NE(object.Effect, nullptr);
    EXPECT_TRUE(FAILED(object.LoadEffect("Data\\Effects\\missing.fx")));
    EXPECT_EQ(object.Effect, nullptr);
    EXPECT_TRUE(reports.empty()) << "an unreadable effect file is not reported";
    EXPECT_TRUE(FAILED(object.LoadEffect("Data\\Effects\\bad.fx")));
    EXPECT_EQ(ReportsAt(114), 1);
    EXPECT_TRUE(FAILED(object.LoadEffect2("Data\\Effects\\bad.fx")));
    EXPECT_EQ(object.Effect2, nullptr);
    EXPECT_EQ(ReportsAt(149), 1);
    EXPECT_EQ(object.LoadEffect2("Data\\Effects\\sky.fx"), S_OK);
    object.OnLostDevice();
    object.OnResetDevice();
}

}  // namespace
