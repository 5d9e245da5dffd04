// The sub-block loop over whole buffers, and the direct float-buffer path.
#include <cmath>
#include <random>

#include "stream/StreamDriver.h"
#include "stream/WaveFormatCheck.h"
#include "support/DspFixture.h"

namespace {

class StreamDriverTest : public DspTest {
  protected:
    void Begin(const WAVEFORMATEX& f, MP_DATA frequency = 1000, MP_DATA resonance = 50,
               MP_DATA wetDry = 100) {
        const MP_DATA v[kParamCount] = {frequency, resonance, 0, 1, 0, wetDry};
        ASSERT_EQ(dsp.Store().SetAllParams(v), S_OK);
        dsp.MarkParamsChanged();
        driver.StoreFormat(f);
        ASSERT_EQ(driver.StartStreaming(), S_OK);
    }
    void Add(DWORD index, MP_ENVELOPE_SEGMENT s) {
        ASSERT_EQ(dsp.Store().AddEnvelope(index, 1, &s), S_OK);
    }
    DWORD RunAt(REFERENCE_TIME start, std::vector<float>& buffer, int mode = kBlockContinue) {
        dsp.Store().SetSampleTimes(&start);
        DWORD done = 0;
        EXPECT_EQ(driver.RunBuffer(buffer.data(), DWORD(buffer.size() / driver.Format().nChannels),
                                   mode, &done),
                  S_OK);
        return done;
    }
    static std::vector<float> Noise(size_t n, uint32_t seed) {
        std::mt19937 rng(seed);
        std::vector<float> v(n);
        for (float& x : v)
            x = std::uniform_real_distribution<float>(-0.5f, 0.5f)(rng);
        return v;
    }

    StreamDriver driver{dsp};
    const WAVEFORMATEX stereo = MakeStoredFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 32);
};

TEST_F(StreamDriverTest, AnEmptyBufferLeavesTheClockWhereItWas) {
    Begin(stereo);
    std::vector<float> none;
    EXPECT_EQ(RunAt(5000, none), 0u);
    EXPECT_EQ(dsp.Store().Position(), 5000);
}

TEST_F(StreamDriverTest, AChangePointUnderHalfAFrameAwayDropsNoFrames) {
    Begin(stereo);
    Add(kParamFrequency, {0, 1000050, 500, 800, MP_CURVE_LINEAR, 0});
    std::vector<float> buffer = Noise(2 * 441, 1);
    EXPECT_EQ(RunAt(1000000, buffer), 441u);
    EXPECT_EQ(dsp.Store().Position(), 1100050) << "the clock went on to the change point first";
}

TEST_F(StreamDriverTest, BypassLeavesTheDataAndStillMovesTheClock) {
    Begin(stereo);
    ASSERT_EQ(dsp.SetParam(kParamBypass, 1), S_OK);
    std::vector<float> buffer = Noise(2 * 4410, 2), copy = buffer;
    EXPECT_EQ(RunAt(0, buffer), 4410u);
    EXPECT_EQ(buffer, copy);
    EXPECT_EQ(dsp.Store().Position(), 1000000);
}

TEST_F(StreamDriverTest, ADiscontinuityClearsTheStateOnceNotAtEveryStretch) {
    // A Bypass segment (off all along) starting inside the buffer cuts it in two stretches; it
    // has no change bit, so nothing refreshes the coefficients at the cut.
    auto run = [&](bool split) {
        Begin(stereo);
        Add(kParamBypass, {500000, 2000000, 0, 0, MP_CURVE_JUMP, 0});
        std::vector<float> warm = Noise(2 * 4410, 3);
        RunAt(-1000000, warm);
        std::vector<float> buffer = Noise(2 * 4410, 4);
        if (!split) {
            RunAt(0, buffer, kBlockRestart);
        } else {
            // The reference: clear once, then both stretches continue.
            dsp.ResetState();
            RunAt(0, buffer, kBlockContinue);
        }
        dsp.Store().FlushEnvelope(DWORD_ALLPARAMS, INT64_MIN, INT64_MAX);
        driver.StopStreaming();
        return buffer;
    };
    EXPECT_EQ(run(false), run(true));
}

TEST_F(StreamDriverTest, ARampEndingDuringBypassDoesNotLeaveAStaleRamp) {
    Begin(stereo);
    // Bypass is automated off at 1 s; the Wet/Dry ramp ends at 0.5 s, while bypassed.
    Add(kParamBypass, {0, 10000000, 1, 1, MP_CURVE_JUMP, 0});
    Add(kParamBypass, {10000000, 20000000, 0, 0, MP_CURVE_JUMP, 0});
    Add(kParamWetDry, {0, 5000000, 100, 0, MP_CURVE_LINEAR, 0});
    // First let the ramp load while processing, before bypass: set bypass off for one buffer.
    std::vector<float> buffer = Noise(2 * 4410, 5);
    for (REFERENCE_TIME t = 0; t < 15000000; t += 1000000)
        RunAt(t, buffer);
    const ParamRamp& wet = dsp.Core().ramps[kRampWetDry];
    EXPECT_EQ(wet.step, 0.0);
    EXPECT_EQ(wet.value, 0.0);
    EXPECT_EQ(dsp.Core().coef.wetGain, 0.0);
}

TEST_F(StreamDriverTest, DrainModeProducesNothing) {
    Begin(stereo);
    std::vector<float> buffer(2 * 100, 0.25f);
    DWORD done = 7;
    EXPECT_EQ(driver.RunBuffer(buffer.data(), 100, kBlockDrain, &done), S_FALSE);
    EXPECT_EQ(done, 0u);
}

TEST_F(StreamDriverTest, TheDirectPathFiltersLikeTheBufferPath) {
    Begin(stereo, 700, 80);
    std::vector<float> viaBuffers = Noise(2 * 5000, 6);
    std::vector<float> viaDirect = viaBuffers;
    for (size_t at = 0; at < 5000; at += 1000) {
        std::vector<float> part(viaBuffers.begin() + 2 * at, viaBuffers.begin() + 2 * (at + 1000));
        RunAt(REFERENCE_TIME(at * 10000000 / 44100.0 + 0.5), part);
        std::copy(part.begin(), part.end(), viaBuffers.begin() + 2 * at);
    }
    driver.StopStreaming();
    ASSERT_EQ(driver.Init(2, 44100), S_OK);
    for (size_t at = 0; at < 5000; at += 1000) {
        ASSERT_EQ(driver.Process(viaDirect.data() + 2 * at, 1000, 0), S_OK);
    }
    EXPECT_EQ(viaDirect, viaBuffers);
}

TEST_F(StreamDriverTest, DirectInitRefusesAFormatTheRecordCannotHold) {
    EXPECT_EQ(driver.Init(0, 44100), E_INVALIDARG);
    EXPECT_EQ(driver.Init(2, 0), E_INVALIDARG);
    // A frame of 16384 floats is 65536 bytes, one more than the record's 16 bits hold; 65537
    // channels would be stored as one.
    EXPECT_EQ(driver.Init(16384, 8000), E_INVALIDARG);
    EXPECT_EQ(driver.Init(65537, 8000), E_INVALIDARG);
    EXPECT_EQ(driver.Init(2, 0x80000000u), E_INVALIDARG) << "byte rate past 32 bits";
    EXPECT_FALSE(driver.HasFormat()) << "a refused Init stored its format";
    ASSERT_EQ(driver.Init(16383, 8000), S_OK) << "the widest frame that fits";
    EXPECT_EQ(driver.Format().nBlockAlign, 65532);
    std::vector<float> frame(16383, 0.5f);
    EXPECT_EQ(driver.Process(frame.data(), 1, 0), S_OK);
    EXPECT_EQ(frame, std::vector<float>(16383, 0.5f)) << "more channels than filtered pass";
}

TEST_F(StreamDriverTest, DirectInitFiltersUpToThirtyTwoChannelsAndPassesMore) {
    for (UINT channels : {3u, 32u, 33u}) {
        ASSERT_EQ(driver.Init(channels, 48000), S_OK);
        const std::vector<float> in = Noise(channels * 64, channels);
        std::vector<float> out = in;
        ASSERT_EQ(driver.Process(out.data(), 64, 0), S_OK);
        // Each channel's last sample: filtered noise never comes out as it went in.
        for (UINT c = 0; c < channels; ++c)
            EXPECT_EQ(out[63 * channels + c] == in[63 * channels + c], channels > 32) << c;
    }
}

TEST_F(StreamDriverTest, OutputLeavesTheBitsBelowTheValidOnesZero) {
    driver.StoreFormat(MakeStoredFormat(WAVE_FORMAT_PCM, 6, 48000, 32), 24);
    ASSERT_EQ(driver.StartStreaming(), S_OK);
    std::vector<int32_t> pcm(6 * 100, 0x12345678);
    DWORD done = 0;
    ASSERT_EQ(driver.RunBuffer(pcm.data(), 100, kBlockContinue, &done), S_OK);
    for (int32_t s : pcm)
        ASSERT_EQ(s & 0xFF, 0);
}

TEST_F(StreamDriverTest, DirectDrainAndRefreshFollowTheStreamsState) {
    ASSERT_EQ(driver.Init(1, 48000), S_OK);
    std::vector<float> buffer(64, 0.5f);
    UINT frames = 64;
    EXPECT_EQ(driver.Drain(buffer.data(), &frames), S_FALSE);
    EXPECT_EQ(frames, 0u);
    EXPECT_EQ(driver.Refresh(FALSE), S_FALSE) << "nothing pending";
    EXPECT_EQ(driver.HasPendingChange(), S_FALSE);
    ASSERT_EQ(dsp.SetParam(kParamResonance, 40), S_OK);
    EXPECT_EQ(driver.HasPendingChange(), S_OK);
    EXPECT_EQ(driver.HasPendingChange(), S_OK) << "asking does not consume it";
    EXPECT_EQ(driver.Refresh(FALSE), S_OK);
    EXPECT_EQ(driver.Process(buffer.data(), 64, 0), S_OK);
    frames = 64;
    EXPECT_EQ(driver.Drain(buffer.data(), &frames), S_FALSE);
    EXPECT_EQ(frames, 0u);
    EXPECT_EQ(driver.Refresh(TRUE), S_OK) << "a reset always recomputes";
    EXPECT_EQ(dsp.Store().Position(), 0);
    for (const SvfState& s : dsp.Core().states)
        EXPECT_EQ(s.low, 0.0);
}

}  // namespace
