#include "platform/d3dx/D3DXEffect.h"

#include "platform/d3d9/D3D9Faults.h"
#include "platform/d3d9/D3D9Resource.h"
#include "platform/d3dx/D3DXEffectObject.h"

#include <algorithm>
#include <cmath>
#include <cstring>

static_assert(sizeof(D3DXMATRIX) == 64);
static_assert(sizeof(D3DXVECTOR4) == 16);

namespace {

UINT ValueCount(const D3DXEffectParameter& p) { return p.rows * p.columns * std::max(1u, p.elements); }

double Load(const D3DXEffectParameter& p, size_t i) {
    const uint32_t word = p.value->words[i];
    switch (p.type) {
        case D3DXPT_FLOAT: {
            float f = 0.0f;
            std::memcpy(&f, &word, 4);
            return f;
        }
        case D3DXPT_INT: return static_cast<int32_t>(word);
        default: return word != 0 ? 1.0 : 0.0;
    }
}

int32_t ToInt32(double v) {
    return static_cast<int32_t>(std::clamp<int64_t>(D3DXEffectInteger(v), INT32_MIN, INT32_MAX));
}

void Store(D3DXEffectParameter& p, size_t i, double v) {
    uint32_t word = 0;
    switch (p.type) {
        case D3DXPT_FLOAT: {
            const float f = static_cast<float>(v);
            std::memcpy(&word, &f, 4);
            break;
        }
        case D3DXPT_INT:
            word = static_cast<uint32_t>(ToInt32(v));
            break;
        default: word = (v != 0.0) ? 1u : 0u; break;
    }
    p.value->words[i] = word;
}

uint32_t FloatBits(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    return bits;
}

bool SameName(const std::string& a, const char* b) { return b != nullptr && a == b; }

bool SameNoCase(const std::string& a, const char* b) {
    if (b == nullptr || a.size() != std::strlen(b)) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

D3DXHANDLE HandleOf(const void* object) { return static_cast<D3DXHANDLE>(object); }

}  // namespace

// --- buffer and pool ---

HRESULT D3DXBufferObject::QueryInterface(REFIID riid, void** object) { return D3D9QueryUnknown(this, riid, object); }

HRESULT D3DXCreateBuffer(DWORD bytes, ID3DXBuffer** buffer) {
    if (buffer == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *buffer = new D3DXBufferObject(std::vector<uint8_t>(bytes, 0));
    return S_OK;
}

HRESULT D3DXEffectPoolObject::QueryInterface(REFIID riid, void** object) { return D3D9QueryUnknown(this, riid, object); }

std::shared_ptr<D3DXEffectValue> D3DXEffectPoolObject::Share(const D3DXEffectParameter& p, std::string& error) {
    const auto found = shared.find(p.name);
    if (found == shared.end()) {
        shared.emplace(p.name, Entry{p.parameterClass, p.type, p.rows, p.columns, p.elements, p.value});
        return p.value;
    }
    const Entry& e = found->second;
    if (e.parameterClass != p.parameterClass || e.type != p.type || e.rows != p.rows || e.columns != p.columns ||
        e.elements != p.elements) {
        error = "memory: error X3016: shared parameter '" + p.name + "' is declared with another type in the pool\n";
        return nullptr;
    }
    return e.value;
}

HRESULT D3DXCreateEffectPool(ID3DXEffectPool** pool) {
    if (pool == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *pool = nullptr;
    if (const HRESULT injected = D3D9Faults::Take(D3D9Fault::D3DXCreateEffectPool); FAILED(injected)) {
        return injected;
    }
    *pool = new D3DXEffectPoolObject();
    return S_OK;
}

// --- creation ---

HRESULT D3DXCreateEffect(IDirect3DDevice9* device, const void* data, UINT length, const D3DXMACRO* defines,
                         ID3DXInclude* include, DWORD /*flags*/, ID3DXEffectPool* pool, ID3DXEffect** effect,
                         ID3DXBuffer** errors) {
    if (errors != nullptr) {
        *errors = nullptr;
    }
    if (effect != nullptr) {
        *effect = nullptr;
    }
    if (device == nullptr || data == nullptr || length == 0 || effect == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if (const HRESULT injected = D3D9Faults::Take(D3D9Fault::D3DXCreateEffect); FAILED(injected)) {
        return injected;
    }
    std::string_view text(static_cast<const char*>(data), length);
    while (!text.empty() && text.back() == '\0') {
        text.remove_suffix(1);
    }
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);  // a UTF-8 byte-order mark left by an editor
    }
    const auto fail = [errors](const std::string& message) {
        if (errors != nullptr) {
            std::vector<uint8_t> bytes(message.begin(), message.end());
            bytes.push_back(0);
            *errors = new D3DXBufferObject(std::move(bytes));
        }
        return E_FAIL;
    };
    D3DXEffectSource source;
    std::string message;
    if (!D3DXParseEffect(text, defines, include, source, message)) {
        return fail(message);
    }
    auto* object = new D3DXEffectObject(device, pool);
    if (!object->Build(source, message)) {
        object->Release();
        return fail(message);
    }
    *effect = object;
    return S_OK;
}

// --- the effect ---

D3DXEffectObject::D3DXEffectObject(IDirect3DDevice9* owner, ID3DXEffectPool* sharedPool) : device(owner), pool(sharedPool) {
    if (device != nullptr) {
        device->AddRef();
    }
    if (pool != nullptr) {
        pool->AddRef();
    }
}

D3DXEffectObject::~D3DXEffectObject() {
    for (Saved& s : saved) {
        SafeRelease(s.texture);
    }
    parameters.clear();
    SafeRelease(pool);
    SafeRelease(device);
}

HRESULT D3DXEffectObject::QueryInterface(REFIID riid, void** object) { return D3D9QueryUnknown(this, riid, object); }

void D3DXEffectObject::Register(D3DXEffectParameter* parameter) {
    handles[parameter] = 0;
    for (auto& annotation : parameter->annotations) {
        Register(annotation.get());
    }
}

std::unique_ptr<D3DXEffectParameter> D3DXEffectObject::MakeParameter(const D3DXEffectParameterSource& s, DWORD flags) {
    auto p = std::make_unique<D3DXEffectParameter>();
    p->name = s.name;
    p->semantic = s.semantic;
    static_cast<D3DXParameterShape&>(*p) = s;
    p->flags = flags | (s.shared ? D3DX_PARAMETER_SHARED : 0);
    p->value = std::make_shared<D3DXEffectValue>();
    p->value->text = s.text;
    if (p->IsNumeric()) {
        p->value->words.assign(ValueCount(*p), 0);
        for (size_t i = 0; i < p->value->words.size() && i < s.numbers.size(); ++i) {
            Store(*p, i, s.numbers[i]);
        }
    }
    for (const D3DXEffectParameterSource& a : s.annotations) {
        p->annotations.push_back(MakeParameter(a, D3DX_PARAMETER_ANNOTATION));
    }
    return p;
}

bool D3DXEffectObject::Build(const D3DXEffectSource& source, std::string& error) {
    D3DXEffectPoolObject* sharedPool = D3DXEffectPoolObject::From(pool);
    functions = source.functions;
    for (const D3DXEffectParameterSource& s : source.parameters) {
        if (s.isStatic) {
            continue;  // static globals are the effect's own constants, not parameters
        }
        std::unique_ptr<D3DXEffectParameter> p = MakeParameter(s, 0);
        if (s.shared && sharedPool != nullptr) {
            p->value = sharedPool->Share(*p, error);
            if (p->value == nullptr) {
                return false;
            }
        }
        Register(p.get());
        parameters.push_back(std::move(p));
    }
    const auto isParameter = [this](const std::string& name) { return NamedParameter(name) != nullptr; };
    for (size_t i = 0; i < parameters.size(); ++i) {
        const D3DXEffectParameterSource* s = nullptr;
        for (const D3DXEffectParameterSource& candidate : source.parameters) {
            if (!candidate.isStatic && candidate.name == parameters[i]->name) {
                s = &candidate;
            }
        }
        for (const D3DXEffectStateSource& state : s->samplerStates) {
            parameters[i]->samplerStates.push_back(D3DXResolveState(state, true, isParameter));
        }
    }
    for (const D3DXEffectTechniqueSource& ts : source.techniques) {
        auto t = std::make_unique<D3DXEffectTechnique>();
        t->name = ts.name;
        for (const D3DXEffectParameterSource& a : ts.annotations) {
            t->annotations.push_back(MakeParameter(a, D3DX_PARAMETER_ANNOTATION));
            Register(t->annotations.back().get());
        }
        for (const D3DXEffectPassSource& ps : ts.passes) {
            auto p = std::make_unique<D3DXEffectPass>();
            p->name = ps.name;
            for (const D3DXEffectParameterSource& a : ps.annotations) {
                p->annotations.push_back(MakeParameter(a, D3DX_PARAMETER_ANNOTATION));
                Register(p->annotations.back().get());
            }
            for (const D3DXEffectStateSource& state : ps.states) {
                p->states.push_back(D3DXResolveState(state, false, isParameter));
            }
            handles[p.get()] = 2;
            t->passes.push_back(std::move(p));
        }
        handles[t.get()] = 1;
        techniques.push_back(std::move(t));
    }
    current = techniques.empty() ? nullptr : techniques.front().get();
    return true;
}

// --- lookups ---

D3DXEffectParameter* D3DXEffectObject::NamedParameter(const std::string& name) const {
    for (const auto& p : parameters) {
        if (p->name == name) {
            return p.get();
        }
    }
    return nullptr;
}

D3DXEffectParameter* D3DXEffectObject::FindParameter(D3DXHANDLE handle) const {
    if (handle == nullptr) {
        return nullptr;
    }
    const auto found = handles.find(handle);
    if (found != handles.end()) {
        return found->second == 0 ? static_cast<D3DXEffectParameter*>(const_cast<void*>(found->first)) : nullptr;
    }
    return NamedParameter(handle);
}

D3DXEffectTechnique* D3DXEffectObject::FindTechnique(D3DXHANDLE handle) const {
    if (handle == nullptr) {
        return nullptr;
    }
    const auto found = handles.find(handle);
    if (found != handles.end()) {
        return found->second == 1 ? static_cast<D3DXEffectTechnique*>(const_cast<void*>(found->first)) : nullptr;
    }
    for (const auto& t : techniques) {
        if (t->name == handle) {
            return t.get();
        }
    }
    return nullptr;
}

D3DXEffectPass* D3DXEffectObject::FindPass(D3DXHANDLE handle) const {
    const auto found = handle != nullptr ? handles.find(handle) : handles.end();
    if (found != handles.end() && found->second == 2) {
        return static_cast<D3DXEffectPass*>(const_cast<void*>(found->first));
    }
    return nullptr;
}

HRESULT D3DXEffectObject::GetDesc(D3DXEFFECT_DESC* desc) {
    if (desc == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    desc->Creator = "effect text compiler";
    desc->Parameters = static_cast<UINT>(parameters.size());
    desc->Techniques = static_cast<UINT>(techniques.size());
    desc->Functions = functions;
    return S_OK;
}

HRESULT D3DXEffectObject::GetParameterDesc(D3DXHANDLE handle, D3DXPARAMETER_DESC* desc) {
    const D3DXEffectParameter* p = FindParameter(handle);
    if (p == nullptr || desc == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *desc = D3DXPARAMETER_DESC{};
    desc->Name = p->name.c_str();
    desc->Semantic = p->semantic.empty() ? nullptr : p->semantic.c_str();
    desc->Class = p->parameterClass;
    desc->Type = p->type;
    desc->Rows = p->rows;
    desc->Columns = p->columns;
    desc->Elements = p->elements;
    desc->Annotations = static_cast<UINT>(p->annotations.size());
    desc->Flags = p->flags;
    desc->Bytes = p->IsNumeric() ? ValueCount(*p) * 4 : 0;
    return S_OK;
}

HRESULT D3DXEffectObject::GetTechniqueDesc(D3DXHANDLE handle, D3DXTECHNIQUE_DESC* desc) {
    const D3DXEffectTechnique* t = FindTechnique(handle);
    if (t == nullptr || desc == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    desc->Name = t->name.c_str();
    desc->Passes = static_cast<UINT>(t->passes.size());
    desc->Annotations = static_cast<UINT>(t->annotations.size());
    return S_OK;
}

HRESULT D3DXEffectObject::GetPassDesc(D3DXHANDLE handle, D3DXPASS_DESC* desc) {
    const D3DXEffectPass* p = FindPass(handle);
    if (p == nullptr || desc == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *desc = D3DXPASS_DESC{};
    desc->Name = p->name.c_str();
    desc->Annotations = static_cast<UINT>(p->annotations.size());
    return S_OK;
}

D3DXHANDLE D3DXEffectObject::GetParameter(D3DXHANDLE parent, UINT index) {
    if (parent != nullptr) {
        return nullptr;  // struct members are not kept
    }
    return index < parameters.size() ? HandleOf(parameters[index].get()) : nullptr;
}

D3DXHANDLE D3DXEffectObject::GetParameterByName(D3DXHANDLE parent, LPCSTR name) {
    if (parent != nullptr || name == nullptr) {
        return nullptr;
    }
    return HandleOf(NamedParameter(name));
}

D3DXHANDLE D3DXEffectObject::GetParameterBySemantic(D3DXHANDLE parent, LPCSTR semantic) {
    if (parent != nullptr) {
        return nullptr;
    }
    for (const auto& p : parameters) {
        if (SameNoCase(p->semantic, semantic)) {
            return HandleOf(p.get());
        }
    }
    return nullptr;
}

D3DXHANDLE D3DXEffectObject::GetAnnotationByName(D3DXHANDLE object, LPCSTR name) {
    const std::vector<std::unique_ptr<D3DXEffectParameter>>* list = nullptr;
    if (D3DXEffectPass* pass = FindPass(object)) {
        list = &pass->annotations;
    } else if (D3DXEffectTechnique* technique = FindTechnique(object)) {
        list = &technique->annotations;
    } else if (D3DXEffectParameter* parameter = FindParameter(object)) {
        list = &parameter->annotations;
    }
    if (list == nullptr) {
        return nullptr;
    }
    for (const auto& a : *list) {
        if (SameName(a->name, name)) {
            return HandleOf(a.get());
        }
    }
    return nullptr;
}

D3DXHANDLE D3DXEffectObject::GetTechnique(UINT index) {
    return index < techniques.size() ? HandleOf(techniques[index].get()) : nullptr;
}

D3DXHANDLE D3DXEffectObject::GetTechniqueByName(LPCSTR name) {
    for (const auto& t : techniques) {
        if (SameName(t->name, name)) {
            return HandleOf(t.get());
        }
    }
    return nullptr;
}

D3DXHANDLE D3DXEffectObject::GetPass(D3DXHANDLE technique, UINT index) {
    const D3DXEffectTechnique* t = FindTechnique(technique);
    return (t != nullptr && index < t->passes.size()) ? HandleOf(t->passes[index].get()) : nullptr;
}

D3DXHANDLE D3DXEffectObject::GetPassByName(D3DXHANDLE technique, LPCSTR name) {
    const D3DXEffectTechnique* t = FindTechnique(technique);
    if (t == nullptr) {
        return nullptr;
    }
    for (const auto& p : t->passes) {
        if (SameName(p->name, name)) {
            return HandleOf(p.get());
        }
    }
    return nullptr;
}

// --- values ---

HRESULT D3DXEffectObject::SetValue(D3DXHANDLE handle, const void* data, UINT bytes) {
    D3DXEffectParameter* p = FindParameter(handle);
    if (p == nullptr || data == nullptr || !p->IsNumeric()) {
        return D3DERR_INVALIDCALL;
    }
    std::memcpy(p->value->words.data(), data, std::min<size_t>(bytes, p->value->words.size() * 4));
    return S_OK;
}

HRESULT D3DXEffectObject::GetValue(D3DXHANDLE handle, void* data, UINT bytes) {
    D3DXEffectParameter* p = FindParameter(handle);
    if (p == nullptr || data == nullptr || !p->IsNumeric()) {
        return D3DERR_INVALIDCALL;
    }
    std::memcpy(data, p->value->words.data(), std::min<size_t>(bytes, p->value->words.size() * 4));
    return S_OK;
}

HRESULT D3DXEffectObject::SetBool(D3DXHANDLE handle, BOOL value) {
    D3DXEffectParameter* p = FindParameter(handle);
    if (p == nullptr || !p->IsNumeric()) {
        return D3DERR_INVALIDCALL;
    }
    Store(*p, 0, value != FALSE ? 1.0 : 0.0);
    return S_OK;
}

HRESULT D3DXEffectObject::GetBool(D3DXHANDLE handle, BOOL* value) {
    D3DXEffectParameter* p = FindParameter(handle);
    if (p == nullptr || value == nullptr || !p->IsNumeric()) {
        return D3DERR_INVALIDCALL;
    }
    *value = Load(*p, 0) != 0.0 ? TRUE : FALSE;
    return S_OK;
}

HRESULT D3DXEffectObject::SetInt(D3DXHANDLE handle, INT value) {
    D3DXEffectParameter* p = FindParameter(handle);
    if (p == nullptr || !p->IsNumeric()) {
        return D3DERR_INVALIDCALL;
    }
    Store(*p, 0, value);
    return S_OK;
}

HRESULT D3DXEffectObject::GetInt(D3DXHANDLE handle, INT* value) {
    D3DXEffectParameter* p = FindParameter(handle);
    if (p == nullptr || value == nullptr || !p->IsNumeric()) {
        return D3DERR_INVALIDCALL;
    }
    *value = ToInt32(Load(*p, 0));
    return S_OK;
}

HRESULT D3DXEffectObject::SetFloat(D3DXHANDLE handle, float value) { return SetFloatArray(handle, &value, 1); }

HRESULT D3DXEffectObject::GetFloat(D3DXHANDLE handle, float* value) { return GetFloatArray(handle, value, 1); }

HRESULT D3DXEffectObject::SetFloatArray(D3DXHANDLE handle, const float* values, UINT count) {
    D3DXEffectParameter* p = FindParameter(handle);
    if (p == nullptr || values == nullptr || !p->IsNumeric()) {
        return D3DERR_INVALIDCALL;
    }
    for (size_t i = 0; i < count && i < p->value->words.size(); ++i) {
        Store(*p, i, values[i]);
    }
    return S_OK;
}

HRESULT D3DXEffectObject::GetFloatArray(D3DXHANDLE handle, float* values, UINT count) {
    D3DXEffectParameter* p = FindParameter(handle);
    if (p == nullptr || values == nullptr || !p->IsNumeric()) {
        return D3DERR_INVALIDCALL;
    }
    for (size_t i = 0; i < count; ++i) {
        values[i] = i < p->value->words.size() ? static_cast<float>(Load(*p, i)) : 0.0f;
    }
    return S_OK;
}

HRESULT D3DXEffectObject::SetVector(D3DXHANDLE handle, const D3DXVECTOR4* vector) {
    D3DXEffectParameter* p = FindParameter(handle);
    if (p == nullptr || vector == nullptr ||
        (p->parameterClass != D3DXPC_SCALAR && p->parameterClass != D3DXPC_VECTOR)) {
        return D3DERR_INVALIDCALL;
    }
    float v[4];
    std::memcpy(v, vector, sizeof(v));
    for (size_t i = 0; i < std::min<size_t>(p->columns, 4) && i < p->value->words.size(); ++i) {
        Store(*p, i, v[i]);
    }
    return S_OK;
}

HRESULT D3DXEffectObject::GetVector(D3DXHANDLE handle, D3DXVECTOR4* vector) {
    D3DXEffectParameter* p = FindParameter(handle);
    if (p == nullptr || vector == nullptr ||
        (p->parameterClass != D3DXPC_SCALAR && p->parameterClass != D3DXPC_VECTOR)) {
        return D3DERR_INVALIDCALL;
    }
    float v[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < std::min<size_t>(p->columns, 4); ++i) {
        v[i] = static_cast<float>(Load(*p, i));
    }
    std::memcpy(vector, v, sizeof(v));
    return S_OK;
}

HRESULT D3DXEffectObject::SetMatrix(D3DXHANDLE handle, const D3DXMATRIX* matrix) {
    D3DXEffectParameter* p = FindParameter(handle);
    if (p == nullptr || matrix == nullptr || p->parameterClass != D3DXPC_MATRIX_ROWS) {
        return D3DERR_INVALIDCALL;
    }
    float m[16];
    std::memcpy(m, matrix, sizeof(m));
    for (UINT r = 0; r < p->rows; ++r) {
        for (UINT c = 0; c < p->columns; ++c) {
            Store(*p, size_t{r} * p->columns + c, m[r * 4 + c]);
        }
    }
    return S_OK;
}

HRESULT D3DXEffectObject::GetMatrix(D3DXHANDLE handle, D3DXMATRIX* matrix) {
    D3DXEffectParameter* p = FindParameter(handle);
    if (p == nullptr || matrix == nullptr || p->parameterClass != D3DXPC_MATRIX_ROWS) {
        return D3DERR_INVALIDCALL;
    }
    float m[16] = {};
    for (UINT r = 0; r < p->rows; ++r) {
        for (UINT c = 0; c < p->columns; ++c) {
            m[r * 4 + c] = static_cast<float>(Load(*p, size_t{r} * p->columns + c));
        }
    }
    std::memcpy(static_cast<void*>(matrix), m, sizeof(m));
    return S_OK;
}

HRESULT D3DXEffectObject::SetString(D3DXHANDLE handle, LPCSTR text) {
    D3DXEffectParameter* p = FindParameter(handle);
    if (p == nullptr || text == nullptr || p->type != D3DXPT_STRING) {
        return D3DERR_INVALIDCALL;
    }
    p->value->text = text;
    return S_OK;
}

HRESULT D3DXEffectObject::GetString(D3DXHANDLE handle, LPCSTR* text) {
    D3DXEffectParameter* p = FindParameter(handle);
    if (p == nullptr || text == nullptr || p->type != D3DXPT_STRING) {
        return D3DERR_INVALIDCALL;
    }
    *text = p->value->text.c_str();
    return S_OK;
}

HRESULT D3DXEffectObject::SetTexture(D3DXHANDLE handle, IDirect3DBaseTexture9* texture) {
    D3DXEffectParameter* p = FindParameter(handle);
    if (p == nullptr || !p->IsTexture()) {
        return D3DERR_INVALIDCALL;
    }
    if (texture != nullptr) {
        texture->AddRef();
    }
    SafeRelease(p->value->texture);
    p->value->texture = texture;
    return S_OK;
}

HRESULT D3DXEffectObject::GetTexture(D3DXHANDLE handle, IDirect3DBaseTexture9** texture) {
    D3DXEffectParameter* p = FindParameter(handle);
    if (p == nullptr || texture == nullptr || !p->IsTexture()) {
        return D3DERR_INVALIDCALL;
    }
    *texture = p->value->texture;
    if (*texture != nullptr) {
        (*texture)->AddRef();
    }
    return S_OK;
}

// --- techniques ---

HRESULT D3DXEffectObject::SetTechnique(D3DXHANDLE handle) {
    D3DXEffectTechnique* t = FindTechnique(handle);
    if (t == nullptr || inBegin) {
        return D3DERR_INVALIDCALL;
    }
    current = t;
    return S_OK;
}

D3DXHANDLE D3DXEffectObject::GetCurrentTechnique() { return HandleOf(current); }

HRESULT D3DXEffectObject::ValidateTechnique(D3DXHANDLE handle) {
    return FindTechnique(handle) != nullptr ? S_OK : D3DERR_INVALIDCALL;
}

HRESULT D3DXEffectObject::FindNextValidTechnique(D3DXHANDLE handle, D3DXHANDLE* next) {
    if (next == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *next = nullptr;
    size_t start = 0;
    if (handle != nullptr) {
        const D3DXEffectTechnique* t = FindTechnique(handle);
        if (t == nullptr) {
            return D3DERR_INVALIDCALL;
        }
        while (techniques[start].get() != t) {
            ++start;
        }
        ++start;
    }
    if (start < techniques.size()) {
        *next = HandleOf(techniques[start].get());
    }
    return S_OK;
}

// --- drawing ---

void D3DXEffectObject::Apply(const D3DXResolvedState& state, DWORD samplerSlot) {
    const D3DXEffectParameter* p = state.parameter.empty() ? nullptr : NamedParameter(state.parameter);
    DWORD value = state.literal;
    if (p != nullptr && p->IsNumeric()) {
        value = state.isFloat ? FloatBits(static_cast<float>(Load(*p, 0)))
                              : static_cast<DWORD>(D3DXEffectInteger(Load(*p, 0)));
    }
    switch (state.kind) {
        case D3DXResolvedState::RenderState:
            device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(state.target), value);
            break;
        case D3DXResolvedState::StageState:
            device->SetTextureStageState(state.slot, static_cast<D3DTEXTURESTAGESTATETYPE>(state.target), value);
            break;
        case D3DXResolvedState::SamplerState:
            device->SetSamplerState(samplerSlot, static_cast<D3DSAMPLERSTATETYPE>(state.target), value);
            break;
        case D3DXResolvedState::Texture:
            if (p != nullptr && p->IsTexture()) {
                device->SetTexture(samplerSlot, p->value->texture);
            }
            break;
        case D3DXResolvedState::Sampler:
            if (p != nullptr && p->IsSampler()) {
                for (const D3DXResolvedState& inner : p->samplerStates) {
                    Apply(inner, state.slot);
                }
            }
            break;
        case D3DXResolvedState::Transform:
            if (p != nullptr && p->parameterClass == D3DXPC_MATRIX_ROWS && p->rows == 4 && p->columns == 4) {
                float m[16];
                for (size_t i = 0; i < 16; ++i) {
                    m[i] = static_cast<float>(Load(*p, i));
                }
                D3DMATRIX matrix;
                std::memcpy(&matrix, m, sizeof(m));
                device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(state.target), &matrix);
            }
            break;
        case D3DXResolvedState::LightEnable:
            device->LightEnable(state.slot, value != 0 ? TRUE : FALSE);
            break;
        case D3DXResolvedState::Shader:
        case D3DXResolvedState::Ignored:
            break;
    }
}

void D3DXEffectObject::SaveState(const D3DXResolvedState& state, DWORD samplerSlot) {
    if (state.kind == D3DXResolvedState::Sampler) {
        if (const D3DXEffectParameter* p = NamedParameter(state.parameter); p != nullptr && p->IsSampler()) {
            for (const D3DXResolvedState& inner : p->samplerStates) {
                SaveState(inner, state.slot);
            }
        }
        return;
    }
    const DWORD slot = (state.kind == D3DXResolvedState::SamplerState || state.kind == D3DXResolvedState::Texture)
                           ? samplerSlot
                           : state.slot;
    for (const Saved& s : saved) {
        if (s.kind == state.kind && s.slot == slot && s.target == state.target) {
            return;
        }
    }
    Saved s{state.kind, slot, state.target};
    switch (state.kind) {
        case D3DXResolvedState::RenderState:
            device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(state.target), &s.value);
            break;
        case D3DXResolvedState::StageState:
            device->GetTextureStageState(slot, static_cast<D3DTEXTURESTAGESTATETYPE>(state.target), &s.value);
            break;
        case D3DXResolvedState::SamplerState:
            device->GetSamplerState(slot, static_cast<D3DSAMPLERSTATETYPE>(state.target), &s.value);
            break;
        case D3DXResolvedState::Texture:
            device->GetTexture(slot, &s.texture);
            break;
        case D3DXResolvedState::Transform:
            device->GetTransform(static_cast<D3DTRANSFORMSTATETYPE>(state.target), &s.matrix);
            break;
        case D3DXResolvedState::LightEnable: {
            BOOL enabled = FALSE;
            if (FAILED(device->GetLightEnable(slot, &enabled))) {
                return;  // a light that does not exist yet has nothing to restore
            }
            s.value = static_cast<DWORD>(enabled);
            break;
        }
        default:
            return;
    }
    saved.push_back(s);
}

void D3DXEffectObject::RestoreState() {
    for (Saved& s : saved) {
        switch (s.kind) {
            case D3DXResolvedState::RenderState:
                device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(s.target), s.value);
                break;
            case D3DXResolvedState::StageState:
                device->SetTextureStageState(s.slot, static_cast<D3DTEXTURESTAGESTATETYPE>(s.target), s.value);
                break;
            case D3DXResolvedState::SamplerState:
                device->SetSamplerState(s.slot, static_cast<D3DSAMPLERSTATETYPE>(s.target), s.value);
                break;
            case D3DXResolvedState::Texture:
                device->SetTexture(s.slot, s.texture);
                break;
            case D3DXResolvedState::Transform:
                device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(s.target), &s.matrix);
                break;
            case D3DXResolvedState::LightEnable:
                device->LightEnable(s.slot, static_cast<BOOL>(s.value));
                break;
            default:
                break;
        }
        SafeRelease(s.texture);
    }
    saved.clear();
}

HRESULT D3DXEffectObject::Begin(UINT* passes, DWORD flags) {
    if (passes != nullptr) {
        *passes = 0;
    }
    if (current == nullptr || inBegin || device == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if ((flags & D3DXFX_DONOTSAVESTATE) == 0) {
        for (const auto& pass : current->passes) {
            for (const D3DXResolvedState& state : pass->states) {
                SaveState(state, state.slot);
            }
        }
    }
    inBegin = true;
    if (passes != nullptr) {
        *passes = static_cast<UINT>(current->passes.size());
    }
    return S_OK;
}

HRESULT D3DXEffectObject::BeginPass(UINT pass) {
    if (!inBegin || activePass >= 0 || pass >= current->passes.size()) {
        return D3DERR_INVALIDCALL;
    }
    activePass = static_cast<int>(pass);
    for (const D3DXResolvedState& state : current->passes[pass]->states) {
        Apply(state, state.slot);
    }
    return S_OK;
}

HRESULT D3DXEffectObject::CommitChanges() {
    if (activePass < 0) {
        return D3DERR_INVALIDCALL;
    }
    for (const D3DXResolvedState& state : current->passes[static_cast<size_t>(activePass)]->states) {
        Apply(state, state.slot);
    }
    return S_OK;
}

HRESULT D3DXEffectObject::EndPass() {
    if (activePass < 0) {
        return D3DERR_INVALIDCALL;
    }
    activePass = -1;
    return S_OK;
}

HRESULT D3DXEffectObject::End() {
    if (!inBegin) {
        return D3DERR_INVALIDCALL;
    }
    activePass = -1;
    inBegin = false;
    RestoreState();
    return S_OK;
}

HRESULT D3DXEffectObject::GetDevice(IDirect3DDevice9** out) { return D3D9HandOutDevice(device, out); }

HRESULT D3DXEffectObject::GetPool(ID3DXEffectPool** out) {
    if (out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *out = pool;
    if (pool != nullptr) {
        pool->AddRef();
    }
    return S_OK;
}

HRESULT D3DXEffectObject::OnLostDevice() {
    ++lostCount;
    return S_OK;
}

HRESULT D3DXEffectObject::OnResetDevice() {
    ++resetCount;
    return S_OK;
}
