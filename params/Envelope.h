// A parameter's envelope: storing segments in time order, finding the one in force at a stream
// time, and evaluating its curve into the slot's value, slope and curvature.
//
// All of these run under the store lock.
#pragma once

#include "ParamSlot.h"

// Removes every stored segment overlapping [start, end), whole; relies on the time order.
void RemoveOverlapping(SegmentArray* array, REFERENCE_TIME start, REFERENCE_TIME end);

// Replaces what the new segments overlap, then inserts them in time order. On E_OUTOFMEMORY the
// segments inserted so far stay, and so do the removals.
HRESULT InsertSegments(SegmentArray* array, const MP_ENVELOPE_SEGMENT* segments, DWORD count);

// Index of the segment in force at t (rtStart <= t < rtEnd), or -1. Starts at the slot's cursor
// and moves one entry at a time, turning back at most once, so following the clock is cheap.
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
