// Effect shots: a particle template started at the launch, kept in flight for a duration.
#include "game/CPEffectShot.h"

#include "core/FrameTime.h"
#include "core/Singletons.h"
#include "scene/CPParticleDesc.h"
#include "scene/CPParticleManager.h"

#include <cmath>

CPEffectShot::CPEffectShot(std::string typeName) : CPShot(std::move(typeName)) {
    RenderKind = RenderGroup;  // the particles are the picture
}

int CPEffectShot::Setup(const std::vector<std::string>& p) {
    Template = p.empty() ? std::string("none") : p[0];
    Duration = ParameterNumber(p, 1);
    if (!std::isfinite(Duration) || Duration < 0.0f) {
        Duration = 0.0f;
    }
    return CPShot::Setup(p);
}

CPtr<CPShot> CPEffectShot::Clone() {
    auto* copy = new CPEffectShot(TypeName);
    copy->Template = Template;
    copy->Duration = Duration;
    ShareSound(*copy);
    return CPtr<CPShot>(copy);
}

void CPEffectShot::Launch(const D3DXVECTOR3& position, const D3DXVECTOR3& direction, float lifetime,
                          CPtr<CPGameObject> owner, int32_t extra) {
    CPShot::Launch(position, direction, lifetime, owner, extra);
    Elapsed = 0.0f;
    if (lifetime >= 0.0f && std::isfinite(lifetime)) {
        Duration = lifetime;
    }
    if (Template == "none") {
        return;
    }
    if (CPParticleManager* particles = GetParticleManager()) {
        CPParticleDesc effect;
        effect.Name = Template;
        effect.Position = position;
        effect.Velocity = Direction;
        particles->Spawn(effect);
    }
}

bool CPEffectShot::Step() {
    Elapsed += FrameTime;
    return Elapsed < Duration;
}
