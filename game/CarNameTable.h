// The car-name table: the six car names the game knows, the model name the scripts use for
// each, and the side its cars race for (1 Solmar, 2 Drevik). Names outside the table pass
// through unchanged and belong to no side.
#pragma once

#include <array>
#include <string_view>

namespace CarNameTable {

struct Row {
    std::string_view Car;
    std::string_view Model;
    int Side;
};

inline constexpr std::array<Row, 6> Rows{{
    {"hauler_", "hauler", 1},
    {"rover", "rover_x", 1},
    {"sedan_main", "sedan_z", 1},
    {"coupe_r", "coupe_r", 2},
    {"saloon", "saloon_s", 2},
    {"touring_wagon", "tour_w", 2},
}};

// The side of a car name; 0 outside the table.
constexpr int SideOfCar(std::string_view carName) {
    for (const Row& row : Rows) {
        if (row.Car == carName) {
            return row.Side;
        }
    }
    return 0;
}

}  // namespace CarNameTable
