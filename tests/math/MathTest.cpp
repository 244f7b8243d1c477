// Vector, matrix, axis-angle and tolerance behaviour the scene and the
// overlay depend on.
#include <gtest/gtest.h>

#include "math/AxisAngle.h"
#include "math/Matrix4.h"
#include "math/Tolerance.h"
#include "math/Vector3.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

namespace {

constexpr float kTol = 1e-5f;

void expectMatrix(const Matrix4& m, const float (&expected)[4][4], float tol = kTol)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(m.m[r][c], expected[r][c], tol) << "element [" << r << "][" << c << "]";
}

bool isIdentity(const Matrix4& m)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (m.m[r][c] != (r == c ? 1.0f : 0.0f)) return false;
    return true;
}

Matrix4 sample()
{
    Matrix4 m;
    float v = 1.0f;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m.m[r][c] = v++;
    return m;
}

}  // namespace

TEST(MathLayout, TypesArePlainValuesWithTheDirect3DLayout)
{
    static_assert(sizeof(Vector3) == 12);
    static_assert(sizeof(Matrix4) == 64);
    static_assert(sizeof(AxisAngle) == 16);
    static_assert(std::is_trivially_copyable_v<Matrix4>);
    Matrix4 m = sample();
    // Element [r][c] is float 4r + c.
    EXPECT_EQ(m.data()[4 * 3 + 1], m.m[3][1]);
    EXPECT_EQ(Vector3().x, 0.0f);
    EXPECT_EQ(Vector3().z, 0.0f);
    EXPECT_TRUE(isIdentity(Matrix4()));
}

TEST(Vector3Ops, SubtractDotCrossAndNormalize)
{
    const Vector3 a(1, 2, 3), b(4, 6, 8);
    const Vector3 d = b - a;
    EXPECT_EQ(d.x, 3.0f);
    EXPECT_EQ(d.y, 4.0f);
    EXPECT_EQ(d.z, 5.0f);
    EXPECT_EQ(a.x, 1.0f);  // operands unchanged
    EXPECT_EQ(dot(a, b), 4.0f + 12.0f + 24.0f);
    const Vector3 x(1, 0, 0), y(0, 1, 0);
    const Vector3 z = cross(x, y);
    EXPECT_EQ(z.x, 0.0f);
    EXPECT_EQ(z.y, 0.0f);
    EXPECT_EQ(z.z, 1.0f);
    const Vector3 c = cross(y, x);  // order matters
    EXPECT_EQ(c.z, -1.0f);

    Vector3 v(3, 0, 4);
    const Vector3 copy = normalize(v);
    EXPECT_EQ(v.x, 3.0f);  // the free function leaves its argument alone
    EXPECT_NEAR(copy.x, 0.6f, kTol);
    EXPECT_NEAR(copy.z, 0.8f, kTol);
    v.normalize();
    EXPECT_NEAR(v.x, 0.6f, kTol);
    EXPECT_NEAR(std::sqrt(dot(v, v)), 1.0f, kTol);
}

TEST(Vector3Ops, NormalizingZeroGivesNotANumberWithoutComplaint)
{
    Vector3 zero;
    zero.normalize();
    EXPECT_TRUE(std::isnan(zero.x) || std::isinf(zero.x));
}

TEST(Matrix4Ops, TransposeInPlaceAndTwiceGivesBack)
{
    Matrix4 m = sample();
    const Matrix4 original = m;
    const Matrix4 returned = m.transpose();
    EXPECT_EQ(m.m[0][1], original.m[1][0]);
    EXPECT_EQ(m.m[3][0], original.m[0][3]);
    EXPECT_EQ(std::memcmp(&returned, &m, sizeof m), 0);
    m.transpose();
    EXPECT_EQ(std::memcmp(&original, &m, sizeof m), 0);
}

TEST(Matrix4Ops, ProductIsRowTimesColumnAndSelfSquareWorks)
{
    Matrix4 a = sample();
    Matrix4 b;
    b.translate(Vector3(10, 20, 30));
    const Matrix4 a0 = a, b0 = b;
    const Matrix4 p = a * b;
    // Operands unchanged.
    EXPECT_EQ(std::memcmp(&a, &a0, sizeof a), 0);
    EXPECT_EQ(std::memcmp(&b, &b0, sizeof b), 0);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float expected = 0;
            for (int k = 0; k < 4; ++k) expected += a.m[i][k] * b.m[k][j];
            EXPECT_FLOAT_EQ(p.m[i][j], expected);
        }
    // Row vectors: a point times (translate then scale) applies translate first.
    Matrix4 square = sample();
    const Matrix4 expectedSquare = square * square;
    square *= square;
    EXPECT_EQ(std::memcmp(&square, &expectedSquare, sizeof square), 0);
}

TEST(Matrix4Ops, TranslateAddsToRowThreeOnly)
{
    Matrix4 m;
    m.translate(Vector3(-200, 350, 0));
    const float once[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {-200, 350, 0, 1}};
    expectMatrix(m, once, 0);
    m.translate(Vector3(1, 1, 1));
    const float twice[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {-199, 351, 1, 1}};
    expectMatrix(m, twice, 0);
}

TEST(Matrix4Ops, RotationXAndYAreTransposedAsWritten)
{
    const float a = 0.3f, c = std::cos(a), s = std::sin(a);
    Matrix4 x;
    x.rotationX(a);
    const float ex[4][4] = {{1, 0, 0, 0}, {0, c, s, 0}, {0, -s, c, 0}, {0, 0, 0, 1}};
    expectMatrix(x, ex);
    Matrix4 y;
    y.rotationY(a);
    const float ey[4][4] = {{c, 0, s, 0}, {0, 1, 0, 0}, {-s, 0, c, 0}, {0, 0, 0, 1}};
    expectMatrix(y, ey);
    // rotationY maps (1, 0, 0) to (cos a, 0, sin a): +x turns toward +z.
    EXPECT_NEAR(y.m[0][0], c, kTol);
    EXPECT_NEAR(y.m[0][2], s, kTol);
    // rotationX turns +y toward +z.
    EXPECT_NEAR(x.m[1][2], s, kTol);

    Matrix4 zero;
    zero.rotationX(0.0f);
    EXPECT_TRUE(isIdentity(zero));
    zero.rotationY(0.0f);
    EXPECT_TRUE(isIdentity(zero));
}

TEST(Matrix4Ops, RotationOnATranslatedMatrixMovesTheTranslationToColumnThree)
{
    Matrix4 m;
    m.translate(Vector3(5, 6, 7));
    m.rotationX(1.0f);
    EXPECT_EQ(m.m[0][3], 5.0f);
    EXPECT_EQ(m.m[1][3], 6.0f);
    EXPECT_EQ(m.m[2][3], 7.0f);
    EXPECT_EQ(m.m[3][0], 0.0f);
    EXPECT_EQ(m.m[3][1], 0.0f);
    EXPECT_EQ(m.m[3][2], 0.0f);
}

TEST(AxisAngleOps, NormalisesAxisAndAngleTogether)
{
    const AxisAngle r(Vector3(0, 2, 0), 1.0f);
    EXPECT_FLOAT_EQ(r.x, 0.0f);
    EXPECT_FLOAT_EQ(r.y, 1.0f);
    EXPECT_FLOAT_EQ(r.z, 0.0f);
    EXPECT_FLOAT_EQ(r.angle, 0.5f);
    AxisAngle again = r;
    again.normalize();  // idempotent on a unit axis
    EXPECT_FLOAT_EQ(again.angle, 0.5f);

    const AxisAngle zero(Vector3(0, 0, 0), 45.0f);
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.angle, 45.0f);

    // The rack's widest case: axis (0.1, 0, 0) turns by 450 radians.
    const AxisAngle small(Vector3(0.1f, 0, 0), 45.0f);
    EXPECT_NEAR(small.angle, 450.0f, 1e-3f);
}

TEST(Matrix4Ops, SetRotationReplacesEverythingIncludingTranslation)
{
    Matrix4 m;
    m.translate(Vector3(1, 2, 3));
    m.setRotation(AxisAngle(Vector3(0, 1, 0), 0.7f));
    Matrix4 y;
    y.rotationY(0.7f);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(m.m[r][c], y.m[r][c], kTol);
    EXPECT_EQ(m.m[3][0], 0.0f);
    EXPECT_EQ(m.m[3][3], 1.0f);

    // setRotation then translate keeps the translation.
    m.translate(Vector3(9, 8, 7));
    EXPECT_EQ(m.m[3][0], 9.0f);

    // The zero axis leaves cos(angle) on the diagonal: the rack's "small ball".
    Matrix4 z;
    z.setRotation(AxisAngle(Vector3(0, 0, 0), 45.0f));
    const float c = std::cos(45.0f);
    const float ez[4][4] = {{c, 0, 0, 0}, {0, c, 0, 0}, {0, 0, c, 0}, {0, 0, 0, 1}};
    expectMatrix(z, ez);
    EXPECT_NEAR(c, 0.5253f, 1e-4f);

    // setRotation normalises its own copy; the caller's record is unchanged.
    AxisAngle caller(Vector3(0, 0, 1), 0.5f);
    caller.z = 2.0f;  // deliberately not normalised
    Matrix4 n;
    n.setRotation(caller);
    EXPECT_EQ(caller.z, 2.0f);
    EXPECT_NEAR(n.m[0][0], std::cos(0.25f), kTol);  // angle halved with the axis
}

TEST(Matrix4Ops, LookAtFromTheRackCamera)
{
    Matrix4 view;
    view.lookAt(Vector3(0, 0, -1500), Vector3(0, 0, 0), Vector3(0, 1, 0));
    const float expected[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 1500, 1}};
    expectMatrix(view, expected);

    Matrix4 degenerate;
    degenerate.lookAt(Vector3(1, 1, 1), Vector3(1, 1, 1), Vector3(0, 1, 0));
    EXPECT_TRUE(std::isnan(degenerate.m[0][2]));
}

TEST(Matrix4Ops, PerspectiveTakesRadiansNotDegrees)
{
    Matrix4 p;
    p.perspectiveFov(3.14159265f / 2.0f, 1.0f, 1.0f, 10.0f);
    EXPECT_NEAR(p.m[0][0], 1.0f, 1e-5f);
    EXPECT_NEAR(p.m[1][1], 1.0f, 1e-5f);
    EXPECT_EQ(p.m[2][3], 1.0f);
    EXPECT_EQ(p.m[3][3], 0.0f);

    // The rack passes 45 and it is used as 45 radians.
    Matrix4 rack;
    rack.perspectiveFov(45.0f, 1.3333334f, 500.0f, 2500.0f);
    const float expected[4][4] = {
        {1.344443f, 0, 0, 0}, {0, 1.792591f, 0, 0}, {0, 0, 1.25f, 1}, {0, 0, -625.0f, 0}};
    expectMatrix(rack, expected, 2e-4f);
}

TEST(Matrix4Ops, OrthographicForTheOverlay)
{
    Matrix4 o;
    o.orthographic(1024.0f, 768.0f, 0.0f, 100.0f);
    EXPECT_EQ(o.m[0][0], 0.001953125f);
    EXPECT_FLOAT_EQ(o.m[1][1], 2.0f / 768.0f);
    EXPECT_FLOAT_EQ(o.m[2][2], 0.01f);
    EXPECT_EQ(o.m[3][2], 0.0f);
    EXPECT_EQ(o.m[3][3], 1.0f);
    // (512, 384, 0) lands at clip (1, 1).
    const float x = 512.0f * o.m[0][0] + o.m[3][0];
    const float y = 384.0f * o.m[1][1] + o.m[3][1];
    EXPECT_FLOAT_EQ(x, 1.0f);
    EXPECT_FLOAT_EQ(y, 1.0f);
}

TEST(Matrix4Ops, CopyLeavesTheMatrixAlone)
{
    Matrix4 m = sample();
    Matrix4 c = m.copy();
    c.m[0][0] = 99;
    EXPECT_EQ(m.m[0][0], 1.0f);
    EXPECT_EQ(c.m[0][1], m.m[0][1]);
}

TEST(Tolerance, StrictComparisonsAndNaN)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    float v = 0.00001f;
    EXPECT_FALSE(isNearZero(v));
    v = -0.000009f;
    EXPECT_TRUE(isNearZero(v));
    v = 0.0f;
    EXPECT_TRUE(isNearZero(v));
    EXPECT_FALSE(isNearZero(nan));
    uint32_t bits;
    std::memcpy(&bits, &nearZeroTolerance, 4);
    EXPECT_EQ(bits, 0x3727C5ACu);

    const float a = 1.5f;
    EXPECT_FALSE(isNearlyEqual(a, a, 0.0f));
    EXPECT_TRUE(isNearlyEqual(a, a, 0.001f));
    EXPECT_FALSE(isNearlyEqual(nan, a, 1e9f));

    const float p1 = 3.14165f, p2 = 3.14159265f;
    EXPECT_TRUE(isLessOrNearlyEqual(p1, p2, 0.0001f));
    const float two = 2.0f, one = 1.0f;
    EXPECT_FALSE(isLessOrNearlyEqual(two, one, 0.5f));
    EXPECT_TRUE(isLessOrNearlyEqual(one, two, 0.5f));
    EXPECT_FALSE(isLessOrNearlyEqual(nan, one, 0.5f));
    EXPECT_FALSE(isLessOrNearlyEqual(one, nan, 0.5f));
}
