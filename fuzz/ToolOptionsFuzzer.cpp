// Parses command lines made from the input (arguments split at NUL bytes; a leading control byte
// and the byte after it stand for a real option or value, so the parser's paths are reached) and
// checks that what it accepts is what a run may start with, and what it refuses is said in one
// line.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "presets/PresetTable.h"
#include "tools/common/ToolOptions.h"

namespace {

constexpr size_t kMaxArgs = 32;

const char* const kWords[] = {"--preset",
                              "--frequency",
                              "--resonance",
                              "--wet",
                              "--type",
                              "--order",
                              "--bypass",
                              "--envelope",
                              "--format",
                              "--block",
                              "--plot",
                              "--save-settings",
                              "--load-settings",
                              "--page",
                              "--page-close",
                              "--direct",
                              "--quiet",
                              "--list-presets",
                              "--info",
                              "--help",
                              "-h",
                              "low",
                              "band",
                              "high",
                              "2",
                              "4",
                              "pcm8",
                              "float32",
                              "float64",
                              "frequency:0:1:20:20000:",
                              "wet:0.5:0.5:0:100",
                              "resonance:",
                              ":sine",
                              ":invsquare",
                              "1e308",
                              "-0",
                              "in.wav",
                              "out.wav",
                              "--dmo",
                              "--gain",
                              "--tail",
                              "--bits",
                              "--encoding",
                              "--file-type",
                              "--version",
                              "-q",
                              "--",
                              "-",
                              "on",
                              "unsigned",
                              "type:0:1:low:high",
                              "out.flac"};
constexpr size_t kWordCount = sizeof kWords / sizeof kWords[0];

std::vector<std::string> Arguments(const uint8_t* data, size_t size) {
    std::vector<std::string> args{"fuzz"};
    std::string arg;
    for (size_t i = 0; i <= size && args.size() <= kMaxArgs; ++i) {
        if (i < size && data[i] != 0) {
            // A control byte at the start of an argument stands for a word from the table, and
            // the byte after it says which: the control bytes alone are too few for the table.
            // The rest of the argument follows the word, so values like
            // "--envelope frequency:0:1:20:20000:sine" are built from two pieces.
            if (arg.empty() && data[i] < 0x20 && data[i] != '\n') {
                arg = kWords[(i + 1 < size ? data[++i] : 0) % kWordCount];
            } else {
                arg += char(data[i]);
            }
            continue;
        }
        args.push_back(arg);
        arg.clear();
    }
    return args;
}

void CheckAccepted(const ToolOptions& o, Tool tool) {
    for (DWORD i = 0; i < kParamCount; ++i) {
        if (!o.hasValue[i]) continue;
        Check(std::isfinite(o.value[i]), "an accepted value is finite");
        Check(o.value[i] >= ParamMin(i) && o.value[i] <= ParamMax(i),
              "an accepted value is in range");
    }
    for (const EnvelopeOption& e : o.envelopes) {
        const MP_ENVELOPE_SEGMENT& s = e.segment;
        Check(e.param < kParamCount, "an envelope names a parameter");
        Check(0 <= s.rtStart && s.rtStart <= s.rtEnd, "an envelope has 0 <= START <= END");
        Check(s.valStart >= ParamMin(e.param) && s.valStart <= ParamMax(e.param) &&
                  s.valEnd >= ParamMin(e.param) && s.valEnd <= ParamMax(e.param),
              "an envelope's FROM and TO are in range");
        Check(s.iCurve == MP_CURVE_JUMP || s.iCurve == MP_CURVE_LINEAR ||
                  s.iCurve == MP_CURVE_SQUARE || s.iCurve == MP_CURVE_INVSQUARE ||
                  s.iCurve == MP_CURVE_SINE,
              "an envelope has a known curve");
        Check(s.flags == 0, "an envelope has no flags");
    }
    Check(o.block <= 1048576, "the block is 0 or 1 to 1048576 frames");
    Check(o.pageClose >= 0 && o.pageClose <= 86400, "the page closes within a day");
    Check(!(o.direct && o.page), "the page is never shown on the direct path");
    Check(!(o.dmo && (o.direct || o.page)), "the DMO runs only in a graph, without the page");
    Check(tool == Tool::Host || !(o.page || o.dmo || o.pageClose != 0),
          "resfilter takes neither the page nor the DMO");
    Check(tool == Tool::Native || (o.gainDb == 0 && o.tail == 0 && o.bits == 0 &&
                                   o.kind == SampleKind::AsInput && o.fileType.empty()),
          "rfhost takes none of resfilter's file options");
    Check(tool == Tool::Native ||
              (o.input != "-" && o.output != "-" &&
               (FileExtension(o.output).empty() || FileExtension(o.output) == "wav")),
          "rfhost reads and writes named WAV files");
    Check(std::isfinite(o.gainDb) && o.gainDb >= -200 && o.gainDb <= 200 && o.tail >= 0 &&
              o.tail <= 3600,
          "gain and tail are in range");
    Check(o.bits == 0 || o.bits == 8 || o.bits == 16 || o.bits == 24 || o.bits == 32,
          "the bits are 8, 16, 24 or 32");
}

const std::vector<std::string>& PresetNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (LONG i = 0; i < kPresetCount; ++i)
            n.push_back(kPresetTable[i].name);
        // Every preset is found by its own name and by its index.
        for (int i = 0; i < int(n.size()); ++i) {
            Check(FindPreset(n[i], n) == i, "a preset is found by its name");
            Check(FindPreset(std::to_string(i), n) == i, "a preset is found by its index");
        }
        return n;
    }();
    return names;
}

void CheckPresetLookup(const std::string& text) {
    const int found = FindPreset(text, PresetNames());
    Check(found >= -1 && found < kPresetCount, "a preset lookup gives -1 or 0 to 17");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args = Arguments(data, size);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);

    for (Tool tool : {Tool::Host, Tool::Native}) {
        ToolOptions options;
        std::string error;
        if (ParseToolOptions(int(args.size()), argv.data(), tool, &options, &error)) {
            CheckAccepted(options, tool);
            CheckPresetLookup(options.preset);
        } else {
            Check(!error.empty(), "a refusal says why");
            Check(error.find('\n') == std::string::npos && error.find('\r') == std::string::npos,
                  "a refusal is one line");
        }
    }
    for (size_t i = 1; i < args.size(); ++i)
        CheckPresetLookup(args[i]);
    return 0;
}
