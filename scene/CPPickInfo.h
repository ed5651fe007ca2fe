// The record of one ray pick against the collision boxes of scene nodes. The scene graph's
// CPGameObject::RayPick and the game world's ray queries fill the same record.
//
// The ray is Origin + t·Direction for t in [0, Distance]; Direction is not normalised, so
// Distance is measured in lengths of Direction. HitPoint is the caller's to compute
// (Origin + Direction·Distance) once the pick is done.
#pragma once

#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"

class CPGameObject;

struct CPPickInfo {
    CPGameObject* Exclude = nullptr;  // skipped with its subtree; not counted
    CPtr<CPGameObject> Object;        // node of the box hit last
    CPtr<CPGameObject> Owner;         // that node's script owner
    D3DXVECTOR3 HitPoint;
    float Distance = 0.0f;            // in: largest t that counts; out: t of the nearest hit
    D3DXPLANE HitFace;                // face plane of the box hit last
    D3DXVECTOR3 Origin;
    D3DXVECTOR3 Direction;
};
