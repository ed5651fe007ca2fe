// The AI records and the manager task that drives them.
#include "game/CPAIManager.h"

#include "game/CPAIDriver.h"
#include "game/CPCar.h"
#include "game/CPLevel.h"
#include "game/CPPhysicWorld.h"
#include "game/CPPlayer.h"
#include "game/CPSpline.h"

#include "core/FrameTime.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicData.h"

#include <cmath>

CPAIManager* CPAIManager::Instance = nullptr;

CPAIManager* GetAIManager() { return CPAIManager::Instance; }

AI_Vehicle::AI_Vehicle() : CreationTime(static_cast<float>(FullTime)) {}

AI_Vehicle::~AI_Vehicle() { Reset(); }

void AI_Vehicle::SetState(CPtr<CPGameObject> car, const D3DXVECTOR3* forward, float signedSpeed,
                          CPtr<CPGameObject> target, int32_t lowerLimit, int32_t upperLimit) {
    LowerLimit = lowerLimit;
    UpperLimit = upperLimit;
    Mass = car != nullptr && car->Physics != nullptr ? car->Physics->MainShape.Mass : 0.0f;
    if (car != nullptr) {
        Position = car->Position;
    }
    if (forward != nullptr) {
        D3DXVec3Normalize(&Direction, forward);
    }
    Speed = std::fabs(signedSpeed);
    Car = target;
    const CPLevel* level = CPLevel::Current;
    if (level != nullptr && level->Reversed) {
        Reversed = true;
    }
}

void AI_Vehicle::SetTarget(int32_t slot, CPLine* line) {
    switch (slot) {
    case SlotCentre:
        CentreLine = line;
        break;
    case SlotRight:
        RightLine = line;
        break;
    case SlotLeft:
        LeftLine = line;
        break;
    default:
        break;
    }
    const CPLevel* level = CPLevel::Current;
    CentrePath = level != nullptr ? level->GetPathSpline() : nullptr;
    LeftPath = level != nullptr ? level->GetLeftPath() : nullptr;
    RightPath = level != nullptr ? level->GetRightPath() : nullptr;
}

void AI_Vehicle::Reset() {
    // A car the level has already deleted is forgotten, not released.
    if (Car != nullptr && CPObject::FindLive(static_cast<CPObject*>(Car.Get())) == nullptr) {
        Car.MakeNull();
    }
    Car = nullptr;
}

CPAIManager::~CPAIManager() { Reset(); }

AI_Vehicle* CPAIManager::GetRecord(int32_t index) const {
    if (index < 0) {
        return nullptr;
    }
    const auto i = static_cast<size_t>(index);
    if (i < OpponentCount) {
        return i < Opponents.size() ? Opponents[i].Get() : nullptr;
    }
    return i - OpponentCount < Traffic.size() ? Traffic[i - OpponentCount].Get() : nullptr;
}

void CPAIManager::SetTarget(int32_t index, int32_t slot, CPLine* line) {
    if (AI_Vehicle* record = GetRecord(index)) {
        record->SetTarget(slot, line);
    }
}

void CPAIManager::UpdateVehicle(int32_t index, CPtr<CPGameObject> car, const D3DXVECTOR3* forward, float signedSpeed,
                                CPtr<CPGameObject> target, int32_t lowerLimit, int32_t upperLimit) {
    if (AI_Vehicle* record = GetRecord(index)) {
        record->SetState(car, forward, signedSpeed, target, lowerLimit, upperLimit);
    }
}

void CPAIManager::Reset() {
    for (std::vector<CPtr<AI_Vehicle>>* list : {&Opponents, &Traffic}) {
        for (CPtr<AI_Vehicle>& record : *list) {
            record->Reset();
        }
    }
    // The manager owns its records: releasing frees nothing here, so they are deleted.
    for (std::vector<CPtr<AI_Vehicle>>* list : {&Opponents, &Traffic}) {
        for (CPtr<AI_Vehicle>& record : *list) {
            AI_Vehicle* raw = record.Get();
            record = nullptr;
            delete raw;
        }
        list->clear();
    }
}

void CPAIManager::CreateRecords() {
    for (int32_t i = 0; i < OpponentCount; ++i) {
        Opponents.emplace_back(new AI_Vehicle());
    }
    for (int32_t i = 0; i < TrafficCount; ++i) {
        Traffic.emplace_back(new AI_Vehicle());
    }
}

namespace {

// What the driver needs to know of a car that is not the one it drives.
void AddObstacle(std::vector<AIObstacle>& out, const AI_Vehicle& record) {
    out.push_back(AIObstacle{record.Car.Get(), record.Position, record.Direction, record.Speed});
}

}  // namespace

void CPAIManager::Update() {
    CPLevel* level = CPLevel::Current;
    if (level == nullptr) {
        return;
    }
    std::vector<AI_Vehicle*> driven;
    std::vector<AIObstacle> cars;
    for (std::vector<CPtr<AI_Vehicle>>* list : {&Opponents, &Traffic}) {
        for (CPtr<AI_Vehicle>& record : *list) {
            if (record->Car != nullptr) {
                driven.push_back(record.Get());
                AddObstacle(cars, *record);
            }
        }
    }
    // The followed car (the player's) is an obstacle too, unless a record drives it.
    if (CPPlayer* followed = level->FollowedCar) {
        bool known = false;
        for (const AIObstacle& car : cars) {
            known = known || car.Object == followed;
        }
        if (!known) {
            D3DXVECTOR3 forward;
            const D3DXVECTOR3 nose(0.0f, -1.0f, 0.0f);
            D3DXMATRIX rotation;
            D3DXMatrixRotationQuaternion(&rotation, &followed->Orientation);
            D3DXVec3TransformCoord(&forward, &nose, &rotation);
            const CPCar* car = followed->GetCar();
            cars.push_back(AIObstacle{followed, followed->Position, forward, car != nullptr ? car->Speed : 0.0f});
        }
    }
    for (AI_Vehicle* record : driven) {
        auto* player = dynamic_cast<CPPlayer*>(record->Car.Get());
        if (player == nullptr || player->Locked) {
            continue;
        }
        const AIDriverOutput out = CPAIDriver::Drive(*record, cars, FrameTime);
        player->SetControls(out.Throttle, out.Steering);
        // The car logic hands the controls to the car every step; so does the driver, so a
        // computer car answers in the frame its driver decided.
        if (CPPhysicWorld* world = CPPhysicWorld::Instance) {
            world->SetCarControls(CPtr<CPGameObject>(player), player->Throttle, player->Steering);
        }
        if (out.Respawn) {
            player->Respawn(true);
        }
    }
}
