#include "Render/CPMaterialManager.h"

#include "Render/CPEffectManager.h"
#include "Render/CPTextureManager.h"

CPMaterialManager* CPMaterialManager::Instance = nullptr;

CPMaterialManager* GetMaterialManager() { return CPMaterialManager::Instance; }

size_t CPMaterialManager::KeyHash::operator()(const Key& key) const {
    const std::hash<const void*> pointer;
    return pointer(key.Effect) * 31u + pointer(key.Block) * 7u + static_cast<size_t>(key.Type);
}

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
    const Key key{type, effect.Get(), block.Get()};
    if (const auto found = index.find(key); found != index.end()) {
        return CPtr<CPMaterial>(found->second);
    }
    auto* material = new CPMaterial(type, effect, block);
    Materials.push_back(material);
    index.emplace(key, material);
    return CPtr<CPMaterial>(material);
}
