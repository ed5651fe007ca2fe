// The recording Direct3D 9 device: it draws nothing, but it records every call in order
// with its arguments, keeps the device state in tables that tests query (render, stage and
// sampler states with Direct3D's defaults, transforms, material, lights and their enable
// flags, FVF, bound textures, streams and indices), creates memory-backed resources, and
// validates what the Direct3D runtime validates where the engine could get it wrong
// (draws outside a scene, draws without buffers or from a bound buffer that is still locked,
// index ranges past a buffer's end).
// Calls are also written to the shared CallTrace when it is enabled.
#pragma once

#include "platform/d3d9/D3D9.h"

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

// One recorded call. Integer arguments are kept as they were passed; float arguments as the
// bits of the 32-bit float (FloatArg reads them back); pointers as their address. Records
// that carry memory (DrawPrimitiveUP's vertices, SetLight's light, SetMaterial's material,
// SetTransform's matrix) copy it into `data`.
struct D3D9Call {
    std::string name;
    std::vector<uint64_t> args;
    std::vector<uint8_t> data;

    float FloatArg(size_t i) const;
    // "SetRenderState 137 1": name and arguments in decimal.
    std::string Text() const;
};

struct D3D9StreamBinding {
    IDirect3DVertexBuffer9* buffer = nullptr;
    UINT offset = 0;
    UINT stride = 0;
};

class D3D9RecordingDevice final : public ComObject<IDirect3DDevice9> {
public:
    // A new device with one reference and Direct3D's default state.
    static D3D9RecordingDevice* Create();

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT TestCooperativeLevel() override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** texture, HANDLE* sharedHandle) override;
    HRESULT CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DCubeTexture9** texture, HANDLE* sharedHandle) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** buffer,
                               HANDLE* sharedHandle) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool, IDirect3DIndexBuffer9** buffer,
                              HANDLE* sharedHandle) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindow, const void* dirtyRegion) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetMaterial(const D3DMATERIAL9* material) override;
    HRESULT GetMaterial(D3DMATERIAL9* material) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override;
    HRESULT GetLight(DWORD index, D3DLIGHT9* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT SetFVF(DWORD fvf) override;
    HRESULT GetFVF(DWORD* fvf) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) override;
    HRESULT GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset, UINT* stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* indices) override;
    HRESULT GetIndices(IDirect3DIndexBuffer9** indices) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex, UINT numVertices,
                                 UINT startIndex, UINT primitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                            UINT vertexStride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices, UINT primitiveCount,
                                   const void* indexData, D3DFORMAT indexFormat, const void* vertexData,
                                   UINT vertexStride) override;

    // --- test view ---
    const std::vector<D3D9Call>& Calls() const { return calls; }
    void ClearCalls() { calls.clear(); }
    // Whether calls are kept for Calls() (they are by default). A program that never reads them
    // (the game program between frame dumps) turns keeping off; the device's state (render
    // states, bindings, lights, counts) follows every call either way.
    void KeepCalls(bool keep) { keepCalls = keep; }
    bool KeepsCalls() const { return keepCalls; }
    // The recorded calls of one name, in order.
    std::vector<const D3D9Call*> CallsNamed(const std::string& name) const;
    void SetCaps(const D3DCAPS9& value) { caps = value; }
    // Simulates device loss: Present and TestCooperativeLevel report it until Reset, which
    // Direct3D refuses (D3DERR_INVALIDCALL) while default-pool resources of the device live.
    // resettable false makes TestCooperativeLevel say D3DERR_DEVICELOST (the window has
    // not come back yet) instead of D3DERR_DEVICENOTRESET, and Reset fail.
    void LoseDevice(bool resettable = true) {
        lost = true;
        this->resettable = resettable;
    }
    bool IsLost() const { return lost; }
    int ResetCount() const { return resets; }

    DWORD RenderState(D3DRENDERSTATETYPE state) const;
    DWORD StageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type) const;
    DWORD SamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type) const;
    // Identity for a transform never set.
    D3DMATRIX Transform(D3DTRANSFORMSTATETYPE state) const;
    const D3DMATERIAL9& Material() const { return material; }
    // The light in slot index, or null when the slot was never set or enabled.
    const D3DLIGHT9* Light(DWORD index) const;
    bool LightEnabled(DWORD index) const;
    DWORD FVF() const { return fvf; }
    IDirect3DBaseTexture9* BoundTexture(DWORD stage) const;
    D3D9StreamBinding Stream(UINT stream) const;
    IDirect3DIndexBuffer9* BoundIndices() const { return indices; }
    bool InScene() const { return inScene; }
    int SceneCount() const { return scenes; }
    int PresentCount() const { return presents; }

private:
    friend class D3D9DefaultPoolEntry;

    D3D9RecordingDevice();
    ~D3D9RecordingDevice() override;

    D3D9Call& Record(const char* name, std::initializer_list<uint64_t> args);
    // Calls not kept: the last one, for what the call writes into its record.
    bool keepCalls = true;
    D3D9Call scratch;
    void ReleaseBindings();
    HRESULT CheckDraw(D3DPRIMITIVETYPE type, UINT primitiveCount) const;

    struct LightSlot {
        D3DLIGHT9 light{};
        bool enabled = false;
    };

    std::vector<D3D9Call> calls;
    D3DCAPS9 caps;
    std::vector<DWORD> renderStates;
    std::vector<DWORD> stageStates;    // D3D9_STAGE_COUNT x D3D9_STAGE_STATE_COUNT
    std::vector<DWORD> samplerStates;  // D3D9_SAMPLER_COUNT x D3D9_SAMPLER_STATE_COUNT
    std::map<DWORD, D3DMATRIX> transforms;
    D3DMATERIAL9 material;
    std::map<DWORD, LightSlot> lights;
    DWORD fvf = 0;
    IDirect3DBaseTexture9* textures[D3D9_SAMPLER_COUNT] = {};  // each holds a reference
    D3D9StreamBinding streams[16];                             // each buffer holds a reference
    IDirect3DIndexBuffer9* indices = nullptr;                  // holds a reference
    bool inScene = false;
    bool lost = false;
    bool resettable = true;
    int resets = 0;
    int scenes = 0;
    int presents = 0;
    // Default-pool resources alive; shared with them, so one outliving the device stays safe.
    std::shared_ptr<std::atomic<int>> defaultPoolLive = std::make_shared<std::atomic<int>>(0);
};
