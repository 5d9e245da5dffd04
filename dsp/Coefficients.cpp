#include <cmath>
#include <cstring>

#include "DeterministicSine.h"
#include "DspCore.h"
#include "RampRun.h"

namespace {
constexpr double kPi = 3.141592653589793;
// 20000 / (3 x 44100): the cut-off never goes above 20000/44100 of the sample rate.
constexpr double kMaxRatio = 0.15117157974300832;
constexpr double kQSpan = 24.292893218813454;  // 25 - 1/sqrt(2)
constexpr double kMinQ = 0.7071067811865476;

void SetWetDry(CoefficientSet* c, double wetDry) {
    c->wetGain = wetDry * 0.01;
    c->dryGain = 1.0 - c->wetGain;
}

double ClampTo(DWORD index, double value) {
    if (value != value) return ParamNeutral(index);
    if (value > ParamMax(index)) return ParamMax(index);
    if (value < ParamMin(index)) return ParamMin(index);
    return value;
}
}  // namespace

double FrequencyCoefficient(double frequency, double sampleRate) {
    double ratio = frequency / (3.0 * sampleRate);
    if (!(ratio < kMaxRatio)) ratio = kMaxRatio;  // NaN too
    return 2.0 * DeterministicSine(kPi * ratio);
}

double Damping(double resonance) {
    return 1.0 / (resonance * 0.01 * kQSpan + kMinQ);
}

void LoadCoefficients(DspCore* core, const ParamSnapshot& snapshot,
                      const double rampState[kRampCount][3]) {
    CoefficientSet& c = core->coef;
    const double fs = core->sampleRate;
    c.freqCoef = FrequencyCoefficient(snapshot.values[kParamFrequency], fs);
    c.damping = Damping(snapshot.values[kParamResonance]);
    SetWetDry(&c, snapshot.values[kParamWetDry]);
    c.filterType = LONG(snapshot.values[kParamFilterType]);
    c.filterOrder = LONG(snapshot.values[kParamFilterOrder]);

    core->rampsMoving = false;
    for (int r = 0; r < kRampCount; ++r) {
        const double slope = rampState[r][1];
        const double curvature = rampState[r][2];
        ParamRamp& ramp = core->ramps[r];
        // A ramp that does not move holds the snapshot's value, so that skipping the per-frame
        // recomputation gives the very coefficients it would have computed.
        ramp.value = rampState[r][0];
        // Per-frame forward differences of the envelope's curve. The envelope's slope is its
        // change over the next second, so the per-frame derivative is slope - curvature/2.
        ramp.step = (slope - curvature / 2.0) / fs + curvature / (2.0 * fs * fs);
        ramp.curve = curvature / (fs * fs);
        const bool moving = ramp.step != 0.0 || ramp.curve != 0.0;
        if (!moving) ramp.value = snapshot.values[kRampParam[r]];
        core->rampsMoving |= moving;
    }
}

void AdvanceRamps(DspCore* core) {
    for (ParamRamp& ramp : core->ramps) {
        ramp.value += ramp.step;
        ramp.step += ramp.curve;
    }
    CoefficientSet& c = core->coef;
    // An envelope beyond a parameter's range must never give negative damping.
    c.freqCoef = FrequencyCoefficient(ClampTo(kParamFrequency, core->ramps[kRampFrequency].value),
                                      core->sampleRate);
    c.damping = Damping(ClampTo(kParamResonance, core->ramps[kRampResonance].value));
    SetWetDry(&c, ClampTo(kParamWetDry, core->ramps[kRampWetDry].value));
}

namespace {

// A ramp whose step and curve are zero settles by the second frame (the additions may only
// turn -0.0 into +0.0), so it moves at most twice, its values stored at 1 and 2.
void StepStill(ParamRamp& ramp, DWORD count, double* values) {
    for (DWORD i = 1; i <= count && i <= 2; ++i) {
        ramp.value += ramp.step;
        ramp.step += ramp.curve;
        values[i] = ramp.value;
    }
}

// True when the ramp's next `count` values are surely inside the parameter's range: within
// count |step| + count^2 |curve| of its value (the most the additions can move it), with a
// margin far above their rounding. A NaN or infinity anywhere answers false.
bool StaysInRange(const ParamRamp& ramp, DWORD count, DWORD index) {
    const double n = count;
    const double reach = n * std::fabs(ramp.step) + n * n * std::fabs(ramp.curve);
    const double low = ParamMin(index), high = ParamMax(index);
    const double margin = 1e-9 * (high - low) + 1e-6 * reach;
    return ramp.value - reach - margin > low && ramp.value + reach + margin < high;
}

double FrequencyOf(double hz, double rate) {
    return FrequencyCoefficient(ClampTo(kParamFrequency, hz), rate);
}
double DampingOf(double resonance) {
    return Damping(ClampTo(kParamResonance, resonance));
}
double WetOf(double wetDry) {
    return ClampTo(kParamWetDry, wetDry) * 0.01;
}

// Entries 3..count of `to` set to entry 2, where a still ramp has settled.
void Fill(double* to, DWORD count) {
    for (DWORD i = 3; i <= count; ++i)
        to[i] = to[2];
}

}  // namespace

namespace {

// Entry i of the ramps that move (or of those that hold still), from their values at i.
void ComputeEntry(RampRun* run, DWORD i, double rate, bool moving) {
    RampCoefficients& out = run->coef;
    if (run->moves[kRampFrequency] == moving)
        out.freqCoef[i] = FrequencyOf(run->values[kRampFrequency][i], rate);
    if (run->moves[kRampResonance] == moving)
        out.damping[i] = DampingOf(run->values[kRampResonance][i]);
    if (run->moves[kRampWetDry] == moving) {
        out.wetGain[i] = WetOf(run->values[kRampWetDry][i]);
        out.dryGain[i] = 1.0 - out.wetGain[i];
    }
}

}  // namespace

void BeginRampRun(DspCore* core, DWORD count, RampRun* run) {
    RampCoefficients& out = run->coef;
    const CoefficientSet& first = core->coef;
    out.freqCoef[0] = first.freqCoef;
    out.damping[0] = first.damping;
    out.wetGain[0] = first.wetGain;
    out.dryGain[0] = first.dryGain;
    run->count = count;
    for (int r = 0; r < kRampCount; ++r) {
        ParamRamp& ramp = core->ramps[r];
        run->moves[r] = ramp.step != 0.0 || ramp.curve != 0.0;
        run->inRange[r] = run->moves[r] && StaysInRange(ramp, count, kRampParam[r]);
        if (!run->moves[r]) StepStill(ramp, count, run->values[r]);
    }
    // A still ramp: computed for its first two frames, the rest as the second.
    for (DWORD i = 1; i <= count && i <= 2; ++i)
        ComputeEntry(run, i, core->sampleRate, false);
    double* const held[kRampCount] = {out.freqCoef, out.damping, out.wetGain};
    for (int r = 0; r < kRampCount; ++r) {
        if (run->moves[r]) {
            run->filled[r] = 0;  // its entries are being overwritten
            continue;
        }
        // Entries 3.. equal entry 2; still there from the last run when it had the same bits.
        if (count > 2 && run->filled[r] >= count &&
            std::memcmp(&held[r][3], &held[r][2], sizeof(double)) == 0)
            continue;
        Fill(held[r], count);
        if (r == kRampWetDry) Fill(out.dryGain, count);
        run->filled[r] = count;
    }
}

void FinishRampRun(DspCore* core, RampRun* run, DWORD from) {
    for (DWORD i = from; i <= run->count; ++i) {
        for (int r = 0; r < kRampCount; ++r) {
            if (!run->moves[r]) continue;
            ParamRamp& ramp = core->ramps[r];
            ramp.value += ramp.step;
            ramp.step += ramp.curve;
            run->values[r][i] = ramp.value;
        }
        ComputeEntry(run, i, core->sampleRate, true);
    }
    const RampCoefficients& out = run->coef;
    CoefficientSet& c = core->coef;
    c.freqCoef = out.freqCoef[run->count];
    c.damping = out.damping[run->count];
    c.wetGain = out.wetGain[run->count];
    c.dryGain = out.dryGain[run->count];
}

void ResetStates(DspCore* core) {
    for (SvfState& s : core->states)
        s = SvfState{0.0, 0.0, 0.0};
}

void ClearNonFiniteStates(DspCore* core) {
    for (SvfState& s : core->states) {
        if (!std::isfinite(s.low) || !std::isfinite(s.high) || !std::isfinite(s.band)) {
            s = SvfState{0.0, 0.0, 0.0};
        }
    }
}
