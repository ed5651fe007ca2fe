// The per-step game logic of one car: the wreck and the player's defeat, drifts and the turn
// arrows, the car's timers, the gloom and slow-down states, the engine temperature, the inputs
// handed to the vehicle model, the timed lock and the impact sound. It runs in the race update
// with dt = 1/60 s for the player's car and the frame time for computer cars; its results reach
// the scripts as commands.
//
// The drift length alone counts the frame time, not dt: a drift is measured as the player sees
// it, each frame once however many fixed steps it held (none, at a high frame rate: its time
// waits in DriftFrameTime for the next step).
#include "game/CPPlayer.h"

#include "game/CPCar.h"
#include "game/CPLevel.h"
#include "game/CPLine.h"

#include "Render/CPRender.h"
#include "Sound/NSound.h"
#include "Sound/PSoundManager.h"
#include "core/CPCommandDispatcher.h"
#include "core/ConfigVars.h"
#include "core/Geometry.h"
#include "core/Singletons.h"
#include "interface/CPGameData.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPParticleDesc.h"
#include "scene/CPParticleManager.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

// Seconds of the states the logic times.
constexpr float SmokePeriod = 0.5f;
constexpr float DefeatDelayMin = 3.0f;
constexpr float DefeatDelayMax = 20.0f;
constexpr float DefeatSent = 666.0f;  // DefeatTime past every window: "defeat" went once
constexpr float MinDrift = 0.5f;
constexpr float GloomLength = 15.0f;
constexpr float SlowLength = 4.0f;
constexpr float SlowMinSpeed = 10.0f;
constexpr float HotEngine = 0.8f;
constexpr float LockLength = 4.0f;
constexpr float SlamPause = 0.5f;
// Turns the arrows show: more than 30 degrees between here and four pieces ahead.
constexpr int ArrowLookAhead = 4;
constexpr float ArrowMinTurn = 0.5235988f;

void Spawn(const CPParticleDesc& request) {
    if (CPParticleManager* particles = GetParticleManager()) {
        particles->Spawn(request);
    }
}

void ShowIfPresent(const CPtr<CPGameObject>& node, bool visible) {
    if (node != nullptr) {
        node->Visible = visible;
    }
}

D3DXVECTOR3 HeadingVector(float heading) { return D3DXVECTOR3(std::cos(heading), std::sin(heading), 0.0f); }

// -1, 0 or 1: which way the path turns within the next pieces. Null when there is no path to
// look along.
bool PathTurn(const CPLevel& level, int& direction) {
    const CPLine* ahead = level.PathLineHint;
    for (int i = 0; i < ArrowLookAhead && ahead != nullptr; ++i) {
        ahead = level.Reversed ? ahead->Prev : ahead->Next;
    }
    if (ahead == nullptr) {
        return false;
    }
    const D3DXVECTOR3 a = HeadingVector(level.PathHeading);
    const D3DXVECTOR3 b = HeadingVector(ahead->Heading);
    const double angle = ClampedAcos(D3DXVec3Dot(&a, &b));
    if (std::fabs(angle) <= ArrowMinTurn) {
        direction = 0;
    } else {
        direction = a.x * b.y - b.x * a.y > 0.0f ? 1 : -1;
    }
    return true;
}

}  // namespace

float CPPlayer::GetCarSpeed() const {
    D3DXVECTOR4 v;
    GetCarVelocity(v);
    const float squared = v.x * v.x + v.y * v.y + v.z * v.z;
    return squared < 0.000001f ? 0.0f : std::sqrt(squared);
}

void CPPlayer::UpdateLogic(float dt) {
    CPLevel* level = CPLevel::Current;
    CPCar* car = GetCar();
    const float frameTime = DriftFrameTime;
    DriftFrameTime = 0.0f;

    // The wreck: lights on, rear flares off, shown, smoking (not traffic), out of the race.
    if (DamageLevel >= WreckedLevel && Locked) {
        if (car != nullptr) {
            car->SetLights(true);
        }
        ShowIfPresent(FindChild("lflarerear"), false);
        ShowIfPresent(FindChild("rflarerear"), false);
        Visible = true;
        if ((SideFlags & SideTraffic) == 0) {
            SmokeTimer += dt;
            if (SmokeTimer >= SmokePeriod) {
                CPParticleDesc smoke;
                smoke.Name = "smoke3car";
                smoke.Position = Position;
                const float r1 = CrtRandUnit();
                const float r2 = CrtRandUnit();
                const float r3 = CrtRandUnit();
                smoke.Velocity = D3DXVECTOR3(r3 * 1.7f, r2 * 1.7f, r1 * 0.4f + 3.0f);
                smoke.Acceleration = D3DXVECTOR3(0.0f, 0.0f, -1.0f);
                smoke.Param1 = 1000.0f;
                smoke.Param2 = 1.0f;
                smoke.Param3 = 2.5f;
                smoke.Flag1 = 1;
                smoke.Flag2 = 0;
                Spawn(smoke);
                SmokeTimer = 0.0f;
            }
        }
        Dead = true;
    }

    // The player's defeat: the loss at once, "defeat" once 3 to 20 s later.
    if (DamageLevel >= WreckedLevel && (SideFlags & SidePlayer) != 0) {
        if (!LossShown) {
            SendCommandByName("game_interface", "show_message", "proigrish!");
            SendCommandByName("jeep", "game_over", "");
            LossShown = true;
        }
        DefeatTime += dt;
        if (DefeatTime >= DefeatDelayMin && DefeatTime <= DefeatDelayMax) {
            SendCommandByName("main", "defeat", "");
            DefeatTime = DefeatSent;
        }
    }
    if (Dead) {
        return;
    }

    // Turn arrows and drift points of the human driver.
    if (HumanDriven) {
        if (car != nullptr && car->SlideAmount > 0.0f && car->SteerInput != 0.0f) {
            DriftTime += frameTime;
        } else {
            if (DriftTime > MinDrift) {
                std::string text;
                if (const CPGameData* game = CPGameData::Instance) {
                    const auto entry = game->TextTable.find("drift_time");
                    if (entry != game->TextTable.end()) {
                        text = entry->second;
                    }
                }
                // Whole tenths of a second.
                const float shown = std::trunc(DriftTime * 10.0f) * 0.1f;
                char number[64];
                std::snprintf(number, sizeof(number), "%f", static_cast<double>(shown));
                SendCommandByName("game_interface", "bonus_points2", "time," + text + "," + number);
            }
            DriftTime = 0.0f;
        }
        int direction = 0;
        if (level != nullptr && PathTurn(*level, direction)) {
            SendCommandByName("game_interface", "update_arrows", std::to_string(direction));
        }
    }

    Respawn(false);

    if (TimeBonusTimer > 0.0f) {
        TimeBonusTimer -= dt;
    }
    if (RespawnCooldown > 0.0f) {
        RespawnCooldown -= dt;
    }

    // The gloom's screen effect of the followed car ends after its time.
    if (GloomVisual) {
        GloomVisualTime += dt;
        if (GloomVisualTime >= GloomLength) {
            GloomVisual = false;
            if (CPRender* render = GetRender()) {
                render->MotionBlur = 0;
                render->MotionBlurAmount = 0.0f;
                render->BlurAlpha = 255;
            }
            if (level != nullptr) {
                level->ResetCars();
            }
        }
    }

    // In the gloom a car is seen only from the gloom, with blue sparks around it.
    if (InGloom) {
        const CPPlayer* followed = level != nullptr ? level->FollowedCar : nullptr;
        if (followed == nullptr || !followed->InGloom) {
            Visible = false;
        } else {
            Visible = true;
            const bool insideView = followed == this && level->CameraMode != 0;
            if (Cfg::psystems > 0 && !insideView) {
                const int count = static_cast<int>(60.0f / (25.0f / static_cast<float>(Cfg::psystems)));
                const D3DXVECTOR3* c = Box.Corners();
                for (int i = 0; i < count; ++i) {
                    const float r1 = CrtRandUnit();
                    const float r2 = CrtRandUnit();
                    const float r3 = CrtRandUnit();
                    const float r4 = CrtRandUnit();
                    const float r5 = CrtRandUnit();
                    const D3DXVECTOR3 q1 = c[6] + r1 * (c[2] - c[6]);
                    const D3DXVECTOR3 q2 = c[7] + r2 * (c[3] - c[7]);
                    CPParticleDesc spark;
                    spark.Name = "iskra3blue";
                    spark.Position = q1 + r4 * (q2 - q1) + 0.5f * r3 * (c[0] - c[3]);
                    spark.Param1 = 0.2f;
                    spark.Param2 = 0.5f;
                    spark.Param3 = r5 * 0.5f + 0.1f;
                    spark.Flag1 = 1;
                    spark.Flag2 = 0;
                    Spawn(spark);
                }
            }
        }
        GloomTime += dt;
        if (GloomTime >= GloomLength) {
            InGloom = false;
            if ((SideFlags & SidePlayer) == 0) {
                Visible = true;
            }
        }
    }

    // The slow-down keeps the brake on for at most 4 s, less once the car is slow. A car
    // without the rear flare "lflarerear" cannot be slowed: a slow-down set on it just ends.
    if (Slowed) {
        CPtr<CPGameObject> left = FindChild("lflarerear");
        if (left == nullptr) {
            Slowed = false;
        } else {
            const bool shown = left->Visible;
            if (car != nullptr) {
                car->SetLights(true);
            }
            if (!shown) {
                left->Visible = false;
                ShowIfPresent(FindChild("rflarerear"), false);
            }
            SlowedTime += dt;
            if (SlowedTime >= SlowLength || GetCarSpeed() < SlowMinSpeed) {
                Slowed = false;
                if (!left->Visible && car != nullptr) {
                    car->SetLights(false);
                }
            }
        }
    }

    // The engine heats while the throttle is open and cools otherwise.
    const float before = EngineTemperature;
    if (std::fabs(Throttle) > 0.0f) {
        EngineTemperature = std::fmin(before + dt * EngineHeatingRate(), 1.0f);
    } else {
        EngineTemperature = std::fmax(before - dt * EngineCoolingRate(), 0.0f);
    }
    if (before < HotEngine && EngineTemperature >= HotEngine) {
        SendCommandByName("gamemenu", "engine_temp", "1");
    } else if (before >= HotEngine && EngineTemperature < HotEngine) {
        SendCommandByName("gamemenu", "engine_temp", "0");
    }

    if (CPPhysicWorld* world = GetPhysicWorld()) {
        world->SetCarControls(CPtr<CPGameObject>(this), Throttle, Steering);
    }

    PickUpBonus();

    // A timed stop or lock ends once its time is past 4 s.
    if (TimedLock) {
        TimedLockTime += dt;
        if (TimedLockTime > LockLength) {
            SetLocked(false);
            ThrottleCut = false;
            TimedLockTime = 0.0f;
            TimedLock = false;
            if (car != nullptr) {
                car->SetLights(true);
                car->SetLights(false);
            }
        }
    }

    // The impact sound of the human driver may start again after a pause.
    SlamSoundTimer += dt;
    CollisionFlag = false;
    if (HumanDriven && SlamSoundTimer > SlamPause) {
        if (CPSoundManager* sounds = GetSoundManager()) {
            CPtr<CNSound> slam;
            sounds->GetSpecialSound(slam, "slam");
            if (slam != nullptr) {
                slam->Stop();
                slam->Rewind();
            }
        }
        SlamSoundTimer = 0.0f;
    }
}
