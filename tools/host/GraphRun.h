// One run of a stream through the filter in a real graph: from the file itself when it can be
// streamed as it is, else from a converted copy, or, with --block, from the scheduled push
// source; into the WAV writer. Waits for completion with a progress line and a watchdog. The
// input is taken a piece at a time throughout, so memory does not grow with its length.
#pragma once

#include <atomic>
#include <string>

#include "platform/Platform.h"

#include <dshow.h>

#include "tools/common/ToolOptions.h"
#include "tools/common/WavFile.h"
#include "tools/common/WavPieceReader.h"

struct GraphResult {
    bool ok = false;
    std::string error;
    double seconds = 0;  // from Run to completion
};

// How a run is paced and ended early.
struct GraphPacing {
    bool realTime = false;                      // against the default clock, as playback
    const std::atomic<bool>* cancel = nullptr;  // set by another thread to stop the run
};

// input: options.input, open, in the stream's encoding; the sink must see all its frames. Used
// on the calling thread only.
GraphResult RunGraph(const ToolOptions& options, IBaseFilter* filter, WavPieceReader& input,
                     WavWriter& writer, const char* tool, GraphPacing pacing = GraphPacing());
