// The filter's property page in the platform's property frame, as an editor opens it, while
// the input plays in real time so the controls can be seen following the automation.
#pragma once

#include <string>

#include "tools/common/ToolOptions.h"
#include "tools/common/WavFile.h"
#include "tools/common/WavPieceReader.h"
#include "tools/host/HostFilter.h"

// Shows the page until the user closes the frame (or options.pageClose seconds pass). With an
// input (open, in the stream's encoding), it plays meanwhile and the output, of `stored`
// samples, is written only if it played to the end.
int ShowPageFrame(const ToolOptions& options, HostFilter& host, WavPieceReader& input,
                  Encoding stored, const char* tool);
