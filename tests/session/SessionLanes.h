// The arguments of a session's value and automation calls: values in and out of range, lanes of
// envelope segments of every shape a host sends (tidy, clustered, careless, far away, huge), and
// flush ranges.
#pragma once

#include <vector>

#include "SessionScript.h"

class SessionLanes {
  public:
    explicit SessionLanes(SessionRandom& random) : r_(random) {}

    // A value for parameter `index`: inside its range, or outside it (now and then infinite).
    MP_DATA Value(DWORD index, bool inRange, bool mayBeInfinite = true);
    // SetParam's index and value, with Bypass and Filter Order toggles among them.
    void SetParamArguments(DWORD* index, MP_DATA* value);
    // One parameter mostly; all of them, or an index that does not exist, now and then.
    DWORD EnvelopeIndex();
    // The segments of one AddEnvelope call placed around `now`.
    void Lane(DWORD index, REFERENCE_TIME now, std::vector<MP_ENVELOPE_SEGMENT>* out);
    // 100,000 short segments from about `now` on.
    void BigLane(DWORD index, REFERENCE_TIME now, std::vector<MP_ENVELOPE_SEGMENT>* out);
    void FlushRange(REFERENCE_TIME now, REFERENCE_TIME* start, REFERENCE_TIME* end);

  private:
    DWORD Curve();
    MP_ENVELOPE_SEGMENT Segment(DWORD index, REFERENCE_TIME start, REFERENCE_TIME end);
    REFERENCE_TIME Length();

    SessionRandom& r_;
    MP_DATA lastSet_[kSessionParamCount] = {};
};
