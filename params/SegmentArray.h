// The contiguous, growable array of a parameter's envelope segments. Capacity moves in steps of
// 16 entries so a steady stream of automation does not reallocate on every call.
#pragma once

#include "ParamSlot.h"

constexpr LONG kSegmentCapacityStep = 16;

HRESULT CreateSegmentArray(SegmentArray* array);
void DestroySegmentArray(SegmentArray* array);

// Inserts at `position` (0..count), moving later entries up. E_OUTOFMEMORY leaves it unchanged.
HRESULT InsertSegment(SegmentArray* array, LONG position, const EnvelopeEntry& entry);
// Removes the entry at `position`, moving later entries down, and gives back spare capacity.
void RemoveSegment(SegmentArray* array, LONG position);
