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

// Packed 24-bit, and 24- or 32-bit containers with fewer valid bits, over whole buffers: exactly
// as many bytes as samples hold, so a read or write past the end is caught.
std::vector<uint8_t> ToPcm(WORD bits, WORD valid, const std::vector<double>& in) {
    SampleConverter c = FindConverter(MakeFormat(WAVE_FORMAT_PCM, 1, bits),
                                      MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 1, 64), valid);
    EXPECT_NE(c, nullptr) << bits << "/" << valid;
    std::vector<uint8_t> out(in.size() * bits / 8, 0xA5);
    if (c) c(out.data(), in.data(), in.size(), 1.0);
    return out;
}
int32_t SampleAt(const std::vector<uint8_t>& pcm, WORD bits, size_t i) {
    uint32_t u = 0;
    std::memcpy(&u, &pcm[i * bits / 8], bits / 8);
    return bits == 24 ? int32_t(u << 8) >> 8 : int32_t(u);
}

TEST(Conversion, TwentyFourBitAndFewerValidBitsTruncateClipAndZeroTheBitsBelow) {
    const std::vector<double> in = {-2.0,         -1.0,     -0.5000001, 0.0,         0x1p-23,
                                    -0x1.8p-23,   0x1p-20,  0.99999999, 1.0,         3.0,
                                    std::nan(""), -0x1p-24, 0.25,       -0.99999999, 0x1.fp-21};
    const WORD shapes[][2] = {{24, 24}, {24, 20}, {24, 16}, {32, 24}, {32, 31}, {32, 16}};
    for (const auto& shape : shapes) {
        const WORD bits = shape[0], valid = shape[1];
        const std::vector<uint8_t> pcm = ToPcm(bits, valid, in);
        const double scale = std::ldexp(1.0, valid - 1);
        for (size_t i = 0; i < in.size(); ++i) {
            const double a = in[i] * scale;
            const double t = a != a ? 0.0 : std::trunc(std::min(std::max(a, -scale), scale - 1));
            EXPECT_EQ(SampleAt(pcm, bits, i), int64_t(t) * (int64_t(1) << (bits - valid)))
                << bits << "/" << valid << " bits, sample " << in[i];
        }
    }
    const std::vector<uint8_t> pcm = ToPcm(24, 24, in);
    EXPECT_EQ(SampleAt(pcm, 24, 0), -8388608);
    EXPECT_EQ(SampleAt(pcm, 24, 8), 8388607);
    EXPECT_EQ(SampleAt(pcm, 24, 5), -1) << "truncation toward zero";
}

TEST(Conversion, TwentyFourBitSamplesReadAsTheirValueOverTwoToTheTwentyThird) {
    // Every sample value that differs in any byte, read from a buffer of just its bytes, and
    // written back the same.
    std::vector<uint8_t> pcm;
    std::vector<int32_t> values;
    for (int32_t s = -8388608; s < 8388608; s += 65793)
        values.push_back(s);
    for (int32_t s : {-8388608, -1, 0, 1, 8388607, 0x123456, -0x654321})
        values.push_back(s);
    for (int32_t s : values) {
        for (int k = 0; k < 3; ++k)
            pcm.push_back(uint8_t(uint32_t(s) >> (8 * k)));
    }
    SampleConverter in = FindConverter(MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 1, 64),
                                       MakeFormat(WAVE_FORMAT_PCM, 1, 24), 20);
    ASSERT_NE(in, nullptr) << "input reads the whole container whatever the valid bits";
    std::vector<double> working(values.size());
    in(working.data(), pcm.data(), values.size(), 1.0);
    for (size_t i = 0; i < values.size(); ++i)
        ASSERT_EQ(working[i], values[i] * 0x1p-23) << values[i];
    EXPECT_EQ(ToPcm(24, 24, working), pcm);
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
