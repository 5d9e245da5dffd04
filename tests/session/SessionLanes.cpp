#include "SessionLanes.h"

#include <cstring>
#include <limits>
#include <utility>

namespace {

constexpr REFERENCE_TIME kSecond = 10000000;
constexpr REFERENCE_TIME kEarliest = std::numeric_limits<REFERENCE_TIME>::min();
constexpr REFERENCE_TIME kLatest = std::numeric_limits<REFERENCE_TIME>::max();
constexpr DWORD kBigLaneSegments = 100000;

bool Stepped(DWORD index) {
    return index >= 2 && index <= 4;
}

}  // namespace

MP_DATA SessionLanes::Value(DWORD index, bool inRange, bool mayBeInfinite) {
    const double lo = kHostParamRanges[index].min;
    const double hi = kHostParamRanges[index].max;
    if (inRange) {
        if (r_.Percent(5)) return MP_DATA(r_.Percent(50) ? lo : hi);
        if (Stepped(index) && r_.Percent(85)) return MP_DATA(r_.Between(int64_t(lo), int64_t(hi)));
        return MP_DATA(r_.Real(lo, hi));
    }
    if (mayBeInfinite && r_.Percent(10)) {
        const MP_DATA inf = std::numeric_limits<MP_DATA>::infinity();
        return r_.Percent(50) ? inf : -inf;
    }
    // -1 is what a careless host sends for "off".
    if (index == 4 && r_.Percent(40)) return -1.0f;
    const double over = (hi - lo) * r_.Real(0.001, 0.5);
    return MP_DATA(r_.Percent(50) ? lo - over : hi + over);
}

void SessionLanes::SetParamArguments(DWORD* index, MP_DATA* value) {
    const uint64_t pick = r_.Below(100);
    if (pick < 3) {
        constexpr DWORD kMissing[] = {6, 7, 0xFFFFFFFFu};
        *index = kMissing[r_.Below(3)];
        *value = 1000.0f;
        return;
    }
    if (pick < 23) {
        *index = r_.Percent(50) ? 4 : 3;  // Bypass or Filter Order switched
        *value = MP_DATA(r_.Below(2));
    } else {
        *index = DWORD(r_.Below(kSessionParamCount));
        if (pick < 28) {
            *value = lastSet_[*index];
        } else if (pick < 30) {
            *value = std::numeric_limits<MP_DATA>::quiet_NaN();
        } else {
            *value = Value(*index, r_.Percent(75));
        }
    }
    lastSet_[*index] = *value;
}

DWORD SessionLanes::EnvelopeIndex() {
    const uint64_t pick = r_.Below(100);
    if (pick < 84) return DWORD(r_.Below(kSessionParamCount));
    if (pick < 94) return DWORD_ALLPARAMS;
    constexpr DWORD kMissing[] = {6, 100, 0xFFFFFFFEu};
    return kMissing[r_.Below(3)];
}

DWORD SessionLanes::Curve() {
    const uint64_t pick = r_.Below(100);
    if (pick < 25) return MP_CURVE_JUMP;
    if (pick < 55) return MP_CURVE_LINEAR;
    if (pick < 67) return MP_CURVE_SQUARE;
    if (pick < 79) return MP_CURVE_INVSQUARE;
    if (pick < 87) return MP_CURVE_SINE;
    constexpr DWORD kUnknown[] = {0, 3, 0x20, 0x7FFFFFFF};
    return kUnknown[r_.Below(4)];
}

MP_ENVELOPE_SEGMENT SessionLanes::Segment(DWORD index, REFERENCE_TIME start, REFERENCE_TIME end) {
    MP_ENVELOPE_SEGMENT s{};
    s.rtStart = start;
    s.rtEnd = end;
    const DWORD ranges = index < DWORD(kSessionParamCount) ? index : DWORD(r_.Below(6));
    s.valStart = Value(ranges, r_.Percent(85), false);
    s.valEnd = r_.Percent(15) ? s.valStart : Value(ranges, r_.Percent(85), false);
    if (r_.PerMille(5)) s.valEnd = std::numeric_limits<MP_DATA>::quiet_NaN();
    // Hosts may pass any number as the curve; copy it in rather than cast it to the enum.
    const DWORD curve = Stepped(ranges) && r_.Percent(70) ? DWORD(MP_CURVE_JUMP) : Curve();
    std::memcpy(&s.iCurve, &curve, sizeof curve);
    s.flags = MP_FLAGS(r_.Below(4));
    return s;
}

// Mostly tens of milliseconds to half a second; some empty, reversed or shorter than a frame.
REFERENCE_TIME SessionLanes::Length() {
    const uint64_t pick = r_.Below(100);
    if (pick < 5) return 0;
    if (pick < 8) return -r_.Between(1, 100000);
    if (pick < 16) return r_.Between(1, 200);
    return r_.Between(10000, kSecond / 2);
}

void SessionLanes::Lane(DWORD index, REFERENCE_TIME now, std::vector<MP_ENVELOPE_SEGMENT>* out) {
    const uint64_t shape = r_.Below(100);
    if (shape < 12) {
        // A cluster of change points, several inside one frame.
        REFERENCE_TIME t = now + r_.Between(-kSecond / 10, kSecond / 2);
        for (int k = int(r_.Between(20, 300)); k > 0; --k) {
            const REFERENCE_TIME length = r_.Between(1, 60);
            out->push_back(Segment(index, t, t + length));
            t += length;
        }
        return;
    }
    if (shape < 17) {
        // Lanes reaching to the ends of time.
        const REFERENCE_TIME t = now + r_.Between(-kSecond, kSecond);
        out->push_back(r_.Percent(50) ? Segment(index, kEarliest, t) : Segment(index, t, kLatest));
        return;
    }
    REFERENCE_TIME t = now + r_.Between(-kSecond / 3, kSecond);
    if (shape < 22) t += (r_.Percent(50) ? -1 : 1) * r_.Between(50 * kSecond, 3000 * kSecond);
    for (int k = int(r_.Between(1, 10)); k > 0; --k) {
        const REFERENCE_TIME length = Length();
        out->push_back(Segment(index, t, t + length));
        if (length > 0) t += length;
        if (r_.Percent(40)) t += r_.Between(1, 3 * kSecond / 10);
    }
    if (shape >= 35) return;
    // A careless host: the same lane shuffled, or with segments pulled back over their
    // predecessors.
    for (size_t k = out->size(); k > 1; --k) {
        const size_t j = size_t(r_.Below(k));
        if (r_.Percent(50)) {
            std::swap((*out)[k - 1], (*out)[j]);
        } else {
            const REFERENCE_TIME back = r_.Between(1, kSecond / 10);
            (*out)[k - 1].rtStart -= back;
            (*out)[k - 1].rtEnd -= back;
        }
    }
}

void SessionLanes::BigLane(DWORD index, REFERENCE_TIME now, std::vector<MP_ENVELOPE_SEGMENT>* out) {
    out->reserve(kBigLaneSegments);
    REFERENCE_TIME t = now - r_.Between(0, kSecond / 10);
    for (DWORD k = 0; k < kBigLaneSegments; ++k) {
        const REFERENCE_TIME length = r_.Between(1, 3000);
        out->push_back(Segment(index, t, t + length));
        t += length;
        if (r_.Percent(10)) t += r_.Between(1, 5000);
    }
}

void SessionLanes::FlushRange(REFERENCE_TIME now, REFERENCE_TIME* start, REFERENCE_TIME* end) {
    const uint64_t pick = r_.Below(100);
    *start = now + r_.Between(-kSecond, kSecond);
    if (pick < 65) {
        *end = *start + r_.Between(1, kSecond);
    } else if (pick < 75) {
        *start = kEarliest;
        *end = kLatest;
    } else if (pick < 85) {
        *end = *start - r_.Between(1, kSecond);
    } else if (pick < 95) {
        *end = *start;
    } else {
        *end = kLatest;
    }
}
