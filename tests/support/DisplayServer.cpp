#include "DisplayServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace fs = std::filesystem;

namespace testsupport {

namespace {

// True once something accepts connections on the Unix socket at `path`.
bool accepts(const std::string& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

}  // namespace

bool XServer::start(const Options& options)
{
    stop();
    const fs::path xvfb = findProgram("Xvfb");
    if (xvfb.empty()) {
        problem = "Xvfb is not installed (scripts/install-deps installs it)";
        return false;
    }
    // Xvfb picks a free display and writes its number to the pipe.
    int fds[2];
    if (::pipe(fds) != 0) {
        problem = "no pipe";
        return false;
    }
    std::vector<std::string> arguments = {"-displayfd", std::to_string(fds[1]), "-screen", "0",
                                          std::to_string(options.width) + "x" + std::to_string(options.height) + "x24",
                                          "-nolisten", "tcp", "-noreset"};
    if (!options.glx) {
        arguments.push_back("-extension");
        arguments.push_back("GLX");
    }
    arguments.insert(arguments.end(), options.extraArguments.begin(), options.extraArguments.end());
    const bool started = server.start(xvfb, arguments, ChildOptions{}, fds[1]);
    ::close(fds[1]);
    std::string number;
    if (started) {
        pollfd wait{fds[0], POLLIN, 0};
        char c = 0;
        while (::poll(&wait, 1, 10000) == 1 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    }
    ::close(fds[0]);
    if (number.empty()) {
        problem = "Xvfb did not come up: " + server.output();
        server.stop();
        return false;
    }
    name = ":" + number;
    return true;
}

void XServer::stop()
{
    server.stop();
    name.clear();
}

bool onOwnXServer(const XServer::Options& options)
{
    if (isTestChild()) return true;
    XServer server;
    if (!server.start(options)) {
        ADD_FAILURE() << server.error();
        return false;
    }
    EXPECT_TRUE(passedInChild(runThisTestInChild({server.environment(), "SDL_VIDEODRIVER=x11"})));
    return false;
}

bool WaylandCompositor::start(const XServer& host, int width, int height)
{
    stop();
    const fs::path weston = findProgram("weston");
    if (weston.empty()) {
        problem = "weston is not installed (scripts/install-deps installs it)";
        return false;
    }
    if (host.display().empty()) {
        problem = "no X server to run weston on";
        return false;
    }
    // A runtime folder of its own (the compositor's socket lives there).
    char folder[] = "/tmp/tarnvale-wayland-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        problem = "no runtime folder";
        return false;
    }
    runtimeFolder = folder;
    ::chmod(folder, 0700);
    socket = "wayland-tarnvale";
    const std::vector<std::string> arguments = {"--backend=x11-backend.so", "--use-pixman", "--socket=" + socket,
                                                "--width=" + std::to_string(width),
                                                "--height=" + std::to_string(height), "--idle-time=0",
                                                "--no-config"};
    ChildOptions options;
    options.environment = {host.environment(), "XDG_RUNTIME_DIR=" + runtimeFolder.string(), "WAYLAND_DISPLAY"};
    if (!server.start(weston, arguments, options)) {
        problem = "weston did not start";
        return false;
    }
    const std::string path = (runtimeFolder / socket).string();
    if (!waitFor([&] { return accepts(path) || !server.running(); }, std::chrono::seconds(15)) ||
        !server.running()) {
        problem = "weston did not come up: " + server.output();
        stop();
        return false;
    }
    return true;
}

void WaylandCompositor::stop()
{
    server.stop();
    if (!runtimeFolder.empty()) {
        std::error_code ignored;
        fs::remove_all(runtimeFolder, ignored);
        runtimeFolder.clear();
    }
}

std::vector<std::string> WaylandCompositor::environment() const
{
    return {"XDG_RUNTIME_DIR=" + runtimeFolder.string(), "WAYLAND_DISPLAY=" + socket, "SDL_VIDEODRIVER=wayland"};
}

}  // namespace testsupport
