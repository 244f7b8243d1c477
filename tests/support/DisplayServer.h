// Display servers a test starts for itself: a virtual X server (Xvfb), with
// or without GLX, and a Wayland compositor (weston) running as a window on
// one. Each picks a free display or socket name, so tests may run side by
// side, and goes away with its object. A test that needs one fails when it
// does not come up; the servers are part of the project's dependencies.
#pragma once

#include "ChildProcess.h"

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

class XServer {
public:
    struct Options {
        int width = 1280;
        int height = 1024;
        bool glx = true;                   // false: -extension GLX
        std::vector<std::string> extraArguments;
    };

    XServer() = default;
    ~XServer() { stop(); }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // Starts Xvfb and waits until it takes connections; false (with
    // `error()` saying why) when it does not come up within ten seconds.
    bool start(const Options& options);
    bool start() { return start(Options{}); }
    void stop();

    // ":N"
    const std::string& display() const { return name; }
    // "DISPLAY=:N", for ChildOptions::environment.
    std::string environment() const { return "DISPLAY=" + name; }
    const std::string& error() const { return problem; }

private:
    BackgroundChild server;
    std::string name;
    std::string problem;
};

// For a test that needs real X11 windows. In the test's own process it
// starts an X server, runs this same test again in a child process on it
// (DISPLAY set, SDL's x11 driver), fails the test when the server does not
// come up or the child does not pass, and returns false: the test then
// returns. In that child it returns true, and the test goes on.
bool onOwnXServer(const XServer::Options& options = {});

// weston with its X11 back end, as a window on an XServer of the test's:
// a compositor with a seat (keyboard and pointer), unlike weston's headless
// back end.
class WaylandCompositor {
public:
    WaylandCompositor() = default;
    ~WaylandCompositor() { stop(); }
    WaylandCompositor(const WaylandCompositor&) = delete;
    WaylandCompositor& operator=(const WaylandCompositor&) = delete;

    bool start(const XServer& host, int width = 1280, int height = 1024);
    void stop();

    // The environment a client needs: XDG_RUNTIME_DIR, WAYLAND_DISPLAY, and
    // SDL_VIDEODRIVER=wayland.
    std::vector<std::string> environment() const;
    const std::string& error() const { return problem; }

private:
    BackgroundChild server;
    std::filesystem::path runtimeFolder;
    std::string socket;
    std::string problem;
};

}  // namespace testsupport
