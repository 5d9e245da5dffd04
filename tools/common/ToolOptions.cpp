#include "tools/common/ToolOptions.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

struct NamedParam {
    const char* name;
    DWORD index;
};

constexpr NamedParam kParamNames[] = {
    {"frequency", kParamFrequency}, {"resonance", kParamResonance}, {"type", kParamFilterType},
    {"order", kParamFilterOrder},   {"bypass", kParamBypass},       {"wet", kParamWetDry},
};

struct NamedCurve {
    const char* name;
    MP_CURVE_TYPE curve;
};

constexpr NamedCurve kCurves[] = {
    {"jump", MP_CURVE_JUMP},           {"linear", MP_CURVE_LINEAR}, {"square", MP_CURVE_SQUARE},
    {"invsquare", MP_CURVE_INVSQUARE}, {"sine", MP_CURVE_SINE},
};

// A whole string as a finite number.
bool ParseNumber(const std::string& text, double* out) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

std::string RangeText(DWORD index) {
    char text[64];
    std::snprintf(text, sizeof text, "%g to %g", double(ParamMin(index)), double(ParamMax(index)));
    return text;
}

bool CheckValue(DWORD index, double v, const std::string& what, std::string* error) {
    if (v < ParamMin(index) || v > ParamMax(index)) {
        *error = what + " must be " + RangeText(index);
        return false;
    }
    return true;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == separator) {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

bool ParseEnvelope(const std::string& text, EnvelopeOption* e, std::string* error) {
    const std::vector<std::string> f = Split(text, ':');
    *error = "--envelope " + text + ": ";
    if (f.size() < 5 || f.size() > 6) {
        *error += "expected PARAM:START:END:FROM:TO[:CURVE]";
        return false;
    }
    const NamedParam* param = nullptr;
    for (const NamedParam& p : kParamNames)
        if (f[0] == p.name) param = &p;
    if (param == nullptr) {
        *error += "unknown parameter '" + f[0] + "'";
        return false;
    }
    double start, end, from, to;
    if (!ParseNumber(f[1], &start) || !ParseNumber(f[2], &end) || start < 0 || end < start) {
        *error += "START and END must be seconds with 0 <= START <= END";
        return false;
    }
    e->param = param->index;
    if (!SecondsToUnits(start, &e->segment.rtStart) || !SecondsToUnits(end, &e->segment.rtEnd)) {
        *error += "time out of range";
        return false;
    }
    if (!ParseNumber(f[3], &from) || !ParseNumber(f[4], &to)) {
        *error += "FROM and TO must be numbers";
        return false;
    }
    if (!CheckValue(param->index, from, "FROM", error) ||
        !CheckValue(param->index, to, "TO", error)) {
        error->insert(0, "--envelope " + text + ": ");
        return false;
    }
    e->segment.valStart = MP_DATA(from);
    e->segment.valEnd = MP_DATA(to);
    e->segment.iCurve = MP_CURVE_LINEAR;
    e->segment.flags = 0;
    if (f.size() == 6) {
        const NamedCurve* curve = nullptr;
        for (const NamedCurve& c : kCurves)
            if (f[5] == c.name) curve = &c;
        if (curve == nullptr) {
            *error += "unknown curve '" + f[5] + "' (jump, linear, square, invsquare, sine)";
            return false;
        }
        e->segment.iCurve = curve->curve;
    }
    error->clear();
    return true;
}

std::string Folded(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '&') out += char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

bool SecondsToUnits(double seconds, REFERENCE_TIME* units) {
    // A year of stream time is far beyond any project and far inside 64 bits.
    if (!(seconds >= 0) || seconds > 366.0 * 86400.0) return false;
    *units = REFERENCE_TIME(std::llround(seconds * 1e7));
    return true;
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

namespace {

bool ParseArguments(int argc, char** argv, ToolOptions* o, std::string* error) {
    std::vector<std::string> positional;
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
        auto number = [&](DWORD index, const char* what) {
            std::string text;
            double v;
            if (!value(&text)) return false;
            if (!ParseNumber(text, &v)) {
                *error = arg + ": '" + text + "' is not a number";
                return false;
            }
            if (!CheckValue(index, v, what, error)) return false;
            o->hasValue[index] = true;
            o->value[index] = MP_DATA(v);
            return true;
        };
        std::string text;
        if (arg == "--preset") {
            if (!value(&o->preset)) return false;
        } else if (arg == "--frequency") {
            if (!number(kParamFrequency, "--frequency (Hz)")) return false;
        } else if (arg == "--resonance") {
            if (!number(kParamResonance, "--resonance (%)")) return false;
        } else if (arg == "--wet") {
            if (!number(kParamWetDry, "--wet (%)")) return false;
        } else if (arg == "--type") {
            if (!value(&text)) return false;
            const char* types[] = {"low", "band", "high"};
            int found = -1;
            for (int t = 0; t < 3; ++t)
                if (text == types[t]) found = t;
            if (found < 0) {
                *error = "--type must be low, band or high";
                return false;
            }
            o->hasValue[kParamFilterType] = true;
            o->value[kParamFilterType] = MP_DATA(found);
        } else if (arg == "--order") {
            if (!value(&text)) return false;
            if (text != "2" && text != "4") {
                *error = "--order must be 2 or 4";
                return false;
            }
            o->hasValue[kParamFilterOrder] = true;
            o->value[kParamFilterOrder] = text == "2" ? 0.0f : 1.0f;
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
                *error = "--format must be pcm8, pcm16, pcm32, float32 or float64";
                return false;
            }
            o->hasFormat = true;
        } else if (arg == "--block") {
            double v;
            if (!value(&text)) return false;
            if (!ParseNumber(text, &v) || v < 1 || v > 1048576 || v != std::floor(v)) {
                *error = "--block must be a whole number of frames from 1 to 1048576";
                return false;
            }
            o->block = uint32_t(v);
        } else if (arg == "--plot") {
            if (!value(&o->plot)) return false;
        } else if (arg == "--save-settings") {
            if (!value(&o->saveSettings)) return false;
        } else if (arg == "--load-settings") {
            if (!value(&o->loadSettings)) return false;
        } else if (arg == "--page") {
            o->page = true;
        } else if (arg == "--page-close") {
            double v;
            if (!value(&text)) return false;
            if (!ParseNumber(text, &v) || v <= 0 || v > 86400) {
                *error = "--page-close must be a number of seconds above 0";
                return false;
            }
            o->pageClose = v;
        } else if (arg == "--direct") {
            o->direct = true;
        } else if (arg == "--dmo") {
            o->dmo = true;
        } else if (arg == "--quiet") {
            o->quiet = true;
        } else if (arg == "--list-presets") {
            o->listPresets = true;
        } else if (arg == "--info") {
            o->info = true;
        } else if (arg == "--help" || arg == "-h") {
            o->help = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            *error = "unknown option " + arg;
            return false;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() == 2) {
        o->input = positional[0];
        o->output = positional[1];
    } else if (!positional.empty() || !o->HasStandaloneAction()) {
        *error = "expected INPUT OUTPUT (see --help)";
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
    if (o->direct && o->hasFormat && o->format != Encoding::Float32) {
        *error = "--direct streams 32-bit float: --format must be float32 or left out";
        return false;
    }
    return true;
}

}  // namespace

bool ParseToolOptions(int argc, char** argv, ToolOptions* o, std::string* error) {
    if (ParseArguments(argc, argv, o, error)) return true;
    // The message quotes arguments; a control character in one must not break its line.
    for (char& c : *error)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return false;
}

int ParseCommandLine(int argc, char** argv, const char* tool, ToolOptions* options) {
    std::string error;
    if (!ParseToolOptions(argc, argv, options, &error)) {
        std::fprintf(stderr, "%s: %s\n", tool, error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(ToolUsage(tool).c_str(), stdout);
        return 0;
    }
    return -1;
}

std::string ToolUsage(const char* tool) {
    return std::string("usage: ") + tool +
           " [options] INPUT OUTPUT\n"
           "  --preset NAME|INDEX         applied first\n"
           "  --frequency HZ  --resonance PCT  --type low|band|high  --order 2|4  --wet PCT"
           "  --bypass\n"
           "  --envelope PARAM:START:END:FROM:TO[:CURVE]\n"
           "                              repeatable; seconds of stream time; PARAM frequency|"
           "resonance|type|order|bypass|wet;\n"
           "                              CURVE jump|linear|square|invsquare|sine (default "
           "linear)\n"
           "  --format pcm8|pcm16|pcm32|float32|float64\n"
           "                              stream format (default: the input's; 24-bit PCM "
           "streams as pcm32)\n"
           "  --block FRAMES              media samples of that many frames (the last one "
           "shorter)\n"
           "  --direct                    through the direct float-buffer interface, 32-bit "
           "float\n"
           "  --dmo                       rfhost: through the DMO in the platform's DMO Wrapper "
           "filter\n"
           "  --plot FILE.png             the magnitude response of the final settings\n"
           "  --save-settings FILE  --load-settings FILE\n"
           "                              the 44-byte settings record (loaded before the "
           "preset; saved at the end)\n"
           "  --page [--page-close SECONDS]\n"
           "                              rfhost: the property page, live while INPUT plays in "
           "real time\n"
           "  --list-presets  --info  --quiet  --help\n"
           "Exit status: 0 done, 2 bad input (nothing written), 1 processing failed.\n";
}
