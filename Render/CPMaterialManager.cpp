#include "Render/CPMaterialManager.h"

#include "Render/CPEffectManager.h"
#include "Render/CPTextureManager.h"

CPMaterialManager* CPMaterialManager::Instance = nullptr;

CPMaterialManager* GetMaterialManager() { return CPMaterialManager::Instance; }

CPMaterialManager::~CPMaterialManager() {
    for (CPMaterial* material : Materials) {
        delete material;
    }
}

CPtr<CPMaterial> CPMaterialManager::GetMaterial(const std::string& effectName, std::vector<std::string> textureNames,
                                                int type) {
    if (CPEffectManager::Instance == nullptr || CPTextureManager::Instance == nullptr) {
        return CPtr<CPMaterial>();
    }
    CPtr<CPEffect> effect = CPEffectManager::Instance->GetEffect(effectName);
    CPtr<CPTextureBlock> block = CPTextureManager::Instance->GetTextureBlock(std::move(textureNames));
    for (CPMaterial* material : Materials) {
        if (material->Type == type && material->Effect == effect.Get() && material->Block == block.Get()) {
            return CPtr<CPMaterial>(material);
        }
    }
    auto* material = new CPMaterial(type, effect, block);
    Materials.push_back(material);
    return CPtr<CPMaterial>(material);
}
