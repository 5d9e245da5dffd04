// One state-variable section, three passes per input sample, and the specialised frame loops
// built on it. Header-only so the loops inline the section; instantiated in Kernels.cpp.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstring>

#include "DspCore.h"
#include "RampRun.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

enum FilterType { kLowPass = 0, kBandPass = 1, kHighPass = 2 };

// Zeros and denormals become +0.0 (magnitude below 2^-32); infinities and NaN stay.
inline double Flush(double v) {
    return std::fabs(v) < 0x1p-32 ? 0.0 : v;
}

// The value between the sections in the working precision. A 32-bit one saturates instead of
// overflowing to an infinity, which the second section would turn into NaN for the rest of the
// buffer; within range this is the plain rounding, and a NaN stays NaN.
template <typename Sample>
inline Sample Between(double y) {
    return Sample(y);
}
template <>
inline float Between<float>(double y) {
    return y > FLT_MAX ? FLT_MAX : (y < -FLT_MAX ? -FLT_MAX : float(y));
}

template <int Type>
inline double SvfTick(SvfState& s, double x, double f, double d) {
    for (int pass = 0; pass < 3; ++pass) {
        s.low = Flush(s.low + f * s.band);
        s.high = Flush(x - s.low - d * s.band);
        s.band = Flush(f * s.high + s.band);
    }
    return Type == kLowPass ? s.low : (Type == kBandPass ? s.band : s.high);
}

#ifdef __SSE2__
// Both channels of a stereo frame in one register pair, lane 0 channel 0. Packed double
// arithmetic rounds exactly like the scalar code, so the output bits are the same; the gain is
// that in fourth order the four dependency chains of a frame no longer crowd the out-of-order
// window.
struct SvfPair {
    __m128d low, high, band;
};

// A state that small is rare while signal flows, so the test is a branch rather than a mask:
// predicted, it leaves the recurrence's chain, which is what bounds these loops.
inline __m128d FlushPair(__m128d v) {
    const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), v);
    const __m128d tiny = _mm_cmplt_pd(magnitude, _mm_set1_pd(0x1p-32));
    if (__builtin_expect(_mm_movemask_pd(tiny) != 0, 0)) return _mm_andnot_pd(tiny, v);
    return v;
}

template <int Type>
inline __m128d SvfTickPair(SvfPair& s, __m128d x, __m128d f, __m128d d) {
    for (int pass = 0; pass < 3; ++pass) {
        s.low = FlushPair(_mm_add_pd(s.low, _mm_mul_pd(f, s.band)));
        s.high = FlushPair(_mm_sub_pd(_mm_sub_pd(x, s.low), _mm_mul_pd(d, s.band)));
        s.band = FlushPair(_mm_add_pd(_mm_mul_pd(f, s.high), s.band));
    }
    return Type == kLowPass ? s.low : (Type == kBandPass ? s.band : s.high);
}

// Two floats move as one 8-byte unit; memcpy keeps that free of alignment and aliasing
// assumptions.
inline __m128d LoadPair(const float* p) {
    double both;
    std::memcpy(&both, p, sizeof both);
    return _mm_cvtps_pd(_mm_castpd_ps(_mm_load_sd(&both)));
}
inline void StorePair(float* p, __m128d v) {
    double both;
    _mm_store_sd(&both, _mm_castps_pd(_mm_cvtpd_ps(v)));
    std::memcpy(p, &both, sizeof both);
}
inline __m128d LoadPair(const double* p) {
    return _mm_loadu_pd(p);
}
inline void StorePair(double* p, __m128d v) {
    _mm_storeu_pd(p, v);
}
// The value between the sections in the working precision, saturated as Between() is (the
// operand order keeps a NaN).
inline __m128d RoundPair(__m128d v, float*) {
    v = _mm_min_pd(_mm_set1_pd(FLT_MAX), _mm_max_pd(_mm_set1_pd(-FLT_MAX), v));
    return _mm_cvtps_pd(_mm_cvtpd_ps(v));
}
inline __m128d RoundPair(__m128d v, double*) {
    return v;
}

inline SvfPair PackStates(const SvfState& a, const SvfState& b) {
    return {_mm_set_pd(b.low, a.low), _mm_set_pd(b.high, a.high), _mm_set_pd(b.band, a.band)};
}
inline void UnpackStates(const SvfPair& p, SvfState* a, SvfState* b) {
    double low[2], high[2], band[2];
    _mm_storeu_pd(low, p.low);
    _mm_storeu_pd(high, p.high);
    _mm_storeu_pd(band, p.band);
    *a = SvfState{low[0], high[0], band[0]};
    *b = SvfState{low[1], high[1], band[1]};
}

template <typename Sample, bool Fourth, int Type, bool Moving>
void SvfLoopStereo(DspCore* core, Sample* buffer, DWORD frames) {
    SvfPair first = PackStates(core->states[0], core->states[1]);
    SvfPair second = PackStates(core->states[2], core->states[3]);
    // In second order the pair is one short chain, like mono's, with idle cycles for the next
    // run's coefficients.
    ForEachFrame<Moving, !Fourth>(
        core, frames, [&](DWORD n, double fc, double dc, double wc, double yc) {
            const __m128d f = _mm_set1_pd(fc), d = _mm_set1_pd(dc);
            Sample* frame = buffer + size_t(n) * 2;
            const __m128d x = LoadPair(frame);
            const __m128d dryPart = _mm_mul_pd(x, _mm_set1_pd(yc));
            __m128d y = SvfTickPair<Type>(first, x, f, d);
            if (Fourth) y = SvfTickPair<Type>(second, RoundPair(y, frame), f, d);
            StorePair(frame, _mm_add_pd(_mm_mul_pd(_mm_set1_pd(wc), y), dryPart));
        });
    UnpackStates(first, &core->states[0], &core->states[1]);
    UnpackStates(second, &core->states[2], &core->states[3]);
}

// Three channels or more: the channels in pairs, packed as stereo's, and an odd last one alone
// with mono's arithmetic, all in one frame loop so the coefficients are worked out once a frame
// for every channel. Each channel's bits are those it would have filtered alone.
template <typename Sample, bool Fourth, int Type, bool Moving>
void SvfLoopMany(DspCore* core, Sample* buffer, DWORD frames, int channels) {
    const int pairs = channels / 2;
    const bool odd = channels % 2 != 0;
    SvfPair first[kMaxChannels / 2], second[kMaxChannels / 2];
    for (int p = 0; p < pairs; ++p) {
        first[p] = PackStates(core->states[4 * p], core->states[4 * p + 1]);
        second[p] = PackStates(core->states[4 * p + 2], core->states[4 * p + 3]);
    }
    const int last = channels - 1;
    SvfState loneFirst = core->states[StateIndex(0, last)];
    SvfState loneSecond = core->states[StateIndex(1, last)];
    ForEachFrame<Moving, false>(
        core, frames, [&](DWORD n, double fc, double dc, double wc, double yc) {
            const __m128d f = _mm_set1_pd(fc), d = _mm_set1_pd(dc);
            const __m128d wet = _mm_set1_pd(wc), dry = _mm_set1_pd(yc);
            Sample* frame = buffer + size_t(n) * channels;
            // In fourth order every pair's section 1 comes first: the section 2 chains then
            // start from values already under way, and more chains overlap.
            __m128d between[kMaxChannels / 2];
            if (Fourth) {
                for (int p = 0; p < pairs; ++p) {
                    const __m128d y = SvfTickPair<Type>(first[p], LoadPair(frame + 2 * p), f, d);
                    between[p] = RoundPair(y, frame);
                }
            }
            for (int p = 0; p < pairs; ++p) {
                Sample* at = frame + 2 * p;
                const __m128d x = LoadPair(at);
                const __m128d dryPart = _mm_mul_pd(x, dry);
                const __m128d y = Fourth ? SvfTickPair<Type>(second[p], between[p], f, d)
                                         : SvfTickPair<Type>(first[p], x, f, d);
                StorePair(at, _mm_add_pd(_mm_mul_pd(wet, y), dryPart));
            }
            if (odd) {
                const Sample x = frame[last];
                const double dryPart = double(x) * yc;
                double y = SvfTick<Type>(loneFirst, x, fc, dc);
                if (Fourth) y = SvfTick<Type>(loneSecond, Between<Sample>(y), fc, dc);
                frame[last] = Sample(wc * y + dryPart);
            }
        });
    for (int p = 0; p < pairs; ++p) {
        UnpackStates(first[p], &core->states[4 * p], &core->states[4 * p + 1]);
        UnpackStates(second[p], &core->states[4 * p + 2], &core->states[4 * p + 3]);
    }
    if (odd) {
        core->states[StateIndex(0, last)] = loneFirst;
        core->states[StateIndex(1, last)] = loneSecond;
    }
}
#else
// Without packed arithmetic every channel runs mono's, in the same frame loop.
template <typename Sample, bool Fourth, int Type, bool Moving>
void SvfLoopMany(DspCore* core, Sample* buffer, DWORD frames, int channels) {
    SvfState first[kMaxChannels], second[kMaxChannels];
    for (int ch = 0; ch < channels; ++ch) {
        first[ch] = core->states[StateIndex(0, ch)];
        second[ch] = core->states[StateIndex(1, ch)];
    }
    ForEachFrame<Moving, false>(core, frames,
                                [&](DWORD n, double f, double d, double wet, double dry) {
                                    Sample* frame = buffer + size_t(n) * channels;
                                    for (int ch = 0; ch < channels; ++ch) {
                                        const Sample x = frame[ch];
                                        const double dryPart = double(x) * dry;
                                        double y = SvfTick<Type>(first[ch], x, f, d);
                                        if (Fourth)
                                            y = SvfTick<Type>(second[ch], Between<Sample>(y), f, d);
                                        frame[ch] = Sample(wet * y + dryPart);
                                    }
                                });
    for (int ch = 0; ch < channels; ++ch) {
        core->states[StateIndex(0, ch)] = first[ch];
        core->states[StateIndex(1, ch)] = second[ch];
    }
}
#endif

// Filters `frames` interleaved frames in place. Sample is float (32-bit working samples, the
// value between sections rounded to float) or double (64-bit working samples throughout).
template <typename Sample, int Channels, bool Fourth, int Type, bool Moving>
void SvfLoop(DspCore* core, Sample* buffer, DWORD frames) {
#ifdef __SSE2__
    if constexpr (Channels == 2) {
        SvfLoopStereo<Sample, Fourth, Type, Moving>(core, buffer, frames);
        return;
    }
#endif
    SvfState first[2] = {core->states[0], core->states[1]};
    SvfState second[2] = {core->states[2], core->states[3]};
    // One short chain leaves idle cycles for the next run's coefficients; more chains do not.
    constexpr bool kInterleave = Channels == 1 && !Fourth;
    ForEachFrame<Moving, kInterleave>(
        core, frames, [&](DWORD n, double f, double d, double wet, double dry) {
            Sample* frame = buffer + size_t(n) * Channels;
            for (int ch = 0; ch < Channels; ++ch) {
                const Sample x = frame[ch];
                const double dryPart = double(x) * dry;
                double y = SvfTick<Type>(first[ch], x, f, d);
                if (Fourth) y = SvfTick<Type>(second[ch], Between<Sample>(y), f, d);
                frame[ch] = Sample(wet * y + dryPart);
            }
        });
    core->states[0] = first[0];
    core->states[1] = first[1];
    core->states[2] = second[0];
    core->states[3] = second[1];
}

// Picks the loop for the channel count, order and type. S_FALSE for a channel count outside
// 1..kMaxChannels (nothing touched); a type outside 0..2 runs nothing and answers S_OK.
HRESULT RunKernel(DspCore* core, float* buffer, DWORD frames, int channels);
HRESULT RunKernel(DspCore* core, double* buffer, DWORD frames, int channels);
