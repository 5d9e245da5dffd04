#include "Envelope.h"

#include <cfloat>
#include <cstdint>
#include <cstring>

#include "SegmentArray.h"

REFERENCE_TIME TimeDifference(REFERENCE_TIME b, REFERENCE_TIME a) {
    REFERENCE_TIME d;
    if (__builtin_sub_overflow(b, a, &d)) return a > 0 ? INT64_MIN : INT64_MAX;
    return d;
}

void RemoveOverlapping(SegmentArray* array, REFERENCE_TIME start, REFERENCE_TIME end) {
    LONG i = 0;
    while (i < array->count) {
        const MP_ENVELOPE_SEGMENT& s = array->entries[i].segment;
        if (s.rtEnd <= start) {
            ++i;
        } else if (s.rtStart >= end) {
            break;
        } else {
            RemoveSegment(array, i);
        }
    }
}

HRESULT InsertSegments(SegmentArray* array, const MP_ENVELOPE_SEGMENT* segments, DWORD count) {
    // First pass: only segments stored before this call are replaced, so new segments that
    // overlap each other are all kept.
    for (DWORD k = 0; k < count; ++k) {
        RemoveOverlapping(array, segments[k].rtStart, segments[k].rtEnd);
    }
    LONG i = 0;
    for (DWORD k = 0; k < count; ++k) {
        while (i < array->count && array->entries[i].segment.rtStart < segments[k].rtStart)
            ++i;
        EnvelopeEntry entry{};
        entry.segment = segments[k];
        if (FAILED(InsertSegment(array, i, entry))) return E_OUTOFMEMORY;
        ++i;
    }
    return S_OK;
}

LONG FindSegment(ParamSlot* slot, REFERENCE_TIME t) {
    const SegmentArray& a = slot->segments;
    if (slot->cursor >= a.count || slot->cursor < 0) slot->cursor = 0;
    LONG i = slot->cursor;
    bool forward = true;
    while (i >= 0 && i < a.count) {
        const MP_ENVELOPE_SEGMENT& s = a.entries[i].segment;
        if (s.rtStart <= t && t < s.rtEnd) {
            slot->cursor = i;
            return i;
        }
        if (t < s.rtStart) {
            forward = false;
            --i;
        } else if (t == s.rtEnd) {
            i += forward ? 1 : -1;
        } else if (forward) {
            ++i;
        } else {
            break;
        }
    }
    return -1;
}

namespace {

// A curve of finite values can still leave the float range; saturate rather than overflow.
MP_DATA ToData(double value) {
    if (value > FLT_MAX) return FLT_MAX;
    if (value < -FLT_MAX) return -FLT_MAX;
    return MP_DATA(value);
}

// Evaluates the curve of `entry` at t into the slot; true when it counts as a change.
bool EvaluateCurve(ParamSlot* slot, EnvelopeEntry* entry, REFERENCE_TIME t) {
    const MP_ENVELOPE_SEGMENT& s = entry->segment;
    // Differences are taken in double: the segment bounds are the host's and may be extreme.
    const double D = (double(s.rtEnd) - double(s.rtStart)) * 1e-7;
    const double E = (double(t) - double(s.rtStart)) * 1e-7;
    const double invD = 1.0 / D;
    const double x = E * invD;
    const double k = double(s.valEnd) - double(s.valStart);
    double value = s.valStart;
    double slope = 0.0;
    double curvature = 0.0;
    // The host may pass any number here; read it as one, not as the enumeration.
    DWORD curve;
    std::memcpy(&curve, &s.iCurve, sizeof curve);
    switch (curve) {
        case MP_CURVE_LINEAR:
            value = s.valStart + x * k;
            slope = invD * k;
            break;
        case MP_CURVE_SQUARE:
            value = s.valStart + k * x * x;
            slope = (2.0 * x + invD) * (invD * k);
            curvature = 2.0 * k / (D * D);
            break;
        case MP_CURVE_INVSQUARE:
            value = s.valEnd - k * (x - 1.0) * (x - 1.0);
            slope = (2.0 * (x - 1.0) + invD) * (invD * -k);
            curvature = -2.0 * k / (D * D);
            break;
        default:  // jump, sine and anything unknown hold the start value
            break;
    }
    slot->value = ToData(value);
    slot->slope = slope;
    slot->curvature = curvature;
    const bool changed = t == s.rtStart || !entry->applied || curvature != 0.0 || slope != 0.0;
    entry->applied = TRUE;
    entry->endHeld = FALSE;
    return changed;
}

// The first stored segment starting after t, looked for near the cursor.
LONG NextSegment(const ParamSlot& slot, REFERENCE_TIME t) {
    const SegmentArray& a = slot.segments;
    LONG j = slot.cursor;
    while (j > 0 && a.entries[j - 1].segment.rtStart > t)
        --j;
    while (j < a.count && a.entries[j].segment.rtStart <= t)
        ++j;
    return j < a.count ? j : -1;
}

}  // namespace

Evaluation EvaluateParam(ParamSlot* slot, REFERENCE_TIME t) {
    Evaluation result{};
    slot->slope = 0.0;
    slot->curvature = 0.0;
    if (slot->capturing) return result;  // the user's hand overrides the envelope
    slot->envelopeActive = FALSE;
    if (slot->segments.count == 0) return result;

    const LONG found = FindSegment(slot, t);
    if (found >= 0) {
        EnvelopeEntry* e = &slot->segments.entries[found];
        result.changed = EvaluateCurve(slot, e, t);
        result.inForce = true;
        result.toEnd = TimeDifference(e->segment.rtEnd, t);
        slot->envelopeActive = TRUE;
    } else {
        // Leaving a segment holds its end value, once; a value set in the gap then stays.
        EnvelopeEntry* e = &slot->segments.entries[slot->cursor];
        if (e->segment.rtEnd <= t && !e->endHeld) {
            slot->value = e->segment.valEnd;
            e->endHeld = TRUE;
            result.changed = true;
        }
    }
    const LONG next = NextSegment(*slot, t);
    if (next >= 0) {
        result.hasNext = true;
        result.toNext = TimeDifference(slot->segments.entries[next].segment.rtStart, t);
    }
    if (slot->captureEnded) {
        result.changed = true;
        slot->captureEnded = FALSE;
    }
    return result;
}
