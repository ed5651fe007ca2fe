// Shares materials: one material per (type, effect object, texture block object). Since
// effects and blocks are shared by their requests, the same effect string, texture names in
// the same order and type always give one material. The manager owns its materials:
// deleting it deletes them (before the texture and effect managers go).
#pragma once

#include "Render/CPMaterial.h"
#include "core/CPtr.h"

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
};

// The material manager singleton, unchecked.
CPMaterialManager* GetMaterialManager();
