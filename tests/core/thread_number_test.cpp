// The thread-number slot from real host threads: each thread reads back the
// number it stored and nothing another thread stored.
#include <atomic>
#include <thread>
#include <vector>

#include "support/test_support.h"

using vektest::LibraryTest;

TEST_F(LibraryTest, ThreadedEachThreadReadsItsOwnNumber)
{
    constexpr int kThreads = 8;
    std::atomic<int> stored{0};
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            if (VekMain_GetThreadNumber() != 0) ++mismatches;   // nothing stored yet on this thread
            VekMain_SetThreadNumber(t * 9);                       // 0, 9, ..., 63
            ++stored;
            while (stored.load() < kThreads) std::this_thread::yield();
            // Every thread has now stored its number; each still sees its own.
            for (int i = 0; i < 1000; ++i)
                if (VekMain_GetThreadNumber() != t * 9) ++mismatches;
        });
    }
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(VekMain_GetThreadNumber(), 0);   // the main thread stored nothing
}

TEST_F(LibraryTest, ThreadNumbersOutsideTheGridsCountersAreRefused)
{
    VekMain_SetThreadNumber(3);
    for (long bad : {-1L, 64L, 1000L}) {
        vektest::ClearWarning();
        VekMain_SetThreadNumber(bad);
        EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_INVALID_VALUE);
        EXPECT_STREQ(VekMain_GetWarningString(), "VekMain_SetThreadNumber");
        EXPECT_EQ(VekMain_GetThreadNumber(), 3);
    }
    // The slot lives from Initialize to End: a new one starts empty.
    VekMain_End();
    VekMain_Initialize();
    EXPECT_EQ(VekMain_GetThreadNumber(), 0);
}
