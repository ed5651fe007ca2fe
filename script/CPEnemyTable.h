// The enemy types the race scripts ask for by name (GetEnemyData): five values per type that
// the host fills and the scripts interpret. A type asked for that is not there is added with
// every value empty (both numbers 0).
#pragma once

#include <string>
#include <unordered_map>

struct EnemyTypeRecord {
    float Value1 = 0.0f;
    float Value2 = 0.0f;
    std::string Text1;
    std::string Text2;
    std::string Text3;
};

class CPEnemyTable {
public:
    std::unordered_map<std::string, EnemyTypeRecord> Types;

    static inline CPEnemyTable* Instance = nullptr;  // set by the host
};
