// One run of a stream through the filter in a real graph: from the file itself when it can be
// streamed as it is, else from a converted copy, or, with --block, from the scheduled push
// source; into the WAV writer. Waits for completion with a progress line and a watchdog.
#pragma once

#include <atomic>
#include <string>

#include "platform/Platform.h"

#include <dshow.h>

#include "tools/common/ToolOptions.h"
#include "tools/common/WavFile.h"

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

// file: the input to stream as it is (`audio` then gives only its format), or empty to stream
// `audio`'s samples (already in the stream encoding). `frames`: how many the sink must see.
GraphResult RunGraph(const ToolOptions& options, IBaseFilter* filter, const std::string& file,
                     const AudioData& audio, uint64_t frames, WavWriter& writer, const char* tool,
                     GraphPacing pacing = GraphPacing());
