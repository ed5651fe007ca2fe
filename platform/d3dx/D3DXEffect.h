// D3DX effects: effect files compiled from text, their parameters, techniques and passes,
// and effect pools whose "shared" parameters hold one value for every effect of the pool.
//
// The compiler reads the part of the effect language that game data uses (see
// platform/D3DXEffectSource.h): parameters with their initialisers and annotations, sampler
// states, techniques and passes with state assignments; function and struct bodies are
// kept as text, shaders are not compiled. BeginPass applies the pass's fixed-function state
// assignments (render, texture-stage and sampler states, textures, sampler parameters)
// through the device, and End restores what Begin saved unless D3DXFX_DONOTSAVESTATE.
//
// Handles are the addresses of the effect's own records; wherever D3DX accepts a handle it
// also accepts the object's name, as D3DX does.
#pragma once

#include "platform/d3d9/D3D9.h"

using D3DXHANDLE = const char*;
using LPCSTR = const char*;

enum D3DXPARAMETER_CLASS : uint32_t {
    D3DXPC_SCALAR = 0,
    D3DXPC_VECTOR = 1,
    D3DXPC_MATRIX_ROWS = 2,
    D3DXPC_MATRIX_COLUMNS = 3,
    D3DXPC_OBJECT = 4,
    D3DXPC_STRUCT = 5,
};

enum D3DXPARAMETER_TYPE : uint32_t {
    D3DXPT_VOID = 0,
    D3DXPT_BOOL = 1,
    D3DXPT_INT = 2,
    D3DXPT_FLOAT = 3,
    D3DXPT_STRING = 4,
    D3DXPT_TEXTURE = 5,
    D3DXPT_TEXTURE1D = 6,
    D3DXPT_TEXTURE2D = 7,
    D3DXPT_TEXTURE3D = 8,
    D3DXPT_TEXTURECUBE = 9,
    D3DXPT_SAMPLER = 10,
    D3DXPT_SAMPLER1D = 11,
    D3DXPT_SAMPLER2D = 12,
    D3DXPT_SAMPLER3D = 13,
    D3DXPT_SAMPLERCUBE = 14,
    D3DXPT_PIXELSHADER = 15,
    D3DXPT_VERTEXSHADER = 16,
};

constexpr DWORD D3DX_PARAMETER_SHARED = 1;
constexpr DWORD D3DX_PARAMETER_LITERAL = 2;
constexpr DWORD D3DX_PARAMETER_ANNOTATION = 4;

// Begin flags.
constexpr DWORD D3DXFX_DONOTSAVESTATE = 1;
constexpr DWORD D3DXFX_DONOTSAVESHADERSTATE = 2;
constexpr DWORD D3DXFX_DONOTSAVESAMPLERSTATE = 4;

struct D3DXEFFECT_DESC {
    LPCSTR Creator = nullptr;
    UINT Parameters = 0;
    UINT Techniques = 0;
    UINT Functions = 0;
};

struct D3DXPARAMETER_DESC {
    LPCSTR Name = nullptr;
    LPCSTR Semantic = nullptr;
    D3DXPARAMETER_CLASS Class = D3DXPC_SCALAR;
    D3DXPARAMETER_TYPE Type = D3DXPT_VOID;
    UINT Rows = 0;
    UINT Columns = 0;
    UINT Elements = 0;
    UINT Annotations = 0;
    UINT StructMembers = 0;
    DWORD Flags = 0;
    UINT Bytes = 0;
};

struct D3DXTECHNIQUE_DESC {
    LPCSTR Name = nullptr;
    UINT Passes = 0;
    UINT Annotations = 0;
};

struct D3DXPASS_DESC {
    LPCSTR Name = nullptr;
    UINT Annotations = 0;
    const DWORD* pVertexShaderFunction = nullptr;
    const DWORD* pPixelShaderFunction = nullptr;
};

struct D3DXMACRO {
    LPCSTR Name = nullptr;
    LPCSTR Definition = nullptr;
};

enum D3DXINCLUDE_TYPE : uint32_t { D3DXINC_LOCAL = 0, D3DXINC_SYSTEM = 1 };

// Supplies the text of "#include" files; without one, "#include" is a compile error.
struct ID3DXInclude {
    virtual HRESULT Open(D3DXINCLUDE_TYPE type, LPCSTR fileName, const void* parentData, const void** data,
                         UINT* bytes) = 0;
    virtual HRESULT Close(const void* data) = 0;

protected:
    ~ID3DXInclude() = default;
};

struct ID3DXBuffer : IUnknown {
    virtual void* GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;
};

struct ID3DXEffectPool : IUnknown {};

struct ID3DXEffect : IUnknown {
    virtual HRESULT GetDesc(D3DXEFFECT_DESC* desc) = 0;
    virtual HRESULT GetParameterDesc(D3DXHANDLE parameter, D3DXPARAMETER_DESC* desc) = 0;
    virtual HRESULT GetTechniqueDesc(D3DXHANDLE technique, D3DXTECHNIQUE_DESC* desc) = 0;
    virtual HRESULT GetPassDesc(D3DXHANDLE pass, D3DXPASS_DESC* desc) = 0;

    // Lookups give null for an object that does not exist. parent null: top-level parameters.
    virtual D3DXHANDLE GetParameter(D3DXHANDLE parent, UINT index) = 0;
    virtual D3DXHANDLE GetParameterByName(D3DXHANDLE parent, LPCSTR name) = 0;
    virtual D3DXHANDLE GetParameterBySemantic(D3DXHANDLE parent, LPCSTR semantic) = 0;
    virtual D3DXHANDLE GetAnnotationByName(D3DXHANDLE object, LPCSTR name) = 0;
    virtual D3DXHANDLE GetTechnique(UINT index) = 0;
    virtual D3DXHANDLE GetTechniqueByName(LPCSTR name) = 0;
    virtual D3DXHANDLE GetPass(D3DXHANDLE technique, UINT index) = 0;
    virtual D3DXHANDLE GetPassByName(D3DXHANDLE technique, LPCSTR name) = 0;

    // Values. Numbers convert between bool, int and float parameters; matrices are row-major
    // (the top-left rows x columns of the D3DX matrix); a vector fills as many components as
    // the parameter has. A call of the wrong kind for the parameter gives D3DERR_INVALIDCALL.
    virtual HRESULT SetValue(D3DXHANDLE parameter, const void* data, UINT bytes) = 0;
    virtual HRESULT GetValue(D3DXHANDLE parameter, void* data, UINT bytes) = 0;
    virtual HRESULT SetBool(D3DXHANDLE parameter, BOOL value) = 0;
    virtual HRESULT GetBool(D3DXHANDLE parameter, BOOL* value) = 0;
    virtual HRESULT SetInt(D3DXHANDLE parameter, INT value) = 0;
    virtual HRESULT GetInt(D3DXHANDLE parameter, INT* value) = 0;
    virtual HRESULT SetFloat(D3DXHANDLE parameter, float value) = 0;
    virtual HRESULT GetFloat(D3DXHANDLE parameter, float* value) = 0;
    virtual HRESULT SetFloatArray(D3DXHANDLE parameter, const float* values, UINT count) = 0;
    virtual HRESULT GetFloatArray(D3DXHANDLE parameter, float* values, UINT count) = 0;
    virtual HRESULT SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) = 0;
    virtual HRESULT GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) = 0;
    virtual HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) = 0;
    virtual HRESULT GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) = 0;
    virtual HRESULT SetString(D3DXHANDLE parameter, LPCSTR text) = 0;
    virtual HRESULT GetString(D3DXHANDLE parameter, LPCSTR* text) = 0;
    // The parameter holds a reference to its texture.
    virtual HRESULT SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) = 0;
    virtual HRESULT GetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9** texture) = 0;

    // Techniques. Every technique is valid on this device; FindNextValidTechnique(null, ...)
    // gives the first, and a null handle (still with D3D_OK) when there is none after the
    // given one.
    virtual HRESULT SetTechnique(D3DXHANDLE technique) = 0;
    virtual D3DXHANDLE GetCurrentTechnique() = 0;
    virtual HRESULT ValidateTechnique(D3DXHANDLE technique) = 0;
    virtual HRESULT FindNextValidTechnique(D3DXHANDLE technique, D3DXHANDLE* next) = 0;

    // Drawing. A Begin that fails (no technique selected, already begun) gives 0 passes.
    virtual HRESULT Begin(UINT* passes, DWORD flags) = 0;
    virtual HRESULT BeginPass(UINT pass) = 0;
    virtual HRESULT CommitChanges() = 0;
    virtual HRESULT EndPass() = 0;
    virtual HRESULT End() = 0;

    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual HRESULT GetPool(ID3DXEffectPool** pool) = 0;
    virtual HRESULT OnLostDevice() = 0;
    virtual HRESULT OnResetDevice() = 0;
};

using LPD3DXEFFECT = ID3DXEffect*;
using LPD3DXEFFECTPOOL = ID3DXEffectPool*;
using LPD3DXBUFFER = ID3DXBuffer*;

HRESULT D3DXCreateBuffer(DWORD bytes, ID3DXBuffer** buffer);
HRESULT D3DXCreateEffectPool(ID3DXEffectPool** pool);
// Compiles the effect text (data, length bytes). On a compile error the result is E_FAIL,
// *effect is null and *errors (when asked for) holds the compiler's messages as text,
// "memory(line,column): error X3000: ..." one per line, zero-terminated.
HRESULT D3DXCreateEffect(IDirect3DDevice9* device, const void* data, UINT length, const D3DXMACRO* defines,
                         ID3DXInclude* include, DWORD flags, ID3DXEffectPool* pool, ID3DXEffect** effect,
                         ID3DXBuffer** errors);
