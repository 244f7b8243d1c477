// The program's rand and srand draw the Windows C run time's sequence, on
// every target, with a state per thread.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

TEST(CRuntimeRandom, WindowsSequenceWithAStatePerThread)
{
    // A thread that never called srand draws from seed 1: the numbers any
    // Windows program draws first.
    std::thread([] {
        EXPECT_EQ(rand(), 41);
        EXPECT_EQ(rand(), 18467);
        EXPECT_EQ(rand(), 6334);
    }).join();

    // The seed the frame comparisons use: state * 214013 + 2531011, bits
    // 16 to 30 of it.
    srand(424242);
    EXPECT_EQ(rand(), 9178);
    EXPECT_EQ(rand(), 3798);
    // Another thread seeding and drawing leaves this thread's sequence alone.
    std::thread([] {
        srand(7);
        for (int i = 0; i < 10; ++i) rand();
    }).join();
    EXPECT_EQ(rand(), 6188);
    EXPECT_EQ(rand(), 29759);
    EXPECT_EQ(rand(), 13047);
    EXPECT_EQ(rand(), 3180);
}
