#pragma once

// A three-float vector: x, y, z and nothing else.
class Vector3 {
public:
    Vector3() : x(0.0f), y(0.0f), z(0.0f) {}
    Vector3(float x, float y, float z) : x(x), y(y), z(z) {}

    Vector3 operator-(const Vector3& other) const;

    // Scales the vector in place to unit length (no test for zero length:
    // a zero vector becomes not-a-number).
    Vector3& normalize();

    float x;
    float y;
    float z;
};

// Unit-length copy of v; v is unchanged.
Vector3 normalize(const Vector3& v);
float dot(const Vector3& a, const Vector3& b);
Vector3 cross(const Vector3& a, const Vector3& b);
