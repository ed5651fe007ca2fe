// A line probe of a body (a wheel's suspension ray). The line is in body space; the step
// fills the detection results (depth 0 means no contact; normal and point in world space).
#pragma once

#include "physics/RbMath.h"

class RbSensor {
public:
    // Stores the line; the direction is the unit vector (zero, with length 0, for a line
    // shorter than 1e-3).
    void SetLine(const RbVector& start, const RbVector& vector);
    const RbVector& GetLinePosition() const { return Start; }
    const RbVector& GetLineDirection() const { return Direction; }
    float GetLineLength() const { return Length; }
    float GetDetectDepth() const { return Depth; }
    const RbVector& GetDetectNormal() const { return Normal; }
    const RbVector& GetDetectContactPoint() const { return ContactPoint; }

    RbVector Start;
    RbVector Vector;
    RbVector Direction;
    float Length = 0.0f;
    // Results of the last detection, written by the step.
    RbVector Normal;
    RbVector ContactPoint;
    float Depth = 0.0f;
    // The line in world space, set by the step for the slice it casts in.
    RbVector WorldOrigin;
    RbVector WorldDirection;
    // Next sensor of the owning body; null at the end.
    RbSensor* Next = nullptr;
};
