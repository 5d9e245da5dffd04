// The command line both tools share. Parsing checks every value against the parameter table,
// so a run never starts with a setting the filter would have to correct.
#pragma once

#include <string>
#include <vector>

#include "params/ParamTable.h"
#include "tools/common/AudioFormat.h"

struct EnvelopeOption {
    DWORD param = 0;
    MP_ENVELOPE_SEGMENT segment{};
};

struct ToolOptions {
    std::string preset;  // a name or an index; empty for none
    bool hasValue[kParamCount] = {};
    MP_DATA value[kParamCount] = {};
    std::vector<EnvelopeOption> envelopes;
    bool hasFormat = false;
    Encoding format = Encoding::Pcm16;
    uint32_t block = 0;  // frames per media sample; 0 = as the WAVE Parser cuts
    std::string plot;
    std::string saveSettings, loadSettings;
    bool direct = false, quiet = false, listPresets = false, info = false, help = false;
    bool page = false;     // show the property page (rfhost)
    bool dmo = false;      // the DMO in the DMO Wrapper filter instead of the filter (rfhost)
    double pageClose = 0;  // close it after this many seconds; 0 = when the user does
    std::string input, output;

    // Something to do besides processing a file.
    bool HasStandaloneAction() const {
        return listPresets || info || help || page || !saveSettings.empty() || !plot.empty();
    }
};

// Parses argv[1..]. On bad input returns false with one line saying what is wrong.
bool ParseToolOptions(int argc, char** argv, ToolOptions* options, std::string* error);

// The usage text, for a tool named `tool`.
std::string ToolUsage(const char* tool);

// What main does first: parse, print the usage for --help or the reason for bad input.
// Returns the exit status when there is nothing more to do (0 or 2), else -1.
int ParseCommandLine(int argc, char** argv, const char* tool, ToolOptions* options);

// A preset by index ("0".."17") or by name (letters compared without regard to case, "&"
// ignored); -1 when none matches.
int FindPreset(const std::string& text, const std::vector<std::string>& names);

// Seconds of stream time to 100-ns units, rounded to nearest; false when out of range.
bool SecondsToUnits(double seconds, REFERENCE_TIME* units);
