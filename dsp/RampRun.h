// The coefficients of moving ramps for a run of frames, computed apart from the recurrence,
// which is a serial chain. A kernel with one short chain has idle cycles, and works out the next
// run a pair of frames at a time between the frames of this one. The others have few idle
// cycles, and compute each run at once, many independent chains side by side, which takes fewer
// cycles than the same work threaded through the recurrence.
// Every step rounds as AdvanceRamps does, so the bits are those of advancing frame by frame.
#pragma once

#include "DspCore.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

struct RampRun {
    RampCoefficients coef;  // entry 0 in force at the run's first frame, entry i after i frames
    double values[kRampCount][kRampBlock + 1];  // raw values at 1..count, where stored
    bool moves[kRampCount];
    // A moving ramp that stays well inside its parameter's range for the whole run: clamping
    // would give back every value as it is, so it is left out.
    bool inRange[kRampCount];
    DWORD count;
    // A still ramp's entries 3..filled[r] hold the value it had when filled, so a run that
    // follows with the same value need not write them again.
    DWORD filled[kRampCount] = {};
};

// Starts a run of `count` frames (count <= kRampBlock): entry 0 from core->coef, and every entry
// of the ramps that hold still, which move here. The moving ones move as their entries are
// computed, in order: ComputeRampPair for pairs from 1, then FinishRampRun for the rest.
void BeginRampRun(DspCore* core, DWORD count, RampRun* run);
// Moves the moving ramps and computes their entries from `from` to count one at a time, and
// leaves core->coef at entry count.
void FinishRampRun(DspCore* core, RampRun* run, DWORD from);
// A whole run at once: Begin, the moving ramps' entries with independent chains side by side,
// then Finish for what is left.
void ComputeRampRun(DspCore* core, DWORD count, RampRun* run);
// Whether ComputeRampRun may use AVX where the processor has it (by default it does). Answers
// whether it now will. For tests, which compare the two.
bool AllowAvxRamps(bool allowed);

#ifdef __SSE2__
namespace ramp_detail {

// Constants as aligned pairs, defined out of line: where the compiler sees their values it
// builds each from a scalar with a load and a shuffle, rather than taking it as one memory
// operand, and those extra instructions crowd the recurrence.
struct alignas(16) Both {
    double lo, hi;
};
inline __m128d Get(const Both& b) {
    return _mm_load_pd(&b.lo);
}
struct PairConstants {
    Both pi, maxRatio, two, one, hundredth, qSpan, minQ;
    Both sineTerms[9];  // of x^3 to x^19, as DeterministicSine has them
};
extern const PairConstants kPairConstants;

// The scalar clamp on two values. The operand orders keep what its comparisons keep: a value at
// a bound (-0.0 at 0 too) stays itself, and a NaN reaches the last step as a NaN.
inline __m128d ClampPair(DWORD index, __m128d v) {
    __m128d t = _mm_min_pd(_mm_set1_pd(ParamMax(index)), v);  // max < v ? max : v
    t = _mm_max_pd(_mm_set1_pd(ParamMin(index)), t);          // min > t ? min : t
    const __m128d nan = _mm_cmpunord_pd(v, v);
    return _mm_or_pd(_mm_and_pd(nan, _mm_set1_pd(ParamNeutral(index))), _mm_andnot_pd(nan, t));
}

}  // namespace ramp_detail

// What the pairs carry from one to the next. A kernel holds it in a local for a run, so that it
// can live in registers: kept in DspCore, each pair's loads would wait on the stores of the pair
// before, which retire late in a loop bound by the recurrence's latency.
struct PairCursor {
    ParamRamp ramps[kRampCount];
    __m128d rateTimesThree;  // the divisor of the frequency ratio, both lanes
};
inline PairCursor TakeCursor(const DspCore* core) {
    PairCursor c;
    for (int r = 0; r < kRampCount; ++r)
        c.ramps[r] = core->ramps[r];
    c.rateTimesThree = _mm_set1_pd(3.0 * core->sampleRate);
    return c;
}
inline void PutCursor(const PairCursor& c, DspCore* core) {
    for (int r = 0; r < kRampCount; ++r)
        core->ramps[r] = c.ramps[r];
}

// A ramp two frames on: its two values as a pair.
inline __m128d StepPair(ParamRamp& ramp) {
    double value = ramp.value, step = ramp.step;
    const double first = value += step;
    step += ramp.curve;
    value += step;
    step += ramp.curve;
    ramp.value = value;
    ramp.step = step;
    return _mm_set_pd(value, first);
}

// The argument of the sine for two frames, from the frequency ramp's two values.
inline __m128d SineArgument(const PairCursor& cursor, const RampRun* run, __m128d hz) {
    using namespace ramp_detail;
    const PairConstants& k = kPairConstants;
    if (!run->inRange[kRampFrequency]) hz = ClampPair(kParamFrequency, hz);
    // The ratio when below the cap, else the cap (a NaN ratio too).
    const __m128d ratio = _mm_min_pd(_mm_div_pd(hz, cursor.rateTimesThree), Get(k.maxRatio));
    return _mm_mul_pd(Get(k.pi), ratio);
}

// Moves the moving Resonance and Wet/Dry ramps two frames on and computes their entries i and
// i + 1.
inline void OtherRampPair(PairCursor& cursor, RampRun* run, DWORD i) {
    using namespace ramp_detail;
    const PairConstants& k = kPairConstants;
    RampCoefficients& out = run->coef;
    if (run->moves[kRampResonance]) {
        __m128d r = StepPair(cursor.ramps[kRampResonance]);
        if (!run->inRange[kRampResonance]) r = ClampPair(kParamResonance, r);
        const __m128d q =
            _mm_add_pd(_mm_mul_pd(_mm_mul_pd(r, Get(k.hundredth)), Get(k.qSpan)), Get(k.minQ));
        _mm_storeu_pd(out.damping + i, _mm_div_pd(Get(k.one), q));
    }
    if (run->moves[kRampWetDry]) {
        __m128d w = StepPair(cursor.ramps[kRampWetDry]);
        if (!run->inRange[kRampWetDry]) w = ClampPair(kParamWetDry, w);
        const __m128d wet = _mm_mul_pd(w, Get(k.hundredth));
        _mm_storeu_pd(out.wetGain + i, wet);
        _mm_storeu_pd(out.dryGain + i, _mm_sub_pd(Get(k.one), wet));
    }
}

// Entries i..i+2G-1 of the moving frequency ramp, G pairs at a time: DeterministicSine's
// operations in its order, each step taken for all G pairs before the next, so that their
// chains overlap.
template <int G>
inline void FrequencyPairs(PairCursor& cursor, RampRun* run, DWORD i) {
    using namespace ramp_detail;
    const PairConstants& k = kPairConstants;
    __m128d x[G], x2[G], p[G];
    for (int q = 0; q < G; ++q)
        x[q] = SineArgument(cursor, run, StepPair(cursor.ramps[kRampFrequency]));
    for (int q = 0; q < G; ++q) {
        x2[q] = _mm_mul_pd(x[q], x[q]);
        p[q] = Get(k.sineTerms[8]);
    }
    for (int j = 7; j >= 0; --j)
        for (int q = 0; q < G; ++q)
            p[q] = _mm_add_pd(Get(k.sineTerms[j]), _mm_mul_pd(x2[q], p[q]));
    for (int q = 0; q < G; ++q) {
        const __m128d sine = _mm_add_pd(x[q], _mm_mul_pd(_mm_mul_pd(x[q], x2[q]), p[q]));
        _mm_storeu_pd(run->coef.freqCoef + i + 2 * q, _mm_mul_pd(Get(k.two), sine));
    }
}

// Moves the moving ramps two frames on and computes entries i and i + 1 from them
// (i + 1 <= count), with packed arithmetic.
inline void ComputeRampPair(PairCursor& cursor, RampRun* run, DWORD i) {
    if (run->moves[kRampFrequency]) FrequencyPairs<1>(cursor, run, i);
    OtherRampPair(cursor, run, i);
}

// How many leading entries (from 1) the kernels compute in pairs between frames.
inline DWORD PairedEntries(DWORD count) {
    return count & ~DWORD(1);
}
#else
struct PairCursor {};
inline PairCursor TakeCursor(const DspCore*) {
    return {};
}
inline void PutCursor(const PairCursor&, DspCore*) {}
inline void ComputeRampPair(PairCursor&, RampRun*, DWORD) {}
inline DWORD PairedEntries(DWORD) {
    return 0;
}
#endif

// Frames of coefficients to compute ahead when `left` frames remain.
inline DWORD BlockLength(DWORD left) {
    return left < kRampBlock ? left : kRampBlock;
}

// Runs tick(n, f, d, wet, dry) for frames 0..frames-1 in order, with the coefficients in force
// at each. With Moving, the ramps move a frame each. With Interleave, the next run's
// coefficients are computed a pair at a time between this run's frames; without, each run is
// computed whole before its frames.
// Always inlined into the kernel: as a call of its own, the section states that `tick` keeps
// would have to live in memory, since the stores into the next run might alias them.
template <bool Moving, bool Interleave, typename Tick>
__attribute__((always_inline)) inline void ForEachFrame(DspCore* core, DWORD frames, Tick&& tick) {
    if (!Moving) {
        const CoefficientSet c = core->coef;
        for (DWORD n = 0; n < frames; ++n)
            tick(n, c.freqCoef, c.damping, c.wetGain, c.dryGain);
        return;
    }
    if (!Interleave) {
        RampRun run;
        for (DWORD start = 0; start < frames;) {
            const DWORD length = BlockLength(frames - start);
            ComputeRampRun(core, length, &run);
            const RampCoefficients& c = run.coef;
            for (DWORD i = 0; i < length; ++i)
                tick(start + i, c.freqCoef[i], c.damping[i], c.wetGain[i], c.dryGain[i]);
            start += length;
        }
        return;
    }
    RampRun runs[2];
    RampRun* now = &runs[0];
    RampRun* ahead = &runs[1];
    DWORD length = BlockLength(frames);
    ComputeRampRun(core, length, now);
    for (DWORD start = 0; start < frames;) {
        const DWORD next = BlockLength(frames - start - length);
        const DWORD paired = PairedEntries(next);
        if (next) BeginRampRun(core, next, ahead);
        const RampCoefficients& c = now->coef;
        PairCursor cursor = TakeCursor(core);
        // Two frames a turn, with one pair of the next run's entries: 1..paired by the end.
        DWORD i = 0;
        for (; i + 1 < length; i += 2) {
            if (i < paired) ComputeRampPair(cursor, ahead, i + 1);
            tick(start + i, c.freqCoef[i], c.damping[i], c.wetGain[i], c.dryGain[i]);
            tick(start + i + 1, c.freqCoef[i + 1], c.damping[i + 1], c.wetGain[i + 1],
                 c.dryGain[i + 1]);
        }
        if (i < length) {
            if (i < paired) ComputeRampPair(cursor, ahead, i + 1);
            tick(start + i, c.freqCoef[i], c.damping[i], c.wetGain[i], c.dryGain[i]);
        }
        PutCursor(cursor, core);
        if (next) FinishRampRun(core, ahead, paired + 1);
        start += length;
        length = next;
        RampRun* done = now;
        now = ahead;
        ahead = done;
    }
}
