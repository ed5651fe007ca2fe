// Textures from DDS, TGA, JPEG and PNG files: the header read alone, then a texture made with
// the file's size and the full chain of levels, each level locked and read, then a cube
// texture (six faces of a cube file, or a flat picture on all six). Each, while it lives, must
// stay within the memory budget beyond what the picture's own pixels justify (a chain of levels;
// six faces of a square of at most four times the picture's pixels), whatever the file claims.
#include "FuzzFiles.h"

#include "platform/d3d9/D3D9Device.h"
#include "platform/d3dx/D3DXTexture.h"


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    D3DXIMAGE_INFO info;
    const UINT length = static_cast<UINT>(size);
    const bool header = SUCCEEDED(D3DXGetImageInfoFromFileInMemory(data, length, &info));
    const uint64_t pixels = header ? uint64_t{info.Width} * info.Height * info.Depth : 0;
    const Fuzz::MemoryMark memory;
    D3D9RecordingDevice* device = D3D9RecordingDevice::Create();
    IDirect3DTexture9* texture = nullptr;
    const HRESULT made = D3DXCreateTextureFromFileInMemoryEx(device, data, length, D3DX_FROM_FILE, D3DX_FROM_FILE,
                                                             D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                                             D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &texture);
    if (SUCCEEDED(made)) {
        Fuzz::Check(header, "a file that makes a texture has a readable header");
        memory.Check("the texture", 8 * pixels);
        for (DWORD level = 0; level < texture->GetLevelCount(); ++level) {
            D3DLOCKED_RECT locked;
            D3DSURFACE_DESC desc;
            if (SUCCEEDED(texture->GetLevelDesc(level, &desc)) && SUCCEEDED(texture->LockRect(level, &locked, nullptr, 0))) {
                texture->UnlockRect(level);
            }
        }
        texture->Release();
    }
    if (header) {
        IDirect3DCubeTexture9* cube = nullptr;
        if (SUCCEEDED(D3DXCreateCubeTextureFromFileInMemory(device, data, length, &cube))) {
            memory.Check("the cube texture", 6 * 4 * 8 * pixels);
            cube->Release();
        }
    }
    device->Release();
    return 0;
}
