#include "Render/CPRenderFrame.h"

#include "Render/CPEffectManager.h"
#include "Render/CPMaterial.h"
#include "Render/CPRenderBatcher.h"
#include "Render/CPRenderObject.h"
#include "Render/CPTexture.h"
#include "Render/FrameDump.h"
#include "core/ConfigVars.h"
#include "core/ExactCast.h"
#include "core/FrameTime.h"
#include "scene/CPGameObject.h"
#include "scene/CPPerspectiveCamera.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <typeinfo>

namespace {

D3DXMATRIX Identity() {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

uint8_t ClampByte(float value) {
    if (!(value > 0.0f)) {
        return 0;
    }
    return value >= 255.0f ? 255 : static_cast<uint8_t>(value);
}

// A block's objects lie scattered over the heap, so a walk that stops for each one's memory
// in turn spends most of its time waiting. These ask for it ahead of the object's turn: its
// first lines (what the frame reads of a mesh), and once those are in, its owner's flags.
// Only hints: a prefetch never faults.
constexpr size_t ObjectsAhead = 8;
constexpr size_t OwnersAhead = 4;

// Every line holding a byte of [from, from + bytes).
void PrefetchRange(const void* from, size_t bytes) {
    const auto start = reinterpret_cast<uintptr_t>(from);
    for (uintptr_t line = start & ~uintptr_t{63}; line < start + bytes; line += 64) {
        __builtin_prefetch(reinterpret_cast<const void*>(line));
    }
}

void PrefetchObject(const CPRenderable* object) {
    // A mesh's first 120 bytes; for other objects a prefetch is wasted, not wrong.
    PrefetchRange(object, 120);
}

void PrefetchOwner(const CPRenderable* object) {
    if (object != nullptr && typeid(*object) == typeid(CPRenderObject)) {
        const CPGameObject* owner = static_cast<const CPRenderObject*>(object)->Owner;
        if (owner != nullptr) {
            __builtin_prefetch(&owner->Static);
        }
    }
}

// A mesh that sits in the level's ring for good: its vertices there stay right.
bool InLevelRing(const CPRenderObject* mesh) {
    return mesh != nullptr && !mesh->HasModifiers && mesh->Owner != nullptr && mesh->Owner->Static;
}

std::string MaterialName(const CPMaterial* material) {
    if (material == nullptr) {
        return "(none)";
    }
    return material->Effect != nullptr ? material->Effect->Name : std::string("(no effect)");
}

}  // namespace

int32_t CPRenderFrame::LayerFor(int type) const {
    if (render.Layers.empty()) {
        return INT32_MIN;
    }
    auto above = render.Layers.upper_bound(type);
    if (above == render.Layers.begin()) {
        return above->first;
    }
    return std::prev(above)->first;
}

void CPRenderFrame::Note(const std::string& text) {
    if (Dump != nullptr) {
        Dump->Mark(text);
    }
}

void CPRenderFrame::Discard() {
    for (CPRenderBatcher* batcher : {render.StaticBatcher.Get(), render.DynamicBatcher.Get()}) {
        if (batcher != nullptr) {
            batcher->EndFrame();
        }
    }
    blocks.clear();
    pieces.clear();
    render.LightCount = 0;
    render.Lines.clear();
    render.LinesPending = false;
}

bool CPRenderFrame::Draw(float frameTime) {
    Last = Statistics{};
    device = render.Device;
    frameBatcher = render.StaticBatcher.Get();
    staticBatcher = render.DynamicBatcher.Get();
    if (device == nullptr || FAILED(device->TestCooperativeLevel())) {
        // Lost: the host resets the device; this frame's gathering is dropped.
        Note("frame skipped");
        Discard();
        return false;
    }
    if (staticBatcher != nullptr) {
        staticBatcher->RefillIfLost();
    }
    if (frameBatcher != nullptr) {
        frameBatcher->VertexRing->Refill = false;  // written anew every frame anyway
    }

    // The scene camera: the lowest layer with a perspective camera. ViewProjection is set
    // here, before anything of this frame or the next projects with it.
    sceneView = Identity();
    sceneProjection = Identity();
    for (auto& [number, layer] : render.Layers) {
        if (auto* camera = dynamic_cast<CPPerspectiveCamera*>(layer.Camera.Get()); camera != nullptr) {
            sceneView = camera->View;
            sceneProjection = camera->Projection;
            render.ViewProjection = sceneView * sceneProjection;
            break;
        }
    }

    if (FAILED(device->BeginScene())) {
        Note("frame skipped");
        Discard();
        return false;
    }
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, render.FogColor, 1.0f, 0);
    view = sceneView;
    projection = sceneProjection;
    const D3DXMATRIX identity = Identity();
    device->SetTransform(D3DTS_VIEW, &view);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    device->SetTransform(D3DTS_WORLD, &identity);

    const uint32_t applied = render.LightsApplied;
    if (render.Sky) {
        Note("sky");
        render.Sky->Render(frameTime);
    }
    if (render.LightsApplied == applied) {
        Note("lights");
        render.ApplyLights();
    }
    device->SetFVF(CPVertexFVF);

    CollectBlocks();
    DrawBlocks();
    DrawLines();
    DrawScreenPasses();

    device->EndScene();
    const HRESULT presented = device->Present(nullptr, nullptr, nullptr, nullptr);
    Discard();
    return SUCCEEDED(presented);
}

void CPRenderFrame::CollectBlocks() {
    blocks.clear();
    for (CPRenderBatcher* batcher : {frameBatcher, staticBatcher}) {
        if (batcher == nullptr) {
            continue;
        }
        for (CPMaterial* material : batcher->FrameOrder) {
            const auto found = batcher->FrameBlocks.find(material);
            if (found == batcher->FrameBlocks.end() || !found->second || found->second->Objects.empty()) {
                continue;
            }
            blocks.push_back(FrameBlock{material, found->second.Get(), LayerFor(material != nullptr ? material->Type : 0)});
        }
    }
    std::stable_sort(blocks.begin(), blocks.end(),
                     [](const FrameBlock& a, const FrameBlock& b) { return a.Layer < b.Layer; });
    Last.Blocks = static_cast<int>(blocks.size());
}

void CPRenderFrame::DrawBlocks() {
    layerApplied = false;
    if (blocks.empty() || frameBatcher == nullptr) {
        return;
    }
    CPIVertexBuffer& ring = *frameBatcher->VertexRing;
    size_t next = 0;
    size_t object = 0;
    while (next < blocks.size()) {
        if (ring.Locked) {
            ring.Unlock(true);
        }
        ring.Forget();
        if (!ring.Lock(0, 0, true, -1)) {
            Note("ring refused the frame's blocks");
            return;
        }
        frameSlot = ring.Current;
        pieces.clear();
        const size_t before = next;
        const size_t beforeObject = object;
        next = FillPieces(next, object);
        ring.Unlock(true);
        DrawPieces();
        if (next == before && object == beforeObject) {
            return;  // nothing fitted an empty slot: give up rather than loop
        }
    }
}

size_t CPRenderFrame::FillPieces(size_t next, size_t& object) {
    CPIVertexBuffer& ring = *frameBatcher->VertexRing;
    CPIVertexBuffer* levelRing = staticBatcher != nullptr ? staticBatcher->VertexRing.Get() : nullptr;
    if (levelRing != nullptr && levelRing->Written.empty()) {
        levelRing = nullptr;
    }
    for (; next < blocks.size(); ++next, object = 0) {
        CPIVBlock& block = *blocks[next].Block;
        Piece piece;
        piece.Block = next;
        piece.DynamicIndex = ring.IndicesWritten;
        piece.MinVertex = ring.VerticesWritten;
        fromLevel.clear();
        uint32_t levelIndices = 0;
        bool full = false;
        const std::vector<CPtr<CPRenderable>>& objects = block.Objects;
        for (size_t k = object; k < std::min(objects.size(), object + ObjectsAhead); ++k) {
            PrefetchObject(objects[k].Get());
        }
        for (; object < objects.size(); ++object) {
            if (object + ObjectsAhead < objects.size()) {
                PrefetchObject(objects[object + ObjectsAhead].Get());
            }
            if (object + OwnersAhead < objects.size()) {
                PrefetchOwner(objects[object + OwnersAhead].Get());
            }
            CPRenderable* r = objects[object].Get();
            if (r == nullptr) {
                continue;
            }
            // Nearly every object is a static mesh: it is asked without the virtual calls.
            auto* mesh = ExactCast<CPRenderObject>(r);
            if (mesh != nullptr ? mesh->IsExcluded() : r->IsExcluded()) {
                if (mesh != nullptr && mesh->MeshBuffers && mesh->MeshBuffers->HasBuffers()) {
                    piece.Shared.push_back(mesh);
                }
                continue;
            }
            CPIVertexBuffer::Placement place;
            if (levelRing != nullptr && InLevelRing(mesh) && levelRing->Find(r, place) &&
                (piece.StaticSlot == -1 || piece.StaticSlot == place.Slot)) {
                const auto ni = static_cast<uint32_t>(std::max(mesh->GetIndexCount(), 0));
                if (levelIndices + ni > ring.IndicesLeft()) {
                    full = true;
                    break;
                }
                const auto nv = static_cast<uint32_t>(std::max(mesh->GetVertexCount(), 0));
                if (piece.StaticSlot == -1) {
                    piece.StaticSlot = place.Slot;
                    piece.StaticMin = place.Vertex;
                    piece.StaticEnd = place.Vertex;
                }
                piece.StaticMin = std::min(piece.StaticMin, place.Vertex);
                piece.StaticEnd = std::max(piece.StaticEnd, place.Vertex + nv);
                fromLevel.emplace_back(mesh, place.Vertex);
                // Its indices are copied once the piece's objects are counted; the start of a
                // long list is enough, the hardware follows a stream.
                PrefetchRange(mesh->Indices.data(), std::min<size_t>(mesh->Indices.size() * sizeof(uint16_t), 4 * 64));
                levelIndices += ni;
                ++Last.Objects;
                continue;
            }
            const int nv = r->GetVertexCount();
            if (nv <= 0) {
                continue;
            }
            const auto ni = static_cast<uint32_t>(std::max(r->GetIndexCount(), 0));
            if (static_cast<uint32_t>(nv) > ring.VerticesLeft() || ni + levelIndices > ring.IndicesLeft() ||
                ring.VerticesWritten + static_cast<uint32_t>(nv) > CPIVertexBuffer::IndexReach) {
                if (ring.VerticesWritten == 0 && ring.IndicesWritten == 0 && levelIndices == 0) {
                    continue;  // larger than a whole slot: it cannot be drawn
                }
                full = true;
                break;
            }
            if (ring.Add(r)) {
                ++Last.Objects;
            }
        }
        piece.DynamicIndices = ring.IndicesWritten - piece.DynamicIndex;
        piece.Vertices = ring.VerticesWritten - piece.MinVertex;
        piece.StaticIndex = ring.IndicesWritten;
        for (const auto& [mesh, first] : fromLevel) {
            ring.AddIndices(mesh, static_cast<uint16_t>(first));
        }
        piece.StaticIndices = ring.IndicesWritten - piece.StaticIndex;
        if (piece.DynamicIndices > 0 || piece.StaticIndices > 0 || !piece.Shared.empty()) {
            pieces.push_back(std::move(piece));
        }
        if (full) {
            return next;
        }
    }
    return next;
}

void CPRenderFrame::DrawPieces() {
    for (const Piece& piece : pieces) {
        const int32_t layer = blocks[piece.Block].Layer;
        if (!layerApplied || layer != currentLayer) {
            ApplyLayer(layer);
        }
        DrawPiece(piece);
    }
    pieces.clear();
}

void CPRenderFrame::ApplyLayer(int32_t layer) {
    currentLayer = layer;
    layerApplied = true;
    // The camera of the layer, else of the nearest layer below it that has one.
    const CPBaseCamera* camera = nullptr;
    for (auto& [number, entry] : render.Layers) {
        if (number > layer) {
            break;
        }
        if (entry.Camera) {
            camera = entry.Camera.Get();
        }
    }
    view = camera != nullptr ? camera->View : sceneView;
    projection = camera != nullptr ? camera->Projection : sceneProjection;
    char text[64];
    std::snprintf(text, sizeof(text), "layer %d", static_cast<int>(layer));
    Note(text);
    device->SetTransform(D3DTS_VIEW, &view);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    SetSceneParameters();
}

void CPRenderFrame::SetSceneParameters() {
    CPEffectManager* effects = CPEffectManager::Instance;
    if (effects == nullptr || effects->PoolOwner == nullptr) {
        return;
    }
    ID3DXEffect* pool = effects->PoolOwner;
    const D3DXHANDLE* h = effects->SharedHandles;
    D3DXMATRIX inverseView;
    if (D3DXMatrixInverse(&inverseView, nullptr, &view) == nullptr) {
        inverseView = Identity();
    }
    const D3DXMATRIX viewProjection = view * projection;
    const D3DLIGHT9& sun = render.SunLight;
    const D3DXVECTOR4 light(sun.Direction.x, sun.Direction.y, sun.Direction.z, 0.0f);
    const D3DXVECTOR4 lightColour(sun.Diffuse.r, sun.Diffuse.g, sun.Diffuse.b, sun.Diffuse.a);
    const D3DXVECTOR4 ambient(render.AmbientColor.r, render.AmbientColor.g, render.AmbientColor.b,
                              render.AmbientColor.a);
    const D3DXVECTOR4 eye(inverseView._41, inverseView._42, inverseView._43, 1.0f);
    using P = CPEffectManager;
    if (h[P::ViewInverse] != nullptr) pool->SetMatrix(h[P::ViewInverse], &inverseView);
    if (h[P::Light] != nullptr) pool->SetVector(h[P::Light], &light);
    if (h[P::LightColor] != nullptr) pool->SetVector(h[P::LightColor], &lightColour);
    if (h[P::ViewProjection] != nullptr) pool->SetMatrix(h[P::ViewProjection], &viewProjection);
    if (h[P::Ambient] != nullptr) pool->SetVector(h[P::Ambient], &ambient);
    if (h[P::CameraPosition] != nullptr) pool->SetVector(h[P::CameraPosition], &eye);
    SetWorldParameters(Identity());
}

void CPRenderFrame::SetWorldParameters(const D3DXMATRIX& world) {
    CPEffectManager* effects = CPEffectManager::Instance;
    if (effects == nullptr || effects->PoolOwner == nullptr) {
        return;
    }
    ID3DXEffect* pool = effects->PoolOwner;
    const D3DXHANDLE* h = effects->SharedHandles;
    using P = CPEffectManager;
    const D3DXMATRIX worldView = world * view;
    const D3DXMATRIX worldViewProjection = worldView * projection;
    if (h[P::WorldViewProjection] != nullptr) pool->SetMatrix(h[P::WorldViewProjection], &worldViewProjection);
    if (h[P::WorldView] != nullptr) pool->SetMatrix(h[P::WorldView], &worldView);
}

void CPRenderFrame::DrawPiece(const Piece& piece) {
    const FrameBlock& frameBlock = blocks[piece.Block];
    CPMaterial* material = frameBlock.Material;
    D3DXMATRIX world = Identity();
    const auto layer = render.Layers.find(frameBlock.Layer);
    if (material != nullptr && layer != render.Layers.end() && layer->second.MatrixSet &&
        material->Type == layer->first) {
        world = layer->second.Matrix;
    }
    device->SetTransform(D3DTS_WORLD, &world);
    SetWorldParameters(world);
    if (Dump != nullptr) {
        char text[512];
        std::snprintf(text, sizeof(text), "block \"%s\" type %d objects %zu vertices %u indices %u",
                      MaterialName(material).c_str(), material != nullptr ? material->Type : 0,
                      frameBlock.Block->Objects.size(),
                      piece.Vertices + (piece.StaticIndices > 0 ? piece.StaticEnd - piece.StaticMin : 0),
                      piece.DynamicIndices + piece.StaticIndices);
        Note(text);
        // What the block's labels spell, in block order.
        for (const CPtr<CPRenderable>& object : frameBlock.Block->Objects) {
            const auto* mesh = dynamic_cast<const CPRenderObject*>(object.Get());
            if (mesh != nullptr && !mesh->Caption.empty()) {
                Note("text \"" + mesh->Caption + "\"");
            }
        }
    }

    CPTextureBlock* textures = material != nullptr ? material->Block : nullptr;
    auto textureAt = [textures](size_t i) -> IDirect3DBaseTexture9* {
        if (textures == nullptr || i >= textures->Textures.size() || textures->Textures[i] == nullptr) {
            return nullptr;
        }
        CPTexture* texture = textures->Textures[i];
        return texture->Texture != nullptr ? static_cast<IDirect3DBaseTexture9*>(texture->Texture)
                                           : static_cast<IDirect3DBaseTexture9*>(texture->CubeTexture);
    };
    CPEffect* effect = material != nullptr ? material->Effect : nullptr;
    ID3DXEffect* compiled = effect != nullptr ? effect->Effect : nullptr;
    if (compiled == nullptr) {
        const size_t count = textures != nullptr ? std::min<size_t>(textures->Textures.size(), 2) : 0;
        for (size_t i = 0; i < std::max<size_t>(count, 1); ++i) {
            device->SetTexture(static_cast<DWORD>(i), textureAt(i));
        }
        DrawPieceGeometry(piece, world, nullptr);
        return;
    }
    for (size_t i = 0; i < effect->TextureHandles.size(); ++i) {
        compiled->SetTexture(effect->TextureHandles[i], textureAt(i));
    }
    if (effect->TimeHandle != nullptr) {
        compiled->SetFloat(effect->TimeHandle, static_cast<float>(FullTime));
    }
    UINT passes = 0;
    if (FAILED(compiled->Begin(&passes, 0))) {
        return;
    }
    for (UINT pass = 0; pass < passes; ++pass) {
        if (Dump != nullptr) {
            Note("pass " + std::to_string(pass));
        }
        if (FAILED(compiled->BeginPass(pass))) {
            continue;
        }
        DrawPieceGeometry(piece, world, compiled);
        compiled->EndPass();
    }
    compiled->End();
}

void CPRenderFrame::DrawPieceGeometry(const Piece& piece, const D3DXMATRIX& world, ID3DXEffect* active) {
    CPIVertexBuffer& ring = *frameBatcher->VertexRing;
    const auto slot = static_cast<size_t>(frameSlot);
    auto draw = [this](UINT min, UINT vertices, UINT start, UINT indices) {
        if (FAILED(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, min, vertices, start, indices / 3))) {
            ++Last.Refused;
        }
        ++Last.Draws;
        Last.Primitives += indices / 3;
    };
    if (piece.DynamicIndices >= 3) {
        device->SetStreamSource(0, ring.VertexBuffers[slot], 0, sizeof(CPVertex));
        device->SetIndices(ring.IndexBuffers[slot]);
        draw(piece.MinVertex, piece.Vertices, piece.DynamicIndex, piece.DynamicIndices);
    }
    if (piece.StaticIndices >= 3 && staticBatcher != nullptr) {
        CPIVertexBuffer& level = *staticBatcher->VertexRing;
        device->SetStreamSource(0, level.VertexBuffers[static_cast<size_t>(piece.StaticSlot)], 0, sizeof(CPVertex));
        device->SetIndices(ring.IndexBuffers[slot]);
        draw(piece.StaticMin, piece.StaticEnd - piece.StaticMin, piece.StaticIndex, piece.StaticIndices);
    }
    for (CPRenderObject* mesh : piece.Shared) {
        const CPRender::MeshBuffers& buffers = *mesh->MeshBuffers;
        if (buffers.TriangleCount <= 0) {
            continue;
        }
        const D3DXMATRIX placed = mesh->Owner != nullptr ? mesh->Owner->WorldMatrix * world : world;
        device->SetTransform(D3DTS_WORLD, &placed);
        SetWorldParameters(placed);
        if (active != nullptr) {
            active->CommitChanges();  // the open pass takes the new world
        }
        device->SetStreamSource(0, buffers.VertexBuffer, 0, sizeof(CPVertex));
        device->SetIndices(buffers.IndexBuffer);
        draw(0, static_cast<UINT>(buffers.VertexCount), 0, static_cast<UINT>(buffers.TriangleCount) * 3);
        device->SetTransform(D3DTS_WORLD, &world);
        SetWorldParameters(world);
        if (active != nullptr) {
            active->CommitChanges();
        }
    }
}

void CPRenderFrame::DrawLines() {
    if (render.LinesPending && render.Lines.size() >= 2) {
        Note("lines");
        const D3DXMATRIX identity = Identity();
        device->SetTransform(D3DTS_VIEW, &sceneView);
        device->SetTransform(D3DTS_PROJECTION, &sceneProjection);
        device->SetTransform(D3DTS_WORLD, &identity);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetTexture(0, nullptr);
        device->SetFVF(CPVertexFVF);
        const auto lines = static_cast<UINT>(render.Lines.size() / 2);
        if (FAILED(device->DrawPrimitiveUP(D3DPT_LINELIST, lines, render.Lines.data(), sizeof(CPVertex)))) {
            ++Last.Refused;
        }
        ++Last.Draws;
        Last.Primitives += lines;
        device->SetRenderState(D3DRS_LIGHTING, TRUE);
        layerApplied = false;
    }
    render.Lines.clear();
    render.LinesPending = false;
}

void CPRenderFrame::DrawScreenQuad(uint32_t colour) {
    const float w = static_cast<float>(Cfg::screenWidth);
    const float h = static_cast<float>(Cfg::screenHeight);
    const CPRender::BlurVertex quad[4] = {
        {0.0f, 0.0f, 0.0f, 1.0f, colour, 0.0f, 0.0f},
        {w, 0.0f, 0.0f, 1.0f, colour, 1.0f, 0.0f},
        {0.0f, h, 0.0f, 1.0f, colour, 0.0f, 1.0f},
        {w, h, 0.0f, 1.0f, colour, 1.0f, 1.0f},
    };
    if (FAILED(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(CPRender::BlurVertex)))) {
        ++Last.Refused;
    }
    ++Last.Draws;
    Last.Primitives += 2;
}

void CPRenderFrame::DrawScreenPasses() {
    const int columns = render.BlurColumns;
    const int rows = render.BlurRows;
    const size_t gridVertices = static_cast<size_t>(columns + 1) * static_cast<size_t>(rows + 1);
    const bool radial = render.RadialBlur > 0.0f && columns > 0 && rows > 0 &&
                        render.BlurVertices.size() >= gridVertices && render.BlurDirections.size() >= gridVertices &&
                        gridVertices <= CPIVertexBuffer::IndexReach;
    const bool motion = render.MotionBlur != 0 && render.MotionBlurAmount > 0.0f;
    const bool fade = render.Fade > 0.0f && render.MaxFade > 0;
    if (!radial && !motion && !fade) {
        return;
    }
    device->SetFVF(CPRender::BlurVertexFVF);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetTexture(0, nullptr);

    if (radial) {
        // The grid pulled outward along each vertex's direction from the blur centre, by the
        // blur strength (1 = a twentieth of the screen's width), drawn at that strength's alpha.
        Note("radial blur");
        const float reach = render.RadialBlur * 0.05f * static_cast<float>(Cfg::screenWidth);
        const uint32_t alpha = ClampByte(render.RadialBlur * 255.0f);
        blurVertices.assign(render.BlurVertices.begin(), render.BlurVertices.begin() + static_cast<ptrdiff_t>(gridVertices));
        for (size_t i = 0; i < gridVertices; ++i) {
            blurVertices[i].X += render.BlurDirections[i].x * reach;
            blurVertices[i].Y += render.BlurDirections[i].y * reach;
            blurVertices[i].Color = (alpha << 24) | (blurVertices[i].Color & 0x00FFFFFFu);
        }
        blurIndices.clear();
        const int stride = columns + 1;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                const auto a = static_cast<uint16_t>(r * stride + c);
                const auto b = static_cast<uint16_t>(a + 1);
                const auto d = static_cast<uint16_t>(a + stride);
                const auto e = static_cast<uint16_t>(d + 1);
                blurIndices.insert(blurIndices.end(), {a, b, d, b, e, d});
            }
        }
        const auto triangles = static_cast<UINT>(blurIndices.size() / 3);
        if (FAILED(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(gridVertices), triangles,
                                                  blurIndices.data(), D3DFMT_INDEX16, blurVertices.data(),
                                                  sizeof(CPRender::BlurVertex)))) {
            ++Last.Refused;
        }
        ++Last.Draws;
        Last.Primitives += triangles;
    }
    if (motion) {
        Note("motion blur");
        const uint32_t alpha = ClampByte(static_cast<float>(render.BlurAlpha) * render.MotionBlurAmount);
        DrawScreenQuad((alpha << 24) | 0x00FFFFFFu);
    }
    if (fade) {
        Note("fade");
        const uint32_t alpha = ClampByte(render.Fade / static_cast<float>(render.MaxFade) * 255.0f);
        DrawScreenQuad(alpha << 24);
    }

    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetFVF(CPVertexFVF);
}
