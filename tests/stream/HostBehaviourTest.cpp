// What real hosts do to the streaming loop: clusters of change points, discontinuities in
// mid-stream, format changes in band, odd automation values and huge samples.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "stream/StreamDriver.h"
#include "stream/WaveFormatCheck.h"
#include "support/DspFixture.h"

namespace {

std::vector<float> Signal(size_t n, uint32_t seed) {
    std::vector<float> v(n);
    uint32_t x = seed * 2654435761u + 1;
    for (float& s : v) {
        x = x * 1664525u + 1013904223u;
        s = float(int32_t(x >> 8) - (1 << 23)) / float(1 << 25);
    }
    return v;
}

// One filter with its driver, as the filter object holds them.
struct Chain {
    Chain() { EXPECT_EQ(owner.createResult, S_OK); }
    void Set(MP_DATA frequency, MP_DATA resonance, MP_DATA order, MP_DATA wet = 100) {
        const MP_DATA v[kParamCount] = {frequency, resonance, 0, order, 0, wet};
        EXPECT_EQ(owner.dsp.Store().SetAllParams(v), S_OK);
        owner.dsp.MarkParamsChanged();
    }
    void Add(DWORD index, MP_ENVELOPE_SEGMENT s) {
        EXPECT_EQ(owner.dsp.Store().AddEnvelope(index, 1, &s), S_OK);
    }
    DWORD Run(REFERENCE_TIME start, void* data, DWORD frames, int mode = kBlockContinue) {
        owner.dsp.Store().SetSampleTimes(&start);
        DWORD done = 0;
        EXPECT_EQ(driver.RunBuffer(data, frames, mode, &done), S_OK);
        return done;
    }
    DspOwner owner;
    StreamDriver driver{owner.dsp};
};

// The first frame from which on the output equals the input: where Wet/Dry jumped to 0.
size_t DryFrom(const std::vector<float>& in, const std::vector<float>& out) {
    size_t first = out.size();
    while (first > 0 && out[first - 1] == in[first - 1])
        --first;
    return first;
}

TEST(HostBehaviour, AClusterOfChangePointsInOneFrameNeverMakesLaterAutomationLate) {
    // 200 one-unit ramps inside the first frame, then Wet/Dry jumps to 0 one second later.
    constexpr REFERENCE_TIME kJump = 10000000 + 1234567;
    const size_t expected = size_t(double(kJump) * 44100 * 1e-7 + 0.5);
    auto prepare = [&](Chain& c) {
        c.Set(1000, 30, 0);
        std::vector<MP_ENVELOPE_SEGMENT> cluster;
        for (REFERENCE_TIME t = 10; t < 210; ++t)
            cluster.push_back({t, t + 1, 500, 900, MP_CURVE_LINEAR, 0});
        EXPECT_EQ(
            c.owner.dsp.Store().AddEnvelope(kParamFrequency, DWORD(cluster.size()), cluster.data()),
            S_OK);
        c.Add(kParamWetDry, {kJump, kJump + 5000000, 0, 0, MP_CURVE_JUMP, 0});
    };
    const std::vector<float> in = Signal(2 * 44100, 1);
    {
        Chain graph;
        prepare(graph);
        graph.driver.StoreFormat(MakeStoredFormat(WAVE_FORMAT_IEEE_FLOAT, 1, 44100, 32));
        ASSERT_EQ(graph.driver.StartStreaming(), S_OK);
        std::vector<float> out = in;
        EXPECT_EQ(graph.Run(0, out.data(), DWORD(out.size())), out.size());
        EXPECT_EQ(DryFrom(in, out), expected) << "graph path";
    }
    {
        Chain direct;
        prepare(direct);
        ASSERT_EQ(direct.driver.Init(1, 44100), S_OK);
        std::vector<float> out = in;
        for (size_t at = 0; at < out.size(); at += 4096) {
            const UINT n = UINT(std::min<size_t>(4096, out.size() - at));
            ASSERT_EQ(direct.driver.Process(out.data() + at, n, 0), S_OK);
        }
        EXPECT_EQ(DryFrom(in, out), expected) << "direct path";
    }
}

TEST(HostBehaviour, DrainModeAnswersSFalseEvenForLessThanAFrame) {
    Chain c;
    c.Set(1000, 30, 0);
    c.driver.StoreFormat(MakeStoredFormat(WAVE_FORMAT_PCM, 2, 44100, 16));
    ASSERT_EQ(c.driver.StartStreaming(), S_OK);
    DWORD done = 7;
    short frame[2] = {};
    EXPECT_EQ(c.driver.RunBuffer(frame, 0, kBlockDrain, &done), S_FALSE);
    EXPECT_EQ(done, 0u);
}

TEST(HostBehaviour, ADiscontinuityInMidStreamRestartsFromSilence) {
    const std::vector<float> warm = Signal(2 * 3000, 2);
    const std::vector<float> part = Signal(2 * 3000, 3);
    for (bool changeAtStart : {false, true}) {
        Chain fresh, streamed;
        for (Chain* c : {&fresh, &streamed}) {
            c->Set(800, 90, 1);
            c->driver.StoreFormat(MakeStoredFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 32));
            ASSERT_EQ(c->driver.StartStreaming(), S_OK);
        }
        std::vector<float> w = warm;
        streamed.Run(0, w.data(), 3000);
        if (changeAtStart) {
            for (Chain* c : {&fresh, &streamed})
                ASSERT_EQ(c->owner.dsp.SetParam(kParamResonance, 70), S_OK);
        }
        std::vector<float> a = part, b = part;
        fresh.Run(5000000, a.data(), 3000, kBlockRestart);
        streamed.Run(5000000, b.data(), 3000, kBlockRestart);
        EXPECT_EQ(a, b) << (changeAtStart ? "with" : "without") << " a change at its start";
    }
}

TEST(HostBehaviour, AFormatChangedInBandFiltersLikeAFreshStreamInTheNewFormat) {
    // 16-bit 44.1 kHz, then float 48 kHz: the second part must sound as if it had been
    // streamed on its own, cut-off and automation at the new rate.
    Chain changed, fresh;
    for (Chain* c : {&changed, &fresh}) {
        c->Set(1200, 80, 1);
        c->Add(kParamFrequency, {0, 20000000, 300, 3000, MP_CURVE_LINEAR, 0});
    }
    changed.driver.StoreFormat(MakeStoredFormat(WAVE_FORMAT_PCM, 2, 44100, 16));
    ASSERT_EQ(changed.driver.StartStreaming(), S_OK);
    std::vector<int16_t> first(2 * 4410, 1000);
    changed.Run(0, first.data(), 4410);

    const WAVEFORMATEX f48 = MakeStoredFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32);
    ASSERT_EQ(changed.driver.AdoptFormat(f48), S_OK);
    fresh.driver.StoreFormat(f48);
    ASSERT_EQ(fresh.driver.StartStreaming(), S_OK);
    std::vector<float> a = Signal(2 * 9600, 4), b = a;
    changed.Run(1000000, a.data(), 9600);
    fresh.Run(1000000, b.data(), 9600);
    EXPECT_EQ(a, b);
    WAVEFORMATEX copy{};
    ASSERT_TRUE(changed.driver.CopyFormat(&copy));
    EXPECT_EQ(copy.nSamplesPerSec, 48000u);
}

TEST(HostBehaviour, BypassFromAnEnvelopeUsesTheClampedValue) {
    for (const MP_DATA value : {-1.0f, 7.0f}) {
        Chain c;
        c.Set(1000, 50, 0);
        c.Add(kParamBypass, {0, 10000000, value, value, MP_CURVE_JUMP, 0});
        c.driver.StoreFormat(MakeStoredFormat(WAVE_FORMAT_IEEE_FLOAT, 1, 44100, 32));
        ASSERT_EQ(c.driver.StartStreaming(), S_OK);
        const std::vector<float> in = Signal(441, 5);
        std::vector<float> out = in;
        c.Run(0, out.data(), 441);
        EXPECT_EQ(out == in, value > 0) << "segment value " << value;
    }
}

TEST(HostBehaviour, ReenteringFourthOrderStartsSectionTwoFromSilence) {
    Chain c;
    c.Set(500, 100, 1);
    c.driver.StoreFormat(MakeStoredFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 32));
    ASSERT_EQ(c.driver.StartStreaming(), S_OK);
    std::vector<float> buffer = Signal(2 * 2000, 6);
    c.Run(0, buffer.data(), 2000);
    ASSERT_EQ(c.owner.dsp.SetParam(kParamFilterOrder, 0), S_OK);
    c.Run(500000, buffer.data(), 2000);
    ASSERT_NE(c.owner.dsp.Core().states[2].band, 0.0) << "section 2 idles with old ringing";
    ASSERT_EQ(c.owner.dsp.SetParam(kParamFilterOrder, 1), S_OK);
    ParamSnapshot snapshot;
    c.owner.dsp.TakeSnapshot(&snapshot);
    ASSERT_EQ(c.owner.dsp.UpdateCoefficients(snapshot, TRUE), S_OK);
    const DspCore& core = c.owner.dsp.Core();
    for (int s : {2, 3})
        EXPECT_EQ(core.states[s].low + core.states[s].band + core.states[s].high, 0.0);
    EXPECT_NE(core.states[0].band, 0.0) << "section 1 carries on";
}

TEST(HostBehaviour, APcmSampleTooLargeForTheWorkingBufferIsRefused) {
    if (sizeof(size_t) > 4) GTEST_SKIP() << "only a 32-bit size can wrap";
    Chain c;
    c.Set(1000, 50, 0);
    c.driver.StoreFormat(MakeStoredFormat(WAVE_FORMAT_PCM, 1, 44100, 8));
    ASSERT_EQ(c.driver.StartStreaming(), S_OK);
    // 1 GiB of 8-bit mono: its working floats would need 4 GiB. Nothing may be read.
    unsigned char sample[16] = {};
    DWORD frames = 1u << 30;
    EXPECT_EQ(c.owner.dsp.ProcessPcmBlock(kBlockContinue, sample, &frames), E_OUTOFMEMORY);
}

// Every channel is filtered as it would be alone: the bits of a mono stream with the same
// settings, automation, cuts, discontinuity and bypass, in every sample format (PCM with noise
// below its valid bits) and channel count, with moving ramps, order and type changes and now and
// then a sample that is not finite.
TEST(HostBehaviour, EveryChannelFiltersAsItWouldAlone) {
    const WORD kFormats[][3] = {{1, 8, 8},   {1, 16, 16}, {1, 24, 24}, {1, 24, 20},
                                {1, 32, 32}, {1, 32, 24}, {3, 32, 32}, {3, 64, 64}};
    std::mt19937 rng(424242);
    auto uniform = [&](double a, double b) { return std::uniform_real_distribution<>(a, b)(rng); };
    for (int trial = 0; trial < 64; ++trial) {
        const WORD tag = kFormats[trial % 8][0], bits = kFormats[trial % 8][1];
        const WORD valid = kFormats[trial % 8][2], channels = WORD(1 + trial * 7 % 32);
        SCOPED_TRACE(testing::Message() << "trial " << trial << ": " << tag << ", " << bits << "/"
                                        << valid << " bits, " << channels << " channels");
        const size_t bytes = bits / 8;
        const DWORD frames = 2000 + rng() % 1000;
        const REFERENCE_TIME span = REFERENCE_TIME(frames) * 10000000 / 44100;
        auto at = [&](double part) { return REFERENCE_TIME(part * double(span)); };
        const MP_DATA values[kParamCount] = {MP_DATA(uniform(100, 15000)),
                                             MP_DATA(uniform(0, 100)),
                                             MP_DATA(rng() % 3),
                                             MP_DATA(rng() % 2),
                                             0,
                                             MP_DATA(uniform(0, 100))};
        // Second order for a while (fourth re-entered when it started there), then bypass.
        const double bypass = uniform(0.5, 0.6);
        const std::pair<DWORD, MP_ENVELOPE_SEGMENT> lanes[] = {
            {kParamFrequency,
             {at(uniform(0, 0.3)), at(uniform(0.4, 1.2)), MP_DATA(uniform(20, 20000)),
              MP_DATA(uniform(20, 20000)), MP_CURVE_LINEAR, 0}},
            {kParamResonance, {at(0.1), at(0.9), 0, 100, MP_CURVE_SQUARE, 0}},
            {kParamWetDry, {at(0.2), at(0.7), 100, 30, MP_CURVE_INVSQUARE, 0}},
            {kParamFilterOrder, {at(uniform(0.1, 0.25)), at(0.4), 0, 1, MP_CURVE_JUMP, 0}},
            {kParamBypass, {at(bypass), at(bypass + 0.08), 1, 1, MP_CURVE_JUMP, 0}},
            {kParamFilterType,
             {at(uniform(0.45, 0.9)), at(1.5), 2, MP_DATA(rng() % 3), MP_CURVE_JUMP, 0}}};
        // Chain 0 streams every channel; chain c, channel c - 1 alone.
        std::vector<std::unique_ptr<Chain>> chains;
        for (WORD c = 0; c <= channels; ++c) {
            chains.push_back(std::make_unique<Chain>());
            EXPECT_EQ(chains[c]->owner.dsp.Store().SetAllParams(values), S_OK);
            for (const auto& lane : lanes)
                chains[c]->Add(lane.first, lane.second);
            chains[c]->driver.StoreFormat(MakeStoredFormat(tag, c == 0 ? channels : 1, 44100, bits),
                                          valid);
            ASSERT_EQ(chains[c]->driver.StartStreaming(), S_OK);
        }
        std::vector<uint8_t> stream(size_t(frames) * channels * bytes);
        for (size_t i = 0; i < stream.size(); i += bytes) {
            const double x = rng() % 4000 ? uniform(-1, 1) : (rng() % 2 ? INFINITY : NAN);
            const float f = float(x);
            const uint32_t noise = rng();
            std::memcpy(&stream[i],
                        tag == 1     ? (void*)&noise
                        : bits == 32 ? (void*)&f
                                     : (void*)&x,
                        bytes);
        }
        std::vector<std::vector<uint8_t>> alone(channels, std::vector<uint8_t>(frames * bytes));
        for (size_t i = 0; i < stream.size() / bytes; ++i)
            std::memcpy(&alone[i % channels][i / channels * bytes], &stream[i * bytes], bytes);

        REFERENCE_TIME time = 0;
        for (DWORD done = 0, restarted = 0; done < frames;) {
            const DWORD n = std::min<DWORD>(frames - done, 1 + 2 * (rng() % 300));
            // The first cut past 70 % is a discontinuity, a little ahead in time.
            const bool restart = !restarted && done * 10 >= frames * 7;
            restarted |= restart;
            time += restart ? 12345 : 0;
            for (WORD c = 0; c <= channels; ++c) {
                uint8_t* data = c == 0 ? &stream[size_t(done) * channels * bytes]
                                       : &alone[c - 1][size_t(done) * bytes];
                ASSERT_EQ(chains[c]->Run(time, data, n, restart ? kBlockRestart : kBlockContinue),
                          n);
            }
            done += n;
            time += REFERENCE_TIME(n) * 10000000 / 44100;
        }
        // Which NaN an operation passes on depends on its operands' order, which packed and
        // scalar code may swap: any NaN stands for any other.
        auto nan = [&](const uint8_t* p) {
            float f;
            double d;
            std::memcpy(bits == 32 ? (void*)&f : (void*)&d, p, bytes);
            return tag == 3 && (bits == 32 ? std::isnan(f) : std::isnan(d));
        };
        for (size_t i = 0; i < stream.size() / bytes; ++i) {
            const uint8_t* a = &alone[i % channels][i / channels * bytes];
            if (nan(a) && nan(&stream[i * bytes])) continue;
            ASSERT_EQ(std::memcmp(a, &stream[i * bytes], bytes), 0)
                << "frame " << i / channels << ", channel " << i % channels;
        }
    }
}

}  // namespace
