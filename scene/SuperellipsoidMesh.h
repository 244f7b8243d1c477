#pragma once

#include "scene/BallVertex.h"

#include <cstdint>
#include <vector>

// Signed power: b and e below the near-zero tolerance count as 0; then
// pow(b, e) for b >= 0 and -pow(-b, e) otherwise.
float signedPower(float b, float e);

// Generates the non-indexed triangle list of a superellipsoid sampled on a
// latitude-longitude grid of tessellation n (a positive multiple of 4). The
// result holds 3 * n * (n + 2) vertices. Returns false, leaving `vertices`
// empty, for a tessellation that is not a positive multiple of 4.
bool generateSuperellipsoid(int32_t tessellation, float radius, float longitudeExponent, float latitudeExponent,
                            std::vector<BallVertex>& vertices);
