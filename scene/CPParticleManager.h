// The one particle manager: particle templates by name, the list of templates with live
// particles, the named emitter descriptions particle systems read, and the flame prototypes
// that burning nodes clone. Filling the tables is the game's; this class only routes
// requests and clears.
//
// Templates and prototypes are held with the engine's counted pointers, which free nothing:
// whoever fills the tables owns what is in them.
#pragma once

#include "core/CPTask.h"
#include "core/CPtr.h"
#include "scene/CPEmitterDesc.h"
#include "scene/CPParticleDesc.h"
#include "scene/CPParticleTemplate.h"

#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CPParticleManager {
public:
    static constexpr size_t TableBuckets = 100;

    CPParticleManager();
    ~CPParticleManager();
    CPParticleManager(const CPParticleManager&) = delete;
    CPParticleManager& operator=(const CPParticleManager&) = delete;

    // Hands the request, with the rest of its chain, to the template of its name; lists the
    // template as active unless its Active byte is set. Nothing for an unknown name.
    void Spawn(const CPParticleDesc& request);
    // The same for a request the caller gives up: its chain is taken over instead of copied.
    void Spawn(CPParticleDesc&& request);
    // The same for a caller that keeps its request to fill again: the chain behind it goes to
    // the template and comes back afterwards (a template only reads it), links and all.
    void SpawnLent(CPParticleDesc& request);
    // Resets every template and empties the active list (the level stops).
    void Clear();
    // A clone of the flame prototype of that type; null for a type outside FlamePrototypes
    // or a prototype that cannot be cloned.
    CPtr<CPTask> CloneFlame(int type);

    std::vector<CPtr<CPTask>> FlamePrototypes;  // by a node's FlameType
    std::unordered_map<std::string, CPtr<CPParticleTemplate>> Templates;
    std::list<CPtr<CPParticleTemplate>> Active;
    std::unordered_map<std::string, CPEmitterDesc> Emitters;

    // Set by whoever creates the one manager (the host); read through GetParticleManager.
    static inline CPParticleManager* Instance = nullptr;

private:
    // Spawn with the request's chain already copied or taken over; returns the chain once
    // the template is done with it.
    std::unique_ptr<CPParticleDesc> SpawnWithChain(const CPParticleDesc& request,
                                                   std::unique_ptr<CPParticleDesc> chain);
};
