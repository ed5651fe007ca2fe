#include "scene/CPRenderLayer.h"

CPRenderLayer::CPRenderLayer() : Groups(GroupBuckets) {
    D3DXMatrixIdentity(&Matrix);
    Counters.Construct();
}

CPRenderLayer::CPRenderLayer(const CPRenderLayer& other)
    : CPRenderQueueItem(other),
      Number(other.Number),
      Camera(other.Camera),
      MatrixSet(other.MatrixSet),
      Matrix(other.Matrix),
      Groups(other.Groups) {
    Counters.Construct();
}

CPRenderLayer::~CPRenderLayer() {
    Groups.clear();
    Camera = nullptr;
    Counters.Destroy();
}
