#include "Render/CPTexture.h"

#include "Render/CPRender.h"
#include "Render/CPTextureManager.h"
#include "core/CPFileReader.h"
#include "core/CPLog.h"
#include "core/CPTokenizer.h"
#include "core/ConfigVars.h"
#include "platform/d3dx/D3DXTexture.h"
#include "platform/files/HostFiles.h"

#include <cstdio>

namespace {

constexpr const char* SourceFile = "Render/PTexture";
constexpr int CubeLine = 107;
constexpr int FlatLine = 138;
// Triangle filter with dithering for the generated levels.
constexpr DWORD MipFilter = D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER;

}  // namespace

CPTexture::~CPTexture() {
    if (CPTextureManager::Instance != nullptr) {
        CPTextureManager::Instance->RemoveTexture(this);
    }
    if (!IsVideoName(Name)) {
        SafeRelease(Texture);
        SafeRelease(CubeTexture);
    }
}

std::string CPTexture::ResolvePath(const std::string& fileName) {
    const std::string path = "Data\\Textures\\" + fileName;
    if (std::FILE* file = HostFiles::Open(path, "rb"); file != nullptr) {
        std::fclose(file);
        return path;
    }
    // The twin keeps the dot: the last three characters become "jpg". A name too short
    // to have an extension has no twin.
    if (fileName.size() < 3) {
        return path;
    }
    return "Data\\Textures\\" + fileName.substr(0, fileName.size() - 3) + "jpg";
}

bool CPTexture::Load(const std::string& name) {
    std::string fileName;
    CPTokenizer tokens(name, ",", true);
    tokens.NextToken(fileName);
    const std::string path = ResolvePath(fileName);
    Name = name;
    // A second load replaces what the first one made.
    SafeRelease(Texture);
    SafeRelease(CubeTexture);
    IsCube = false;
    Width = 0;
    Height = 0;

    UINT mipLevels = D3DX_DEFAULT;
    bool cube = false;
    for (std::string option; tokens.NextToken(option);) {
        if (option == "nomip") {
            mipLevels = 1;
        } else if (option == "cube") {
            cube = true;
        }
    }

    CPFileReader file(path, false);
    if (FAILED(file.Load())) {
        return false;
    }
    CPRender* render = GetRender();
    IDirect3DDevice9* device = render != nullptr ? render->Device : nullptr;
    const UINT size = static_cast<UINT>(file.GetLength());

    D3DSURFACE_DESC desc{};
    if (cube) {
        IsCube = true;
        const HRESULT hr = D3DXCreateCubeTextureFromFileInMemoryEx(
            device, file.GetData(), size, D3DX_DEFAULT, mipLevels, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
            MipFilter, 0, nullptr, nullptr, &CubeTexture);
        if (FAILED(ReportDXError(hr, SourceFile, CubeLine))) {
            CubeTexture = nullptr;
            return false;
        }
        CubeTexture->GetLevelDesc(0, &desc);
    } else {
        const HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(device, file.GetData(), size, D3DX_DEFAULT, D3DX_DEFAULT,
                                                               mipLevels, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                                               D3DX_DEFAULT, MipFilter, 0, nullptr, nullptr, &Texture);
        if (FAILED(ReportDXError(hr, SourceFile, FlatLine))) {
            Texture = nullptr;
            return false;
        }
        Texture->GetLevelDesc(0, &desc);
    }
    Width = static_cast<int>(desc.Width);
    Height = static_cast<int>(desc.Height);

    // -1 (the default) and other negative values leave the texture as loaded; SetLOD takes
    // an unsigned level.
    if (!cube && mipLevels != 1 && Cfg::texlod >= 0) {
        Texture->SetLOD(static_cast<DWORD>(Cfg::texlod));
    }
    return true;
}
