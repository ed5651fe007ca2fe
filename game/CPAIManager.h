// The computer-driven cars of a level: one AI_Vehicle record per opponent (always five) and
// per traffic car, refreshed by the race update from the car every frame, and a task that
// drives every record with a car through the driver (CPAIDriver.h) once per frame.
//
// Car index i of the level maps to opponent record i when i < 5, else to traffic record
// i - 5; an index past the created records is ignored. The records' reserved fields belong to
// the driver; docs/AIDriver.md gives their meanings.
//
// Ownership: the manager owns its records and deletes them on Reset (counted pointers free
// nothing in this engine); a record holds a counted reference to its car and plain pointers
// to the level's paths and lines, which the level owns.
#pragma once

#include "core/CPObject.h"
#include "core/CPTask.h"
#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"

#include <cstdint>
#include <string>
#include <vector>

class CPGameObject;
class CPLine;
class CPSpline;

class AI_Vehicle : public CPObject {
public:
    // Target slots of SetTarget.
    enum : int32_t { SlotCentre = 0, SlotRight = 1, SlotLeft = 2 };
    // Recovery phases of the driver: turning round is done on one lock, chosen once.
    enum : int32_t { Driving = 0, Reversing = 1, TurningLeft = 2, TurningRight = 3 };

    // The construction values; CreationTime := the game time.
    AI_Vehicle();
    // Releases Car.
    ~AI_Vehicle() override;

    size_t GetObjectSize() const override { return 160; }
    std::string GetTypeName() const override { return "AI_Vehicle"; }

    // The car's state of this frame: limits, mass of its physics data (0 without), position,
    // normalised forward axis, |signed speed|, target as Car, and Reversed := true while the
    // current level is reversed (never cleared here). A null car leaves mass and position.
    void SetState(CPtr<CPGameObject> car, const D3DXVECTOR3* forward, float signedSpeed, CPtr<CPGameObject> target,
                  int32_t lowerLimit, int32_t upperLimit);
    // Slot 0 sets CentreLine, 1 RightLine, 2 LeftLine, another none; then the three paths are
    // taken from the current level (null without one).
    void SetTarget(int32_t slot, CPLine* line);
    // Releases Car (forgets it when it is no longer alive).
    void Reset();

    // Reserved for the driver (docs/AIDriver.md).
    int32_t Lane = 0;         // lane to keep: a target slot
    int32_t Recovery = Driving;
    float Pace = 1.0f;        // factor on the speed band
    float Speed = 0.0f;       // m/s, never negative
    D3DXVECTOR3 Position;
    D3DXVECTOR3 Direction;    // forward axis, normalised
    CPtr<CPGameObject> Car;
    int32_t StuckMs = 0;      // time spent stuck, ms
    float Mass = 0.0f;        // kg, of the car's physics data
    bool Braking = false;     // the driver's brake request of the last update
    bool Avoiding = false;    // a car ahead is being avoided
    int32_t RecoveryMs = 0;   // time in the current recovery phase, ms
    int32_t Recoveries = 0;   // reversing manoeuvres since the car last made way
    int32_t Respawns = 0;     // respawns the driver asked for
    bool Active = false;      // the driver has driven the car at least once
    float LookAheadMax = 30.0f;  // m
    CPLine* CentreLine = nullptr;
    CPLine* RightLine = nullptr;
    CPLine* LeftLine = nullptr;
    CPSpline* CentrePath = nullptr;
    CPSpline* LeftPath = nullptr;
    CPSpline* RightPath = nullptr;
    float CreationTime = 0.0f;  // s of game time
    int32_t AvoidSide = 0;      // -1 passes on the right, +1 on the left, 0 none
    int32_t WrongWayMs = 0;     // time spent facing against the race direction, ms
    bool Reversed = false;
    bool Blocked = false;       // the car ahead is too close to pass: following it
    int32_t LowerLimit = 0;     // m/s
    int32_t UpperLimit = 0;     // m/s
    int32_t ThrottleSign = 0;   // -1, 0, +1 of the last update
};

class CPAIManager : public CPTask {
public:
    static constexpr int32_t OpponentCount = 5;

    static CPAIManager* Instance;

    CPAIManager() = default;
    // Deletes the records.
    ~CPAIManager() override;

    size_t GetObjectSize() const override { return sizeof(CPAIManager); }
    std::string GetTypeName() const override { return "CPAIManager"; }
    int GetKind() const override { return 0; }

    // Drives every record with a car once with FrameTime; nothing without a current level.
    void Update() override;

    // The record of car index i, or null past the created records.
    AI_Vehicle* GetRecord(int32_t index) const;
    void SetTarget(int32_t index, int32_t slot, CPLine* line);
    void UpdateVehicle(int32_t index, CPtr<CPGameObject> car, const D3DXVECTOR3* forward, float signedSpeed,
                       CPtr<CPGameObject> target, int32_t lowerLimit, int32_t upperLimit);
    // Reset on every record, opponents first; then the records are deleted and both lists
    // emptied.
    void Reset();
    // OpponentCount opponent records and TrafficCount traffic records appended (the level
    // loader's step after Reset).
    void CreateRecords();

    std::vector<CPtr<AI_Vehicle>> Opponents;
    std::vector<CPtr<AI_Vehicle>> Traffic;
    bool TrafficEnabled = false;
    int32_t TrafficCount = 0;
};

CPAIManager* GetAIManager();
