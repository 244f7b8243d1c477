// The soak's queued mouse moves (tarnvale-capture --mouse-moves): all are
// queued at once and the message loop takes exactly one per frame, so a run
// lasts until the last of them has been handled.
#include "CaptureOptions.h"
#include "ScriptedInput.h"
#include "support/CaptureRun.h"

#include <tarnvale_platform.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(QueuedMouseMoves, EachFrameTakesOneMessage)
{
    // Press, 30 moves and release: 32 messages queued before the first
    // frame, so the 32nd frame takes the last.
    const CaptureRun now = CaptureRun::run({}, {"--frames", "1", "--mouse-moves", "30"});
    ASSERT_TRUE(now.exitedWith(0)) << now.describe();
    EXPECT_EQ(now.field("frames"), "32") << now.out;

    // Queued after frame 5: frames 6 to 37 take them.
    const CaptureRun later = CaptureRun::run({}, {"--frames", "1", "--mouse-moves", "30@5"});
    ASSERT_TRUE(later.exitedWith(0)) << later.describe();
    EXPECT_EQ(later.field("frames"), "37") << later.out;

    for (const char* bad : {"0", "1000001", "x", "5@", "-3"})
        EXPECT_TRUE(CaptureRun::run({}, {"--mouse-moves", bad}).exitedWith(2)) << bad;
}

// More moves than the queue holds (Windows' 10,000 posted messages): the
// rest follow as the loop takes messages out, one a frame, so every one
// arrives, in order, the release last, and nothing is said about it. (A
// whole run of them would take 12,000 frames; the loop is played here.)
TEST(QueuedMouseMoves, MoreThanTheQueueHoldsAllArriveInOrder)
{
    CaptureOptions options;
    std::string error;
    const char* const arguments[] = {"tarnvale-capture", "--mouse-moves", "12000"};
    ASSERT_TRUE(parseCaptureOptions(3, arguments, options, error)) << error;
    tvplat::resetMessageQueue();
    ::testing::internal::CaptureStderr();

    ScriptedInput input(options.messages);
    std::vector<MSG> taken;
    input.postDue(nullptr, 0);  // thread messages: no window needed
    for (uint64_t frame = 1; frame <= 20000 && !(input.allPosted() && tvplat::pendingMessageCount() == 0); ++frame) {
        MSG message = {};
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) taken.push_back(message);
        input.postDue(nullptr, frame);
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(taken.size(), options.messages.size());
    for (size_t i = 0; i < taken.size(); ++i) {
        ASSERT_EQ(taken[i].message, options.messages[i].message) << i;
        ASSERT_EQ(taken[i].lParam, options.messages[i].lParam) << i;
    }
    EXPECT_EQ(taken.back().message, static_cast<UINT>(WM_LBUTTONUP));
    tvplat::resetMessageQueue();
}
