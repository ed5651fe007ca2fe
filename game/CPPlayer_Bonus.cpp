// The bonus pickup: every step of a running race each car tests its box against the objects of
// the campaign data's bonus list. Bonuses (repair, stop, slow-down, ability down and up, the
// gloom portal) act once and leave the list; ability objects (sphere, whirl, light, halo) stay
// and act on every step of contact with a car of the side they work against.
//
// The list is walked with the next entry kept before an entry is erased, so a pickup never
// breaks the walk. An "empty" object without its contact child "v_bii" and a car without the
// rear flare "lflarerear" (which the slow-down needs) are passed over; so is a halo standing
// exactly on the car, which gives no direction to push.
#include "game/CPPlayer.h"

#include "game/CPCar.h"
#include "game/CPLevel.h"
#include "game/CPShotManager.h"

#include "Render/CPRender.h"
#include "Sound/NSound.h"
#include "Sound/PSoundManager.h"
#include "core/CPCommandDispatcher.h"
#include "core/FrameTime.h"
#include "core/Geometry.h"
#include "core/Singletons.h"
#include "interface/CPGameData.h"
#include "physics/RbRigidBody.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPParticleDesc.h"
#include "scene/CPParticleManager.h"
#include "scene/CPPhysicData.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <list>
#include <numbers>
#include <string>

namespace {

constexpr float SoundFar = 200.0f;  // distance at which a pickup sound stops fading, m
constexpr float PushTime = 4.0f;    // TimeBonusTimer after a push, s
constexpr double SpherePause = 1.0;  // s after the last push before a sphere pushes anew
constexpr int32_t MaxSphereHits = 10;
constexpr double HaloPause = 0.2;  // s between two halo pushes
constexpr float MaxHaloImpulse = 400.0f;

// The effect shot and the positioned sound of a picked-up bonus at p.
void PickupEffects(const char* shot, const char* sound, const D3DXVECTOR3& p) {
    if (CPShotManager* shots = GetShotManager()) {
        shots->LaunchShot(shot, p, D3DXVECTOR3(0.0f, 0.0f, 1.0f), -1.0f, CPtr<CPGameObject>(), 0);
    }
    CPSoundManager* sounds = GetSoundManager();
    if (sounds == nullptr) {
        return;
    }
    CPtr<CNSound> special;
    sounds->GetSpecialSound(special, sound);
    if (special == nullptr) {
        return;
    }
    CPSoundManager::SetSoundPosition(special, p, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    CPSoundManager::SetSoundDistances(special, 0.0f, SoundFar);
    if (special->IsPlaying()) {
        special->Stop();
        special->Rewind();
    }
    special->Play(0, 0);
}

}  // namespace

void CPPlayer::PickUpBonus() {
    CPLevel* level = CPLevel::Current;
    CPGameData* game = CPGameData::Instance;
    if (level == nullptr || !level->RaceStarted || game == nullptr) {
        return;
    }
    const bool traffic = (SideFlags & SideTraffic) != 0;
    const bool player = (SideFlags & SidePlayer) != 0;
    const bool drevikOrTraffic = (SideFlags & (SideDrevik | SideTraffic)) != 0;
    const bool solmarOrTraffic = (SideFlags & (SideSolmar | SideTraffic)) != 0;
    // The rover's world box is not where the car is: its own box is used instead.
    // The physics step moved the car since its box was last worked out: it is tested where it is
    // now, brought up to date once a bonus is there to test (a whole tree's update, not free).
    bool placed = false;
    CPBoundingBox carBox;
    CPCar* car = GetCar();
    RbRigidBody* rigid = Physics != nullptr ? Physics->RigidBody : nullptr;
    const float mass = Physics != nullptr ? Physics->MainShape.Mass : 0.0f;

    std::list<BonusEntry>& bonuses = game->Bonuses;
    for (auto entry = bonuses.begin(); entry != bonuses.end();) {
        const auto next = std::next(entry);
        const CPtr<CPGameObject> object = entry->Bonus;
        if (object == nullptr) {
            entry = next;
            continue;
        }
        if (!placed) {
            UpdateTransform();
            carBox = CarName == "rover" ? CPBoundingBox::Around(Box.Centre, Box.HalfExtents) : Bounds;
            placed = true;
        }
        const std::string& name = object->Name;

        // Contact: the centres closer than the summed half extents over k on every axis.
        CPBoundingBox box = object->Bounds;
        float k = 3.3f;
        if (name == "empty") {
            const CPtr<CPGameObject> contact = object->FindChild("v_bii");
            if (contact == nullptr) {
                entry = next;
                continue;
            }
            box = contact->Bounds;
            k = 0.8f;
        }
        const CPtr<CPGameObject> sphere = object->FindChild("sphera");
        if (sphere != nullptr) {
            box = CPBoundingBox::Around(box.Centre, D3DXVECTOR3(3.5f, 3.5f, box.HalfExtents.z));
        }
        if (name == "fake") {
            k = 1.0f;
        } else if (name == "light") {
            k = 2.0f;
        } else if (name == "halo") {
            box = CPBoundingBox::Around(box.Centre, D3DXVECTOR3(box.HalfExtents.x / 3.0f, box.HalfExtents.y / 3.0f, box.HalfExtents.z));
            k = 1.0f;
        }
        const D3DXVECTOR3 gap = box.Centre - carBox.Centre;
        const D3DXVECTOR3 reach = (box.HalfExtents + carBox.HalfExtents) / k;
        if (!(std::fabs(gap.x) <= reach.x && std::fabs(gap.y) <= reach.y && std::fabs(gap.z) <= reach.z)) {
            entry = next;
            continue;
        }

        const D3DXVECTOR3 p = object->Position;
        auto removeEntry = [&] {
            entry->Bonus = nullptr;
            bonuses.erase(entry);
        };

        if (name == "bonus_remont" && !traffic) {
            PickupEffects("sparks4_remont", "chik", p);
            DamageLevel = std::max(DamageLevel - 20.0f, 0.0f);
            if (player) {
                SendCommandByName("game_interface", "show_message", "remont!");
            }
            SendCommandByName("main", "update_bonus_list", "repair");
            removeEntry();
        } else if (!traffic && object->FindChild("glow3") != nullptr) {
            PickupEffects("sparks4", "bonus_fast", p);
            ThrottleCut = true;
            SetControls(0.0f, Steering);
            TimedLock = true;
            TimedLockTime = 2.0f;
            if (player) {
                SendCommandByName("game_interface", "show_message", "uskorenie!");
            }
            SendCommandByName("main", "update_bonus_list", "axel");
            removeEntry();
        } else if (!traffic && object->FindChild("glow2") != nullptr && FindChild("lflarerear") != nullptr) {
            PickupEffects("sparks4red", "bonus_slow", p);
            const CPtr<CPGameObject> left = FindChild("lflarerear");
            const bool shown = left->Visible;
            if (car != nullptr) {
                car->SetLights(true);
            }
            if (!shown) {
                left->Visible = false;
                if (const CPtr<CPGameObject> right = FindChild("rflarerear")) {
                    right->Visible = false;
                }
            }
            if (player) {
                SendCommandByName("game_interface", "show_message", "zamedlenie!");
            }
            Slowed = true;
            SlowedTime = 0.0f;
            SendCommandByName("main", "update_bonus_list", "brake");
            removeEntry();
        } else if (!traffic && object->FindChild("glow6") != nullptr) {
            PickupEffects("sparks4red", "bonus_minus", p);
            if (AbilityCount > 0) {
                --AbilityCount;
                SendCommandByName("game_interface", "redraw_abilities", "");
            }
            if (player) {
                SendCommandByName("game_interface", "show_message", "sposobnost-1!");
            }
            SendCommandByName("main", "update_bonus_list", "minus");
            removeEntry();
        } else if (!traffic && object->FindChild("glow4") != nullptr) {
            PickupEffects("sparks4", "bonus_plus", p);
            if (AbilityCount < game->MaxAbilityCount) {
                ++AbilityCount;
                SendCommandByName("game_interface", "redraw_abilities", "");
            }
            if (player) {
                SendCommandByName("game_interface", "show_message", "sposobnost+1!");
            }
            SendCommandByName("main", "update_bonus_list", "plus");
            removeEntry();
        } else if (sphere != nullptr) {
            // Pushes a car away at most ten times in a row, then not before a second has passed.
            if (drevikOrTraffic) {
                if (FullTime - LastSphereHit >= SpherePause) {
                    SphereHits = 0;
                }
                if (SphereHits < MaxSphereHits) {
                    const float strength = std::min(GetCarSpeed() * 2.4f * mass * 0.1f, 300.0f);
                    if (SphereHits == 0) {
                        SpherePush = D3DXVECTOR3(Position.x - object->Position.x, Position.y - object->Position.y, Position.z);
                    }
                    if (car != nullptr) {
                        car->ApplyImpulse(Position, D3DXVECTOR3(strength * SpherePush.x, strength * SpherePush.y, 2.0f * mass));
                    }
                    TimeBonusTimer = PushTime;
                    ++SphereHits;
                    LastSphereHit = FullTime;
                }
            }
        } else if (!traffic && object->FindChild("portal_a") != nullptr) {
            PickupEffects("sparks4_gloom", "enter_gloom", p);
            InGloom = true;
            GloomTime = 0.0f;
            if (player) {
                SendCommandByName("game_interface", "show_message", "uron_x2!");
            }
            removeEntry();
            if (level->FollowedCar == this) {
                if (CPRender* render = GetRender()) {
                    render->MotionBlur = 1;
                    render->MotionBlurAmount = 0.3f;
                    render->BlurAlpha = 150;
                }
                GloomVisual = true;
                GloomVisualTime = 0.0f;
                level->TrafficActive = false;
            } else if (level->Player.Get() != this) {
                Visible = false;
            }
            SendCommandByName("main", "update_bonus_list", "gloom");
        } else if (object->FindChild("v_bii") != nullptr) {
            // A hop and a spin.
            if (solmarOrTraffic) {
                if (car != nullptr) {
                    car->ApplyImpulse(Position, D3DXVECTOR3(0.0f, 0.0f, 1.5f * mass));
                }
                if (rigid != nullptr) {
                    rigid->SetAngularMomentum(RbVec(0.0f, 0.0f, 30.0f * mass));
                }
                TimeBonusTimer = PushTime;
            }
        } else if (name == "light") {
            // Holds the car; every step of contact starts the 4 s lock anew.
            if (drevikOrTraffic) {
                Locked = true;
                if (car != nullptr) {
                    car->SetControls(0.0f, Steering);
                    car->Locked = true;
                    car->SetControls(0.0f, Steering);
                }
                TimedLock = true;
                TimedLockTime = 0.0f;
            }
        } else if (name == "halo") {
            D3DXVECTOR3 d = object->Position - Position;
            if (solmarOrTraffic && FullTime - LastHaloHit >= HaloPause && D3DXVec3LengthSq(&d) > 0.0f) {
                D3DXVec3Normalize(&d, &d);
                const float angle = static_cast<float>(ClampedAcos(-d.y)) + std::numbers::pi_v<float> / 2.0f;
                CPParticleDesc wall;
                wall.Name = "wall";
                wall.Position = Position + d;
                // (0, -1, 0) turned about z by angle.
                wall.Velocity = D3DXVECTOR3(std::sin(angle), -std::cos(angle), 0.0f);
                wall.Param1 = 4.0f;
                wall.Param2 = CrtRandUnit() * 1.8f + 0.4f;
                wall.Param3 = 0.5f;
                wall.Flag1 = 1;
                wall.Flag2 = 0;
                if (CPParticleManager* particles = GetParticleManager()) {
                    particles->Spawn(wall);
                }
                D3DXVECTOR3 impulse = (Position - box.Centre) * 100.0f;
                const float squared = D3DXVec3LengthSq(&impulse);
                if (squared > MaxHaloImpulse * MaxHaloImpulse) {
                    impulse *= MaxHaloImpulse / std::sqrt(squared);
                }
                ApplyImpulse(Position, impulse);
                SetTimeBonusTimer(PushTime);
                LastHaloHit = FullTime;
            }
        }
        entry = next;
    }
}
