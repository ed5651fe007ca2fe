// The loading screen: while a level or a screen loads nothing else draws, and each call of
// DrawLoadingScreen (the script's progress report) draws and presents one whole frame of its
// own: the background picture over the screen and a progress bar along its bottom. It uses
// none of the layers, batchers or lights, and leaves its states set for SetDefaultStates.
//
// The layout is that of a 1024 x 768 screen, scaled to the configured one (the same pixels at
// 1024 x 768). The background is loaded at its own size, so the whole picture fills the screen
// whatever its proportions; the bar's picture repeats once per percent along the bar.
#include "Render/CPRender.h"

#include "core/CPFileReader.h"
#include "core/CPLog.h"
#include "core/ConfigVars.h"
#include "platform/d3dx/D3DXTexture.h"

#include <algorithm>

namespace {

constexpr const char* SourceFile = "Render/PRender";
constexpr int BackgroundLine = 110;
constexpr int BarLine = 135;
constexpr const char* BackgroundFile = "data\\textures\\back2.jpg";
constexpr const char* BarFile = "data\\textures\\load.tga";

constexpr float DesignWidth = 1024.0f;
constexpr float DesignHeight = 768.0f;
constexpr float BarTop = 758.0f;  // design pixels; the bar runs to the bottom edge
constexpr float BarPixelsPerPercent = 10.24f;

// D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1: pixel position, colour, texture coordinates.
struct ScreenVertex {
    float X, Y, Z, Rhw;
    uint32_t Color;
    float U, V;
};
static_assert(sizeof(ScreenVertex) == 28);
constexpr DWORD ScreenVertexFVF = 0x144;

// Reads the picture and makes its texture; a missing file is silent, a refused one reported.
void LoadPicture(IDirect3DDevice9* device, const char* fileName, UINT size, int line, IDirect3DTexture9*& texture) {
    CPFileReader file(fileName, false);
    if (FAILED(file.Load())) {
        return;
    }
    const HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
        device, file.GetData(), static_cast<UINT>(file.GetLength()), size, size, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
        D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER, 0, nullptr, nullptr, &texture);
    if (FAILED(hr)) {
        texture = nullptr;
        ReportDXError(hr, SourceFile, line);
    }
}

}  // namespace

void CPRender::DrawLoadingScreen(int percent) {
    if (Device == nullptr) {
        return;
    }
    if (LoadingBackground == nullptr) {
        LoadPicture(Device, BackgroundFile, D3DX_DEFAULT_NONPOW2, BackgroundLine, LoadingBackground);
    }
    if (LoadingBar == nullptr) {
        LoadPicture(Device, BarFile, D3DX_DEFAULT, BarLine, LoadingBar);
    }
    const float w = static_cast<float>(Cfg::screenWidth);
    const float h = static_cast<float>(Cfg::screenHeight);

    Device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    Device->BeginScene();
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    Device->SetTransform(D3DTS_WORLD, &identity);
    Device->SetTransform(D3DTS_PROJECTION, &identity);
    Device->SetTransform(D3DTS_VIEW, &identity);
    Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    Device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    Device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    Device->SetRenderState(D3DRS_ZENABLE, FALSE);
    Device->SetRenderState(D3DRS_LIGHTING, FALSE);
    Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    Device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    Device->SetRenderState(D3DRS_FOGENABLE, FALSE);
    Device->SetFVF(ScreenVertexFVF);

    // Pixel centres sit half a pixel in; the texture's whole picture covers the screen.
    Device->SetTexture(0, LoadingBackground);
    const ScreenVertex background[4] = {
        {w - 0.5f, -0.5f, 1.0f, 1.0f, 0x00000000, 1.0f, 0.0f},
        {w - 0.5f, h - 0.5f, 1.0f, 1.0f, 0x00000000, 1.0f, 1.0f},
        {-0.5f, -0.5f, 1.0f, 1.0f, 0x00000000, 0.0f, 0.0f},
        {-0.5f, h - 0.5f, 1.0f, 1.0f, 0x00000000, 0.0f, 1.0f},
    };
    Device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, background, sizeof(ScreenVertex));

    Device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    Device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    Device->SetTexture(0, LoadingBar);
    const float p = static_cast<float>(std::clamp(percent, 0, 100));
    const float sx = w / DesignWidth;
    const float sy = h / DesignHeight;
    const float length = p * BarPixelsPerPercent * sx;
    const float top = BarTop * sy;
    const float bottom = DesignHeight * sy;
    const ScreenVertex bar[4] = {
        {length, top, 1.0f, 1.0f, 0xFFFFFFFF, p, 0.0f},
        {length, bottom, 1.0f, 1.0f, 0xFFFFFFFF, p, 1.0f},
        {0.0f, top, 1.0f, 1.0f, 0xFFFFFFFF, 0.0f, 0.0f},
        {0.0f, bottom, 1.0f, 1.0f, 0xFFFFFFFF, 0.0f, 1.0f},
    };
    Device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, bar, sizeof(ScreenVertex));

    Device->EndScene();
    Device->Present(nullptr, nullptr, nullptr, nullptr);
}
