// minimal until the full one lands
#include "game/CPAIManager.h"

#include "scene/CPGameObject.h"

CPAIManager* GetAIManager() { return CPAIManager::Instance; }

void AI_Vehicle::SetTarget(int32_t slot, CPLine* line) {
    switch (slot) {
        case 0: CentreLine = line; break;
        case 1: RightLine = line; break;
        case 2: LeftLine = line; break;
        default: break;
    }
}

void AI_Vehicle::Reset() { Car = nullptr; }

CPAIManager::~CPAIManager() { Reset(); }

void CPAIManager::SetTarget(int32_t car, int32_t slot, CPLine* line) {
    if (car < 0) {
        return;
    }
    const auto index = static_cast<size_t>(car);
    if (index < Opponents.size() && car < 5) {
        Opponents[index]->SetTarget(slot, line);
    } else if (car >= 5 && index - 5 < Traffic.size()) {
        Traffic[index - 5]->SetTarget(slot, line);
    }
}

void CPAIManager::Reset() {
    // The records are the manager's own: Release frees nothing.
    for (std::vector<CPtr<AI_Vehicle>>* list : {&Opponents, &Traffic}) {
        for (CPtr<AI_Vehicle>& record : *list) {
            AI_Vehicle* doomed = record.Get();
            record = nullptr;
            if (doomed != nullptr) {
                doomed->Reset();
                delete doomed;
            }
        }
        list->clear();
    }
}

void CPAIManager::UpdateVehicle(int, CPtr<CPGameObject>, const D3DXVECTOR3*, float, CPtr<CPGameObject>, int, int) {}
