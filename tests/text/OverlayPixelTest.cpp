// The overlay on screen: frames rendered by tarnvale-capture through the GL
// device must show every label's glyphs texel for pixel from the font sheet
// (white over the black background) where the label's coordinates put them.
#include "support/CaptureRun.h"
#include "support/PngFile.h"
#include "support/TempFolder.h"
#include "tools/resgen/FixedFont6x12.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using testsupport::RgbaImage;

const char* const kTool = TARNVALE_BINARY_DIR "/tools/tarnvale-capture";

struct Capture {
    CaptureRun run;
    RgbaImage frame;
};

Capture runCapture(std::vector<std::string> arguments)
{
    const testsupport::TempFolder dir("overlay");
    const fs::path png = dir / "frame.png";
    arguments.insert(arguments.end(), {"--out", png.string()});
    Capture capture{CaptureRun::run({}, arguments), {}};
    if (capture.run.exitedWith(0)) capture.frame = testsupport::readPng(png);
    return capture;
}

// Checks every pixel of every 7 x 13 cell of a label at screen-space (x, y)
// on a 1024 x 768 frame: glyph texels white, the rest of the cell black.
void expectLabel(const RgbaImage& frame, const std::string& text, int x, int y)
{
    SCOPED_TRACE("label \"" + text + "\"");
    ASSERT_EQ(frame.width, 1024u) << frame.error;
    ASSERT_EQ(frame.height, 768u);
    int mismatches = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const int code = static_cast<signed char>(text[i]);
        const int g = (code >= 32 && code <= 122) ? code - 32 : 0;
        for (int row = 0; row < 13; ++row) {
            for (int column = 0; column < 7; ++column) {
                const bool set = row < 12 && column < 6 && (kFixedFont6x12[g][row] & (0x80 >> column));
                const int px = x + 512 + 7 * static_cast<int>(i) + column;
                const int py = 384 - y - 11 + row;
                const uint8_t* p = frame.at(static_cast<uint32_t>(px), static_cast<uint32_t>(py));
                const bool white = p[0] >= 250 && p[1] >= 250 && p[2] >= 250;
                const bool black = p[0] <= 5 && p[1] <= 5 && p[2] <= 5;
                if (set ? !white : !black) {
                    if (++mismatches <= 5)
                        ADD_FAILURE() << "character " << i << " '" << text[i] << "' texel (" << column << ", " << row
                                      << ") at pixel (" << px << ", " << py << ") is (" << int(p[0]) << ", "
                                      << int(p[1]) << ", " << int(p[2]) << "), expected " << (set ? "white" : "black");
                }
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace

// Frame-rate, description and "Debug mode" labels, read from a debug run
// long enough for the frame rate to have been written once.
TEST(OverlayPixels, LabelsAreDrawnTexelForPixelWhereTheyStand)
{
    ASSERT_TRUE(fs::exists(kTool)) << kTool << " is not built";
    const Capture capture = runCapture({"--frames", "60", "--frame-time", "0.02", "--debug"});
    ASSERT_TRUE(capture.run.exitedWith(0)) << capture.run.describe();

    const std::string fps = capture.run.field("fps_text");
    const std::string description = capture.run.field("device");
    ASSERT_EQ(fps.rfind("FPS: ", 0), 0u) << capture.run.out;
    ASSERT_FALSE(description.empty()) << capture.run.out;

    expectLabel(capture.frame, fps, 432, 364);
    expectLabel(capture.frame, description, -502, -374);
    expectLabel(capture.frame, "Debug mode", -502, 364);
}

// Without the debug flag the top-left corner stays black, and the software
// device's description reads as the device set-up names it.
TEST(OverlayPixels, NoDebugLabelWithoutTheFlag)
{
    ASSERT_TRUE(fs::exists(kTool)) << kTool << " is not built";
    const Capture capture = runCapture({"--frames", "2"});
    ASSERT_TRUE(capture.run.exitedWith(0)) << capture.run.describe();
    expectLabel(capture.frame, std::string(10, ' '), -502, 364);
    const std::string description = capture.run.field("device");
    if (description.rfind("REF", 0) == 0) {
        EXPECT_EQ(description, "REF, Software Vertex Processing");
    }
    expectLabel(capture.frame, description, -502, -374);
}
