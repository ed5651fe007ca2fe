#include "platform/win32/CallTrace.h"
#include "platform/d3d9/D3D9Buffer.h"
#include "platform/d3d9/D3D9Device.h"
#include "platform/d3d9/D3D9Faults.h"
#include "platform/d3d9/D3D9Texture.h"

#include "tests/platform/d3d9/RecordingDeviceFixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class D3D9Test : public RecordingDeviceFixture {
protected:

    IDirect3DVertexBuffer9* MakeVertexBuffer(UINT length, DWORD fvf = 0) {
        IDirect3DVertexBuffer9* vb = nullptr;
        EXPECT_EQ(device->CreateVertexBuffer(length, D3DUSAGE_WRITEONLY, fvf, D3DPOOL_MANAGED, &vb, nullptr), S_OK);
        return vb;
    }
    IDirect3DIndexBuffer9* MakeIndexBuffer(const std::vector<uint16_t>& indices) {
        IDirect3DIndexBuffer9* ib = nullptr;
        EXPECT_EQ(device->CreateIndexBuffer(static_cast<UINT>(indices.size() * 2), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                            D3DPOOL_MANAGED, &ib, nullptr),
                  S_OK);
        void* data = nullptr;
        EXPECT_EQ(ib->Lock(0, 0, &data, 0), S_OK);
        std::memcpy(data, indices.data(), indices.size() * 2);
        EXPECT_EQ(ib->Unlock(), S_OK);
        return ib;
    }

};

TEST(D3D9Types, VertexSizesAndFormats) {
    EXPECT_EQ(D3DXGetFVFVertexSize(0x2D2), 48u);
    EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2), 48u);
    EXPECT_EQ(D3DXGetFVFVertexSize(0x144), 28u);
    EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZ | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(0)), 24u);
    EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_NORMAL), 0u);
    EXPECT_EQ(D3DFMT_DXT1, 0x31545844u);
    EXPECT_EQ(D3D9SurfacePitch(D3DFMT_DXT5, 10), 48u);  // 3 blocks of 16 bytes
    EXPECT_EQ(D3D9SurfacePitch(D3DFMT_R5G6B5, 10), 20u);
    EXPECT_EQ(D3D9VertexCountOf(D3DPT_TRIANGLESTRIP, 2), 4u);
    EXPECT_EQ(D3D9VertexCountOf(D3DPT_LINELIST, 3), 6u);
}

TEST_F(D3D9Test, DefaultStateIsDirect3DsAndQueriesFollowSets) {
    EXPECT_EQ(device->RenderState(D3DRS_LIGHTING), static_cast<DWORD>(TRUE));
    EXPECT_EQ(device->RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CCW));
    EXPECT_EQ(device->RenderState(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_ONE));
    EXPECT_EQ(FloatFromStateBits(device->RenderState(D3DRS_FOGEND)), 1.0f);
    EXPECT_EQ(device->StageState(0, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_MODULATE));
    EXPECT_EQ(device->StageState(1, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_DISABLE));
    EXPECT_EQ(device->StageState(3, D3DTSS_TEXCOORDINDEX), 3u);
    EXPECT_EQ(device->SamplerState(0, D3DSAMP_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_WRAP));
    EXPECT_EQ(device->SamplerState(5, D3DSAMP_MAXANISOTROPY), 1u);

    EXPECT_EQ(device->SetRenderState(D3DRS_FOGSTART, 0x42480000), S_OK);  // 50.0f
    EXPECT_EQ(device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT), S_OK);
    EXPECT_EQ(device->SetSamplerState(1, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP), S_OK);
    EXPECT_EQ(device->SetFVF(0x2D2), S_OK);
    EXPECT_EQ(FloatFromStateBits(device->RenderState(D3DRS_FOGSTART)), 50.0f);
    DWORD value = 0;
    EXPECT_EQ(device->GetSamplerState(1, D3DSAMP_ADDRESSV, &value), S_OK);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTADDRESS_CLAMP));
    EXPECT_EQ(device->FVF(), 0x2D2u);

    // Out-of-range slots are refused and change nothing.
    EXPECT_EQ(device->SetTextureStageState(8, D3DTSS_COLOROP, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetSamplerState(16, D3DSAMP_MINFILTER, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(500), 1), D3DERR_INVALIDCALL);
}

TEST_F(D3D9Test, CallsAreRecordedInOrderWithTheirArguments) {
    CallTrace::Enable(true);
    CallTrace::Clear();
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(device->Calls().size(), 3u);
    EXPECT_EQ(device->Calls()[0].Text(), "SetRenderState 7 0");
    EXPECT_EQ(device->Calls()[1].Text(), "SetTextureStageState 0 1 2");
    const D3D9Call& clear = device->Calls()[2];
    EXPECT_EQ(clear.name, "Clear");
    EXPECT_EQ(clear.args[2], 3u);
    EXPECT_EQ(clear.args[3], 0xFF000000u);
    EXPECT_EQ(clear.FloatArg(4), 1.0f);
    ASSERT_EQ(CallTrace::Calls().size(), 3u);
    EXPECT_EQ(CallTrace::Calls()[0], "SetRenderState 7 0");
    CallTrace::Enable(false);
    CallTrace::Clear();
    device->ClearCalls();
    EXPECT_TRUE(device->Calls().empty());
}

TEST_F(D3D9Test, CallsNotKeptStillChangeTheStateAndReachTheTrace) {
    CallTrace::Enable(true);
    CallTrace::Clear();
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->KeepCalls(false);
    EXPECT_FALSE(device->KeepsCalls());
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    ASSERT_EQ(device->BeginScene(), S_OK);
    const float triangle[3][4] = {{0, 0, 0, 1}, {1, 0, 0, 1}, {0, 1, 0, 1}};
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, 16), S_OK);
    EXPECT_EQ(device->EndScene(), S_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(device->Calls().size(), 1u);  // only the call made while keeping
    EXPECT_EQ(device->RenderState(D3DRS_ZENABLE), static_cast<DWORD>(FALSE));
    EXPECT_EQ(device->PresentCount(), 1);
    EXPECT_EQ(CallTrace::Calls().size(), 6u);
    EXPECT_EQ(CallTrace::Calls()[1], "SetRenderState 7 0");
    device->KeepCalls(true);
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    ASSERT_EQ(device->Calls().size(), 2u);
    EXPECT_EQ(device->Calls().back().Text(), "SetRenderState 7 1");
    CallTrace::Enable(false);
    CallTrace::Clear();
}

TEST_F(D3D9Test, DrawPrimitiveUpCopiesItsVerticesAndUnbindsStreamZero) {
    struct ScreenVertex {
        float x, y, z, rhw;
        DWORD colour;
        float u, v;
    };
    static_assert(sizeof(ScreenVertex) == 28);
    ScreenVertex quad[4] = {{1023.5f, -0.5f, 1, 1, 0, 1, 0},
                            {1023.5f, 767.5f, 1, 1, 0, 1, 0.75f},
                            {-0.5f, -0.5f, 1, 1, 0, 0, 0},
                            {-0.5f, 767.5f, 1, 1, 0, 0, 0.75f}};
    IDirect3DVertexBuffer9* vb = MakeVertexBuffer(28 * 4);
    device->SetStreamSource(0, vb, 0, 28);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, 28), D3DERR_INVALIDCALL);  // outside a scene
    ASSERT_EQ(device->BeginScene(), S_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, 28), S_OK);
    // A count past the device's limit is refused before any vertex is read.
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 0x100000, quad, 28), D3DERR_INVALIDCALL);
    EXPECT_TRUE(device->Calls().back().data.empty());
    EXPECT_EQ(device->EndScene(), S_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(device->PresentCount(), 1);

    const auto draws = device->CallsNamed("DrawPrimitiveUP");
    ASSERT_EQ(draws.size(), 3u);
    const D3D9Call& draw = *draws[1];
    EXPECT_EQ(draw.args[0], static_cast<uint64_t>(D3DPT_TRIANGLESTRIP));
    EXPECT_EQ(draw.args[1], 2u);
    EXPECT_EQ(draw.args[2], 28u);
    ASSERT_EQ(draw.data.size(), sizeof(quad));
    quad[1].v = 99.0f;  // the record is a copy
    ScreenVertex recorded[4];
    std::memcpy(recorded, draw.data.data(), sizeof(recorded));
    EXPECT_EQ(recorded[1].v, 0.75f);
    EXPECT_EQ(recorded[0].x, 1023.5f);
    EXPECT_EQ(device->Stream(0).buffer, nullptr);
    EXPECT_EQ(vb->Release(), 0u);  // the device gave its binding back
}

TEST_F(D3D9Test, LightsKeepTheirSlotsAndEnableFlags) {
    D3DLIGHT9 sun{};
    sun.Type = D3DLIGHT_DIRECTIONAL;
    sun.Diffuse.r = 0.5f;
    sun.Direction.z = -1.0f;
    for (DWORD i = 0; i < 30; ++i) {
        if (i < 2) {
            EXPECT_EQ(device->SetLight(i, &sun), S_OK);
        }
        EXPECT_EQ(device->LightEnable(i, i < 2), S_OK);
    }
    ASSERT_NE(device->Light(1), nullptr);
    EXPECT_EQ(device->Light(1)->Diffuse.r, 0.5f);
    EXPECT_TRUE(device->LightEnabled(1));
    EXPECT_FALSE(device->LightEnabled(2));
    // Enabling a slot never set gives Direct3D's default white light along +z.
    ASSERT_NE(device->Light(29), nullptr);
    EXPECT_EQ(device->Light(29)->Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(device->Light(29)->Direction.z, 1.0f);
    EXPECT_EQ(device->Light(30), nullptr);
    D3DLIGHT9 out{};
    EXPECT_EQ(device->GetLight(30, &out), D3DERR_INVALIDCALL);
    D3DLIGHT9 bad{};
    EXPECT_EQ(device->SetLight(0, &bad), D3DERR_INVALIDCALL);  // type 0 is not a light
    const auto sets = device->CallsNamed("SetLight");
    ASSERT_EQ(sets.size(), 3u);
    D3DLIGHT9 recorded{};
    std::memcpy(&recorded, sets[0]->data.data(), sizeof(recorded));
    EXPECT_EQ(recorded.Direction.z, -1.0f);
}

TEST_F(D3D9Test, TransformsAndMaterial) {
    const D3DMATRIX identity = device->Transform(D3DTS_VIEW);
    EXPECT_EQ(identity._11, 1.0f);
    EXPECT_EQ(identity._12, 0.0f);
    D3DMATRIX view;
    view._11 = 2.0f;
    view._43 = 14.5f;
    EXPECT_EQ(device->SetTransform(D3DTS_VIEW, &view), S_OK);
    EXPECT_EQ(device->Transform(D3DTS_VIEW)._43, 14.5f);
    EXPECT_EQ(device->Transform(D3DTS_WORLD)._11, 1.0f);
    D3DMATRIX read;
    EXPECT_EQ(device->GetTransform(D3DTS_VIEW, &read), S_OK);
    EXPECT_EQ(read._11, 2.0f);

    D3DMATERIAL9 material;
    material.Specular = {0.3f, 0.3f, 0.3f, 1.0f};
    material.Power = 10.0f;
    EXPECT_EQ(device->SetMaterial(&material), S_OK);
    EXPECT_EQ(device->Material().Power, 10.0f);
    EXPECT_EQ(device->Material().Specular.g, 0.3f);

    D3DCAPS9 caps;
    caps.MaxAnisotropy = 4;
    device->SetCaps(caps);
    D3DCAPS9 read2;
    EXPECT_EQ(device->GetDeviceCaps(&read2), S_OK);
    EXPECT_EQ(read2.MaxAnisotropy, 4u);
}

TEST_F(D3D9Test, IndexedDrawsAreCheckedAgainstTheBoundBuffers) {
    IDirect3DVertexBuffer9* vb = MakeVertexBuffer(48 * 4, 0x2D2);
    IDirect3DIndexBuffer9* ib = MakeIndexBuffer({0, 1, 2, 0, 2, 3});
    ASSERT_EQ(device->BeginScene(), S_OK);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);  // nothing bound
    device->SetStreamSource(0, vb, 0, 48);
    device->SetIndices(ib);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), S_OK);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 3, 2), D3DERR_INVALIDCALL);  // past the indices
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 4, 0, 2), D3DERR_INVALIDCALL);  // vertex 4 of 4
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), S_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 1, 2), D3DERR_INVALIDCALL);
    // No draw reads a bound buffer that is still locked.
    void* data = nullptr;
    ASSERT_EQ(ib->Lock(0, 0, &data, 0), S_OK);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), S_OK);
    ib->Unlock();
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), S_OK);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);
    vb->Unlock();
    // Indices rewritten after a draw are checked anew: the same range now names vertex 9.
    ASSERT_EQ(ib->Lock(0, 0, &data, 0), S_OK);
    static_cast<uint16_t*>(data)[4] = 9;
    ib->Unlock();
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    ASSERT_EQ(ib->Lock(0, 0, &data, 0), S_OK);
    static_cast<uint16_t*>(data)[4] = 2;
    ib->Unlock();
    D3D9Faults::Fail(D3D9Fault::Draw, E_FAIL);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), E_FAIL);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), S_OK);
    EXPECT_EQ(device->EndScene(), S_OK);
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);

    // Bindings hold references until replaced.
    EXPECT_EQ(static_cast<D3D9VertexBuffer*>(vb)->RefCount(), 2u);
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
    EXPECT_EQ(vb->Release(), 0u);
    EXPECT_EQ(ib->Release(), 0u);
}

TEST_F(D3D9Test, BoundTexturesAreCountedAndHandedOut) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), S_OK);
    EXPECT_EQ(device->SetTexture(0, texture), S_OK);
    EXPECT_EQ(device->BoundTexture(0), texture);
    IDirect3DBaseTexture9* out = nullptr;
    EXPECT_EQ(device->GetTexture(0, &out), S_OK);
    EXPECT_EQ(out, texture);
    EXPECT_EQ(out->Release(), 2u);  // the caller's, then the binding's and ours remain
    EXPECT_EQ(device->SetTexture(16, texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->Release(), 1u);  // the device still holds it; released with the device
}

TEST_F(D3D9Test, ResetIsRefusedWhileDefaultPoolResourcesLive) {
    IDirect3DVertexBuffer9* dynamic = nullptr;
    IDirect3DTexture9* target = nullptr;
    IDirect3DIndexBuffer9* managed = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(96, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &dynamic, nullptr), S_OK);
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target, nullptr), S_OK);
    ASSERT_EQ(device->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &managed, nullptr), S_OK);
    device->SetStreamSource(0, dynamic, 0, 48);
    device->LoseDevice();
    D3DPRESENT_PARAMETERS parameters;
    EXPECT_EQ(device->Reset(&parameters), D3DERR_INVALIDCALL);
    EXPECT_EQ(dynamic->Release(), 0u);  // the binding went with the attempt
    EXPECT_EQ(device->Reset(&parameters), D3DERR_INVALIDCALL);
    EXPECT_EQ(target->Release(), 0u);
    EXPECT_EQ(device->Reset(&parameters), S_OK);  // managed resources survive a reset
    EXPECT_EQ(managed->Release(), 0u);
}

TEST_F(D3D9Test, LostDeviceResetsToDefaults) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), S_OK);
    device->SetTexture(0, texture);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->LightEnable(3, TRUE);
    EXPECT_EQ(device->TestCooperativeLevel(), S_OK);

    device->LoseDevice(false);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    D3DPRESENT_PARAMETERS parameters;
    EXPECT_EQ(device->Reset(&parameters), D3DERR_DEVICELOST);
    device->LoseDevice(true);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(device->Reset(&parameters), S_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), S_OK);
    EXPECT_EQ(device->ResetCount(), 1);
    EXPECT_EQ(device->RenderState(D3DRS_LIGHTING), static_cast<DWORD>(TRUE));
    EXPECT_EQ(device->BoundTexture(0), nullptr);
    EXPECT_EQ(device->Light(3), nullptr);
    EXPECT_EQ(texture->Release(), 0u);  // the binding was given back
}

struct CreateCase {
    const char* what;
    D3D9Fault fault;
};

TEST_F(D3D9Test, EveryCreateCanBeMadeToFail) {
    const CreateCase cases[] = {{"texture", D3D9Fault::CreateTexture},
                                {"cube", D3D9Fault::CreateCubeTexture},
                                {"vertex buffer", D3D9Fault::CreateVertexBuffer},
                                {"index buffer", D3D9Fault::CreateIndexBuffer}};
    for (const CreateCase& c : cases) {
        SCOPED_TRACE(c.what);
        D3D9Faults::Fail(c.fault, D3DERR_OUTOFVIDEOMEMORY, 1);  // the second call fails, once
        for (int attempt = 0; attempt < 3; ++attempt) {
            IUnknown* made = nullptr;
            HRESULT hr = E_FAIL;
            switch (c.fault) {
                case D3D9Fault::CreateTexture: {
                    IDirect3DTexture9* t = nullptr;
                    hr = device->CreateTexture(4, 4, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &t, nullptr);
                    made = t;
                    break;
                }
                case D3D9Fault::CreateCubeTexture: {
                    IDirect3DCubeTexture9* t = nullptr;
                    hr = device->CreateCubeTexture(4, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &t, nullptr);
                    made = t;
                    break;
                }
                case D3D9Fault::CreateVertexBuffer: {
                    IDirect3DVertexBuffer9* b = nullptr;
                    hr = device->CreateVertexBuffer(48, 0, 0x2D2, D3DPOOL_MANAGED, &b, nullptr);
                    made = b;
                    break;
                }
                default: {
                    IDirect3DIndexBuffer9* b = nullptr;
                    hr = device->CreateIndexBuffer(6, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &b, nullptr);
                    made = b;
                    break;
                }
            }
            if (attempt == 1) {
                EXPECT_EQ(hr, D3DERR_OUTOFVIDEOMEMORY);
                EXPECT_EQ(made, nullptr);
            } else {
                EXPECT_EQ(hr, S_OK);
                ASSERT_NE(made, nullptr);
                made->Release();
            }
        }
    }
}

}  // namespace
