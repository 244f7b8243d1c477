#include "math/Vector3.h"

#include <cmath>

Vector3 Vector3::operator-(const Vector3& other) const
{
    return Vector3(x - other.x, y - other.y, z - other.z);
}

Vector3& Vector3::normalize()
{
    const float length = std::sqrt(x * x + y * y + z * z);
    const float reciprocal = 1.0f / length;
    x *= reciprocal;
    y *= reciprocal;
    z *= reciprocal;
    return *this;
}

Vector3 normalize(const Vector3& v)
{
    Vector3 copy = v;
    copy.normalize();
    return copy;
}

float dot(const Vector3& a, const Vector3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vector3 cross(const Vector3& a, const Vector3& b)
{
    return Vector3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}
