// The WAVE Parser's cut, as recorded from Wine, for the native tool to stream alike.
#include <gtest/gtest.h>

#include "tools/common/AudioFormat.h"
#include "tools/common/Schedule.h"

namespace {

struct ParserCase {
    DWORD rate;
    WORD channels;
    Encoding encoding;
    uint32_t framesPerSample;            // seen from the parser
    std::vector<REFERENCE_TIME> starts;  // of samples 1, 2, 3
    REFERENCE_TIME stopOfSample2;
};

TEST(ParserSchedule, CutsAndStampsAsTheWaveParserDoes) {
    // Figures recorded from Wine 8's WAVE Parser on files of these formats.
    const ParserCase cases[] = {
        {44100, 2, Encoding::Pcm16, 1764, {400000, 800000, 1200000}, 1200000},
        {11025, 2, Encoding::Pcm8, 2048, {1857596, 3715192, 5572789}, 5572788},
        {48000, 1, Encoding::Pcm16, 2048, {426666, 853333, 1280000}, 1279999},
        {96000, 2, Encoding::Pcm32, 3840, {400000, 800000, 1200000}, 1200000},
        {8000, 1, Encoding::Float64, 512, {640000, 1280000, 1920000}, 1920000},
        {44096, 2, Encoding::Pcm16, 1764, {400036, 800072, 1200108}, 1200108},
        {102401, 1, Encoding::Pcm8, 4097, {400093, 800187, 1200281}, 1200280},
        {150001, 1, Encoding::Pcm16, 6000, {399997, 799994, 1199992}, 1199991},
    };
    for (const ParserCase& c : cases) {
        SCOPED_TRACE(c.rate);
        const WAVEFORMATEX f = StreamWaveFormat(c.encoding, c.channels, c.rate);
        const auto s = ParserSchedule(10 * uint64_t(c.framesPerSample) + 7, f);
        ASSERT_EQ(s.size(), 11u);
        EXPECT_EQ(s[0].frames, c.framesPerSample);
        EXPECT_TRUE(s[0].discontinuity);
        EXPECT_FALSE(s[1].discontinuity);
        EXPECT_EQ(s[0].start, 0);
        for (int k = 1; k <= 3; ++k)
            EXPECT_EQ(s[size_t(k)].start, c.starts[size_t(k - 1)]);
        EXPECT_EQ(s[2].stop, c.stopOfSample2);
        EXPECT_EQ(s[10].frames, 7u);
        EXPECT_EQ(s[10].firstFrame, 10u * c.framesPerSample);
    }
}

}  // namespace
