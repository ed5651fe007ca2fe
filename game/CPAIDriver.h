// The driver of a computer car: from its AI_Vehicle record and the level's paths alone it
// decides throttle and steering once per frame. docs/AIDriver.md describes it whole.
//
// - Line: the centre path, or a lane between the centre and a border (the record's Lane),
//   followed by pure pursuit of a point a look-ahead distance ahead along the race direction
//   (along Prev, or Next when reversed); the look-ahead grows with speed.
// - Speed: within the band LowerLimit..UpperLimit (m/s, times Pace), slowed before the turns
//   that the headings of the pieces ahead show, early enough to brake down to them.
// - Traffic: a car ahead in the lane is passed on the side with room, and followed at its
//   speed while it is too close to pass.
// - Recovery: a car that does not make way though it drives reverses out with its wheels
//   turned the other way; after repeated failures, or facing the wrong way too long, it asks
//   for a respawn.
//
// The model's facts the driver relies on (docs/CarModel.md): only the throttle's sign
// drives, reverse throttle brakes a car rolling forwards, and the steering input weakens with
// speed. The brake lights are never used to slow down: the brake loosens the rear grip.
#pragma once

#include "platform/d3dx/D3DXMath.h"

#include <vector>

class AI_Vehicle;
class CPGameObject;
class CPLine;
class CPSpline;

// Another car as the driver sees it.
struct AIObstacle {
    const CPGameObject* Object = nullptr;  // identity only, never followed
    D3DXVECTOR3 Position;
    D3DXVECTOR3 Direction;  // forward axis
    float Speed = 0.0f;     // m/s
};

struct AIDriverOutput {
    float Throttle = 0.0f;  // -1, 0 or +1
    float Steering = 0.0f;  // the car's steering input, -0.7..0.7, positive turns right
    bool Respawn = false;   // put the car back on the track
};

class CPAIDriver {
public:
    // Band used when a limit is 0 or below, m/s.
    static constexpr float DefaultLower = 6.0f;
    static constexpr float DefaultUpper = 22.0f;
    // Sideways acceleration the driver allows in a turn and the deceleration it plans its
    // braking with, m/s².
    static constexpr float TurnAcceleration = 6.0f;
    static constexpr float BrakeDeceleration = 5.0f;
    // Look-ahead = LookAheadBase + LookAheadPerSpeed · speed, at most the record's
    // LookAheadMax, m.
    static constexpr float LookAheadBase = 6.0f;
    static constexpr float LookAheadPerSpeed = 0.6f;
    // The car's wheelbase as the driver assumes it, m; the model's steering limit (radians)
    // and its loss of steering with speed (per m/s, down to a tenth).
    static constexpr float Wheelbase = 2.8f;
    static constexpr float MaxSteer = 0.7f;
    static constexpr float SteerLossPerSpeed = 0.025f;
    // Half the road's width when a border path is missing, m; the share of the half width a
    // side lane keeps from the centre; how far from a border a passing car keeps, m.
    static constexpr float DefaultHalfWidth = 5.0f;
    static constexpr float LaneShare = 0.4f;
    static constexpr float BorderKeep = 1.8f;
    // Stuck: below StuckSpeed while driving for StuckTime, reverse for ReverseTime; after
    // MaxRecoveries reversals without making way, or WrongWayTime facing backwards, respawn.
    static constexpr float StuckSpeed = 1.0f;
    static constexpr int StuckTimeMs = 1500;
    static constexpr int ReverseTimeMs = 1500;
    static constexpr int MaxRecoveries = 3;
    static constexpr int WrongWayTimeMs = 10000;
    // A car ahead counts within this many metres across the lane, and this much more while it
    // is being passed; the driver keeps CarClearance metres (centre to centre) behind one it
    // follows, and keeps passing one until it is that far behind.
    static constexpr float CarWidthBand = 2.6f;
    static constexpr float PassingBand = 2.0f;
    static constexpr float CarClearance = 5.5f;
    // Pieces farther than this from the hint's search make the driver search the whole ring.
    static constexpr float LostDistance = 40.0f;

    // One frame of driving: updates the record's reserved fields and returns the controls.
    // A record without a centre path gives no throttle and no steering.
    static AIDriverOutput Drive(AI_Vehicle& car, const std::vector<AIObstacle>& others, float dt);

    // The piece of path nearest point (x and y), searched from hint (which becomes it); the
    // whole ring when the search from the hint finds nothing close. Null for an empty path.
    static CPLine* NearestLine(CPSpline& path, const D3DXVECTOR3& point, CPLine*& hint);
    // The point at distance ahead (m, along the race direction) from the projection of point
    // onto line; heading receives the race direction there (unit, x and y).
    static D3DXVECTOR3 PointAhead(const CPLine* line, const D3DXVECTOR3& point, float ahead, bool reversed,
                                  D3DXVECTOR2& heading);
    // The fastest speed at which the car can follow a turn of curvature (1/m).
    static float TurnSpeed(float curvature);
};
