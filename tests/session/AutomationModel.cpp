#include "AutomationModel.h"

#include <algorithm>
#include <cstdint>

namespace {

// Nearest integer of a non-negative real: add a half and truncate.
int64_t Nearest(double r) {
    return r >= 9.2e18 ? INT64_MAX : int64_t(r + 0.5);
}

// The segment covering t, or null.
const MP_ENVELOPE_SEGMENT* Covering(const LaneAutomation& lane, REFERENCE_TIME t) {
    for (const MP_ENVELOPE_SEGMENT& s : lane.segments)
        if (s.rtStart <= t && t < s.rtEnd) return &s;
    return nullptr;
}

// The segment that ended last at or before t, or null.
const MP_ENVELOPE_SEGMENT* LastEnded(const LaneAutomation& lane, REFERENCE_TIME t) {
    const MP_ENVELOPE_SEGMENT* last = nullptr;
    for (const MP_ENVELOPE_SEGMENT& s : lane.segments)
        if (s.rtEnd <= t && (!last || s.rtEnd > last->rtEnd)) last = &s;
    return last;
}

// Where the store ends a stretch from t: the next segment start of any lane, or the end of the
// segment a lane has in force; INT64_MAX when there is none.
REFERENCE_TIME NextPoint(const LaneAutomation lanes[kSessionParamCount], REFERENCE_TIME t) {
    REFERENCE_TIME next = INT64_MAX;
    for (int p = 0; p < kSessionParamCount; ++p) {
        for (REFERENCE_TIME cut : lanes[p].cuts)
            if (cut > t) next = std::min(next, cut);
        if (const MP_ENVELOPE_SEGMENT* in = Covering(lanes[p], t)) next = std::min(next, in->rtEnd);
    }
    return next;
}

// Filter Type and Filter Order as the filter reads them: clamped, truncated, a NaN as 0.
long Setting(int p, double v) {
    if (v != v) return 0;
    return long(ClampToRange(DWORD(p), v));
}

bool Flat(const MP_ENVELOPE_SEGMENT& s) {
    return CurveValue(s, double(s.rtStart)) == CurveValue(s, (double(s.rtStart) + s.rtEnd) / 2);
}

bool Bypassed(double v) {
    return ClampToRange(4, v) >= 0.5;
}

bool Same(double a, double b) {
    return a == b || (a != a && b != b);
}

}  // namespace

void AutomateBuffer(const LaneAutomation lanes[kSessionParamCount], REFERENCE_TIME from,
                    DWORD frames, DWORD rate, const double current[kSessionParamCount],
                    BufferAutomation* out) {
    out->values.assign(size_t(frames) * kSessionParamCount, 0.0);
    out->untracked = false;
    out->firstMoving = frames;
    const double toRef = 1e7 / rate, toFrames = rate * 1e-7;
    const MP_ENVELOPE_SEGMENT* endedAtFrom[kSessionParamCount];
    for (int p = 0; p < kSessionParamCount; ++p)
        endedAtFrom[p] = LastEnded(lanes[p], from);
    REFERENCE_TIME clock = from;
    DWORD done = 0;
    while (done < frames) {
        // A stretch runs to the nearest change point within the rest of the buffer; one less
        // than half a frame away gives no frames, and the next stretch starts there.
        const DWORD left = frames - done;
        const REFERENCE_TIME start = clock;
        REFERENCE_TIME span = Nearest(left * toRef), gap;
        if (!__builtin_sub_overflow(NextPoint(lanes, clock), clock, &gap))
            span = std::min(span, gap);
        // The clock stops at the end of time rather than wrapping.
        if (__builtin_add_overflow(clock, span, &clock)) clock = INT64_MAX;
        DWORD n = DWORD(Nearest(double(span) * toFrames));
        if (n == 0 && span > 0) continue;
        n = std::min(n == 0 ? left : n, left);
        for (int p = 0; p < kSessionParamCount; ++p) {
            const LaneAutomation& lane = lanes[p];
            const MP_ENVELOPE_SEGMENT* in = Covering(lane, start);
            const MP_ENVELOPE_SEGMENT* ended = in ? nullptr : LastEnded(lane, start);
            double held = lane.gapValue;
            if (ended && ended != endedAtFrom[p]) held = ended->valEnd;
            double* at = &out->values[size_t(done) * kSessionParamCount + size_t(p)];
            if (!in) {
                for (DWORD j = 0; j < n; ++j)
                    at[j * kSessionParamCount] = held;
                continue;
            }
            // The store keeps the value at the stretch start in 32 bits, clamped into range when
            // the filter reads it, and the filter moves on from there along the curve: each frame
            // at its own time, the curve evaluated afresh.
            const double origin = CurveValue(*in, double(start));
            const double kept = ClampToRange(DWORD(p), double(float(origin)));
            for (DWORD j = 0; j < n; ++j) {
                const double t = double(start) + double(j) * toRef;
                at[j * kSessionParamCount] = kept + (CurveValue(*in, t) - origin);
            }
            if ((p <= 1 || p == 5) && !Flat(*in))
                out->firstMoving = std::min(out->firstMoving, done);
            // A flat segment counts as a change only when first met or at its very start, so
            // one met again in its middle with another value in force is not followed.
            const double before = done > 0 ? at[-kSessionParamCount] : current[p];
            if (start > in->rtStart && Flat(*in) && !Same(double(in->valStart), before))
                out->untracked = true;
            // Bypass is read once a stretch: a ramp crossing half way within one is not
            // followed until the next stretch starts.
            if (p == 4) {
                for (DWORD j = 1; j < n; ++j)
                    if (Bypassed(at[j * kSessionParamCount]) != Bypassed(at[0]))
                        out->untracked = true;
            }
        }
        done += n;
    }
    for (DWORD j = 0; j < frames; ++j) {
        for (int p = 2; p <= 3; ++p) {
            const double v = out->values[size_t(j) * kSessionParamCount + size_t(p)];
            if (Setting(p, v) != Setting(p, current[p])) out->untracked = true;
        }
    }
}
