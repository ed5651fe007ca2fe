// The renderer: it holds the Direct3D device through which every texture, effect and buffer
// is made, and the state the scene code fills during a frame for the drawing that follows:
// the table of at most 30 lights, the numbered render layers with their cameras and
// matrices, debug lines, the screen fade, ambient and fog colours, motion and radial blur,
// the current sky and the device buffers of static meshes shared by name.
//
// There is one renderer, made by the host, which sets Instance, Device, MaxFade,
// MaxAnisotropy and the blur grid. The level loader calls LoadSky and SetDefaultStates; the
// sky's drawing calls SetAmbient and ApplyLights once a frame, which empties the light table.
//
// Shared mesh buffers are held by shared pointers: a record lives while a render object
// points at it, also after ReleaseMeshBuffers has let go of its device buffers.
#pragma once

#include "Render/CPMaterial.h"
#include "Render/CPRenderSky.h"
#include "Render/CPVertex.h"
#include "core/CPtr.h"
#include "core/Singletons.h"
#include "platform/d3d9/D3D9.h"
#include "platform/d3dx/D3DXMath.h"
#include "scene/CPBaseCamera.h"
#include "scene/CPRenderLayer.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CPGameObject;
class CPPhysicData;
class CPRenderBatcher;

class CPRender {
public:
    static CPRender* Instance;
    static constexpr int MaxLights = 30;
    // The layer of the 2-D interface, whose camera SetDefaultStates makes.
    static constexpr int InterfaceLayer = 195;

    // The device buffers of one static mesh and copies of what was put into them.
    struct MeshBuffers {
        MeshBuffers() = default;
        MeshBuffers(const MeshBuffers&) = delete;
        MeshBuffers& operator=(const MeshBuffers&) = delete;
        // Releases the buffers still held.
        ~MeshBuffers();
        // Both buffers exist: the mesh can be drawn from them.
        bool HasBuffers() const { return VertexBuffer != nullptr && IndexBuffer != nullptr; }

        IDirect3DVertexBuffer9* VertexBuffer = nullptr;  // owned
        IDirect3DIndexBuffer9* IndexBuffer = nullptr;    // owned
        int32_t VertexCount = 0;
        int32_t TriangleCount = 0;  // index count / 3
        std::vector<CPVertex> Vertices;
        std::vector<uint16_t> Indices;
    };

    // A vertex of the radial-blur grid: screen position, colour and texture coordinates
    // (vertex format D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1).
    struct BlurVertex {
        float X = 0.0f;
        float Y = 0.0f;
        float Z = 0.0f;
        float Rhw = 1.0f;
        uint32_t Color = 0xFFFFFFFFu;
        float U = 0.0f;
        float V = 0.0f;
    };
    static_assert(sizeof(BlurVertex) == 28);
    static constexpr uint32_t BlurVertexFVF = 0x144;

    CPRender();
    ~CPRender();
    CPRender(const CPRender&) = delete;
    CPRender& operator=(const CPRender&) = delete;

    // Replaces the sky by a new one from CreateSky, loaded from "skyscape<index>.txt"; the new
    // sky stays also when its file does not load. Without a factory there is no sky.
    void LoadSky(int index);
    // Screen position (pixels, y down, z 0) of a world point through ViewProjection. Not
    // finite for a point on the camera plane.
    D3DXVECTOR3& ProjectToScreen(D3DXVECTOR3& out, const D3DXVECTOR3& point) const;
    // Filters of stages 0 and 1 from "aniso": anisotropic on stage 0 above 0, else linear.
    void SetTextureFilter();
    // The level-start defaults of the device, then the 2-D camera of the interface layer.
    void SetDefaultStates();
    void SetLayerCamera(int layer, CPtr<CPBaseCamera> camera);
    // SetLayerCamera with a camera the renderer keeps: the camera it kept for that layer
    // before is deleted, so a caller that sets its camera again and again leaves one.
    void SetOwnLayerCamera(int layer, std::unique_ptr<CPBaseCamera> camera);
    void SetLayerMatrix(const float matrix[16], int layer);
    // Fade := MaxFade x value, value clamped to 0..1.
    void SetFade(float value);
    void AddLine(uint32_t color, const D3DXVECTOR3& from, const D3DXVECTOR3& to);
    void SetAmbient(uint32_t color, float r, float g, float b);
    // Appends a light to the table while it has room; false (and nothing stored) when full.
    bool AddLight(const D3DLIGHT9& light);
    // Hands the light table to the device, remembers the last directional light in SunLight,
    // disables the slots above it and empties the table.
    void ApplyLights();

    // The shared buffers of the mesh name (letter case ignored): the existing record, or a
    // new one filled with the data. A device that refuses a buffer or a lock, or a count of
    // zero, gives a record without buffers (HasBuffers false), which drawing skips.
    std::shared_ptr<MeshBuffers> CreateMeshBuffers(const std::string& name, const CPVertex* vertices,
                                                   const uint16_t* indices, int vertexCount, int indexCount);
    // Releases every record's device buffers and forgets the names; records still held by
    // render objects stay, without buffers.
    void ReleaseMeshBuffers();

    // Builds the radial-blur grid over the screen: (columns + 1) x (rows + 1) vertices row by
    // row, directions from the screen's centre.
    void CreateBlurGrid(int columns, int rows);
    // Points every blur direction away from the centre (screen middle, height (y + 1) / 2 of
    // the screen); nothing when "blur" is 0 or there is no grid.
    void SetRadialBlurCenter(float y);

    // Device loss: every device object gives up its resources, the device is reset, they
    // take them back, and the device state set since the level start is put back, so the
    // next frame draws as before the loss. The result is Reset's.
    HRESULT ResetDevice(D3DPRESENT_PARAMETERS* parameters);

    CPtr<CPMaterial> GetShadowMaterial() const { return ShadowMaterial; }
    // The host's batchers (CPRenderBatcher); null until it sets them.
    CPtr<CPRenderBatcher> GetStaticBatcher() const;
    CPtr<CPRenderBatcher> GetDynamicBatcher() const;

    // One whole loading frame, drawn and presented (CPRender_Loading.cpp): the background
    // picture over the screen and the progress bar of percent (clamped to 0..100).
    void DrawLoadingScreen(int percent);
    // The car's shadow decal (CPRender_Decal.cpp): the shadow object's render object gets the
    // terrain triangles of the car's last terrain query, lifted 0.03, textured so that the
    // picture covers the car's footprint (collision half extents + 0.1) placed by world.
    void ProjectDecal(CPtr<CPGameObject> shadow, const D3DXMATRIX* world, CPtr<CPPhysicData> physics);
    // Fits the frame (origin, u, v) to take in far, then writes the decal; a frame that stays
    // degenerate leaves the previous decal.
    static void BuildDecal(CPtr<CPGameObject> shadow, const D3DXVECTOR2& origin, const D3DXVECTOR2& far,
                           const D3DXVECTOR2& u, const D3DXVECTOR2& v, CPtr<CPPhysicData> physics);
    // Makes the frame usable: a degenerate one is rebuilt towards far; an invertible one is
    // widened to the smallest frame-aligned one holding itself, far, far + u and far + v.
    static void FitDecalFrame(D3DXVECTOR2& origin, D3DXVECTOR2& u, D3DXVECTOR2& v, const D3DXVECTOR2& far);

    std::unordered_map<std::string, std::shared_ptr<MeshBuffers>> MeshBufferMap;
    int32_t MotionBlur = 0;
    float MotionBlurAmount = 0.0f;
    float LightCoeff = 0.0f;
    uint8_t BlurAlpha = 255;
    int32_t DrawCounter = 0;
    CPtr<CPMaterial> ShadowMaterial;
    CPtr<CPRenderBatcher> StaticBatcher;   // filled every frame; the host's
    CPtr<CPRenderBatcher> DynamicBatcher;  // its ring holds the level's static meshes; the host's
    // ApplyLights calls so far: the frame drawing applies the table itself when no sky did.
    uint32_t LightsApplied = 0;
    bool LinesPending = false;
    std::vector<CPVertex> Lines;  // two vertices per line
    D3DLIGHT9 Lights[MaxLights];
    int32_t LightCount = 0;
    IDirect3DDevice9* Device = nullptr;  // the host's
    std::map<int32_t, CPRenderLayer> Layers;
    float Fade = 0.0f;
    int32_t MaxFade = 0;
    uint32_t Ambient = 0;
    D3DCOLORVALUE AmbientColor{0.0f, 0.0f, 0.0f, 1.0f};
    std::vector<BlurVertex> BlurVertices;
    std::vector<D3DXVECTOR2> BlurDirections;  // one unit vector per blur vertex
    int32_t BlurColumns = 0;
    int32_t BlurRows = 0;
    float RadialBlur = 0.0f;
    int32_t MaxAnisotropy = 1;
    std::unique_ptr<CPRenderSky> Sky;
    std::function<std::unique_ptr<CPRenderSky>()> CreateSky;  // the host's sky factory
    D3DXMATRIX ViewProjection;
    D3DLIGHT9 SunLight;
    IDirect3DTexture9* LoadingBackground = nullptr;  // owned
    IDirect3DTexture9* LoadingBar = nullptr;         // owned
    uint32_t FogColor = 0;
    int32_t TuneIndex = 0;  // 0..18

private:
    // The device part of SetDefaultStates.
    void ApplyDefaultStates();
    CPRenderLayer& Layer(int layer);

    bool defaultsApplied = false;
    // The device objects gave up their resources and a Reset has not yet succeeded.
    bool objectsLost = false;
    // The cameras the renderer keeps, by layer (SetDefaultStates' interface camera and those
    // of SetOwnLayerCamera); Release frees nothing, so the renderer deletes them when it goes
    // (after its layers).
    std::map<int, std::unique_ptr<CPBaseCamera>> ownCameras;
};
