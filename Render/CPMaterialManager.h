// Shares materials: one material per (type, effect object, texture block object). Since
// effects and blocks are shared by their requests, the same effect string, texture names in
// the same order and type always give one material. The manager owns its materials:
// deleting it deletes them (before the texture and effect managers go).
#pragma once

#include "Render/CPMaterial.h"
#include "core/CPtr.h"

#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

class CPMaterialManager {
public:
    static CPMaterialManager* Instance;

    CPMaterialManager() = default;
    ~CPMaterialManager();
    CPMaterialManager(const CPMaterialManager&) = delete;
    CPMaterialManager& operator=(const CPMaterialManager&) = delete;

    // Needs the effect and texture managers.
    // Null while the effect or texture manager is missing.
    CPtr<CPMaterial> GetMaterial(const std::string& effectName, std::vector<std::string> textureNames, int type);

    std::list<CPMaterial*> Materials;  // in order of creation

private:
    // The material of a request not answered before, through the effect and texture managers.
    CPtr<CPMaterial> Make(const std::string& effectName, std::vector<std::string> textureNames, int type);

    // The materials by what makes them one, so a request does not walk the list.
    struct Key {
        int Type;
        const CPEffect* Effect;
        const CPTextureBlock* Block;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& key) const;
    };
    std::unordered_map<Key, CPMaterial*, KeyHash> index;

    // Every request answered, by its type, effect string and texture names spelled into one
    // key, so that a request made before costs one look-up instead of one per name. It holds
    // while the effect and texture managers are the same and have let go of nothing since
    // (their generations); otherwise it starts over.
    std::unordered_map<std::string, CPMaterial*> requests;
    std::string requestKey;  // the key being looked up, kept for its capacity
    const void* requestEffects = nullptr;
    const void* requestTextures = nullptr;
    uint64_t effectGeneration = 0;
    uint64_t textureGeneration = 0;
};

// The material manager singleton, unchecked.
CPMaterialManager* GetMaterialManager();
