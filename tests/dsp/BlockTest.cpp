// Block processing: modes, mixing, bypass, silence, bad samples and the PCM working buffer.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

#include "platform/Memory.h"
#include "support/DspFixture.h"

namespace {

using BlockTest = DspTest;

std::vector<float> Noise(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<float> v(n);
    for (float& x : v)
        x = std::uniform_real_distribution<float>(-0.8f, 0.8f)(rng);
    return v;
}

bool AnyState(const DspCore& core) {
    for (const SvfState& s : core.states) {
        if (s.low != 0 || s.band != 0 || s.high != 0) return true;
    }
    return false;
}

TEST_F(BlockTest, WetDryZeroPassesTheInputExactlyWhileTheStateRuns) {
    Start(MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 32), 1000, 80, 0, 1, 0);
    std::vector<float> in = Noise(2 * 3000, 1), out = in;
    Run(out, 512);
    EXPECT_EQ(out, in);
    EXPECT_TRUE(AnyState(dsp.Core()));
}

TEST_F(BlockTest, OutputDoesNotDependOnHowTheBufferIsCutAndScalesWithTheInput) {
    for (WORD order = 0; order < 2; ++order) {
        Start(MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 32), 2500, 70, 2, order, 60);
        std::vector<float> whole = Noise(2 * 10000, 2);
        std::vector<float> split = whole, single = whole, scaled = whole;
        Run(whole, 10000);
        // Float is not clipped: hosts that scale it to 16-bit full scale get the same sound.
        for (float& x : scaled)
            x *= 32768.0f;
        Start(format, 2500, 70, 2, order, 60);
        Run(scaled, 10000);
        for (size_t i = 0; i < whole.size(); ++i) {
            const float expected = whole[i] * 32768.0f;
            ASSERT_NEAR(scaled[i], expected, std::fabs(expected) * 0x1p-22f + 0x1p-20f)
                << "order " << order << ", sample " << i;
        }
        Start(format, 2500, 70, 2, order, 60);
        std::mt19937 rng(5);
        for (size_t at = 0; at < 10000;) {
            DWORD n = DWORD(std::min<size_t>(10000 - at, 1 + rng() % 700));
            ASSERT_EQ(Block(split.data() + 2 * at, &n), S_OK);
            at += n;
        }
        Start(format, 2500, 70, 2, order, 60);
        Run(single, 1);
        EXPECT_EQ(split, whole) << "order " << order;
        EXPECT_EQ(single, whole) << "order " << order;
    }
}

TEST_F(BlockTest, AfterSilenceTheStateDecaysWithoutSubnormals) {
    Start(MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 1, 32), 200, 100, 0, 1);
    std::vector<float> signal = Noise(5000, 3);
    Run(signal, 1000);
    std::vector<float> silence(441000, 0.0f);
    Run(silence, 4096);
    const double f = dsp.Core().coef.freqCoef;
    for (const SvfState& s : dsp.Core().states) {
        for (double v : {s.low, s.high, s.band}) {
            ASSERT_TRUE(v == 0.0 || std::fabs(v) >= 0x1p-32) << "subnormal or unflushed " << v;
            ASSERT_LT(std::fabs(v), 0x1p-32 / f) << "settled above the flush rule's bound";
        }
    }
    for (size_t n = silence.size() - 1000; n < silence.size(); ++n) {
        ASSERT_LT(std::fabs(silence[n]), 1e-7f) << "above -140 dBFS";
    }
}

TEST_F(BlockTest, BypassAtOneHalfOrMoreSkipsAndClearsTheState) {
    Start(MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 1, 32), 1000, 0, 0, 1);
    std::vector<float> block = Noise(500, 4);
    Run(block, 500);
    ASSERT_TRUE(AnyState(dsp.Core()));
    ASSERT_EQ(dsp.SetParam(kParamBypass, 0.4f), S_OK);
    EXPECT_EQ(dsp.CheckBypass(), 1);
    EXPECT_TRUE(AnyState(dsp.Core()));
    ASSERT_EQ(dsp.SetParam(kParamBypass, 0.5f), S_OK);
    EXPECT_EQ(dsp.CheckBypass(), 0);
    EXPECT_FALSE(AnyState(dsp.Core())) << "both sections restart from silence";
}

TEST_F(BlockTest, ANaNInputDoesNotSilenceTheStreamForEver) {
    Start(MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 32), 1000, 30, 1, 1);
    std::vector<float> bad = Noise(2 * 256, 6);
    bad[100] = std::numeric_limits<float>::quiet_NaN();
    bad[301] = std::numeric_limits<float>::infinity();
    Run(bad, 256);
    std::vector<float> next = Noise(2 * 256, 7);
    Run(next, 256);
    for (float s : next)
        ASSERT_TRUE(std::isfinite(s));
    EXPECT_TRUE(AnyState(dsp.Core()));
}

TEST_F(BlockTest, AHugeFiniteSampleLeavesNoNaNInItsBuffer) {
    // Fourth order in 32 bits, mono and stereo: the value between the sections saturates.
    for (WORD channels = 1; channels <= 2; ++channels) {
        Start(MakeFormat(WAVE_FORMAT_IEEE_FLOAT, channels, 32), 20000, 90, 2, 1, 0);
        std::vector<float> block = Noise(channels * 256, 10);
        for (size_t i = 40; i < 48; ++i)
            block[i] = i % 2 ? 3.4e38f : -3.4e38f;
        const std::vector<float> in = block;
        Run(block, 256);
        for (size_t i = 0; i < block.size(); ++i)
            ASSERT_EQ(block[i], in[i]) << "fully dry passes the input, " << channels << " channels";
    }
}

TEST_F(BlockTest, ModesRestartContinueAndDrain) {
    Start(MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 1, 32), 1000, 0, 0, 0);
    std::vector<float> a = Noise(300, 8), b = a;
    DWORD n = 300;
    ASSERT_EQ(dsp.ProcessFloatBlock(kBlockContinue, a.data(), &n, 0), S_OK);
    n = 300;
    ASSERT_EQ(dsp.ProcessFloatBlock(kBlockRestart, b.data(), &n, 0), S_OK);
    EXPECT_EQ(a, b) << "restart clears the state first";

    std::vector<float> untouched = Noise(10, 9), copy = untouched;
    n = 10;
    EXPECT_EQ(dsp.ProcessFloatBlock(kBlockDrain, untouched.data(), &n, 0), S_FALSE);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(untouched, copy);

    n = 0;
    EXPECT_EQ(dsp.ProcessFloatBlock(kBlockContinue, untouched.data(), &n, 1), S_FALSE);
    n = 0;
    EXPECT_EQ(dsp.ProcessFloatBlock(kBlockContinue, untouched.data(), &n, 0), S_OK);
}

TEST_F(BlockTest, AnUnsupportedChannelCountOrTypeLeavesSamplesAlone) {
    Start(MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 33, 32), 1000, 0, 0, 0);
    std::vector<float> s = Noise(33, 10), copy = s;
    DWORD n = 1;
    EXPECT_EQ(dsp.ProcessFloatBlock(kBlockContinue, s.data(), &n, 0), S_FALSE);
    EXPECT_EQ(s, copy);
    Start(MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 1, 32), 1000, 0, 0, 0);
    const_cast<CoefficientSet&>(dsp.Core().coef).filterType = 3;
    n = 33;
    EXPECT_EQ(dsp.ProcessFloatBlock(kBlockContinue, s.data(), &n, 0), S_OK);
    EXPECT_EQ(s, copy);
}

TEST_F(BlockTest, PcmGoesThroughAWorkingBufferThatGrowsOnlyWhenNeeded) {
    Start(MakeFormat(WAVE_FORMAT_PCM, 2, 16), 1000, 0, 0, 0, 0);
    EXPECT_EQ(dsp.ScratchFrames(), 4096);
    std::vector<int16_t> pcm(2 * 4097);
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = int16_t(i * 7919 % 65536 - 32768);
    std::vector<int16_t> copy = pcm;
    DWORD n = 4097;
    ASSERT_EQ(dsp.ProcessPcmBlock(kBlockContinue, pcm.data(), &n), S_OK);
    EXPECT_EQ(dsp.ScratchFrames(), 4097);
    EXPECT_EQ(pcm, copy) << "Wet/Dry 0 reproduces PCM exactly";
    n = 100;
    ASSERT_EQ(dsp.ProcessPcmBlock(kBlockContinue, pcm.data(), &n), S_OK);
    EXPECT_EQ(dsp.ScratchFrames(), 4097);
    dsp.EndStream();
    EXPECT_EQ(dsp.ScratchFrames(), 0);

    Start(MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 32), 1000, 0, 0, 0);
    EXPECT_EQ(dsp.ScratchFrames(), 0) << "float streams need no working buffer";
}

TEST_F(BlockTest, ThirtyTwoBitPcmIsFilteredInDoublePrecision) {
    Start(MakeFormat(WAVE_FORMAT_PCM, 1, 32), 200, 0, 0, 1);
    std::vector<int32_t> pcm(8192);
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = (i / 2) % 2 ? 1 << 30 : -(1 << 30);
    DWORD n = DWORD(pcm.size());
    ASSERT_EQ(dsp.ProcessPcmBlock(kBlockContinue, pcm.data(), &n), S_OK);
    int32_t peak = 0;
    for (size_t i = 4096; i < pcm.size(); ++i)
        peak = std::max(peak, std::abs(pcm[i]));
    EXPECT_LT(peak, 1 << 20) << "11 kHz square through a 200 Hz fourth-order low-pass";
}

TEST_F(BlockTest, AFailedWorkingBufferIsReportedAndRetried) {
    Start(MakeFormat(WAVE_FORMAT_PCM, 1, 8), 1000, 0, 0, 0);
    std::vector<uint8_t> pcm(5000, 200), copy = pcm;
    DWORD n = 5000;
    platform::FailAllocationAfter(0);
    EXPECT_EQ(dsp.ProcessPcmBlock(kBlockContinue, pcm.data(), &n), E_OUTOFMEMORY);
    platform::FailAllocationAfter(-1);
    EXPECT_EQ(pcm, copy);
    EXPECT_EQ(dsp.ProcessPcmBlock(kBlockContinue, pcm.data(), &n), S_OK);
}

}  // namespace
