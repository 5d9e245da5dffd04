#include "tools/common/OptionValues.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "params/SegmentArray.h"

namespace {

struct NamedParam {
    const char* name;
    DWORD index;
};

constexpr NamedParam kParamNames[] = {
    {"frequency", kParamFrequency}, {"resonance", kParamResonance}, {"type", kParamFilterType},
    {"order", kParamFilterOrder},   {"bypass", kParamBypass},       {"wet", kParamWetDry},
};

// The words the options use for the switch-like parameters, as their values.
struct ValueWord {
    DWORD param;
    const char* word;
    MP_DATA value;
};

constexpr ValueWord kValueWords[] = {
    {kParamFilterType, "low", 0}, {kParamFilterType, "band", 1}, {kParamFilterType, "high", 2},
    {kParamFilterOrder, "2", 0},  {kParamFilterOrder, "4", 1},   {kParamBypass, "off", 0},
    {kParamBypass, "on", 1},
};

struct NamedCurve {
    const char* name;
    MP_CURVE_TYPE curve;
};

constexpr NamedCurve kCurves[] = {
    {"jump", MP_CURVE_JUMP},           {"linear", MP_CURVE_LINEAR}, {"square", MP_CURVE_SQUARE},
    {"invsquare", MP_CURVE_INVSQUARE}, {"sine", MP_CURVE_SINE},
};

std::string RangeText(DWORD index) {
    char text[64];
    std::snprintf(text, sizeof text, "%g to %g", double(ParamMin(index)), double(ParamMax(index)));
    return text;
}

// "low, band or high" for a parameter that has words; empty for one that has none.
std::string WordsText(DWORD index) {
    std::vector<std::string> words;
    for (const ValueWord& w : kValueWords)
        if (w.param == index) words.push_back(w.word);
    return ListText(words);
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

}  // namespace

bool ParseNumber(const std::string& text, double* out) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

std::string ListText(const std::vector<std::string>& words) {
    std::string text;
    for (size_t i = 0; i < words.size(); ++i)
        text += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
    return text;
}

bool ParseValue(DWORD index, const std::string& text, const std::string& what, MP_DATA* out,
                std::string* error) {
    for (const ValueWord& w : kValueWords)
        if (w.param == index && text == w.word) {
            *out = w.value;
            return true;
        }
    double v;
    const std::string words = WordsText(index);
    if (!ParseNumber(text, &v)) {
        *error = what + ": '" + text + "' is not " +
                 (words.empty() ? "a number" : words + " (or a number " + RangeText(index) + ")");
        return false;
    }
    if (v < ParamMin(index) || v > ParamMax(index)) {
        *error = what + " must be " +
                 (words.empty() ? RangeText(index) : words + " (or " + RangeText(index) + ")");
        return false;
    }
    *out = MP_DATA(v);
    return true;
}

bool ParseEnvelope(const std::string& text, EnvelopeOption* e, std::string* error) {
    const std::vector<std::string> f = Split(text, ':');
    const std::string what = "--envelope " + text;
    *error = what + ": ";
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
    double start, end;
    if (!ParseNumber(f[1], &start) || !ParseNumber(f[2], &end) || start < 0 || end < start) {
        *error += "START and END must be seconds with 0 <= START <= END";
        return false;
    }
    e->param = param->index;
    e->text = text;
    if (!SecondsToUnits(start, &e->segment.rtStart) || !SecondsToUnits(end, &e->segment.rtEnd)) {
        *error += "time out of range";
        return false;
    }
    if (!ParseValue(param->index, f[3], what + ": FROM", &e->segment.valStart, error) ||
        !ParseValue(param->index, f[4], what + ": TO", &e->segment.valEnd, error))
        return false;
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

bool SecondsToUnits(double seconds, REFERENCE_TIME* units) {
    // A year of stream time is far beyond any project and far inside 64 bits.
    if (!(seconds >= 0) || seconds > 366.0 * 86400.0) return false;
    *units = REFERENCE_TIME(std::llround(seconds * 1e7));
    return true;
}

std::vector<std::string> OverlapWarnings(const std::vector<EnvelopeOption>& envelopes) {
    // The store's own segment array, fed as the filter is fed, with each segment's flags
    // standing for its option's position: what disappears was removed by the newcomer.
    std::vector<std::string> warnings;
    for (const NamedParam& p : kParamNames) {
        SegmentArray array;
        if (FAILED(CreateSegmentArray(&array))) return warnings;
        std::vector<size_t> stored;
        for (size_t k = 0; k < envelopes.size(); ++k) {
            if (envelopes[k].param != p.index) continue;
            MP_ENVELOPE_SEGMENT s = envelopes[k].segment;
            s.flags = DWORD(k + 1);
            if (FAILED(InsertSegments(&array, &s, 1))) break;
            std::vector<size_t> kept;
            for (size_t earlier : stored) {
                bool present = false;
                for (LONG i = 0; i < array.count; ++i)
                    present = present || array.entries[i].segment.flags == DWORD(earlier + 1);
                if (present)
                    kept.push_back(earlier);
                else
                    warnings.push_back("--envelope " + envelopes[k].text + " replaces --envelope " +
                                       envelopes[earlier].text + ", which it overlaps");
            }
            kept.push_back(k);
            stored.swap(kept);
        }
        DestroySegmentArray(&array);
    }
    return warnings;
}
