#include "platform/d3d9/D3D9Device.h"

#include "platform/win32/CallTrace.h"
#include "platform/d3d9/D3D9Buffer.h"
#include "platform/d3d9/D3D9Faults.h"
#include "platform/d3d9/D3D9Resource.h"
#include "platform/d3d9/D3D9Texture.h"

#include <cstring>

static_assert(sizeof(D3DMATRIX) == 64);

namespace {

uint64_t Bits(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    return bits;
}

uint64_t Address(const void* pointer) { return reinterpret_cast<uintptr_t>(pointer); }

DWORD FloatState(float value) { return static_cast<DWORD>(Bits(value)); }

D3DMATRIX Identity() {
    const float values[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    D3DMATRIX matrix;
    std::memcpy(&matrix, values, sizeof(values));
    return matrix;
}

template <class T>
void Rebind(T*& slot, T* value) {
    if (value != nullptr) {
        value->AddRef();
    }
    if (slot != nullptr) {
        slot->Release();
    }
    slot = value;
}

template <class T>
void HandOut(T* value, T** out) {
    *out = value;
    if (value != nullptr) {
        value->AddRef();
    }
}

// Direct3D 9's documented defaults for a device created with a depth buffer.
std::vector<DWORD> DefaultRenderStates() {
    std::vector<DWORD> s(D3D9_RENDER_STATE_COUNT, 0);
    s[D3DRS_ZENABLE] = D3DZB_TRUE;
    s[D3DRS_FILLMODE] = D3DFILL_SOLID;
    s[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    s[D3DRS_ZWRITEENABLE] = TRUE;
    s[D3DRS_LASTPIXEL] = TRUE;
    s[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    s[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    s[D3DRS_CULLMODE] = D3DCULL_CCW;
    s[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    s[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    s[D3DRS_FOGEND] = FloatState(1.0f);
    s[D3DRS_FOGDENSITY] = FloatState(1.0f);
    s[D3DRS_STENCILFAIL] = D3DSTENCILOP_KEEP;
    s[D3DRS_STENCILZFAIL] = D3DSTENCILOP_KEEP;
    s[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
    s[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    s[D3DRS_STENCILMASK] = 0xFFFFFFFF;
    s[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFF;
    s[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
    s[D3DRS_CLIPPING] = TRUE;
    s[D3DRS_LIGHTING] = TRUE;
    s[D3DRS_COLORVERTEX] = TRUE;
    s[D3DRS_LOCALVIEWER] = TRUE;
    s[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    s[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    s[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
    s[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
    s[D3DRS_POINTSIZE] = FloatState(1.0f);
    s[D3DRS_POINTSIZE_MIN] = FloatState(1.0f);
    s[D3DRS_POINTSCALE_A] = FloatState(1.0f);
    s[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
    s[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFF;
    s[D3DRS_POINTSIZE_MAX] = FloatState(64.0f);
    s[D3DRS_COLORWRITEENABLE] = 0x0000000F;
    s[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    s[D3DRS_BLENDFACTOR] = 0xFFFFFFFF;
    s[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
    s[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
    s[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
    return s;
}

std::vector<DWORD> DefaultStageStates() {
    std::vector<DWORD> s(D3D9_STAGE_COUNT * D3D9_STAGE_STATE_COUNT, 0);
    for (DWORD stage = 0; stage < D3D9_STAGE_COUNT; ++stage) {
        DWORD* row = &s[stage * D3D9_STAGE_STATE_COUNT];
        row[D3DTSS_COLOROP] = (stage == 0) ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        row[D3DTSS_ALPHAOP] = (stage == 0) ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        row[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        row[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        row[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        row[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        row[D3DTSS_TEXCOORDINDEX] = stage;
        row[D3DTSS_COLORARG0] = D3DTA_CURRENT;
        row[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
        row[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    }
    return s;
}

std::vector<DWORD> DefaultSamplerStates() {
    std::vector<DWORD> s(D3D9_SAMPLER_COUNT * D3D9_SAMPLER_STATE_COUNT, 0);
    for (DWORD sampler = 0; sampler < D3D9_SAMPLER_COUNT; ++sampler) {
        DWORD* row = &s[sampler * D3D9_SAMPLER_STATE_COUNT];
        row[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
        row[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
        row[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        row[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
        row[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        row[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        row[D3DSAMP_MAXANISOTROPY] = 1;
    }
    return s;
}

// The light LightEnable gives a slot that was never set: white directional along +z.
D3DLIGHT9 DefaultLight() {
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse.r = light.Diffuse.g = light.Diffuse.b = 1.0f;
    light.Direction.z = 1.0f;
    return light;
}

}  // namespace

float D3D9Call::FloatArg(size_t i) const {
    const uint32_t bits = static_cast<uint32_t>(args.at(i));
    float value = 0.0f;
    std::memcpy(&value, &bits, 4);
    return value;
}

std::string D3D9Call::Text() const {
    std::string text = name;
    for (uint64_t arg : args) {
        text += ' ';
        text += std::to_string(arg);
    }
    return text;
}

D3D9RecordingDevice* D3D9RecordingDevice::Create() { return new D3D9RecordingDevice(); }

D3D9RecordingDevice::D3D9RecordingDevice()
    : renderStates(DefaultRenderStates()), stageStates(DefaultStageStates()), samplerStates(DefaultSamplerStates()) {}

D3D9RecordingDevice::~D3D9RecordingDevice() { ReleaseBindings(); }

void D3D9RecordingDevice::ReleaseBindings() {
    for (IDirect3DBaseTexture9*& texture : textures) {
        SafeRelease(texture);
    }
    for (D3D9StreamBinding& stream : streams) {
        SafeRelease(stream.buffer);
        stream = D3D9StreamBinding{};
    }
    SafeRelease(indices);
}

HRESULT D3D9RecordingDevice::TestCooperativeLevel() {
    if (!lost) {
        return S_OK;
    }
    return resettable ? D3DERR_DEVICENOTRESET : D3DERR_DEVICELOST;
}

HRESULT D3D9RecordingDevice::Reset(D3DPRESENT_PARAMETERS* parameters) {
    Record("Reset", {Address(parameters)});
    if (parameters == nullptr || inScene) {
        return D3DERR_INVALIDCALL;
    }
    if (lost && !resettable) {
        return D3DERR_DEVICELOST;
    }
    // The bindings go with the reset; other holders of default-pool resources must have
    // released them.
    ReleaseBindings();
    if (*defaultPoolLive > 0) {
        return D3DERR_INVALIDCALL;
    }
    renderStates = DefaultRenderStates();
    stageStates = DefaultStageStates();
    samplerStates = DefaultSamplerStates();
    transforms.clear();
    material = D3DMATERIAL9{};
    lights.clear();
    fvf = 0;
    lost = false;
    ++resets;
    return S_OK;
}

D3D9Call& D3D9RecordingDevice::Record(const char* name, std::initializer_list<uint64_t> args) {
    if (!keepCalls) {
        // Nothing reads a record that is not kept but the trace, and the call's own data.
        scratch.data.clear();
        if (CallTrace::Enabled()) {
            scratch.name = name;
            scratch.args.assign(args);
            CallTrace::Record(scratch.Text());
        }
        return scratch;
    }
    calls.push_back(D3D9Call{name, std::vector<uint64_t>(args), {}});
    if (CallTrace::Enabled()) {
        CallTrace::Record(calls.back().Text());
    }
    return calls.back();
}

std::vector<const D3D9Call*> D3D9RecordingDevice::CallsNamed(const std::string& name) const {
    std::vector<const D3D9Call*> found;
    for (const D3D9Call& call : calls) {
        if (call.name == name) {
            found.push_back(&call);
        }
    }
    return found;
}

HRESULT D3D9RecordingDevice::QueryInterface(REFIID riid, void** object) { return D3D9QueryUnknown(this, riid, object); }

HRESULT D3D9RecordingDevice::GetDeviceCaps(D3DCAPS9* out) {
    if (out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *out = caps;
    return S_OK;
}

// --- resources ---

HRESULT D3D9RecordingDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                           D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* sharedHandle) {
    Record("CreateTexture", {width, height, levels, usage, format, pool});
    if (texture == nullptr || sharedHandle != nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *texture = nullptr;
    if (const HRESULT hr = D3D9ValidateTexture(width, height, levels, usage, format, pool, caps); FAILED(hr)) {
        return hr;
    }
    if (const HRESULT injected = D3D9Faults::Take(D3D9Fault::CreateTexture); FAILED(injected)) {
        return injected;
    }
    *texture = new D3D9Texture(this, width, height, levels, usage, format, pool);
    return S_OK;
}

HRESULT D3D9RecordingDevice::CreateCubeTexture(UINT edge, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                               IDirect3DCubeTexture9** texture, HANDLE* sharedHandle) {
    Record("CreateCubeTexture", {edge, levels, usage, format, pool});
    if (texture == nullptr || sharedHandle != nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *texture = nullptr;
    if (const HRESULT hr = D3D9ValidateTexture(edge, edge, levels, usage, format, pool, caps); FAILED(hr)) {
        return hr;
    }
    if (const HRESULT injected = D3D9Faults::Take(D3D9Fault::CreateCubeTexture); FAILED(injected)) {
        return injected;
    }
    *texture = new D3D9CubeTexture(this, edge, levels, usage, format, pool);
    return S_OK;
}

HRESULT D3D9RecordingDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD format, D3DPOOL pool,
                                                IDirect3DVertexBuffer9** buffer, HANDLE* sharedHandle) {
    Record("CreateVertexBuffer", {length, usage, format, pool});
    if (buffer == nullptr || sharedHandle != nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *buffer = nullptr;
    // Direct3D refuses empty buffers and, with an FVF, buffers smaller than one vertex.
    if (length == 0 || (format != 0 && length < D3DXGetFVFVertexSize(format))) {
        return D3DERR_INVALIDCALL;
    }
    if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) {
        return D3DERR_INVALIDCALL;
    }
    if (const HRESULT injected = D3D9Faults::Take(D3D9Fault::CreateVertexBuffer); FAILED(injected)) {
        return injected;
    }
    *buffer = new D3D9VertexBuffer(this, length, usage, format, pool);
    return S_OK;
}

HRESULT D3D9RecordingDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                               IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle) {
    Record("CreateIndexBuffer", {length, usage, format, pool});
    if (buffer == nullptr || sharedHandle != nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *buffer = nullptr;
    if (length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32)) {
        return D3DERR_INVALIDCALL;
    }
    if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) {
        return D3DERR_INVALIDCALL;
    }
    if (const HRESULT injected = D3D9Faults::Take(D3D9Fault::CreateIndexBuffer); FAILED(injected)) {
        return injected;
    }
    *buffer = new D3D9IndexBuffer(this, length, usage, format, pool);
    return S_OK;
}

// --- frame ---

HRESULT D3D9RecordingDevice::BeginScene() {
    Record("BeginScene", {});
    if (inScene) {
        return D3DERR_INVALIDCALL;
    }
    if (const HRESULT injected = D3D9Faults::Take(D3D9Fault::BeginScene); FAILED(injected)) {
        return injected;
    }
    inScene = true;
    ++scenes;
    return S_OK;
}

HRESULT D3D9RecordingDevice::EndScene() {
    Record("EndScene", {});
    if (!inScene) {
        return D3DERR_INVALIDCALL;
    }
    inScene = false;
    return S_OK;
}

HRESULT D3D9RecordingDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                                   DWORD stencil) {
    D3D9Call& call = Record("Clear", {count, Address(rects), flags, color, Bits(z), stencil});
    if (rects != nullptr && count > 0) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(rects);
        call.data.assign(bytes, bytes + sizeof(D3DRECT) * count);
    }
    if ((rects == nullptr) != (count == 0) || (flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) == 0) {
        return D3DERR_INVALIDCALL;
    }
    return S_OK;
}

HRESULT D3D9RecordingDevice::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindow,
                                     const void* dirtyRegion) {
    Record("Present", {Address(sourceRect), Address(destRect), Address(destWindow), Address(dirtyRegion)});
    if (inScene) {
        return D3DERR_INVALIDCALL;
    }
    if (lost) {
        return D3DERR_DEVICELOST;
    }
    if (const HRESULT injected = D3D9Faults::Take(D3D9Fault::Present); FAILED(injected)) {
        return injected;
    }
    ++presents;
    return S_OK;
}

// --- fixed-function state ---

HRESULT D3D9RecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    D3D9Call& call = Record("SetTransform", {state});
    if (matrix == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(matrix);
    call.data.assign(bytes, bytes + sizeof(D3DMATRIX));
    transforms[state] = *matrix;
    return S_OK;
}

HRESULT D3D9RecordingDevice::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (matrix == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *matrix = Transform(state);
    return S_OK;
}

D3DMATRIX D3D9RecordingDevice::Transform(D3DTRANSFORMSTATETYPE state) const {
    const auto found = transforms.find(state);
    return found != transforms.end() ? found->second : Identity();
}

HRESULT D3D9RecordingDevice::SetMaterial(const D3DMATERIAL9* value) {
    D3D9Call& call = Record("SetMaterial", {});
    if (value == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(value);
    call.data.assign(bytes, bytes + sizeof(D3DMATERIAL9));
    material = *value;
    return S_OK;
}

HRESULT D3D9RecordingDevice::GetMaterial(D3DMATERIAL9* out) {
    if (out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *out = material;
    return S_OK;
}

HRESULT D3D9RecordingDevice::SetLight(DWORD index, const D3DLIGHT9* light) {
    D3D9Call& call = Record("SetLight", {index});
    if (light == nullptr || light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL) {
        return D3DERR_INVALIDCALL;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(light);
    call.data.assign(bytes, bytes + sizeof(D3DLIGHT9));
    lights[index].light = *light;
    return S_OK;
}

HRESULT D3D9RecordingDevice::GetLight(DWORD index, D3DLIGHT9* out) {
    const auto found = lights.find(index);
    if (out == nullptr || found == lights.end()) {
        return D3DERR_INVALIDCALL;
    }
    *out = found->second.light;
    return S_OK;
}

HRESULT D3D9RecordingDevice::LightEnable(DWORD index, BOOL enable) {
    Record("LightEnable", {index, static_cast<uint64_t>(static_cast<uint32_t>(enable))});
    auto found = lights.find(index);
    if (found == lights.end()) {
        found = lights.emplace(index, LightSlot{DefaultLight(), false}).first;
    }
    found->second.enabled = (enable != FALSE);
    return S_OK;
}

HRESULT D3D9RecordingDevice::GetLightEnable(DWORD index, BOOL* enable) {
    const auto found = lights.find(index);
    if (enable == nullptr || found == lights.end()) {
        return D3DERR_INVALIDCALL;
    }
    *enable = found->second.enabled ? TRUE : FALSE;
    return S_OK;
}

const D3DLIGHT9* D3D9RecordingDevice::Light(DWORD index) const {
    const auto found = lights.find(index);
    return found != lights.end() ? &found->second.light : nullptr;
}

bool D3D9RecordingDevice::LightEnabled(DWORD index) const {
    const auto found = lights.find(index);
    return found != lights.end() && found->second.enabled;
}

HRESULT D3D9RecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    Record("SetRenderState", {state, value});
    if (state >= D3D9_RENDER_STATE_COUNT) {
        return D3DERR_INVALIDCALL;
    }
    renderStates[state] = value;
    return S_OK;
}

HRESULT D3D9RecordingDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (value == nullptr || state >= D3D9_RENDER_STATE_COUNT) {
        return D3DERR_INVALIDCALL;
    }
    *value = renderStates[state];
    return S_OK;
}

DWORD D3D9RecordingDevice::RenderState(D3DRENDERSTATETYPE state) const {
    return state < D3D9_RENDER_STATE_COUNT ? renderStates[state] : 0;
}

HRESULT D3D9RecordingDevice::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    Record("SetTexture", {stage, Address(texture)});
    if (stage >= D3D9_SAMPLER_COUNT) {
        return D3DERR_INVALIDCALL;
    }
    Rebind(textures[stage], texture);
    return S_OK;
}

HRESULT D3D9RecordingDevice::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) {
    if (texture == nullptr || stage >= D3D9_SAMPLER_COUNT) {
        return D3DERR_INVALIDCALL;
    }
    HandOut(textures[stage], texture);
    return S_OK;
}

IDirect3DBaseTexture9* D3D9RecordingDevice::BoundTexture(DWORD stage) const {
    return stage < D3D9_SAMPLER_COUNT ? textures[stage] : nullptr;
}

namespace {

// The entry of one stage's (or sampler's) state in a table of units x types, or null when
// either index is out of range.
template <class Table>
auto StateSlot(Table& table, DWORD unit, DWORD units, DWORD type, DWORD types) -> decltype(table.data()) {
    return (unit < units && type < types) ? table.data() + unit * types + type : nullptr;
}

}  // namespace

HRESULT D3D9RecordingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    Record("SetTextureStageState", {stage, type, value});
    DWORD* slot = StateSlot(stageStates, stage, D3D9_STAGE_COUNT, type, D3D9_STAGE_STATE_COUNT);
    if (slot == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *slot = value;
    return S_OK;
}

HRESULT D3D9RecordingDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
    const DWORD* slot = StateSlot(stageStates, stage, D3D9_STAGE_COUNT, type, D3D9_STAGE_STATE_COUNT);
    if (value == nullptr || slot == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *value = *slot;
    return S_OK;
}

DWORD D3D9RecordingDevice::StageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type) const {
    const DWORD* slot = StateSlot(stageStates, stage, D3D9_STAGE_COUNT, type, D3D9_STAGE_STATE_COUNT);
    return slot != nullptr ? *slot : 0;
}

HRESULT D3D9RecordingDevice::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    Record("SetSamplerState", {sampler, type, value});
    DWORD* slot = StateSlot(samplerStates, sampler, D3D9_SAMPLER_COUNT, type, D3D9_SAMPLER_STATE_COUNT);
    if (slot == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *slot = value;
    return S_OK;
}

HRESULT D3D9RecordingDevice::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
    const DWORD* slot = StateSlot(samplerStates, sampler, D3D9_SAMPLER_COUNT, type, D3D9_SAMPLER_STATE_COUNT);
    if (value == nullptr || slot == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *value = *slot;
    return S_OK;
}

DWORD D3D9RecordingDevice::SamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type) const {
    const DWORD* slot = StateSlot(samplerStates, sampler, D3D9_SAMPLER_COUNT, type, D3D9_SAMPLER_STATE_COUNT);
    return slot != nullptr ? *slot : 0;
}

// --- geometry ---

HRESULT D3D9RecordingDevice::SetFVF(DWORD value) {
    Record("SetFVF", {value});
    fvf = value;
    return S_OK;
}

HRESULT D3D9RecordingDevice::GetFVF(DWORD* value) {
    if (value == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *value = fvf;
    return S_OK;
}

HRESULT D3D9RecordingDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) {
    Record("SetStreamSource", {stream, Address(buffer), offset, stride});
    if (stream >= 16) {
        return D3DERR_INVALIDCALL;
    }
    Rebind(streams[stream].buffer, buffer);
    streams[stream].offset = offset;
    streams[stream].stride = stride;
    return S_OK;
}

HRESULT D3D9RecordingDevice::GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset,
                                             UINT* stride) {
    if (stream >= 16 || buffer == nullptr || offset == nullptr || stride == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    HandOut(streams[stream].buffer, buffer);
    *offset = streams[stream].offset;
    *stride = streams[stream].stride;
    return S_OK;
}

D3D9StreamBinding D3D9RecordingDevice::Stream(UINT stream) const { return stream < 16 ? streams[stream] : D3D9StreamBinding{}; }

HRESULT D3D9RecordingDevice::SetIndices(IDirect3DIndexBuffer9* value) {
    Record("SetIndices", {Address(value)});
    Rebind(indices, value);
    return S_OK;
}

HRESULT D3D9RecordingDevice::GetIndices(IDirect3DIndexBuffer9** out) {
    if (out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    HandOut(indices, out);
    return S_OK;
}

HRESULT D3D9RecordingDevice::CheckDraw(D3DPRIMITIVETYPE type, UINT primitiveCount) const {
    if (!inScene || type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN || primitiveCount > caps.MaxPrimitiveCount) {
        return D3DERR_INVALIDCALL;
    }
    return D3D9Faults::Take(D3D9Fault::Draw);
}

HRESULT D3D9RecordingDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    Record("DrawPrimitive", {type, startVertex, primitiveCount});
    if (const HRESULT hr = CheckDraw(type, primitiveCount); FAILED(hr)) {
        return hr;
    }
    const D3D9StreamBinding& stream = streams[0];
    if (stream.buffer == nullptr || stream.stride == 0) {
        return D3DERR_INVALIDCALL;
    }
    if (const D3D9VertexBuffer* vb = D3D9VertexBuffer::From(stream.buffer)) {
        if (vb->IsLocked()) {
            return D3DERR_INVALIDCALL;
        }
        const uint64_t end = uint64_t{stream.offset} +
                             (uint64_t{startVertex} + D3D9VertexCountOf(type, primitiveCount)) * stream.stride;
        if (end > vb->Bytes().size()) {
            return D3DERR_INVALIDCALL;
        }
    }
    return S_OK;
}

HRESULT D3D9RecordingDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex,
                                                  UINT numVertices, UINT startIndex, UINT primitiveCount) {
    Record("DrawIndexedPrimitive", {type, static_cast<uint64_t>(static_cast<int64_t>(baseVertexIndex)), minVertexIndex,
                                    numVertices, startIndex, primitiveCount});
    if (const HRESULT hr = CheckDraw(type, primitiveCount); FAILED(hr)) {
        return hr;
    }
    const D3D9StreamBinding& stream = streams[0];
    if (indices == nullptr || stream.buffer == nullptr || stream.stride == 0) {
        return D3DERR_INVALIDCALL;
    }
    // Every index read must lie in the index buffer, and every vertex it names in stream 0.
    const D3D9IndexBuffer* ib = D3D9IndexBuffer::From(indices);
    const D3D9VertexBuffer* vb = D3D9VertexBuffer::From(stream.buffer);
    if ((ib != nullptr && ib->IsLocked()) || (vb != nullptr && vb->IsLocked())) {
        return D3DERR_INVALIDCALL;
    }
    if (ib != nullptr && vb != nullptr) {
        const uint64_t count = D3D9VertexCountOf(type, primitiveCount);
        if (uint64_t{startIndex} + count > ib->IndexCount()) {
            return D3DERR_INVALIDCALL;
        }
        const uint64_t available = vb->Bytes().size() > stream.offset
                                       ? (vb->Bytes().size() - stream.offset) / stream.stride
                                       : 0;
        if (count > 0) {
            uint32_t lowest = 0;
            uint32_t highest = 0;
            ib->IndexRange(startIndex, count, lowest, highest);
            const int64_t first = int64_t{baseVertexIndex} + lowest;
            const int64_t last = int64_t{baseVertexIndex} + highest;
            if (first < 0 || static_cast<uint64_t>(last) >= available) {
                return D3DERR_INVALIDCALL;
            }
        }
    }
    return S_OK;
}

HRESULT D3D9RecordingDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                                             UINT vertexStride) {
    D3D9Call& call = Record("DrawPrimitiveUP", {type, primitiveCount, vertexStride});
    // Direct3D checks the count before it reads the caller's vertices.
    if (vertexData != nullptr && primitiveCount <= caps.MaxPrimitiveCount) {
        const auto* bytes = static_cast<const uint8_t*>(vertexData);
        call.data.assign(bytes, bytes + size_t{D3D9VertexCountOf(type, primitiveCount)} * vertexStride);
    }
    // Direct3D leaves stream 0 unset after a draw from user memory.
    SafeRelease(streams[0].buffer);
    streams[0] = D3D9StreamBinding{};
    if (vertexData == nullptr || vertexStride == 0) {
        return D3DERR_INVALIDCALL;
    }
    return CheckDraw(type, primitiveCount);
}

HRESULT D3D9RecordingDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices,
                                                    UINT primitiveCount, const void* indexData, D3DFORMAT indexFormat,
                                                    const void* vertexData, UINT vertexStride) {
    D3D9Call& call = Record("DrawIndexedPrimitiveUP",
                            {type, minVertexIndex, numVertices, primitiveCount, indexFormat, vertexStride});
    const bool valid = indexData != nullptr && vertexData != nullptr && vertexStride != 0 &&
                       (indexFormat == D3DFMT_INDEX16 || indexFormat == D3DFMT_INDEX32);
    if (valid) {
        // The record holds the vertices minVertexIndex .. minVertexIndex + numVertices - 1.
        const auto* bytes = static_cast<const uint8_t*>(vertexData) + size_t{minVertexIndex} * vertexStride;
        call.data.assign(bytes, bytes + size_t{numVertices} * vertexStride);
    }
    SafeRelease(streams[0].buffer);
    streams[0] = D3D9StreamBinding{};
    SafeRelease(indices);
    if (!valid) {
        return D3DERR_INVALIDCALL;
    }
    return CheckDraw(type, primitiveCount);
}
