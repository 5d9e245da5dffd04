// Per-parameter state: the current value, the envelope that may drive it, and what the last
// evaluation of that envelope left for the DSP ramps.
#pragma once

#include "platform/Platform.h"

struct EnvelopeEntry {
    MP_ENVELOPE_SEGMENT segment;  // as the host passed it
    DWORD applied;                // set by the first evaluation
    DWORD endHeld;                // its end value has been held since it was last in force
};

struct SegmentArray {
    EnvelopeEntry* entries;
    LONG count;
    LONG capacity;
};

struct ParamSlot {
    SegmentArray segments;
    MP_DATA value;
    double slope;      // change over the next second, of the segment in force
    double curvature;  // change of that change
    BOOL capturing;
    BOOL captureEnded;
    BOOL envelopeActive;
    LONG cursor;  // where the next segment search starts
};
