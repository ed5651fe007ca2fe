// The records of the campaign data: shop items and their catalogues, the car's equipment,
// score, lap and track records, and the current mission's checkpoints and enemy sources.
// Plain values; CPGameData holds them, the campaign files and our campaign data file fill them.
#pragma once

#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"
#include "scene/CPGameObject.h"

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// The car's equipment. Every name is a key of its catalogue; "" is an empty slot.
struct CarSettings {
    std::array<std::string, 3> Weapons;    // slots 1..3
    std::array<std::string, 2> Equipment;  // slots 1..2
    std::string Bumper;
    std::string Engine;
    std::string Armor;
    std::string SuperWeapon;
    int32_t SuperWeaponCharges = 0;
    std::string Mine;

    bool operator==(const CarSettings&) const = default;
};

// Shop items. Name is the key of the item's display name in the text table, DescriptionKey the
// key of its description; the item is on sale from RequiredMission on. The values the engine
// does not use itself (W1..W4, the mine's, the part's and the engine's) belong to the shop
// scripts, which only read them back.
struct WeaponInfo {
    std::string Name;
    int32_t Price = 0;
    int32_t ShotCost = 0;  // ammunition per shot, divided by CostDivisor × the car's cost factor
    float W1 = 0.0f;
    int32_t W2 = 0;
    float DamagePerShot = 0.0f;
    float W3 = 0.0f;
    int32_t CostDivisor = 0;
    float FireRate = 0.0f;  // shots per second, before the car's rate factor
    float W4 = 0.0f;
    std::string DescriptionKey;
    int32_t RequiredMission = 0;

    bool operator==(const WeaponInfo&) const = default;
};

struct MineInfo {
    std::string Name;
    int32_t Price = 0;
    int32_t M1 = 0;
    float M2 = 0.0f;
    float M3 = 0.0f;
    int32_t M4 = 0;
    float M5 = 0.0f;
    float M6 = 0.0f;
    float M7 = 0.0f;
    std::string DescriptionKey;
    int32_t RequiredMission = 0;

    bool operator==(const MineInfo&) const = default;
};

struct SuperWeaponInfo {
    std::string Name;
    int32_t Price = 0;
    std::string DescriptionKey;
    int32_t RequiredMission = 0;

    bool operator==(const SuperWeaponInfo&) const = default;
};

// Bumpers, equipment and armour.
struct PartInfo {
    std::string Name;
    int32_t Price = 0;
    float Value = 0.0f;
    std::string DescriptionKey;
    int32_t RequiredMission = 0;

    bool operator==(const PartInfo&) const = default;
};

struct EngineInfo {
    std::string Name;
    int32_t Price = 0;
    std::array<float, 5> Values{};
    std::string DescriptionKey;
    int32_t RequiredMission = 0;

    bool operator==(const EngineInfo&) const = default;
};

// One kind of shop item: a hash map by item name for lookups and the same items in shop order.
// Items enter through Add only, so the two halves always hold the same items; lookups never
// insert.
template <class Record>
struct Catalogue {
    std::unordered_map<std::string, Record> ByName;
    std::vector<std::pair<std::string, Record>> InOrder;

    Catalogue() { ByName.reserve(100); }

    // Null for a name that is not in the catalogue.
    const Record* Find(const std::string& name) const {
        const auto found = ByName.find(name);
        return found != ByName.end() ? &found->second : nullptr;
    }
    bool Contains(const std::string& name) const { return ByName.count(name) != 0; }
    // 0 for a name that is not in the catalogue.
    int32_t PriceOf(const std::string& name) const {
        const Record* record = Find(name);
        return record != nullptr ? record->Price : 0;
    }
    // Appends the item at the end of the shop order; false (nothing changes) when the name is
    // taken.
    bool Add(const std::string& name, const Record& record) {
        if (!ByName.emplace(name, record).second) {
            return false;
        }
        InOrder.emplace_back(name, record);
        return true;
    }
    size_t Size() const { return InOrder.size(); }
    void Clear() {
        ByName.clear();
        InOrder.clear();
    }

    bool operator==(const Catalogue& other) const { return InOrder == other.InOrder; }
};

// One line of a score table; ordered by (Minutes, Seconds, Hundredths).
struct ScoreRecord {
    std::string Name;
    int32_t Minutes = 0;
    int32_t Seconds = 0;
    int32_t Hundredths = 0;

    bool operator==(const ScoreRecord&) const = default;
};

// Whether a's time is strictly shorter than b's (names are not compared).
bool ScoreOrdersBefore(const ScoreRecord& a, const ScoreRecord& b);

// One sample of a time-attack run, stored in memory and in save files as these 32 bytes.
struct GhostSample {
    D3DXVECTOR3 Position{};       // world, m
    D3DXQUATERNION Orientation{};  // x y z w
    float Time = 0.0f;            // race clock at the sample, s
};
static_assert(sizeof(GhostSample) == 32, "a ghost sample is 32 bytes on disk");

// One track's time-attack record.
struct TrackRecord {
    float BestTime = 0.0f;  // s; 0 is no record
    int32_t Value = 0;      // 4 after a profile reset; kept by the save file
    std::string Name;       // the record run's car model, which also names the ghost car
    std::vector<GhostSample> Samples;
};

// A driver's lap state; a new one is round 1, twenty zero lap times, no progress.
struct LapRecord {
    static constexpr size_t LapSlots = 20;

    int32_t Round = 1;  // 1-based; LapTimes[Round - 1] is the running round
    std::vector<float> LapTimes = std::vector<float>(LapSlots, 0.0f);
    int32_t Progress = -1;

    bool operator==(const LapRecord&) const = default;
};

// A bonus object lying in the level, with the amount its script gave.
struct BonusEntry {
    CPtr<CPGameObject> Bonus;
    int32_t Value = 0;
};

// One entry of a list of percentages: a draw r in 0..99 picks the first entry with
// Low <= r < High. The entries of a list cover consecutive ranges from 0.
struct RangeEntry {
    std::string Name;
    int32_t Low = 0;
    int32_t High = 0;

    bool operator==(const RangeEntry&) const = default;
};

// One checkpoint record of a mission file.
struct MissionSource {
    float Value = 0.0f;
    std::array<int32_t, 3> IntValues{};
    std::vector<RangeEntry> EnemyRanges;
    int32_t BonusProbability = 0;  // percent
    std::vector<RangeEntry> BonusRanges;

    bool operator==(const MissionSource&) const = default;
};

// One enemy spawn point of the current mission.
struct EnemySourcePoint {
    D3DXVECTOR3 Position{};  // world, m
    bool Kind = false;
    float Value = 0.0f;
    std::vector<RangeEntry> EnemyRanges;

    bool operator==(const EnemySourcePoint&) const = default;
};

// Ground position of a computer car.
struct AiPosition {
    float X = 0.0f;
    float Y = 0.0f;
};
