#include "RunControl.h"

#include "PngOutput.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

volatile sig_atomic_t stoppedBy = 0;

void onStopSignal(int signal)
{
    if (stoppedBy == 0) {
        stoppedBy = signal;
        return;
    }
    // The second: the end, as without the handler, leaving no part of a file.
    const int savedErrno = errno;
    const char* partial = pngFileInProgress();
    if (partial[0] != '\0') ::unlink(partial);
    ::signal(signal, SIG_DFL);
    ::raise(signal);  // delivered once this handler returns
    errno = savedErrno;
}

constexpr std::chrono::seconds quietStart(2);
constexpr std::chrono::milliseconds redrawInterval(250);

}  // namespace

void catchStopSignals()
{
    for (int signal : {SIGINT, SIGTERM}) {
        struct sigaction action = {};
        if (sigaction(signal, nullptr, &action) == 0 && action.sa_handler == SIG_IGN) continue;
        action = {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        sigaddset(&action.sa_mask, SIGINT);
        sigaddset(&action.sa_mask, SIGTERM);
        sigaction(signal, &action, nullptr);
    }
}

int stopSignal()
{
    return stoppedBy;
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
