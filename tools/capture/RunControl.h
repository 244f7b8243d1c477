#pragma once

#include <chrono>
#include <cstdint>

// Ctrl+C: the first SIGINT asks the run to stop after the frame being drawn
// (the tool then writes what its options ask for and exits 130); a second
// one ends the process at once, as it would without the handler. Installed
// before SDL starts, which then leaves SIGINT alone.
void catchInterrupt();
bool interruptRequested();

// A one-line count of the frames done on stderr, rewritten in place: shown
// only when stderr is a terminal and once the run has lasted two seconds, so
// short runs and logs stay clean.
class ProgressLine {
public:
    void start(uint64_t totalFrames);
    void update(uint64_t framesDone);
    // Erases the line, if one was shown.
    void finish();

private:
    typedef std::chrono::steady_clock Clock;
    bool enabled = false;
    bool shown = false;
    uint64_t total = 0;
    Clock::time_point started;
    Clock::time_point lastShown;
};
