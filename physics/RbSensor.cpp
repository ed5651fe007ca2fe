// Line sensors.
#include "physics/RbSensor.h"

void RbSensor::SetLine(const RbVector& start, const RbVector& vector) {
    Start = start;
    Vector = vector;
    Length = RbLength(vector);
    Direction = RbNormalize(vector);
}
