// The race rules of a running level, once per engine step: the race result, the checkpoint
// countdown, the clocks, the lap tracker, the level time-out, the player's car in fixed steps,
// the computer cars, nitro zones, checkpoint boxes, the camera feed, the time-attack ghost,
// and what the race hands the renderer. Every outcome reaches the scripts as a command.
//
// The player's car runs in fixed steps of 1/60 s from an accumulator, so its logic does not
// depend on the frame rate; a long frame runs several steps (the host bounds the frame time
// it hands the race, so the catch-up stays short). Computer cars run once with the frame time.
//
// The wall clock is read as the unsigned 32-bit millisecond count it is, and differences are
// taken in that arithmetic, so the step stays right when the clock wraps.
#include "game/CPLevel.h"

#include "DynamicSky/Skyscape.h"
#include "Render/CPQuadTreeNode.h"
#include "Render/CPRender.h"
#include "Render/CPRenderBatcher.h"
#include "Sound/NSound.h"
#include "Sound/PSoundManager.h"
#include "core/CPCommandDispatcher.h"
#include "core/ConfigVars.h"
#include "core/FrameTime.h"
#include "core/Singletons.h"
#include "game/CPAIManager.h"
#include "game/CPCar.h"
#include "game/CPLevelBranch.h"
#include "game/CPPlayer.h"
#include "game/CPRaceCamera.h"
#include "game/CPSpline.h"
#include "interface/CPGameData.h"
#include "interface/CPLensFlare.h"
#include "platform/win32/Clock.h"
#include "scene/CPGameObject.h"
#include "scene/CPPerspectiveCamera.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace {

constexpr float GhostSampleInterval = 0.05f;  // s of RaceClock between recorded samples
constexpr float FullNitro = 100.0f;
constexpr float FastSoundCooldown = 2.0f;  // s
constexpr float PathSearchRadius = 40.0f;

// The car's forward axis: its orientation applied to (0, -1, 0).
D3DXVECTOR3 Forward(CPGameObject& object) {
    D3DXMATRIX rotation;
    D3DXMatrixRotationQuaternion(&rotation, &object.GetOrientation());
    const D3DXVECTOR3 nose(0.0f, -1.0f, 0.0f);
    D3DXVECTOR3 forward;
    D3DXVec3TransformCoord(&forward, &nose, &rotation);
    return forward;
}

// "%f" whatever the process locale is.
std::string FixedText(float value) {
    char text[64];
    const auto written =
        std::to_chars(text, text + sizeof(text), static_cast<double>(value), std::chars_format::fixed, 6);
    return std::string(text, written.ptr);
}

}  // namespace

void CPLevel::Update() {
    const float dt = FrameTime;

    if (!RaceOver) {
        EvaluateRaceResult();
    }
    CountDownCheckpoint(dt);
    if (DemoMode) {
        RunDemoDirector(dt);
    }

    RaceClock += dt;
    LevelTime -= dt;
    const uint32_t now = timeGetTime();
    const float wallStep = static_cast<float>(now - LastClockMs) * 0.001f;
    LastClockMs = now;

    Step();
    OrbitTime += wallStep;

    if (LevelTime < 0.0f && !LevelFailedSent) {
        LevelTime = 0.0f;
        if (CPCommandDispatcher* dispatcher = GetCommandDispatcher()) {
            dispatcher->SendCommandByCategory("main", "level_failed", "");
        }
        LevelFailedSent = true;
    }

    if (!DemoMode) {
        // The frame counts once for the drift, in the next step, in this frame or a later one.
        if (Player) {
            Player->DriftFrameTime += dt;
        }
        float accumulated = StepAccumulator + dt;
        while (accumulated >= FixedStep) {
            if (Player) {
                Player->UpdateLogic(FixedStep);
            }
            accumulated -= FixedStep;
        }
        StepAccumulator = accumulated;
    }

    FeedCameraBeforeCars();
    StepComputerCars(dt);

    if (CentrePath && Player) {
        float radius = PathSearchRadius;
        PathHeading = CentrePath->FindNearestLine(Player->GetPosition(), radius, 1, PathLineHint, -1);
    }

    RefillNitro(dt);
    if (!SingleMode) {
        HandleCheckpoints();
    }
    FeedCameraAfterCars();
    if (TimeMode) {
        UpdateGhost();
    }
    DrawRace();
    PlaceLensFlare();
}

void CPLevel::EvaluateRaceResult() {
    if (FinishSlots[0] == PlayerSlotId) {
        if (!TimeMode) {
            SendCommandByName("game_interface", "place", "1st");
            if (PlaceToFinish >= 0) {
                SendCommandByName("game_interface", "show_message", "finish!");
                SendCommandByName("jeep", "game_over");
                GameOverSent = true;
            }
            RaceOver = true;
            return;
        }
        // Time attack: the lap just completed against the track's record. A level without a
        // record slot (not "level1".."level10") or without that lap's time keeps no record.
        bool better = true;
        CPGameData* game = CPGameData::Instance;
        if (game != nullptr && LevelNumber >= 1 && LevelNumber <= static_cast<int32_t>(CPGameData::TrackCount) &&
            game->CurrentRound >= 2 && static_cast<size_t>(game->CurrentRound - 1) <= game->LapTimes.size()) {
            TrackRecord& record = game->Records[static_cast<size_t>(LevelNumber - 1)];
            const float run = game->LapTimes[static_cast<size_t>(game->CurrentRound - 2)];
            better = record.BestTime == 0.0f || run < record.BestTime;
            if (better) {
                record.BestTime = run;
                record.Name = RecordName;
                record.Samples = GhostSamples;
            }
        }
        SendCommandByName("game_interface", "show_message", better ? "finish!" : "lost!");
        SendCommandByName("jeep", "game_over");
        GameOverSent = true;
        RaceOver = true;
        return;
    }
    static const char* const Places[] = {"1st", "2nd", "3rd"};
    for (int32_t place = 1; place < 3; ++place) {
        if (FinishSlots[static_cast<size_t>(place)] != PlayerSlotId) {
            continue;
        }
        SendCommandByName("game_interface", "place", Places[place]);
        RaceOver = true;
        SendCommandByName("game_interface", "show_message", PlaceToFinish < place ? "lost!" : "finish!");
        SendCommandByName("jeep", "game_over");
        GameOverSent = true;
        return;
    }
    if (std::none_of(FinishSlots.begin(), FinishSlots.end(), [](int32_t slot) { return slot == -1; })) {
        RaceOver = true;
        SendCommandByName("game_interface", "show_message", "lost!");
        SendCommandByName("jeep", "game_over");
        GameOverSent = true;
    }
}

void CPLevel::CountDownCheckpoint(float dt) {
    const CPGameData* game = CPGameData::Instance;
    if (game == nullptr || !game->LevelStarted || LastCheckpoint == -1 || GameOverSent || RaceOver || SingleMode) {
        return;
    }
    CheckpointTimeLeft -= dt;
    if (CheckpointTimeLeft <= 0.0f) {
        SendCommandByName("game_interface", "checkpoint", "timeout!,1");
        SendCommandByName("game_interface", "show_message", "lost!");
        SendCommandByName("jeep", "game_over");
        GameOverSent = true;
        CheckpointTimeLeft = 0.0f;
        RaceOver = true;
    }
}

void CPLevel::StepComputerCars(float dt) {
    CPGameData* game = CPGameData::Instance;
    for (size_t i = 0; i < Cars.size(); ++i) {
        CPPlayer* car = Cars[i].Get();
        if (car == nullptr) {
            continue;
        }
        const auto index = static_cast<int32_t>(i);
        if (TrafficActive || index < OpponentCount) {
            const D3DXVECTOR3 forward = Forward(*car);
            const CPCar* model = car->GetCar();
            const float speed = model != nullptr ? model->Speed : 0.0f;
            const float signedSpeed = car->Throttle < 0.0f ? speed : -speed;
            if (CPAIManager::Instance != nullptr) {
                CPAIManager::Instance->UpdateVehicle(index, CPtr<CPGameObject>(car), &forward, signedSpeed,
                                                     CPtr<CPGameObject>(car), car->AiLowerLimit, car->AiUpperLimit);
            }
            car->DriftFrameTime += dt;
            car->UpdateLogic(dt);
        }
        if (index < OpponentCount && game != nullptr) {
            const D3DXVECTOR3& position = car->GetPosition();
            game->AiPositions[std::to_string(i)] = AiPosition{position.x, position.y};
        }
    }
}

void CPLevel::RefillNitro(float dt) {
    FastCooldown = std::max(FastCooldown - dt, 0.0f);
    CPCar* playerCar = Player ? Player->GetCar() : nullptr;
    for (const CPtr<CPGameObject>& zone : Zones) {
        if (!zone) {
            continue;
        }
        if (playerCar != nullptr && zone->CollisionBounds.Contains(Player->GetPosition())) {
            if (playerCar->NitroFuel != FullNitro && FastCooldown == 0.0f) {
                CPtr<CNSound> sound;
                if (CPSoundManager* sounds = GetSoundManager()) {
                    sounds->GetSpecialSound(sound, "fast");
                }
                if (sound) {
                    if (sound->IsPlaying()) {
                        sound->Stop();
                        sound->Rewind();
                    }
                    sound->Play(0, 0);
                }
                FastCooldown = FastSoundCooldown;
            }
            playerCar->NitroFuel = std::min(playerCar->NitroFuel + FullNitro, FullNitro);
        }
        for (const CPtr<CPPlayer>& car : Cars) {
            CPCar* model = car ? car->GetCar() : nullptr;
            if (model != nullptr && zone->CollisionBounds.Contains(car->GetPosition())) {
                model->NitroFuel = std::min(model->NitroFuel + FullNitro, FullNitro);
            }
        }
    }
}

void CPLevel::HandleCheckpoints() {
    if (!Player || GameOverSent) {
        return;
    }
    const auto count = static_cast<int32_t>(Checkpoints.size());
    for (int32_t i = 0; i < count; ++i) {
        const CPtr<CPGameObject>& box = Checkpoints[static_cast<size_t>(i)].Object;
        if (i == LastCheckpoint || !box || !box->CollisionBounds.Contains(Player->GetPosition())) {
            continue;
        }
        CheckpointCount += 1;
        if (CheckpointTimeLeft > 0.0f) {
            std::string label;
            if (const CPGameData* game = CPGameData::Instance) {
                auto found = game->TextTable.find("bonus_time");
                if (found != game->TextTable.end()) {
                    label = found->second;
                }
            }
            // The time left in whole tenths, cut in float: a level's time may be past the int range.
            const float tenths = std::trunc(CheckpointTimeLeft * 10.0f) * 0.1f;
            SendCommandByName("game_interface", "bonus_points", "time," + label + "," + FixedText(tenths));
        }
        CheckpointTimeLeft = Checkpoints[static_cast<size_t>(i)].Time;
        const CPGameData* game = CPGameData::Instance;
        const bool finalSweepEnd = game != nullptr && game->CurrentRound == 3 && CheckpointCount == count + 1;
        if (!finalSweepEnd) {
            SendCommandByName("game_interface", "checkpoint", LastCheckpoint == -1 ? "checkpoint!,0" : "checkpoint!,1");
        }
        LastCheckpoint = i;
        if (CheckpointCount > count) {
            CheckpointCount = 1;
        }
        return;
    }
}

void CPLevel::UpdateGhost() {
    if (Player && LastGhostSampleTime + GhostSampleInterval < RaceClock) {
        LastGhostSampleTime = RaceClock;
        GhostSample sample;
        sample.Position = Player->GetPosition();
        sample.Orientation = Player->GetOrientation();
        sample.Time = RaceClock;
        GhostSamples.push_back(sample);
    }
    if (!GhostCar) {
        return;
    }
    const CPGameData* game = CPGameData::Instance;
    if (game != nullptr && LevelNumber >= 1 && LevelNumber <= static_cast<int32_t>(CPGameData::TrackCount)) {
        const std::vector<GhostSample>& samples = game->Records[static_cast<size_t>(LevelNumber - 1)].Samples;
        if (!samples.empty()) {
            const auto last = static_cast<int32_t>(samples.size()) - 1;
            int32_t j = std::clamp(GhostReplayIndex, 0, last);
            if (samples[static_cast<size_t>(j)].Time < RaceClock) {
                while (j < last) {
                    ++j;
                    if (samples[static_cast<size_t>(j)].Time >= RaceClock) {
                        break;
                    }
                }
            }
            GhostReplayIndex = j;
            const GhostSample& b = samples[static_cast<size_t>(j)];
            if (b.Time >= RaceClock && j != 0) {
                const GhostSample& a = samples[static_cast<size_t>(j - 1)];
                const float span = b.Time - a.Time;
                // Two samples of one time: the later one's place.
                const float f = span > 0.0f ? (RaceClock - a.Time) / span : 1.0f;
                D3DXVECTOR3 position;
                LerpVector(&position, &a.Position, &b.Position, f);
                GhostCar->SetPosition(position);
                GhostCar->SetOrientation(b.Orientation);
                GhostCar->UpdateTransform();
            }
        }
    }
    CPRender* render = GetRender();
    CPtr<CPRenderBatcher> batcher = render != nullptr ? render->GetStaticBatcher() : CPtr<CPRenderBatcher>();
    if (batcher) {
        batcher->AddTree(GhostCar);
    }
}

void CPLevel::DrawRace() {
    CPRender* render = GetRender();
    if (render == nullptr) {
        return;
    }
    CPtr<CPRenderBatcher> batcher = render->GetStaticBatcher();
    CPPerspectiveCamera* view = Camera ? Camera->GetView1() : nullptr;
    if (!batcher) {
        return;
    }
    if (Cfg::plane != 0.0f && Terrain) {
        batcher->AddObject(Terrain);
    }
    for (const CPtr<CPPlayer>& car : Cars) {
        if (car) {
            car->Draw(batcher.Get(), view);
        }
    }
    if (Player && !DemoMode) {
        Player->Draw(batcher.Get(), view);
    }
    if (view == nullptr) {
        return;
    }
    if (Cfg::quadlevels != 0) {
        if (QuadTree) {
            QuadTree->Visit(view);
        }
    } else if (BranchRoot) {
        BranchRoot->Cull(view);
    }
}

void CPLevel::PlaceLensFlare() {
    CPRender* render = GetRender();
    CPPerspectiveCamera* view = Camera ? Camera->GetView1() : nullptr;
    if (!LensFlare || Cfg::lensflare == 0 || render == nullptr || view == nullptr) {
        return;
    }
    const D3DXVECTOR3 sun = Skyscape::SunPosition;
    D3DXVECTOR3 screen;
    render->ProjectToScreen(screen, sun);
    if (screen.x >= 0.0f && screen.x < static_cast<float>(Cfg::screenWidth) && screen.y >= 0.0f &&
        screen.y < static_cast<float>(Cfg::screenHeight) && sun.z > 0.0f) {
        LensFlare->SetLightPosition(static_cast<int32_t>(screen.x), static_cast<int32_t>(screen.y));
        D3DXVECTOR3 toSun;
        D3DXVec3Normalize(&toSun, &sun);
        const D3DXVECTOR3 look = view->Target - view->Position;
        D3DXVECTOR3 direction;
        D3DXVec3Normalize(&direction, &look);
        LensFlare->SetLightVisible(D3DXVec3Dot(&toSun, &direction) >= 0.0f);
    } else {
        LensFlare->SetLightVisible(false);
    }
    LensFlare->Submit();
}
