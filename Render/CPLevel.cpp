#include "Render/CPLevel.h"

#include "Render/CPRender.h"

CPLevel* CPLevel::Current = nullptr;

CPLevel* GetCurrentLevel() { return CPLevel::Current; }

void CPLevel::AddSunLight() {
    if (CPRender* render = GetRender(); render != nullptr) {
        render->AddLight(SunLight);
    }
}
