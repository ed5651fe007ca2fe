#include "core/CPObjUpdater.h"

void CPObjUpdater::Update() {
    if (Method) {
        Method();
    }
}
