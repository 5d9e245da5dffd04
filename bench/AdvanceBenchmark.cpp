// Cost of one AdvanceToNextChange while following the clock forward through envelopes of
// 1, 100 and 10,000 segments per parameter: it must not grow with the segment count.
#include <benchmark/benchmark.h>

#include <vector>

#include "params/MediaParamStore.h"
#include "platform/NullOwner.h"

namespace {

constexpr REFERENCE_TIME kSegmentLength = 1000000;  // 100 ms: a boundary every ~4410 frames
constexpr DWORD kBlock = 512;

void FollowTheClock(benchmark::State& state) {
    const int segments = int(state.range(0));
    NullOwner owner;
    HRESULT created = E_FAIL;
    MediaParamStore store(&owner, &created);
    std::vector<MP_ENVELOPE_SEGMENT> envelope(static_cast<size_t>(segments));
    for (int i = 0; i < segments; ++i) {
        envelope[size_t(i)] = {i * kSegmentLength, (i + 1) * kSegmentLength, 100.0f + i % 50,
                               150.0f + i % 50,    MP_CURVE_LINEAR,          0};
    }
    for (DWORD p = 0; p < kParamCount; ++p) {
        store.AddEnvelope(p, DWORD(segments), envelope.data());
    }
    store.StartTimeBase(44100);
    const REFERENCE_TIME end = segments * kSegmentLength;
    REFERENCE_TIME start = 0;
    store.SetSampleTimes(&start);
    for (auto _ : state) {
        DWORD mask = 0;
        benchmark::DoNotOptimize(store.AdvanceToNextChange(kBlock, &mask));
        if (store.Position() >= end) {
            state.PauseTiming();
            store.SetSampleTimes(&start);
            DWORD m = 0;
            store.AdvanceToNextChange(1, &m);  // settle the cursor back at the start
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(FollowTheClock)->Arg(1)->Arg(100)->Arg(10000);
BENCHMARK_MAIN();
