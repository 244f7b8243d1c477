#include "RunControl.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>

namespace {

volatile sig_atomic_t interrupted = 0;

void onInterrupt(int)
{
    interrupted = 1;
}

constexpr std::chrono::seconds quietStart(2);
constexpr std::chrono::milliseconds redrawInterval(250);

}  // namespace

void catchInterrupt()
{
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // SA_RESETHAND: the handler is used once; a second Ctrl+C kills.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

bool interruptRequested()
{
    return interrupted != 0;
}

void ProgressLine::start(uint64_t totalFrames)
{
    enabled = isatty(STDERR_FILENO) == 1;
    total = totalFrames;
    started = Clock::now();
}

void ProgressLine::update(uint64_t framesDone)
{
    if (!enabled) return;
    const Clock::time_point now = Clock::now();
    if (now - started < quietStart || (shown && now - lastShown < redrawInterval)) return;
    if (framesDone <= total)
        std::fprintf(stderr, "\rtarnvale-capture: frame %llu of %llu (%llu%%)\033[K",
                     static_cast<unsigned long long>(framesDone), static_cast<unsigned long long>(total),
                     static_cast<unsigned long long>(framesDone * 100 / total));
    else
        std::fprintf(stderr, "\rtarnvale-capture: frame %llu of %llu, handling the queued input\033[K",
                     static_cast<unsigned long long>(framesDone), static_cast<unsigned long long>(total));
    std::fflush(stderr);
    shown = true;
    lastShown = now;
}

void ProgressLine::finish()
{
    if (!shown) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown = false;
}
