// One compiled effect file of "Data\Effects" with the parameter handles the frame drawing
// sets: "time", the texture parameters "tex0", "tex1", ... (numbered without gaps) and, for
// the first effect compiled into the shared pool, the pool's scene parameters (kept by the
// effect manager). Created only by CPEffectManager::GetEffect.
//
// A request may carry options after ","; the only one is "shared" (compile into the pool).
// A file that cannot be read is replaced by "simple.fx", compiled outside the pool.
#pragma once

#include "Render/CPDeviceObject.h"
#include "core/CPObject.h"
#include "platform/d3dx/D3DXEffect.h"

#include <string>
#include <vector>

class CPEffect : public CPObject, public CPDeviceObject {
public:
    CPEffect() = default;
    // Leaves the manager and releases the compiled effect.
    ~CPEffect() override;

    size_t GetObjectSize() const override { return sizeof(CPEffect); }
    std::string GetTypeName() const override { return "CPEffect - " + Name; }

    void OnLostDevice() override;
    void OnResetDevice() override;

    // Compiles the request on the renderer's device. False, with a "DXError" report, when
    // the file (or its "simple.fx" stand-in) does not compile; Effect then stays null.
    bool Load(const std::string& name);

    std::vector<D3DXHANDLE> TextureHandles;
    ID3DXEffect* Effect = nullptr;  // owned
    D3DXHANDLE TimeHandle = nullptr;
    std::string Name;  // the whole request, options included
};
