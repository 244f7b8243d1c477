// What the Linux entry points (the program's main and tarnvale-capture) set
// going before WinMain, so that it runs while the window and the device are
// made: the shader compiler's server with the compiles of the program's
// three shaders, and the decoding of the images it reads at start-up.
// Windows has no counterpart; WinMain and the components it builds are
// unchanged and find the work done.
#pragma once

#include <tarnvale_d3dx.h>

class EarlyStart {
public:
    // Starts both; call it first thing, before any other thread exists.
    EarlyStart();
    // Stops the work if the program ended before it took all of it, and
    // frees what it did not take.
    ~EarlyStart() = default;

private:
    tvd3dx::Prefetch prefetch;
};
