// The signal path's working state: coefficients, per-frame ramps and the section states.
//
// Design: a Chamberlin state-variable filter run three passes per input sample, with the
// frequency coefficient f = 2 sin(pi F / 3fs) and damping d = 1/Q.
#pragma once

#include "params/ParamTable.h"

struct CoefficientSet {
    double freqCoef;
    double damping;
    double wetGain;
    double dryGain;
    LONG filterType;   // 0 low, 1 band, 2 high; anything else selects no kernel
    LONG filterOrder;  // 0 second order, otherwise fourth
};

struct SvfState {
    double low;
    double high;
    double band;
};

// A continuous parameter moving frame by frame: value += step, then step += curve.
struct ParamRamp {
    double value;
    double step;
    double curve;
};

// The six values as read together for one recomputation.
struct ParamSnapshot {
    MP_DATA values[kParamCount];
};

enum RampIndex { kRampFrequency = 0, kRampResonance = 1, kRampWetDry = 2, kRampCount = 3 };
constexpr DWORD kRampParam[kRampCount] = {kParamFrequency, kParamResonance, kParamWetDry};

// The most channels a stream may have: the widest layouts hosts hand an inserted effect, with
// room to spare. Their states are held here whole, so nothing is allocated per block.
constexpr int kMaxChannels = 32;

// Section states by pairs of channels, four to a pair: section 1 of its first and second
// channel, then section 2 of both, so stereo keeps its first four. StateIndex(0, ch) is the
// channel's section 1, StateIndex(1, ch) its section 2.
constexpr int kStateCount = 2 * kMaxChannels;
constexpr int StateIndex(int section, int channel) {
    return (channel / 2) * 4 + section * 2 + channel % 2;
}

struct DspCore {
    CoefficientSet coef;
    SvfState states[kStateCount];
    ParamRamp ramps[kRampCount];
    double sampleRate;
    bool rampsMoving;  // some step or curve is non-zero: recompute after every frame
};

double FrequencyCoefficient(double frequency, double sampleRate);
double Damping(double resonance);

// Sets the coefficients from a snapshot and loads the ramps from what the envelopes left
// (value, slope per second, curvature per second squared, in ramp order).
void LoadCoefficients(DspCore* core, const ParamSnapshot& snapshot,
                      const double rampState[kRampCount][3]);

// One frame on: moves the ramps and recomputes the coefficients from them.
void AdvanceRamps(DspCore* core);

// Frames per run of coefficients computed ahead of the recurrence (see RampRun.h).
constexpr DWORD kRampBlock = 128;
struct RampCoefficients {
    double freqCoef[kRampBlock + 1];
    double damping[kRampBlock + 1];
    double wetGain[kRampBlock + 1];
    double dryGain[kRampBlock + 1];
};

void ResetStates(DspCore* core);
// Zeroes any section left holding a non-finite value, so one bad sample does not silence the
// stream until the next restart.
void ClearNonFiniteStates(DspCore* core);
