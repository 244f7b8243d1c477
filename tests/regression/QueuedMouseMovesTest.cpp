// The soak's queued mouse moves (tarnvale-capture --mouse-moves): all are
// queued at once and the message loop takes exactly one per frame, so a run
// lasts until the last of them has been handled.
#include "support/CaptureRun.h"

#include <gtest/gtest.h>

#include <string>

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
