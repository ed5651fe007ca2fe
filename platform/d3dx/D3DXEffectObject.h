// The objects behind ID3DXEffect, ID3DXEffectPool and ID3DXBuffer, with the state tests
// look at (device-loss calls, Begin/pass state, the pool's shared values).
#pragma once

#include "platform/d3dx/D3DXEffect.h"
#include "platform/d3dx/D3DXEffectStates.h"

#include <map>
#include <memory>
#include <vector>

// The value of one parameter. Shared parameters of a pool point at one value.
// Numbers are 32-bit words holding floats, ints or BOOLs as the parameter's type says.
struct D3DXEffectValue {
    std::vector<uint32_t> words;
    std::string text;
    IDirect3DBaseTexture9* texture = nullptr;  // holds a reference

    D3DXEffectValue() = default;
    D3DXEffectValue(const D3DXEffectValue&) = delete;
    D3DXEffectValue& operator=(const D3DXEffectValue&) = delete;
    ~D3DXEffectValue() { SafeRelease(texture); }
};

struct D3DXEffectParameter : D3DXParameterShape {
    std::string name;
    std::string semantic;
    DWORD flags = 0;
    std::shared_ptr<D3DXEffectValue> value;
    std::vector<std::unique_ptr<D3DXEffectParameter>> annotations;
    std::vector<D3DXResolvedState> samplerStates;

    bool IsNumeric() const { return parameterClass <= D3DXPC_MATRIX_COLUMNS; }
    bool IsTexture() const { return type >= D3DXPT_TEXTURE && type <= D3DXPT_TEXTURECUBE; }
    bool IsSampler() const { return type >= D3DXPT_SAMPLER && type <= D3DXPT_SAMPLERCUBE; }
};

struct D3DXEffectPass {
    std::string name;
    std::vector<std::unique_ptr<D3DXEffectParameter>> annotations;
    std::vector<D3DXResolvedState> states;
};

struct D3DXEffectTechnique {
    std::string name;
    std::vector<std::unique_ptr<D3DXEffectParameter>> annotations;
    std::vector<std::unique_ptr<D3DXEffectPass>> passes;
};

class D3DXBufferObject final : public ComObject<ID3DXBuffer> {
public:
    explicit D3DXBufferObject(std::vector<uint8_t> bytes) : bytes(std::move(bytes)) {}
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void* GetBufferPointer() override { return bytes.data(); }
    DWORD GetBufferSize() override { return static_cast<DWORD>(bytes.size()); }

private:
    std::vector<uint8_t> bytes;
};

class D3DXEffectPoolObject final : public ComObject<ID3DXEffectPool> {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override;

    struct Entry {
        D3DXPARAMETER_CLASS parameterClass;
        D3DXPARAMETER_TYPE type;
        UINT rows, columns, elements;
        std::shared_ptr<D3DXEffectValue> value;
    };
    // The value shared under `name`, made from `parameter` when the pool has none yet; null
    // (with a message) when the pool holds the name with another type.
    std::shared_ptr<D3DXEffectValue> Share(const D3DXEffectParameter& parameter, std::string& error);
    size_t SharedCount() const { return shared.size(); }
    static D3DXEffectPoolObject* From(ID3DXEffectPool* pool) { return dynamic_cast<D3DXEffectPoolObject*>(pool); }

private:
    std::map<std::string, Entry> shared;
};

class D3DXEffectObject final : public ComObject<ID3DXEffect> {
public:
    // Takes references on the device and the pool (either may be null).
    D3DXEffectObject(IDirect3DDevice9* device, ID3DXEffectPool* pool);
    // Builds the effect's records from parsed source; false with a message on a pool conflict.
    bool Build(const D3DXEffectSource& source, std::string& error);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT GetDesc(D3DXEFFECT_DESC* desc) override;
    HRESULT GetParameterDesc(D3DXHANDLE parameter, D3DXPARAMETER_DESC* desc) override;
    HRESULT GetTechniqueDesc(D3DXHANDLE technique, D3DXTECHNIQUE_DESC* desc) override;
    HRESULT GetPassDesc(D3DXHANDLE pass, D3DXPASS_DESC* desc) override;
    D3DXHANDLE GetParameter(D3DXHANDLE parent, UINT index) override;
    D3DXHANDLE GetParameterByName(D3DXHANDLE parent, LPCSTR name) override;
    D3DXHANDLE GetParameterBySemantic(D3DXHANDLE parent, LPCSTR semantic) override;
    D3DXHANDLE GetAnnotationByName(D3DXHANDLE object, LPCSTR name) override;
    D3DXHANDLE GetTechnique(UINT index) override;
    D3DXHANDLE GetTechniqueByName(LPCSTR name) override;
    D3DXHANDLE GetPass(D3DXHANDLE technique, UINT index) override;
    D3DXHANDLE GetPassByName(D3DXHANDLE technique, LPCSTR name) override;
    HRESULT SetValue(D3DXHANDLE parameter, const void* data, UINT bytes) override;
    HRESULT GetValue(D3DXHANDLE parameter, void* data, UINT bytes) override;
    HRESULT SetBool(D3DXHANDLE parameter, BOOL value) override;
    HRESULT GetBool(D3DXHANDLE parameter, BOOL* value) override;
    HRESULT SetInt(D3DXHANDLE parameter, INT value) override;
    HRESULT GetInt(D3DXHANDLE parameter, INT* value) override;
    HRESULT SetFloat(D3DXHANDLE parameter, float value) override;
    HRESULT GetFloat(D3DXHANDLE parameter, float* value) override;
    HRESULT SetFloatArray(D3DXHANDLE parameter, const float* values, UINT count) override;
    HRESULT GetFloatArray(D3DXHANDLE parameter, float* values, UINT count) override;
    HRESULT SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) override;
    HRESULT GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) override;
    HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) override;
    HRESULT GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) override;
    HRESULT SetString(D3DXHANDLE parameter, LPCSTR text) override;
    HRESULT GetString(D3DXHANDLE parameter, LPCSTR* text) override;
    HRESULT SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9** texture) override;
    HRESULT SetTechnique(D3DXHANDLE technique) override;
    D3DXHANDLE GetCurrentTechnique() override;
    HRESULT ValidateTechnique(D3DXHANDLE technique) override;
    HRESULT FindNextValidTechnique(D3DXHANDLE technique, D3DXHANDLE* next) override;
    HRESULT Begin(UINT* passes, DWORD flags) override;
    HRESULT BeginPass(UINT pass) override;
    HRESULT CommitChanges() override;
    HRESULT EndPass() override;
    HRESULT End() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT GetPool(ID3DXEffectPool** pool) override;
    HRESULT OnLostDevice() override;
    HRESULT OnResetDevice() override;

    // Test view.
    int LostCount() const { return lostCount; }
    int ResetCount() const { return resetCount; }
    bool InBegin() const { return inBegin; }
    // The pass between BeginPass and EndPass, or -1.
    int ActivePass() const { return activePass; }
    static D3DXEffectObject* From(ID3DXEffect* effect) { return dynamic_cast<D3DXEffectObject*>(effect); }

private:
    ~D3DXEffectObject() override;

    struct Saved {
        D3DXResolvedState::Kind kind;
        DWORD slot;
        DWORD target;
        DWORD value = 0;
        IDirect3DBaseTexture9* texture = nullptr;
        D3DMATRIX matrix{};
    };

    D3DXEffectParameter* FindParameter(D3DXHANDLE handle) const;
    D3DXEffectTechnique* FindTechnique(D3DXHANDLE handle) const;
    D3DXEffectPass* FindPass(D3DXHANDLE handle) const;
    void Register(D3DXEffectParameter* parameter);
    std::unique_ptr<D3DXEffectParameter> MakeParameter(const D3DXEffectParameterSource& source, DWORD flags);
    D3DXEffectParameter* NamedParameter(const std::string& name) const;
    void Apply(const D3DXResolvedState& state, DWORD samplerSlot);
    void SaveState(const D3DXResolvedState& state, DWORD samplerSlot);
    void RestoreState();

    IDirect3DDevice9* device;
    ID3DXEffectPool* pool;
    std::vector<std::unique_ptr<D3DXEffectParameter>> parameters;
    std::vector<std::unique_ptr<D3DXEffectTechnique>> techniques;
    UINT functions = 0;
    std::map<const void*, int> handles;  // address -> 0 parameter, 1 technique, 2 pass
    D3DXEffectTechnique* current = nullptr;
    bool inBegin = false;
    int activePass = -1;
    std::vector<Saved> saved;
    int lostCount = 0;
    int resetCount = 0;
};
