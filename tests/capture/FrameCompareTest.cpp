// The frame comparison of the GPU check (scripts/gpu-check compare, over
// tarnvale-framecompare): a rack frame passes against itself and against
// what another conforming rasteriser may change, and fails when a ball is
// missing or the picture has moved by a pixel.
#include "support/ChildProcess.h"
#include "support/PngFile.h"
#include "support/PngMaker.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

namespace fs = std::filesystem;
using testsupport::RgbaImage;

namespace {

class FrameCompare : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tarnvale-framecompare-" + std::to_string(getpid()));
        fs::create_directories(dir);
        const testsupport::ChildRun capture =
            testsupport::runChild(TARNVALE_BINARY_DIR "/tools/tarnvale-capture",
                                  {"--frames", "6", "--seed", "424242", "--out", (dir / "reference.png").string()});
        ASSERT_TRUE(capture.exitedWith(0)) << capture.describe();
        frame = testsupport::readPng(dir / "reference.png");
        ASSERT_TRUE(frame.error.empty()) << frame.error;
    }
    void TearDown() override { fs::remove_all(dir); }

    // Writes the frame with `change` applied to every pixel (x, y, rgba) and
    // compares it with the reference; returns the comparison's run.
    testsupport::ChildRun compareWith(const std::function<void(uint32_t, uint32_t, uint8_t*)>& change)
    {
        RgbaImage changed = frame;
        PngMaker png(frame.width, frame.height, PngMaker::ColourType::Rgba);
        for (uint32_t y = 0; y < frame.height; ++y)
            for (uint32_t x = 0; x < frame.width; ++x) {
                uint8_t* p = &changed.pixels[(size_t{y} * frame.width + x) * 4];
                change(x, y, p);
                png.setPixel(x, y, {p[0], p[1], p[2], p[3]});
            }
        const fs::path candidate = dir / "candidate.png";
        EXPECT_TRUE(png.writeFile(candidate.string()));
        return testsupport::runChild(TARNVALE_SOURCE_DIR "/scripts/gpu-check",
                                     {"compare", (dir / "reference.png").string(), candidate.string()},
                                     {{}, {"TARNVALE_BUILD=" TARNVALE_BINARY_DIR}});
    }

    const uint8_t* original(uint32_t x, uint32_t y) const { return frame.at(x, y); }

    fs::path dir;
    RgbaImage frame;
};

TEST_F(FrameCompare, PassesWhatRasterisersMayChangeAndFailsMissingOrMovedBalls)
{
    testsupport::ChildRun run = compareWith([](uint32_t, uint32_t, uint8_t*) {});
    EXPECT_TRUE(run.exitedWith(0)) << run.describe();
    EXPECT_NE(run.out.find("\"differing\":0,"), std::string::npos) << run.out;

    // Rounding everywhere, every 40th pixel of the sharp edges taking its
    // neighbour's colour (coverage decided the other way), and another
    // device line in the overlay.
    int edgeCount = 0;
    run = compareWith([&](uint32_t x, uint32_t y, uint8_t* p) {
        for (int k = 0; k < 3; ++k) p[k] = static_cast<uint8_t>(std::clamp(p[k] + int((x * 7 + y * 3 + k) % 7) - 3, 0, 255));
        if (x + 1 < frame.width && std::abs(original(x, y)[0] - original(x + 1, y)[0]) > 100 && ++edgeCount % 40 == 0)
            for (int k = 0; k < 3; ++k) p[k] = original(x + 1, y)[k];
        if (y >= 748 && y < 760 && x >= 10 && x < 330 && (x / 3 + y) % 2) p[0] = p[1] = p[2] = 220;
    });
    EXPECT_TRUE(run.exitedWith(0)) << run.describe();

    // The ball at the middle of the rack not drawn.
    run = compareWith([](uint32_t x, uint32_t y, uint8_t* p) {
        const int dx = int(x) - 512, dy = int(y) - 384;
        if (dx * dx + dy * dy < 48 * 48) p[0] = p[1] = p[2] = 0;
    });
    EXPECT_TRUE(run.exitedWith(1)) << run.describe();
    EXPECT_NE(run.out.find("around 512,384"), std::string::npos) << run.out;

    // Everything one pixel to the right.
    run = compareWith([&](uint32_t x, uint32_t y, uint8_t* p) {
        for (int k = 0; k < 3; ++k) p[k] = x > 0 ? original(x - 1, y)[k] : 0;
    });
    EXPECT_TRUE(run.exitedWith(1)) << run.describe();
    EXPECT_NE(run.out.find("edge pixels differ"), std::string::npos) << run.out;
}

}  // namespace
