// Writes the sixteen ball images: res/1-ball.png ... res/15-ball.png and
// res/cueball.png, 256 x 256 RGBA, opaque.
//
// How an image lands on a ball: each hemisphere of the mesh carries the
// whole image, projected along the ball's z axis, with
//   u = 0.5 -/+ asin(nx) / pi,  v = 0.5 + asin(ny) / pi.
// Seen from outside, that shows the image turned by 180 degrees (texture row
// 0, v = 0, lands on the ball's -y side, and u = 0 on its +x side of the
// camera-facing half). So each picture is designed upright, centred on the
// middle of the image, and stored turned by 180 degrees. An offset r from the
// image centre appears at sin(pi r) of the ball's radius from the middle of
// the hemisphere; only the diamond |u - 0.5| + |v - 0.5| <= 0.5 is ever seen.
//
// Balls 1-8 are solid colour with the number in a white disc; 9-15 are white
// with a band of their colour across the middle and the number in a white
// disc on the band; the cue ball is white with a small red spot. Numbers 6
// and 9 are underlined, so they can be told apart on a turned ball.
#include "BallDigits.h"
#include "Generators.h"
#include "PngWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr uint32_t imageSize = ballImageSize;

struct Colour {
    float r, g, b;
};

// Base colours of balls 1-8 (9-15 repeat 1-7 as stripes).
const Colour ballColours[8] = {
    {250, 196, 20},   // 1 yellow
    {22, 62, 178},    // 2 blue
    {208, 32, 32},    // 3 red
    {98, 40, 140},    // 4 purple
    {244, 118, 22},   // 5 orange
    {20, 128, 62},    // 6 green
    {128, 30, 36},    // 7 maroon
    {22, 22, 24},     // 8 black
};
const Colour ivory = {246, 243, 232};
const Colour ink = {20, 20, 22};
const Colour spotRed = {200, 30, 30};

// Sizes in image units (the image is 1 x 1).
constexpr float discRadius = 0.15f;       // about 0.45 of the ball's radius on screen
constexpr float stripeHalfWidth = 0.205f;  // the band covers |y| < 0.6 of the radius
constexpr float numberHeight = 0.16f;
constexpr float twoDigitHeight = 0.145f;
constexpr float digitGap = 0.1f;          // between two digits, in digit units
constexpr float spotRadius = 0.035f;
// Width of the anti-aliasing ramp, in texels: about one screen pixel where
// the texture is minified on a ball some 90 pixels across.
constexpr float feather = 2.0f;

// Coverage of a shape from the signed distance of a texel centre to its edge
// (positive inside), in texels.
float coverage(float inside)
{
    return std::clamp(inside / feather + 0.5f, 0.0f, 1.0f);
}

Colour mix(const Colour& under, const Colour& over, float amount)
{
    return {under.r + (over.r - under.r) * amount, under.g + (over.g - under.g) * amount,
            under.b + (over.b - under.b) * amount};
}

struct Segment {
    float x0, y0, x1, y1;
};

float distanceToSegment(float px, float py, const Segment& s)
{
    const float dx = s.x1 - s.x0;
    const float dy = s.y1 - s.y0;
    const float lengthSquared = dx * dx + dy * dy;
    float t = lengthSquared > 0.0f ? ((px - s.x0) * dx + (py - s.y0) * dy) / lengthSquared : 0.0f;
    t = std::clamp(t, 0.0f, 1.0f);
    const float ex = px - (s.x0 + t * dx);
    const float ey = py - (s.y0 + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

// The strokes of a number, centred on the image centre, in texels of the
// upright design, plus the stroke half-width in texels.
struct NumberShape {
    std::vector<Segment> segments;
    float halfWidth = 0.0f;
};

NumberShape layOutNumber(int number)
{
    NumberShape shape;
    if (number <= 0) return shape;
    std::vector<int> digits;
    for (int n = number; n > 0; n /= 10) digits.insert(digits.begin(), n % 10);

    const float height = (digits.size() > 1 ? twoDigitHeight : numberHeight) * imageSize;  // texels per digit unit
    const float totalWidth =
        (static_cast<float>(digits.size()) * digitWidth + static_cast<float>(digits.size() - 1) * digitGap) * height;
    const float left = 0.5f * imageSize - 0.5f * totalWidth;
    const float top = 0.5f * imageSize - 0.5f * digitHeight * height;
    shape.halfWidth = 0.5f * digitStrokeWidth * height;

    auto addStroke = [&](const DigitStroke& stroke, float originX) {
        for (size_t i = 0; i + 1 < stroke.size(); ++i)
            shape.segments.push_back({originX + stroke[i].x * height, top + stroke[i].y * height,
                                      originX + stroke[i + 1].x * height, top + stroke[i + 1].y * height});
    };
    for (size_t i = 0; i < digits.size(); ++i) {
        const float originX = left + static_cast<float>(i) * (digitWidth + digitGap) * height;
        for (const DigitStroke& stroke : digitStrokes(digits[i])) addStroke(stroke, originX);
    }
    // 6 and 9 look alike upside down: a bar under the digit tells them apart.
    if (number == 6 || number == 9) addStroke({{0.12f, 1.16f}, {0.48f, 1.16f}}, left);
    return shape;
}

}  // namespace

std::vector<uint8_t> paintBall(int number)
{
    const bool cueBall = number == 0;
    const bool striped = number >= 9;
    const Colour colour = cueBall ? ivory : ballColours[(number - 1) % 8];
    const NumberShape shape = layOutNumber(number);

    const float centre = 0.5f * imageSize;
    const float discRadiusTexels = discRadius * imageSize;

    std::vector<uint8_t> rgba(static_cast<size_t>(imageSize) * imageSize * 4);
    for (uint32_t row = 0; row < imageSize; ++row) {
        for (uint32_t column = 0; column < imageSize; ++column) {
            // The texel's place in the upright design: the file holds the
            // design turned by 180 degrees.
            const float x = static_cast<float>(imageSize - 1 - column) + 0.5f;
            const float y = static_cast<float>(imageSize - 1 - row) + 0.5f;
            const float fromCentre = std::hypot(x - centre, y - centre);

            Colour texel = striped ? ivory : colour;
            if (striped) texel = mix(texel, colour, coverage(stripeHalfWidth * imageSize - std::fabs(y - centre)));
            if (cueBall) {
                texel = mix(texel, spotRed, coverage(spotRadius * imageSize - fromCentre));
            } else {
                texel = mix(texel, ivory, coverage(discRadiusTexels - fromCentre));
                if (fromCentre < discRadiusTexels + feather) {
                    float nearest = 1e9f;
                    for (const Segment& s : shape.segments) nearest = std::min(nearest, distanceToSegment(x, y, s));
                    texel = mix(texel, ink, coverage(shape.halfWidth - nearest));
                }
            }

            uint8_t* out = &rgba[(static_cast<size_t>(row) * imageSize + column) * 4];
            out[0] = static_cast<uint8_t>(std::lround(std::clamp(texel.r, 0.0f, 255.0f)));
            out[1] = static_cast<uint8_t>(std::lround(std::clamp(texel.g, 0.0f, 255.0f)));
            out[2] = static_cast<uint8_t>(std::lround(std::clamp(texel.b, 0.0f, 255.0f)));
            out[3] = 255;
        }
    }
    return rgba;
}

bool generateBallImages(const std::string& outDir)
{
    bool ok = true;
    for (int number = 0; number <= 15; ++number) {
        const std::string name = number == 0 ? "cueball.png" : std::to_string(number) + "-ball.png";
        ok = writePngRgba(outDir + "/" + name, imageSize, imageSize, paintBall(number)) && ok;
    }
    return ok;
}
