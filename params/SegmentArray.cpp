#include "SegmentArray.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/Memory.h"

HRESULT CreateSegmentArray(SegmentArray* array) {
    array->count = 0;
    array->capacity = 0;
    array->ordered = TRUE;
    array->held = -1;
    array->work = 0;
    array->entries = static_cast<EnvelopeEntry*>(
        platform::AllocZeroed(sizeof(EnvelopeEntry) * kSegmentCapacityStep));
    if (!array->entries) return E_OUTOFMEMORY;
    array->capacity = kSegmentCapacityStep;
    return S_OK;
}

void DestroySegmentArray(SegmentArray* array) {
    platform::Free(array->entries);
    array->entries = nullptr;
    array->count = 0;
    array->capacity = 0;
    array->ordered = TRUE;
    array->held = -1;
}

namespace {

bool Resize(SegmentArray* array, int64_t capacity) {
    if (capacity > INT32_MAX) return false;
    void* resized = platform::Reallocate(array->entries, sizeof(EnvelopeEntry) * size_t(capacity));
    if (!resized) return false;
    array->entries = static_cast<EnvelopeEntry*>(resized);
    array->capacity = LONG(capacity);
    return true;
}

// The capacity that removing `removed` entries one at a time would leave: after each removal,
// spare room beyond one step is given back in whole steps.
int64_t CapacityAfterRemovals(LONG capacity, LONG count, LONG removed) {
    int64_t spare = int64_t(capacity) - count;
    for (LONG k = 0; k < removed; ++k) {
        if (++spare > kSegmentCapacityStep) spare %= kSegmentCapacityStep;
    }
    return int64_t(count) - removed + spare;
}

// The capacity that inserting one at a time up to `needed` entries would reach.
int64_t CapacityToFit(int64_t capacity, int64_t needed) {
    if (needed <= capacity) return capacity;
    const int64_t steps = (needed - capacity + kSegmentCapacityStep - 1) / kSegmentCapacityStep;
    return capacity + steps * kSegmentCapacityStep;
}

void Move(SegmentArray* array, LONG to, LONG from, LONG n) {
    if (n > 0 && to != from) {
        array->work += uint64_t(n);
        std::memmove(array->entries + to, array->entries + from, sizeof(EnvelopeEntry) * size_t(n));
    }
}

// Drops the entries of [0, limit) that `isRemoved` picks (asked once each, in order), moving each
// run of kept entries down once; entries from `limit` on are kept. Returns how many went.
template <typename IsRemoved>
LONG Compact(SegmentArray* array, LONG limit, IsRemoved isRemoved) {
    LONG write = 0;
    LONG runStart = 0;
    for (LONG i = 0; i < limit; ++i) {
        if (!isRemoved(array->entries[i].segment)) continue;
        Move(array, write, runStart, i - runStart);
        write += i - runStart;
        runStart = i + 1;
    }
    Move(array, write, runStart, array->count - runStart);
    array->work += uint64_t(limit);
    const LONG kept = write + array->count - runStart;
    const LONG removed = array->count - kept;
    array->count = kept;
    return removed;
}

// One range removed as a scan from the start does it: entries ending after `start` go, until the
// first of them that starts at or after `end`.
LONG RemoveRange(SegmentArray* array, REFERENCE_TIME start, REFERENCE_TIME end) {
    LONG limit = 0;
    while (limit < array->count) {
        const MP_ENVELOPE_SEGMENT& s = array->entries[limit].segment;
        if (s.rtEnd > start && s.rtStart >= end) break;
        ++limit;
    }
    array->work += uint64_t(limit);
    return Compact(array, limit, [start](const MP_ENVELOPE_SEGMENT& s) { return s.rtEnd > start; });
}

bool StartsAscending(const MP_ENVELOPE_SEGMENT* segments, DWORD count) {
    for (DWORD k = 1; k < count; ++k) {
        if (segments[k].rtStart < segments[k - 1].rtStart) return false;
    }
    return true;
}

// The first pass of an insertion: each new segment's range removed in turn from what was stored.
LONG RemoveOverlapsOf(SegmentArray* array, const MP_ENVELOPE_SEGMENT* segments, DWORD count) {
    if (array->ordered && StartsAscending(segments, count)) {
        // On ordered entries a range removes exactly the entries it overlaps, whatever the other
        // ranges removed, so one sweep removes each entry that any range overlaps: ranges
        // starting before the entry's end are taken in, and the furthest end among them decides.
        DWORD k = 0;
        REFERENCE_TIME reach = INT64_MIN;
        return Compact(array, array->count, [&](const MP_ENVELOPE_SEGMENT& s) {
            for (; k < count && segments[k].rtStart < s.rtEnd; ++k)
                reach = std::max(reach, segments[k].rtEnd);
            return reach > s.rtStart;
        });
    }
    LONG removed = 0;
    for (DWORD k = 0; k < count; ++k)
        removed += RemoveRange(array, segments[k].rtStart, segments[k].rtEnd);
    return removed;
}

// The second pass: a pointer into the stored entries only moves forward, past those starting
// before each new segment, which goes in there. The stored entries it has not passed wait at the
// end of the grown array and come back down between the new ones, a run at a time.
void Merge(SegmentArray* array, const MP_ENVELOPE_SEGMENT* segments, LONG count) {
    const LONG stored = array->count;
    const LONG end = stored + count;
    LONG write = 0;
    while (write < stored && array->entries[write].segment.rtStart < segments[0].rtStart)
        ++write;
    Move(array, write + count, write, stored - write);
    LONG read = write + count;
    array->work += uint64_t(write) + uint64_t(count);
    for (LONG k = 0; k < count; ++k) {
        LONG run = read;
        while (run < end && array->entries[run].segment.rtStart < segments[k].rtStart)
            ++run;
        array->work += uint64_t(run - read);
        Move(array, write, read, run - read);
        write += run - read;
        read = run;
        EnvelopeEntry entry{};
        entry.segment = segments[k];
        array->entries[write++] = entry;
    }
    array->count = end;
}

// Brings `ordered` and `held` up to date after entries moved.
void Reindex(SegmentArray* array) {
    array->ordered = TRUE;
    array->held = -1;
    array->work += uint64_t(array->count);
    for (LONG i = 0; i < array->count; ++i) {
        const EnvelopeEntry& e = array->entries[i];
        if (i > 0) {
            const MP_ENVELOPE_SEGMENT& before = array->entries[i - 1].segment;
            if (e.segment.rtStart < before.rtStart || e.segment.rtEnd < before.rtEnd) {
                array->ordered = FALSE;
            }
        }
        if (e.endHeld) array->held = i;
    }
}

}  // namespace

void RemoveOverlapping(SegmentArray* array, REFERENCE_TIME start, REFERENCE_TIME end) {
    const LONG before = array->count;
    const LONG removed = RemoveRange(array, start, end);
    const int64_t capacity = CapacityAfterRemovals(array->capacity, before, removed);
    // Shrinking is only an economy: on failure the larger block simply stays.
    if (capacity < array->capacity) Resize(array, capacity);
    Reindex(array);
}

HRESULT InsertSegments(SegmentArray* array, const MP_ENVELOPE_SEGMENT* segments, DWORD count) {
    const LONG before = array->count;
    const LONG removed = RemoveOverlapsOf(array, segments, count);
    const int64_t afterRemoval = CapacityAfterRemovals(array->capacity, before, removed);
    const int64_t target = CapacityToFit(afterRemoval, int64_t(array->count) + count);
    HRESULT hr = S_OK;
    int64_t inserted = count;
    if (target > array->capacity && !Resize(array, target)) {
        // One at a time, the segments that fitted before the array had to grow would be in.
        hr = E_OUTOFMEMORY;
        inserted = afterRemoval - array->count;
    }
    if (inserted > 0) Merge(array, segments, LONG(inserted));
    const int64_t capacity = SUCCEEDED(hr) ? target : afterRemoval;
    if (capacity < array->capacity) Resize(array, capacity);
    Reindex(array);
    return hr;
}
