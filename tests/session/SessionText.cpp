// Steps as text for failure reports, and as a digest for comparing builds.
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "SessionScript.h"

namespace {

std::string Format(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

std::string FormatText(const WAVEFORMATEX& f, WORD validBits) {
    return Format("%s%u%s x%u at %" PRIu32 " Hz", f.wFormatTag == WAVE_FORMAT_PCM ? "PCM" : "float",
                  unsigned(f.wBitsPerSample),
                  validBits ? Format(" (%u valid)", unsigned(validBits)).c_str() : "",
                  unsigned(f.nChannels), uint32_t(f.nSamplesPerSec));
}

DWORD CurveOf(const MP_ENVELOPE_SEGMENT& s) {
    DWORD curve;
    std::memcpy(&curve, &s.iCurve, sizeof curve);
    return curve;
}

std::string SegmentText(const MP_ENVELOPE_SEGMENT& s) {
    return Format("[%" PRId64 ", %" PRId64 ") %g->%g curve %#" PRIx32, int64_t(s.rtStart),
                  int64_t(s.rtEnd), double(s.valStart), double(s.valEnd), uint32_t(CurveOf(s)));
}

const char* JumpText(TimeJump jump) {
    switch (jump) {
        case TimeJump::Continue:
            return "continuing";
        case TimeJump::Forward:
            return "jumped forward";
        case TimeJump::Backward:
            return "jumped back";
        case TimeJump::ToZero:
            return "back to 0";
        case TimeJump::Absent:
            return "absent";
    }
    return "?";
}

// FNV-1a over the fields' values, never over struct bytes with their padding.
class Digest {
  public:
    template <typename T>
    void Add(T value) {
        unsigned char bytes[sizeof value];
        std::memcpy(bytes, &value, sizeof value);
        for (unsigned char b : bytes) {
            hash_ = (hash_ ^ b) * 0x100000001B3ull;
        }
    }
    uint64_t Value() const { return hash_; }

  private:
    uint64_t hash_ = 0xCBF29CE484222325ull;
};

}  // namespace

std::string DescribeStep(const SessionStep& s) {
    switch (s.kind) {
        case StepKind::Start:
            return s.running ? "Run" : "Pause from stopped, " + FormatText(s.format, 0);
        case StepKind::Stop:
            return "Stop";
        case StepKind::Flush:
            return "Flush";
        case StepKind::EndOfStream:
            return Format("EndOfStream, drain buffer of %" PRIu32 " bytes", uint32_t(s.bytes));
        case StepKind::Buffer:
            return Format("Buffer of %" PRIu32 " frames, time %" PRId64 " (%s)%s",
                          uint32_t(s.frames), int64_t(s.start), JumpText(s.jump),
                          s.discontinuity ? ", discontinuous" : "");
        case StepKind::FormatChange:
            return "FormatChange to " + FormatText(s.format, s.validBits);
        case StepKind::SetParam:
            return Format("SetParam(%" PRIu32 ", %g)", uint32_t(s.index), double(s.value));
        case StepKind::ApplyPreset:
            return Format("ApplyPreset(%ld)", long(s.preset));
        case StepKind::SetAllParams:
            return Format("SetAllParams(%g, %g, %g, %g, %g, %g)", double(s.values[0]),
                          double(s.values[1]), double(s.values[2]), double(s.values[3]),
                          double(s.values[4]), double(s.values[5]));
        case StepKind::AddEnvelope: {
            std::string text = Format("AddEnvelope(%#" PRIx32 ", %" PRIu64 " segments)",
                                      uint32_t(s.index), uint64_t(s.segments.size()));
            for (size_t k = 0; k < s.segments.size() && k < 12; ++k)
                text += (k ? "; " : ": ") + SegmentText(s.segments[k]);
            if (s.segments.size() > 12) text += "; ...";
            return text;
        }
        case StepKind::FlushEnvelope:
            return Format("FlushEnvelope(%#" PRIx32 ", %" PRId64 ", %" PRId64 ")",
                          uint32_t(s.index), int64_t(s.flushStart), int64_t(s.flushEnd));
        case StepKind::DirectInit:
            return Format("Init(%u channels, %u Hz)", s.channels, s.rate);
        case StepKind::DirectProcess:
            return Format("Process(%" PRIu32 " frames, flags %u)", uint32_t(s.frames), s.flags);
        case StepKind::DirectDrain:
            return Format("Drain(%" PRIu32 " frames)", uint32_t(s.frames));
        case StepKind::DirectRefresh:
            return s.reset ? "Refresh(TRUE)" : "Refresh(FALSE)";
        case StepKind::DirectStop:
            return "Stop (direct)";
    }
    return "?";
}

uint64_t SessionDigest(const Session& session) {
    Digest d;
    d.Add(session.seed);
    for (const SessionStep& s : session.steps) {
        d.Add(uint8_t(s.kind));
        d.Add(uint8_t(s.running));
        d.Add(s.frames);
        d.Add(s.bytes);
        d.Add(uint8_t(s.jump));
        d.Add(s.start);
        d.Add(uint8_t(s.discontinuity));
        d.Add(s.format.wFormatTag);
        d.Add(s.format.nChannels);
        d.Add(s.format.nSamplesPerSec);
        d.Add(s.format.wBitsPerSample);
        d.Add(s.validBits);
        d.Add(s.index);
        d.Add(s.value);
        d.Add(s.preset);
        for (MP_DATA v : s.values)
            d.Add(v);
        d.Add(uint64_t(s.segments.size()));
        for (const MP_ENVELOPE_SEGMENT& seg : s.segments) {
            d.Add(seg.rtStart);
            d.Add(seg.rtEnd);
            d.Add(seg.valStart);
            d.Add(seg.valEnd);
            d.Add(CurveOf(seg));
            d.Add(DWORD(seg.flags));
        }
        d.Add(s.flushStart);
        d.Add(s.flushEnd);
        d.Add(s.channels);
        d.Add(s.rate);
        d.Add(s.flags);
        d.Add(s.reset);
        d.Add(s.signalSeed);
    }
    return d.Value();
}
