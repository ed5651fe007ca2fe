// The renderer's side of CPRenderObjectFactory: copies of meshes, animated figures, lights
// and sprites for copied nodes, and materials handed to meshes and figures. The renderer
// installs the one instance when it is created.
#pragma once

#include "scene/CPRenderObjectFactory.h"

class CPRenderFactory final : public CPRenderObjectFactory {
public:
    CPtr<CPObject> CopyRenderObject(int32_t kind, CPObject* source, CPGameObject* owner) override;
    void SetMaterial(CPObject* renderObject, const CPtr<CPObject>& material) override;

    // Makes the one instance CPRenderObjectFactory::Instance.
    static void Install();
};
