// Random envelopes and buffer sizes, run through a driver loop like the streaming one.
#include <cmath>
#include <random>
#include <set>

#include "support/Segments.h"
#include "support/StoreFixture.h"

namespace {

using AdvancePropertyTest = StoreTest;

constexpr MP_CURVE_TYPE kCurves[] = {MP_CURVE_JUMP, MP_CURVE_LINEAR, MP_CURVE_SQUARE,
                                     MP_CURVE_INVSQUARE, MP_CURVE_SINE};

TEST_F(AdvancePropertyTest, StretchesCoverEachBufferAndLandOnEverySegmentBound) {
    std::mt19937 rng(7);
    const DWORD rates[] = {8000, 22050, 44100, 48000, 96000, 192000};
    for (int round = 0; round < 60; ++round) {
        ASSERT_EQ(store.FlushEnvelope(DWORD_ALLPARAMS, INT64_MIN, INT64_MAX), S_OK);
        const DWORD rate = rates[rng() % 6];
        ASSERT_EQ(store.StartTimeBase(rate), S_OK);
        const double perFrame = 1e7 / rate;

        // Segment bounds, sorted and non-overlapping per parameter, over about two seconds.
        std::set<REFERENCE_TIME> bounds;
        for (DWORD p = 0; p < kParamCount; ++p) {
            REFERENCE_TIME t = std::uniform_int_distribution<int>(0, 3000000)(rng);
            std::vector<MP_ENVELOPE_SEGMENT> segs;
            const int n = std::uniform_int_distribution<int>(0, 12)(rng);
            for (int k = 0; k < n; ++k) {
                const REFERENCE_TIME length = std::uniform_int_distribution<int>(0, 2000000)(rng);
                const MP_DATA from = MP_DATA(std::uniform_real_distribution<>(0, 100)(rng));
                const MP_DATA to = MP_DATA(std::uniform_real_distribution<>(0, 100)(rng));
                segs.push_back(Seg(t, t + length, from, to, kCurves[rng() % 5]));
                bounds.insert(t);
                bounds.insert(t + length);
                t += length + std::uniform_int_distribution<int>(0, 1)(rng) *
                                  std::uniform_int_distribution<int>(1, 500000)(rng);
            }
            if (!segs.empty()) {
                ASSERT_EQ(store.AddEnvelope(p, DWORD(segs.size()), segs.data()), S_OK);
            }
        }

        std::set<REFERENCE_TIME> reached;
        uint64_t framesSoFar = 0;
        for (int buffer = 0; buffer < 40; ++buffer) {
            const REFERENCE_TIME start = REFERENCE_TIME(std::floor(framesSoFar * perFrame + 0.5));
            store.SetSampleTimes(&start);
            const DWORD frames = std::uniform_int_distribution<DWORD>(1, 9000)(rng);
            DWORD left = frames;
            int calls = 0;
            while (left > 0) {
                ASSERT_LT(++calls, 1000) << "the driver loop does not end";
                const REFERENCE_TIME before = store.Position();
                const REFERENCE_TIME whole = REFERENCE_TIME(left * perFrame + 0.5);
                DWORD mask = 0;
                const DWORD got = store.AdvanceToNextChange(left, &mask);
                const REFERENCE_TIME after = store.Position();
                ASSERT_LE(got, left);
                ASSERT_GE(after, before) << "the clock ran backwards";
                ASSERT_LE(std::fabs(double(got) - double(after - before) / perFrame), 0.5 + 1e-9);
                if (after - before < whole) {
                    ASSERT_TRUE(bounds.count(after)) << "boundary " << after << " has no cause";
                }
                reached.insert(after);
                left -= got;
            }
            // Every bound inside the buffer's time was a stretch boundary.
            const REFERENCE_TIME end = store.Position();
            for (auto it = bounds.upper_bound(start); it != bounds.end() && *it < end; ++it) {
                ASSERT_TRUE(reached.count(*it)) << "bound " << *it << " was stepped over";
            }
            framesSoFar += frames;
        }
    }
    store.StopTimeBase();
}

}  // namespace
