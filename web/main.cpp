// The entry point of the web build: runs the program as WinMain does, in the
// page, and keeps the page's status object (window.tarnvale, see page.js)
// current after every frame. The loop is the program's own (runProgram);
// the platform layer gives the browser its turn where the program yields
// (Sleep), so the page stays responsive and each frame is shown.
//
// The page may name a seed (?seed=N): the clock then runs as tarnvale-capture
// --seed N runs it, a scripted clock whose first reading is N (which seeds
// the rack) and which advances 1/60 s after each frame; without one it is
// the real clock.
#include "app/Application.h"
#include "app/WinMain.h"
#include "text/TextLabel.h"

#include <tarnvale_platform.h>

#include <SDL.h>
#include <emscripten.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// One frame's step of the scripted clock, as tarnvale-capture's default.
constexpr int64_t scriptedFrameNanoseconds = 16666667;

// The seed the page asks for: -1 when none.
EM_JS(double, pageSeed, (), {
    const value = Module.tarnvaleSeed;
    return typeof value === "number" && Number.isSafeInteger(value) && value >= 0 ? value : -1;
});

EM_JS(void, publishFrame, (double frames, const char* device, const char* fpsText), {
    Module.tarnvaleFrame(frames, UTF8ToString(device), UTF8ToString(fpsText));
});

EM_JS(void, publishEnd, (int exitStatus, double frames), {
    Module.tarnvaleEnd(exitStatus, frames);
});

bool afterFrame(Application& application, IDirect3DDevice9*, uint64_t frame, void* user)
{
    *static_cast<uint64_t*>(user) = frame;
    if (tvplat::usingScriptedClock()) tvplat::advanceScriptedClock();
    const TextLabel* fps = application.frameRateLabel();
    publishFrame(static_cast<double>(frame), application.deviceDescription().c_str(),
                 fps != nullptr ? fps->currentText().c_str() : "");
    return true;
}

}  // namespace

int main()
{
    // Message boxes cannot wait for a click in a page: their text goes to
    // stderr, which the page shows.
    tvplat::setMessageBoxMode(tvplat::MessageBoxMode::StderrOnly);
    // The program yields in Sleep only. SDL's own yield in SDL_GL_SwapWindow
    // would unwind through the device's Present, a virtual call that
    // Asyncify does not instrument here (cmake/Web.cmake).
    SDL_SetHint(SDL_HINT_EMSCRIPTEN_ASYNCIFY, "0");
    const double seed = pageSeed();
    if (seed >= 0)
        tvplat::useScriptedClock(static_cast<int64_t>(seed), scriptedFrameNanoseconds, tvplat::ClockStep::PerFrame);

    uint64_t frames = 0;
    ProgramHooks hooks;
    hooks.afterFrame = afterFrame;
    hooks.user = &frames;
    const int status = runProgram(GetModuleHandleA(NULL), hooks);
    publishEnd(status, static_cast<double>(frames));
    return status;
}
