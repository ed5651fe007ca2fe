// One 2-D or cube texture of "Data\Textures", created through D3DX from the file's bytes in
// the managed pool (so it survives a device reset). Created only by
// CPTextureManager::GetTexture.
//
// The request may carry options after ",": "nomip" (one level) and "cube". When the file is
// not on disk, its JPEG twin is read instead (wall.tga -> wall.jpg, from disk or a pack).
// 2-D textures with a mip chain skip the "texlod" most detailed levels when it is 0 or more.
#pragma once

#include "core/CPObject.h"
#include "platform/d3d9/D3D9.h"

#include <string>

class CPTexture : public CPObject {
public:
    // The names under which a video player keeps its own Direct3D textures: destroying the
    // object leaves those textures to the player.
    static bool IsVideoName(const std::string& name) { return name == "VIDEO" || name == "VIDEO1"; }

    CPTexture() = default;
    ~CPTexture() override;

    size_t GetObjectSize() const override { return sizeof(CPTexture); }
    std::string GetTypeName() const override { return "CPTexture - " + Name; }

    // False when the file cannot be read (silently) or D3DX refuses it ("DXError" report).
    bool Load(const std::string& name);

    // The path Load reads for a file name: the name itself when it is on disk, else its twin.
    static std::string ResolvePath(const std::string& fileName);

    IDirect3DTexture9* Texture = nullptr;          // owned, 2-D only
    IDirect3DCubeTexture9* CubeTexture = nullptr;  // owned, cube only
    std::string Name;                              // the whole request, options included
    bool IsCube = false;
    int Width = 0;
    int Height = 0;
};
