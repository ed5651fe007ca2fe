// Shares textures by request string (options and case included) and texture blocks by their
// texture objects in order.
//
// A request that does not load is answered with the one "error.tga" texture, listed under the
// request and under "error.tga"; the failed texture is deleted and one log report names the
// request. The manager owns its textures and blocks: deleting it deletes them, so every CPtr
// to them must be gone first (materials included).
#pragma once

#include "Render/CPTexture.h"
#include "Render/CPTextureBlock.h"
#include "core/CPtr.h"

#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

class CPTextureManager {
public:
    static CPTextureManager* Instance;
    static constexpr const char* FallbackName = "error.tga";

    CPTextureManager();
    ~CPTextureManager();
    CPTextureManager(const CPTextureManager&) = delete;
    CPTextureManager& operator=(const CPTextureManager&) = delete;

    CPtr<CPTexture> GetTexture(const std::string& name);
    // Removes every entry that holds the texture.
    void RemoveTexture(CPTexture* texture);
    // The first block holding exactly these textures in this order, or a new one.
    CPtr<CPTextureBlock> GetTextureBlock(std::vector<std::string> names);
    void RemoveTextureBlock(CPTextureBlock* block);

    std::list<CPTextureBlock*> Blocks;  // in order of creation
    std::unordered_map<std::string, CPTexture*> Textures;
    // Moves whenever a texture or block is let go of (answers given before may not hold).
    uint64_t Generation = 0;

private:
    CPTexture* Fallback();

    // The blocks by their textures in order, so a request does not walk the list.
    struct TexturesHash {
        size_t operator()(const std::vector<CPTexture*>& textures) const;
    };
    std::unordered_map<std::vector<CPTexture*>, CPTextureBlock*, TexturesHash> blockIndex;
    std::vector<CPTexture*> lookup;  // the textures of the block being asked for, kept for its capacity
};
