#include "tools/common/StreamInput.h"

#include <cstdio>

#include "tools/common/ResponsePlot.h"

Encoding StreamEncodingFor(const ToolOptions& o, Encoding input) {
    return o.direct ? Encoding::Float32 : o.hasFormat ? o.format : input;
}

bool ToStreamAudio(const ToolOptions& o, const AudioData& input, AudioData* stream,
                   std::string* error) {
    if (input.channels < 1 || input.channels > 32) {
        *error = o.input + ": unsupported format: " + std::to_string(input.channels) +
                 " channels (the filter takes 1 to 32)";
        return false;
    }
    const Encoding encoding = StreamEncodingFor(o, input.encoding);
    *stream = encoding == input.encoding ? input : ConvertAudio(input, encoding);
    return true;
}

bool PlotResponse(const ToolOptions& o, const MP_DATA values[kParamCount],
                  const std::vector<float>& impulse, DWORD rate, const char* tool,
                  std::string* error) {
    if (!WriteResponsePlot(o.plot, MagnitudeResponse(impulse, rate), DescribeSettings(values),
                           error)) {
        *error = o.plot + ": " + *error;
        return false;
    }
    if (!o.quiet) std::printf("%s: response plot in %s\n", tool, o.plot.c_str());
    return true;
}
