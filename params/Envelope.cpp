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

namespace {

// Never in force: such a segment covers no time at all.
bool Empty(const MP_ENVELOPE_SEGMENT& s) {
    return s.rtEnd <= s.rtStart;
}

// Where t falls among a slot's segments.
struct Place {
    LONG inForce;  // the segment in force, or -1
    // Not in force: the segment whose end continuous playback would have left in the slot, the
    // non-empty one with the greatest rtEnd <= t; of several ending together the earliest, which
    // was the one in force just before. -1 before every segment.
    LONG ended;
    LONG next;  // the first segment starting after t, or -1
};

constexpr LONG kFollowSteps = 4;

// Ordered entries: the first ending after t, in [from, count).
LONG BisectEnds(SegmentArray& a, LONG from, REFERENCE_TIME t) {
    LONG hi = a.count;
    while (from < hi) {
        ++a.work;
        const LONG mid = from + (hi - from) / 2;
        if (a.entries[mid].segment.rtEnd > t) {
            hi = mid;
        } else {
            from = mid + 1;
        }
    }
    return from;
}

// Ordered entries: the first ending after t. A clock that follows moves the cursor a few steps;
// anything else, a jump back or far ahead, bisects.
inline LONG FirstEndingAfter(ParamSlot& slot, REFERENCE_TIME t) {
    SegmentArray& a = slot.segments;
    LONG c = slot.cursor;
    if (c < 0 || c > a.count || (c > 0 && a.entries[c - 1].segment.rtEnd > t)) {
        return BisectEnds(a, 0, t);
    }
    for (LONG step = 0; c < a.count && a.entries[c].segment.rtEnd <= t; ++step, ++c) {
        if (step == kFollowSteps) return BisectEnds(a, c, t);
        ++a.work;
    }
    return c;
}

// With rtStart and rtEnd both ascending, the first entry ending after t is the first covering
// it, if any covers it; all before it have ended.
inline Place PlaceInOrdered(ParamSlot* slot, REFERENCE_TIME t) {
    SegmentArray& a = slot->segments;
    const EnvelopeEntry* e = a.entries;
    const LONG c = FirstEndingAfter(*slot, t);
    slot->cursor = c;
    Place place{-1, -1, -1};
    LONG next = c;
    if (c < a.count && e[c].segment.rtStart <= t) {
        place.inForce = c;
        ++next;
        while (next < a.count && e[next].segment.rtStart <= t) {
            ++next;
            ++a.work;
        }
    } else {
        LONG j = c - 1;
        while (j >= 0 && Empty(e[j].segment)) {
            --j;
            ++a.work;
        }
        while (j > 0 && e[j - 1].segment.rtEnd == e[j].segment.rtEnd && !Empty(e[j - 1].segment)) {
            --j;
            ++a.work;
        }
        place.ended = j;
        // Only empty segments before c can start after t.
        while (next > 0 && e[next - 1].segment.rtStart > t) {
            --next;
            ++a.work;
        }
    }
    place.next = next < a.count ? next : -1;
    return place;
}

// Entries out of time order, as a careless host can leave them: the same answers by a full scan.
Place PlaceByScan(ParamSlot* slot, REFERENCE_TIME t) {
    SegmentArray& a = slot->segments;
    a.work += uint64_t(a.count);
    Place place{-1, -1, -1};
    for (LONG i = 0; i < a.count; ++i) {
        const MP_ENVELOPE_SEGMENT& s = a.entries[i].segment;
        if (place.inForce < 0 && s.rtStart <= t && t < s.rtEnd) place.inForce = i;
        if (!Empty(s) && s.rtEnd <= t &&
            (place.ended < 0 || s.rtEnd > a.entries[place.ended].segment.rtEnd)) {
            place.ended = i;
        }
        if (s.rtStart > t &&
            (place.next < 0 || s.rtStart < a.entries[place.next].segment.rtStart)) {
            place.next = i;
        }
    }
    if (place.inForce >= 0) {
        slot->cursor = place.inForce;
        place.ended = -1;
    }
    return place;
}

// Inline: every advance asks this of every parameter.
inline Place Locate(ParamSlot* slot, REFERENCE_TIME t) {
    return slot->segments.ordered ? PlaceInOrdered(slot, t) : PlaceByScan(slot, t);
}

void ReleaseHold(SegmentArray* a) {
    if (a->held >= 0) a->entries[a->held].endHeld = FALSE;
    a->held = -1;
}

}  // namespace

LONG FindSegment(ParamSlot* slot, REFERENCE_TIME t) {
    return Locate(slot, t).inForce;
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
    // The bounds are the host's and may be anywhere in the 64-bit range, where a double's step
    // is far coarser than a segment: subtract exactly first. In force, rtStart <= t < rtEnd, so
    // both differences are below 2^64 and exact as unsigned, and the span is at least one
    // tick, so the slope and curvature of finite values stay finite.
    const uint64_t span = uint64_t(s.rtEnd) - uint64_t(s.rtStart);
    const uint64_t offset = uint64_t(t) - uint64_t(s.rtStart);
    const double D = double(span) * 1e-7;
    const double E = double(offset) * 1e-7;
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
            value = s.valStart + k * (x * x);
            slope = (2.0 * x + invD) * (invD * k);
            curvature = 2.0 * k / (D * D);
            break;
        case MP_CURVE_INVSQUARE:
            value = s.valEnd - k * ((x - 1.0) * (x - 1.0));
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
    return changed;
}

}  // namespace

Evaluation EvaluateParam(ParamSlot* slot, REFERENCE_TIME t) {
    Evaluation result{};
    slot->slope = 0.0;
    slot->curvature = 0.0;
    if (slot->capturing) return result;  // the user's hand overrides the envelope
    slot->envelopeActive = FALSE;
    if (slot->segments.count == 0) return result;

    SegmentArray& a = slot->segments;
    const Place place = Locate(slot, t);
    if (place.inForce >= 0) {
        ReleaseHold(&a);
        EnvelopeEntry* e = &a.entries[place.inForce];
        result.changed = EvaluateCurve(slot, e, t);
        result.inForce = true;
        result.toEnd = TimeDifference(e->segment.rtEnd, t);
        slot->envelopeActive = TRUE;
    } else if (place.ended >= 0) {
        // Playback to here, however it came, leaves the end value of the segment that ended last.
        // It is held once, so a value set in the gap afterwards stays.
        if (a.held != place.ended) {
            ReleaseHold(&a);
            a.entries[place.ended].endHeld = TRUE;
            a.held = place.ended;
            slot->value = a.entries[place.ended].segment.valEnd;
            result.changed = true;
        }
    } else {
        ReleaseHold(&a);  // before every segment the value is left alone
    }
    if (place.next >= 0) {
        result.hasNext = true;
        result.toNext = TimeDifference(a.entries[place.next].segment.rtStart, t);
    }
    if (slot->captureEnded) {
        result.changed = true;
        slot->captureEnded = FALSE;
    }
    return result;
}
