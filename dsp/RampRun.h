// The coefficients of moving ramps for a run of frames, computed apart from the recurrence so
// that a kernel can work out the next run between the frames of this one: the recurrence is a
// serial chain, and the sine and divisions of the coefficients fill the cycles it leaves idle.
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
// A whole run at once: Begin, then Finish from 1.
void ComputeRampRun(DspCore* core, DWORD count, RampRun* run);

#ifdef __SSE2__
namespace ramp_detail {

constexpr double kPi = 3.141592653589793;
// 20000 / (3 x 44100): the cut-off never goes above 20000/44100 of the sample rate.
constexpr double kMaxRatio = 0.15117157974300832;
constexpr double kQSpan = 24.292893218813454;  // 25 - 1/sqrt(2)
constexpr double kMinQ = 0.7071067811865476;

// DeterministicSine on two arguments: the same operations in the same order.
inline __m128d SinePair(__m128d x) {
    constexpr double c[] = {-1.0 / 6.0,
                            1.0 / 120.0,
                            -1.0 / 5040.0,
                            1.0 / 362880.0,
                            -1.0 / 39916800.0,
                            1.0 / 6227020800.0,
                            -1.0 / 1307674368000.0,
                            1.0 / 355687428096000.0,
                            -1.0 / 121645100408832000.0};
    const __m128d x2 = _mm_mul_pd(x, x);
    __m128d p = _mm_set1_pd(c[8]);
    for (int i = 7; i >= 0; --i)
        p = _mm_add_pd(_mm_set1_pd(c[i]), _mm_mul_pd(x2, p));
    return _mm_add_pd(x, _mm_mul_pd(_mm_mul_pd(x, x2), p));
}

// The scalar clamp on two values. The operand orders keep what its comparisons keep: a value at
// a bound (-0.0 at 0 too) stays itself, and a NaN reaches the last step as a NaN.
inline __m128d ClampPair(DWORD index, __m128d v) {
    __m128d t = _mm_min_pd(_mm_set1_pd(ParamMax(index)), v);  // max < v ? max : v
    t = _mm_max_pd(_mm_set1_pd(ParamMin(index)), t);          // min > t ? min : t
    const __m128d nan = _mm_cmpunord_pd(v, v);
    return _mm_or_pd(_mm_and_pd(nan, _mm_set1_pd(ParamNeutral(index))), _mm_andnot_pd(nan, t));
}

}  // namespace ramp_detail

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

// Moves the moving ramps two frames on and computes entries i and i + 1 from them
// (i + 1 <= count), with packed arithmetic.
inline void ComputeRampPair(DspCore* core, RampRun* run, DWORD i) {
    using namespace ramp_detail;
    RampCoefficients& out = run->coef;
    if (run->moves[kRampFrequency]) {
        __m128d hz = StepPair(core->ramps[kRampFrequency]);
        if (!run->inRange[kRampFrequency]) hz = ClampPair(kParamFrequency, hz);
        // The ratio when below the cap, else the cap (a NaN ratio too).
        const __m128d ratio =
            _mm_min_pd(_mm_div_pd(hz, _mm_set1_pd(3.0 * core->sampleRate)), _mm_set1_pd(kMaxRatio));
        const __m128d sine = SinePair(_mm_mul_pd(_mm_set1_pd(kPi), ratio));
        _mm_storeu_pd(out.freqCoef + i, _mm_mul_pd(_mm_set1_pd(2.0), sine));
    }
    if (run->moves[kRampResonance]) {
        __m128d r = StepPair(core->ramps[kRampResonance]);
        if (!run->inRange[kRampResonance]) r = ClampPair(kParamResonance, r);
        const __m128d q = _mm_add_pd(
            _mm_mul_pd(_mm_mul_pd(r, _mm_set1_pd(0.01)), _mm_set1_pd(kQSpan)), _mm_set1_pd(kMinQ));
        _mm_storeu_pd(out.damping + i, _mm_div_pd(_mm_set1_pd(1.0), q));
    }
    if (run->moves[kRampWetDry]) {
        __m128d w = StepPair(core->ramps[kRampWetDry]);
        if (!run->inRange[kRampWetDry]) w = ClampPair(kParamWetDry, w);
        const __m128d wet = _mm_mul_pd(w, _mm_set1_pd(0.01));
        _mm_storeu_pd(out.wetGain + i, wet);
        _mm_storeu_pd(out.dryGain + i, _mm_sub_pd(_mm_set1_pd(1.0), wet));
    }
}
// How many leading entries (from 1) the kernels compute in pairs between frames.
inline DWORD PairedEntries(DWORD count) {
    return count & ~DWORD(1);
}
#else
inline void ComputeRampPair(DspCore*, RampRun*, DWORD) {}
inline DWORD PairedEntries(DWORD) {
    return 0;
}
#endif

// Frames of coefficients to compute ahead when `left` frames remain.
inline DWORD BlockLength(DWORD left) {
    return left < kRampBlock ? left : kRampBlock;
}

// Runs tick(n, f, d, wet, dry) for frames 0..frames-1 in order, with the coefficients in force
// at each. With Moving, the ramps move a frame each, and the next run's coefficients are
// computed a pair at a time between this run's frames.
// Always inlined into the kernel: as a call of its own, the section states that `tick` keeps
// would have to live in memory, since the stores into the next run might alias them.
template <bool Moving, typename Tick>
__attribute__((always_inline)) inline void ForEachFrame(DspCore* core, DWORD frames, Tick&& tick) {
    if (!Moving) {
        const CoefficientSet c = core->coef;
        for (DWORD n = 0; n < frames; ++n)
            tick(n, c.freqCoef, c.damping, c.wetGain, c.dryGain);
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
        for (DWORD i = 0; i < length; ++i) {
            // One pair every other frame: entries 1..paired by the end of a full run.
            if ((i & 1) == 0 && i < paired) ComputeRampPair(core, ahead, i + 1);
            tick(start + i, c.freqCoef[i], c.damping[i], c.wetGain[i], c.dryGain[i]);
        }
        if (next) FinishRampRun(core, ahead, paired + 1);
        start += length;
        length = next;
        RampRun* done = now;
        now = ahead;
        ahead = done;
    }
}
