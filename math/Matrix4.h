#pragma once

#include "math/AxisAngle.h"
#include "math/Vector3.h"

// A 4 x 4 float matrix, row-major, in the row-vector convention (p' = p * M,
// translation in row 3): the memory layout of D3DMATRIX. Every operation but
// operator* and copy changes the matrix itself.
class Matrix4 {
public:
    // The identity. Inline, so that a product or copy that overwrites it
    // costs nothing for it.
    Matrix4() : m{{1.0f, 0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f}}
    {
    }

    // Transposes in place; returns a copy of the new contents.
    Matrix4 transpose();
    // this * other; neither operand changes.
    Matrix4 operator*(const Matrix4& other) const;
    // Becomes this * other (other may be this matrix itself).
    Matrix4 operator*=(const Matrix4& other);
    // Adds v to the translation row.
    Matrix4 translate(const Vector3& v);
    // Write four entries of a rotation, then transpose the whole matrix.
    Matrix4 rotationX(float angle);
    Matrix4 rotationY(float angle);
    // Replaces the whole matrix with the rotation (translation lost).
    Matrix4& setRotation(const AxisAngle& rotation);
    // Left-handed view matrix looking from eye at at.
    Matrix4 lookAt(const Vector3& eye, const Vector3& at, const Vector3& up);
    // Left-handed perspective projection, fovY in radians, depth 0..1.
    Matrix4 perspectiveFov(float fovY, float aspect, float zNear, float zFar);
    // Centred orthographic projection, depth zNear..zFar to 0..1.
    Matrix4 orthographic(float width, float height, float zNear, float zFar);
    Matrix4 copy() const;

    float& at(int row, int column) { return m[row][column]; }
    const float& at(int row, int column) const { return m[row][column]; }
    // The sixteen floats, row by row (four shader registers once transposed).
    const float* data() const { return &m[0][0]; }

    float m[4][4];

private:
    // Leaves the elements unset, for results that overwrite all of them.
    struct Unset {};
    explicit Matrix4(Unset) {}
};
