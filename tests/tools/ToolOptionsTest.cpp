// The shared command line: what it accepts, and the one-line reasons for what it refuses.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

#include "tools/common/ResponsePlot.h"
#include "tools/common/ToolOptions.h"

namespace {

bool Parse(std::initializer_list<const char*> args, ToolOptions* o, std::string* error,
           Tool tool = Tool::Native) {
    std::vector<char*> argv = {const_cast<char*>("tool")};
    for (const char* a : args)
        argv.push_back(const_cast<char*>(a));
    return ParseToolOptions(int(argv.size()), argv.data(), tool, o, error);
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
        {{"--format", "pcm12", "a", "b"}, "--format"},
        {{"--block", "0", "a", "b"}, "--block"},
        {{"--envelope", "frequency:0:1:100", "a", "b"}, "PARAM:START"},
        {{"--envelope", "gain:0:1:0:1", "a", "b"}, "unknown parameter"},
        {{"--envelope", "frequency:2:1:100:200", "a", "b"}, "START <= END"},
        {{"--envelope", "type:0:1:0:3", "a", "b"}, "TO must be low, band or high (or 0 to 2)"},
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

TEST(ToolOptions, EnvelopeValuesTakeTheOptionsWordsOrNumbers) {
    const struct {
        const char* envelope;
        MP_DATA from, to;
    } cases[] = {
        {"type:0:1:low:high", 0, 2},  {"type:0:1:band:1", 1, 1},        {"order:0:1:2:4", 0, 1},
        {"order:0:1:1:0", 1, 0},      {"bypass:0:1:off:on", 0, 1},      {"bypass:0:1:1:0", 1, 0},
        {"wet:0:1:0:55.5", 0, 55.5f}, {"type:0:0:high:low:sine", 2, 0},
    };
    for (const auto& c : cases) {
        ToolOptions o;
        std::string error;
        ASSERT_TRUE(Parse({"--envelope", c.envelope, "a", "b"}, &o, &error)) << error;
        EXPECT_EQ(o.envelopes[0].segment.valStart, c.from) << c.envelope;
        EXPECT_EQ(o.envelopes[0].segment.valEnd, c.to) << c.envelope;
    }
    for (const char* bad :
         {"order:0:1:3:4", "bypass:0:1:yes:no", "frequency:0:1:low:high", "type:0:1:Low:high"}) {
        ToolOptions o;
        std::string error;
        EXPECT_FALSE(Parse({"--envelope", bad, "a", "b"}, &o, &error)) << bad;
    }
}

TEST(ToolOptions, OnlyAnEnvelopeThatALaterOneRemovesIsWarnedAbout) {
    const struct {
        std::vector<const char*> envelopes;
        std::vector<const char*> warned;  // the earlier envelope each warning names
    } cases[] = {
        {{"frequency:0:1:100:200", "frequency:0.5:2:300:400"}, {"frequency:0:1:100:200"}},
        {{"frequency:0:1:100:200", "frequency:1:2:300:400"}, {}},  // they only touch
        {{"frequency:0:1:100:200", "wet:0:1:0:100"}, {}},
        {{"type:0:2:low:high", "type:1:1:band:band:jump"}, {"type:0:2:low:high"}},
        {{"wet:0:1:0:1", "wet:2:3:0:1", "wet:0.5:2.5:5:5"}, {"wet:0:1:0:1", "wet:2:3:0:1"}},
    };
    for (const auto& c : cases) {
        std::vector<EnvelopeOption> envelopes;
        for (const char* text : c.envelopes) {
            ToolOptions o;
            std::string error;
            ASSERT_TRUE(Parse({"--envelope", text, "--list-presets"}, &o, &error)) << error;
            envelopes.push_back(o.envelopes[0]);
        }
        const std::vector<std::string> warnings = OverlapWarnings(envelopes);
        ASSERT_EQ(warnings.size(), c.warned.size()) << c.envelopes.back();
        for (size_t i = 0; i < warnings.size(); ++i) {
            EXPECT_NE(warnings[i].find(std::string("replaces --envelope ") + c.warned[i]),
                      std::string::npos)
                << warnings[i];
            EXPECT_NE(warnings[i].find(c.envelopes.back()), std::string::npos) << warnings[i];
        }
    }
}

TEST(ToolOptions, EachToolTakesAndListsOnlyItsOwnOptions) {
    const struct {
        Tool tool;
        std::initializer_list<const char*> args;
        const char* refusal;  // empty: accepted
    } cases[] = {
        {Tool::Native, {"--page", "a", "b"}, "needs Windows"},
        {Tool::Native, {"--dmo", "a", "b"}, "needs Windows"},
        {Tool::Native, {"--mft", "a", "b"}, "needs Windows"},
        {Tool::Host, {"--gain", "3", "a", "b"}, "use resfilter"},
        {Tool::Host, {"--bits", "24", "a", "b"}, "use resfilter"},
        {Tool::Host, {"a.wav", "b.flac"}, "WAV only"},
        {Tool::Host, {"-", "b.wav"}, "not pipes"},
        {Tool::Host, {"a.wav", "B.WAV"}, ""},
        {Tool::Native, {"-q", "--", "-in.wav", "-"}, ""},
        {Tool::Native, {"--bits", "16", "--encoding", "unsigned", "a", "b"}, "8-bit"},
        {Tool::Native, {"--encoding", "float", "--bits", "24", "a", "b"}, "32-bit"},
        {Tool::Native, {"--tail", "-1", "a", "b"}, "--tail must be"},
        {Tool::Native, {"--file-type", "mp3", "a", "b"}, "--file-type must be"},
    };
    for (const auto& c : cases) {
        ToolOptions o;
        std::string error;
        EXPECT_EQ(Parse(c.args, &o, &error, c.tool), *c.refusal == 0) << error;
        EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
    }
    ToolOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"-q", "--", "-in.wav", "-"}, &o, &error)) << error;
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.input, "-in.wav");
    EXPECT_EQ(o.output, "-");
    const std::string native = ToolUsage(Tool::Native), host = ToolUsage(Tool::Host);
    for (const char* hostOnly : {"--page", "--dmo", "--mft"}) {
        EXPECT_EQ(native.find(hostOnly), std::string::npos) << hostOnly;
        EXPECT_NE(host.find(hostOnly), std::string::npos) << hostOnly;
    }
    for (const char* nativeOnly : {"--gain", "--tail", "--bits", "--encoding", "--file-type"}) {
        EXPECT_EQ(host.find(nativeOnly), std::string::npos) << nativeOnly;
        EXPECT_NE(native.find(nativeOnly), std::string::npos) << nativeOnly;
    }
}

TEST(ToolOptions, PresetListMarksRowZeroAsTheStartingValues) {
    const std::string list = PresetListing({"(Default)", "Default all parameters", "Muffler"});
    const size_t firstLineEnd = list.find('\n');
    EXPECT_LT(list.find("the values a new filter starts with"), firstLineEnd);
    EXPECT_EQ(list.find("new filter", firstLineEnd), std::string::npos);
    EXPECT_NE(list.find(" 2  Muffler\n"), std::string::npos);
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
