// An independent model of the parameter store as a host sees it: the values set, the segments
// stored per parameter, and what GetParam must answer after the clock has run. Written from the
// store's contract with plain algorithms, sharing no code with the store itself.
//
// Where the store may legitimately answer more than one way (a host's overlapping or unsorted
// lane, a value read back clamped by a snapshot, an empty or reversed segment's end) the model
// accepts each answer and follows the one the store gave; everywhere else it is strict.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "SessionScript.h"

// One parameter's automation as the signal model needs it for a buffer starting at a clock
// position: its segments that cover time, in the store's order (the first that covers a time is
// in force there); every segment start, where the clock cuts a stretch (an empty or reversed
// segment is never in force, but its start still cuts; the end of the one in force cuts too);
// and the value in force there if no segment covers it.
struct LaneAutomation {
    std::vector<MP_ENVELOPE_SEGMENT> segments;
    std::vector<REFERENCE_TIME> cuts;
    double gapValue = 0;
};

// How the clock ran during one step, as the executor saw it through the store's position.
struct ClockRun {
    bool evaluated = false;   // at least one advance ran
    REFERENCE_TIME from = 0;  // position before the first advance
    REFERENCE_TIME to = 0;    // position after the step
    bool snapshot = false;    // the values may have been read clamped, which writes them back
};

// The values GetParam may answer: ranges (a single value is a range of one), with why.
struct AllowedValues {
    struct Range {
        double lo, hi, tolerance;
    };
    std::vector<Range> ranges;
    std::string why;

    void Exactly(double v) { ranges.push_back({v, v, 0.0}); }
    void Between(double a, double b, double tolerance);
    bool Holds(double got) const;
};

class StoreModel {
  public:
    StoreModel();

    // Each call passes the store's answer; the result is empty when the model allows it, else a
    // description of the difference. Where the model allows several answers it follows the one
    // the store gave.
    std::string SetParam(DWORD index, MP_DATA value, HRESULT got);
    void SetAllParams(const MP_DATA values[kSessionParamCount]);
    std::string AddEnvelope(DWORD index, const std::vector<MP_ENVELOPE_SEGMENT>& segments,
                            HRESULT got);
    std::string FlushEnvelope(DWORD index, REFERENCE_TIME start, REFERENCE_TIME end, HRESULT got);
    void SetStreaming(bool on) { streaming_ = on; }

    // Checks the six values read back after a step, then takes them as the store's state.
    std::string CheckValues(const ClockRun& run, const MP_DATA got[kSessionParamCount]);

    // What the store holds now, as last read or set.
    double Current(DWORD index) const { return params_[index].current; }
    // Whether any parameter has a segment stored: without one, every value holds until set.
    bool AnySegments() const {
        for (const Param& p : params_)
            if (!p.lane.empty()) return true;
        return false;
    }

    // Whether a run of the clock up to `to` meets no segment: every one starts and ends later.
    bool NoSegmentUpTo(REFERENCE_TIME to) const {
        for (const Param& p : params_)
            if (!p.view.points.empty() && p.view.points.front() <= to) return false;
        return true;
    }

    // The lane of `index` as seen from `from`; false where the store may answer more than one
    // way: a gap whose held end value is not known.
    bool Automation(DWORD index, REFERENCE_TIME from, LaneAutomation* out) const;

    // After CheckValues: 1 when Bypass was on for the whole run, 0 when off, -1 when unknown.
    int BypassThroughout() const { return bypass_; }
    // Change points (segment starts and ends, every parameter) in (from, to]: each may end a
    // stretch, so they bound how far the clock may stray from the frames run.
    size_t ChangePointsIn(REFERENCE_TIME from, REFERENCE_TIME to);

  private:
    struct Entry {
        MP_ENVELOPE_SEGMENT segment;
        uint64_t id;  // unique per insertion, so a replaced segment is a different one
    };
    // What the lane's layout allows the model to know, rebuilt after every edit.
    struct LaneView {
        bool orderly;                        // in time order, proper segments disjoint
        std::vector<size_t> proper;          // entries with rtStart < rtEnd, in array order
        std::vector<size_t> degenerate;      // the others, by rtEnd
        std::vector<REFERENCE_TIME> points;  // every rtStart and rtEnd, sorted
    };
    enum class Active { No, Yes, Maybe };
    struct Param {
        std::vector<Entry> lane;
        LaneView view;
        MP_DATA current;  // what the store holds, as last read or set
        Active active = Active::No;
        uint64_t heldId = 0;       // the segment whose end value the gap the clock is in holds
        bool heldUnknown = false;  // a careless lane left it open whether an end was held
    };

    static void RemoveOverlapping(std::vector<Entry>* lane, REFERENCE_TIME start,
                                  REFERENCE_TIME end);
    void Insert(Param* p, const std::vector<MP_ENVELOPE_SEGMENT>& segments);
    static void RebuildView(Param* p);
    AllowedValues Expect(DWORD index, const ClockRun& run);
    void ExpectInLane(Param* p, const ClockRun& run, REFERENCE_TIME at, AllowedValues* allowed);
    void ExpectInGap(Param* p, const std::vector<const Entry*>& ended, bool sameGap,
                     const ClockRun& run, REFERENCE_TIME at, AllowedValues* allowed);
    const Entry* Covering(const Param& p, REFERENCE_TIME at) const;
    const Entry* LastEnded(const Param& p, REFERENCE_TIME at) const;
    int BypassDecision(const AllowedValues& allowed, const ClockRun& run);

    Param params_[kSessionParamCount];
    bool streaming_ = false;
    uint64_t nextId_ = 1;
    int bypass_ = -1;
    // Where the last run left the clock, to tell a jump from playing on.
    REFERENCE_TIME lastTo_ = 0;
    bool ranBefore_ = false;
};

// The parameter's name, for messages.
const char* ParamName(DWORD index);
// A segment's curve at time t (in reference time units, not necessarily whole ones), from its
// definition: jump, sine and any unknown curve hold the start value.
double CurveValue(const MP_ENVELOPE_SEGMENT& s, double t);
// Clamped into the parameter's range, as every read for the filter does.
double ClampToRange(DWORD index, double value);
