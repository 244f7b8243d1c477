#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// One window message the tool posts into the program's queue after a given
// number of frames (0: before the first frame).
struct ScriptedMessage {
    uint64_t afterFrame;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// The command line of tarnvale-capture.
struct CaptureOptions {
    uint64_t frames = 3;
    int64_t seed = 1;                    // first reading of the scripted clock
    int64_t frameTimeNs = 16666667;      // scripted clock step per frame (1/60 s)
    bool realClock = false;
    bool window = false;
    bool debug = false;
    bool help = false;
    bool version = false;
    std::string out;                     // PNG of the last frame; empty: none
    uint64_t every = 0;                  // also every K-th frame; 0: none
    std::vector<ScriptedMessage> messages;  // ordered by afterFrame, then command line
};

// Parses argv[1..argc-1]. On a usage error returns false with a one-line
// reason in error.
bool parseCaptureOptions(int argc, const char* const* argv, CaptureOptions& options, std::string& error);

// Frames the run may add after --frames N (or after the last scripted
// message) while the program still has scripted input to handle; a queue
// that never drains (a user moving the mouse in --window mode) ends there.
const uint64_t extraFramesForInput = 1000;

// The most frames a run with these options can take.
uint64_t maxRunFrames(const CaptureOptions& options);

// The usage text.
const char* captureUsage();
