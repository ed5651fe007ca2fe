// What the scene graph asks of the renderer's render-object classes, which live above it:
// a copy of a node's render object for another node, and a new material for a render
// object. The renderer installs its implementation in Instance when it is created; without
// one, copies of meshes, figures, lights and sprites get no render object and burning nodes
// keep their material.
#pragma once

#include "core/CPObject.h"
#include "core/CPtr.h"

#include <cstdint>

class CPGameObject;

class CPRenderObjectFactory {
public:
    // A new render object of the kind (CPGameObject::RenderMesh .. RenderSprite) copied from
    // source and owned by owner; null for another kind or a source of the wrong class.
    virtual CPtr<CPObject> CopyRenderObject(int32_t kind, CPObject* source, CPGameObject* owner) = 0;
    // The render object (of a mesh or an animated figure) draws with material from now on;
    // nothing for other objects.
    virtual void SetMaterial(CPObject* renderObject, const CPtr<CPObject>& material) = 0;

    static inline CPRenderObjectFactory* Instance = nullptr;

protected:
    ~CPRenderObjectFactory() = default;
};
