// The node during play: activation and deactivation of a tree, its part animations, the
// start of vertex animations, damage, burning and the fire material.
//
// Commands carry the node's address in 64-bit decimal and go through the dispatcher's
// SendCommandByObject, so a script task that is not running hears nothing.
#include "scene/CPGameObject.h"

#include "core/CPCommandDispatcher.h"
#include "core/CPScheduler.h"
#include "core/CPScriptTask.h"
#include "core/ObjectAddress.h"
#include "scene/CPAnimationParams.h"
#include "scene/CPEnemyController.h"
#include "scene/CPParticleManager.h"
#include "scene/CPParticleSystem.h"
#include "scene/CPRenderObjectFactory.h"
#include "scene/CPRenderable.h"

#include <charconv>

namespace {

void SendToScript(CPScriptTask* script, const char* command, const std::string& params) {
    if (CPCommandDispatcher* dispatcher = CPCommandDispatcher::Instance) {
        dispatcher->SendCommandByObject(CPtr<CPScriptTask>(script), command, params);
    }
}

void Schedule(CPTask* task, int32_t priority) {
    task->Priority = priority;
    if (CPScheduler* scheduler = CPScheduler::Instance) {
        scheduler->AddTask(CPtr<CPTask>(task));
    }
}

// "%.2f" in the C locale, whatever the process locale.
std::string TwoDecimals(float value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof(text), value, std::chars_format::fixed, 2);
    return std::string(text, result.ptr);
}

}  // namespace

// A kind-4 node's task; null when the creator left none.
static CPTask* ParticleTask(const CPGameObject& node) {
    return node.RenderKind == CPGameObject::RenderParticleTask ? dynamic_cast<CPTask*>(node.RenderObject.Get())
                                                               : nullptr;
}

void CPGameObject::Activate(int32_t priority) {
    if (Active) {
        return;
    }
    Active = true;
    if (IdleAnimation != nullptr) {
        Schedule(IdleAnimation.Get(), priority);
    }
    if (CPTask* task = ParticleTask(*this); task != nullptr && Visible && !task->Running) {
        Schedule(task, priority);
    }
    for (size_t i = 0; i < Children.size(); ++i) {
        const CPtr<CPGameObject> child = Children[i];
        child->Activate(priority);
    }
    if (CPScriptTask* script = LiveScriptObject()) {
        // A task shared by several nodes is already listed: it keeps its place and takes the
        // last priority written.
        Schedule(script, priority);
        AddRef();
        SendToScript(script, "add_object", AddressToText(this));
    }
}

void CPGameObject::Deactivate() {
    if (!Active) {
        return;
    }
    if (CPTask* task = ParticleTask(*this)) {
        task->Stop();
    }
    Active = false;
    if (IdleAnimation != nullptr) {
        IdleAnimation->Stop();
    }
    for (size_t i = 0; i < Children.size(); ++i) {
        const CPtr<CPGameObject> child = Children[i];
        child->Deactivate();
    }
    if (CPScriptTask* script = LiveScriptObject()) {
        SendToScript(script, "delete_object", AddressToText(this));
    }
}

void CPGameObject::AddPartAnimation(const std::string& name, CPtr<CPPartAnimation> animation) {
    PartAnimated = true;
    Static = false;
    Animations[name] = animation;
    if (name == "idle") {
        IdleAnimation = animation;
        if (animation != nullptr) {
            animation->Loop = true;
        }
    }
}

void CPGameObject::SetAnimation(const CPAnimationParams& params, bool force) {
    if (RenderKind == RenderAnimatedMesh) {
        if (auto* figure = dynamic_cast<CPRenderable*>(RenderObject.Get())) {
            figure->SetAnimation(params, force);
        }
    }
    for (size_t i = 0; i < Children.size(); ++i) {
        const CPtr<CPGameObject> child = Children[i];
        child->SetAnimation(params, force);
    }
}

void CPGameObject::Damage(const D3DXVECTOR3& position, const D3DXVECTOR3& impact, float amount, bool noEffect,
                          bool silent) {
    if (CPScriptTask* script = LiveScriptObject(); script != nullptr && !silent) {
        SendToScript(script, "damage", TwoDecimals(amount));
    }
    if (Controller != nullptr) {
        Controller->OnDamage(position, impact, amount, noEffect, silent);
    }
}

void CPGameObject::SpawnFlame(float intensity) {
    if (FlameType >= 0) {
        CPParticleManager* manager = CPParticleManager::Instance;
        const CPtr<CPTask> task = manager != nullptr ? manager->CloneFlame(FlameType) : CPtr<CPTask>();
        // A type without a prototype burns nothing, and the node stays ready to burn.
        if (task != nullptr) {
            Schedule(task.Get(), 200);
            auto* flame = new CPGameObject("flame");
            flame->RenderKind = RenderParticleTask;
            flame->RenderObject = task;
            if (auto* system = dynamic_cast<CPParticleSystem*>(task.Get())) {
                system->Owner = flame;
            }
            AddChild(CPtr<CPGameObject>(flame));
            SetPosition(Position);
            UpdateTransform();
            FlameType = -1;
        }
    }
    for (size_t i = 0; i < Children.size(); ++i) {
        const CPtr<CPGameObject> child = Children[i];
        child->SpawnFlame(intensity);
    }
}

void CPGameObject::ApplyFireMaterial() {
    if (FireMaterial != nullptr && (RenderKind == RenderMesh || RenderKind == RenderAnimatedMesh) &&
        RenderObject != nullptr && CPRenderObjectFactory::Instance != nullptr) {
        CPRenderObjectFactory::Instance->SetMaterial(RenderObject.Get(), FireMaterial);
    }
    for (const CPtr<CPGameObject>& child : Children) {
        child->ApplyFireMaterial();
    }
}
