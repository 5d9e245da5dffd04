// What GetParam must answer once the clock has run: the store evaluates envelopes only at the
// start of each stretch, and every segment start and end cuts a stretch, so the value read after
// a step is the one of the region holding the stretch that ended at the clock.
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "StoreModel.h"

namespace {

DWORD CurveOf(const MP_ENVELOPE_SEGMENT& s) {
    DWORD curve;
    std::memcpy(&curve, &s.iCurve, sizeof curve);
    return curve;
}

// Only these three curves move; jump, sine and any unknown number hold the start value.
bool Ramp(const MP_ENVELOPE_SEGMENT& s) {
    const DWORD curve = CurveOf(s);
    return s.valStart != s.valEnd &&
           (curve == MP_CURVE_LINEAR || curve == MP_CURVE_SQUARE || curve == MP_CURVE_INVSQUARE);
}

double CurveAt(const MP_ENVELOPE_SEGMENT& s, REFERENCE_TIME t) {
    return CurveValue(s, double(t));
}

// The store keeps the value in 32 bits.
double Tolerance(const MP_ENVELOPE_SEGMENT& s) {
    return 1e-6 * std::max(std::fabs(double(s.valStart)), std::fabs(double(s.valEnd))) + 1e-12;
}

std::string SegmentText(const MP_ENVELOPE_SEGMENT& s) {
    char text[160];
    std::snprintf(text, sizeof text, "[%" PRId64 ", %" PRId64 ") %g->%g curve %#x",
                  int64_t(s.rtStart), int64_t(s.rtEnd), double(s.valStart), double(s.valEnd),
                  unsigned(CurveOf(s)));
    return text;
}

std::string AllowedText(const AllowedValues& a) {
    std::vector<std::string> shown;
    for (const AllowedValues::Range& r : a.ranges) {
        char one[80];
        if (r.lo == r.hi) {
            std::snprintf(one, sizeof one, "%.9g", r.lo);
        } else {
            std::snprintf(one, sizeof one, "%.9g..%.9g", r.lo, r.hi);
        }
        if (std::find(shown.begin(), shown.end(), one) == shown.end()) shown.push_back(one);
    }
    std::string text;
    for (size_t k = 0; k < shown.size() && k < 6; ++k)
        text += (k ? " or " : "") + shown[k];
    if (shown.size() > 6) text += " or ...";
    return text;
}

}  // namespace

std::string StoreModel::CheckValues(const ClockRun& run, const MP_DATA got[kSessionParamCount]) {
    std::string failure;
    for (DWORD i = 0; i < DWORD(kSessionParamCount); ++i) {
        AllowedValues allowed = Expect(i, run);
        if (run.snapshot) {
            // A snapshot writes each value back clamped.
            const size_t n = allowed.ranges.size();
            for (size_t k = 0; k < n; ++k) {
                const AllowedValues::Range r = allowed.ranges[k];
                allowed.Between(ClampToRange(i, r.lo), ClampToRange(i, r.hi), r.tolerance);
            }
        }
        if (i == 4) bypass_ = BypassDecision(allowed, run);
        if (failure.empty() && !allowed.Holds(got[i])) {
            char text[64];
            std::snprintf(text, sizeof text, " is %.9g, expected ", double(got[i]));
            const bool jumped = allowed.why.compare(0, 7, "jumped ") == 0;
            failure = (jumped ? "path independence: " : "value: ") + std::string(ParamName(i)) +
                      text + AllowedText(allowed) + " (" + allowed.why + ")";
        }
        params_[i].current = got[i];
    }
    if (run.evaluated) {
        lastTo_ = run.to;
        ranBefore_ = true;
    }
    return failure;
}

double CurveValue(const MP_ENVELOPE_SEGMENT& s, double t) {
    const double length = (double(s.rtEnd) - double(s.rtStart)) * 1e-7;
    const double x = (t - double(s.rtStart)) * 1e-7 / length;
    const double from = s.valStart, to = s.valEnd, k = to - from;
    switch (CurveOf(s)) {
        case MP_CURVE_LINEAR:
            return from + x * k;
        case MP_CURVE_SQUARE:
            return from + k * (x * x);
        case MP_CURVE_INVSQUARE:
            return to - k * ((x - 1) * (x - 1));
    }
    return from;
}

bool StoreModel::Automation(DWORD index, REFERENCE_TIME from, LaneAutomation* out) const {
    const Param& p = params_[index];
    out->segments.clear();
    out->cuts.clear();
    out->gapValue = p.current;
    // In array order, which is the order the store searches an overlapping or unsorted lane in.
    for (const Entry& e : p.lane) {
        out->cuts.push_back(e.segment.rtStart);
        if (e.segment.rtStart < e.segment.rtEnd) out->segments.push_back(e.segment);
    }
    if (Covering(p, from)) return true;
    // In a gap the clock reaching it holds the end value of the segment that ended last, once:
    // a value set after that stays while the clock stays in the gap.
    const Entry* ended = LastEnded(p, from);
    if (!ended || ended->id == p.heldId) return true;
    if (p.heldUnknown) return false;
    out->gapValue = ended->segment.valEnd;
    return true;
}

AllowedValues StoreModel::Expect(DWORD index, const ClockRun& run) {
    Param& p = params_[index];
    AllowedValues allowed;
    if (!run.evaluated) {
        allowed.Exactly(p.current);
        allowed.why = "nothing evaluated: unchanged";
        return allowed;
    }
    // The last stretch ended at the clock; its region is the one just before it.
    const REFERENCE_TIME at = run.to > run.from ? run.to - 1 : run.from;
    ExpectInLane(&p, run, at, &allowed);
    return allowed;
}

void StoreModel::ExpectInLane(Param* p, const ClockRun& run, REFERENCE_TIME at,
                              AllowedValues* allowed) {
    if (const Entry* in = Covering(*p, at)) {
        const MP_ENVELOPE_SEGMENT& s = in->segment;
        p->active = Active::Yes;
        p->heldId = 0;
        p->heldUnknown = false;
        if (!Ramp(s)) {
            allowed->Exactly(s.valStart);
            allowed->why = "in force: the flat segment " + SegmentText(s);
        } else {
            // Held from the last stretch start, which lies between the segment's or the run's
            // start and the clock.
            allowed->Between(CurveAt(s, std::max(s.rtStart, run.from)), CurveAt(s, at),
                             Tolerance(s));
            allowed->why = "in force: the ramp " + SegmentText(s);
        }
        return;
    }
    const Entry* ended = LastEnded(*p, at);
    std::vector<const Entry*> last;
    if (ended) last.push_back(ended);
    const bool sameGap = !Covering(*p, run.from) && LastEnded(*p, run.from) == ended;
    ExpectInGap(p, last, sameGap, run, at, allowed);
}

// Outside every segment the value is the end value of the segment that ended last, held once:
// a value set after that stays while the clock stays in the gap.
void StoreModel::ExpectInGap(Param* p, const std::vector<const Entry*>& ended, bool sameGap,
                             const ClockRun& run, REFERENCE_TIME at, AllowedValues* allowed) {
    p->active = Active::No;
    // Whether an empty or reversed segment counts as having ended is the store's choice.
    std::vector<const Entry*> empties;
    for (size_t k : p->view.degenerate) {
        const REFERENCE_TIME end = p->lane[k].segment.rtEnd;
        if (end <= at && (ended.empty() || end >= ended[0]->segment.rtEnd)) {
            empties.push_back(&p->lane[k]);
        }
    }
    bool stayed = false;
    for (const Entry* e : ended)
        stayed = stayed || (sameGap && e->id == p->heldId);
    if (ended.empty() && empties.empty()) {
        allowed->Exactly(p->current);
        allowed->why = "before the first segment: untouched";
    } else {
        if (stayed || p->heldUnknown || ended.empty()) allowed->Exactly(p->current);
        if (!stayed) {
            for (const Entry* e : ended)
                allowed->Exactly(e->segment.valEnd);
            for (const Entry* e : empties)
                allowed->Exactly(e->segment.valEnd);
        }
        const std::string after =
            ended.empty() ? "an empty segment" : SegmentText(ended[0]->segment);
        if (stayed) {
            allowed->why = "in the gap after " + after + " since its end was held";
        } else if (ranBefore_ && run.from != lastTo_) {
            allowed->why =
                "jumped into the gap after " + after + ", whose end value playing up to it holds";
        } else {
            allowed->why = "left " + after + ": its end value";
        }
    }
    // Of several segments ending together, which one was held is not known.
    p->heldId = ended.size() == 1 ? ended[0]->id : 0;
    p->heldUnknown = ended.size() > 1;
}

const StoreModel::Entry* StoreModel::Covering(const Param& p, REFERENCE_TIME at) const {
    // Elsewhere the first proper segment in array order that covers `at`, as the store finds it.
    if (!p.view.orderly) {
        for (size_t k : p.view.proper) {
            const MP_ENVELOPE_SEGMENT& s = p.lane[k].segment;
            if (s.rtStart <= at && at < s.rtEnd) return &p.lane[k];
        }
        return nullptr;
    }
    // In an orderly lane proper segments are sorted and disjoint: the last one starting at or
    // before `at` is the only candidate.
    const std::vector<size_t>& proper = p.view.proper;
    auto after = std::upper_bound(
        proper.begin(), proper.end(), at,
        [&p](REFERENCE_TIME t, size_t k) { return t < p.lane[k].segment.rtStart; });
    if (after == proper.begin()) return nullptr;
    const Entry& e = p.lane[*(after - 1)];
    return at < e.segment.rtEnd ? &e : nullptr;
}

// The segment with the greatest end at or before `at`, the first in array order of several
// (ends rise along an orderly lane).
const StoreModel::Entry* StoreModel::LastEnded(const Param& p, REFERENCE_TIME at) const {
    if (!p.view.orderly) {
        const Entry* last = nullptr;
        for (size_t k : p.view.proper) {
            const MP_ENVELOPE_SEGMENT& s = p.lane[k].segment;
            if (s.rtEnd <= at && (!last || s.rtEnd > last->segment.rtEnd)) last = &p.lane[k];
        }
        return last;
    }
    const std::vector<size_t>& proper = p.view.proper;
    auto after =
        std::upper_bound(proper.begin(), proper.end(), at,
                         [&p](REFERENCE_TIME t, size_t k) { return t < p.lane[k].segment.rtEnd; });
    return after == proper.begin() ? nullptr : &p.lane[*(after - 1)];
}

// Bypass is read before every stretch; the answer holds for the whole run only when no change
// point of its lane falls inside the run.
int StoreModel::BypassDecision(const AllowedValues& allowed, const ClockRun& run) {
    const LaneView& view = params_[4].view;
    if (!run.evaluated) return -1;
    if (std::upper_bound(view.points.begin(), view.points.end(), run.from) !=
        std::lower_bound(view.points.begin(), view.points.end(), run.to)) {
        return -1;
    }
    bool on = true, off = true;
    for (const AllowedValues::Range& r : allowed.ranges) {
        // On from half way up, once clamped into 0..1.
        if (r.lo - r.tolerance < 0.5) on = false;
        if (r.hi + r.tolerance >= 0.5) off = false;
    }
    return on ? 1 : off ? 0 : -1;
}
