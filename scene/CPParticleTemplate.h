// A particle effect that requests start by name: its particles, their simulation and their
// drawing are the template's own. The particle manager keeps templates by name, hands each
// request to Emit and lists a template as active when its Active byte is clear; setting and
// clearing that byte is the template's business.
#pragma once

#include "core/CPTask.h"
#include "scene/CPParticleParams.h"

#include <cstdint>

class CPParticleTemplate : public CPTask {
public:
    // Called by nothing here; kept so templates keep their places.
    virtual void HookC() {}
    virtual void HookD() {}
    // Starts particles for one request.
    virtual void Emit(const CPParticleParams& params) = 0;
    // Drops every particle (the level stops).
    virtual void Reset() = 0;

    uint8_t Active = 0;
};
