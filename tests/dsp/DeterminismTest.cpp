// One answer everywhere: the same input, settings and automation give the same output bits in
// the native and the win32 build. Both builds check against the same recorded digest.
// Set RF_PRINT_DIGEST=1 to print the digest after an intended change of the arithmetic.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/DspFixture.h"

namespace {

class DeterminismTest : public DspTest {
  protected:
    uint64_t digest = 1469598103934665603ull;  // FNV-1a

    void Hash(const void* data, size_t bytes) {
        const auto* p = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < bytes; ++i)
            digest = (digest ^ p[i]) * 1099511628211ull;
    }

    // A fixed generator, so that the input does not depend on the standard library.
    uint32_t state = 12345;
    float NextSample() {
        state = state * 1664525u + 1013904223u;
        return float(int32_t(state)) * (0.9f / 2147483648.0f);
    }

    template <typename Sample>
    void RunCase(WORD bits, WORD channels, int type, int order) {
        Start(MakeFormat(WAVE_FORMAT_IEEE_FLOAT, channels, bits), 300, 85, MP_DATA(type),
              MP_DATA(order), 70);
        // A Frequency sweep and a Wet/Dry square ramp, so every frame recomputes.
        MP_ENVELOPE_SEGMENT sweep{0, 5000000, 300, 15000, MP_CURVE_LINEAR, 0};
        MP_ENVELOPE_SEGMENT mix{0, 5000000, 20, 90, MP_CURVE_SQUARE, 0};
        ASSERT_EQ(dsp.Store().AddEnvelope(kParamFrequency, 1, &sweep), S_OK);
        ASSERT_EQ(dsp.Store().AddEnvelope(kParamWetDry, 1, &mix), S_OK);
        ASSERT_EQ(dsp.Store().StartTimeBase(44100), S_OK);
        REFERENCE_TIME zero = 0;
        dsp.Store().SetSampleTimes(&zero);
        std::vector<Sample> buffer(size_t(channels) * 8192);
        for (Sample& s : buffer)
            s = Sample(NextSample());
        DWORD left = 8192;
        Sample* at = buffer.data();
        while (left > 0) {
            DWORD mask = 0;
            DWORD n = dsp.Store().AdvanceToNextChange(left < 1024 ? left : 1024, &mask);
            if (n > left) n = left;
            ParamSnapshot snapshot;
            dsp.TakeSnapshot(&snapshot);
            ASSERT_EQ(dsp.UpdateCoefficients(snapshot, TRUE), S_OK);
            DWORD done = n;
            ASSERT_EQ(Block(at, &done), S_OK);
            at += size_t(n) * channels;
            left -= n;
        }
        dsp.Store().StopTimeBase();
        dsp.Store().FlushEnvelope(DWORD_ALLPARAMS, INT64_MIN, INT64_MAX);
        Hash(buffer.data(), buffer.size() * sizeof(Sample));
    }
};

TEST_F(DeterminismTest, OutputBitsMatchTheRecordedDigest) {
    for (WORD channels = 1; channels <= 2; ++channels) {
        for (int type = 0; type < 3; ++type) {
            for (int order = 0; order < 2; ++order) {
                RunCase<float>(32, channels, type, order);
                RunCase<double>(64, channels, type, order);
            }
        }
    }
    if (std::getenv("RF_PRINT_DIGEST"))
        std::printf("digest 0x%016llx\n", (unsigned long long)digest);
    EXPECT_EQ(digest, 0x476d60e2dc89df08ull);
}

}  // namespace
