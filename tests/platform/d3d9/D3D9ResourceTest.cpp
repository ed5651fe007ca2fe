#include "platform/d3d9/D3D9Buffer.h"
#include "platform/d3d9/D3D9Device.h"
#include "platform/d3d9/D3D9Faults.h"
#include "platform/d3d9/D3D9Texture.h"

#include "tests/platform/d3d9/RecordingDeviceFixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class D3D9ResourceTest : public RecordingDeviceFixture {};

struct LockCase {
    const char* what;
    UINT offset;
    UINT size;
    HRESULT result;
    UINT lockedSize;  // bytes recorded for a successful lock
};

TEST_F(D3D9ResourceTest, BufferLockRanges) {
    const LockCase cases[] = {
        {"whole buffer", 0, 0, S_OK, 96},
        {"to the end", 48, 0, S_OK, 48},
        {"a range", 8, 16, S_OK, 16},
        {"exactly to the end", 48, 48, S_OK, 48},
        {"past the end", 48, 49, D3DERR_INVALIDCALL, 0},
        {"offset past the end", 97, 0, D3DERR_INVALIDCALL, 0},
    };
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(96, D3DUSAGE_WRITEONLY, 0x2D2, D3DPOOL_MANAGED, &vb, nullptr), S_OK);
    D3D9VertexBuffer* view = D3D9VertexBuffer::From(vb);
    ASSERT_NE(view, nullptr);
    for (const LockCase& c : cases) {
        SCOPED_TRACE(c.what);
        void* data = reinterpret_cast<void*>(1);
        const size_t before = view->Locks().size();
        EXPECT_EQ(vb->Lock(c.offset, c.size, &data, D3DLOCK_NOSYSLOCK), c.result);
        if (c.result == S_OK) {
            EXPECT_EQ(data, view->Bytes().data() + c.offset);
            ASSERT_EQ(view->Locks().size(), before + 1);
            EXPECT_EQ(view->Locks().back().size, c.lockedSize);
            EXPECT_EQ(view->Locks().back().flags, D3DLOCK_NOSYSLOCK);
            EXPECT_EQ(vb->Unlock(), S_OK);
        } else {
            EXPECT_EQ(data, nullptr);
            EXPECT_EQ(view->Locks().size(), before);
        }
    }
    EXPECT_EQ(vb->Release(), 0u);
}

TEST_F(D3D9ResourceTest, BufferLockStateContentsAndFailures) {
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(12, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), S_OK);
    D3D9IndexBuffer* view = D3D9IndexBuffer::From(ib);
    EXPECT_EQ(ib->Unlock(), D3DERR_INVALIDCALL);  // not locked

    void* data = nullptr;
    ASSERT_EQ(ib->Lock(0, 0, &data, D3DLOCK_DISCARD | D3DLOCK_NOSYSLOCK), S_OK);
    EXPECT_TRUE(view->IsLocked());
    void* second = nullptr;
    EXPECT_EQ(ib->Lock(0, 2, &second, 0), D3DERR_INVALIDCALL);  // one lock at a time
    const uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
    std::memcpy(data, indices, sizeof(indices));
    EXPECT_EQ(ib->Unlock(), S_OK);
    EXPECT_FALSE(view->IsLocked());
    EXPECT_EQ(view->IndexCount(), 6u);
    EXPECT_EQ(view->Index(5), 3u);
    EXPECT_EQ(view->Locks().front().flags, 0x2800u);

    // A discard lock keeps what was written.
    ASSERT_EQ(ib->Lock(0, 0, &data, D3DLOCK_DISCARD), S_OK);
    EXPECT_EQ(static_cast<uint16_t*>(data)[2], 2u);
    ib->Unlock();

    // A buffer locked every frame keeps a bounded history, the latest lock last.
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(ib->Lock(0, 2, &data, 0), S_OK);
        ib->Unlock();
    }
    ASSERT_EQ(ib->Lock(0, 4, &data, D3DLOCK_NOOVERWRITE), S_OK);
    ib->Unlock();
    EXPECT_LE(view->Locks().size(), D3D9BufferMemory::MaxLockRecords);
    EXPECT_EQ(view->Locks().back().size, 4u);
    EXPECT_EQ(view->Locks().back().flags, static_cast<DWORD>(D3DLOCK_NOOVERWRITE));

    D3D9Faults::Fail(D3D9Fault::LockIndexBuffer, D3DERR_INVALIDCALL);
    EXPECT_EQ(ib->Lock(0, 0, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_FALSE(view->IsLocked());
    EXPECT_EQ(ib->Lock(0, 0, &data, 0), S_OK);
    ib->Unlock();

    D3DINDEXBUFFER_DESC desc;
    EXPECT_EQ(ib->GetDesc(&desc), S_OK);
    EXPECT_EQ(desc.Size, 12u);
    EXPECT_EQ(desc.Format, D3DFMT_INDEX16);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    IDirect3DDevice9* owner = nullptr;
    EXPECT_EQ(ib->GetDevice(&owner), S_OK);
    EXPECT_EQ(owner, device);
    owner->Release();
    EXPECT_EQ(ib->Release(), 0u);
}

TEST_F(D3D9ResourceTest, BufferCreationRules) {
    IDirect3DVertexBuffer9* vb = reinterpret_cast<IDirect3DVertexBuffer9*>(1);
    EXPECT_EQ(device->CreateVertexBuffer(0, 0, 0, D3DPOOL_MANAGED, &vb, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb, nullptr);
    EXPECT_EQ(device->CreateVertexBuffer(40, 0, 0x2D2, D3DPOOL_MANAGED, &vb, nullptr), D3DERR_INVALIDCALL);  // < 1 vertex
    EXPECT_EQ(device->CreateVertexBuffer(48, D3DUSAGE_DYNAMIC, 0, D3DPOOL_MANAGED, &vb, nullptr), D3DERR_INVALIDCALL);
    IDirect3DIndexBuffer9* ib = nullptr;
    EXPECT_EQ(device->CreateIndexBuffer(0, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateIndexBuffer(6, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &ib, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexBuffer(960000, D3DUSAGE_WRITEONLY, 0x2D2, D3DPOOL_MANAGED, &vb, nullptr), S_OK);
    EXPECT_EQ(D3D9VertexBuffer::From(vb)->Bytes().size(), 960000u);
    vb->Release();
    const auto creates = device->CallsNamed("CreateVertexBuffer");
    ASSERT_EQ(creates.size(), 4u);
    EXPECT_EQ(creates.back()->Text(), "CreateVertexBuffer 960000 8 722 1");
}

TEST_F(D3D9ResourceTest, TextureLevelsDescriptionsAndLod) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(512, 256, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), S_OK);
    EXPECT_EQ(texture->GetLevelCount(), 10u);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(texture->GetLevelDesc(1, &desc), S_OK);
    EXPECT_EQ(desc.Width, 256u);
    EXPECT_EQ(desc.Height, 128u);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    ASSERT_EQ(texture->GetLevelDesc(9, &desc), S_OK);
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(desc.Height, 1u);
    EXPECT_EQ(texture->GetLevelDesc(10, &desc), D3DERR_INVALIDCALL);

    EXPECT_EQ(texture->SetLOD(1), 0u);
    EXPECT_EQ(texture->GetLOD(), 1u);
    EXPECT_EQ(texture->SetLOD(40), 1u);
    EXPECT_EQ(texture->GetLOD(), 9u);  // clamped to the last level

    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(2, &locked, nullptr, 0), S_OK);
    EXPECT_EQ(locked.Pitch, 128 * 4);
    EXPECT_EQ(texture->LockRect(2, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    static_cast<uint32_t*>(locked.pBits)[1] = 0xFF112233;
    EXPECT_EQ(texture->UnlockRect(2), S_OK);
    EXPECT_EQ(texture->UnlockRect(2), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3D9Texture::From(texture)->Level(2).Pixel(1, 0), 0xFF112233u);
    texture->Release();

    // SetLOD does nothing outside the managed pool.
    ASSERT_EQ(device->CreateTexture(64, 64, 0, 0, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, &texture, nullptr), S_OK);
    EXPECT_EQ(texture->SetLOD(2), 0u);
    EXPECT_EQ(texture->GetLOD(), 0u);
    texture->Release();
}

TEST_F(D3D9ResourceTest, TextureCreationRulesAndBlockPitch) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(4, 4, 4, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, &texture, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &texture, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);

    ASSERT_EQ(device->CreateTexture(8, 8, 0, 0, D3DFMT_DXT5, D3DPOOL_MANAGED, &texture, nullptr), S_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), S_OK);
    EXPECT_EQ(locked.Pitch, 32);  // two blocks of 16 bytes
    texture->UnlockRect(0);
    EXPECT_EQ(D3D9Texture::From(texture)->Level(3).bytes.size(), 16u);  // 1x1 still takes a block
    texture->Release();

    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(device->CreateCubeTexture(16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr), S_OK);
    EXPECT_EQ(cube->GetLevelCount(), 1u);
    ASSERT_EQ(cube->LockRect(D3DCUBEMAP_FACE_NEGATIVE_Z, 0, &locked, nullptr, 0), S_OK);
    static_cast<uint32_t*>(locked.pBits)[0] = 0x12345678;
    EXPECT_EQ(cube->UnlockRect(D3DCUBEMAP_FACE_NEGATIVE_Z, 0), S_OK);
    EXPECT_EQ(D3D9CubeTexture::From(cube)->Level(D3DCUBEMAP_FACE_NEGATIVE_Z, 0).Pixel(0, 0), 0x12345678u);
    EXPECT_EQ(D3D9CubeTexture::From(cube)->Level(D3DCUBEMAP_FACE_POSITIVE_X, 0).Pixel(0, 0), 0u);
    EXPECT_EQ(cube->LockRect(static_cast<D3DCUBEMAP_FACES>(6), 0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    cube->Release();
}

}  // namespace
