// Runs another program for a test: arguments, working folder and
// environment changes, a time limit, and what it wrote to stdout and stderr.
// Also the long-lived kind (a display server, a compositor) that a test
// starts, talks to, and stops.
#pragma once

#include <sys/types.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// How a child is started: `environment` entries are set ("NAME=value") or,
// as "NAME" alone, removed. `whileRunning`, when set, is called every few
// milliseconds while the child runs, until it returns true: a test acting on
// the running program.
struct ChildOptions {
    std::filesystem::path folder;            // empty: the test's own working folder
    std::vector<std::string> environment;
    double timeLimitSeconds = 90.0;
    std::function<bool()> whileRunning;
    // Where stdout and stderr go instead of into ChildRun::out and err: a
    // file to write ("/dev/full"), or "-" to start the child with the
    // stream closed.
    std::string standardOutput;
    std::string standardError;
    // The most bytes the child may write to a file, 0 for no limit; a write
    // beyond it fails (EFBIG) as on a full disk.
    long fileSizeLimit = 0;
};

struct ChildRun {
    bool started = false;    // fork/exec worked
    bool timedOut = false;   // killed at the time limit: a hang
    int exitStatus = -1;     // when it exited
    int signal = 0;          // when a signal ended it: a crash
    double seconds = 0.0;
    std::string out;
    std::string err;

    bool exitedWith(int status) const { return started && !timedOut && signal == 0 && exitStatus == status; }
    // A sanitizer's report in stderr; empty if there is none.
    std::string sanitizerReport() const;
    // The stderr lines that contain `text`.
    std::vector<std::string> errLinesWith(const std::string& text) const;
    // For failure messages: how it ended, stdout and the start of stderr.
    std::string describe() const;
};

// Runs `program` with `arguments` to its end (or the time limit).
ChildRun runChild(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                  const ChildOptions& options = {});

// A program left running in the background; stopped (SIGTERM, then SIGKILL)
// when the object goes. Its stdout and stderr go to a file of the test's.
class BackgroundChild {
public:
    BackgroundChild() = default;
    BackgroundChild(const BackgroundChild&) = delete;
    BackgroundChild& operator=(const BackgroundChild&) = delete;
    BackgroundChild(BackgroundChild&& other) noexcept;
    BackgroundChild& operator=(BackgroundChild&& other) noexcept;
    ~BackgroundChild() { stop(); }

    // Starts `program`; `extraFd`, when not -1, stays open in the child under
    // the same number (for a server that reports on a descriptor).
    bool start(const std::filesystem::path& program, const std::vector<std::string>& arguments,
               const ChildOptions& options = {}, int extraFd = -1);
    bool running();
    void stop();
    pid_t pid() const { return child; }
    // What it has written so far (stdout and stderr together).
    std::string output() const;

private:
    pid_t child = -1;
    std::filesystem::path log;
};

// The test that is running now, run again alone in a child process of this
// test binary with `environment` changes (ChildOptions::environment). In the
// child, isTestChild() is true: the test does there what needs a process of
// its own (another display, a process-wide start that fails) and exits.
ChildRun runThisTestInChild(const std::vector<std::string>& environment, double timeLimitSeconds = 60.0);
bool isTestChild();
// Such a run passed: it ran the one test, which passed. A skip in the child
// is a failure here.
::testing::AssertionResult passedInChild(const ChildRun& run);

// Finds `name` on PATH; empty when it is not there.
std::filesystem::path findProgram(const std::string& name);

// Polls `condition` every 10 ms until it holds or `limit` passes.
template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace testsupport
