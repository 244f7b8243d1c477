// The performance counter (real or scripted), Sleep and GetTickCount.
#include <windows.h>
#include <tarnvale_platform.h>

#include <cerrno>
#include <ctime>
#include <sched.h>

#ifdef __EMSCRIPTEN__
#include "web/BrowserTurn.h"
#endif

namespace {

constexpr int64_t nanosecondsPerSecond = 1000000000;

bool scripted = false;
int64_t scriptedReading = 0;
int64_t scriptedStep = 0;
tvplat::ClockStep scriptedMode = tvplat::ClockStep::PerReading;
uint64_t sleeps = 0;

int64_t monotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * nanosecondsPerSecond + now.tv_nsec;
}

}  // namespace

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount)
{
    if (lpPerformanceCount == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!scripted) {
        lpPerformanceCount->QuadPart = monotonicNanoseconds();
        return TRUE;
    }
    lpPerformanceCount->QuadPart = scriptedReading;
    if (scriptedMode == tvplat::ClockStep::PerReading) scriptedReading += scriptedStep;
    return TRUE;
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency)
{
    if (lpFrequency == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    lpFrequency->QuadPart = nanosecondsPerSecond;
    return TRUE;
}

void WINAPI Sleep(DWORD dwMilliseconds)
{
    ++sleeps;
#ifdef __EMSCRIPTEN__
    // In a page the program's thread is the browser's: it yields there.
    tvplat::web::giveBrowserItsTurn(dwMilliseconds);
    return;
#endif
    if (dwMilliseconds == 0) {
        // Gives up the rest of the time slice to any thread that is ready.
        sched_yield();
        return;
    }
    timespec remaining{static_cast<time_t>(dwMilliseconds / 1000), static_cast<long>(dwMilliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

DWORD WINAPI GetTickCount()
{
    // Milliseconds since an arbitrary start, wrapping every 49.7 days.
    return static_cast<DWORD>(monotonicNanoseconds() / 1000000);
}

namespace tvplat {

void useScriptedClock(int64_t firstReading, int64_t step, ClockStep mode)
{
    scripted = true;
    scriptedReading = firstReading;
    scriptedStep = step;
    scriptedMode = mode;
}

void advanceScriptedClock()
{
    if (scripted) scriptedReading += scriptedStep;
}

void useRealClock()
{
    scripted = false;
}

bool usingScriptedClock()
{
    return scripted;
}

uint64_t sleepCallCount()
{
    return sleeps;
}

}  // namespace tvplat
