#include "BallDigits.h"

#include <cmath>

namespace {

constexpr float degrees = 3.14159265f / 180.0f;

// An elliptical arc from angle a0 to a1 in degrees (0 = right, 90 = down).
DigitStroke arc(float cx, float cy, float rx, float ry, float a0, float a1)
{
    DigitStroke stroke;
    const int segments = static_cast<int>(std::fabs(a1 - a0) / 6.0f) + 1;
    for (int i = 0; i <= segments; ++i) {
        const float a = (a0 + (a1 - a0) * static_cast<float>(i) / static_cast<float>(segments)) * degrees;
        stroke.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    return stroke;
}

// A quadratic Bezier curve from p0 to p2, pulled towards p1.
DigitStroke curve(DigitPoint p0, DigitPoint p1, DigitPoint p2)
{
    DigitStroke stroke;
    const int segments = 24;
    for (int i = 0; i <= segments; ++i) {
        const float t = static_cast<float>(i) / segments;
        const float s = 1.0f - t;
        stroke.push_back({s * s * p0.x + 2 * s * t * p1.x + t * t * p2.x, s * s * p0.y + 2 * s * t * p1.y + t * t * p2.y});
    }
    return stroke;
}

}  // namespace

std::vector<DigitStroke> digitStrokes(int digit)
{
    switch (digit) {
    case 0:
        return {arc(0.3f, 0.5f, 0.225f, 0.425f, 0.0f, 360.0f)};
    case 1:
        return {{{0.33f, 0.075f}, {0.33f, 0.925f}}, {{0.13f, 0.24f}, {0.33f, 0.075f}}};
    case 2: {
        DigitStroke s = arc(0.3f, 0.29f, 0.215f, 0.215f, 190.0f, 390.0f);
        s.push_back({0.075f, 0.925f});
        s.push_back({0.53f, 0.925f});
        return {s};
    }
    case 3:
        return {arc(0.29f, 0.285f, 0.2f, 0.2f, 200.0f, 450.0f), arc(0.29f, 0.7f, 0.225f, 0.225f, 270.0f, 520.0f)};
    case 4:
        return {{{0.43f, 0.925f}, {0.43f, 0.075f}, {0.06f, 0.67f}, {0.55f, 0.67f}}};
    case 5: {
        DigitStroke s = {{0.5f, 0.075f}, {0.14f, 0.075f}};
        const DigitStroke bowl = arc(0.29f, 0.655f, 0.235f, 0.235f, 225.0f, 520.0f);
        s.insert(s.end(), bowl.begin(), bowl.end());
        return {s};
    }
    case 6:
        return {arc(0.3f, 0.68f, 0.225f, 0.245f, 0.0f, 360.0f), curve({0.47f, 0.09f}, {0.08f, 0.22f}, {0.075f, 0.68f})};
    case 7:
        return {{{0.07f, 0.075f}, {0.53f, 0.075f}, {0.22f, 0.925f}}};
    case 8:
        return {arc(0.3f, 0.27f, 0.18f, 0.195f, 0.0f, 360.0f), arc(0.3f, 0.69f, 0.22f, 0.235f, 0.0f, 360.0f)};
    case 9:
        return {arc(0.3f, 0.32f, 0.225f, 0.245f, 0.0f, 360.0f), curve({0.13f, 0.91f}, {0.52f, 0.78f}, {0.525f, 0.32f})};
    default:
        return {};
    }
}
