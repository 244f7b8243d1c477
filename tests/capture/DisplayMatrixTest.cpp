// The reference device on every kind of display, end to end through
// tarnvale-capture: each run must come up as "REF, Software Vertex
// Processing", show in its window exactly the frame it draws offscreen, and
// quit with status 0 on an Esc typed through the display server.
//
//   display (started by the test)            | checked besides
//   -----------------------------------------+---------------------------------------
//   display (started by the test)            | REF's frames go through | checked besides
//   -----------------------------------------+-------------------------+---------------------
//   none: SDL's offscreen driver             | (the window's EGL)      | the reference frame
//   none, GALLIUM_DRIVER=softpipe, or no EGL | (the software device)   | the same picture,
//   for the window                           |                         | within rounding
//   Xvfb with GLX                            | the window's GLX        |
//   Xvfb without GLX and without MIT-SHM     | plain XImages           | one line on stderr
//   (a minimal or remote server)             |                         | says why the window
//                                            |                         | has no OpenGL, and
//                                            |                         | nothing else does
//   Xvfb with GLX, GALLIUM_DRIVER=softpipe   | MIT-SHM XImages         | (a driver offering
//                                            |                         | OpenGL 3.3 only)
//   Xvfb with GLX, GALLIUM_DRIVER=zink (a    | MIT-SHM XImages         | one line on stderr
//   driver that fails with an X error)       |                         | says why
//   weston (x11 back end in Xvfb), Wayland   | the window's EGL, then  |
//   with llvmpipe, then with softpipe        | wl_shm buffers          |
//   Xvfb without GLX, the window resized,    | MIT-SHM XImages         | the frame stretched
//   unmapped, mapped and resized back        |                         | over the smaller
//                                            |                         | window, then exactly
//   Xvfb with and without GLX, ended during  | the window's GLX, or    | a failed run, saying
//   the run                                  | MIT-SHM XImages         | why
//
// Every path draws with the same software rasteriser and copies its 8-bit
// pixels unchanged, so a window shows exactly the frame drawn offscreen the
// same way: on the window's own llvmpipe, or on EGL's software device. A stretched frame is
// compared with a bilinear scaling of the reference, within 1 level (the
// rounding of the rasteriser's filter).
//
// Frames of 1/8 s (exact in binary) make every frame from the third second
// on the same, so the window and the offscreen run show one picture.
#include "support/CaptureRun.h"
#include "support/DisplayServer.h"
#include "support/PngFile.h"
#include "support/TempFolder.h"
#include "support/XUser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

const char* const deviceText = "REF, Software Vertex Processing";
const char* const halMessage = "Couldn't create HAL device, resorting to REF.";

std::vector<std::string> arguments(const fs::path& out, const char* frames)
{
    return {"--frames", frames, "--seed", "7", "--frame-time", "0.125", "--out", out.string()};
}

// Where `frame` lies in `screen`, pixel for pixel; (-1, -1) when nowhere.
std::pair<int, int> locate(const RgbaImage& screen, const RgbaImage& frame)
{
    if (screen.width < frame.width || screen.height < frame.height || frame.empty()) return {-1, -1};
    // Colourful pixels of the frame sort out most places at once.
    std::vector<std::pair<uint32_t, uint32_t>> probes;
    for (uint32_t y = 0; y < frame.height; y += 24)
        for (uint32_t x = 0; x < frame.width; x += 24)
            if (frame.at(x, y)[0] + frame.at(x, y)[1] + frame.at(x, y)[2] > 90) probes.emplace_back(x, y);
    const auto same = [](const uint8_t* a, const uint8_t* b) { return std::memcmp(a, b, 3) == 0; };
    for (uint32_t top = 0; top + frame.height <= screen.height; ++top) {
        for (uint32_t left = 0; left + frame.width <= screen.width; ++left) {
            bool match = true;
            for (const auto& [x, y] : probes)
                if (!(match = same(screen.at(left + x, top + y), frame.at(x, y)))) break;
            for (uint32_t y = 0; match && y < frame.height; ++y)
                for (uint32_t x = 0; match && x < frame.width; ++x)
                    match = same(screen.at(left + x, top + y), frame.at(x, y));
            if (match) return {static_cast<int>(left), static_cast<int>(top)};
        }
    }
    return {-1, -1};
}

// The frame scaled to width x height as a linear blit filters it.
RgbaImage stretched(const RgbaImage& frame, uint32_t width, uint32_t height)
{
    RgbaImage out;
    out.width = width;
    out.height = height;
    out.pixels.resize(size_t{width} * height * 4);
    const auto source = [&](uint32_t i, uint32_t from, uint32_t to, uint32_t& low, float& weight) {
        const float at = std::max(0.0f, (static_cast<float>(i) + 0.5f) * static_cast<float>(from) / to - 0.5f);
        low = std::min(static_cast<uint32_t>(at), from - 2);
        weight = std::min(at - static_cast<float>(low), 1.0f);
    };
    for (uint32_t y = 0; y < height; ++y) {
        uint32_t y0;
        float wy;
        source(y, frame.height, height, y0, wy);
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t x0;
            float wx;
            source(x, frame.width, width, x0, wx);
            for (int c = 0; c < 4; ++c) {
                const float top = frame.at(x0, y0)[c] * (1 - wx) + frame.at(x0 + 1, y0)[c] * wx;
                const float bottom = frame.at(x0, y0 + 1)[c] * (1 - wx) + frame.at(x0 + 1, y0 + 1)[c] * wx;
                out.pixels[(size_t{y} * width + x) * 4 + c] = static_cast<uint8_t>(std::lround(top * (1 - wy) + bottom * wy));
            }
        }
    }
    return out;
}

RgbaImage region(const RgbaImage& screen, std::pair<int, int> at, uint32_t width, uint32_t height)
{
    RgbaImage out;
    if (at.first < 0 || at.first + uint64_t{width} > screen.width || at.second + uint64_t{height} > screen.height)
        return out;
    out.width = width;
    out.height = height;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = screen.at(static_cast<uint32_t>(at.first), static_cast<uint32_t>(at.second) + y);
        out.pixels.insert(out.pixels.end(), row, row + size_t{width} * 4);
    }
    return out;
}

class DisplayMatrix : public ::testing::Test {
protected:
    // One step of a windowed run: an xdotool command sent through the
    // display server, then what the screen must come to show.
    struct Step {
        std::vector<std::string> command;
        std::function<bool(const RgbaImage&)> shows;
    };

    void SetUp() override { reference = offscreenFrame({}, "offscreen.png"); }

    // The frame of a run without a display, in `environment`.
    RgbaImage offscreenFrame(const std::vector<std::string>& environment, const char* name)
    {
        const CaptureRun offscreen = CaptureRun::run(arguments(folder / name, "24"), {{}, environment});
        EXPECT_TRUE(offscreen.exitedWith(0)) << offscreen.describe();
        EXPECT_EQ(offscreen.field("device"), expectedDevice);
        RgbaImage frame = readPng(folder / name);
        EXPECT_TRUE(frame.error.empty()) << frame.error;
        return frame;
    }

    // Where the window's own OpenGL is not llvmpipe, REF draws on EGL's
    // software device: the frame it shows is that of a run without a display
    // whose window has no OpenGL (SDL finds no EGL library for it).
    RgbaImage softwareDeviceFrame()
    {
        return offscreenFrame({"SDL_VIDEO_EGL_DRIVER=/nonexistent/libEGL.so.1"}, "software-device.png");
    }

    bool startX(bool glx, bool sharedMemory = true)
    {
        XServer::Options options;
        options.glx = glx;
        if (!sharedMemory) options.extraArguments = {"-extension", "MIT-SHM"};
        if (!x.start(options)) ADD_FAILURE() << x.error();
        return !x.display().empty();
    }

    // Runs the tool in a window on the X server `x` (directly, or through a
    // compositor shown on it) until every step has come to pass, then types
    // Esc until it quits; checks what every windowed run must show.
    CaptureRun runWindowed(std::vector<std::string> environment, std::vector<Step> steps = {})
    {
        steps.insert(steps.begin(), Step{{"mousemove", "0", "0"}, [this](const RgbaImage& screen) {
                                              return (at = locate(screen, reference)).first >= 0;
                                          }});
        size_t next = 0;
        bool sent = false;  // the command of step `next`
        auto lastLook = std::chrono::steady_clock::now();
        const auto giveUp = lastLook + std::chrono::seconds(60);
        const auto act = [&] {
            const auto now = std::chrono::steady_clock::now();
            if (now - lastLook < std::chrono::milliseconds(250)) return false;
            lastLook = now;
            if (next == steps.size() || now > giveUp) {
                xdotool({"key", "Escape"});  // again, until the program is gone
                return false;
            }
            if (!sent) xdotool(steps[next].command);
            sent = true;
            if (steps[next].shows(screenOf(x.display()))) {
                ++next;
                sent = false;
            }
            return false;
        };
        const ChildOptions options{{}, environment, 120.0, act};
        std::vector<std::string> windowed = arguments(folder / "window.png", "100000");
        windowed.push_back("--window");
        const CaptureRun run = CaptureRun::run(windowed, options);
        EXPECT_EQ(next, steps.size()) << "the screen never showed what step " << next << " expects";
        EXPECT_TRUE(run.exitedWith(0)) << run.describe();
        EXPECT_EQ(run.field("exit"), "quit");
        EXPECT_EQ(run.field("device"), expectedDevice);
        EXPECT_EQ(run.sanitizerReport(), "");
        // The last frame, read back, is the one on the screen (unless input
        // has changed it since).
        if (lastFrameIsReference) {
            const ImageDifference backBuffer = compareImages(readPng(folder / "window.png"), reference);
            EXPECT_TRUE(backBuffer.sameSize && backBuffer.differingPixels == 0)
                << backBuffer.differingPixels << " pixels of the last frame differ from the offscreen one";
        }
        return run;
    }

    void xdotool(const std::vector<std::string>& command)
    {
        runChild("xdotool", command, ChildOptions{{}, {x.environment()}, 10.0});
    }

    std::vector<std::string> onX() const { return {x.environment(), "SDL_VIDEODRIVER=x11", "WAYLAND_DISPLAY"}; }

    // `environment` for a run that starts Mesa's zink: Vulkan's window system
    // wants a runtime folder, and zink in Mesa 22.3 leaves 80 bytes of its own
    // unfreed at exit, so a sanitizer build checks everything but leaks there
    // (the same code runs leak-checked on the other drivers).
    std::vector<std::string> withZink(std::vector<std::string> environment) const
    {
        environment.push_back("XDG_RUNTIME_DIR=" + folder.path().string());
        if (const char* options = std::getenv("ASAN_OPTIONS"))
            environment.push_back(std::string("ASAN_OPTIONS=") + options + ":detect_leaks=0");
        return environment;
    }

    TempFolder folder{"display"};
    std::string expectedDevice = deviceText;
    bool lastFrameIsReference = true;
    RgbaImage reference;
    XServer x;
    std::pair<int, int> at{-1, -1};  // where the window showed the frame
};

TEST_F(DisplayMatrix, OffscreenIsTheReference)
{
    // SetUp ran it: REF, status 0, a frame.
    EXPECT_EQ(reference.width, 1024u);
    // The two ways REF draws give the same picture; llvmpipe rounds a
    // colour a level or two differently here and there when it draws
    // straight into the window's framebuffer rather than into a framebuffer
    // object of its own.
    const RgbaImage softwareDevice = softwareDeviceFrame();
    const ImageDifference difference = compareImages(softwareDevice, reference);
    EXPECT_TRUE(difference.sameSize);
    EXPECT_LE(difference.largest, 2);
    EXPECT_LE(difference.differingPixels, 400u);
    // SDL's offscreen window on softpipe (OpenGL 3.3 only), which opened
    // the software device's display first: REF starts llvmpipe all the same.
    const ImageDifference softpipe = compareImages(offscreenFrame({"GALLIUM_DRIVER=softpipe"}, "softpipe.png"), softwareDevice);
    EXPECT_TRUE(softpipe.sameSize && softpipe.differingPixels == 0) << softpipe.differingPixels << " pixels differ";
    // Mesa's loader told to load another driver (zink, which finds no Vulkan
    // device for the window): REF's software device loads llvmpipe anyway.
    const ImageDifference zink = compareImages(
        offscreenFrame(withZink({"MESA_LOADER_DRIVER_OVERRIDE=zink"}), "zink.png"),
        softwareDevice);
    EXPECT_TRUE(zink.sameSize && zink.differingPixels == 0) << zink.differingPixels << " pixels differ";
}

TEST_F(DisplayMatrix, XServerWithGlx)
{
    ASSERT_TRUE(startX(true));
    runWindowed(onX());
}

TEST_F(DisplayMatrix, XServerWithoutGlxOrSharedMemorySaysWhyOnceAndRuns)
{
    ASSERT_TRUE(startX(false, false));
    reference = softwareDeviceFrame();
    const CaptureRun run = runWindowed(onX());
    std::vector<std::string> lines;
    for (const std::string& line : run.errLinesWith(""))
        if (line.find(halMessage) == std::string::npos) lines.push_back(line);
    ASSERT_EQ(lines.size(), 1u) << run.err;
    EXPECT_NE(lines[0].find("no OpenGL"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("GLX"), std::string::npos) << lines[0];
}

TEST_F(DisplayMatrix, DriverWithOnlyOpenGl33)
{
    ASSERT_TRUE(startX(true));
    std::vector<std::string> environment = onX();
    environment.push_back("GALLIUM_DRIVER=softpipe");
    reference = softwareDeviceFrame();
    const CaptureRun run = runWindowed(environment);
    EXPECT_TRUE(run.errLinesWith("OpenGL 4.5").empty()) << run.err;
}

// A GL driver that cannot start on the display answers the window's
// creation with an X error (zink without a Vulkan device for it): the window
// is made without OpenGL, with one line saying why, and REF shows its frames
// through the software device.
TEST_F(DisplayMatrix, DriverFailingOnTheDisplayLeavesAWindowWithoutOpenGl)
{
    ASSERT_TRUE(startX(true));
    std::vector<std::string> environment = withZink(onX());
    environment.push_back("GALLIUM_DRIVER=zink");
    reference = softwareDeviceFrame();
    const CaptureRun run = runWindowed(environment);
    EXPECT_EQ(run.errLinesWith("its OpenGL failed: X error").size(), 1u) << run.err;
}

TEST_F(DisplayMatrix, WaylandCompositor)
{
    ASSERT_TRUE(startX(true));
    WaylandCompositor weston;
    ASSERT_TRUE(weston.start(x)) << weston.error();
    // Without libdecor (weston draws no decorations, and libdecor finds no
    // plugin here anyway), whose frames SDL 2.26 does not free at exit.
    std::vector<std::string> environment = weston.environment();
    environment.push_back("SDL_VIDEO_WAYLAND_ALLOW_LIBDECOR=0");
    runWindowed(environment);
    // A window whose EGL offers no OpenGL 4.5: shared-memory buffers.
    environment.push_back("GALLIUM_DRIVER=softpipe");
    reference = softwareDeviceFrame();
    runWindowed(environment);
}

TEST_F(DisplayMatrix, ResizedMinimisedAndRestoredWindowKeepsPresenting)
{
    ASSERT_TRUE(startX(false));
    reference = softwareDeviceFrame();
    const auto window = [](std::vector<std::string> command) {
        command.insert(command.begin(), {"search", "--name", "^Tarnvale$"});
        return command;
    };
    const auto showsStretched = [this](const RgbaImage& screen) {
        const ImageDifference difference = compareImages(region(screen, at, 640, 480), stretched(reference, 640, 480));
        return difference.sameSize && difference.largest <= 1;
    };
    const auto showsFrame = [this](const RgbaImage& screen) {
        const ImageDifference difference = compareImages(region(screen, at, 1024, 768), reference);
        return difference.sameSize && difference.differingPixels == 0;
    };
    runWindowed(onX(), {{window({"windowsize", "%1", "640", "480"}), showsStretched},
                        {window({"windowunmap", "%1"}), [&](const RgbaImage& screen) { return !showsStretched(screen); }},
                        {window({"windowmap", "%1"}), showsStretched},
                        {window({"windowsize", "%1", "1024", "768"}), showsFrame},
                        // Unmapping took the focus away; Esc must reach the window.
                        {window({"windowfocus", "%1"}), showsFrame}});
}

// The hardware device on OpenGL implementations besides the reference
// rasteriser's OpenGL 4.5, each taken as HAL whatever its renderer:
//
//   path          implementation                          display
//   --------------+---------------------------------------+-----------------
//   OpenGL 4.5    zink on lavapipe (OpenGL over Vulkan)   Xvfb with GLX
//   OpenGL 3.3    llvmpipe limited to 3.3 core            none (offscreen)
//   OpenGL ES 3.0 llvmpipe, desktop GL below 3.3          none, and Xvfb
//
// Each comes up as HAL, says nothing through GL's debug output, and draws
// the 6th frame of seed 424242 as REF does, within the GPU check's frame
// comparison (another rasteriser may round edges and filtering otherwise);
// in a window the program takes a drag and an Esc typed on the server.
class HalPaths : public DisplayMatrix {
protected:
    static constexpr const char* halDevice = "HAL, Hardware Vertex Processing (Pure Device)";

    void SetUp() override
    {
        const CaptureRun run = CaptureRun::run(rackArguments(folder / "ref.png"), {{}, {}});
        ASSERT_TRUE(run.exitedWith(0)) << run.describe();
        ASSERT_EQ(run.field("device"), deviceText);
        expectedDevice = halDevice;
    }

    static std::vector<std::string> rackArguments(const fs::path& out)
    {
        return {"--frames", "6", "--seed", "424242", "--out", out.string()};
    }
    static std::vector<std::string> forced(std::vector<std::string> environment)
    {
        environment.insert(environment.end(), {"TARNVALE_D3D9_FORCE_HAL=1", "TARNVALE_GL_DEBUG=1"});
        return environment;
    }

    // The rack on `environment`'s path, compared with REF's.
    void expectTheRack(const std::vector<std::string>& environment, bool window)
    {
        std::vector<std::string> arguments = rackArguments(folder / "hal.png");
        if (window) arguments.push_back("--window");
        const CaptureRun run = CaptureRun::run(arguments, {{}, forced(environment)});
        ASSERT_TRUE(run.exitedWith(0)) << run.describe();
        EXPECT_EQ(run.field("device"), halDevice);
        EXPECT_TRUE(run.errLinesWith("GL ").empty()) << run.err;
        const testsupport::ChildRun compared = testsupport::runChild(
            TARNVALE_SOURCE_DIR "/scripts/gpu-check",
            {"compare", (folder / "ref.png").string(), (folder / "hal.png").string()},
            {{}, {"TARNVALE_BUILD=" TARNVALE_BINARY_DIR}});
        EXPECT_TRUE(compared.exitedWith(0)) << compared.describe();
    }
};

TEST_F(HalPaths, ZinkOnLavapipeInAnXWindow)
{
    ASSERT_TRUE(startX(true));
    std::vector<std::string> environment = withZink(onX());
    environment.insert(environment.end(), {"LIBGL_ALWAYS_SOFTWARE=1", "GALLIUM_DRIVER=zink"});
    expectTheRack(environment, true);
}

TEST_F(HalPaths, OpenGl33Core)
{
    expectTheRack({"MESA_GL_VERSION_OVERRIDE=3.3"}, false);
}

TEST_F(HalPaths, OpenGlEs30OffscreenAndInAWindowWithADragAndEsc)
{
    const std::vector<std::string> es = {"MESA_GL_VERSION_OVERRIDE=3.0", "MESA_GLES_VERSION_OVERRIDE=3.0"};
    expectTheRack(es, false);

    // In a window: the frame it draws offscreen, then, after a drag typed on
    // the server, another picture (the rack turned), and Esc.
    reference = offscreenFrame(forced(es), "es-offscreen.png");
    ASSERT_TRUE(startX(true));
    std::vector<std::string> environment = forced(onX());
    environment.insert(environment.end(), es.begin(), es.end());
    lastFrameIsReference = false;
    const auto turned = [this](const RgbaImage& screen) {
        const ImageDifference difference = compareImages(region(screen, at, 1024, 768), reference);
        return difference.sameSize && difference.differingPixels > 10000;
    };
    const CaptureRun run = runWindowed(
        environment, {{{"search", "--name", "^Tarnvale$", "mousemove", "--window", "%1", "512", "384", "mousedown", "1",
                        "mousemove", "--window", "%1", "602", "384", "mouseup", "1"},
                       turned}});
    EXPECT_TRUE(run.errLinesWith("GL ").empty()) << run.err;
}

// The X server going away during a windowed run (killed, or the session
// ending), whichever way the frames reach it: the run ends in order as a
// failure, its summary saying why, and the screenshots written before stay.
TEST(DisplayLost, TheXServerEndingEndsTheRunAsAFailure)
{
    for (const bool glx : {true, false}) {
        TempFolder folder{"display-lost"};
        XServer x;
        XServer::Options options;
        options.glx = glx;
        ASSERT_TRUE(x.start(options)) << x.error();
        const std::string display = x.display();
        const fs::path written = folder / "frame-2.png";  // --every 2: after the second frame
        const ChildOptions child{{}, {x.environment(), "SDL_VIDEODRIVER=x11", "WAYLAND_DISPLAY"}, 90.0, [&] {
                                     if (!fs::exists(written)) return false;
                                     x.stop();
                                     return true;
                                 }};
        const CaptureRun run = CaptureRun::run(
            {"--window", "--frames", "1000000", "--out", (folder / "frame.png").string(), "--every", "2"}, child);
        EXPECT_TRUE(run.exitedWith(1)) << "GLX " << glx << ": " << run.describe();
        EXPECT_EQ(run.field("exit"), "failed") << run.out;
        EXPECT_NE(run.field("error").find("connection to the X server of display " + display + " was lost"),
                  std::string::npos)
            << run.out;
        EXPECT_GE(run.summary().value("frames", 0), 2) << run.out;
        EXPECT_EQ(run.sanitizerReport(), "");
        EXPECT_EQ(readPng(written).width, 1024u);
    }
}

}  // namespace
