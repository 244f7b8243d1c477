// The performance counter (real and scripted), Sleep, and message boxes that
// never block where no box can be shown.
#include "Win32TestWindow.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class Clock : public ::testing::Test {
protected:
    void TearDown() override { tvplat::useRealClock(); }
};

TEST_F(Clock, RealCounterIsMonotonicNanoseconds)
{
    LARGE_INTEGER frequency{};
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, 1000000000);
    // Readings of the monotonic clock in nanoseconds: each lies between
    // readings of that clock (steady_clock) taken around it, however long the
    // machine keeps the test waiting, and Sleep(20) moves it on by 20 ms.
    const auto monotonic = [] {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
    LARGE_INTEGER first{}, second{};
    const int64_t before = monotonic();
    ASSERT_TRUE(QueryPerformanceCounter(&first));
    Sleep(20);
    ASSERT_TRUE(QueryPerformanceCounter(&second));
    const int64_t after = monotonic();
    EXPECT_GE(first.QuadPart, before);
    EXPECT_GE(second.QuadPart - first.QuadPart, 20000000);
    EXPECT_LE(second.QuadPart, after);
    EXPECT_FALSE(tvplat::usingScriptedClock());
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));
    EXPECT_FALSE(QueryPerformanceFrequency(nullptr));
}

TEST_F(Clock, ScriptedCounterStepsPerReadingOrPerFrame)
{
    tvplat::useScriptedClock(5000, 250000000, tvplat::ClockStep::PerReading);
    EXPECT_TRUE(tvplat::usingScriptedClock());
    LARGE_INTEGER reading{};
    QueryPerformanceCounter(&reading);
    EXPECT_EQ(reading.QuadPart, 5000);
    QueryPerformanceCounter(&reading);
    EXPECT_EQ(reading.QuadPart, 250005000);
    tvplat::advanceScriptedClock();  // adds a step in this mode too
    QueryPerformanceCounter(&reading);
    EXPECT_EQ(reading.QuadPart, 750005000);

    tvplat::useScriptedClock(100, 10, tvplat::ClockStep::PerFrame);
    QueryPerformanceCounter(&reading);
    QueryPerformanceCounter(&reading);
    EXPECT_EQ(reading.QuadPart, 100);  // readings within a frame agree
    tvplat::advanceScriptedClock();
    QueryPerformanceCounter(&reading);
    EXPECT_EQ(reading.QuadPart, 110);
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    EXPECT_EQ(frequency.QuadPart, 1000000000);

    tvplat::useRealClock();
    QueryPerformanceCounter(&reading);
    EXPECT_GT(reading.QuadPart, 1000);
}

TEST(Sleep, ZeroYieldsAtOnceAndIsCounted)
{
    // Sleep(0) only yields: a thousand of them return (no timing asserted,
    // the machine may be loaded) and each is counted.
    const uint64_t before = tvplat::sleepCallCount();
    for (int i = 0; i < 1000; ++i)
        Sleep(0);
    EXPECT_EQ(tvplat::sleepCallCount() - before, 1000u);
}

class MessageBox : public ::testing::Test {
protected:
    void SetUp() override { tvplat::clearMessageBoxLog(); }
    void TearDown() override
    {
        tvplat::setMessageBoxMode(tvplat::MessageBoxMode::Auto);
        tvplat::clearMessageBoxLog();
    }
};

TEST_F(MessageBox, StderrModeWritesLogsAndReturnsAtOnce)
{
    tvplat::setMessageBoxMode(tvplat::MessageBoxMode::StderrOnly);
    testing::internal::CaptureStderr();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(MessageBoxA(nullptr, "no device", "Error", MB_OK), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OK | MB_ICONERROR), IDOK);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));  // a hang, not a speed test
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_NE(written.find("Error: no device\n"), std::string::npos);

    ASSERT_EQ(tvplat::messageBoxCount(), 2);
    EXPECT_STREQ(tvplat::messageBoxAt(0).caption, "Error");
    EXPECT_STREQ(tvplat::messageBoxAt(0).text, "no device");
    // Windows captions a box without a caption "Error" and shows no text for none.
    EXPECT_STREQ(tvplat::messageBoxAt(1).caption, "Error");
    EXPECT_STREQ(tvplat::messageBoxAt(1).text, "");
    EXPECT_STREQ(tvplat::messageBoxAt(5).text, "");  // out of range: an empty record
    tvplat::clearMessageBoxLog();
    EXPECT_EQ(tvplat::messageBoxCount(), 0);
}

// In automatic mode a box is shown only where a display can show one: the
// offscreen driver has none even when DISPLAY is set.
TEST_F(MessageBox, AutoModeDoesNotBlockWithoutARealDisplay)
{
    HWND window = win32test::createRecordingWindow();  // starts the video driver
    ASSERT_NE(window, nullptr);
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || (std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0))
        GTEST_SKIP() << "needs the offscreen video driver";
    const char* oldDisplay = std::getenv("DISPLAY");
    const std::string saved = oldDisplay != nullptr ? oldDisplay : "";
    const char* oldSetting = std::getenv("TARNVALE_MESSAGEBOX");
    const std::string savedSetting = oldSetting != nullptr ? oldSetting : "";
    setenv("DISPLAY", ":0", 1);
    unsetenv("TARNVALE_MESSAGEBOX");
    testing::internal::CaptureStderr();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(MessageBoxA(window, "text", "Caption", MB_OK), IDOK);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));  // a hang, not a speed test
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Caption: text\n");
    if (oldSetting != nullptr) setenv("TARNVALE_MESSAGEBOX", savedSetting.c_str(), 1);
    if (oldDisplay != nullptr)
        setenv("DISPLAY", saved.c_str(), 1);
    else
        unsetenv("DISPLAY");
    DestroyWindow(window);
    EXPECT_EQ(tvplat::messageBoxCount(), 1);
}

}  // namespace
