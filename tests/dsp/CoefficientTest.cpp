// Coefficient design: the worked values, the cut-off clamp, the deterministic sine and ramps.
#include <cmath>
#include <cstring>
#include <random>

#include "dsp/DeterministicSine.h"
#include "dsp/RampRun.h"
#include "support/DspFixture.h"

namespace {

using CoefficientTest = DspTest;

const WAVEFORMATEX kFloatStereo = MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 32);

TEST_F(CoefficientTest, DampingRunsFromOneOverRootTwoToQ25) {
    EXPECT_EQ(Damping(0), 1.414213562373095);
    EXPECT_EQ(Damping(100), 0.04);
    EXPECT_DOUBLE_EQ(1.0 / Damping(50), 12.853553390593275);
    EXPECT_DOUBLE_EQ(Damping(50), 0.07779949789852186);
}

TEST_F(CoefficientTest, TheCutoffIsClampedBelowTheSampleRatesLimit) {
    EXPECT_EQ(FrequencyCoefficient(20000, 44100), 0.9145337585804753);
    EXPECT_LT(FrequencyCoefficient(20000, 48000), 0.9145337585804753);
    EXPECT_EQ(FrequencyCoefficient(15000, 22050), FrequencyCoefficient(10000, 22050));
    EXPECT_EQ(FrequencyCoefficient(3628.1179138321995, 8000), FrequencyCoefficient(5000, 8000));
    EXPECT_LT(FrequencyCoefficient(3628, 8000), FrequencyCoefficient(5000, 8000));
    EXPECT_EQ(FrequencyCoefficient(std::nan(""), 44100), 0.9145337585804753);
}

TEST_F(CoefficientTest, TheSineIsWithinAnUlpOfTheLibrarysOverItsRange) {
    std::mt19937_64 rng(3);
    for (int i = 0; i < 200000; ++i) {
        const double x = std::uniform_real_distribution<>(0.0, 0.5)(rng);
        const double ours = DeterministicSine(x), theirs = std::sin(x);
        ASSERT_LE(std::fabs(ours - theirs), std::fabs(std::nextafter(theirs, 1.0) - theirs)) << x;
    }
}

TEST_F(CoefficientTest, StartingTheStreamComputesTheSetFromTheValues) {
    Start(kFloatStereo, 20000, 0, 1.9f, 0.5f, 100);
    const CoefficientSet& c = dsp.Core().coef;
    EXPECT_EQ(c.freqCoef, 0.9145337585804753);
    EXPECT_EQ(c.damping, 1.414213562373095);
    EXPECT_EQ(c.wetGain, 1.0);
    EXPECT_EQ(c.dryGain, 0.0);
    EXPECT_EQ(c.filterType, 1) << "truncated";
    EXPECT_EQ(c.filterOrder, 0);
    Start(kFloatStereo, 20000, 0, 0, 1, 0);
    EXPECT_EQ(dsp.Core().coef.wetGain, 0.0);
    EXPECT_EQ(dsp.Core().coef.dryGain, 1.0);
    EXPECT_FALSE(dsp.Core().rampsMoving) << "no envelope, no ramp";
}

// Loads the ramps as the streaming driver would: advance the envelopes, then recompute.
void LoadFromEnvelope(FilterDsp& dsp, DWORD index, MP_ENVELOPE_SEGMENT segment) {
    MediaParamStore& store = dsp.Store();
    ASSERT_EQ(store.AddEnvelope(index, 1, &segment), S_OK);
    ASSERT_EQ(store.StartTimeBase(44100), S_OK);
    REFERENCE_TIME zero = 0;
    store.SetSampleTimes(&zero);
    DWORD mask = 0;
    store.AdvanceToNextChange(44100, &mask);
    ParamSnapshot snapshot;
    dsp.TakeSnapshot(&snapshot);
    ASSERT_EQ(dsp.UpdateCoefficients(snapshot, TRUE), S_OK);
}

TEST_F(CoefficientTest, ALinearEnvelopeStepsByItsSlopePerFrame) {
    Start(kFloatStereo, 500, 0, 0, 0);
    LoadFromEnvelope(dsp, kParamFrequency, {0, 10000000, 500, 1500, MP_CURVE_LINEAR, 0});
    const ParamRamp& r = dsp.Core().ramps[kRampFrequency];
    EXPECT_EQ(r.value, 500.0);
    EXPECT_EQ(r.step, 1000.0 / 44100);
    EXPECT_EQ(r.curve, 0.0);
    EXPECT_TRUE(dsp.Core().rampsMoving);
}

TEST_F(CoefficientTest, ASquareRampTracksItsCurveFrameByFrame) {
    Start(MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 1, 32), 1000, 0, 0, 0);
    // 10 ms from 0 to 100 % resonance: 441 frames.
    LoadFromEnvelope(dsp, kParamResonance, {0, 100000, 0, 100, MP_CURVE_SQUARE, 0});
    std::vector<float> frame(1, 0.0f);
    double worst = 0;
    for (int n = 1; n < 441; ++n) {
        DWORD one = 1;
        ASSERT_EQ(dsp.ProcessFloatBlock(kBlockContinue, frame.data(), &one, 0), S_OK);
        const double x = n / 441.0;
        worst = std::fmax(worst, std::fabs(dsp.Core().ramps[kRampResonance].value - 100 * x * x));
        ASSERT_GT(dsp.Core().coef.damping, 0.0);
    }
    EXPECT_LT(worst, 1e-9);
}

TEST_F(CoefficientTest, RampsBeyondTheRangeAreClampedBeforeTheCoefficients) {
    Start(MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 1, 32), 1000, 0, 0, 0);
    LoadFromEnvelope(dsp, kParamResonance, {0, 100000, 0, 1e6f, MP_CURVE_LINEAR, 0});
    std::vector<float> block(441, 0.25f);
    DWORD n = 441;
    ASSERT_EQ(dsp.ProcessFloatBlock(kBlockContinue, block.data(), &n, 0), S_OK);
    EXPECT_EQ(dsp.Core().coef.damping, Damping(100));
    for (float s : block)
        ASSERT_TRUE(std::isfinite(s));
}

}  // namespace

// Computing a run of coefficients ahead gives the bits of advancing frame by frame, for ramps
// inside, across and beyond the ranges, at odd and even run lengths, with and without AVX.
TEST(RampBlockTest, ARunComputedAheadMatchesFrameByFrameBitForBit) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<> unit(0.0, 1.0);
    RampRun ahead;  // reused, as the kernels reuse theirs, so what it kept must not leak in
    for (int trial = 0; trial < 2000; ++trial) {
        DspCore a{};
        a.sampleRate = trial % 3 == 0 ? 8000.0 : 44100.0 + trial;
        a.coef = CoefficientSet{0.1, 0.5, 0.3, 0.7, 0, 0};
        const double spans[kRampCount] = {30000, 150, 150};
        for (ParamRamp& r : a.ramps) {
            const double span = spans[&r - a.ramps];
            r = ParamRamp{unit(rng) * span - 0.1 * span, (unit(rng) - 0.5) * span * 1e-2,
                          (unit(rng) - 0.5) * span * 1e-5};
        }
        if (trial % 50 == 0) a.ramps[kRampFrequency].value = std::nan("");
        if (trial % 7 == 0) a.ramps[kRampWetDry] = ParamRamp{-0.0, -0.0, -0.0};
        if (trial % 11 == 0) a.ramps[kRampResonance] = ParamRamp{100.0, 0.0, 0.0};
        if (trial / 2 % 3 == 0)
            a.ramps[kRampFrequency] = ParamRamp{100.0 * (trial % 300), 0.0, 0.0};
        if (trial % 5 == 2) a.ramps[kRampResonance] = ParamRamp{double(trial % 101), 0.0, 0.0};
        if (trial % 4 == 1) a.ramps[kRampWetDry].curve = 0.0;
        DspCore b = a;
        const DWORD count = DWORD(1 + rng() % kRampBlock);
        AllowAvxRamps(trial % 2 == 0);
        ComputeRampRun(&a, count, &ahead);
        const RampCoefficients& run = ahead.coef;
        // Compared as bits, so a zero of the other sign counts as a difference.
        auto same = [](double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; };
        for (DWORD i = 0; i <= count; ++i) {
            ASSERT_TRUE(same(run.freqCoef[i], b.coef.freqCoef)) << trial << " frame " << i;
            ASSERT_TRUE(same(run.damping[i], b.coef.damping)) << trial << " frame " << i;
            ASSERT_TRUE(same(run.wetGain[i], b.coef.wetGain)) << trial << " frame " << i;
            ASSERT_TRUE(same(run.dryGain[i], b.coef.dryGain)) << trial << " frame " << i;
            if (i < count) AdvanceRamps(&b);
        }
        ASSERT_EQ(std::memcmp(&a.coef, &b.coef, sizeof a.coef), 0);
        ASSERT_EQ(std::memcmp(a.ramps, b.ramps, sizeof a.ramps), 0);
    }
    AllowAvxRamps(true);
}
