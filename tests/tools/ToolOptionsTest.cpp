// The shared command line: what it accepts, and the one-line reasons for what it refuses.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

#include "tools/common/ResponsePlot.h"
#include "tools/common/ToolOptions.h"

namespace {

bool Parse(std::initializer_list<const char*> args, ToolOptions* o, std::string* error) {
    std::vector<char*> argv = {const_cast<char*>("tool")};
    for (const char* a : args)
        argv.push_back(const_cast<char*>(a));
    return ParseToolOptions(int(argv.size()), argv.data(), o, error);
}

TEST(ToolOptions, ValuesAndEnvelopesAreParsedIntoParameterUnits) {
    ToolOptions o;
    std::string error;
    ASSERT_TRUE(Parse(
        {"--frequency", "440", "--type", "band", "--order", "4", "--bypass", "--envelope",
         "wet:0.5:1.25:100:0:sine", "--format", "float64", "--block", "256", "in.wav", "out.wav"},
        &o, &error))
        << error;
    EXPECT_EQ(o.value[kParamFrequency], 440.0f);
    EXPECT_EQ(o.value[kParamFilterType], 1.0f);
    EXPECT_EQ(o.value[kParamFilterOrder], 1.0f);
    EXPECT_TRUE(o.hasValue[kParamBypass]);
    EXPECT_FALSE(o.hasValue[kParamResonance]);
    ASSERT_EQ(o.envelopes.size(), 1u);
    EXPECT_EQ(o.envelopes[0].param, DWORD(kParamWetDry));
    EXPECT_EQ(o.envelopes[0].segment.rtStart, 5000000);
    EXPECT_EQ(o.envelopes[0].segment.rtEnd, 12500000);
    EXPECT_EQ(o.envelopes[0].segment.iCurve, MP_CURVE_SINE);
    EXPECT_EQ(o.format, Encoding::Float64);
    EXPECT_EQ(o.block, 256u);
    EXPECT_EQ(o.output, "out.wav");
}

TEST(ToolOptions, EnvelopeTimesRoundToNearestUnit) {
    REFERENCE_TIME t;
    ASSERT_TRUE(SecondsToUnits(0.00000014, &t));
    EXPECT_EQ(t, 1);
    ASSERT_TRUE(SecondsToUnits(0.00000016, &t));
    EXPECT_EQ(t, 2);
    EXPECT_FALSE(SecondsToUnits(-1, &t));
}

TEST(ToolOptions, BadInputIsRefusedWithItsReason) {
    const struct {
        std::initializer_list<const char*> args;
        const char* reason;
    } cases[] = {
        {{"--frequency", "19.9", "a", "b"}, "20 to 20000"},
        {{"--resonance", "abc", "a", "b"}, "not a number"},
        {{"--wet", "nan", "a", "b"}, "not a number"},
        {{"--type", "notch", "a", "b"}, "low, band or high"},
        {{"--order", "3", "a", "b"}, "2 or 4"},
        {{"--format", "pcm24", "a", "b"}, "--format"},
        {{"--block", "0", "a", "b"}, "--block"},
        {{"--envelope", "frequency:0:1:100", "a", "b"}, "PARAM:START"},
        {{"--envelope", "gain:0:1:0:1", "a", "b"}, "unknown parameter"},
        {{"--envelope", "frequency:2:1:100:200", "a", "b"}, "START <= END"},
        {{"--envelope", "type:0:1:0:3", "a", "b"}, "TO must be 0 to 2"},
        {{"--envelope", "order:0:1:0:1:cubic", "a", "b"}, "unknown curve"},
        {{"--frequency"}, "needs a value"},
        {{"--volume", "3", "a", "b"}, "unknown option"},
        {{"--volume\n2", "a", "b"}, "unknown option --volume?2"},
        {{"only-input.wav"}, "expected INPUT OUTPUT"},
        {{"--direct", "--format", "pcm16", "a", "b"}, "float32"},
    };
    for (const auto& c : cases) {
        ToolOptions o;
        std::string error;
        EXPECT_FALSE(Parse(c.args, &o, &error)) << c.reason;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

TEST(ToolOptions, PresetsAreFoundByIndexOrName) {
    const std::vector<std::string> names = {"(Default)", "Default all parameters", "Pip&Squeaking"};
    EXPECT_EQ(FindPreset("2", names), 2);
    EXPECT_EQ(FindPreset("pipsqueaking", names), 2);
    EXPECT_EQ(FindPreset("DEFAULT ALL PARAMETERS", names), 1);
    EXPECT_EQ(FindPreset("3", names), -1);
    EXPECT_EQ(FindPreset("Pip", names), -1);
}

TEST(MagnitudeResponse, MatchesKnownTransforms) {
    // A unit impulse is flat at 0 dB; a two-tap average falls as |cos(w/2)|.
    for (const ResponsePoint& p : MagnitudeResponse({1.0f}, 48000, 16))
        EXPECT_NEAR(p.db, 0.0, 1e-9);
    const auto average = MagnitudeResponse({0.5f, 0.5f}, 48000, 16);
    for (const ResponsePoint& p : average)
        EXPECT_NEAR(p.db, 20 * std::log10(std::fabs(std::cos(3.14159265358979 * p.hz / 48000))),
                    1e-6);
    EXPECT_NEAR(average.front().hz, 20, 1e-9);
    EXPECT_NEAR(average.back().hz, 20000, 1e-6);
}

}  // namespace
