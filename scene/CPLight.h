// The render object of a light node: a Direct3D light record that follows its node. The
// description loader fills type, colours, range and attenuation; the batcher copies the
// record into the renderer's light table each frame.
#pragma once

#include "core/CPObject.h"
#include "platform/d3dx/D3DXMath.h"

class CPGameObject;

class CPLight : public CPObject {
public:
    size_t GetObjectSize() const override { return sizeof(CPLight); }
    std::string GetTypeName() const override { return "CPLight"; }

    void SetOwner(CPGameObject* owner) { Owner = owner; }
    // The record with Position := the owner's world position (left as it is without an
    // owner); direction and the rest stay as loaded.
    virtual D3DLIGHT9* GetLight();

    D3DLIGHT9 Light{};              // all zero until loaded
    CPGameObject* Owner = nullptr;  // not counted
};
