// Machines the demo cannot run on, end to end through tarnvale-capture.
// (A display without OpenGL, or with a driver older than OpenGL 4.5, still
// gets the reference device: see tests/capture/DisplayMatrixTest.cpp.)
//
// Expected behaviour
//
//   environment                                  | expected
//   ---------------------------------------------+-------------------------------------------
//   SDL_VIDEODRIVER names a driver that does not | no window: a message naming the driver,
//   exist (--window, so the tool keeps it)       | the device set-up's "Couldn't create even
//   SDL_VIDEODRIVER=x11 with a DISPLAY where no  | a REF device" report, exit status 1, no
//   X server listens                             | frame
//   ---------------------------------------------+-------------------------------------------
//   no software rasteriser: EGL finds no vendor  | no device: a message naming the missing
//   library (__EGL_VENDOR_LIBRARY_FILENAMES      | software rasteriser, the device set-up's
//   naming nothing)                              | report, exit status 1, no frame
//   ---------------------------------------------+-------------------------------------------
//   Mesa itself limited to OpenGL 3.3 core       | no device: a message that OpenGL 4.5 core
//   (MESA_GL_VERSION_OVERRIDE=3.3,               | is needed naming the override, the device
//   MESA_GLSL_VERSION_OVERRIDE=330)              | set-up's report, exit status 1, no frame
//   the same override naming 4.5 instead         | runs (shows that it is the version that
//                                                | the override takes away)
//
// Never a crash, a hang or a sanitizer report.
#include "BadInputChecks.h"
#include "ScratchFolder.h"

#include <sys/stat.h>

using namespace badinput;

namespace {

const char* const noDeviceReport = "Couldn't create even a REF device";

// A display number with no X server behind it.
std::string deadDisplay()
{
    for (int number = 9731;; ++number) {
        struct stat info;
        if (::stat(("/tmp/.X11-unix/X" + std::to_string(number)).c_str(), &info) != 0)
            return ":" + std::to_string(number);
    }
}

TEST(NoDisplay, AVideoDriverThatCannotStartEndsTheStart)
{
    ScratchFolder folder("no-driver");
    const CaptureRun run =
        CaptureRun::run(folder.path(), captureArguments({"--window"}), {"SDL_VIDEODRIVER=no-such-driver"});
    ASSERT_TRUE(failedToStart(run));
    EXPECT_FALSE(run.errLinesWith("no-such-driver").empty()) << run.err;
    EXPECT_FALSE(run.errLinesWith(noDeviceReport).empty()) << run.err;
}

TEST(NoDisplay, AnX11DisplayThatDoesNotAnswerEndsTheStart)
{
    ScratchFolder folder("dead-display");
    const CaptureRun run = CaptureRun::run(folder.path(), captureArguments({"--window"}),
                                           {"SDL_VIDEODRIVER=x11", "DISPLAY=" + deadDisplay(), "WAYLAND_DISPLAY"});
    ASSERT_TRUE(failedToStart(run));
    EXPECT_FALSE(run.errLinesWith("x11").empty()) << run.err;
    EXPECT_FALSE(run.errLinesWith(noDeviceReport).empty()) << run.err;
}

TEST(NoSoftwareRasteriser, NoEglVendorIsNoDevice)
{
    ScratchFolder folder("no-egl");
    const CaptureRun run =
        CaptureRun::run(folder.path(), captureArguments(), {"__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent/egl.json"});
    ASSERT_TRUE(failedToStart(run));
    EXPECT_FALSE(run.errLinesWith("no software rasteriser").empty()) << run.err;
    EXPECT_FALSE(run.errLinesWith(noDeviceReport).empty()) << run.err;
}

TEST(NoOpenGl45, MesaLimitedToAnOlderVersionIsNoDevice)
{
    ScratchFolder folder("gl33");
    const CaptureRun limited = CaptureRun::run(folder.path(), captureArguments(),
                                               {"MESA_GL_VERSION_OVERRIDE=3.3", "MESA_GLSL_VERSION_OVERRIDE=330"});
    ASSERT_TRUE(failedToStart(limited));
    EXPECT_FALSE(limited.errLinesWith("OpenGL 4.5").empty()) << limited.err;
    EXPECT_FALSE(limited.errLinesWith("MESA_GL_VERSION_OVERRIDE=3.3").empty()) << limited.err;
    EXPECT_FALSE(limited.errLinesWith(noDeviceReport).empty()) << limited.err;

    const CaptureRun full = CaptureRun::run(folder.path(), captureArguments(),
                                            {"MESA_GL_VERSION_OVERRIDE=4.5", "MESA_GLSL_VERSION_OVERRIDE=450"});
    EXPECT_TRUE(ranAllFrames(full));
}

}  // namespace
