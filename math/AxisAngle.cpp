#include "math/AxisAngle.h"

#include <cmath>

AxisAngle::AxisAngle(const Vector3& axis, float angle) : x(axis.x), y(axis.y), z(axis.z), angle(angle)
{
    normalize();
}

void AxisAngle::normalize()
{
    float length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0f) length = 1.0f;
    const float reciprocal = 1.0f / length;
    x *= reciprocal;
    y *= reciprocal;
    z *= reciprocal;
    angle *= reciprocal;
}
