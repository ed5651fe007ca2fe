// The effect, texture, material and animation managers as the host makes them, installed as
// the singletons for the object's life (for benches and fuzzers that load whole objects).
#pragma once

#include "Render/CPAnimationManager.h"
#include "Render/CPEffectManager.h"
#include "Render/CPMaterialManager.h"
#include "Render/CPTextureManager.h"
#include "platform/d3dx/D3DXEffect.h"

struct ResourceManagers {
    ResourceManagers() {
        D3DXCreateEffectPool(&pool.pool);
        effects.Pool = pool.pool;
        CPEffectManager::Instance = &effects;
        CPTextureManager::Instance = &textures;
        CPMaterialManager::Instance = &materials;
        CPAnimationManager::Instance = &animations;
    }
    // The members then go animations and materials first, the pool last.
    ~ResourceManagers() {
        CPAnimationManager::Instance = nullptr;
        CPMaterialManager::Instance = nullptr;
        CPTextureManager::Instance = nullptr;
        CPEffectManager::Instance = nullptr;
    }
    ResourceManagers(const ResourceManagers&) = delete;
    ResourceManagers& operator=(const ResourceManagers&) = delete;

    struct Pool {
        ~Pool() { SafeRelease(pool); }
        ID3DXEffectPool* pool = nullptr;
    } pool;
    CPEffectManager effects;
    CPTextureManager textures;
    CPMaterialManager materials;
    CPAnimationManager animations;
};
