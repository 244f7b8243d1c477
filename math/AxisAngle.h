#pragma once

#include "math/Vector3.h"

// A rotation axis and an angle in radians, normalised on construction: the
// axis is divided by its length and the angle by the same length. A zero axis
// is left as it is, with its angle unchanged.
class AxisAngle {
public:
    AxisAngle(const Vector3& axis, float angle);

    void normalize();

    float x;
    float y;
    float z;
    float angle;
};
