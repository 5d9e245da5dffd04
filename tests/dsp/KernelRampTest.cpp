// Every kernel under moving ramps, for any channel count, gives the bits of filtering frame by
// frame with the coefficients advanced after each frame, whatever the buffer's length: lengths that
// end inside a run or a pair of frames, all three ramps moving or some still, with and without AVX.
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>
#include "dsp/SvfKernel.h"

namespace {

double Tick(LONG type, SvfState& s, double x, double f, double d) {
    if (type == kLowPass) return SvfTick<kLowPass>(s, x, f, d);
    if (type == kBandPass) return SvfTick<kBandPass>(s, x, f, d);
    return SvfTick<kHighPass>(s, x, f, d);
}

// The plainest reading of the filter: one frame, then the ramps one frame on.
template <typename Sample>
void FrameByFrame(DspCore* core, Sample* buffer, DWORD frames, int channels) {
    for (DWORD n = 0; n < frames; ++n) {
        const CoefficientSet c = core->coef;
        for (int ch = 0; ch < channels; ++ch) {
            Sample& io = buffer[size_t(n) * channels + ch];
            const Sample x = io;
            const double dryPart = double(x) * c.dryGain;
            double y =
                Tick(c.filterType, core->states[StateIndex(0, ch)], x, c.freqCoef, c.damping);
            if (c.filterOrder != 0)
                y = Tick(c.filterType, core->states[StateIndex(1, ch)], Between<Sample>(y),
                         c.freqCoef, c.damping);
            io = Sample(c.wetGain * y + dryPart);
        }
        AdvanceRamps(core);
    }
}

template <typename Sample>
void CompareOnce(std::mt19937_64& rng, bool avx, int trial) {
    std::uniform_real_distribution<> unit(0.0, 1.0);
    DspCore a{};
    a.sampleRate = trial % 3 == 0 ? 48000.0 : 44100.0;
    a.coef = CoefficientSet{0.2, 0.5, 0.6, 0.4, LONG(trial % 3), LONG(trial / 3 % 2)};
    // Frequency always moves, sometimes out of its range; the others move in some trials.
    a.ramps[kRampFrequency] =
        ParamRamp{20.0 + unit(rng) * 19000.0, (unit(rng) - 0.5) * 40.0, (unit(rng) - 0.5) * 1e-2};
    a.ramps[kRampResonance] = ParamRamp{unit(rng) * 100.0, 0.0, 0.0};
    a.ramps[kRampWetDry] = ParamRamp{unit(rng) * 100.0, 0.0, 0.0};
    if (trial % 4 == 1) a.ramps[kRampResonance].step = (unit(rng) - 0.5) * 0.5;
    if (trial % 5 == 2) a.ramps[kRampWetDry].curve = (unit(rng) - 0.5) * 1e-3;
    a.rampsMoving = true;
    // Mono, stereo, and wider streams run as pairs with an odd channel left over or not.
    const int kChannels[] = {1, 2, 1, 2, 3, 6, 7, 8};
    const int channels = kChannels[trial / 6 % 8];
    const DWORD frames = DWORD(1 + rng() % 700);
    std::vector<Sample> mine(size_t(frames) * channels);
    for (Sample& s : mine)
        s = Sample(unit(rng) * 2.0 - 1.0);
    std::vector<Sample> plain = mine;
    DspCore b = a;

    AllowAvxRamps(avx);
    ASSERT_EQ(RunKernel(&a, mine.data(), frames, channels), S_OK);
    FrameByFrame(&b, plain.data(), frames, channels);
    SCOPED_TRACE(testing::Message() << "trial " << trial << ", " << frames << " frames");
    ASSERT_EQ(std::memcmp(mine.data(), plain.data(), mine.size() * sizeof(Sample)), 0);
    ASSERT_EQ(std::memcmp(&a.coef, &b.coef, sizeof a.coef), 0);
    ASSERT_EQ(std::memcmp(a.ramps, b.ramps, sizeof a.ramps), 0);
    ASSERT_EQ(std::memcmp(a.states, b.states, sizeof a.states), 0);
}

TEST(KernelRampTest, MovingKernelsMatchFrameByFrameBitForBit) {
    std::mt19937_64 rng(29);
    for (int trial = 0; trial < 600; ++trial) {
        ASSERT_NO_FATAL_FAILURE(CompareOnce<float>(rng, trial % 2 == 0, trial));
        ASSERT_NO_FATAL_FAILURE(CompareOnce<double>(rng, trial % 2 == 1, trial));
    }
    AllowAvxRamps(true);
}

}  // namespace
