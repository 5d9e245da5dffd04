// The segment search and the value left in gaps against plain scans, over random segment sets
// and clock paths that follow, step back and jump.
#include <algorithm>
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

// Half the layouts are sorted, non-overlapping segments as AddEnvelope lays them out, with gaps,
// touching ends and empty segments. A quarter overlap in time order, often ending together. The
// rest is what a careless host leaves: batches out of time order, overlapping, reversed.
void FillRandomly(std::mt19937& rng, SegmentArray* array) {
    auto uniform = [&rng](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    float id = 0;
    std::vector<MP_ENVELOPE_SEGMENT> segs;
    const int kind = uniform(0, 3);
    if (kind == 0) {
        for (int batch = uniform(1, 3); batch > 0; --batch) {
            segs.clear();
            for (int k = uniform(1, 8); k > 0; --k) {
                const REFERENCE_TIME start = uniform(-50, 300);
                segs.push_back(Seg(start, start + uniform(-10, 40), 0, ++id));
            }
            ASSERT_EQ(InsertSegments(array, segs.data(), DWORD(segs.size())), S_OK);
        }
        return;
    }
    const int count = uniform(0, 40);
    REFERENCE_TIME t = uniform(-50, 50);
    REFERENCE_TIME end = t;
    for (int i = 0; i < count; ++i) {
        if (kind == 1) {
            t += 10 * uniform(0, 2);
            end = std::max(end, t + 10 * uniform(0, 3));
            segs.push_back(Seg(t, end, 0, ++id));
            continue;
        }
        t += uniform(0, 2) * uniform(1, 20);
        const REFERENCE_TIME length = uniform(0, 5) == 0 ? 0 : uniform(1, 30);
        segs.push_back(Seg(t, t + length, 0, ++id));
        t += length;
    }
    if (!segs.empty()) {
        ASSERT_EQ(InsertSegments(array, segs.data(), DWORD(segs.size())), S_OK);
    }
}

REFERENCE_TIME LastTime(const SegmentArray& a) {
    REFERENCE_TIME last = 0;
    for (LONG i = 0; i < a.count; ++i)
        last = std::max({last, a.entries[i].segment.rtStart, a.entries[i].segment.rtEnd});
    return last;
}

// Mostly small steps either way, sometimes a jump anywhere.
REFERENCE_TIME NextTime(std::mt19937& rng, REFERENCE_TIME t, REFERENCE_TIME last) {
    switch (std::uniform_int_distribution<int>(0, 3)(rng)) {
        case 0:
        case 1:
            return t + std::uniform_int_distribution<int>(0, 7)(rng);
        case 2:
            return t - std::uniform_int_distribution<int>(0, 7)(rng);
        default:
            return std::uniform_int_distribution<REFERENCE_TIME>(-60, last + 60)(rng);
    }
}

TEST(FindSegmentModel, AgreesWithALinearSearchForwardBackwardAndOnJumps) {
    std::mt19937 rng(20261209);
    for (int layout = 0; layout < 400; ++layout) {
        ParamSlot slot{};
        ASSERT_EQ(CreateSegmentArray(&slot.segments), S_OK);
        FillRandomly(rng, &slot.segments);
        const REFERENCE_TIME last = LastTime(slot.segments);
        REFERENCE_TIME t = -60;
        for (int step = 0; step < 300; ++step) {
            t = NextTime(rng, t, last);
            const LONG expected = LinearSearch(slot.segments, t);
            ASSERT_EQ(FindSegment(&slot, t), expected) << "layout " << layout << " t " << t;
            if (expected >= 0) {
                ASSERT_EQ(slot.cursor, expected);
            }
        }
        DestroySegmentArray(&slot.segments);
    }
}

// Outside every segment, the end value of the non-empty segment with the greatest end at or
// before t, the earliest of several; -1 before them all.
LONG EndedLast(const SegmentArray& a, REFERENCE_TIME t) {
    LONG found = -1;
    for (LONG i = 0; i < a.count; ++i) {
        const MP_ENVELOPE_SEGMENT& s = a.entries[i].segment;
        if (s.rtStart < s.rtEnd && s.rtEnd <= t &&
            (found < 0 || s.rtEnd > a.entries[found].segment.rtEnd)) {
            found = i;
        }
    }
    return found;
}

// How far the nearest segment start after t lies, or -1.
REFERENCE_TIME ToNextStart(const SegmentArray& a, REFERENCE_TIME t) {
    REFERENCE_TIME nearest = -1;
    for (LONG i = 0; i < a.count; ++i) {
        const REFERENCE_TIME d = a.entries[i].segment.rtStart - t;
        if (d > 0 && (nearest < 0 || d < nearest)) nearest = d;
    }
    return nearest;
}

TEST(FindSegmentModel, InAGapTheValueIsTheEndOfTheLastSegmentWhateverPathLedThere) {
    std::mt19937 rng(977);
    for (int layout = 0; layout < 400; ++layout) {
        ParamSlot slot{};
        ASSERT_EQ(CreateSegmentArray(&slot.segments), S_OK);
        FillRandomly(rng, &slot.segments);
        const REFERENCE_TIME last = LastTime(slot.segments);
        REFERENCE_TIME t = -60;
        for (int step = 0; step < 300; ++step) {
            t = NextTime(rng, t, last);
            const MP_DATA before = slot.value;
            const Evaluation e = EvaluateParam(&slot, t);
            ASSERT_EQ(e.inForce, LinearSearch(slot.segments, t) >= 0);
            ASSERT_EQ(e.hasNext ? e.toNext : -1, ToNextStart(slot.segments, t)) << "t " << t;
            if (e.inForce) continue;
            const LONG ended = EndedLast(slot.segments, t);
            const MP_DATA expected =
                ended >= 0 ? slot.segments.entries[ended].segment.valEnd : before;
            ASSERT_EQ(slot.value, expected)
                << "layout " << layout << " step " << step << " t " << t;
        }
        DestroySegmentArray(&slot.segments);
    }
}

}  // namespace
