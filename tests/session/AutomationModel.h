// The value of every parameter at every frame of one buffer, for the signal model: where the
// store's clock cuts the buffer into stretches (at every segment start and end), which segment or
// gap each stretch lies in, and each frame's value evaluated plainly from the curve at the
// frame's own time.
#pragma once

#include <vector>

#include "StoreModel.h"

struct BufferAutomation {
    std::vector<double> values;  // frames x kSessionParamCount, frame by frame
    // The filter takes these changes only when something else asks for it, which the model
    // does not follow: Filter Type or Filter Order moved by an envelope, a flat segment met
    // again in its middle with another value in force, or Bypass crossing half way in a stretch.
    bool untracked = false;
    // The first frame a moving segment drives Frequency, Resonance or Wet/Dry at, or `frames`.
    DWORD firstMoving = 0;
};

// `lanes` as StoreModel::Automation gave them for the clock at `from`; `current` the values the
// store held before the buffer.
void AutomateBuffer(const LaneAutomation lanes[kSessionParamCount], REFERENCE_TIME from,
                    DWORD frames, DWORD rate, const double current[kSessionParamCount],
                    BufferAutomation* out);
