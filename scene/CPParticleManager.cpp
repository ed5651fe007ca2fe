#include "scene/CPParticleManager.h"

#include "core/Singletons.h"
#include "platform/win32/CrtRand.h"

CPParticleManager* GetParticleManager() { return CPParticleManager::Instance; }

CPParticleManager::CPParticleManager() : Templates(TableBuckets), Emitters(TableBuckets) {}

CPParticleManager::~CPParticleManager() {
    if (Instance == this) {
        Instance = nullptr;
    }
}

void CPParticleManager::Spawn(const CPParticleDesc& request) {
    std::unique_ptr<CPParticleDesc> chain;
    if (request.Next != nullptr) {
        chain = std::make_unique<CPParticleDesc>();
        CPParticleDesc::CopyChain(*chain, *request.Next);
    }
    SpawnWithChain(request, std::move(chain));
}

void CPParticleManager::Spawn(CPParticleDesc&& request) { SpawnWithChain(request, std::move(request.Next)); }

void CPParticleManager::SpawnLent(CPParticleDesc& request) {
    request.Next = SpawnWithChain(request, std::move(request.Next));
}

std::unique_ptr<CPParticleDesc> CPParticleManager::SpawnWithChain(const CPParticleDesc& request,
                                                                  std::unique_ptr<CPParticleDesc> chain) {
    CPParticleParams params;
    params.Position = request.Position;
    params.Velocity = request.Velocity;
    params.Acceleration = request.Acceleration;
    params.Param2 = request.Param2;
    params.Param1 = request.Param1;
    params.Param3 = request.Param3;
    params.Flag1 = request.Flag1;
    // 0.017453292: the game's degrees-to-radians factor.
    params.Angle = static_cast<float>(CrtRand() % 360) * 0.017453292f;
    params.Flag2 = request.Flag2;
    params.Chain = std::move(chain);
    params.Tag = request.Tag;
    params.Object = request.Object;

    const auto entry = Templates.find(request.Name);
    if (entry == Templates.end() || entry->second == nullptr) {
        return std::move(params.Chain);
    }
    // The table holds the template for the call; the counted pointers free nothing.
    CPParticleTemplate* target = entry->second.Get();
    if (target->Active == 0) {
        Active.emplace_back(target);
    }
    target->Emit(params);
    return std::move(params.Chain);
}

void CPParticleManager::Clear() {
    for (auto& [name, target] : Templates) {
        if (target != nullptr) {
            target->Reset();
        }
    }
    Active.clear();
}

CPtr<CPTask> CPParticleManager::CloneFlame(int type) {
    if (type < 0 || static_cast<size_t>(type) >= FlamePrototypes.size() || FlamePrototypes[type] == nullptr) {
        return nullptr;
    }
    return FlamePrototypes[type]->Clone();
}
