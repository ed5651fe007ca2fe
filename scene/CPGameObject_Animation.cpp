// The node's side of its animations: the events they report.
#include "scene/CPGameObject.h"

#include "core/CPCommandDispatcher.h"
#include "core/ObjectAddress.h"
#include "core/Singletons.h"
#include "scene/CPEnemyController.h"

void CPGameObject::OnAnimationEnd() {
    CPScriptTask* script = LiveScriptObject();
    if (script == nullptr) {
        return;
    }
    if (CPCommandDispatcher* dispatcher = GetCommandDispatcher()) {
        dispatcher->SendCommandByObject(CPtr<CPScriptTask>(script), "animation_end", AddressToText(this));
    }
}

void CPGameObject::OnAnimationStopped() {
    if (Controller != nullptr) {
        Controller->OnAnimationStopped();
    }
}

void CPGameObject::OnAnimationReport() {
    if (Controller != nullptr) {
        Controller->OnAnimationReport();
    }
}
