#include "scene/SuperellipsoidMesh.h"

#include "math/Tolerance.h"
#include "math/Vector3.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>

namespace {

constexpr float twoPi = 6.2831855f;
constexpr float pi = 3.1415927f;
constexpr float halfPi = 1.5707964f;
constexpr float inversePi = 0.31830987f;
std::atomic<int64_t> generationTime{0};

// Adds the time of one generation to generationTime.
class GenerationTimer {
public:
    GenerationTimer() : start(std::chrono::steady_clock::now()) {}
    ~GenerationTimer()
    {
        const auto elapsed = std::chrono::steady_clock::now() - start;
        generationTime.fetch_add(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count(),
                                 std::memory_order_relaxed);
    }

private:
    std::chrono::steady_clock::time_point start;
};

// Tolerance of the angle loops: the last row and column are kept although
// the float accumulator lands a little above its bound.
constexpr float angleTolerance = 0.0001f;

// asin of a component of a unit vector. Rounding can leave |value| a hair
// above 1, where asin would give not-a-number, so the argument is clamped.
float unitAsin(float value)
{
    return std::asin(std::clamp(value, -1.0f, 1.0f));
}

// The longitude terms S(cos theta) and S(sin theta) of the n columns. Every
// row walks theta the same way (from -pi, by `step`, up to the bound), so the
// terms are the same in every row and are computed once. Returns false when
// the loop does not give exactly n columns.
bool columnTerms(int32_t n, float step, float thetaBound, float longitudeExponent, std::vector<float>& cosineTerms,
                 std::vector<float>& sineTerms)
{
    cosineTerms.reserve(static_cast<size_t>(n));
    sineTerms.reserve(static_cast<size_t>(n));
    for (float theta = -pi; isLessOrNearlyEqual(theta, thetaBound, angleTolerance); theta += step) {
        if (cosineTerms.size() == static_cast<size_t>(n)) return false;  // the accumulator drifted: one point too many
        cosineTerms.push_back(signedPower(std::cos(theta), longitudeExponent));
        sineTerms.push_back(signedPower(std::sin(theta), longitudeExponent));
    }
    return cosineTerms.size() == static_cast<size_t>(n);
}

// Appends one row of n grid points at latitude phi, from the column terms
// and the row's own latitude terms. `lowerHalf` picks the sign of the u
// formula, so that each hemisphere carries the whole image, projected along z
// and seen unmirrored from its own side.
void appendRow(std::vector<BallVertex>& grid, const std::vector<float>& cosineTerms, const std::vector<float>& sineTerms,
               float phi, float radius, float latitudeExponent, bool lowerHalf)
{
    const float cosPhiTerm = signedPower(std::cos(phi), latitudeExponent);
    const float z = radius * signedPower(std::sin(phi), latitudeExponent);
    const size_t n = cosineTerms.size();
    for (size_t j = 0; j < n; ++j) {
        BallVertex point;
        point.x = radius * cosineTerms[j] * cosPhiTerm;
        point.y = radius * sineTerms[j] * cosPhiTerm;
        point.z = z;

        // The normal is the direction of the position, not the analytic
        // normal of the surface (the two agree on a sphere).
        const Vector3 normal = normalize(Vector3(point.x, point.y, point.z));
        point.nx = normal.x;
        point.ny = normal.y;
        point.nz = normal.z;

        const float uOffset = unitAsin(normal.x) * inversePi;
        point.u = lowerHalf ? 0.5f - uOffset : 0.5f + uOffset;
        point.v = 0.5f + unitAsin(normal.y) * inversePi;

        grid.push_back(point);
    }
}

}  // namespace

float signedPower(float b, float e)
{
    if (isNearZero(b)) b = 0.0f;
    if (isNearZero(e)) e = 0.0f;
    if (b >= 0.0f) return std::pow(b, e);
    return -std::pow(-b, e);
}

int64_t superellipsoidGenerationTime()
{
    return generationTime.load(std::memory_order_relaxed);
}

int32_t superellipsoidTriangleCount(int32_t tessellation)
{
    if (tessellation <= 0 || tessellation % 4 != 0 || tessellation > maxSuperellipsoidTessellation) return 0;
    return tessellation * (tessellation + 2);
}

bool generateSuperellipsoid(int32_t tessellation, float radius, float longitudeExponent, float latitudeExponent,
                            std::vector<BallVertex>& vertices)
{
    const GenerationTimer timer;
    vertices.clear();
    const int32_t triangles = superellipsoidTriangleCount(tessellation);
    if (triangles == 0) return false;

    const int32_t n = tessellation;
    const int32_t rowsPerHalf = n / 4 + 1;
    const int32_t rows = 2 * rowsPerHalf;  // n / 2 + 2: the equator row appears in both halves

    std::vector<BallVertex> grid;
    grid.reserve(static_cast<size_t>(rows) * n);

    const float step = twoPi / static_cast<float>(n);
    const float thetaBound = pi - step;
    std::vector<float> cosineTerms;
    std::vector<float> sineTerms;
    if (!columnTerms(n, step, thetaBound, longitudeExponent, cosineTerms, sineTerms)) return false;

    // Two passes over the latitude, each ending or starting at the equator.
    // The row count of each pass is checked: a loop that drifted by a row
    // would leave the triangulation below pointing at missing grid points.
    int32_t lowerRows = 0;
    for (float phi = -halfPi; isLessOrNearlyEqual(phi, 0.0f, angleTolerance); phi += step) {
        if (lowerRows == rowsPerHalf) return false;
        appendRow(grid, cosineTerms, sineTerms, phi, radius, latitudeExponent, true);
        ++lowerRows;
    }
    int32_t upperRows = 0;
    for (float phi = 0.0f; isLessOrNearlyEqual(phi, halfPi, angleTolerance); phi += step) {
        if (upperRows == rowsPerHalf) return false;
        appendRow(grid, cosineTerms, sineTerms, phi, radius, latitudeExponent, false);
        ++upperRows;
    }
    if (lowerRows != rowsPerHalf || upperRows != rowsPerHalf) return false;

    // Each quad between column j and the next (column 0 after the last, which
    // closes the seam) in rows r and r + 1 becomes two triangles split along
    // the diagonal from (r, j + 1) to (r + 1, j); seen from outside through a
    // left-handed camera they run clockwise. Triangles at the poles and
    // between the two equator rows have zero area and are kept.
    vertices.reserve(static_cast<size_t>(triangles) * 3);
    const BallVertex* g = grid.data();
    const int32_t quads = n * (rows - 1);
    for (int32_t k = 0; k < quads; ++k) {
        const int32_t j = k % n;
        const int32_t next = (j < n - 1) ? k + 1 : k + 1 - n;
        vertices.push_back(g[k]);
        vertices.push_back(g[next]);
        vertices.push_back(g[k + n]);
        vertices.push_back(g[next + n]);
        vertices.push_back(g[k + n]);
        vertices.push_back(g[next]);
    }
    return true;
}
