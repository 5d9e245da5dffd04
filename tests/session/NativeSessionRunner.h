// Replays a session on the portable core (a FilterDsp with its StreamDriver), driving it the way
// the filter's media-sample side and its direct interface do, and checks after every step: the
// call's answer, frames out against frames in, finite output, the clock against the frames run,
// Bypass, and every parameter's value against the model.
#pragma once

#include <string>

#include "SessionScript.h"

// Empty when every step passed, else "step N (what it did): what differed". With `trace`, every
// step and the values after it are printed.
std::string RunNativeSession(const Session& session, bool trace);
