// The weapon kinds of the player's car: the type code each weapon name selects and the shot
// type each code fires. The weapon work itself is CPPlayer's (CPPlayer::SetWeaponFlares and
// CPPlayer::UpdateWeapons, in CPWeapon.cpp), since it lives on the car's state.
#pragma once

#include <cstdint>
#include <string>

class CPWeapon {
public:
    enum : int32_t {
        MachineGun = 0,
        TwinGun = 1,
        HeavyMachineGun = 2,
        SmallRocketLauncher = 3,
        RocketLauncher = 4,
        Plasma = 5,
        Shotgun = 6,
        Gauss = 7,
        FlameThrower = 8,
        None = 9,
    };
    static constexpr float FlareTime = 0.1f;      // s a muzzle flare shows
    static constexpr float FlameDamagePeriod = 0.2f;  // s between flame damage passes
    static constexpr float BarrelSpin = 10.5f;    // rad/s of the heavy gun's barrel
    static constexpr float FlameSpeed = 14.0f;    // m/s of the flame particles
    static constexpr float MaxHeavyTilt = 0.1f;   // rad of the heavy gun's spread
    static constexpr float MaxShotgunTilt = 0.4f;  // rad of a pellet's spread
    static constexpr float MaxFlameTurn = 0.1f;   // rad per axis of a flame particle's spread
    // g / 17² of the rocket launcher's ballistic aim (17 m/s muzzle speed).
    static constexpr float BallisticFactor = 9.8f * 0.0034602077f;

    // The type code of a weapon name (exact match); None for any other name.
    static int32_t TypeOf(const std::string& name);
    // The shot type a type code fires; null for the flame thrower and None.
    static const char* ShotOf(int32_t type);
};
