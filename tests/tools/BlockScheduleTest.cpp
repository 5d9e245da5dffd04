// The fixed-block schedule both tools stream with --block: sizes, offsets and exact times.
#include <gtest/gtest.h>

#include "tools/common/Schedule.h"

namespace {

TEST(BlockSchedule, CutsWholeBlocksWithAShorterLastOneThatEndsTheFile) {
    const auto schedule = BlockSchedule(2500, 1000, 8000);
    ASSERT_EQ(schedule.size(), 3u);
    const uint32_t lengths[] = {1000, 1000, 500};
    for (size_t k = 0; k < schedule.size(); ++k) {
        EXPECT_EQ(schedule[k].firstFrame, k * 1000) << k;
        EXPECT_EQ(schedule[k].frames, lengths[k]) << k;
        EXPECT_EQ(schedule[k].discontinuity, k == 0) << k;
        if (k + 1 < schedule.size()) {
            EXPECT_EQ(schedule[k].stop, schedule[k + 1].start) << k;
        }
    }
    EXPECT_EQ(schedule.back().stop, 3125000) << "2500 frames at 8 kHz";

    const auto one = BlockSchedule(300, 1000, 44100);
    ASSERT_EQ(one.size(), 1u) << "a block larger than the file";
    EXPECT_EQ(one[0].frames, 300u);
    EXPECT_EQ(one[0].stop, 68027) << "300e7 / 44100 = 68027.2";

    EXPECT_TRUE(BlockSchedule(0, 1000, 44100).empty());
    EXPECT_TRUE(BlockSchedule(100, 0, 44100).empty()) << "a zero block must not loop";
    EXPECT_TRUE(BlockSchedule(100, 10, 0).empty());
}

TEST(BlockSchedule, StartsAreTheNearestHundredNanosecondUnit) {
    const auto cd = BlockSchedule(5000, 1000, 44100);
    const REFERENCE_TIME starts[] = {0, 226757, 453515, 680272, 907029};
    ASSERT_EQ(cd.size(), 5u);
    for (size_t k = 0; k < 5; ++k)
        EXPECT_EQ(cd[k].start, starts[k]) << k;
    EXPECT_EQ(cd.back().stop, 1133787) << "5000e7 / 44100 = 1133786.8";

    // Nearest means 2 |t * rate - f * 1e7| <= rate, checked in integers, far into a long file
    // where a double product of the frame and 1e7 is no longer exact.
    auto nearest = [](REFERENCE_TIME t, size_t frame, DWORD rate) {
        const int64_t error = t * int64_t(rate) - int64_t(frame) * 10000000;
        return 2 * (error < 0 ? -error : error) <= int64_t(rate);
    };
    for (DWORD rate : {8000u, 44100u, 48000u, 96000u}) {
        const size_t total = size_t(rate) * 3600 * 6 + 12345;  // six hours and a bit
        const auto schedule = BlockSchedule(total, 4097, rate);
        for (size_t k = 0; k < schedule.size(); k += 97)
            EXPECT_TRUE(nearest(schedule[k].start, size_t(schedule[k].firstFrame), rate))
                << rate << " " << k;
        EXPECT_TRUE(nearest(schedule.back().stop, total, rate)) << rate << " Hz, the end";
    }
}

}  // namespace
