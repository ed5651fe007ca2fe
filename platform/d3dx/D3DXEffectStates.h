// The state assignments of effect passes and sampler_state blocks, resolved from their
// names and value tokens into device calls: render states, texture-stage states, sampler
// states, textures, samplers, transforms and light enables. Values are numbers, the state
// kind's enumerator names without prefix ("SrcAlpha", "Linear", "CCW", combinable with
// "|"), TRUE/FALSE, or a parameter written as <name>, (name) or name.
#pragma once

#include "platform/d3dx/D3DXEffectSource.h"

#include <functional>

struct D3DXResolvedState {
    enum Kind { RenderState, StageState, SamplerState, Texture, Sampler, Transform, LightEnable, Shader, Ignored };
    Kind kind = Ignored;
    DWORD slot = 0;    // stage, sampler or light index
    DWORD target = 0;  // state enumerator, or transform type
    bool isFloat = false;
    DWORD literal = 0;       // the value when no parameter is named
    std::string parameter;   // the parameter the value comes from, or empty
    std::string text;        // "State[index]" for messages and descriptions
};

// isParameter tells whether a name is one of the effect's parameters.
// inSampler: the assignment is inside a sampler_state block (its slot is set when applied).
D3DXResolvedState D3DXResolveState(const D3DXEffectStateSource& source, bool inSampler,
                                   const std::function<bool(const std::string&)>& isParameter);
