#pragma once

#include <chrono>
#include <cstdint>

// Ctrl+C (SIGINT) and SIGTERM: the first asks the run to stop after the
// frame being drawn (the tool then writes what its options ask for and exits
// 128 + the signal's number: 130, 143); a second one ends the process at
// once, as it would without the handler, after removing the PNG file being
// written. A signal the tool was started with ignored stays ignored.
// Installed before SDL starts, which then leaves both signals alone.
void catchStopSignals();
// The signal that asked the run to stop; 0 while none has.
int stopSignal();

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
