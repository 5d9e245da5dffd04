// The PCM conversions' exact arithmetic, rounding and clipping.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "dsp/SampleConvert.h"
#include "support/DspFixture.h"

namespace {

template <typename Out, typename In>
Out Convert(WORD outTag, WORD outBits, WORD inTag, WORD inBits, In in) {
    SampleConverter c = FindConverter(MakeFormat(outTag, 1, outBits), MakeFormat(inTag, 1, inBits));
    EXPECT_NE(c, nullptr);
    Out out{};
    if (c) c(&out, &in, 1, 1.0);
    return out;
}

uint8_t ToU8(float x) {
    return Convert<uint8_t>(WAVE_FORMAT_PCM, 8, WAVE_FORMAT_IEEE_FLOAT, 32, x);
}
int16_t ToS16(float x) {
    return Convert<int16_t>(WAVE_FORMAT_PCM, 16, WAVE_FORMAT_IEEE_FLOAT, 32, x);
}
int32_t ToS32(double x) {
    return Convert<int32_t>(WAVE_FORMAT_PCM, 32, WAVE_FORMAT_IEEE_FLOAT, 64, x);
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(Conversion, EightBitIsUnsignedAroundOneTwentyEightAndClips) {
    EXPECT_EQ((Convert<float>(WAVE_FORMAT_IEEE_FLOAT, 32, WAVE_FORMAT_PCM, 8, uint8_t(255))),
              127 * 0.0078125f);
    EXPECT_EQ((Convert<float>(WAVE_FORMAT_IEEE_FLOAT, 32, WAVE_FORMAT_PCM, 8, uint8_t(0))), -1.0f);
    EXPECT_EQ(ToU8(127 * 0.0078125f), 255);
    EXPECT_EQ(ToU8(1.0f), 255);
    EXPECT_EQ(ToU8(7.0f), 255);
    EXPECT_EQ(ToU8(-1.0f), 0);
    EXPECT_EQ(ToU8(-1.0078125f), 0);
    EXPECT_EQ(ToU8(-0.0078f), 128) << "truncation toward zero";
    EXPECT_EQ(ToU8(0.0f), 128);
}

TEST(Conversion, SixteenBitTruncatesTowardZeroAndClips) {
    EXPECT_EQ((Convert<float>(WAVE_FORMAT_IEEE_FLOAT, 32, WAVE_FORMAT_PCM, 16, int16_t(-32768))),
              -1.0f);
    EXPECT_EQ(ToS16(-1.0f), -32768);
    EXPECT_EQ(ToS16(1.0f), 32767);
    EXPECT_EQ(ToS16(0.99999f), 32767);
    EXPECT_EQ(ToS16(-0.5000152587890625f), -16384);
    EXPECT_EQ(ToS16(-3.0f), -32768);
    EXPECT_EQ(ToS16(std::numeric_limits<float>::infinity()), 32767);
}

TEST(Conversion, ThirtyTwoBitGoesThroughDoubleAndSaturates) {
    EXPECT_EQ((Convert<double>(WAVE_FORMAT_IEEE_FLOAT, 64, WAVE_FORMAT_PCM, 32, INT32_MIN)), -1.0);
    EXPECT_EQ((Convert<double>(WAVE_FORMAT_IEEE_FLOAT, 64, WAVE_FORMAT_PCM, 32, 1)),
              1.0 / 2147483648.0);
    EXPECT_EQ(ToS32(1.0), INT32_MAX);
    EXPECT_EQ(ToS32(-1.0), INT32_MIN);
    EXPECT_EQ(ToS32(-1.5), INT32_MIN);
    EXPECT_EQ(ToS32(2147483646.5 / 2147483648.0), 2147483646);
}

TEST(Conversion, EveryIntegerSampleRoundTripsExactly) {
    for (int b = 0; b < 256; ++b) {
        const float w = Convert<float>(WAVE_FORMAT_IEEE_FLOAT, 32, WAVE_FORMAT_PCM, 8, uint8_t(b));
        ASSERT_EQ(ToU8(w), b);
    }
    for (int s = -32768; s < 32768; ++s) {
        const float w = Convert<float>(WAVE_FORMAT_IEEE_FLOAT, 32, WAVE_FORMAT_PCM, 16, int16_t(s));
        ASSERT_EQ(ToS16(w), s);
    }
    for (int32_t s : {INT32_MIN, -123456789, -1, 0, 1, 987654321, INT32_MAX}) {
        const double w = Convert<double>(WAVE_FORMAT_IEEE_FLOAT, 64, WAVE_FORMAT_PCM, 32, s);
        ASSERT_EQ(ToS32(w), s);
    }
}

// Packed 24-bit and containers with fewer valid bits, over buffers of exactly their samples'
// bytes, so a read or write past the end is caught; long enough for the grouped and the single
// paths.
TEST(Conversion, TwentyFourBitAndFewerValidBitsTruncateClipAndZeroTheBitsBelow) {
    const std::vector<double> in = {-2.0,         -1.0,     -0.5000001, 0.0,         0x1p-23,
                                    -0x1.8p-23,   0x1p-20,  0.99999999, 1.0,         3.0,
                                    std::nan(""), -0x1p-24, 0.25,       -0.99999999, 0x1.fp-21};
    const WAVEFORMATEX working = MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 1, 64);
    const WORD shapes[][2] = {{24, 24}, {24, 20}, {24, 16}, {32, 24}, {32, 31}, {32, 16}};
    for (const auto& shape : shapes) {
        const WORD bits = shape[0], valid = shape[1];
        const WAVEFORMATEX pcm = MakeFormat(WAVE_FORMAT_PCM, 1, bits);
        std::vector<uint8_t> out(in.size() * bits / 8);
        FindConverter(pcm, working, valid)(out.data(), in.data(), in.size(), 1.0);
        std::vector<double> back(in.size());
        FindConverter(working, pcm, valid)(back.data(), out.data(), in.size(), 1.0);
        const double scale = std::ldexp(1.0, valid - 1);
        for (size_t i = 0; i < in.size(); ++i) {
            const double a = in[i] * scale;
            const double t = a != a ? 0.0 : std::trunc(std::min(std::max(a, -scale), scale - 1));
            ASSERT_EQ(back[i] * scale, t) << bits << "/" << valid << " bits, " << in[i];
            uint32_t u = 0;
            std::memcpy(&u, &out[i * bits / 8], bits / 8);
            ASSERT_EQ(u & ((1u << (bits - valid)) - 1), 0u) << "the bits below the valid ones";
        }
    }
}

TEST(Conversion, ANaNWorkingValueLeavesAsSilence) {
    EXPECT_EQ(ToU8(kNaN), 128);
    EXPECT_EQ(ToS16(kNaN), 0);
    EXPECT_EQ(ToS32(std::nan("")), 0);
}

TEST(Conversion, OnlyTheDocumentedPairsExist) {
    EXPECT_EQ(FindConverter(MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 1, 64),
                            MakeFormat(WAVE_FORMAT_PCM, 1, 16)),
              nullptr);
    EXPECT_EQ(FindConverter(MakeFormat(WAVE_FORMAT_PCM, 1, 24),
                            MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 1, 32)),
              nullptr);
    const WAVEFORMATEX working = MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 1, 64);
    EXPECT_EQ(FindConverter(MakeFormat(WAVE_FORMAT_PCM, 1, 24), working, 15), nullptr);
    EXPECT_EQ(FindConverter(MakeFormat(WAVE_FORMAT_PCM, 1, 24), working, 25), nullptr);
    EXPECT_EQ(FindConverter(MakeFormat(WAVE_FORMAT_PCM, 1, 16),
                            MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 1, 32), 12),
              nullptr);
}

}  // namespace
