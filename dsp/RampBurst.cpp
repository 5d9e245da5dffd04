// A whole run of ramp coefficients at once. The frequency coefficient's sine is a chain of
// dependent steps; several frames' chains advance side by side, so the processor works on all of
// them in the time one would take. Where the processor has AVX and the compiler keeps its stack
// aligned for it, four frames share each operation instead of two. The bits are the same either
// way: packed operations round exactly like scalar ones, and the order of operations is kept.
#include <atomic>

#include "RampRun.h"

#if defined(__SSE2__) && defined(__x86_64__) && !defined(_WIN32)
// GCC does not align the stack for 32-byte spills on Windows, so only other x86-64 builds
// carry the AVX path.
#define RF_AVX_RAMPS 1
#include <immintrin.h>
#endif

#ifdef __SSE2__
namespace ramp_detail {
#define RF_BOTH(x) \
    Both {         \
        x, x       \
    }
const PairConstants kPairConstants = {
    RF_BOTH(3.141592653589793),
    RF_BOTH(0.15117157974300832),  // 20000 / (3 x 44100)
    RF_BOTH(2.0),
    RF_BOTH(1.0),
    RF_BOTH(0.01),
    RF_BOTH(24.292893218813454),  // 25 - 1/sqrt(2)
    RF_BOTH(0.7071067811865476),
    {RF_BOTH(-1.0 / 6.0), RF_BOTH(1.0 / 120.0), RF_BOTH(-1.0 / 5040.0), RF_BOTH(1.0 / 362880.0),
     RF_BOTH(-1.0 / 39916800.0), RF_BOTH(1.0 / 6227020800.0), RF_BOTH(-1.0 / 1307674368000.0),
     RF_BOTH(1.0 / 355687428096000.0), RF_BOTH(-1.0 / 121645100408832000.0)}};
#undef RF_BOTH
}  // namespace ramp_detail

namespace {

using namespace ramp_detail;

#ifdef RF_AVX_RAMPS
bool ProcessorHasAvx() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx");
}

// A ramp four frames on: its four values.
inline void StepQuad(ParamRamp& ramp, double* values) {
    double value = ramp.value, step = ramp.step;
    for (int n = 0; n < 4; ++n) {
        value += step;
        step += ramp.curve;
        values[n] = value;
    }
    ramp.value = value;
    ramp.step = step;
}

__attribute__((target("avx"))) inline __m256d Broadcast(const Both& b) {
    return _mm256_broadcast_sd(&b.lo);
}

// ClampPair on four values.
__attribute__((target("avx"))) inline __m256d ClampQuad(DWORD index, __m256d v) {
    __m256d t = _mm256_min_pd(_mm256_set1_pd(ParamMax(index)), v);
    t = _mm256_max_pd(_mm256_set1_pd(ParamMin(index)), t);
    const __m256d nan = _mm256_cmp_pd(v, v, _CMP_UNORD_Q);
    return _mm256_or_pd(_mm256_and_pd(nan, _mm256_set1_pd(ParamNeutral(index))),
                        _mm256_andnot_pd(nan, t));
}

// Entries from `i` in groups of sixteen, while a group ends at or before `last`: four quads side
// by side. Answers the first entry left.
__attribute__((target("avx"))) DWORD FrequencyQuads(PairCursor& cursor, RampRun* run, DWORD i,
                                                    DWORD last) {
    constexpr int G = 4;
    const PairConstants& k = kPairConstants;
    const __m256d divisor = _mm256_set1_pd(_mm_cvtsd_f64(cursor.rateTimesThree));
    for (; i + 4 * G - 1 <= last; i += 4 * G) {
        __m256d x[G], x2[G], p[G];
        for (int q = 0; q < G; ++q) {
            alignas(32) double hz[4];
            StepQuad(cursor.ramps[kRampFrequency], hz);
            __m256d v = _mm256_load_pd(hz);
            if (!run->inRange[kRampFrequency]) v = ClampQuad(kParamFrequency, v);
            const __m256d ratio = _mm256_min_pd(_mm256_div_pd(v, divisor), Broadcast(k.maxRatio));
            x[q] = _mm256_mul_pd(Broadcast(k.pi), ratio);
        }
        for (int q = 0; q < G; ++q) {
            x2[q] = _mm256_mul_pd(x[q], x[q]);
            p[q] = Broadcast(k.sineTerms[8]);
        }
        for (int j = 7; j >= 0; --j)
            for (int q = 0; q < G; ++q)
                p[q] = _mm256_add_pd(Broadcast(k.sineTerms[j]), _mm256_mul_pd(x2[q], p[q]));
        for (int q = 0; q < G; ++q) {
            const __m256d sine =
                _mm256_add_pd(x[q], _mm256_mul_pd(_mm256_mul_pd(x[q], x2[q]), p[q]));
            _mm256_storeu_pd(run->coef.freqCoef + i + 4 * q, _mm256_mul_pd(Broadcast(k.two), sine));
        }
    }
    return i;
}

std::atomic<bool> useAvx{ProcessorHasAvx()};
#endif

}  // namespace
#endif

bool AllowAvxRamps(bool allowed) {
#ifdef RF_AVX_RAMPS
    useAvx.store(allowed && ProcessorHasAvx());
    return useAvx.load();
#else
    (void)allowed;
    return false;
#endif
}

void ComputeRampRun(DspCore* core, DWORD count, RampRun* run) {
    BeginRampRun(core, count, run);
    const DWORD paired = PairedEntries(count);
#ifdef __SSE2__
    PairCursor cursor = TakeCursor(core);
    if (run->moves[kRampFrequency]) {
        DWORD i = 1;
#ifdef RF_AVX_RAMPS
        if (useAvx.load(std::memory_order_relaxed)) i = FrequencyQuads(cursor, run, i, paired);
#endif
        for (; i + 7 <= paired; i += 8)
            FrequencyPairs<4>(cursor, run, i);
        for (; i < paired; i += 2)
            FrequencyPairs<1>(cursor, run, i);
    }
    if (run->moves[kRampResonance] || run->moves[kRampWetDry]) {
        for (DWORD i = 1; i < paired; i += 2)
            OtherRampPair(cursor, run, i);
    }
    PutCursor(cursor, core);
#endif
    FinishRampRun(core, run, paired + 1);
}
