// The running window names the program's desktop entry: on a real X server
// its WM_CLASS is the entry's StartupWMClass, so the desktop can match the
// window to the entry and show the entry's icon for it.
#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "support/DisplayServer.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using namespace testsupport;

TEST(DesktopIdentity, TheWindowsX11ClassIsTheDesktopEntrysStartupWMClass)
{
    // The desktop entry the build makes (and installs).
    std::string startupClass;
    for (const fs::directory_entry& entry : fs::directory_iterator(TARNVALE_BINARY_DIR "/data")) {
        if (entry.path().extension() != ".desktop") continue;
        std::ifstream file(entry.path());
        for (std::string line; std::getline(file, line);)
            if (line.rfind("StartupWMClass=", 0) == 0) startupClass = line.substr(15);
    }
    ASSERT_FALSE(startupClass.empty()) << "no desktop entry with StartupWMClass in " TARNVALE_BINARY_DIR "/data";

    XServer x;
    ASSERT_TRUE(x.start()) << x.error();
    BackgroundChild program;
    ASSERT_TRUE(program.start(TARNVALE_BINARY_DIR "/tools/tarnvale-capture",
                              {"--window", "--real-clock", "--frames", "100000"},
                              {.environment = {x.environment(), "SDL_VIDEODRIVER=x11", "SDL_VIDEO_X11_WMCLASS",
                                               "SDL_VIDEO_WAYLAND_WMCLASS"}}));
    const fs::path xprop = findProgram("xprop");
    ASSERT_FALSE(xprop.empty()) << "xprop is not installed (scripts/install-deps installs x11-utils)";
    ChildRun query;
    const bool found = waitFor(
        [&] {
            query = runChild(xprop, {"-display", x.display(), "-name", "Tarnvale", "WM_CLASS"}, {.timeLimitSeconds = 10});
            if (query.exitedWith(0) && query.out.find('"') != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            return false;
        },
        std::chrono::seconds(60));
    ASSERT_TRUE(found) << "no window titled Tarnvale: " << query.describe() << "\n" << program.output();
    EXPECT_EQ(query.out, "WM_CLASS(STRING) = \"" + startupClass + "\", \"" + startupClass + "\"\n");
}
