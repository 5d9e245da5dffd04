#include "SegmentArray.h"

#include <cstdint>
#include <cstring>

#include "platform/Memory.h"

HRESULT CreateSegmentArray(SegmentArray* array) {
    array->count = 0;
    array->capacity = 0;
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
}

namespace {
bool Resize(SegmentArray* array, LONG capacity) {
    void* grown = platform::Reallocate(array->entries, sizeof(EnvelopeEntry) * size_t(capacity));
    if (!grown) return false;
    array->entries = static_cast<EnvelopeEntry*>(grown);
    array->capacity = capacity;
    return true;
}
}  // namespace

HRESULT InsertSegment(SegmentArray* array, LONG position, const EnvelopeEntry& entry) {
    if (array->count == array->capacity) {
        // The smallest multiple of the step that makes one more entry fit.
        if (array->capacity > INT32_MAX - kSegmentCapacityStep) return E_OUTOFMEMORY;
        if (!Resize(array, array->capacity + kSegmentCapacityStep)) return E_OUTOFMEMORY;
    }
    EnvelopeEntry* at = array->entries + position;
    std::memmove(at + 1, at, sizeof(EnvelopeEntry) * size_t(array->count - position));
    *at = entry;
    ++array->count;
    return S_OK;
}

void RemoveSegment(SegmentArray* array, LONG position) {
    EnvelopeEntry* at = array->entries + position;
    std::memmove(at, at + 1, sizeof(EnvelopeEntry) * size_t(array->count - position - 1));
    --array->count;
    const LONG spare = array->capacity - array->count;
    if (spare > kSegmentCapacityStep) {
        // Shrinking is only an economy: on failure the larger block simply stays.
        Resize(array, array->capacity - (spare / kSegmentCapacityStep) * kSegmentCapacityStep);
    }
}
