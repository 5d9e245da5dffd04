// The model's bookkeeping: host calls on values and segments, and the lanes' layout.
#include "StoreModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// A new filter's values: Frequency at the top, everything else off, fully wet.
constexpr MP_DATA kStartValues[kSessionParamCount] = {20000, 0, 0, 0, 0, 100};
constexpr const char* kNames[kSessionParamCount] = {"Frequency",    "Resonance", "Filter Type",
                                                    "Filter Order", "Bypass",    "Wet/Dry"};

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(hr));
    return text;
}

bool Proper(const MP_ENVELOPE_SEGMENT& s) {
    return s.rtStart < s.rtEnd;
}

bool AnyIndex(DWORD index) {
    return index < DWORD(kSessionParamCount) || index == DWORD_ALLPARAMS;
}

}  // namespace

const char* ParamName(DWORD index) {
    return index < DWORD(kSessionParamCount) ? kNames[index] : "?";
}

double ClampToRange(DWORD index, double value) {
    if (value > kHostParamRanges[index].max) value = kHostParamRanges[index].max;
    if (value < kHostParamRanges[index].min) value = kHostParamRanges[index].min;
    return value;
}

void AllowedValues::Between(double a, double b, double tolerance) {
    ranges.push_back({std::min(a, b), std::max(a, b), tolerance});
}

bool AllowedValues::Holds(double got) const {
    for (const Range& r : ranges) {
        if (got >= r.lo - r.tolerance && got <= r.hi + r.tolerance) return true;
    }
    return false;
}

StoreModel::StoreModel() {
    for (int i = 0; i < kSessionParamCount; ++i) {
        params_[i].current = kStartValues[i];
        RebuildView(&params_[i]);
    }
}

std::string StoreModel::SetParam(DWORD index, MP_DATA value, HRESULT got) {
    if (index >= DWORD(kSessionParamCount)) {
        return got == E_INVALIDARG ? ""
                                   : "answer: SetParam of a missing index answered " + Hex(got);
    }
    Param& p = params_[index];
    HRESULT normal = S_OK;
    if (!(value >= kHostParamRanges[index].min && value <= kHostParamRanges[index].max)) {
        normal = E_INVALIDARG;
    } else if (value == p.current) {
        normal = S_FALSE;
    }
    // Refused, and nothing changes, while streaming with an envelope in force on it.
    const bool refusedSure = streaming_ && p.active == Active::Yes;
    const bool refusedMaybe = streaming_ && p.active == Active::Maybe;
    const bool allowed =
        refusedSure ? got == S_FALSE : got == normal || (refusedMaybe && got == S_FALSE);
    if (got == S_OK) p.current = value;
    if (allowed) return "";
    return std::string("answer: SetParam(") + ParamName(index) + ") answered " + Hex(got) +
           ", expected " + Hex(refusedSure ? S_FALSE : normal) +
           (refusedSure ? " (an envelope is in force while streaming)" : "");
}

void StoreModel::SetAllParams(const MP_DATA values[kSessionParamCount]) {
    for (int i = 0; i < kSessionParamCount; ++i)
        params_[i].current = MP_DATA(ClampToRange(DWORD(i), values[i]));
}

std::string StoreModel::AddEnvelope(DWORD index, const std::vector<MP_ENVELOPE_SEGMENT>& segments,
                                    HRESULT got) {
    bool finite = true;
    for (const MP_ENVELOPE_SEGMENT& s : segments)
        finite = finite && std::isfinite(s.valStart) && std::isfinite(s.valEnd);
    // A value that is not a number would reach the coefficients: such a batch is refused whole.
    const HRESULT expected = !AnyIndex(index) || segments.empty() || !finite ? E_INVALIDARG : S_OK;
    if (got != expected)
        return "answer: AddEnvelope answered " + Hex(got) + ", expected " + Hex(expected);
    if (expected != S_OK) return "";
    for (DWORD i = 0; i < DWORD(kSessionParamCount); ++i) {
        if (index == i || index == DWORD_ALLPARAMS) Insert(&params_[i], segments);
    }
    return "";
}

std::string StoreModel::FlushEnvelope(DWORD index, REFERENCE_TIME start, REFERENCE_TIME end,
                                      HRESULT got) {
    const HRESULT expected = AnyIndex(index) ? S_OK : E_INVALIDARG;
    if (got != expected)
        return "answer: FlushEnvelope answered " + Hex(got) + ", expected " + Hex(expected);
    for (DWORD i = 0; i < DWORD(kSessionParamCount) && expected == S_OK; ++i) {
        if (index != i && index != DWORD_ALLPARAMS) continue;
        RemoveOverlapping(&params_[i].lane, start, end);
        RebuildView(&params_[i]);
    }
    return "";
}

// From the front: entries ending at or before `start` stay, the scan stops at the first entry
// starting at or after `end`, and everything between goes whole. One pass, same result as
// removing one entry at a time.
void StoreModel::RemoveOverlapping(std::vector<Entry>* lane, REFERENCE_TIME start,
                                   REFERENCE_TIME end) {
    size_t kept = 0;
    bool stopped = false;
    for (size_t i = 0; i < lane->size(); ++i) {
        const MP_ENVELOPE_SEGMENT& s = (*lane)[i].segment;
        if (!stopped && s.rtEnd > start) {
            if (s.rtStart < end) continue;  // overlaps: removed
            stopped = true;
        }
        (*lane)[kept++] = (*lane)[i];
    }
    lane->resize(kept);
}

// First every new segment removes what it overlaps among the stored ones; then the new ones go
// in, each after the stored entries that start before it, the search going on from the last one
// inserted (so an unsorted batch stays unsorted).
void StoreModel::Insert(Param* p, const std::vector<MP_ENVELOPE_SEGMENT>& segments) {
    for (const MP_ENVELOPE_SEGMENT& s : segments)
        RemoveOverlapping(&p->lane, s.rtStart, s.rtEnd);
    std::vector<Entry> merged;
    merged.reserve(p->lane.size() + segments.size());
    size_t i = 0;
    for (const MP_ENVELOPE_SEGMENT& s : segments) {
        while (i < p->lane.size() && p->lane[i].segment.rtStart < s.rtStart)
            merged.push_back(p->lane[i++]);
        merged.push_back(Entry{s, nextId_++});
    }
    merged.insert(merged.end(), p->lane.begin() + ptrdiff_t(i), p->lane.end());
    p->lane = std::move(merged);
    RebuildView(p);
}

void StoreModel::RebuildView(Param* p) {
    LaneView& v = p->view;
    v.orderly = true;
    v.proper.clear();
    v.degenerate.clear();
    v.points.clear();
    // Sorted by start, and nothing starts inside a proper segment before it: then the segment
    // in force, and the one that ended last, are found whichever way the search walks.
    REFERENCE_TIME lastStart = 0, maxEnd = 0;
    bool anyProper = false;
    for (size_t i = 0; i < p->lane.size(); ++i) {
        const MP_ENVELOPE_SEGMENT& s = p->lane[i].segment;
        if ((i > 0 && s.rtStart < lastStart) || (anyProper && s.rtStart < maxEnd)) {
            v.orderly = false;
        }
        if (Proper(s)) {
            v.proper.push_back(i);
            maxEnd = anyProper ? std::max(maxEnd, s.rtEnd) : s.rtEnd;
            anyProper = true;
        } else {
            v.degenerate.push_back(i);
        }
        lastStart = s.rtStart;
        v.points.push_back(s.rtStart);
        v.points.push_back(s.rtEnd);
    }
    std::sort(v.points.begin(), v.points.end());
    std::stable_sort(v.degenerate.begin(), v.degenerate.end(), [p](size_t a, size_t b) {
        return p->lane[a].segment.rtEnd < p->lane[b].segment.rtEnd;
    });
}

size_t StoreModel::ChangePointsIn(REFERENCE_TIME from, REFERENCE_TIME to) {
    size_t count = 0;
    for (const Param& p : params_) {
        const std::vector<REFERENCE_TIME>& points = p.view.points;
        count += size_t(std::upper_bound(points.begin(), points.end(), to) -
                        std::upper_bound(points.begin(), points.end(), from));
    }
    return count;
}
