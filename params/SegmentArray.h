// The contiguous, growable array of a parameter's envelope segments, and its edits. Capacity moves
// in steps of 16 entries so a steady stream of automation does not reallocate on every call.
//
// Edits keep the results of removing and inserting one segment at a time, but move each run of
// entries once, so re-sending or flushing a long lane holds the store lock for linear time.
#pragma once

#include "ParamSlot.h"

constexpr LONG kSegmentCapacityStep = 16;

HRESULT CreateSegmentArray(SegmentArray* array);
void DestroySegmentArray(SegmentArray* array);

// Removes every stored segment overlapping [start, end), whole. The scan stops at the first entry
// starting at or after `end`, so an overlap stored out of time order beyond it stays.
void RemoveOverlapping(SegmentArray* array, REFERENCE_TIME start, REFERENCE_TIME end);

// Replaces what the new segments overlap (only segments stored before the call), then inserts
// them, each after the stored ones that start before it. On E_OUTOFMEMORY the removals stay and
// so do the new segments that fitted before the array had to grow.
HRESULT InsertSegments(SegmentArray* array, const MP_ENVELOPE_SEGMENT* segments, DWORD count);
