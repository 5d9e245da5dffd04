// Host sessions as data: a seeded list of the calls a real host makes on the filter (streaming on
// the pins or on the direct path, parameter and preset calls, automation lanes), so that one
// executor runs them on the portable core and another through the DLL, step for step.
//
// The generator uses its own integer PRNG and no library distribution, so a seed gives the same
// steps in every build (native and MinGW alike).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"

constexpr int kSessionParamCount = 6;

// What a host reads from the parameter descriptions: the range of each parameter, in index order
// (Frequency, Resonance, Filter Type, Filter Order, Bypass, Wet/Dry).
struct HostParamRange {
    MP_DATA min;
    MP_DATA max;
};
extern const HostParamRange kHostParamRanges[kSessionParamCount];

enum class StepKind : uint8_t {
    // The pin path.
    Start,         // stopped to paused (`running` false) or paused to running (`running` true)
    Stop,          // back to stopped
    Flush,         // a seek: the next buffer is discontinuous and its times restart
    EndOfStream,   // one drain buffer of `bytes` bytes, often too small for a frame
    Buffer,        // `frames` frames, with or without a start time, maybe discontinuous
    FormatChange,  // an accepted format arriving in band (stored only, when stopped)
    // Values and automation, on either path and while stopped.
    SetParam,
    ApplyPreset,
    SetAllParams,
    AddEnvelope,
    FlushEnvelope,
    // The direct float-buffer path.
    DirectInit,
    DirectProcess,
    DirectDrain,
    DirectRefresh,
    DirectStop,
};

// How a buffer's start time was chosen.
enum class TimeJump : uint8_t { Continue, Forward, Backward, ToZero, Absent };

struct SessionStep {
    StepKind kind = StepKind::Buffer;
    bool running = false;  // Start
    DWORD frames = 0;      // Buffer, DirectProcess, DirectDrain
    DWORD bytes = 0;       // EndOfStream
    TimeJump jump = TimeJump::Continue;
    REFERENCE_TIME start = 0;    // Buffer, when `jump` is not Absent
    bool discontinuity = false;  // Buffer
    WAVEFORMATEX format{};       // Start (the connection's format), FormatChange
    WORD validBits = 0;  // FormatChange: fewer bits than the container carry the sample; 0: all
    DWORD index = 0;     // SetParam, AddEnvelope, FlushEnvelope
    MP_DATA value = 0;   // SetParam
    LONG preset = 0;     // ApplyPreset
    MP_DATA values[kSessionParamCount] = {};      // SetAllParams
    std::vector<MP_ENVELOPE_SEGMENT> segments;    // AddEnvelope; may be empty (count 0)
    REFERENCE_TIME flushStart = 0, flushEnd = 0;  // FlushEnvelope
    UINT channels = 0, rate = 0;                  // DirectInit
    UINT flags = 0;                               // DirectProcess
    BOOL reset = FALSE;                           // DirectRefresh
    uint64_t signalSeed = 0;                      // Buffer, DirectProcess: what FillSignal puts in
};

struct Session {
    uint64_t seed = 0;
    std::vector<SessionStep> steps;
};

Session GenerateSession(uint64_t seed);

// The seed of session number `n` of a run started from `base`.
uint64_t SessionSeed(uint64_t base, uint64_t n);

// A finite signal at about a quarter of full scale, the same bits in every build.
void FillSignal(const WAVEFORMATEX& format, DWORD frames, uint64_t seed, void* out);
void FillFloatSignal(UINT channels, UINT frames, uint64_t seed, float* out);

// One line naming a step and its arguments, for failure reports and traces.
std::string DescribeStep(const SessionStep& step);

// A digest of every field of every step: equal digests mean equal sessions.
uint64_t SessionDigest(const Session& session);

// The small PRNG behind everything above (SplitMix64): plain 64-bit integer arithmetic.
class SessionRandom {
  public:
    explicit SessionRandom(uint64_t seed) : state_(seed) {}
    uint64_t Next();
    // Uniform in [0, n), n > 0; the modulo bias is irrelevant here.
    uint64_t Below(uint64_t n) { return Next() % n; }
    int64_t Between(int64_t lo, int64_t hi) { return lo + int64_t(Below(uint64_t(hi - lo) + 1)); }
    bool Percent(unsigned p) { return Below(100) < p; }
    bool PerMille(unsigned p) { return Below(1000) < p; }
    // Uniform in [0, 1) from the top 53 bits.
    double Unit() { return double(Next() >> 11) * 0x1.0p-53; }
    double Real(double lo, double hi) { return lo + (hi - lo) * Unit(); }

  private:
    uint64_t state_;
};
