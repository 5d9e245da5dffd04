// Cost of AdvanceToNextChange and of envelope edits as lanes grow. An advance must cost the same
// wherever the clock stands and however long the lane; re-sending or flushing a lane holds the
// store lock, so it must grow no faster than the lane.
#include <benchmark/benchmark.h>

#include <vector>

#include "params/MediaParamStore.h"
#include "platform/NullOwner.h"

namespace {

constexpr REFERENCE_TIME kSegmentLength = 1000000;  // 100 ms: a boundary every ~4410 frames
constexpr DWORD kBlock = 512;

// `count` linear segments of kSegmentLength, each followed by a gap of `gap`, from `first` on.
std::vector<MP_ENVELOPE_SEGMENT> Lane(int count, REFERENCE_TIME first, REFERENCE_TIME gap) {
    std::vector<MP_ENVELOPE_SEGMENT> lane(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const REFERENCE_TIME start = first + i * (kSegmentLength + gap);
        lane[size_t(i)] = {start,           start + kSegmentLength, 100.0f + i % 50,
                           150.0f + i % 50, MP_CURVE_LINEAR,        0};
    }
    return lane;
}

struct Store {
    Store() : store(&owner, &created) {}
    NullOwner owner;
    HRESULT created = E_FAIL;
    MediaParamStore store;
};

void FollowTheClock(benchmark::State& state) {
    const int segments = int(state.range(0));
    Store s;
    std::vector<MP_ENVELOPE_SEGMENT> envelope = Lane(segments, 0, 0);
    for (DWORD p = 0; p < kParamCount; ++p) {
        s.store.AddEnvelope(p, DWORD(segments), envelope.data());
    }
    s.store.StartTimeBase(44100);
    const REFERENCE_TIME end = segments * kSegmentLength;
    REFERENCE_TIME start = 0;
    s.store.SetSampleTimes(&start);
    for (auto _ : state) {
        DWORD mask = 0;
        benchmark::DoNotOptimize(s.store.AdvanceToNextChange(kBlock, &mask));
        if (s.store.Position() >= end) {
            state.PauseTiming();
            s.store.SetSampleTimes(&start);
            DWORD m = 0;
            s.store.AdvanceToNextChange(1, &m);  // settle the cursor back at the start
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}

enum Where { kBeforeFirst, kInAGap, kAfterLast, kJumping };

// One advance at a fixed kind of position in a Frequency lane with a gap after every segment.
// Playback first stands in the middle of the lane, so the clock reaches each position by a seek.
// kJumping alternates a seek forward into a late gap with one back into an early segment.
void AdvanceAt(benchmark::State& state) {
    const Where where = Where(state.range(0));
    const int segments = int(state.range(1));
    Store s;
    const REFERENCE_TIME period = 2 * kSegmentLength;
    std::vector<MP_ENVELOPE_SEGMENT> lane = Lane(segments, kSegmentLength, kSegmentLength);
    s.store.AddEnvelope(0, DWORD(segments), lane.data());
    s.store.StartTimeBase(44100);
    const REFERENCE_TIME firstStart = kSegmentLength;
    const REFERENCE_TIME middle = firstStart + (segments / 2) * period;
    const REFERENCE_TIME earlySegment = firstStart + kSegmentLength / 2;
    const REFERENCE_TIME earlyGap = firstStart + kSegmentLength * 3 / 2;
    const REFERENCE_TIME lateGap = middle + kSegmentLength * 3 / 2;
    const REFERENCE_TIME afterLast = firstStart + segments * period + kSegmentLength;
    REFERENCE_TIME times[2] = {earlySegment, lateGap};
    if (where == kBeforeFirst) times[0] = times[1] = kSegmentLength / 2;
    if (where == kInAGap) times[0] = times[1] = earlyGap;
    if (where == kAfterLast) times[0] = times[1] = afterLast;

    DWORD mask = 0;
    const REFERENCE_TIME playing = middle + kSegmentLength / 2;
    s.store.SetSampleTimes(&playing);
    s.store.AdvanceToNextChange(kBlock, &mask);
    size_t turn = 0;
    for (auto _ : state) {
        s.store.SetSampleTimes(&times[turn]);
        turn ^= 1;
        benchmark::DoNotOptimize(s.store.AdvanceToNextChange(kBlock, &mask));
    }
    state.SetItemsProcessed(state.iterations());
}

// AddEnvelope of a lane whose segments all overlap the stored ones: the lock-hold time.
void ResendALane(benchmark::State& state) {
    const int segments = int(state.range(0));
    Store s;
    std::vector<MP_ENVELOPE_SEGMENT> lane = Lane(segments, 0, 0);
    s.store.AddEnvelope(0, DWORD(segments), lane.data());
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.store.AddEnvelope(0, DWORD(segments), lane.data()));
    }
}

// FlushEnvelope of a whole stored lane.
void FlushALane(benchmark::State& state) {
    const int segments = int(state.range(0));
    Store s;
    std::vector<MP_ENVELOPE_SEGMENT> lane = Lane(segments, 0, 0);
    for (auto _ : state) {
        state.PauseTiming();
        s.store.AddEnvelope(0, DWORD(segments), lane.data());
        state.ResumeTiming();
        benchmark::DoNotOptimize(s.store.FlushEnvelope(0, INT64_MIN, INT64_MAX));
    }
}

}  // namespace

BENCHMARK(FollowTheClock)->Arg(1)->Arg(100)->Arg(10000)->Arg(100000);
BENCHMARK(AdvanceAt)
    ->ArgNames({"where", "segments"})
    ->ArgsProduct({{kBeforeFirst, kInAGap, kAfterLast, kJumping}, {1, 100000}});
BENCHMARK(ResendALane)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(FlushALane)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
