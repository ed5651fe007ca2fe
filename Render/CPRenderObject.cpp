#include "Render/CPRenderObject.h"

#include "Render/VertexTransform.h"
#include "scene/CPGameObject.h"

#include <algorithm>

void CPRenderObject::Fill(CPVertex* vertices, uint16_t* indices, uint16_t base, bool) {
    if (Excluded || WorldVertices.empty()) {
        return;
    }
    const bool modified = HasModifiers && !Modifiers.empty();
    bool copied = false;
    // The batcher sized its buffer with Vertices; a world copy of another size is rebuilt.
    if ((Owner != nullptr && Owner->TransformUpdated) || WorldVertices.size() != Vertices.size()) {
        // Unmodified, the batch's vertices are the world copy: both are written in one pass.
        TransformToWorld(modified ? nullptr : vertices);
        copied = !modified;
        if (Owner != nullptr) {
            Owner->TransformUpdated = false;
        }
    }
    const int count = static_cast<int>(WorldVertices.size());
    if (modified) {
        Modifiers.front()->Apply(vertices, WorldVertices.data(), count);
        for (size_t i = 1; i < Modifiers.size(); ++i) {
            Modifiers[i]->Apply(vertices, vertices, count);
        }
    } else if (!copied) {
        std::copy(WorldVertices.begin(), WorldVertices.end(), vertices);
    }
    VertexTransform::AddBase(indices, Indices.data(), Indices.size(), base);
}

bool CPRenderObject::FillIndices(uint16_t* destination, int, uint16_t& first, uint16_t& last) {
    if (WorldVertices.empty() || Indices.empty()) {
        return false;
    }
    std::copy(Indices.begin(), Indices.end(), destination);
    first = Indices.front();
    last = Indices.back();
    return true;
}

void CPRenderObject::TransformToWorld() { TransformToWorld(nullptr); }

void CPRenderObject::TransformToWorld(CPVertex* copy) {
    if (Excluded) {
        return;
    }
    if (WorldVertices.size() != Vertices.size()) {
        WorldVertices = Vertices;
    }
    D3DXMATRIX world;
    D3DXMatrixIdentity(&world);
    if (Owner != nullptr) {
        world = Owner->WorldMatrix;
    }
    if (copy != nullptr) {
        VertexTransform::ToWorldTwice(WorldVertices.data(), copy, Vertices.data(), Vertices.size(), world);
    } else {
        VertexTransform::ToWorld(WorldVertices.data(), Vertices.data(), Vertices.size(), world);
    }
    UpdateDamageBoxes();
}

void CPRenderObject::TransformVertices(const D3DXMATRIX& m) {
    VertexTransform::Bake(Vertices.data(), Vertices.size(), m);
}

void CPRenderObject::CopyFrom(CPtr<CPRenderObject> source) {
    if (!source || source.Get() == this) {
        return;
    }
    Owner = source->Owner;
    Vertices = source->Vertices;
    WorldVertices = source->WorldVertices;
    Indices = source->Indices;
    Material = source->Material;
    SetExcluded(source->IsExcluded());
    if (IsExcluded()) {
        MeshBufferName = source->MeshBufferName;
        if (CPRender* render = CPRender::Instance) {
            MeshBuffers = render->CreateMeshBuffers(MeshBufferName, Vertices.data(), Indices.data(),
                                                    static_cast<int>(Vertices.size()), static_cast<int>(Indices.size()));
        } else {
            MeshBuffers = source->MeshBuffers;
        }
    }
    HasModifiers = source->HasModifiers;
    Modifiers.clear();
    for (const auto& modifier : source->Modifiers) {
        Modifiers.push_back(modifier->Clone());
    }
}

void CPRenderObject::AddModifier(std::unique_ptr<CPTextureModifier> modifier) {
    if (modifier) {
        Modifiers.push_back(std::move(modifier));
        HasModifiers = true;
    }
}
