#include "Render/CPTextureManager.h"

#include "core/CPLog.h"

#include <unordered_set>

CPTextureManager* CPTextureManager::Instance = nullptr;

CPTextureManager::CPTextureManager() : Textures(100) {}

CPTextureManager::~CPTextureManager() {
    // Blocks first: they hold the textures.
    std::list<CPTextureBlock*> blocks;
    blocks.swap(Blocks);
    blockIndex.clear();
    for (CPTextureBlock* block : blocks) {
        delete block;
    }
    std::unordered_set<CPTexture*> owned;
    for (const auto& [key, texture] : Textures) {
        owned.insert(texture);
    }
    Textures.clear();
    for (CPTexture* texture : owned) {
        delete texture;
    }
}

CPtr<CPTexture> CPTextureManager::GetTexture(const std::string& name) {
    if (const auto found = Textures.find(name); found != Textures.end()) {
        return CPtr<CPTexture>(found->second);
    }
    auto* texture = new CPTexture();
    if (!texture->Load(name) && name != FallbackName) {
        CPLog::GetInstance().Write(0, "Texture \"%s\" cannot be loaded; \"%s\" is used\n", name.c_str(),
                                   FallbackName);
        delete texture;
        texture = Fallback();
    }
    Textures[name] = texture;
    return CPtr<CPTexture>(texture);
}

CPTexture* CPTextureManager::Fallback() {
    if (const auto found = Textures.find(FallbackName); found != Textures.end()) {
        return found->second;
    }
    auto* texture = new CPTexture();
    texture->Load(FallbackName);
    Textures[FallbackName] = texture;
    return texture;
}

void CPTextureManager::RemoveTexture(CPTexture* texture) {
    ++Generation;
    std::erase_if(Textures, [texture](const auto& entry) { return entry.second == texture; });
}

CPtr<CPTextureBlock> CPTextureManager::GetTextureBlock(std::vector<std::string> names) {
    // The vector is borrowed from `lookup` for its capacity and taken out while in use.
    std::vector<CPTexture*> textures;
    textures.swap(lookup);
    textures.clear();
    for (const std::string& name : names) {
        textures.push_back(GetTexture(name).Get());
    }
    const auto found = blockIndex.find(textures);
    CPTextureBlock* block = found != blockIndex.end() ? found->second : nullptr;
    if (block == nullptr) {
        block = new CPTextureBlock(textures);
        Blocks.push_back(block);
        blockIndex.emplace(textures, block);
    }
    lookup.swap(textures);
    return CPtr<CPTextureBlock>(block);
}

void CPTextureManager::RemoveTextureBlock(CPTextureBlock* block) {
    ++Generation;
    Blocks.remove(block);
    std::erase_if(blockIndex, [block](const auto& entry) { return entry.second == block; });
}

size_t CPTextureManager::TexturesHash::operator()(const std::vector<CPTexture*>& textures) const {
    size_t hash = textures.size();
    for (const CPTexture* texture : textures) {
        hash = hash * 1000003u ^ std::hash<const void*>()(texture);
    }
    return hash;
}
