// One numbered layer of the renderer's frame: its camera, an optional matrix and the queue of
// groups the frame drawing fills. The renderer keeps layers by value in a map ordered by
// number and creates them on first use (SetLayerCamera / SetLayerMatrix).
#pragma once

#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"
#include "scene/CPBaseCamera.h"
#include "scene/CPRenderQueueGroup.h"

#include <unordered_map>

class CPRenderLayer : public CPRenderQueueItem {
public:
    static constexpr size_t GroupBuckets = 100;

    CPRenderLayer();
    CPRenderLayer(const CPRenderLayer& other);
    CPRenderLayer& operator=(const CPRenderLayer&) = default;
    ~CPRenderLayer() override;

    static inline CPRenderQueueCounters Counters;

    // Set by SetLayerCamera only; a layer made by SetLayerMatrix keeps 0 until then.
    int32_t Number = 0;
    CPtr<CPBaseCamera> Camera;
    bool MatrixSet = false;
    D3DXMATRIX Matrix;  // identity until a matrix is given; meaningful only when MatrixSet
    std::unordered_map<int32_t, CPRenderQueueGroup> Groups;
};
