// The cursor search against a plain linear search, over random segment sets and clock paths.
#include <random>

#include "params/Envelope.h"
#include "params/SegmentArray.h"
#include "support/Segments.h"

#include <gtest/gtest.h>

namespace {

LONG LinearSearch(const SegmentArray& a, REFERENCE_TIME t) {
    for (LONG i = 0; i < a.count; ++i) {
        if (a.entries[i].segment.rtStart <= t && t < a.entries[i].segment.rtEnd) return i;
    }
    return -1;
}

// Sorted, non-overlapping segments as AddEnvelope lays them out, with gaps, touching ends and
// empty segments mixed in.
std::vector<MP_ENVELOPE_SEGMENT> RandomLayout(std::mt19937& rng) {
    std::vector<MP_ENVELOPE_SEGMENT> out;
    const int count = std::uniform_int_distribution<int>(0, 40)(rng);
    REFERENCE_TIME t = std::uniform_int_distribution<int>(-50, 50)(rng);
    for (int i = 0; i < count; ++i) {
        t += std::uniform_int_distribution<int>(0, 2)(rng) *
             std::uniform_int_distribution<int>(1, 20)(rng);
        const REFERENCE_TIME length = std::uniform_int_distribution<int>(0, 5)(rng) == 0
                                          ? 0
                                          : std::uniform_int_distribution<int>(1, 30)(rng);
        out.push_back(Seg(t, t + length, 0, 1));
        t += length;
    }
    return out;
}

TEST(FindSegmentModel, AgreesWithALinearSearchForwardBackwardAndOnJumps) {
    std::mt19937 rng(20261209);
    for (int layout = 0; layout < 400; ++layout) {
        ParamSlot slot{};
        ASSERT_EQ(CreateSegmentArray(&slot.segments), S_OK);
        const std::vector<MP_ENVELOPE_SEGMENT> segs = RandomLayout(rng);
        if (!segs.empty()) {
            ASSERT_EQ(InsertSegments(&slot.segments, segs.data(), DWORD(segs.size())), S_OK);
        }
        const REFERENCE_TIME last = segs.empty() ? 0 : segs.back().rtEnd;
        REFERENCE_TIME t = -60;
        for (int step = 0; step < 300; ++step) {
            switch (std::uniform_int_distribution<int>(0, 3)(rng)) {
                case 0:  // forward
                case 1:
                    t += std::uniform_int_distribution<int>(0, 7)(rng);
                    break;
                case 2:
                    t -= std::uniform_int_distribution<int>(0, 7)(rng);
                    break;  // backward
                default:
                    t = std::uniform_int_distribution<REFERENCE_TIME>(-60, last + 60)(rng);
            }
            const LONG expected = LinearSearch(slot.segments, t);
            ASSERT_EQ(FindSegment(&slot, t), expected) << "layout " << layout << " t " << t;
            if (expected >= 0) {
                ASSERT_EQ(slot.cursor, expected);
            }
        }
        DestroySegmentArray(&slot.segments);
    }
}

}  // namespace
