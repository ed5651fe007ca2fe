// The computer cars' records: one AI_Vehicle per opponent (five) and per traffic car, owned by
// the AI manager task. The level loader builds them, the race update fills them, the level
// stop resets them.
//
// minimal until the full one lands: the records and the operations the level's load and stop
// call; the driving logic is not here.
#pragma once

#include "core/CPTask.h"
#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"

#include <cstdint>
#include <string>
#include <vector>

class CPGameObject;
class CPLine;
class CPSpline;

// minimal until the full one lands
class AI_Vehicle : public CPObject {
public:
    AI_Vehicle() = default;
    size_t GetObjectSize() const override { return sizeof(AI_Vehicle); }
    std::string GetTypeName() const override { return "AI_Vehicle"; }
    // Slot 0 the centre line, 1 the right one, 2 the left one; other slots set none.
    void SetTarget(int32_t slot, CPLine* line);
    // Lets go of the car.
    void Reset();

    CPtr<CPGameObject> Car;
    CPLine* CentreLine = nullptr;
    CPLine* RightLine = nullptr;
    CPLine* LeftLine = nullptr;
};

// minimal until the full one lands
class CPAIManager : public CPTask {
public:
    CPAIManager() = default;
    // Deletes its records.
    ~CPAIManager() override;
    size_t GetObjectSize() const override { return sizeof(CPAIManager); }
    std::string GetTypeName() const override { return "CPAIManager"; }
    int GetKind() const override { return 0; }
    void Update() override {}

    // The record of car index i (opponent i below 5, else traffic record i - 5); nothing for
    // an index without a record.
    void SetTarget(int32_t car, int32_t slot, CPLine* line);
    // Every record reset, deleted and both lists emptied.
    void Reset();
    // The race's per-update refresh of car index's record.
    void UpdateVehicle(int index, CPtr<CPGameObject> car, const D3DXVECTOR3* forward, float speed,
                       CPtr<CPGameObject> target, int lowerLimit, int upperLimit);

    // The manager of the running game, or null; set by the host.
    static inline CPAIManager* Instance = nullptr;

    std::vector<CPtr<AI_Vehicle>> Opponents;
    std::vector<CPtr<AI_Vehicle>> Traffic;
    bool TrafficEnabled = false;
    int32_t TrafficCount = 0;
};

CPAIManager* GetAIManager();
