// Per-parameter state: the current value, the envelope that may drive it, and what the last
// evaluation of that envelope left for the DSP ramps.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

struct EnvelopeEntry {
    MP_ENVELOPE_SEGMENT segment;  // as the host passed it
    DWORD applied;                // set by the first evaluation
    DWORD endHeld;                // the slot holds its end value in the gap after it
};

struct SegmentArray {
    EnvelopeEntry* entries;
    LONG count;
    LONG capacity;
    // Neither rtStart nor rtEnd decreases from one entry to the next, as lanes sent in time order
    // leave them: searches and removals can then bisect and sweep instead of scanning.
    BOOL ordered;
    LONG held;  // the one entry whose endHeld is set, or -1
    // Entries visited by edits and searches: the cost tests bound it, where time would depend
    // on the machine.
    uint64_t work;
};

struct ParamSlot {
    SegmentArray segments;
    MP_DATA value;
    double slope;      // change over the next second, of the segment in force
    double curvature;  // change of that change
    BOOL capturing;
    BOOL captureEnded;
    BOOL envelopeActive;
    // Ordered entries: the first whose rtEnd lies after the last evaluated time (the segment in
    // force, or the one after the gap), so a clock that follows finds its place in a step or two.
    LONG cursor;
};
