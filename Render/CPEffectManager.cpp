#include "Render/CPEffectManager.h"

#include "core/CPLog.h"

#include <unordered_set>

CPEffectManager* CPEffectManager::Instance = nullptr;

CPEffectManager::CPEffectManager() : Effects(100) {}

CPEffectManager::~CPEffectManager() {
    std::unordered_set<CPEffect*> owned;
    for (const auto& [key, effect] : Effects) {
        owned.insert(effect);
    }
    Effects.clear();
    PoolOwner = nullptr;
    for (CPEffect* effect : owned) {
        delete effect;
    }
}

CPtr<CPEffect> CPEffectManager::GetEffect(const std::string& name) {
    if (const auto found = Effects.find(name); found != Effects.end()) {
        return CPtr<CPEffect>(found->second);
    }
    auto* effect = new CPEffect();
    if (!effect->Load(name) && name != FallbackName) {
        CPLog::GetInstance().Write(0, "Effect \"%s\" cannot be loaded; \"%s\" is used\n", name.c_str(), FallbackName);
        delete effect;
        effect = Fallback();
    }
    Effects[name] = effect;
    return CPtr<CPEffect>(effect);
}

CPEffect* CPEffectManager::Fallback() {
    if (const auto found = Effects.find(FallbackName); found != Effects.end()) {
        return found->second;
    }
    // Loaded once; when it fails too, the effect stays without a compiled effect.
    auto* effect = new CPEffect();
    effect->Load(FallbackName);
    Effects[FallbackName] = effect;
    return effect;
}

void CPEffectManager::RemoveEffect(CPEffect* effect) {
    ++Generation;
    std::erase_if(Effects, [effect](const auto& entry) { return entry.second == effect; });
    if (effect != nullptr && effect->Effect != nullptr && effect->Effect == PoolOwner) {
        // The handles belong to the effect going away.
        PoolOwner = nullptr;
        for (D3DXHANDLE& handle : SharedHandles) {
            handle = nullptr;
        }
    }
}

void CPEffectManager::TakeSharedHandles(ID3DXEffect* effect) {
    static constexpr const char* names[SharedCount] = {"g_mViewInv",         "g_vLight",     "g_vLightColor",
                                                       "g_mWorldViewProjection", "g_mViewProjection", "g_mWorldView",
                                                       "g_vAmbient",         "g_vCameraPos"};
    PoolOwner = effect;
    for (int i = 0; i < SharedCount; ++i) {
        SharedHandles[i] = effect != nullptr ? effect->GetParameterByName(nullptr, names[i]) : nullptr;
    }
}
