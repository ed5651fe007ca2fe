// The lap tracker: how far the followed car and the first five computer cars have come along
// "c_path", counted in path points (the pieces in race direction, PathPoints), completed laps,
// the last-lap and lap messages, and the finishing slots the race update turns into a result.
//
// A step between two nearest points of 15 or more in either direction is read as crossing the
// start of the list. A car's first step only records its point (there is nothing to step
// from), and a car farther than about 316 units from every point makes no progress.
//
// The lap tests ask for most of a lap (all points but 20 for the player, 50 for a computer
// car) before the finish point counts; on a path of so few points that this would be nothing,
// at least one point of progress is asked, so a car standing on the finish point does not
// count a lap every update.
#include "game/CPLevel.h"

#include "core/CPCommandDispatcher.h"
#include "core/FrameTime.h"
#include "core/Singletons.h"
#include "game/CPLine.h"
#include "game/CPPlayer.h"
#include "interface/CPGameData.h"

#include <algorithm>
#include <string>

namespace {

constexpr float NearestStartSquared = 100000.0f;
constexpr int32_t WrapJump = 15;
constexpr int32_t PlayerLapMargin = 20;
constexpr int32_t ComputerLapMargin = 50;
constexpr int32_t StartLineProgress = 70;
constexpr float FinishLineReach = 2.0f;

// The signed number of points from last to now; a jump of WrapJump or more wraps.
int32_t PathStep(int32_t last, int32_t now, int32_t count) {
    const int32_t n = count - 1;
    int32_t d = now - last;
    if (d <= -WrapJump) {
        d += n;
    }
    if (d >= WrapJump) {
        d -= n;
    }
    return d;
}

// Points of progress a lap asks before the finish point counts.
int32_t LapThreshold(int32_t count, int32_t margin) { return std::max(count - margin, 1); }

void SendInterfaceMessage(const char* text) { SendCommandByName("game_interface", "show_message", text); }

// LapTimes[round - 1], appended when the vector is shorter.
float& LapTime(CPGameData& game, int32_t round) {
    if (game.LapTimes.size() < static_cast<size_t>(round)) {
        game.LapTimes.resize(static_cast<size_t>(round), 0.0f);
    }
    return game.LapTimes[static_cast<size_t>(round - 1)];
}

}  // namespace

int32_t CPLevel::FindNearestPathPoint(const D3DXVECTOR3& position) const {
    float best = NearestStartSquared;
    int32_t found = -1;
    for (size_t i = 0; i < PathPoints.size(); ++i) {
        const CPLine* point = PathPoints[i];
        if (point == nullptr) {
            continue;
        }
        const float dx = point->Centre.x - position.x;
        const float dy = point->Centre.y - position.y;
        const float d2 = dx * dx + dy * dy;
        if (d2 <= best) {
            best = d2;
            found = static_cast<int32_t>(i);
        }
    }
    return found;
}

void CPLevel::EnterFinishSlot(int32_t id) {
    if (std::find(FinishSlots.begin(), FinishSlots.end(), id) != FinishSlots.end()) {
        return;
    }
    for (int32_t& slot : FinishSlots) {
        if (slot == -1) {
            slot = id;
            return;
        }
    }
}

void CPLevel::Step() {
    UpdateLapProgress();
    CPGameData* game = CPGameData::Instance;
    if (!RaceStarted || game == nullptr || game->CurrentRound < 1) {
        return;
    }
    LapTime(*game, game->CurrentRound) += FrameTime;
    game->RaceTimer += FrameTime;
}

void CPLevel::UpdateLapProgress() {
    CPGameData* game = CPGameData::Instance;
    if (game == nullptr || PathPoints.empty()) {
        return;
    }
    const auto count = static_cast<int32_t>(PathPoints.size());

    // The followed car.
    const int32_t p = FollowedCar != nullptr ? FindNearestPathPoint(FollowedCar->GetPosition()) : -1;
    bool playerDone = p == -1;
    if (!playerDone && (!PlayerPointKnown || PlayerLastPoint < 0 || PlayerLastPoint >= count)) {
        PlayerLastPoint = p;
        PlayerPointKnown = true;
    } else if (!playerDone && p != PlayerLastPoint) {
        const int32_t d = PathStep(PlayerLastPoint, p, count);
        PlayerLapProgress += d;
        game->PlayerProgress += d;
        PlayerLastPoint = p;
    }
    if (!playerDone && PlayerLapProgress >= LapThreshold(count, PlayerLapMargin)) {
        if (p != FinishPoint) {
            playerDone = true;
        } else {
            // Distance of the car from the line through the start posts, on the ground.
            const D3DXVECTOR3& car = FollowedCar->GetPosition();
            D3DXVECTOR3 toLine(FinishPosition.x - car.x, FinishPosition.y - car.y, 0.0f);
            D3DXVECTOR3 along(FinishDirection.x, FinishDirection.y, 0.0f);
            D3DXVec3Normalize(&along, &along);
            D3DXVECTOR3 cross;
            D3DXVec3Cross(&cross, &toLine, &along);
            if (D3DXVec3Length(&cross) <= FinishLineReach && game->CurrentRound >= 1) {
                game->CurrentRound += 1;
                LapTime(*game, game->CurrentRound) = 0.0f;
                PlayerLapProgress = 0;
                game->PlayerProgress = (count - 1) * (game->CurrentRound - 1);
                if (game->Rounds < game->CurrentRound) {
                    EnterFinishSlot(PlayerSlotId);
                } else if (game->Rounds == game->CurrentRound) {
                    SendInterfaceMessage("posledniy_krug!");
                } else {
                    SendInterfaceMessage("krug_proiden!");
                }
            }
        }
    }
    // Moving about the start line before the first lap counts nothing.
    if (!playerDone && p == FinishPoint && PlayerLapProgress < StartLineProgress && game->CurrentRound == 1) {
        game->PlayerProgress = 0;
    }

    // The first five computer cars; a car of the player's side is skipped and takes no slot.
    size_t k = 0;
    const size_t tracked = std::min(Cars.size(), static_cast<size_t>(OpponentCount));
    const size_t slots = std::min({TrackedCars, AiLastPoint.size(), AiLapProgress.size()});
    for (size_t i = 0; i < tracked && k < slots; ++i) {
        CPPlayer* car = Cars[i].Get();
        if (car == nullptr || (car->GetSideFlags() & CPPlayer::SidePlayer) != 0) {
            continue;
        }
        const size_t slot = k++;
        const int32_t point = FindNearestPathPoint(car->GetPosition());
        if (point == -1) {
            continue;
        }
        const std::string key = std::to_string(i);
        int32_t& last = AiLastPoint[slot];
        if (!AiPointKnown[slot] || last < 0 || last >= count) {
            last = point;
            AiPointKnown[slot] = true;
        } else if (point != last) {
            const int32_t d = PathStep(last, point, count);
            AiLapProgress[slot] += d;
            game->LapRecords[key].Progress += d;
            last = point;
        }
        if (point != FinishPoint) {
            continue;
        }
        if (AiLapProgress[slot] >= LapThreshold(count, ComputerLapMargin)) {
            auto found = game->LapRecords.find(key);
            if (found != game->LapRecords.end()) {
                LapRecord& record = found->second;
                record.Round += 1;
                record.Progress = (count - 1) * (record.Round - 1);
                if (record.Round > game->Rounds) {
                    EnterFinishSlot(static_cast<int32_t>(i));
                }
            }
            AiLapProgress[slot] = 0;
        }
        LapRecord& record = game->LapRecords[key];
        if (record.Round == 1 && record.Progress < StartLineProgress) {
            record.Progress = 0;
        }
    }
}
