// Shared mesh buffers and device loss: the device-object list, the renderer's reset, and a
// frame that records the same calls before the loss and after the reset.
#include "RenderFixture.h"

#include "Render/CPDeviceObject.h"
#include "platform/d3d9/D3D9Buffer.h"
#include "platform/d3dx/D3DXEffectObject.h"

#include <cstring>

using namespace RenderFixtures;

namespace {

std::vector<CPVertex> Quad() {
    std::vector<CPVertex> vertices(4);
    for (int i = 0; i < 4; ++i) {
        vertices[i].Position = D3DXVECTOR3(static_cast<float>(i & 1), static_cast<float>(i >> 1), 0.0f);
        vertices[i].Diffuse = 0xFF000000u | static_cast<uint32_t>(i);
    }
    return vertices;
}

const std::vector<uint16_t> QuadIndices = {0, 1, 2, 2, 1, 3, 0};  // 7: two whole triangles

}  // namespace

class MeshBufferTest : public RenderTest {};

TEST_F(MeshBufferTest, BuffersAreSharedByNameWhateverTheCase) {
    const std::vector<CPVertex> quad = Quad();
    auto record = render->CreateMeshBuffers("Car\\Body", quad.data(), QuadIndices.data(), 4, 7);
    ASSERT_TRUE(record->HasBuffers());
    EXPECT_EQ(record->VertexCount, 4);
    EXPECT_EQ(record->TriangleCount, 2);
    EXPECT_EQ(record->Indices, QuadIndices);
    ASSERT_EQ(render->MeshBufferMap.count("car\\body"), 1u);

    const auto* vb = D3D9VertexBuffer::From(record->VertexBuffer);
    const auto* ib = D3D9IndexBuffer::From(record->IndexBuffer);
    ASSERT_NE(vb, nullptr);
    ASSERT_NE(ib, nullptr);
    EXPECT_EQ(vb->Desc().Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(vb->Desc().FVF, 0x2D2u);
    EXPECT_EQ(ib->Desc().Format, D3DFMT_INDEX16);
    ASSERT_EQ(vb->Bytes().size(), 4 * sizeof(CPVertex));
    EXPECT_EQ(std::memcmp(vb->Bytes().data(), quad.data(), vb->Bytes().size()), 0);
    EXPECT_EQ(ib->IndexCount(), 7u);
    EXPECT_EQ(ib->Index(5), 3u);
    EXPECT_FALSE(vb->IsLocked());
    EXPECT_FALSE(ib->IsLocked());

    device->ClearCalls();
    auto again = render->CreateMeshBuffers("CAR\\BODY", nullptr, nullptr, 0, 0);
    EXPECT_EQ(again, record);
    EXPECT_TRUE(device->Calls().empty());
}

TEST_F(MeshBufferTest, ReleasedRecordsLiveOnWithoutBuffers) {
    const std::vector<CPVertex> quad = Quad();
    auto held = render->CreateMeshBuffers("rock", quad.data(), QuadIndices.data(), 4, 6);
    render->ReleaseMeshBuffers();
    EXPECT_TRUE(render->MeshBufferMap.empty());
    EXPECT_EQ(held->VertexBuffer, nullptr);
    EXPECT_EQ(held->IndexBuffer, nullptr);
    EXPECT_EQ(held->Vertices.size(), 4u);

    auto fresh = render->CreateMeshBuffers("rock", quad.data(), QuadIndices.data(), 4, 6);
    EXPECT_NE(fresh, held);
    EXPECT_TRUE(fresh->HasBuffers());
}

TEST_F(MeshBufferTest, RefusedBuffersAndEmptyMeshesGiveRecordsWithoutBuffers) {
    const std::vector<CPVertex> quad = Quad();
    const struct {
        const char* name;
        D3D9Fault fault;
        int vertices;
        int indices;
    } cases[] = {
        {"vertex buffer refused", D3D9Fault::CreateVertexBuffer, 4, 6},
        {"index buffer refused", D3D9Fault::CreateIndexBuffer, 4, 6},
        {"vertex lock refused", D3D9Fault::LockVertexBuffer, 4, 6},
        {"index lock refused", D3D9Fault::LockIndexBuffer, 4, 6},
        {"no vertices", D3D9Fault::Count, 0, 6},
        {"no indices", D3D9Fault::Count, 4, 0},
        {"negative counts", D3D9Fault::Count, -4, -6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        D3D9Faults::Reset();
        if (c.fault != D3D9Fault::Count) {
            D3D9Faults::Fail(c.fault, E_OUTOFMEMORY);
        }
        auto record = render->CreateMeshBuffers(c.name, quad.data(), QuadIndices.data(), c.vertices, c.indices);
        ASSERT_TRUE(record);
        EXPECT_FALSE(record->HasBuffers());
        EXPECT_EQ(record->VertexBuffer, nullptr);
        EXPECT_EQ(record->IndexBuffer, nullptr);
    }
}

class DeviceLossTest : public RenderTest {};

TEST_F(DeviceLossTest, DeviceObjectsAreListedInOrderOfConstruction) {
    const size_t before = CPDeviceObject::List().size();
    auto first = std::make_unique<CPEffect>();
    auto second = std::make_unique<CPEffect>();
    ASSERT_EQ(CPDeviceObject::List().size(), before + 2);
    EXPECT_EQ(CPDeviceObject::List().back(), second.get());
    first.reset();
    ASSERT_EQ(CPDeviceObject::List().size(), before + 1);
    EXPECT_EQ(CPDeviceObject::List().back(), second.get());
    second.reset();
    EXPECT_EQ(CPDeviceObject::List().size(), before);
}

TEST_F(DeviceLossTest, AFrameAfterTheResetRecordsWhatItDidBeforeTheLoss) {
    WriteEffect("lit.fx", "texture tex0;\nfloat time;");
    WriteTexture("wall.tga");
    CPtr<CPEffect> effect = effects->GetEffect("lit.fx");
    CPtr<CPTexture> texture = textures->GetTexture("wall.tga");
    const std::vector<CPVertex> quad = Quad();
    auto mesh = render->CreateMeshBuffers("quad", quad.data(), QuadIndices.data(), 4, 6);
    ASSERT_NE(effect->Effect, nullptr);
    ASSERT_NE(texture->Texture, nullptr);
    ASSERT_TRUE(mesh->HasBuffers());
    render->Ambient = 0xFF7F7F7F;
    render->SetDefaultStates();

    // One frame of a textured mesh drawn with its effect.
    auto drawFrame = [&] {
        device->ClearCalls();
        EXPECT_EQ(device->BeginScene(), S_OK);
        ID3DXEffect* fx = effect->Effect;
        fx->SetTexture(effect->TextureHandles[0], texture->Texture);
        fx->SetFloat(effect->TimeHandle, 1.5f);
        UINT passes = 0;
        fx->Begin(&passes, 0);
        for (UINT pass = 0; pass < passes; ++pass) {
            fx->BeginPass(pass);
            device->SetTexture(0, texture->Texture);
            device->SetStreamSource(0, mesh->VertexBuffer, 0, sizeof(CPVertex));
            device->SetIndices(mesh->IndexBuffer);
            device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, mesh->VertexCount, 0, mesh->TriangleCount);
            fx->EndPass();
        }
        fx->End();
        device->EndScene();
        const HRESULT presented = device->Present(nullptr, nullptr, nullptr, nullptr);
        std::vector<std::string> calls;
        for (const D3D9Call& call : device->Calls()) {
            calls.push_back(call.Text());
        }
        return std::make_pair(presented, calls);
    };

    const auto before = drawFrame();
    EXPECT_EQ(before.first, S_OK);
    ASSERT_FALSE(device->CallsNamed("DrawIndexedPrimitive").empty());

    device->LoseDevice();
    EXPECT_EQ(drawFrame().first, D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);

    D3DPRESENT_PARAMETERS parameters;
    EXPECT_EQ(render->ResetDevice(&parameters), S_OK);
    auto* fx = static_cast<D3DXEffectObject*>(effect->Effect);
    EXPECT_EQ(fx->LostCount(), 1);
    EXPECT_EQ(fx->ResetCount(), 1);
    EXPECT_EQ(device->TestCooperativeLevel(), S_OK);
    // The level's state is back.
    EXPECT_EQ(device->FVF(), 0x2D2u);
    EXPECT_EQ(device->RenderState(D3DRS_AMBIENT), 0xFF7F7F7Fu);
    EXPECT_EQ(device->SamplerState(1, D3DSAMP_ADDRESSU), DWORD{D3DTADDRESS_CLAMP});

    const auto after = drawFrame();
    EXPECT_EQ(after.first, S_OK);
    EXPECT_EQ(after.second, before.second);
}

TEST_F(DeviceLossTest, AResetThatFailsLeavesTheObjectsLost) {
    WriteEffect("lit.fx", "");
    CPtr<CPEffect> effect = effects->GetEffect("lit.fx");
    auto* fx = static_cast<D3DXEffectObject*>(effect->Effect);
    device->LoseDevice(false);
    D3DPRESENT_PARAMETERS parameters;
    EXPECT_EQ(render->ResetDevice(&parameters), D3DERR_DEVICELOST);
    EXPECT_EQ(fx->LostCount(), 1);
    EXPECT_EQ(fx->ResetCount(), 0);

    device->LoseDevice(true);
    EXPECT_EQ(render->ResetDevice(&parameters), S_OK);
    EXPECT_EQ(fx->ResetCount(), 1);
}

namespace {

// A device object with a dynamic buffer of the default pool, as the batchers and the sky hold.
class DynamicBuffer : public CPDeviceObject {
public:
    explicit DynamicBuffer(IDirect3DDevice9* device) : device(device) { OnResetDevice(); }
    ~DynamicBuffer() override { SafeRelease(buffer); }
    void OnLostDevice() override { SafeRelease(buffer); }
    void OnResetDevice() override {
        device->CreateVertexBuffer(48 * 16, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, 0x2D2, D3DPOOL_DEFAULT, &buffer,
                                   nullptr);
    }
    IDirect3DDevice9* device;
    IDirect3DVertexBuffer9* buffer = nullptr;
};

}  // namespace

TEST_F(DeviceLossTest, DefaultPoolResourcesAreGivenUpAndMadeAgain) {
    DynamicBuffer dynamic(device);
    ASSERT_NE(dynamic.buffer, nullptr);
    device->LoseDevice();
    D3DPRESENT_PARAMETERS parameters;
    EXPECT_EQ(render->ResetDevice(&parameters), S_OK);
    EXPECT_NE(dynamic.buffer, nullptr);

    // A holder that keeps its buffer through the loss makes the reset fail, as Direct3D does.
    IDirect3DVertexBuffer9* kept = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(48, 0, 0x2D2, D3DPOOL_DEFAULT, &kept, nullptr), S_OK);
    device->LoseDevice();
    EXPECT_EQ(render->ResetDevice(&parameters), D3DERR_INVALIDCALL);
    EXPECT_EQ(dynamic.buffer, nullptr);
    kept->Release();
    EXPECT_EQ(render->ResetDevice(&parameters), S_OK);
    EXPECT_NE(dynamic.buffer, nullptr);
}
