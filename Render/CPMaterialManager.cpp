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

namespace {

void AppendPiece(std::string& key, const void* data, size_t size) {
    const auto length = static_cast<uint32_t>(size);
    key.append(reinterpret_cast<const char*>(&length), sizeof(length));
    key.append(static_cast<const char*>(data), size);
}

}  // namespace

CPtr<CPMaterial> CPMaterialManager::GetMaterial(const std::string& effectName, std::vector<std::string> textureNames,
                                                int type) {
    CPEffectManager* effects = CPEffectManager::Instance;
    CPTextureManager* textures = CPTextureManager::Instance;
    if (effects == nullptr || textures == nullptr) {
        return CPtr<CPMaterial>();
    }
    if (requestEffects != effects || requestTextures != textures || effectGeneration != effects->Generation ||
        textureGeneration != textures->Generation) {
        requests.clear();
        requestEffects = effects;
        requestTextures = textures;
        effectGeneration = effects->Generation;
        textureGeneration = textures->Generation;
    }
    // Each piece with its length first, so no two requests spell the same key.
    requestKey.clear();
    AppendPiece(requestKey, &type, sizeof(type));
    AppendPiece(requestKey, effectName.data(), effectName.size());
    for (const std::string& name : textureNames) {
        AppendPiece(requestKey, name.data(), name.size());
    }
    if (const auto known = requests.find(requestKey); known != requests.end()) {
        return CPtr<CPMaterial>(known->second);
    }
    CPtr<CPMaterial> material = Make(effectName, std::move(textureNames), type);
    // Loading may have let go of something (a texture that failed and was deleted).
    if (effectGeneration == effects->Generation && textureGeneration == textures->Generation) {
        requests.emplace(requestKey, material.Get());
    }
    return material;
}

CPtr<CPMaterial> CPMaterialManager::Make(const std::string& effectName, std::vector<std::string> textureNames,
                                         int type) {
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
