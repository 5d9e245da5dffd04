// One state-variable section, three passes per input sample, and the specialised frame loops
// built on it. Header-only so the loops inline the section; instantiated in Kernels.cpp.
#pragma once

#include <cmath>

#include "DspCore.h"

enum FilterType { kLowPass = 0, kBandPass = 1, kHighPass = 2 };

// Zeros and denormals become +0.0 (magnitude below 2^-32); infinities and NaN stay.
inline double Flush(double v) {
    return std::fabs(v) < 0x1p-32 ? 0.0 : v;
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

// Filters `frames` interleaved frames in place. Sample is float (32-bit working samples, the
// value between sections rounded to float) or double (64-bit working samples throughout).
template <typename Sample, int Channels, bool Fourth, int Type, bool Moving>
void SvfLoop(DspCore* core, Sample* buffer, DWORD frames) {
    SvfState first[2] = {core->states[0], core->states[1]};
    SvfState second[2] = {core->states[2], core->states[3]};
    double f = core->coef.freqCoef;
    double d = core->coef.damping;
    double wet = core->coef.wetGain;
    double dry = core->coef.dryGain;
    for (DWORD n = 0; n < frames; ++n) {
        Sample* frame = buffer + size_t(n) * Channels;
        for (int ch = 0; ch < Channels; ++ch) {
            const Sample x = frame[ch];
            const double dryPart = double(x) * dry;
            double y = SvfTick<Type>(first[ch], x, f, d);
            if (Fourth) y = SvfTick<Type>(second[ch], Sample(y), f, d);
            frame[ch] = Sample(wet * y + dryPart);
        }
        if (Moving) {
            AdvanceRamps(core);
            f = core->coef.freqCoef;
            d = core->coef.damping;
            wet = core->coef.wetGain;
            dry = core->coef.dryGain;
        }
    }
    core->states[0] = first[0];
    core->states[1] = first[1];
    core->states[2] = second[0];
    core->states[3] = second[1];
}

// Picks the loop for the channel count, order and type. S_FALSE for a channel count other than
// 1 or 2 (nothing touched); a type outside 0..2 runs nothing and answers S_OK.
HRESULT RunKernel(DspCore* core, float* buffer, DWORD frames, int channels);
HRESULT RunKernel(DspCore* core, double* buffer, DWORD frames, int channels);
