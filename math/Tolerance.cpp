#include "math/Tolerance.h"

#include <cmath>

bool isNearZero(const float& value)
{
    return std::fabs(value) < nearZeroTolerance;
}

bool isNearlyEqual(const float& a, const float& b, float epsilon)
{
    return std::fabs(a - b) < epsilon;
}

bool isLessOrNearlyEqual(const float& a, const float& b, float epsilon)
{
    return isNearlyEqual(a, b, epsilon) || a < b;
}
