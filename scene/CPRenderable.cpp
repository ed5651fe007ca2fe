#include "scene/CPRenderable.h"

#include "scene/CPAnimationParams.h"

void CPRenderable::SetMaterial(const CPtr<CPMaterial>&) {}

void CPRenderable::SetAnimation(const CPAnimationParams&, bool) {}
