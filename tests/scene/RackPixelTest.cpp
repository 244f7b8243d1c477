// The rack as rendered: frames captured through the GL device with the
// built tarnvale-capture, probed where the camera puts the balls, the gaps
// between them, their lit sides, and which ball covers which after a drag.
#include "support/CaptureRun.h"
#include "support/PngFile.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const toolPath = TARNVALE_BINARY_DIR "/tools/tarnvale-capture";

struct Rgb {
    int r, g, b;
    int brightest() const { return std::max(r, std::max(g, b)); }
};

// A captured frame, read as colours.
struct Frame : testsupport::RgbaImage {
    Rgb at(int x, int y) const
    {
        const uint8_t* p = RgbaImage::at(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
        return {p[0], p[1], p[2]};
    }
};

// Where the camera (z = -1500, 45-radian field of view, 1024 x 768) puts a
// world point lying in the rack's plane turned to depth z.
struct Pixel {
    int x, y;
};
Pixel project(float x, float y, float z = 0.0f)
{
    const float w = z + 1500.0f;
    return {static_cast<int>(std::lround(512.0f + 512.0f * 1.344443f * x / w)),
            static_cast<int>(std::lround(384.0f - 384.0f * 1.792591f * y / w))};
}

class RackPixels : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fs::exists(toolPath)) << toolPath << " is not built";
        ASSERT_FALSE(dir.path().empty());
    }

    // Runs the capture tool with `arguments` and reads back its last frame.
    Frame capture(const std::vector<std::string>& arguments)
    {
        const fs::path out = dir / "frame.png";
        fs::remove(out);
        std::vector<std::string> all = {"--frames", "3", "--seed", "1", "--out", out.string()};
        all.insert(all.end(), arguments.begin(), arguments.end());
        const CaptureRun run = CaptureRun::run({}, all);
        EXPECT_TRUE(run.exitedWith(0)) << run.describe();
        Frame frame;
        static_cast<testsupport::RgbaImage&>(frame) = testsupport::readPng(out);
        if (frame.empty()) ADD_FAILURE() << "no readable frame: " << frame.error;
        return frame;
    }

    testsupport::TempFolder dir{"rack-pixels"};
};

// Share of the pixels within `radius` of `centre` whose colour passes `test`.
template <typename Test>
double share(const Frame& frame, Pixel centre, int radius, Test test)
{
    int hits = 0, total = 0;
    for (int y = centre.y - radius; y <= centre.y + radius; ++y)
        for (int x = centre.x - radius; x <= centre.x + radius; ++x) {
            if ((x - centre.x) * (x - centre.x) + (y - centre.y) * (y - centre.y) > radius * radius) continue;
            ++total;
            hits += test(frame.at(x, y));
        }
    return total ? static_cast<double>(hits) / total : 0.0;
}

double meanBrightest(const Frame& frame, Pixel centre, int radius)
{
    double sum = 0.0;
    int total = 0;
    for (int y = centre.y - radius; y <= centre.y + radius; ++y)
        for (int x = centre.x - radius; x <= centre.x + radius; ++x, ++total) sum += frame.at(x, y).brightest();
    return sum / total;
}

bool yellowish(const Rgb& c) { return c.r > 80 && c.g > 0.65 * c.r && c.b < 0.45 * c.g; }
bool orangeish(const Rgb& c) { return c.r > 80 && c.g > 0.3 * c.r && c.g < 0.62 * c.r && c.b < 0.45 * c.g; }

}  // namespace

TEST_F(RackPixels, BallsWhereTheCameraPutsThem)
{
    const Frame frame = capture({});
    ASSERT_EQ(frame.width, 1024u);
    ASSERT_EQ(frame.height, 768u);

    const float centres[16][2] = {{-400, 355}, {-200, 350}, {0, 350},     {200, 350},   {400, 350}, {-300, 175},
                                  {-100, 175}, {100, 175},  {300, 175},   {-200, 0},    {0, 0},     {200, 0},
                                  {-100, -175}, {100, -175}, {0, -350}, {0, -600}};
    // The frame is cleared to black; even the 8 ball's ink in ambient light
    // stays above that.
    for (const auto& c : centres) {
        const Pixel p = project(c[0], c[1]);
        EXPECT_GT(meanBrightest(frame, p, 3), 4.0) << "no ball drawn at " << p.x << ", " << p.y;
    }
    EXPECT_EQ(project(0, -600).y, 659);

    // Gaps: between ball 15 and the cue ball, a hole of the triangle's
    // lattice, and beside the rack.
    for (Pixel p : {project(0, -475), project(-200, 233.3f), project(-450, 0), project(300, -350)}) {
        const Rgb c = frame.at(p.x, p.y);
        EXPECT_LT(c.brightest(), 4) << "background expected at " << p.x << ", " << p.y;
    }

    // The white cue ball: lit from the upper right on the side that faces
    // the camera. Drawn inside out, its middle would show only ambient light.
    const Pixel cue = project(0, -600);
    const int radius = 46;  // on screen
    EXPECT_GT(meanBrightest(frame, cue, 6), 120.0);
    const Pixel upperRight = {cue.x + radius / 2, cue.y - radius / 2};
    const Pixel lowerLeft = {cue.x - radius / 2, cue.y + radius / 2};
    EXPECT_GT(meanBrightest(frame, upperRight, 3), meanBrightest(frame, lowerLeft, 3) + 60.0);
}

// A 90-pixel drag to the right turns the rack edge-on about the vertical
// axis: the balls line up on the centre line, each row nearest-ball first.
// The nearest ball of the top row must cover the ones behind it, though
// they are drawn after it.
TEST_F(RackPixels, DragTurnsTheRackEdgeOnWithDepth)
{
    const Frame right = capture({"--drag", "512,384:602,384"});
    ASSERT_EQ(right.width, 1024u);
    for (Pixel p : {project(-400, 355), project(400, 350), project(-300, 175), project(300, 175)})
        EXPECT_LT(right.at(p.x, p.y).brightest(), 4) << "ball left at " << p.x << ", " << p.y;
    EXPECT_GT(meanBrightest(right, project(0, -600), 3), 40.0);

    // Yaw +90: ball 1 (yellow) comes to z = -400, in front of balls 2-5.
    const Pixel nearLeft = project(0, 355, -400);
    EXPECT_GT(share(right, nearLeft, 20, yellowish), 0.3);
    EXPECT_LT(share(right, nearLeft, 20, orangeish), 0.1);

    // Yaw -90: ball 5 (orange) is in front instead. With seed 1 its white
    // number disc faces the camera, so less of the disc is orange.
    const Frame left = capture({"--drag", "512,384:422,384"});
    ASSERT_EQ(left.width, 1024u);
    const Pixel nearRight = project(0, 350, -400);
    EXPECT_GT(share(left, nearRight, 20, orangeish), 0.2);
    EXPECT_LT(share(left, nearRight, 20, yellowish), 0.1);
}
