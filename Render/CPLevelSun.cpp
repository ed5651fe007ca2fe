#include "Render/CPLevelSun.h"

#include "Render/CPRender.h"

CPLevelSun* CPLevelSun::Current = nullptr;

void CPLevelSun::AddSunLight() {
    if (CPRender* render = GetRender(); render != nullptr) {
        render->AddLight(SunLight);
    }
}
