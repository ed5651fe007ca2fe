// Pools of shots by type name, the launch from them and the per-frame flight.
#include "game/CPShotManager.h"

#include "Render/CPRenderBatcher.h"
#include "Sound/PSoundManager.h"
#include "core/Singletons.h"
#include "game/CPEffectShot.h"
#include "game/CPLightningShot.h"

#include <unordered_set>

CPShotManager* GetShotManager() { return CPShotManager::Instance; }

CPShotManager::~CPShotManager() {
    // A shot is in one list at a time, but a set keeps a fault from deleting one twice.
    std::unordered_set<CPShot*> shots;
    for (const CPtr<CPShot>& shot : Launched) {
        shots.insert(shot.Get());
    }
    for (auto& [name, list] : Pool) {
        for (const CPtr<CPShot>& shot : list) {
            shots.insert(shot.Get());
        }
    }
    Launched.clear();
    Pool.clear();
    shots.erase(nullptr);
    for (CPShot* shot : shots) {
        shot->Sound = nullptr;
        delete shot;
    }
    for (CNSound* sound : sounds) {
        delete sound;
    }
}

bool CPShotManager::AddPrototype(CPtr<CPShot> prototype) {
    if (prototype == nullptr) {
        return false;
    }
    std::vector<CPtr<CPShot>>& list = Pool[prototype->GetShotName()];
    if (!list.empty()) {
        return false;
    }
    list.push_back(prototype);
    AdoptSound(*prototype);
    return true;
}

void CPShotManager::AdoptSound(const CPShot& prototype) {
    CNSound* sound = prototype.Sound.Get();
    if (sound == nullptr) {
        return;
    }
    if (CPSoundManager* manager = GetSoundManager(); manager != nullptr && manager->Cache != nullptr) {
        for (const CPSoundCache::Entry& entry : manager->Cache->Entries) {
            if (entry.Sound == sound) {
                return;  // the cache's
            }
        }
    }
    sounds.insert(sound);
}

bool CPShotManager::AddPrototypes(const std::vector<ShotDescription>& shots, const std::string& fileName,
                                  std::string& error) {
    for (const ShotDescription& description : shots) {
        const std::string where = fileName + ":" + std::to_string(description.Line) + ": ";
        auto found = Pool.find(description.Name);
        if (found != Pool.end() && !found->second.empty()) {
            error = where + "shot \"" + description.Name + "\" already has a pool";
            return false;
        }
        CPShot* shot = nullptr;
        if (description.Class == "lightning") {
            shot = new CPLightningShot(description.Name);
        } else if (description.Class == "effect") {
            shot = new CPEffectShot(description.Name);
        } else {
            error = where + "unknown shot class \"" + description.Class + "\"";
            return false;
        }
        shot->Setup(description.Parameters);
        AddPrototype(CPtr<CPShot>(shot));
    }
    return true;
}

bool CPShotManager::LoadDescriptions(const std::string& fileName, std::string& error) {
    std::vector<ShotDescription> shots;
    if (!LoadShotDescriptionFile(fileName, shots, error)) {
        return false;
    }
    // Refuse before adding anything, so a clash leaves the pools as they were.
    for (const ShotDescription& description : shots) {
        auto found = Pool.find(description.Name);
        if (found != Pool.end() && !found->second.empty()) {
            error = fileName + ":" + std::to_string(description.Line) + ": shot \"" + description.Name +
                    "\" already has a pool";
            return false;
        }
    }
    return AddPrototypes(shots, fileName, error);
}

void CPShotManager::LaunchShot(const std::string& name, const D3DXVECTOR3& position, const D3DXVECTOR3& direction,
                               float lifetime, CPtr<CPGameObject> owner, int32_t extra) {
    std::vector<CPtr<CPShot>>& list = Pool[name];
    if (list.empty()) {
        return;
    }
    CPtr<CPShot> shot;
    if (list.size() == 1) {
        shot = list.front()->Clone();
        if (shot == nullptr) {
            return;
        }
    } else {
        shot = list.back();
        list.pop_back();
    }
    shot->Launch(position, direction, lifetime, owner, extra);
    Launched.push_back(shot);
}

void CPShotManager::Update() {
    const size_t count = Launched.size();
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i) {
        // A copy: Step may launch shots, which grows Launched.
        const CPtr<CPShot> shot = Launched[i];
        if (shot->Step()) {
            Launched[kept++] = shot;
        } else {
            shot->DropOwner();
            Pool[shot->GetShotName()].push_back(shot);
        }
    }
    // Shots launched during the frame follow the ones still flying.
    Launched.erase(Launched.begin() + static_cast<std::ptrdiff_t>(kept),
                   Launched.begin() + static_cast<std::ptrdiff_t>(count));
}

void CPShotManager::Draw(CPRenderBatcher& batcher) {
    for (const CPtr<CPShot>& shot : Launched) {
        batcher.AddObject(CPtr<CPGameObject>(shot.Get()));
    }
}

size_t CPShotManager::PoolSize(const std::string& name) const {
    auto found = Pool.find(name);
    return found == Pool.end() ? 0 : found->second.size();
}
