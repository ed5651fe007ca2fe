// The unit by which render objects are batched and drawn: one effect, one ordered texture
// block and the requester's type. Shared by CPMaterialManager::GetMaterial; batchers group
// objects by material pointer.
#pragma once

#include "Render/CPEffect.h"
#include "Render/CPTextureBlock.h"
#include "core/CPObject.h"
#include "core/CPtr.h"

class CPRender;

class CPMaterial : public CPObject {
public:
    // Keeps both objects with a reference on each non-null one and records the renderer.
    CPMaterial(int type, CPtr<CPEffect> effect, CPtr<CPTextureBlock> block);
    ~CPMaterial() override;

    size_t GetObjectSize() const override { return sizeof(CPMaterial); }
    std::string GetTypeName() const override;

    CPRender* Render = nullptr;
    CPEffect* Effect = nullptr;
    CPTextureBlock* Block = nullptr;
    int Type = 0;  // the requester's; read by the frame drawing
};
