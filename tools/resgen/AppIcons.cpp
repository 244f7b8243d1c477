// Writes the application icons: icons/<S>x<S>.png for the usual desktop
// sizes, each the 1-ball as the demo shows it, seen face-on and lit from the
// upper left, on a transparent background.
//
// A point of the ball at (px, py) from its centre (in radii, y downwards)
// shows the design point asin(px) / pi, asin(py) / pi from the middle of the
// upright design (the inverse of how an image lands on a ball; see
// BallImages.cpp), so the icon shows the ball's picture as a sphere would.
// Each pixel averages 8 x 8 samples, which also anti-aliases the outline.
#include "Generators.h"
#include "PngWriter.h"

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace {

const uint32_t iconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
constexpr int iconBall = 1;
constexpr int samplesPerSide = 8;
// The ball's radius as a fraction of half the icon, leaving a small margin.
constexpr float ballRadius = 0.94f;

struct Light {
    float x, y, z;
};

Light normalised(Light v)
{
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / length, v.y / length, v.z / length};
}

// Bilinear sample of the upright design at (x, y) in 0..1 (y downwards); the
// stored image holds the design turned by 180 degrees.
void sampleDesign(const std::vector<uint8_t>& stored, float x, float y, float rgb[3])
{
    const float last = static_cast<float>(ballImageSize - 1);
    const float column = std::clamp(last - (x * ballImageSize - 0.5f), 0.0f, last);
    const float row = std::clamp(last - (y * ballImageSize - 0.5f), 0.0f, last);
    const uint32_t c0 = static_cast<uint32_t>(column), r0 = static_cast<uint32_t>(row);
    const uint32_t c1 = std::min(c0 + 1, ballImageSize - 1), r1 = std::min(r0 + 1, ballImageSize - 1);
    const float fc = column - static_cast<float>(c0), fr = row - static_cast<float>(r0);
    for (int channel = 0; channel < 3; ++channel) {
        auto at = [&](uint32_t r, uint32_t c) {
            return static_cast<float>(stored[(static_cast<size_t>(r) * ballImageSize + c) * 4 + channel]);
        };
        const float top = at(r0, c0) + (at(r0, c1) - at(r0, c0)) * fc;
        const float bottom = at(r1, c0) + (at(r1, c1) - at(r1, c0)) * fc;
        rgb[channel] = top + (bottom - top) * fr;
    }
}

std::vector<uint8_t> drawIcon(const std::vector<uint8_t>& ball, uint32_t size)
{
    const float pi = 3.14159265358979f;
    const Light light = normalised({-0.45f, 0.55f, 0.7f});                     // y upwards
    const Light halfway = normalised({light.x, light.y, light.z + 1.0f});   // viewer on +z
    const float half = 0.5f * static_cast<float>(size);
    std::vector<uint8_t> rgba(static_cast<size_t>(size) * size * 4, 0);

    for (uint32_t row = 0; row < size; ++row) {
        for (uint32_t column = 0; column < size; ++column) {
            float sum[3] = {0.0f, 0.0f, 0.0f};
            int inside = 0;
            for (int sy = 0; sy < samplesPerSide; ++sy) {
                for (int sx = 0; sx < samplesPerSide; ++sx) {
                    const float x = static_cast<float>(column) + (static_cast<float>(sx) + 0.5f) / samplesPerSide;
                    const float y = static_cast<float>(row) + (static_cast<float>(sy) + 0.5f) / samplesPerSide;
                    const float px = (x - half) / (half * ballRadius);
                    const float py = (y - half) / (half * ballRadius);
                    const float rr = px * px + py * py;
                    if (rr > 1.0f) continue;
                    ++inside;
                    const float nz = std::sqrt(1.0f - rr);
                    float albedo[3];
                    sampleDesign(ball, 0.5f + std::asin(px) / pi, 0.5f + std::asin(py) / pi, albedo);
                    const float diffuse = std::max(0.0f, px * light.x - py * light.y + nz * light.z);
                    const float specular =
                        std::pow(std::max(0.0f, px * halfway.x - py * halfway.y + nz * halfway.z), 40.0f);
                    for (int channel = 0; channel < 3; ++channel)
                        sum[channel] += albedo[channel] * (0.3f + 0.75f * diffuse) + 255.0f * 0.55f * specular;
                }
            }
            if (inside == 0) continue;
            uint8_t* out = &rgba[(static_cast<size_t>(row) * size + column) * 4];
            for (int channel = 0; channel < 3; ++channel)
                out[channel] = static_cast<uint8_t>(std::lround(std::clamp(sum[channel] / inside, 0.0f, 255.0f)));
            out[3] = static_cast<uint8_t>(std::lround(255.0f * inside / (samplesPerSide * samplesPerSide)));
        }
    }
    return rgba;
}

}  // namespace

bool generateAppIcons(const std::string& outDir)
{
    const std::string folder = outDir + "/icons";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "%s: %s\n", folder.c_str(), error.message().c_str());
        return false;
    }
    const std::vector<uint8_t> ball = paintBall(iconBall);
    bool ok = true;
    for (uint32_t size : iconSizes) {
        const std::string name = std::to_string(size) + "x" + std::to_string(size) + ".png";
        ok = writePngRgba(folder + "/" + name, size, size, drawIcon(ball, size)) && ok;
    }
    return ok;
}
