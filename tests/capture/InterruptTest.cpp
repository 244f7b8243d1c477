// Ctrl+C during a long capture run: the run stops in order after the frame
// being drawn, writes the screenshot of the frames done, says so in its
// summary and exits 130 (SIGTERM the same, 143). On a terminal a progress line counts the frames
// while the run goes on; with stderr in a file nothing of it appears. A
// signal ignored when the tool starts stays ignored.
#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "support/PngFile.h"
#include "support/TempFolder.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const char* const totalFrames = "1000000";

struct InterruptedRun {
    int status = -1;         // exit status; -1 when it did not exit by itself
    std::string terminal;    // what it wrote to its terminal (stderr on a terminal)
    std::string stderrFile;  // what it wrote to stderr otherwise
    nlohmann::json summary;
    fs::path screenshot;
};

std::string readAll(const fs::path& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Reads the terminal until `text` appears (or, with empty text, the end),
// for at most `limit`.
bool readTerminalUntil(int master, std::string& into, const std::string& text, std::chrono::seconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (!text.empty() && into.find(text) != std::string::npos) return true;
        pollfd wait{master, POLLIN, 0};
        if (poll(&wait, 1, 100) != 1) continue;
        char buffer[4096];
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) return text.empty();  // EIO: the terminal's last user is gone
        into.append(buffer, static_cast<size_t>(got));
    }
    return false;
}

// Whether `signal` is in one of the signal masks of /proc/<pid>/status:
// "SigCgt:" caught (its handler is in place), "ShdPnd:" sent to the process
// and not yet delivered.
bool inSignalMask(pid_t pid, const std::string& mask, int signal)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(mask, 0) == 0) return (std::stoull(line.substr(mask.size()), nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

bool catchesSignal(pid_t pid, int signal) { return inSignalMask(pid, "SigCgt:", signal); }

// Runs the capture tool for far more frames than the test waits for, with
// stdout in a file and stderr on a terminal (or in a file), then interrupts
// it: with Ctrl+C typed on the terminal once the progress line shows, or
// with `signal` once it catches it. Started with `ignored` ignored (as a
// script's background job starts with SIGINT ignored), the tool is sent
// that one first, once the progress line shows, then `signal` after it has
// been delivered or discarded.
InterruptedRun interruptCapture(const fs::path& dir, bool onTerminal, int signal = SIGINT, int ignored = 0)
{
    InterruptedRun result;
    result.screenshot = dir / "shot.png";
    const fs::path out = dir / "summary.json", err = dir / "stderr.txt";
    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child == 0) {
        if (ignored != 0) ::signal(ignored, SIG_IGN);
        const int summary = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(summary, STDOUT_FILENO);
        if (!onTerminal) {
            const int errors = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(errors, STDERR_FILENO);
        }
        execl(TARNVALE_BINARY_DIR "/tools/tarnvale-capture", "tarnvale-capture", "--frames", totalFrames, "--out",
              result.screenshot.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (child < 0) return result;

    if (onTerminal) {
        if (!readTerminalUntil(master, result.terminal, std::string("of ") + totalFrames, std::chrono::seconds(90))) {
        } else if (ignored == 0) {
            (void)!write(master, "\x03", 1);  // Ctrl+C, as typed
        } else {
            kill(child, ignored);
            testsupport::waitFor([&] { return !inSignalMask(child, "ShdPnd:", ignored); }, std::chrono::seconds(30));
            kill(child, signal);
        }
    } else {
        if (testsupport::waitFor([&] { return catchesSignal(child, signal); }, std::chrono::seconds(30)))
            kill(child, signal);
    }
    readTerminalUntil(master, result.terminal, "", std::chrono::seconds(60));
    int raw = 0;
    if (!testsupport::waitFor([&] { return waitpid(child, &raw, WNOHANG) != 0; }, std::chrono::seconds(30))) {
        kill(child, SIGKILL);  // still running: the interrupt did not stop it
        waitpid(child, &raw, 0);
    } else if (WIFEXITED(raw)) {
        result.status = WEXITSTATUS(raw);
    }
    close(master);
    result.stderrFile = readAll(err);
    result.summary = nlohmann::json::parse(readAll(out), nullptr, false);
    return result;
}

void expectStoppedInOrder(const InterruptedRun& run, int signal = SIGINT)
{
    EXPECT_EQ(run.status, 128 + signal) << run.terminal << run.stderrFile;
    ASSERT_TRUE(run.summary.is_object()) << run.terminal << run.stderrFile;
    EXPECT_EQ(run.summary.value("exit", ""), signal == SIGTERM ? "terminated" : "interrupted");
    const uint64_t frames = run.summary.value("frames", uint64_t{0});
    EXPECT_GE(frames, 1u);
    EXPECT_LT(frames, 1000000u);
    const testsupport::RgbaImage shot = testsupport::readPng(run.screenshot);
    EXPECT_EQ(shot.width, 1024u) << shot.error;
    EXPECT_EQ(shot.height, 768u);
}

}  // namespace

TEST(CaptureInterrupt, CtrlCStopsTheRunInOrderAndTheProgressLineShowsOnlyOnATerminal)
{
    const testsupport::TempFolder folder("interrupt");
    const fs::path& dir = folder.path();
    ASSERT_FALSE(dir.empty());

    const InterruptedRun typed = interruptCapture(dir, true);
    expectStoppedInOrder(typed);
    EXPECT_NE(typed.terminal.find("tarnvale-capture: frame "), std::string::npos) << typed.terminal;

    const InterruptedRun signalled = interruptCapture(dir, false);
    expectStoppedInOrder(signalled);
    EXPECT_EQ(signalled.stderrFile.find("tarnvale-capture: frame"), std::string::npos) << signalled.stderrFile;

    // SIGTERM (a session ending, a service stopped) stops it in the same
    // order and says so: not a quit, and not a success.
    expectStoppedInOrder(interruptCapture(dir, false, SIGTERM), SIGTERM);
}

// A stop signal the tool was started with ignored (a background job of a
// script, nohup) stays ignored: the run goes on past it, and the other one
// still stops it in order.
TEST(CaptureInterrupt, ASignalIgnoredAtStartStaysIgnored)
{
    const testsupport::TempFolder folder("interrupt-ignored");
    ASSERT_FALSE(folder.path().empty());
    expectStoppedInOrder(interruptCapture(folder.path(), true, SIGTERM, SIGINT), SIGTERM);
    expectStoppedInOrder(interruptCapture(folder.path(), true, SIGINT, SIGTERM), SIGINT);
}
