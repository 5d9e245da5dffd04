#include "tools/common/ToolOptions.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "tools/common/OptionValues.h"

namespace {

constexpr const char* kFileTypes[] = {"wav", "w64", "rf64", "aiff", "caf", "flac", "au"};

std::string Folded(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '&') out += char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

Encoding StoredEncodingFor(const ToolOptions& o, Encoding input) {
    const Encoding base = input;
    const bool baseFloat = base == Encoding::Float32 || base == Encoding::Float64;
    if (o.kind == SampleKind::Float) return Encoding::Float32;
    if (o.kind == SampleKind::Unsigned) return Encoding::Pcm8;
    int bits = o.bits;
    if (bits == 0 && o.kind == SampleKind::AsInput) return base;
    if (bits == 0) bits = baseFloat ? 32 : int(8 * BytesPerSample(base));
    const Encoding byBits[] = {Encoding::Pcm8, Encoding::Pcm16, Encoding::Pcm24, Encoding::Pcm32};
    return byBits[bits / 8 - 1];
}

std::string FileExtension(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    for (char& c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext == "aif" ? "aiff" : ext;
}

int FindPreset(const std::string& text, const std::vector<std::string>& names) {
    if (!text.empty() && text.size() <= 2 &&
        text.find_first_not_of("0123456789") == std::string::npos) {
        const int index = std::atoi(text.c_str());
        return index < int(names.size()) ? index : -1;
    }
    for (size_t i = 0; i < names.size(); ++i)
        if (Folded(names[i]) == Folded(text)) return int(i);
    return -1;
}

std::string PresetListing(const std::vector<std::string>& names) {
    std::string out;
    for (size_t i = 0; i < names.size(); ++i) {
        char line[160];
        std::snprintf(line, sizeof line, "%2u  %s%s\n", unsigned(i), names[i].c_str(),
                      i == 0 ? "  (the values a new filter starts with)" : "");
        out += line;
    }
    return out;
}

namespace {

constexpr unsigned kHost = 1, kNative = 2, kBoth = 3;

unsigned Mask(Tool tool) {
    return tool == Tool::Host ? kHost : kNative;
}

// The options one tool alone takes, and why the other does without.
struct ToolOnly {
    const char* option;
    unsigned tools;
    const char* why;
};

constexpr ToolOnly kToolOnly[] = {
    {"--page", kHost, "the property page needs Windows: use rfhost"},
    {"--page-close", kHost, "the property page needs Windows: use rfhost"},
    {"--dmo", kHost, "the DMO needs Windows: use rfhost"},
    {"--mft", kHost, "Media Foundation needs Windows: use rfhost"},
    {"--gain", kNative, "rfhost streams the input file as it is: use resfilter"},
    {"--tail", kNative, "rfhost streams the input file as it is: use resfilter"},
    {"--bits", kNative, "rfhost writes the stream's samples: use resfilter"},
    {"--encoding", kNative, "rfhost writes the stream's samples: use resfilter"},
    {"--file-type", kNative, "rfhost writes WAV only: use resfilter"},
};

// rfhost's graph reads a named file and its sink writes WAV; resfilter's types are its own.
bool CheckHostFiles(ToolOptions* o, std::string* error) {
    if (o->input == "-" || o->output == "-") {
        *error = "rfhost reads and writes named files, not pipes (resfilter takes -)";
        return false;
    }
    const std::string ext = FileExtension(o->output);
    if (!ext.empty() && ext != "wav") {
        *error = o->output + ": rfhost writes WAV only (name it .wav, or use resfilter)";
        return false;
    }
    return true;
}

// Options that set a flag, and options that keep their value as given.
struct FlagOption {
    const char* name;
    const char* alias;
    bool ToolOptions::*flag;
};
constexpr FlagOption kFlags[] = {
    {"--page", "", &ToolOptions::page},
    {"--direct", "", &ToolOptions::direct},
    {"--dmo", "", &ToolOptions::dmo},
    {"--mft", "", &ToolOptions::mft},  // a Media Session instead of a graph
    {"--quiet", "-q", &ToolOptions::quiet},
    {"--list-presets", "", &ToolOptions::listPresets},
    {"--info", "", &ToolOptions::info},
    {"--help", "-h", &ToolOptions::help},
    {"--version", "", &ToolOptions::version},
};
struct TextOption {
    const char* name;
    std::string ToolOptions::*text;
};
constexpr TextOption kTexts[] = {
    {"--preset", &ToolOptions::preset},
    {"--plot", &ToolOptions::plot},
    {"--save-settings", &ToolOptions::saveSettings},
    {"--load-settings", &ToolOptions::loadSettings},
};

bool ParseArguments(int argc, char** argv, Tool tool, ToolOptions* o, std::string* error) {
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc) {
                *error = arg + " needs a value";
                return false;
            }
            *out = argv[++i];
            return true;
        };
        // A number in [low, high], or the reason it is not.
        auto number = [&](double low, double high, const char* what, double* out) {
            std::string text;
            if (!value(&text)) return false;
            if (!ParseNumber(text, out) || *out < low || *out > high) {
                *error = arg + " must be " + what;
                return false;
            }
            return true;
        };
        // One of `words`, as its position.
        auto choice = [&](const std::vector<std::string>& words, size_t* index) {
            std::string text;
            if (!value(&text)) return false;
            for (*index = 0; *index < words.size(); ++*index)
                if (text == words[*index]) return true;
            *error = arg + " must be " + ListText(words);
            return false;
        };
        auto param = [&](DWORD index, const std::string& what) {
            std::string text;
            if (!value(&text) || !ParseValue(index, text, what, &o->value[index], error))
                return false;
            o->hasValue[index] = true;
            return true;
        };
        std::string text;
        double v = 0;
        size_t k = 0;
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        for (const ToolOnly& only : kToolOnly)
            if (arg == only.option && !(only.tools & Mask(tool))) {
                *error = arg + ": " + only.why;
                return false;
            }
        bool known = false;
        for (const FlagOption& f : kFlags)
            if (arg == f.name || arg == f.alias) {
                o->*f.flag = true;
                known = true;
            }
        for (const TextOption& t : kTexts)
            if (arg == t.name) {
                if (!value(&(o->*t.text))) return false;
                known = true;
            }
        if (known) continue;
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--frequency") {
            if (!param(kParamFrequency, "--frequency (Hz)")) return false;
        } else if (arg == "--resonance") {
            if (!param(kParamResonance, "--resonance (%)")) return false;
        } else if (arg == "--wet") {
            if (!param(kParamWetDry, "--wet (%)")) return false;
        } else if (arg == "--type") {
            // Words only: the numbers are the parameter's values and would read as other types.
            if (!choice({"low", "band", "high"}, &k)) return false;
            o->hasValue[kParamFilterType] = true;
            o->value[kParamFilterType] = MP_DATA(k);
        } else if (arg == "--order") {
            if (!choice({"2", "4"}, &k)) return false;
            o->hasValue[kParamFilterOrder] = true;
            o->value[kParamFilterOrder] = MP_DATA(k);
        } else if (arg == "--bypass") {
            o->hasValue[kParamBypass] = true;
            o->value[kParamBypass] = 1.0f;
        } else if (arg == "--envelope") {
            EnvelopeOption e;
            if (!value(&text) || !ParseEnvelope(text, &e, error)) return false;
            o->envelopes.push_back(e);
        } else if (arg == "--format") {
            if (!value(&text)) return false;
            if (!ParseStreamEncoding(text, &o->format)) {
                *error = "--format must be pcm8, pcm16, pcm24, pcm32, float32 or float64";
                return false;
            }
            o->hasFormat = true;
        } else if (arg == "--block") {
            if (!number(1, 1048576, "a whole number of frames from 1 to 1048576", &v)) return false;
            if (v != std::floor(v)) {
                *error = "--block must be a whole number of frames";
                return false;
            }
            o->block = uint32_t(v);
        } else if (arg == "--gain") {
            if (!number(-200, 200, "decibels from -200 to 200", &o->gainDb)) return false;
        } else if (arg == "--tail") {
            if (!number(0, 3600, "seconds from 0 to 3600", &o->tail)) return false;
        } else if (arg == "--bits") {
            if (!choice({"8", "16", "24", "32"}, &k)) return false;
            o->bits = 8 * int(k + 1);
        } else if (arg == "--encoding") {
            if (!choice({"signed", "unsigned", "float"}, &k)) return false;
            o->kind = SampleKind(k + 1);
        } else if (arg == "--file-type") {
            if (!choice({std::begin(kFileTypes), std::end(kFileTypes)}, &k)) return false;
            o->fileType = kFileTypes[k];
        } else if (arg == "--page-close") {
            if (!number(1e-9, 86400, "a number of seconds above 0", &o->pageClose)) return false;
        } else {
            *error = "unknown option " + arg;
            return false;
        }
    }
    if (positional.size() == 2) {
        o->input = positional[0];
        o->output = positional[1];
        if (tool == Tool::Host && !CheckHostFiles(o, error)) return false;
    } else if (!positional.empty() || !o->HasStandaloneAction()) {
        *error = "expected INPUT OUTPUT (see --help)";
        return false;
    }
    if (o->kind == SampleKind::Unsigned && o->bits != 0 && o->bits != 8) {
        *error = "--encoding unsigned is for 8-bit samples only";
        return false;
    }
    if (o->kind == SampleKind::Float && o->bits != 0 && o->bits != 32) {
        *error = "--encoding float is for 32-bit samples only";
        return false;
    }
    if (o->page && o->direct) {
        *error = "--page shows the page while the graph streams: leave out --direct";
        return false;
    }
    if (o->dmo && o->direct) {
        *error = "--dmo streams through the DMO Wrapper filter in a graph: leave out --direct";
        return false;
    }
    if (o->dmo && o->page) {
        *error = "--dmo runs the graph without the page: leave out --page";
        return false;
    }
    // The session streams what the WAV source delivers, cut as it cuts it, through the transform
    // alone.
    if (o->mft && (o->dmo || o->direct || o->page || o->block || o->hasFormat)) {
        *error =
            std::string("--mft streams the file as the Media Session delivers it: leave out ") +
            (o->dmo      ? "--dmo"
             : o->direct ? "--direct"
             : o->page   ? "--page"
             : o->block  ? "--block"
                         : "--format");
        return false;
    }
    if (o->direct && o->hasFormat && o->format != Encoding::Float32) {
        *error = "--direct streams 32-bit float: --format must be float32 or left out";
        return false;
    }
    return true;
}

}  // namespace

const char* ToolName(Tool tool) {
    return tool == Tool::Host ? "rfhost" : "resfilter";
}

bool ParseToolOptions(int argc, char** argv, Tool tool, ToolOptions* o, std::string* error) {
    if (ParseArguments(argc, argv, tool, o, error)) return true;
    // The message quotes arguments; a control character in one must not break its line.
    for (char& c : *error)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return false;
}

int ParseCommandLine(int argc, char** argv, Tool tool, const char* version, ToolOptions* options) {
    std::string error;
    if (!ParseToolOptions(argc, argv, tool, options, &error)) {
        std::fprintf(stderr, "%s: %s\n", ToolName(tool), error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(ToolUsage(tool).c_str(), stdout);
        return 0;
    }
    if (options->version) {
        std::printf("%s %s\n", ToolName(tool), version);
        return 0;
    }
    return -1;
}

std::string ToolUsage(Tool tool) {
    // Each part with the tools it is for, so each tool's help lists only what it takes.
    static const struct {
        unsigned tools;
        const char* text;
    } kParts[] = {
        {kBoth, R"( [options] INPUT OUTPUT
)"},
        {kNative, R"(INPUT: any file libsndfile reads, or - for stdin.
OUTPUT: its type follows its extension: .wav (or none; RF64 past 4 GiB), .w64, .rf64, .flac,
  .aiff, .caf or .au; - writes stdout: WAV with its sizes left open, or --file-type flac or au.
  Its samples, channel mask and valid bits are the input's. An input shorter than its header claims fails (exit 1) and keeps the
  output written so far.
)"},
        {kHost,
         R"(INPUT and OUTPUT: WAV files. OUTPUT keeps the input's samples, channel mask and valid
  bits.
)"},
        {kBoth,
         R"(Formats: PCM of 8, 16, 24 (packed) or 32 bits, valid bits kept; float of 32 or 64 bits;
  1 to 32 channels; plain or extensible WAV with any channel mask. S/PDIF bitstreams
  (tag 0x0092, IEC 61937) are refused.
)"},
        {kBoth, R"(  --preset NAME|INDEX         applied first
  --frequency HZ  --resonance PCT  --type low|band|high  --order 2|4  --wet PCT  --bypass
  --envelope PARAM:START:END:FROM:TO[:CURVE]
                              repeatable; seconds of stream time;
                              PARAM frequency|resonance|type|order|bypass|wet;
                              FROM, TO: numbers, or low|band|high, 2|4, on|off as the options;
                              CURVE jump|linear|square|invsquare|sine (default linear);
                              sine holds FROM, as jump does; an envelope removes the earlier
                              ones it overlaps, with a warning
  --format pcm8|pcm16|pcm24|pcm32|float32|float64
                              stream format (default: the input's, valid bits and all);
                              the output file keeps the input's samples
  --block FRAMES              media samples of that many frames (the last one shorter)
  --direct                    through the direct float-buffer interface, 32-bit float
)"},
        {kHost,
         R"(  --dmo                       through the DMO in the platform's DMO Wrapper filter
  --mft                       through the DMO's class as a Media Foundation transform, in a
                              Media Session from the WAV source to a sample grabber; the
                              formats that source delivers as they are; not with --dmo,
                              --direct, --page, --block or --format
)"},
        {kNative, R"(  --gain DB                   scales the input before the filter (default 0)
  --tail SECONDS              silence after the input, so a resonance rings out (default 0)
  --bits 8|16|24|32  --encoding signed|unsigned|float
                              the output's samples instead of the input's (unsigned: 8-bit;
                              float: 32-bit); stderr counts the samples clipped
  --file-type wav|w64|rf64|flac|aiff|caf|au
                              the output's type instead of its extension's
)"},
        {kBoth, R"(  --plot FILE.png             the magnitude response of the final settings
  --save-settings FILE  --load-settings FILE
                              the 44-byte settings record (loaded before the preset; saved
                              at the end: after a file, with the values its envelopes left)
)"},
        {kHost, R"(  --page [--page-close SECONDS]
                              the property page, live while INPUT plays in real time
)"},
        {kBoth, R"(  --list-presets  --info  -q|--quiet  -h|--help  --version
  --                          ends the options
The summary, warnings and progress go to stderr; --quiet leaves only warnings and errors.
Exit status: 0 done, 2 bad input (nothing written), 1 processing failed.
)"},
    };
    std::string text = std::string("usage: ") + ToolName(tool);
    for (const auto& part : kParts)
        if (part.tools & Mask(tool)) text += part.text;
    return text;
}
