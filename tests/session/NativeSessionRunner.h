// Replays a session on the portable core (a FilterDsp with its StreamDriver), driving it the way
// the filter's media-sample side and its direct interface do, and checks after every step: the
// call's answer, frames out against frames in, finite output, the clock against the frames run,
// Bypass, every parameter's value against the store model, and, while no envelope is stored, the
// output bits against the signal model.
#pragma once

#include <cstdint>
#include <string>

#include "SessionScript.h"

// Empty when every step passed, else "step N (what it did): what differed". With `trace`, every
// step and the values after it are printed. `compared` (when given) adds the buffers whose
// output was compared with the signal model, the frames in them, and all buffers filtered.
struct SignalCoverage {
    uint64_t buffers = 0, frames = 0, filtered = 0;
    uint64_t ramped = 0;   // compared buffers in which a ramp moved a value
    uint64_t adopted = 0;  // times the model took up the core's state again
};
std::string RunNativeSession(const Session& session, bool trace,
                             SignalCoverage* compared = nullptr);
