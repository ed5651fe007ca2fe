#include "Render/CPRender.h"

#include "Render/CPDeviceObject.h"
#include "Render/CPRenderBatcher.h"
#include "Render/CPRenderFactory.h"
#include "core/ConfigVars.h"

#include <cmath>
#include <cstdio>
#include <cstring>

CPRender* CPRender::Instance = nullptr;

CPRender* GetRender() { return CPRender::Instance; }

namespace {

DWORD FloatBits(float value) {
    DWORD bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

}  // namespace

// Copied nodes and burning nodes reach the render-object classes through the factory.
CPRender::CPRender() {
    D3DXMatrixIdentity(&ViewProjection);
    CPRenderFactory::Install();
}

CPRender::~CPRender() {
    StaticBatcher = nullptr;
    DynamicBatcher = nullptr;
    Sky.reset();
    Layers.clear();
    ownCameras.clear();
    ReleaseMeshBuffers();
    SafeRelease(LoadingBackground);
    SafeRelease(LoadingBar);
}

void CPRender::LoadSky(int index) {
    Sky.reset();
    if (!CreateSky) {
        return;
    }
    Sky = CreateSky();
    if (Sky) {
        char name[32];
        std::snprintf(name, sizeof name, "skyscape%d.txt", index);
        Sky->Load(name);
    }
}

D3DXVECTOR3& CPRender::ProjectToScreen(D3DXVECTOR3& out, const D3DXVECTOR3& point) const {
    D3DXVECTOR4 clip;
    D3DXVec3Transform(&clip, &point, &ViewProjection);
    const float width = static_cast<float>(Cfg::screenWidth);
    const float height = static_cast<float>(Cfg::screenHeight);
    out.x = (clip.x / clip.w + 1.0f) * width * 0.5f;
    out.y = height * 0.5f - (clip.y / clip.w) * height * 0.5f;
    out.z = 0.0f;
    return out;
}

void CPRender::SetTextureFilter() {
    if (Device == nullptr) {
        return;
    }
    const float aniso = Cfg::aniso;
    if (aniso > 0.0f) {
        const float scaled = std::ceil(static_cast<float>(MaxAnisotropy) * aniso);
        const DWORD maximum = scaled < static_cast<float>(MaxAnisotropy) ? static_cast<DWORD>(scaled)
                                                                         : static_cast<DWORD>(MaxAnisotropy);
        Device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_ANISOTROPIC);
        Device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC);
        Device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
        Device->SetSamplerState(0, D3DSAMP_MAXANISOTROPY, maximum);
        Device->SetSamplerState(1, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        Device->SetSamplerState(1, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        Device->SetSamplerState(1, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
        return;
    }
    for (DWORD sampler = 0; sampler < 2; ++sampler) {
        Device->SetSamplerState(sampler, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        Device->SetSamplerState(sampler, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        Device->SetSamplerState(sampler, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    }
}

void CPRender::ApplyDefaultStates() {
    if (Device == nullptr) {
        return;
    }
    IDirect3DDevice9* d = Device;

    D3DXMATRIX view;
    const D3DXVECTOR3 eye(0.0f, 0.0f, 14.5f);
    const D3DXVECTOR3 at(0.0f, 0.0f, 0.0f);
    const D3DXVECTOR3 up(0.0f, 0.0f, 1.0f);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    d->SetTransform(D3DTS_VIEW, &view);
    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, 1.0995574f, 4.0f / 3.0f, 0.1f, 1000.0f);
    d->SetTransform(D3DTS_PROJECTION, &projection);

    d->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    d->SetRenderState(D3DRS_LIGHTING, TRUE);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    d->SetRenderState(D3DRS_ZENABLE, TRUE);
    d->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);

    SetTextureFilter();

    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    d->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);

    d->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    d->SetRenderState(D3DRS_DITHERENABLE, TRUE);
    d->SetRenderState(D3DRS_CLIPPING, TRUE);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    d->SetRenderState(D3DRS_AMBIENT, Ambient);

    d->SetFVF(CPVertexFVF);

    d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    d->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
    d->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(1, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
    d->SetSamplerState(1, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    d->SetSamplerState(1, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);

    d->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_DISABLE);
    d->SetTextureStageState(2, D3DTSS_ALPHAOP, D3DTOP_DISABLE);

    D3DMATERIAL9 material;
    material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Specular = {0.3f, 0.3f, 0.3f, 1.0f};
    material.Emissive = {0.0f, 0.0f, 0.0f, 0.0f};
    material.Power = 10.0f;
    d->SetMaterial(&material);

    d->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    d->SetRenderState(D3DRS_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL);
    d->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
    d->SetRenderState(D3DRS_FOGENABLE, FALSE);
    d->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    d->SetRenderState(D3DRS_FOGDENSITY, FloatBits(0.0f));
    d->SetRenderState(D3DRS_FOGSTART, FloatBits(50.0f));
    const float distance = static_cast<float>(Cfg::distance);
    d->SetRenderState(D3DRS_FOGEND, FloatBits(distance - 0.1f * distance));
    d->SetRenderState(D3DRS_FOGCOLOR, FogColor);
}

void CPRender::SetDefaultStates() {
    ApplyDefaultStates();
    defaultsApplied = true;

    // The 2-D layer: pixel coordinates, y growing downward. Its camera is made once and set
    // again at every level start (the screen size may have changed).
    std::unique_ptr<CPBaseCamera>& own = ownCameras[InterfaceLayer];
    if (own == nullptr) {
        own = std::make_unique<CPBaseCamera>();
    }
    CPBaseCamera* camera = own.get();
    D3DXMATRIX ortho;
    D3DXMatrixOrthoOffCenterLH(&ortho, 0.0f, static_cast<float>(Cfg::screenWidth),
                               static_cast<float>(Cfg::screenHeight), 0.0f, 0.0f, 1.0f);
    camera->SetViewMatrix(&ortho.m[0][0]);
    SetLayerCamera(InterfaceLayer, CPtr<CPBaseCamera>(camera));
}

CPRenderLayer& CPRender::Layer(int layer) { return Layers.try_emplace(layer).first->second; }

void CPRender::SetLayerCamera(int layer, CPtr<CPBaseCamera> camera) {
    CPRenderLayer& entry = Layer(layer);
    ++entry.UseCount;
    entry.Number = layer;
    entry.Camera = camera;
}

void CPRender::SetOwnLayerCamera(int layer, std::unique_ptr<CPBaseCamera> camera) {
    SetLayerCamera(layer, CPtr<CPBaseCamera>(camera.get()));
    ownCameras[layer] = std::move(camera);
}

void CPRender::SetLayerMatrix(const float matrix[16], int layer) {
    CPRenderLayer& entry = Layer(layer);
    ++entry.UseCount;
    entry.MatrixSet = true;
    std::memcpy(&entry.Matrix.m[0][0], matrix, 16 * sizeof(float));
}

void CPRender::SetFade(float value) {
    if (value < 0.0f) {
        value = 0.0f;
    } else if (value > 1.0f) {
        value = 1.0f;
    }
    Fade = static_cast<float>(MaxFade) * value;
    if (Fade > static_cast<float>(MaxFade)) {
        Fade = static_cast<float>(MaxFade);
    }
    if (Fade < 0.0f) {
        Fade = 0.0f;
    }
}

void CPRender::AddLine(uint32_t color, const D3DXVECTOR3& from, const D3DXVECTOR3& to) {
    LinesPending = true;
    CPVertex vertex;
    vertex.Diffuse = color;
    vertex.Position = from;
    Lines.push_back(vertex);
    vertex.Position = to;
    Lines.push_back(vertex);
}

void CPRender::SetAmbient(uint32_t color, float r, float g, float b) {
    Ambient = color;
    AmbientColor = {r, g, b, 1.0f};
    if (Device != nullptr) {
        Device->SetRenderState(D3DRS_AMBIENT, color);
    }
}

bool CPRender::AddLight(const D3DLIGHT9& light) {
    if (LightCount < 0 || LightCount >= MaxLights) {
        return false;
    }
    Lights[LightCount++] = light;
    return true;
}

CPtr<CPRenderBatcher> CPRender::GetStaticBatcher() const { return StaticBatcher; }
CPtr<CPRenderBatcher> CPRender::GetDynamicBatcher() const { return DynamicBatcher; }

void CPRender::ApplyLights() {
    ++LightsApplied;
    const int count = LightCount < 0 ? 0 : (LightCount > MaxLights ? MaxLights : LightCount);
    for (int i = 0; i < count; ++i) {
        if (Device != nullptr) {
            Device->SetLight(static_cast<DWORD>(i), &Lights[i]);
        }
        if (Lights[i].Type == D3DLIGHT_DIRECTIONAL) {
            SunLight = Lights[i];
        }
        if (Device != nullptr) {
            Device->LightEnable(static_cast<DWORD>(i), TRUE);
        }
    }
    for (int i = count; i < MaxLights; ++i) {
        if (Device != nullptr) {
            Device->LightEnable(static_cast<DWORD>(i), FALSE);
        }
    }
    LightCount = 0;
}

void CPRender::CreateBlurGrid(int columns, int rows) {
    BlurVertices.clear();
    BlurDirections.clear();
    BlurColumns = 0;
    BlurRows = 0;
    if (columns <= 0 || rows <= 0) {
        return;
    }
    BlurColumns = columns;
    BlurRows = rows;
    const float width = static_cast<float>(Cfg::screenWidth);
    const float height = static_cast<float>(Cfg::screenHeight);
    for (int r = 0; r <= rows; ++r) {
        for (int c = 0; c <= columns; ++c) {
            BlurVertex vertex;
            vertex.U = static_cast<float>(c) / static_cast<float>(columns);
            vertex.V = static_cast<float>(r) / static_cast<float>(rows);
            vertex.X = vertex.U * width;
            vertex.Y = vertex.V * height;
            BlurVertices.push_back(vertex);
        }
    }
    BlurDirections.resize(BlurVertices.size());
    SetRadialBlurCenter(0.0f);
}

void CPRender::SetRadialBlurCenter(float y) {
    if (Cfg::blur == 0) {
        return;
    }
    const size_t count = static_cast<size_t>(BlurColumns + 1) * static_cast<size_t>(BlurRows + 1);
    if (BlurColumns <= 0 || BlurRows <= 0 || BlurVertices.size() < count || BlurDirections.size() < count) {
        return;
    }
    const float cx = static_cast<float>(Cfg::screenWidth) * 0.5f;
    const float cy = (y + 1.0f) * static_cast<float>(Cfg::screenHeight) * 0.5f;
    for (int r = 0; r <= BlurRows; ++r) {
        for (int c = 0; c <= BlurColumns; ++c) {
            const size_t i = static_cast<size_t>(BlurColumns + 1) * static_cast<size_t>(r) + static_cast<size_t>(c);
            const D3DXVECTOR2 offset(BlurVertices[i].X - cx, BlurVertices[i].Y - cy);
            D3DXVec2Normalize(&BlurDirections[i], &offset);
        }
    }
}

HRESULT CPRender::ResetDevice(D3DPRESENT_PARAMETERS* parameters) {
    if (Device == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if (!objectsLost) {
        CPDeviceObject::LoseAll();
        objectsLost = true;
    }
    const HRESULT hr = Device->Reset(parameters);
    if (FAILED(hr)) {
        // Still lost: the objects stay without their resources until a Reset succeeds.
        return hr;
    }
    CPDeviceObject::ResetAll();
    objectsLost = false;
    if (defaultsApplied) {
        ApplyDefaultStates();
    }
    return hr;
}
