// A parameter's envelope: finding the segment in force at a stream time, and evaluating its curve
// into the slot's value, slope and curvature. The segments are stored by SegmentArray.
//
// All of these run under the store lock.
#pragma once

#include "ParamSlot.h"
#include "SegmentArray.h"

// Index of the segment in force at t, or -1: the first entry with rtStart <= t < rtEnd, whatever
// the path the clock took. On ordered entries a clock that follows costs a step or two from the
// slot's cursor and a jump a bisection; other entries are scanned.
LONG FindSegment(ParamSlot* slot, REFERENCE_TIME t);

struct Evaluation {
    bool changed;           // the coefficients must see this parameter anew
    bool inForce;           // a segment covers t
    REFERENCE_TIME toEnd;   // in force: rtEnd - t
    bool hasNext;           // a stored segment starts after t
    REFERENCE_TIME toNext;  // then: its rtStart - t
};

// Brings the slot up to date for time t.
Evaluation EvaluateParam(ParamSlot* slot, REFERENCE_TIME t);

// b - a without overflow, saturated to the 64-bit range.
REFERENCE_TIME TimeDifference(REFERENCE_TIME b, REFERENCE_TIME a);
