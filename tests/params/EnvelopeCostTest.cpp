// How the cost of envelope edits and evaluations grows with the lane. Edits hold the store lock
// that the streaming thread waits on, and every advance evaluates every lane, so edits must stay
// linear in the lane and an evaluation near constant wherever the clock stands. The cost is the
// array's count of entries visited, so the bound does not depend on the machine.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "params/Envelope.h"
#include "params/SegmentArray.h"
#include "support/Segments.h"

namespace {

constexpr REFERENCE_TIME kLength = 1000000;
constexpr int kLane = 100000;

// `count` ramps of kLength from kLength on, with a gap of `gap` after each.
std::vector<MP_ENVELOPE_SEGMENT> Lane(int count, REFERENCE_TIME gap) {
    std::vector<MP_ENVELOPE_SEGMENT> lane;
    for (int i = 0; i < count; ++i) {
        const REFERENCE_TIME start = kLength + i * (kLength + gap);
        lane.push_back(Seg(start, start + kLength, 100, 200));
    }
    return lane;
}

struct Slot {
    Slot() { EXPECT_EQ(CreateSegmentArray(&slot.segments), S_OK); }
    ~Slot() { DestroySegmentArray(&slot.segments); }
    ParamSlot slot{};
};

TEST(EnvelopeCost, ReSendingOrFlushingALaneVisitsEachEntryAFewTimesOnly) {
    Slot s;
    SegmentArray& a = s.slot.segments;
    const std::vector<MP_ENVELOPE_SEGMENT> lane = Lane(kLane, 0);
    ASSERT_EQ(InsertSegments(&a, lane.data(), kLane), S_OK);
    a.work = 0;
    ASSERT_EQ(InsertSegments(&a, lane.data(), kLane), S_OK) << "every segment overlaps";
    EXPECT_EQ(a.count, kLane);
    EXPECT_LE(a.work, 8u * kLane) << "re-sending a lane";
    a.work = 0;
    RemoveOverlapping(&a, INT64_MIN, INT64_MAX);
    EXPECT_EQ(a.count, 0);
    EXPECT_LE(a.work, 4u * kLane) << "flushing it";
}

TEST(EnvelopeCost, AnEvaluationCostsLittleWhereverTheClockStandsAndHoweverLongTheLane) {
    Slot s;
    const std::vector<MP_ENVELOPE_SEGMENT> lane = Lane(kLane, kLength);
    ASSERT_EQ(InsertSegments(&s.slot.segments, lane.data(), kLane), S_OK);
    const REFERENCE_TIME middle = lane[kLane / 2].rtStart + kLength / 3;
    const REFERENCE_TIME paths[][2] = {{kLength / 2, kLength / 2},
                                       {kLength * 5 / 2, kLength * 5 / 2},
                                       {lane.back().rtEnd + kLength, lane.back().rtEnd + kLength},
                                       {kLength * 3 / 2, middle + kLength * 3}};
    const char* where[] = {"before the first segment", "in a gap", "after the last segment",
                           "on jumps back and forth"};
    // A bisection of the lane and a few steps around its answer.
    const uint64_t bound = uint64_t(2 * std::log2(double(kLane))) + 16;
    for (int p = 0; p < 4; ++p) {
        EvaluateParam(&s.slot, middle);
        for (int i = 0; i < 20; ++i) {
            s.slot.segments.work = 0;
            EvaluateParam(&s.slot, paths[p][i % 2]);
            EXPECT_LE(s.slot.segments.work, bound) << where[p] << ", evaluation " << i;
        }
    }
}

}  // namespace
