// The computer car's driver: line, speed, traffic and recovery (see CPAIDriver.h).
#include "game/CPAIDriver.h"

#include "game/CPAIManager.h"
#include "game/CPLine.h"
#include "game/CPSpline.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr float Pi = 3.14159265358979f;

D3DXVECTOR2 Flat(const D3DXVECTOR3& v) { return D3DXVECTOR2(v.x, v.y); }

float Dot(const D3DXVECTOR2& a, const D3DXVECTOR2& b) { return a.x * b.x + a.y * b.y; }

// z of a × b: positive when b lies to the left of a (counter-clockwise).
float Cross(const D3DXVECTOR2& a, const D3DXVECTOR2& b) { return a.x * b.y - a.y * b.x; }

float Length(const D3DXVECTOR2& v) { return std::sqrt(Dot(v, v)); }

D3DXVECTOR2 Unit(const D3DXVECTOR2& v) {
    const float length = Length(v);
    return length > 0.0f ? D3DXVECTOR2(v.x / length, v.y / length) : D3DXVECTOR2(0.0f, 0.0f);
}

float PieceLength(const CPLine* line) { return std::max(Length(Flat(line->End - line->Start)), 1e-3f); }

// The race direction along a piece: from End back to Start, or the other way when reversed.
D3DXVECTOR2 RaceDirection(const CPLine* line, bool reversed) {
    const D3DXVECTOR2 d = Unit(Flat(line->Start - line->End));
    return reversed ? -d : d;
}

// The parameter of point's projection on the piece, 0 at Start, 1 at End.
float Project(const CPLine* line, const D3DXVECTOR3& point) {
    const D3DXVECTOR2 d = Flat(line->End - line->Start);
    const float length2 = Dot(d, d);
    if (!(length2 > 0.0f)) {
        return 0.0f;
    }
    return std::clamp(Dot(Flat(point - line->Start), d) / length2, 0.0f, 1.0f);
}

D3DXVECTOR3 PointOn(const CPLine* line, float t) { return line->Start + (line->End - line->Start) * t; }

const CPLine* NextInRace(const CPLine* line, bool reversed) { return reversed ? line->Next : line->Prev; }

int Milliseconds(float seconds) {
    return std::isfinite(seconds) && seconds > 0.0f ? static_cast<int>(std::lround(std::min(seconds, 10.0f) * 1000.0f)) : 0;
}

// Room from point C to the border path on its left and on its right (m, along the left
// normal of heading); a missing border leaves the default.
void MeasureRoad(AI_Vehicle& car, const D3DXVECTOR3& centre, const D3DXVECTOR2& heading, float& left, float& right) {
    left = CPAIDriver::DefaultHalfWidth;
    right = CPAIDriver::DefaultHalfWidth;
    bool haveLeft = false;
    bool haveRight = false;
    const std::pair<CPSpline*, CPLine**> borders[] = {{car.LeftPath, &car.LeftLine}, {car.RightPath, &car.RightLine}};
    for (const auto& [path, hint] : borders) {
        if (path == nullptr || path->Lines.empty()) {
            continue;
        }
        const CPLine* line = CPAIDriver::NearestLine(*path, centre, *hint);
        if (line == nullptr) {
            continue;
        }
        const float side = Cross(heading, Flat(PointOn(line, Project(line, centre)) - centre));
        if (side >= 0.0f) {
            left = haveLeft ? std::min(left, side) : side;
            haveLeft = true;
        } else {
            right = haveRight ? std::min(right, -side) : -side;
            haveRight = true;
        }
    }
}

// The slowest speed the turns ahead allow now: every turn within braking reach, with room to
// brake down to its own speed.
float PlanSpeed(const CPLine* nearest, float along, bool reversed, float lowest, float highest) {
    const float reach = highest * highest / (2.0f * CPAIDriver::BrakeDeceleration) + 20.0f;
    float allowed = highest;
    // along is what is left of the current piece in race direction; the loop adds whole pieces.
    float distance = along - PieceLength(nearest);
    const CPLine* line = nearest;
    for (int i = 0; i < 400 && distance < reach; ++i) {
        const CPLine* next = NextInRace(line, reversed);
        const CPLine* after = NextInRace(next, reversed);
        // The turn spans line, next and after: it counts from line's start on.
        const float room = std::max(distance, 0.0f);
        distance += PieceLength(line);
        // The turn over two joints, against the length it takes.
        const D3DXVECTOR2 a = RaceDirection(line, reversed);
        const D3DXVECTOR2 b = RaceDirection(next, reversed);
        const D3DXVECTOR2 c = RaceDirection(after, reversed);
        const float turn = std::fabs(std::atan2(Cross(a, b), Dot(a, b)) + std::atan2(Cross(b, c), Dot(b, c)));
        const float curvature = turn / (0.5f * PieceLength(line) + PieceLength(next) + 0.5f * PieceLength(after));
        const float corner = std::clamp(CPAIDriver::TurnSpeed(curvature), lowest, highest);
        allowed = std::min(allowed, std::sqrt(corner * corner + 2.0f * CPAIDriver::BrakeDeceleration * room));
        line = next;
    }
    return allowed;
}

}  // namespace

float CPAIDriver::TurnSpeed(float curvature) {
    if (!(curvature > 1e-4f)) {
        return std::numeric_limits<float>::max();
    }
    const float grip = std::sqrt(TurnAcceleration / curvature);
    // The wheels must reach the turn's angle with a fifth in reserve, though the model's
    // steering weakens by SteerLossPerSpeed per m/s.
    const float angle = std::atan(curvature * Wheelbase) / (0.8f * MaxSteer);
    const float steer = angle < 1.0f ? (1.0f - angle) / SteerLossPerSpeed : 0.0f;
    return std::min(grip, steer);
}

CPLine* CPAIDriver::NearestLine(CPSpline& path, const D3DXVECTOR3& point, CPLine*& hint) {
    if (path.Lines.empty()) {
        return nullptr;
    }
    if (hint == nullptr) {
        hint = path.CurrentLine != nullptr ? path.CurrentLine : path.FirstLine;
    }
    float radius = 20.0f;
    path.FindNearestLine(point, radius, 0, hint, -1);
    const auto far = [&point](const CPLine* line) {
        return line == nullptr || Length(Flat(line->Centre - point)) > LostDistance;
    };
    if (far(hint)) {
        // Lost (a respawn, a first search from the start piece): the whole ring.
        float best = std::numeric_limits<float>::max();
        for (const std::unique_ptr<CPLine>& line : path.Lines) {
            const D3DXVECTOR2 d = Flat(PointOn(line.get(), Project(line.get(), point)) - point);
            if (Dot(d, d) < best && line->Next != nullptr && line->Prev != nullptr) {
                best = Dot(d, d);
                hint = line.get();
            }
        }
    }
    return hint;
}

D3DXVECTOR3 CPAIDriver::PointAhead(const CPLine* line, const D3DXVECTOR3& point, float ahead, bool reversed,
                                   D3DXVECTOR2& heading) {
    float t = Project(line, point);
    // Distance left on this piece in race direction.
    float left = (reversed ? 1.0f - t : t) * PieceLength(line);
    for (int i = 0; i < 10000 && ahead > left; ++i) {
        ahead -= left;
        line = NextInRace(line, reversed);
        t = reversed ? 0.0f : 1.0f;
        left = PieceLength(line);
    }
    const float step = ahead / PieceLength(line);
    t = reversed ? t + step : t - step;
    heading = RaceDirection(line, reversed);
    return PointOn(line, std::clamp(t, 0.0f, 1.0f));
}

AIDriverOutput CPAIDriver::Drive(AI_Vehicle& car, const std::vector<AIObstacle>& others, float dt) {
    AIDriverOutput out;
    car.Active = true;
    if (car.CentrePath == nullptr) {
        return out;
    }
    const CPLine* nearest = NearestLine(*car.CentrePath, car.Position, car.CentreLine);
    if (nearest == nullptr) {
        return out;
    }
    const bool reversed = car.Reversed;
    const int ms = Milliseconds(dt);
    const float v = car.Speed;
    const D3DXVECTOR2 position = Flat(car.Position);
    const D3DXVECTOR2 forward = Unit(Flat(car.Direction));

    // Where the car is on the road.
    const D3DXVECTOR3 onPath = PointOn(nearest, Project(nearest, car.Position));
    const D3DXVECTOR2 pathHeading = RaceDirection(nearest, reversed);
    const float offset = Cross(pathHeading, position - Flat(onPath));  // left of the centre, m
    const float along = (reversed ? 1.0f - Project(nearest, car.Position) : Project(nearest, car.Position)) *
                        PieceLength(nearest);

    // The speed band.
    const float pace = std::isfinite(car.Pace) && car.Pace > 0.0f ? car.Pace : 1.0f;
    const float highest = pace * (car.UpperLimit > 0 ? static_cast<float>(car.UpperLimit) : DefaultUpper);
    const float lowest = std::min(pace * (car.LowerLimit > 0 ? static_cast<float>(car.LowerLimit) : DefaultLower), highest);
    float target = PlanSpeed(nearest, along, reversed, lowest, highest);

    // Traffic: the nearest car ahead within the lane's band; while passing, the band widens and
    // a car stays in view until the car's tail has cleared it.
    const bool passing = car.AvoidSide != 0;
    const float band = passing ? CarWidthBand + PassingBand : CarWidthBand;
    const float behind = passing ? -CarClearance : 0.0f;
    const AIObstacle* blocker = nullptr;
    float blockerAhead = 0.0f;
    float blockerSide = 0.0f;
    const float range = 8.0f + 1.2f * v;
    for (const AIObstacle& other : others) {
        if (other.Object != nullptr && other.Object == car.Car.Get()) {
            continue;
        }
        // Measured along the road here, not along the car's axis, which may point aside.
        const D3DXVECTOR2 rel = Flat(other.Position) - position;
        const float front = Dot(rel, pathHeading);
        const float side = Cross(pathHeading, rel);
        if (front <= behind || front >= range || std::fabs(side) >= band) {
            continue;
        }
        if (blocker == nullptr || std::fabs(front) < std::fabs(blockerAhead)) {
            blocker = &other;
            blockerAhead = front;
            blockerSide = side;
        }
    }

    // The look-ahead point on the centre line and the road's room there; shorter while passing,
    // so the car moves aside in time.
    const float maxAhead = std::isfinite(car.LookAheadMax) && car.LookAheadMax > LookAheadBase ? car.LookAheadMax : 30.0f;
    float ahead = std::min(LookAheadBase + LookAheadPerSpeed * v, maxAhead);
    if (blocker != nullptr) {
        ahead = std::max(LookAheadBase, 0.5f * ahead);
    }
    D3DXVECTOR2 aimHeading;
    const D3DXVECTOR3 centre = PointAhead(nearest, car.Position, ahead, reversed, aimHeading);
    float roomLeft = 0.0f;
    float roomRight = 0.0f;
    MeasureRoad(car, centre, aimHeading, roomLeft, roomRight);
    const float maxLeft = std::max(roomLeft - BorderKeep, 0.0f);
    const float maxRight = std::max(roomRight - BorderKeep, 0.0f);
    float lane = 0.0f;  // left of the centre, m
    if (car.Lane == AI_Vehicle::SlotLeft) {
        lane = LaneShare * roomLeft;
    } else if (car.Lane == AI_Vehicle::SlotRight) {
        lane = -LaneShare * roomRight;
    }

    car.Avoiding = blocker != nullptr;
    car.Blocked = false;
    if (blocker != nullptr) {
        // Where it is across the road, left of the centre.
        const float across = offset + blockerSide;
        if (car.AvoidSide == 0) {
            // Pass on the side away from it, unless the road has no room there.
            car.AvoidSide = across > offset ? -1 : 1;
            const float room = car.AvoidSide > 0 ? maxLeft - across : maxRight + across;
            if (room < CarWidthBand) {
                car.AvoidSide = -car.AvoidSide;
            }
        }
        lane = across + static_cast<float>(car.AvoidSide) * (CarWidthBand + 0.6f);
        // Still in the way: no faster than lets the car stop behind it.
        if (blockerAhead > 0.0f && std::fabs(blockerSide) < CarWidthBand) {
            const float otherSpeed = blocker->Speed * Dot(Unit(Flat(blocker->Direction)), pathHeading);
            const float room = std::max(blockerAhead - CarClearance, 0.0f);
            target = std::min(target, std::max(otherSpeed, 0.0f) + std::sqrt(2.0f * BrakeDeceleration * room));
            car.Blocked = blockerAhead < 7.0f + 0.5f * v;
        }
    } else {
        car.AvoidSide = 0;
    }
    lane = std::clamp(lane, -maxRight, maxLeft);
    const D3DXVECTOR2 aimLeft(-aimHeading.y, aimHeading.x);
    const D3DXVECTOR2 aim = Flat(centre) + aimLeft * lane;

    // Pure pursuit of the aim point: the arc through it tangent to the car's axis.
    const D3DXVECTOR2 toAim = aim - position;
    const float distance = std::max(Length(toAim), 1.0f);
    const float alpha = std::atan2(Cross(forward, toAim), Dot(forward, toAim));  // left positive
    float wheel;
    if (std::fabs(alpha) < 0.5f * Pi) {
        wheel = std::atan(2.0f * std::sin(alpha) / distance * Wheelbase);
    } else {
        // The aim is behind: turn round on full lock, towards the side of the road with the
        // more room (a turn carries the car sideways by its diameter), chosen once per turn.
        if (car.Recovery == AI_Vehicle::Driving) {
            const D3DXVECTOR2 carLeft(-forward.y, forward.x);
            const D3DXVECTOR2 pathLeft(-pathHeading.y, pathHeading.x);
            const bool leftIsPathLeft = Dot(carLeft, pathLeft) > 0.0f;
            car.Recovery = leftIsPathLeft == (offset < 0.0f) ? AI_Vehicle::TurningLeft : AI_Vehicle::TurningRight;
        }
        wheel = car.Recovery == AI_Vehicle::TurningLeft ? MaxSteer : -MaxSteer;
    }
    if (std::fabs(alpha) < 0.5f * Pi && car.Recovery != AI_Vehicle::Reversing) {
        car.Recovery = AI_Vehicle::Driving;
    }
    // A sharp aim (turned round, far off the line) is taken slowly.
    if (std::fabs(alpha) > 1.0f) {
        target = std::min(target, 0.4f * lowest);
    }
    const float keep = 1.0f - std::min(SteerLossPerSpeed * v, 0.9f);
    const float steering = std::clamp(-wheel / keep, -MaxSteer, MaxSteer);  // positive turns right

    // Facing against the race direction for long: put back on the track.
    car.WrongWayMs = Dot(forward, pathHeading) < -0.3f ? car.WrongWayMs + ms : 0;

    if (car.Recovery == AI_Vehicle::Reversing) {
        car.RecoveryMs += ms;
        // Back out with the wheels turned the other way, so the nose swings towards the aim.
        out.Throttle = v < 4.0f ? -1.0f : 0.0f;
        out.Steering = alpha > 0.0f ? MaxSteer : -MaxSteer;
        if (car.RecoveryMs >= ReverseTimeMs) {
            car.Recovery = AI_Vehicle::Driving;
            car.RecoveryMs = 0;
            car.StuckMs = 0;
        }
    } else {
        out.Steering = steering;
        if (v < target - 0.5f) {
            out.Throttle = 1.0f;
        } else if (v > target + 0.5f) {
            out.Throttle = -1.0f;  // reverse drive brakes a car rolling forwards
        }
        if (v > 5.0f) {
            car.Recoveries = 0;
        }
        // Held up behind a car that does not move counts as stuck too: back out and go round.
        if ((out.Throttle > 0.0f || car.Blocked) && v < StuckSpeed) {
            car.StuckMs += ms;
        } else if (v > 3.0f * StuckSpeed) {
            car.StuckMs = 0;
        }
        if (car.StuckMs >= StuckTimeMs) {
            car.StuckMs = 0;
            if (++car.Recoveries > MaxRecoveries) {
                out.Respawn = true;
            } else {
                car.Recovery = AI_Vehicle::Reversing;
                car.RecoveryMs = 0;
                out.Throttle = -1.0f;
                out.Steering = alpha > 0.0f ? MaxSteer : -MaxSteer;
            }
        }
    }
    if (car.WrongWayMs >= WrongWayTimeMs) {
        out.Respawn = true;
    }
    if (out.Respawn) {
        ++car.Respawns;
        car.Recoveries = 0;
        car.Recovery = AI_Vehicle::Driving;
        car.RecoveryMs = 0;
        car.StuckMs = 0;
        car.WrongWayMs = 0;
    }
    car.Braking = car.Recovery != AI_Vehicle::Reversing && out.Throttle < 0.0f;
    car.ThrottleSign = out.Throttle > 0.0f ? 1 : (out.Throttle < 0.0f ? -1 : 0);
    return out;
}
