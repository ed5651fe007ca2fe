// An ordered set of textures shared by materials; the block holds one reference on each.
// Blocks are made and shared by CPTextureManager::GetTextureBlock.
#pragma once

#include "Render/CPTexture.h"
#include "core/CPObject.h"

#include <vector>

class CPTextureBlock : public CPObject {
public:
    // Adds a reference to each non-null texture.
    explicit CPTextureBlock(const std::vector<CPTexture*>& textures);
    // Releases the textures and leaves the manager.
    ~CPTextureBlock() override;

    size_t GetObjectSize() const override { return sizeof(CPTextureBlock); }
    std::string GetTypeName() const override { return "CPTextureBlock"; }

    std::vector<CPTexture*> Textures;
    int Count = 0;
};
