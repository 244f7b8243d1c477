#include "math/Matrix4.h"

#include <cmath>
#include <utility>

Matrix4 Matrix4::transpose()
{
    for (int r = 0; r < 4; ++r)
        for (int c = r + 1; c < 4; ++c) std::swap(m[r][c], m[c][r]);
    return *this;
}

// Row i of the product is the combination of the rows of other weighted by
// row i of this matrix, each element summed in the order
// m[i][0] * o[0][j] + m[i][1] * o[1][j] + m[i][2] * o[2][j] + m[i][3] * o[3][j].
// The four rows are written out one after another (not in a loop) so that the
// optimiser loads the rows of other once and makes each row of the result four
// SIMD products and three SIMD sums (GCC and Clang at -O2); the order of the
// sums, and so every bit of the result, stays as written.
Matrix4 Matrix4::operator*(const Matrix4& other) const
{
    Matrix4 result{Unset{}};
    const auto productRow = [&](int i) {
        for (int j = 0; j < 4; ++j)
            result.m[i][j] = m[i][0] * other.m[0][j] + m[i][1] * other.m[1][j] + m[i][2] * other.m[2][j] +
                             m[i][3] * other.m[3][j];
    };
    productRow(0);
    productRow(1);
    productRow(2);
    productRow(3);
    return result;
}

Matrix4 Matrix4::operator*=(const Matrix4& other)
{
    // The product is built in a temporary first, so other may be *this.
    const Matrix4 product = *this * other;
    *this = product;
    return *this;
}

Matrix4 Matrix4::translate(const Vector3& v)
{
    m[3][0] += v.x;
    m[3][1] += v.y;
    m[3][2] += v.z;
    return *this;
}

Matrix4 Matrix4::rotationX(float angle)
{
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    m[1][1] = c;
    m[1][2] = -s;
    m[2][1] = s;
    m[2][2] = c;
    return transpose();
}

Matrix4 Matrix4::rotationY(float angle)
{
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    m[0][0] = c;
    m[0][2] = -s;
    m[2][0] = s;
    m[2][2] = c;
    return transpose();
}

Matrix4& Matrix4::setRotation(const AxisAngle& rotation)
{
    AxisAngle r = rotation;
    r.normalize();
    const float x = r.x, y = r.y, z = r.z;
    const float c = std::cos(r.angle);
    const float s = std::sin(r.angle);
    const float t = 1.0f - c;

    m[0][0] = t * x * x + c;
    m[0][1] = t * x * y - z * s;
    m[0][2] = t * x * z + y * s;
    m[0][3] = 0.0f;

    m[1][0] = t * x * y + z * s;
    m[1][1] = t * y * y + c;
    m[1][2] = t * y * z - x * s;
    m[1][3] = 0.0f;

    m[2][0] = t * x * z - y * s;
    m[2][1] = t * y * z + x * s;
    m[2][2] = t * z * z + c;
    m[2][3] = 0.0f;

    m[3][0] = 0.0f;
    m[3][1] = 0.0f;
    m[3][2] = 0.0f;
    m[3][3] = 1.0f;
    return *this;
}

Matrix4 Matrix4::lookAt(const Vector3& eye, const Vector3& at, const Vector3& up)
{
    const Vector3 zAxis = normalize(at - eye);
    const Vector3 xAxis = normalize(cross(up, zAxis));
    const Vector3 yAxis = cross(zAxis, xAxis);

    m[0][0] = xAxis.x; m[0][1] = yAxis.x; m[0][2] = zAxis.x; m[0][3] = 0.0f;
    m[1][0] = xAxis.y; m[1][1] = yAxis.y; m[1][2] = zAxis.y; m[1][3] = 0.0f;
    m[2][0] = xAxis.z; m[2][1] = yAxis.z; m[2][2] = zAxis.z; m[2][3] = 0.0f;
    m[3][0] = -dot(xAxis, eye);
    m[3][1] = -dot(yAxis, eye);
    m[3][2] = -dot(zAxis, eye);
    m[3][3] = 1.0f;
    return *this;
}

Matrix4 Matrix4::perspectiveFov(float fovY, float aspect, float zNear, float zFar)
{
    const float yScale = 1.0f / std::tan(fovY * 0.5f);
    const float xScale = yScale / aspect;
    const float q = zFar / (zFar - zNear);

    m[0][0] = xScale; m[0][1] = 0.0f;   m[0][2] = 0.0f;        m[0][3] = 0.0f;
    m[1][0] = 0.0f;   m[1][1] = yScale; m[1][2] = 0.0f;        m[1][3] = 0.0f;
    m[2][0] = 0.0f;   m[2][1] = 0.0f;   m[2][2] = q;           m[2][3] = 1.0f;
    m[3][0] = 0.0f;   m[3][1] = 0.0f;   m[3][2] = -q * zNear;  m[3][3] = 0.0f;
    return *this;
}

Matrix4 Matrix4::orthographic(float width, float height, float zNear, float zFar)
{
    m[0][0] = 2.0f / width; m[0][1] = 0.0f;          m[0][2] = 0.0f;                    m[0][3] = 0.0f;
    m[1][0] = 0.0f;         m[1][1] = 2.0f / height; m[1][2] = 0.0f;                    m[1][3] = 0.0f;
    m[2][0] = 0.0f;         m[2][1] = 0.0f;          m[2][2] = 1.0f / (zFar - zNear);   m[2][3] = 0.0f;
    m[3][0] = 0.0f;         m[3][1] = 0.0f;          m[3][2] = zNear / (zNear - zFar);  m[3][3] = 1.0f;
    return *this;
}

Matrix4 Matrix4::copy() const
{
    return *this;
}
