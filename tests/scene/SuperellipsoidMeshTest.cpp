// The ball mesh: shape, texture coordinates, a closed and consistently wound
// surface, exponent clamping, and tessellations that must give no mesh.
#include "scene/SuperellipsoidMesh.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

namespace {

using Key = std::tuple<long, long, long>;

// Positions rounded to 1/1000, so that copies of one grid point compare equal.
Key keyOf(const BallVertex& v)
{
    return {std::lround(v.x * 1000.0f), std::lround(v.y * 1000.0f), std::lround(v.z * 1000.0f)};
}

}  // namespace

TEST(SuperellipsoidMesh, SphereOfTessellation64)
{
    std::vector<BallVertex> vertices;
    ASSERT_TRUE(generateSuperellipsoid(64, 100.0f, 1.0f, 1.0f, vertices));
    ASSERT_EQ(vertices.size(), 12672u);  // 4224 triangles
    EXPECT_EQ(superellipsoidTriangleCount(64), 4224);

    int poles = 0;
    for (const BallVertex& v : vertices) {
        const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
        ASSERT_NEAR(length, 100.0f, 1e-3f);
        EXPECT_NEAR(v.nx, v.x / 100.0f, 1e-6f);
        EXPECT_NEAR(v.ny, v.y / 100.0f, 1e-6f);
        EXPECT_NEAR(v.nz, v.z / 100.0f, 1e-6f);
        ASSERT_TRUE(v.u >= 0.0f && v.u <= 1.0f && v.v >= 0.0f && v.v <= 1.0f) << v.u << ", " << v.v;
        if (v.x == 0.0f && v.y == 0.0f) {
            // Pole rows are exact: the tiny cosine of +-pi/2 is clamped to 0.
            ++poles;
            EXPECT_EQ(std::fabs(v.z), 100.0f);
            EXPECT_EQ(v.nz, v.z / 100.0f);
            EXPECT_FLOAT_EQ(v.u, 0.5f);
            EXPECT_FLOAT_EQ(v.v, 0.5f);
        }
    }
    EXPECT_GT(poles, 0);
    // The list starts at grid point 0: theta = -pi on the lower pole.
    EXPECT_EQ(vertices[0].z, -100.0f);
}

// Every edge of a non-degenerate triangle is met by exactly one other
// triangle running it the other way: no crack along the seam at theta = +-pi
// or anywhere else, and one winding throughout. Seen from outside through a
// left-handed camera the triangles run clockwise, i.e. cross(b - a, c - a)
// points outwards.
TEST(SuperellipsoidMesh, ClosedSurfaceWoundClockwiseFromOutside)
{
    std::vector<BallVertex> vertices;
    ASSERT_TRUE(generateSuperellipsoid(64, 100.0f, 1.0f, 1.0f, vertices));

    std::map<std::pair<Key, Key>, int> edges;
    std::set<Key> distinct;
    size_t degenerate = 0;
    for (size_t t = 0; t < vertices.size(); t += 3) {
        const BallVertex& a = vertices[t];
        const BallVertex& b = vertices[t + 1];
        const BallVertex& c = vertices[t + 2];
        const Key ka = keyOf(a), kb = keyOf(b), kc = keyOf(c);
        distinct.insert({ka, kb, kc});
        if (ka == kb || kb == kc || kc == ka) {
            ++degenerate;
            continue;
        }
        const float ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
        const float vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
        const float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        ASSERT_GT(nx * (a.x + b.x + c.x) + ny * (a.y + b.y + c.y) + nz * (a.z + b.z + c.z), 0.0f)
            << "triangle " << t / 3 << " faces inwards";
        ++edges[{ka, kb}];
        ++edges[{kb, kc}];
        ++edges[{kc, ka}];
    }
    for (const auto& [edge, count] : edges) {
        ASSERT_EQ(count, 1) << "edge used twice in one direction";
        ASSERT_EQ(edges.count({edge.second, edge.first}), 1u) << "open edge: the surface has a crack";
    }
    // Zero-area triangles stay in the list: one per quad next to each pole
    // and both of each quad between the two equator rows.
    EXPECT_EQ(degenerate, 4u * 64u);
    // 32 latitudes strictly between the poles, 64 longitudes each, no
    // duplicated column at the seam; plus the two poles.
    EXPECT_EQ(distinct.size(), 31u * 64u + 2u);
}

TEST(SuperellipsoidMesh, SmallestTessellationAndEquatorRows)
{
    std::vector<BallVertex> vertices;
    ASSERT_TRUE(generateSuperellipsoid(4, 1.0f, 1.0f, 1.0f, vertices));
    // Rows at -pi/2, 0, 0, pi/2, four points each: 6 quads' worth of rows.
    ASSERT_EQ(vertices.size(), 3u * 24u);
    std::set<Key> distinct;
    for (const BallVertex& v : vertices) distinct.insert(keyOf(v));
    EXPECT_EQ(distinct.size(), 6u);  // two poles and four equator points

    // Quads 4..7 join the two equator rows: same positions, u mirrored.
    for (int k = 4; k < 8; ++k) {
        const BallVertex& lower = vertices[6 * k];      // grid point k, first pass
        const BallVertex& upper = vertices[6 * k + 2];  // grid point k + n, second pass
        EXPECT_EQ(keyOf(lower), keyOf(upper));
        EXPECT_EQ(lower.z, 0.0f);
        EXPECT_FLOAT_EQ(lower.u + upper.u, 1.0f);
        EXPECT_FLOAT_EQ(lower.v, upper.v);
    }
    // theta = -pi faces -x: on the camera-facing half u grows towards -x.
    EXPECT_FLOAT_EQ(vertices[6 * 4].u, 1.0f);
}

TEST(SuperellipsoidMesh, SignedPowerClampsNearZeroBaseAndExponent)
{
    EXPECT_FLOAT_EQ(signedPower(0.25f, 0.5f), 0.5f);
    EXPECT_FLOAT_EQ(signedPower(-0.25f, 0.5f), -0.5f);
    EXPECT_EQ(signedPower(4e-8f, 1.0f), 0.0f);     // cos(pi/2) in float
    EXPECT_EQ(signedPower(-4e-8f, 0.0f), 1.0f);    // the base clamps to +0 first
    EXPECT_EQ(signedPower(-0.5f, 0.000009f), -1.0f);
    EXPECT_EQ(signedPower(0.0f, 0.000009f), 1.0f);
    EXPECT_NE(signedPower(0.5f, 0.00001f), 1.0f);  // the tolerance is strict

    // Latitude exponent 0: the lower half collapses to z = -r, except the
    // equator row whose clamped sine gives S(0, 0) = +1.
    std::vector<BallVertex> vertices;
    ASSERT_TRUE(generateSuperellipsoid(8, 10.0f, 1.0f, 0.0f, vertices));
    for (int k = 0; k < 16; ++k) EXPECT_EQ(vertices[6 * k].z, -10.0f) << "grid point " << k;
    for (int k = 16; k < 24; ++k) EXPECT_EQ(vertices[6 * k].z, 10.0f) << "grid point " << k;
    for (const BallVertex& v : vertices) ASSERT_FALSE(std::isnan(v.u) || std::isnan(v.v));
}

TEST(SuperellipsoidMesh, UnusableTessellationsGiveNoMesh)
{
    const int32_t counts[] = {0, -4, 2, 6, 66, maxSuperellipsoidTessellation + 4, 1 << 20, INT_MAX - 3, INT_MIN};
    for (int32_t n : counts) {
        std::vector<BallVertex> vertices(5);
        EXPECT_FALSE(generateSuperellipsoid(n, 100.0f, 1.0f, 1.0f, vertices)) << n;
        EXPECT_TRUE(vertices.empty()) << n;
        EXPECT_EQ(superellipsoidTriangleCount(n), 0) << n;
    }
    // Large enough that the float angle loop loses the last column of each
    // row: better no ball than one with a gap.
    std::vector<BallVertex> vertices;
    EXPECT_FALSE(generateSuperellipsoid(2584, 1.0f, 1.0f, 1.0f, vertices));
    EXPECT_TRUE(vertices.empty());
}
