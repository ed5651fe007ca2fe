#include "Render/CPTextureBlock.h"

#include "Render/CPTextureManager.h"

CPTextureBlock::CPTextureBlock(const std::vector<CPTexture*>& textures)
    : Textures(textures), Count(static_cast<int>(textures.size())) {
    for (CPTexture* texture : Textures) {
        if (texture != nullptr) {
            texture->AddRef();
        }
    }
}

CPTextureBlock::~CPTextureBlock() {
    for (CPTexture* texture : Textures) {
        if (texture != nullptr) {
            texture->Release();
        }
    }
    if (CPTextureManager::Instance != nullptr) {
        CPTextureManager::Instance->RemoveTextureBlock(this);
    }
}
