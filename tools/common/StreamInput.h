// From a decoded input file to the stream the tools run through the filter.
#pragma once

#include <string>

#include "tools/common/ToolOptions.h"
#include "tools/common/WavFile.h"

// The encoding the options ask for: 32-bit float with --direct, else --format, else the
// input's own.
Encoding StreamEncodingFor(const ToolOptions& options, Encoding input);

// 1 to 32 channels, in StreamEncodingFor's encoding; the valid bits go with the input's own
// container only. False with a reason for bad input.
bool ToStreamAudio(const ToolOptions& options, const AudioData& input, AudioData* stream,
                   std::string* error);

// The response plot of `values` from a measured impulse response, and the line saying so.
bool PlotResponse(const ToolOptions& options, const MP_DATA values[kParamCount],
                  const std::vector<float>& impulse, DWORD rate, const char* tool,
                  std::string* error);
