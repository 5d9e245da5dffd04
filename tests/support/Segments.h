// Building envelope segments and reading back what a parameter stores.
#pragma once

#include <cstring>
#include <utility>
#include <vector>

#include "params/MediaParamStore.h"

// `curve` is a plain number so that tests can pass values outside the enumeration, as hosts may.
inline MP_ENVELOPE_SEGMENT Seg(REFERENCE_TIME start, REFERENCE_TIME end, MP_DATA from, MP_DATA to,
                               DWORD curve = MP_CURVE_LINEAR) {
    MP_ENVELOPE_SEGMENT s{};
    s.rtStart = start;
    s.rtEnd = end;
    s.valStart = from;
    s.valEnd = to;
    std::memcpy(&s.iCurve, &curve, sizeof curve);
    return s;
}

using Span = std::pair<REFERENCE_TIME, REFERENCE_TIME>;

inline std::vector<Span> Spans(const SegmentArray& a) {
    std::vector<Span> out;
    for (LONG i = 0; i < a.count; ++i) {
        out.emplace_back(a.entries[i].segment.rtStart, a.entries[i].segment.rtEnd);
    }
    return out;
}
