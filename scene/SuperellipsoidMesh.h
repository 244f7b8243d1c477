#pragma once

#include "scene/BallVertex.h"

#include <cstdint>
#include <vector>

// Signed power: b and e below the near-zero tolerance count as 0; then
// pow(b, e) for b >= 0 and -pow(-b, e) otherwise.
float signedPower(float b, float e);

// The largest tessellation accepted: the list of 3 * n * (n + 2) vertices of
// 32 bytes each must still fit the 32-bit byte length of a vertex buffer.
constexpr int32_t maxSuperellipsoidTessellation = 6684;

// Number of triangles of the list for tessellation n, n * (n + 2); 0 for a
// tessellation that generateSuperellipsoid rejects.
int32_t superellipsoidTriangleCount(int32_t tessellation);

// Generates the non-indexed triangle list of a superellipsoid sampled on a
// latitude-longitude grid of tessellation n (a positive multiple of 4). The
// result holds 3 * n * (n + 2) vertices. Returns false, leaving `vertices`
// empty, for a tessellation that is not a positive multiple of 4, that exceeds
// maxSuperellipsoidTessellation, or for which the float angle accumulators do
// not give exactly n points a row and n / 4 + 1 rows a half (some counts from
// 2584 on lose the last column to rounding): such a grid would leave a hole.
bool generateSuperellipsoid(int32_t tessellation, float radius, float longitudeExponent, float latitudeExponent,
                            std::vector<BallVertex>& vertices);

// Time spent in generateSuperellipsoid so far by the whole process, in
// nanoseconds (for start-up reports).
int64_t superellipsoidGenerationTime();
