// The start-up profile of tarnvale_d3d9.h: one atomic sum per step, so the
// D3DX stand-in may add to it from a decoding thread.
#include "StartupProfile.h"

#include <tarnvale_d3d9.h>

#include <atomic>
#include <ctime>

namespace {

std::atomic<int64_t> stepTimes[static_cast<int>(tvd3d9::StartupStep::Count)];
std::atomic<int64_t> firstScene{0};

}  // namespace

void tvd3d9::addStartupTime(StartupStep step, int64_t nanoseconds)
{
    const int index = static_cast<int>(step);
    if (index >= 0 && index < static_cast<int>(StartupStep::Count))
        stepTimes[index].fetch_add(nanoseconds, std::memory_order_relaxed);
}

int64_t tvd3d9::startupTime(StartupStep step)
{
    const int index = static_cast<int>(step);
    return index >= 0 && index < static_cast<int>(StartupStep::Count) ? stepTimes[index].load(std::memory_order_relaxed)
                                                                        : 0;
}

int64_t tvd3d9::monotonicNanoseconds()
{
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t tvd3d9::firstSceneTime()
{
    return firstScene.load(std::memory_order_relaxed);
}

void markFirstScene()
{
    int64_t expected = 0;
    if (firstScene.load(std::memory_order_relaxed) == 0)
        firstScene.compare_exchange_strong(expected, tvd3d9::monotonicNanoseconds(), std::memory_order_relaxed);
}
