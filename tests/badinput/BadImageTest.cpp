// Bad image files, end to end: tarnvale-capture runs in a copy of the
// working folder in which images are damaged, replaced or re-encoded.
//
// Expected behaviour
//
//   image file is ...                        | expected
//   -----------------------------------------+-----------------------------------------------
//   missing                                  | a line "res/<file>: <reason>" on stderr; that
//   empty                                    | ball (or, for the font sheet, the overlay) is
//   cut inside the signature (5 bytes)       | drawn untextured; the demo runs: exit 0 after
//   cut in half                              | the frames asked for. Never a crash, a hang
//   bad CRC in the header chunk              | or a sanitizer report.
//   8 bytes flipped mid-file (CRCs stale)    |
//   bad zlib stream, CRC recomputed          |
//   a JPEG file named .png                   |
//   a text file named .png                   |
//   declares 100000 x 100000                 |
//   1 x 16385 (one row over the 16384 limit) |
//   a folder                                 |
//   a FIFO (opening it must not wait)        |
//   5 GiB (sparse; too large to read)        |
//   -----------------------------------------+-----------------------------------------------
//   the whole res/ folder missing            | the same for all seventeen images
//   -----------------------------------------+-----------------------------------------------
//   grey 4/8/16-bit, grey + alpha, palette   | loaded without a word; the frame is pixel for
//   4/8-bit, RGB 16-bit (tRNS where there is | pixel the frame of the same pictures as 8-bit
//   no alpha channel), RGBA 16-bit,          | RGBA
//   interlaced or not                        |
//   -----------------------------------------+-----------------------------------------------
//   1 x 16384, 16384 x 1, 4 x 16384, 1 x 1   | loaded without a word (within the limits)
//
// Each damage is tried on every image. To keep the runs few, one run
// damages all seventeen images at once, each in a different way, and the
// damages rotate over the images from run to run. The runs with a single
// damaged image check that only that ball (or the overlay) changes.
#include "BadInputChecks.h"
#include "ScratchFolder.h"

#include "support/PngMaker.h"

#include <cmath>
#include <cstring>
#include <fstream>

using namespace badinput;

namespace {

enum class Damage {
    Missing,
    Empty,
    CutInSignature,
    CutInHalf,
    BadHeaderCrc,
    FlippedBytes,
    BadImageData,
    Jpeg,
    Text,
    DeclaresHuge,
    OverTheLimit,
    Folder,
    Fifo,
    FiveGigabytes,
};

struct DamageCase {
    Damage damage;
    const char* what;
};

const DamageCase damages[] = {
    {Damage::Missing, "missing"},
    {Damage::Empty, "empty"},
    {Damage::CutInSignature, "cut inside the signature"},
    {Damage::CutInHalf, "cut in half"},
    {Damage::BadHeaderCrc, "bad CRC in IHDR"},
    {Damage::FlippedBytes, "bytes flipped mid-file"},
    {Damage::BadImageData, "bad zlib stream with a good CRC"},
    {Damage::Jpeg, "a JPEG named .png"},
    {Damage::Text, "text named .png"},
    {Damage::DeclaresHuge, "declares 100000 x 100000"},
    {Damage::OverTheLimit, "1 x 16385"},
    {Damage::Folder, "a folder"},
    {Damage::Fifo, "a FIFO"},
    {Damage::FiveGigabytes, "5 GiB"},
};
constexpr size_t damageCount = sizeof damages / sizeof damages[0];

Bytes solidImage(uint32_t width, uint32_t height)
{
    PngMaker png(width, height, PngMaker::ColourType::Rgba, 8);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            png.setPixel(x, y, {static_cast<uint16_t>(x * 255 / width), static_cast<uint16_t>(y * 255 / height), 128, 255});
    return png.encode();
}

::testing::AssertionResult apply(const ScratchFolder& folder, const std::string& file, Damage damage)
{
    const Bytes original = folder.read(file);
    bool ok = true;
    switch (damage) {
    case Damage::Missing: folder.remove(file); break;
    case Damage::Empty: ok = folder.write(file, Bytes()); break;
    case Damage::CutInSignature: ok = folder.write(file, broken::truncated(original, 5)); break;
    case Damage::CutInHalf: ok = folder.write(file, broken::truncated(original, original.size() / 2)); break;
    case Damage::BadHeaderCrc: ok = folder.write(file, PngMaker::withBadCrc(original, "IHDR")); break;
    case Damage::FlippedBytes: ok = folder.write(file, broken::flippedBytes(original)); break;
    case Damage::BadImageData: ok = folder.write(file, broken::badImageData(original)); break;
    case Damage::Jpeg: ok = folder.write(file, broken::jpegBytes()); break;
    case Damage::Text: ok = folder.write(file, std::string("This is not an image.\n")); break;
    case Damage::DeclaresHuge: ok = folder.write(file, PngMaker::declaringSize(100000, 100000)); break;
    case Damage::OverTheLimit: ok = folder.write(file, solidImage(1, 16385)); break;
    case Damage::Folder: ok = folder.replaceWithFolder(file); break;
    case Damage::Fifo: ok = folder.replaceWithFifo(file); break;
    case Damage::FiveGigabytes: ok = folder.replaceWithFiveGigabytes(file); break;
    }
    if (!ok) return ::testing::AssertionFailure() << "could not damage " << file;
    return ::testing::AssertionSuccess();
}

// ---- Every damage on every image ----------------------------------------

class DamagedImages : public ::testing::TestWithParam<size_t> {};

TEST_P(DamagedImages, EachIsReportedAndTheDemoRunsWithoutIt)
{
    const size_t rotation = GetParam();
    ScratchFolder folder("images-" + std::to_string(rotation));
    const std::vector<std::string> images = ScratchFolder::imageFiles();
    ASSERT_EQ(images.size(), 17u);
    for (size_t i = 0; i < images.size(); ++i)
        ASSERT_TRUE(apply(folder, images[i], damages[(i + rotation) % damageCount].damage));

    const CaptureRun run = CaptureRun::run(folder.path(), captureArguments());
    ASSERT_TRUE(ranAllFrames(run));
    for (size_t i = 0; i < images.size(); ++i)
        EXPECT_TRUE(named(run, images[i])) << "damage: " << damages[(i + rotation) % damageCount].what;
}

INSTANTIATE_TEST_SUITE_P(Rotations, DamagedImages, ::testing::Range<size_t>(0, damageCount));

TEST(DamagedImages, NoResFolderAtAll)
{
    ScratchFolder folder("no-res");
    folder.remove("res");
    const CaptureRun run = CaptureRun::run(folder.path(), captureArguments());
    ASSERT_TRUE(ranAllFrames(run));
    for (const std::string& image : ScratchFolder::imageFiles()) EXPECT_TRUE(named(run, image));
}

// ---- Unusual but valid encodings ------------------------------------------

// The frame read back from a run's --out file.
RgbaImage frameOf(const ScratchFolder& folder) { return testsupport::readPng(folder.file("frame.png")); }

TEST(UnusualImages, EveryColourTypeDepthAndInterlacingDrawsTheSameFrame)
{
    using broken::Encoding;
    const Encoding encodings[] = {Encoding::Gray8Interlaced, Encoding::Gray16,   Encoding::Gray4Interlaced,
                                  Encoding::GrayAlpha16,     Encoding::Palette8, Encoding::Palette4Interlaced,
                                  Encoding::Rgb16,           Encoding::Rgba16Interlaced};
    const size_t encodingCount = sizeof encodings / sizeof encodings[0];
    const std::vector<std::string> images = ScratchFolder::imageFiles();
    std::vector<RgbaImage> pictures;
    for (const std::string& image : images) {
        pictures.push_back(broken::greyLevels(testsupport::readPng(TARNVALE_SOURCE_DIR "/" + image)));
        ASSERT_FALSE(pictures.back().empty()) << image;
    }

    // The same pictures as plain 8-bit RGBA give the frame to match.
    RgbaImage expected;
    {
        ScratchFolder folder("rgba8");
        for (size_t i = 0; i < images.size(); ++i)
            ASSERT_TRUE(folder.write(images[i], broken::encode(pictures[i], Encoding::Rgba8)));
        const CaptureRun run = CaptureRun::run(folder.path(), captureArguments({"--out", "frame.png"}));
        ASSERT_TRUE(ranAllFrames(run));
        expected = frameOf(folder);
        ASSERT_FALSE(expected.empty());
    }

    for (size_t rotation = 0; rotation < encodingCount; ++rotation) {
        ScratchFolder folder("encodings-" + std::to_string(rotation));
        for (size_t i = 0; i < images.size(); ++i) {
            const Bytes png = broken::encode(pictures[i], encodings[(i + rotation) % encodingCount]);
            ASSERT_FALSE(png.empty()) << broken::encodingName(encodings[(i + rotation) % encodingCount]);
            ASSERT_TRUE(folder.write(images[i], png));
        }
        const CaptureRun run = CaptureRun::run(folder.path(), captureArguments({"--out", "frame.png"}));
        ASSERT_TRUE(ranAllFrames(run)) << "rotation " << rotation;
        for (const std::string& image : images)
            EXPECT_TRUE(run.errLinesWith(image).empty()) << "rotation " << rotation << ": " << run.err;
        const RgbaImage frame = frameOf(folder);
        ASSERT_EQ(frame.width, expected.width);
        ASSERT_EQ(frame.height, expected.height);
        size_t different = 0;
        for (size_t p = 0; p < frame.pixels.size(); ++p) different += frame.pixels[p] != expected.pixels[p];
        EXPECT_EQ(different, 0u) << "rotation " << rotation << ": the frame differs from the 8-bit RGBA one";
    }
}

TEST(UnusualImages, ExtremeShapesWithinTheLimitsLoad)
{
    ScratchFolder folder("shapes");
    const struct {
        const char* file;
        uint32_t width, height;
    } shapes[] = {
        {"res/1-ball.png", 1, 16384},
        {"res/2-ball.png", 16384, 1},
        {"res/3-ball.png", 1, 1},
        {"res/smallfonts128x128.png", 4, 16384},
    };
    for (const auto& shape : shapes) ASSERT_TRUE(folder.write(shape.file, solidImage(shape.width, shape.height)));
    const CaptureRun run = CaptureRun::run(folder.path(), captureArguments());
    ASSERT_TRUE(ranAllFrames(run));
    for (const auto& shape : shapes)
        EXPECT_TRUE(run.errLinesWith(shape.file).empty()) << shape.width << " x " << shape.height << ": " << run.err;
}

// ---- One image alone --------------------------------------------------------

struct Circle {
    double x, y, radius;
};

// Where a ball of the rack stands on screen, from its place in the world
// (the camera 1500 units in front of the rack, the projection's scale
// factors 1.344443 and 1.792591, a 1024 x 768 back buffer), with a margin
// for its outline.
Circle ballOnScreen(double worldX, double worldY)
{
    const double distance = 1500.0;
    const double sx = 1.344443 / distance * 512.0;
    const double sy = 1.792591 / distance * 384.0;
    return {512.0 + worldX * sx, 384.0 - worldY * sy, 100.0 * std::max(sx, sy) + 4.0};
}

struct Difference {
    size_t count = 0;
    size_t outside = 0;  // differing pixels outside the allowed region
};

template <typename Allowed>
Difference compare(const RgbaImage& a, const RgbaImage& b, Allowed allowed)
{
    Difference d;
    for (uint32_t y = 0; y < a.height; ++y)
        for (uint32_t x = 0; x < a.width; ++x)
            if (std::memcmp(a.at(x, y), b.at(x, y), 3) != 0) {
                ++d.count;
                if (!allowed(x, y)) ++d.outside;
            }
    return d;
}

TEST(OneBadImage, OnlyThatBallOrTheOverlayChanges)
{
    RgbaImage reference;
    {
        ScratchFolder folder("reference");
        const CaptureRun run = CaptureRun::run(folder.path(), captureArguments({"--out", "frame.png"}));
        ASSERT_TRUE(ranAllFrames(run));
        reference = frameOf(folder);
        ASSERT_EQ(reference.width, 1024u);
        ASSERT_EQ(reference.height, 768u);
    }

    // Ball 5 stands at (400, 350) in the rack.
    {
        ScratchFolder folder("ball-5");
        folder.remove("res/5-ball.png");
        const CaptureRun run = CaptureRun::run(folder.path(), captureArguments({"--out", "frame.png"}));
        ASSERT_TRUE(ranAllFrames(run));
        EXPECT_TRUE(named(run, "res/5-ball.png"));
        const Circle ball = ballOnScreen(400.0, 350.0);
        const Difference d = compare(reference, frameOf(folder), [&](uint32_t x, uint32_t y) {
            return std::hypot(x - ball.x, y - ball.y) <= ball.radius;
        });
        EXPECT_GT(d.count, 1000u) << "ball 5 looks the same without its image";
        EXPECT_EQ(d.outside, 0u) << "pixels changed away from ball 5";
    }

    // The font sheet: the labels lose their glyphs; no ball changes.
    {
        ScratchFolder folder("font");
        ASSERT_TRUE(folder.write("res/smallfonts128x128.png", broken::truncated(folder.read("res/smallfonts128x128.png"), 100)));
        const CaptureRun run = CaptureRun::run(folder.path(), captureArguments({"--out", "frame.png"}));
        ASSERT_TRUE(ranAllFrames(run));
        EXPECT_TRUE(named(run, "res/smallfonts128x128.png"));
        const Circle cue = ballOnScreen(0.0, -600.0);
        const Difference d = compare(reference, frameOf(folder), [&](uint32_t x, uint32_t y) {
            // The device label, near the bottom-left corner, clear of the cue ball.
            return y > 576 && x < cue.x - cue.radius;
        });
        EXPECT_GT(d.count, 0u) << "the device label looks the same without the font sheet";
        EXPECT_EQ(d.outside, 0u) << "pixels changed away from the device label";
    }
}

}  // namespace
