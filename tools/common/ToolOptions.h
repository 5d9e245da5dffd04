// The command line both tools share. Parsing checks every value against the parameter table,
// so a run never starts with a setting the filter would have to correct.
#pragma once

#include <string>
#include <vector>

#include "params/ParamTable.h"
#include "tools/common/AudioFormat.h"

// Which tool parses: each takes the options it can honour and refuses the other's.
enum class Tool { Host, Native };  // rfhost, resfilter

// The sample kind asked of the output file; AsInput keeps the input file's.
enum class SampleKind { AsInput, Signed, Unsigned, Float };

struct EnvelopeOption {
    DWORD param = 0;
    MP_ENVELOPE_SEGMENT segment{};
    std::string text;  // as given, to name it in a warning
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
    bool version = false;
    bool page = false;     // show the property page (rfhost)
    bool dmo = false;      // the DMO in the DMO Wrapper filter instead of the filter (rfhost)
    bool mft = false;      // the DMO's class as a transform in a Media Session (rfhost)
    double pageClose = 0;  // close it after this many seconds; 0 = when the user does
    double gainDb = 0;     // applied to the input before the filter (resfilter)
    double tail = 0;       // seconds of silence after the input (resfilter)
    int bits = 0;          // the output file's sample width; 0 = as the stream (resfilter)
    SampleKind kind = SampleKind::AsInput;
    std::string fileType;  // wav, w64, rf64, flac, aiff, caf or au; empty: by the extension
    std::string input, output;

    // Something to do besides processing a file.
    bool HasStandaloneAction() const {
        return listPresets || info || help || version || page || !saveSettings.empty() ||
               !plot.empty();
    }
};

// Parses argv[1..] for `tool`. On bad input returns false with one line saying what is wrong.
bool ParseToolOptions(int argc, char** argv, Tool tool, ToolOptions* options, std::string* error);

const char* ToolName(Tool tool);

// The usage text of `tool`, listing only the options it takes.
std::string ToolUsage(Tool tool);

// What main does first: parse, print the usage for --help, the version for --version or the
// reason for bad input. Returns the exit status when there is nothing more to do (0 or 2),
// else -1.
int ParseCommandLine(int argc, char** argv, Tool tool, const char* version, ToolOptions* options);

// A preset by index ("0".."17") or by name (letters compared without regard to case, "&"
// ignored); -1 when none matches.
int FindPreset(const std::string& text, const std::vector<std::string>& names);

// The --list-presets table; row 0 is marked as the values a new filter starts with, since its
// values match row 1's.
std::string PresetListing(const std::vector<std::string>& names);

// One line for each envelope that a later one removes: the filter drops stored segments that a
// new segment overlaps, so the later envelope wins.
std::vector<std::string> OverlapWarnings(const std::vector<EnvelopeOption>& envelopes);

// The samples the output file holds: the input file's, whatever the stream (--format, --direct)
// was; --bits and --encoding choose others (8-bit as Pcm8 whether signed or not: the container
// decides how it stores them).
Encoding StoredEncodingFor(const ToolOptions& options, Encoding input);

// The lower-case extension of a path's last component ("aif" as "aiff"); empty when it has none.
std::string FileExtension(const std::string& path);

// Seconds of stream time to 100-ns units, rounded to nearest; false when out of range.
bool SecondsToUnits(double seconds, REFERENCE_TIME* units);
