// AddEnvelope's and FlushEnvelope's layouts against removal and insertion done one segment at a
// time, over random stored arrays and random batches: sorted lanes, overlaps within a call,
// unsorted batches, empty and reversed segments.
#include <cstring>
#include <random>

#include "params/SegmentArray.h"
#include "support/Segments.h"

#include <gtest/gtest.h>

namespace {

struct PlainArray {
    std::vector<EnvelopeEntry> entries;
    LONG capacity = 16;

    void Erase(size_t i) {
        entries.erase(entries.begin() + long(i));
        const LONG spare = capacity - LONG(entries.size());
        if (spare > 16) capacity -= spare / 16 * 16;
    }
    void Remove(REFERENCE_TIME a, REFERENCE_TIME b) {
        size_t i = 0;
        while (i < entries.size()) {
            if (entries[i].segment.rtEnd <= a) {
                ++i;
            } else if (entries[i].segment.rtStart >= b) {
                break;
            } else {
                Erase(i);
            }
        }
    }
    void Insert(const std::vector<MP_ENVELOPE_SEGMENT>& batch) {
        for (const MP_ENVELOPE_SEGMENT& s : batch)
            Remove(s.rtStart, s.rtEnd);
        size_t i = 0;
        for (const MP_ENVELOPE_SEGMENT& s : batch) {
            while (i < entries.size() && entries[i].segment.rtStart < s.rtStart)
                ++i;
            if (LONG(entries.size()) == capacity) capacity += 16;
            EnvelopeEntry e{};
            e.segment = s;
            entries.insert(entries.begin() + long(i), e);
            ++i;
        }
    }
};

float nextId = 0;

MP_ENVELOPE_SEGMENT Segment(REFERENCE_TIME start, REFERENCE_TIME length) {
    return Seg(start, start + length, ++nextId, 0);  // valStart tells entries apart
}

std::vector<MP_ENVELOPE_SEGMENT> RandomBatch(std::mt19937& rng) {
    auto uniform = [&rng](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    std::vector<MP_ENVELOPE_SEGMENT> batch;
    const int kind = uniform(0, 9);
    const int count = uniform(1, kind == 0 ? 60 : 12);
    REFERENCE_TIME t = uniform(-20, 300);
    for (int k = 0; k < count; ++k) {
        if (kind <= 5) {  // a lane in time order, with gaps and touching ends
            const REFERENCE_TIME length = uniform(0, 6) == 0 ? 0 : uniform(1, 25);
            batch.push_back(Segment(t, length));
            t += length + uniform(0, 1) * uniform(0, 15);
        } else if (kind <= 7) {  // in time order but overlapping each other
            batch.push_back(Segment(t, uniform(0, 40)));
            t += uniform(0, 12);
        } else {  // anywhere, reversed or empty ones included
            batch.push_back(Segment(uniform(-20, 400), uniform(-15, 40)));
        }
    }
    return batch;
}

void ExpectSame(const SegmentArray& array, const PlainArray& plain, int step) {
    ASSERT_EQ(size_t(array.count), plain.entries.size()) << "step " << step;
    ASSERT_EQ(array.capacity, plain.capacity) << "step " << step;
    for (size_t i = 0; i < plain.entries.size(); ++i) {
        const EnvelopeEntry& got = array.entries[i];
        const EnvelopeEntry& want = plain.entries[i];
        ASSERT_EQ(std::memcmp(&got.segment, &want.segment, sizeof got.segment), 0)
            << "step " << step << " entry " << i;
        ASSERT_EQ(got.applied, want.applied) << "step " << step << " entry " << i;
    }
}

TEST(EnvelopeEditModel, LayoutsMatchRemovingAndInsertingOneSegmentAtATime) {
    std::mt19937 rng(20240611);
    for (int run = 0; run < 150; ++run) {
        SegmentArray array{};
        ASSERT_EQ(CreateSegmentArray(&array), S_OK);
        PlainArray plain;
        for (int step = 0; step < 40; ++step) {
            if (std::uniform_int_distribution<int>(0, 5)(rng) == 0) {
                const REFERENCE_TIME a = std::uniform_int_distribution<int>(-30, 400)(rng);
                const REFERENCE_TIME b = a + std::uniform_int_distribution<int>(-10, 150)(rng);
                RemoveOverlapping(&array, a, b);
                plain.Remove(a, b);
            } else {
                const std::vector<MP_ENVELOPE_SEGMENT> batch = RandomBatch(rng);
                ASSERT_EQ(InsertSegments(&array, batch.data(), DWORD(batch.size())), S_OK);
                plain.Insert(batch);
            }
            // Entries that were evaluated must keep that mark wherever they move.
            if (!plain.entries.empty()) {
                const size_t i = rng() % plain.entries.size();
                plain.entries[i].applied = array.entries[i].applied = TRUE;
            }
            ExpectSame(array, plain, step);
            if (HasFatalFailure()) break;
        }
        DestroySegmentArray(&array);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
