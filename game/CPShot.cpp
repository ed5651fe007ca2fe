// The shot base: its sound set-up and the launch that places, turns and sounds it.
#include "game/CPShot.h"

#include "Render/CPRenderObject.h"
#include "Sound/PSoundManager.h"
#include "core/CPTokenizer.h"
#include "core/FrameTime.h"
#include "core/Geometry.h"
#include "core/NumberText.h"
#include "core/Singletons.h"

#include <cmath>

CPShot::CPShot(std::string typeName) : CPGameObject("CPShot"), TypeName(std::move(typeName)) {
    InstallRenderObject(std::make_unique<CPRenderObject>(this));
}

CPShot::~CPShot() {
    DropOwner();
    // The base lets go of its pointer before the object it points at is deleted.
    RenderObject = nullptr;
    renderObject.reset();
}

void CPShot::InstallRenderObject(std::unique_ptr<CPRenderObject> render) {
    RenderObject = nullptr;
    renderObject = std::move(render);
    RenderObject = CPtr<CPObject>(renderObject.get());
    RenderKind = RenderMesh;
}

int CPShot::Setup(const std::vector<std::string>& parameters) {
    const std::string spec = parameters.empty() ? std::string("none") : parameters.back();
    std::vector<std::string> tokens;
    CPTokenizer tokenizer(spec, ",", false);
    for (std::string token; tokens.size() < 2 && tokenizer.NextToken(token);) {
        tokens.push_back(token);
    }
    SoundSpec = tokens.empty() ? std::string() : tokens[0];
    Sound = nullptr;
    Sound2D = false;
    if (spec == "none" || SoundSpec.empty()) {
        return 1;
    }
    Sound2D = tokens.size() > 1 && tokens[1] == "2d";
    if (CPSoundManager* sounds = GetSoundManager(); sounds != nullptr && sounds->Cache != nullptr) {
        sounds->Cache->LoadSound(Sound, SoundSpec, Sound2D ? 0 : 1, false);
    }
    return 1;
}

float CPShot::ParameterNumber(const std::vector<std::string>& parameters, size_t i) {
    float value = 0.0f;
    return i < parameters.size() && TextToFloat(parameters[i], value) ? value : 0.0f;
}

int32_t CPShot::ParameterInteger(const std::vector<std::string>& parameters, size_t i) {
    int32_t value = 0;
    return i < parameters.size() && TextToInt(parameters[i], value) ? value : 0;
}

std::string CPShot::ParameterWord(const std::vector<std::string>& parameters, size_t i) {
    return i < parameters.size() ? parameters[i] : std::string();
}

void CPShot::ShareSound(CPShot& copy) const {
    copy.Sound = Sound;
    copy.SoundSpec = SoundSpec;
    copy.Sound2D = Sound2D;
}

D3DXQUATERNION CPShot::OrientationFor(const D3DXVECTOR3& d) {
    D3DXQUATERNION q(0.0f, 0.0f, 0.0f, 1.0f);
    // The axis (d.z, 0, -d.x) vanishes when d lies on the y axis: along -Y no turn is needed,
    // along +Y the half turn is about z (any axis across y would do).
    const float across = d.x * d.x + d.z * d.z;
    if (across < 1e-12f) {
        if (d.y > 0.0f) {
            const D3DXVECTOR3 z(0.0f, 0.0f, 1.0f);
            D3DXQuaternionRotationAxis(&q, &z, static_cast<float>(M_PI));
        }
        return q;
    }
    const float angle = static_cast<float>(ClampedAcos(d.y * -1.0f));
    const D3DXVECTOR3 axis(-d.z * -1.0f, 0.0f, d.x * -1.0f);
    D3DXQuaternionRotationAxis(&q, &axis, -angle);
    return q;
}

void CPShot::Launch(const D3DXVECTOR3& position, const D3DXVECTOR3& direction, float lifetime,
                    CPtr<CPGameObject> launcher, int32_t) {
    Lifetime = lifetime;
    LaunchPosition = position;
    D3DXVec3Normalize(&Direction, &direction);
    if (!std::isfinite(Direction.x) || !std::isfinite(Direction.y) || !std::isfinite(Direction.z)) {
        Direction = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    }
    DropOwner();
    owner = launcher;

    const D3DXQUATERNION q = OrientationFor(Direction);
    for (size_t i = 1; i < Children.size(); ++i) {
        Children[i]->SetOrientation(q);
    }
    SetPosition(position);
    SetOrientation(q);
    TransformUpdated = false;

    if (Sound != nullptr) {
        if (!Sound2D) {
            CPSoundManager::SetSoundPosition(Sound, position, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
        }
        Sound->TimeStamp = FrameNumber;
        Sound->Stop();
        Sound->Rewind();
        Sound->Play(0, 0);
    }
}

CPGameObject* CPShot::LiveOwner() const {
    CPGameObject* object = owner.Get();
    return object != nullptr && CPObject::FindLive(static_cast<CPObject*>(object)) != nullptr ? object : nullptr;
}

void CPShot::DropOwner() {
    if (LiveOwner() != nullptr) {
        owner = nullptr;
    } else {
        owner.MakeNull();  // gone: nothing to release
    }
}
