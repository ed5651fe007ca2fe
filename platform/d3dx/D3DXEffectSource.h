// The effect-file compiler's front end: a pure function from effect text to plain records.
//
// Read: comments; string literals; preprocessor lines (#define of object-like macros,
// #undef, #if/#ifdef/#ifndef/#elif/#else/#endif, #include through an include handler only,
// #error; #pragma and #line are ignored, function-like macros are not expanded); top-level
// parameter declarations with the qualifiers shared/uniform/static/const/extern/volatile,
// scalar, vector, matrix, string, texture, sampler and shader types, array sizes,
// semantics, annotations, initialisers (numbers, {lists}, constructors such as float4(...),
// earlier parameters, + - * /) and sampler_state blocks; struct and typedef declarations;
// function bodies, skipped by balanced braces; technique blocks with their pass blocks and
// state assignments, whose values are kept as tokens.
#pragma once

#include "platform/d3dx/D3DXEffect.h"

#include <string>
#include <string_view>
#include <vector>

struct D3DXEffectToken {
    enum Kind { Identifier, Number, String, Punct, End };
    Kind kind = End;
    std::string text;  // identifier, punctuation, or the string literal's contents
    double number = 0.0;
    int line = 0;
    int column = 0;
};

// "State[index] = value;" in a pass or a sampler_state block; index is -1 without brackets.
struct D3DXEffectStateSource {
    std::string state;
    int index = -1;
    std::vector<D3DXEffectToken> value;
    int line = 0;
};

// What a parameter's declared type says of its value: the class, the base type and the
// size. Declarations, compiled parameters and annotations share it.
struct D3DXParameterShape {
    D3DXPARAMETER_CLASS parameterClass = D3DXPC_SCALAR;
    D3DXPARAMETER_TYPE type = D3DXPT_VOID;
    UINT rows = 0;
    UINT columns = 0;
    UINT elements = 0;  // 0: not an array
};

struct D3DXEffectParameterSource : D3DXParameterShape {
    std::string name;
    std::string semantic;
    bool shared = false;
    bool isStatic = false;
    std::vector<double> numbers;  // rows x columns x max(1, elements) initial values, row-major
    std::string text;             // initial value of a string
    std::vector<D3DXEffectStateSource> samplerStates;
    std::vector<D3DXEffectParameterSource> annotations;
};

struct D3DXEffectPassSource {
    std::string name;
    std::vector<D3DXEffectParameterSource> annotations;
    std::vector<D3DXEffectStateSource> states;
};

struct D3DXEffectTechniqueSource {
    std::string name;
    std::vector<D3DXEffectParameterSource> annotations;
    std::vector<D3DXEffectPassSource> passes;
};

struct D3DXEffectSource {
    std::vector<D3DXEffectParameterSource> parameters;  // in declaration order, static ones included
    std::vector<D3DXEffectTechniqueSource> techniques;
    UINT functions = 0;
};

// A number of effect text as a 64-bit integer: truncated toward zero, saturated at the ends
// of the range, NaN as 0 (a plain conversion of such values is undefined).
int64_t D3DXEffectInteger(double value);

// Parses the text. On failure returns false with messages of the form
// "memory(line,column): error X3000: syntax error: unexpected token 'x'" in `errors`.
bool D3DXParseEffect(std::string_view text, const D3DXMACRO* defines, ID3DXInclude* include, D3DXEffectSource& source,
                     std::string& errors);
