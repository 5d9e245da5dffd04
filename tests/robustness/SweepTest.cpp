// A validator-style sweep of the streaming path: every rate and block size under random
// automation, silence after a signal, Bypass, and empty buffers.
//
// The seed is fixed so that a failure reproduces: each stream seeds std::mt19937 with
// kSweepSeed plus its position in the sweep, shown in the failure's trace.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "RandomAutomation.h"
#include "platform/NullOwner.h"
#include "presets/PresetTable.h"
#include "stream/StreamDriver.h"
#include "stream/WaveFormatCheck.h"

namespace {

constexpr uint32_t kSweepSeed = 20261209;
constexpr DWORD kRates[] = {8000, 22050, 44100, 48000, 96000, 192000};
// 0 stands for buffers of random length, each preceded by an empty one.
constexpr DWORD kBlocks[] = {0, 1, 2, 31, 64, 512, 4096, 4097, 8192};

struct SampleFormat {
    WORD tag;
    WORD channels;
    WORD bits;
};
constexpr SampleFormat kSweepFormats[] = {{WAVE_FORMAT_PCM, 1, 16},
                                          {WAVE_FORMAT_PCM, 2, 16},
                                          {WAVE_FORMAT_IEEE_FLOAT, 1, 32},
                                          {WAVE_FORMAT_IEEE_FLOAT, 2, 32}};
constexpr SampleFormat kEveryFormat[] = {
    {WAVE_FORMAT_PCM, 1, 8},         {WAVE_FORMAT_PCM, 2, 8},
    {WAVE_FORMAT_PCM, 1, 16},        {WAVE_FORMAT_PCM, 2, 16},
    {WAVE_FORMAT_PCM, 1, 32},        {WAVE_FORMAT_PCM, 2, 32},
    {WAVE_FORMAT_IEEE_FLOAT, 1, 32}, {WAVE_FORMAT_IEEE_FLOAT, 2, 32},
    {WAVE_FORMAT_IEEE_FLOAT, 1, 64}, {WAVE_FORMAT_IEEE_FLOAT, 2, 64}};

WAVEFORMATEX Stored(const SampleFormat& s, DWORD rate) {
    return MakeStoredFormat(s.tag, s.channels, rate, s.bits);
}

std::string Describe(const WAVEFORMATEX& f) {
    return std::string(f.wFormatTag == WAVE_FORMAT_PCM ? "PCM" : "float") +
           std::to_string(f.wBitsPerSample) + (f.nChannels == 1 ? " mono " : " stereo ") +
           std::to_string(f.nSamplesPerSec) + " Hz";
}

struct Filter {
    NullOwner owner;
    HRESULT created = E_FAIL;
    FilterDsp dsp{&owner, &created};
    StreamDriver driver{dsp};
};

REFERENCE_TIME FrameTime(size_t frame, DWORD rate) {
    return REFERENCE_TIME(double(frame) * 1e7 / rate + 0.5);
}

::testing::AssertionResult StatesAreClean(const DspCore& core) {
    for (int s = 0; s < kStateCount; ++s) {
        for (double v : {core.states[s].low, core.states[s].high, core.states[s].band}) {
            if (!std::isfinite(v) || std::fpclassify(v) == FP_SUBNORMAL) {
                return ::testing::AssertionFailure() << "section state " << s << " holds " << v;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult SamplesAreFinite(const uint8_t* bytes, size_t frames,
                                            const WAVEFORMATEX& f) {
    if (f.wFormatTag != WAVE_FORMAT_IEEE_FLOAT) return ::testing::AssertionSuccess();
    for (size_t i = 0; i < frames * f.nChannels; ++i) {
        double v;
        if (f.wBitsPerSample == 32) {
            float x;
            std::memcpy(&x, bytes + i * 4, 4);
            v = x;
        } else {
            std::memcpy(&v, bytes + i * 8, 8);
        }
        if (!std::isfinite(v))
            return ::testing::AssertionFailure() << "sample " << i << " is " << v;
    }
    return ::testing::AssertionSuccess();
}

// Runs an empty buffer and fails unless it answered success and left everything as it was.
void ExpectEmptyBufferChangesNothing(Filter& f, uint8_t* at, int mode) {
    DspCore before;
    std::memcpy(&before, &f.dsp.Core(), sizeof before);
    const REFERENCE_TIME position = f.dsp.Store().Position();
    const bool pending = f.dsp.ParamsChangedPending();
    const uint8_t firstByte = *at;
    DWORD done = 7;
    EXPECT_EQ(f.driver.RunBuffer(at, 0, mode, &done), S_OK);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(std::memcmp(&before, &f.dsp.Core(), sizeof before), 0) << "the DSP state moved";
    EXPECT_EQ(f.dsp.Store().Position(), position);
    EXPECT_EQ(f.dsp.ParamsChangedPending(), pending);
    EXPECT_EQ(*at, firstByte);
}

struct SweepRun {
    WAVEFORMATEX format;
    DWORD block;        // 0: random lengths
    bool emptyBuffers;  // an empty buffer before each one
    bool bypassed;      // Bypass on and never automated
    uint32_t seed;
};

// Streams random noise through a fresh filter under random automation drawn from the run's
// seed, checking after every buffer; returns the output. Everything random is drawn the same
// whether or not empty buffers are interleaved, so the two outputs can be compared.
std::vector<uint8_t> Stream(const SweepRun& run, std::vector<uint8_t>* input = nullptr) {
    Filter f;
    EXPECT_EQ(f.created, S_OK);
    std::mt19937 rng(run.seed);
    const DWORD rate = run.format.nSamplesPerSec;
    const size_t frames = std::max<size_t>(rate / 4, 3 * size_t(run.block));
    const REFERENCE_TIME span = FrameTime(frames, rate);
    std::vector<uint8_t> data = RandomSignal(rng, run.format, frames);
    if (input) *input = data;

    f.dsp.Store().SetAllParams(kPresetTable[std::uniform_int_distribution<int>(2, 17)(rng)].values);
    if (run.bypassed) f.dsp.SetParam(kParamBypass, 1);
    AddRandomEnvelopes(f.dsp.Store(), rng, span, !run.bypassed);
    f.driver.StoreFormat(run.format);
    EXPECT_EQ(f.driver.StartStreaming(), S_OK);

    int mode = kBlockRestart;
    for (size_t at = 0; at < frames && !::testing::Test::HasFailure();) {
        DWORD n = run.block ? run.block : DWORD(std::uniform_int_distribution<int>(1, 5000)(rng));
        if (n > frames - at) n = DWORD(frames - at);
        // Host values between buffers; a preset now and then, as the filter applies one.
        const DWORD index = std::uniform_int_distribution<DWORD>(0, kParamCount - 1)(rng);
        if (Uniform(rng, 0, 1) < 0.25 && !(run.bypassed && index == kParamBypass)) {
            f.dsp.SetParam(index, RandomLegalValue(rng, index));
        }
        if (Uniform(rng, 0, 1) < 0.02) {
            MP_DATA values[kParamCount];
            std::memcpy(values, kPresetTable[rng() % kPresetCount].values, sizeof values);
            if (run.bypassed) values[kParamBypass] = 1;
            f.dsp.Store().SetAllParams(values);
            f.dsp.MarkParamsChanged();
        }
        if (Uniform(rng, 0, 1) < 0.02) mode = kBlockRestart;

        uint8_t* buffer = data.data() + at * run.format.nBlockAlign;
        const REFERENCE_TIME start = FrameTime(at, rate);
        f.dsp.Store().SetSampleTimes(&start);
        if (run.emptyBuffers) ExpectEmptyBufferChangesNothing(f, buffer, int(at % 2));
        DWORD done = 0;
        EXPECT_EQ(f.driver.RunBuffer(buffer, n, mode, &done), S_OK);
        EXPECT_EQ(done, n);
        EXPECT_TRUE(SamplesAreFinite(buffer, n, run.format)) << "buffer at frame " << at;
        EXPECT_TRUE(StatesAreClean(f.dsp.Core())) << "after the buffer at frame " << at;
        mode = kBlockContinue;
        at += n;
    }
    EXPECT_EQ(f.driver.StopStreaming(), S_OK);
    return data;
}

TEST(RobustnessSweep, RandomAutomationAtEveryRateAndBlockSizeStaysFiniteAndNormal) {
    uint32_t seed = kSweepSeed;
    for (DWORD rate : kRates) {
        for (DWORD block : kBlocks) {
            for (const SampleFormat& s : kSweepFormats) {
                const SweepRun run{Stored(s, rate), block, block == 0, false, seed++};
                SCOPED_TRACE(Describe(run.format) + ", block " + std::to_string(block) + ", seed " +
                             std::to_string(run.seed));
                const std::vector<uint8_t> out = Stream(run);
                if (block == 0) {
                    SweepRun plain = run;
                    plain.emptyBuffers = false;
                    EXPECT_TRUE(out == Stream(plain)) << "empty buffers changed the output";
                }
                if (::testing::Test::HasFailure()) return;
            }
        }
    }
}

TEST(RobustnessSweep, BypassGivesEveryFormatBackBitForBit) {
    uint32_t seed = kSweepSeed + 1000;
    for (DWORD rate : kRates) {
        for (const SampleFormat& s : kEveryFormat) {
            const SweepRun run{Stored(s, rate), 0, false, true, seed++};
            SCOPED_TRACE(Describe(run.format) + ", seed " + std::to_string(run.seed));
            std::vector<uint8_t> input;
            const std::vector<uint8_t> out = Stream(run, &input);
            EXPECT_TRUE(out == input) << "Bypass changed the signal";
            if (::testing::Test::HasFailure()) return;
        }
    }
}

// Peak magnitude of a float buffer.
float Peak(const std::vector<float>& v) {
    float peak = 0;
    for (float x : v)
        peak = std::max(peak, std::fabs(x));
    return peak;
}

bool SameStates(const DspCore& a, const DspCore& b) {
    return std::memcmp(a.states, b.states, sizeof a.states) == 0;
}

// Full-scale noise for a quarter second, then 20 s of silence; returns the peak of the last
// buffer. A silent buffer that leaves the states as it found them repeats for ever (nothing is
// automated), so the run stops there with the same answer.
float PeakAfterSilence(const MP_DATA values[kParamCount], DWORD rate, std::mt19937& rng) {
    constexpr DWORD kBuffer = 4096;
    Filter f;
    EXPECT_EQ(f.created, S_OK);
    f.dsp.Store().SetAllParams(values);
    f.dsp.MarkParamsChanged();
    const WAVEFORMATEX format = MakeStoredFormat(WAVE_FORMAT_IEEE_FLOAT, 1, rate, 32);
    f.driver.StoreFormat(format);
    EXPECT_EQ(f.driver.StartStreaming(), S_OK);
    std::vector<float> buffer(kBuffer);
    const size_t signalFrames = rate / 4;
    const size_t total = signalFrames + size_t(rate) * 20;
    float peak = 0;
    for (size_t at = 0; at < total && !::testing::Test::HasFailure(); at += kBuffer) {
        for (size_t k = 0; k < kBuffer; ++k)
            buffer[k] = at + k < signalFrames ? float(Uniform(rng, -1, 1)) : 0.0f;
        const REFERENCE_TIME start = FrameTime(at, rate);
        f.dsp.Store().SetSampleTimes(&start);
        const DspCore before = f.dsp.Core();
        DWORD done = 0;
        EXPECT_EQ(f.driver.RunBuffer(buffer.data(), kBuffer, kBlockContinue, &done), S_OK);
        EXPECT_TRUE(StatesAreClean(f.dsp.Core())) << "at frame " << at;
        peak = Peak(buffer);
        if (at >= signalFrames && SameStates(before, f.dsp.Core())) break;
    }
    f.driver.StopStreaming();
    return peak;
}

TEST(RobustnessSweep, TwentySecondsOfSilenceAtFullResonanceFallBelowMinus140dB) {
    constexpr double kMinus140dB = 1e-7;
    std::mt19937 rng(kSweepSeed + 2000);
    for (DWORD rate : kRates) {
        for (MP_DATA type : {0.0f, 1.0f}) {
            for (MP_DATA order : {0.0f, 1.0f}) {
                // 20 Hz rings longest; the top of the range sits at the coefficient clamp.
                for (MP_DATA frequency : {20.0f, 1000.0f, 20000.0f}) {
                    SCOPED_TRACE(std::to_string(rate) + " Hz, type " + std::to_string(int(type)) +
                                 ", order " + std::to_string(int(order)) + ", at " +
                                 std::to_string(int(frequency)) + " Hz");
                    const MP_DATA values[kParamCount] = {frequency, 100, type, order, 0, 100};
                    const float peak = PeakAfterSilence(values, rate, rng);
                    // The flush leaves a dead band: once f x band drops under 2^-32, `low`
                    // stops moving, so a low-pass tuned under about 0.0011 fs may hold a DC
                    // residue of up to 2^-32 / f per section instead of decaying to zero.
                    const double deadBand =
                        type == 0 ? 0x1p-31 / FrequencyCoefficient(frequency, rate) : 0.0;
                    EXPECT_LT(peak, std::max(kMinus140dB, deadBand));
                }
            }
        }
    }
}

}  // namespace
