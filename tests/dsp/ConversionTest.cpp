// The PCM conversions' exact arithmetic, rounding and clipping.
#include <cmath>
#include <cstdint>
#include <limits>

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

TEST(Conversion, ANaNWorkingValueLeavesAsSilence) {
    EXPECT_EQ(ToU8(kNaN), 128);
    EXPECT_EQ(ToS16(kNaN), 0);
    EXPECT_EQ(ToS32(std::nan("")), 0);
}

TEST(Conversion, OnlyTheSixDocumentedPairsExist) {
    EXPECT_EQ(FindConverter(MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 1, 64),
                            MakeFormat(WAVE_FORMAT_PCM, 1, 16)),
              nullptr);
    EXPECT_EQ(FindConverter(MakeFormat(WAVE_FORMAT_PCM, 1, 24),
                            MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 1, 32)),
              nullptr);
}

}  // namespace
