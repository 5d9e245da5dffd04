#include "SessionScript.h"

#include "stream/WaveFormatCheck.h"

#include <cstring>
#include <utility>

#include "SessionLanes.h"

const HostParamRange kHostParamRanges[kSessionParamCount] = {
    {20.0f, 20000.0f}, {0.0f, 100.0f}, {0.0f, 2.0f}, {0.0f, 1.0f}, {0.0f, 1.0f}, {0.0f, 100.0f}};

uint64_t SessionRandom::Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint64_t SessionSeed(uint64_t base, uint64_t n) {
    SessionRandom r(base ^ (n * 0xD1B54A32D192ED03ull));
    return r.Next();
}

namespace {

constexpr REFERENCE_TIME kSecond = 10000000;
constexpr DWORD kRates[] = {8000, 11025, 22050, 44100, 48000, 96000};
constexpr WORD kSampleTypes[][2] = {{WAVE_FORMAT_PCM, 8},
                                    {WAVE_FORMAT_PCM, 16},
                                    {WAVE_FORMAT_PCM, 32},
                                    {WAVE_FORMAT_IEEE_FLOAT, 32},
                                    {WAVE_FORMAT_IEEE_FLOAT, 64}};

// Buffer lengths as hosts send them: mostly a few thousand frames, now and then tiny or empty.
DWORD BufferFrames(SessionRandom& r) {
    const uint64_t pick = r.Below(100);
    if (pick < 4) return 0;
    if (pick < 12) return DWORD(r.Between(1, 16));
    if (pick < 42) return DWORD(r.Between(17, 1024));
    return DWORD(r.Between(1025, 9000));
}

class Generator {
  public:
    explicit Generator(uint64_t seed) : r_(seed), lanes_(r_) { session_.seed = seed; }

    Session Run() {
        const bool bigLane = r_.PerMille(4);
        const int runs = int(r_.Between(1, 3));
        bigLaneAt_ = bigLane ? int(r_.Between(0, runs - 1)) : -1;
        for (int k = int(r_.Between(0, 3)); k > 0; --k)
            ValueStep();
        for (int run = 0; run < runs; ++run) {
            wantBigLane_ = run == bigLaneAt_;
            if (r_.Percent(70)) {
                PinRun();
            } else {
                DirectRun(run + 1 < runs);
            }
            for (int k = int(r_.Between(0, 2)); k > 0; --k)
                ValueStep();
        }
        return std::move(session_);
    }

  private:
    SessionStep& Add(StepKind kind) {
        session_.steps.emplace_back();
        session_.steps.back().kind = kind;
        return session_.steps.back();
    }

    REFERENCE_TIME Duration(uint64_t frames) const {
        return REFERENCE_TIME(frames * uint64_t(kSecond) / rate_);
    }
    REFERENCE_TIME HostTime() const { return origin_ + Duration(framesSinceOrigin_); }

    WAVEFORMATEX AcceptedFormat() {
        const WORD* type = kSampleTypes[r_.Below(5)];
        return MakeStoredFormat(type[0], WORD(r_.Between(1, 2)), kRates[r_.Below(6)], type[1]);
    }

    void PinRun() {
        const WAVEFORMATEX format = AcceptedFormat();
        rate_ = format.nSamplesPerSec;
        blockAlign_ = format.nBlockAlign;
        origin_ = r_.Percent(75) ? 0 : r_.Between(0, 30 * kSecond);
        framesSinceOrigin_ = 0;
        SessionStep& start = Add(StepKind::Start);
        start.format = format;
        if (r_.Percent(70)) Add(StepKind::Start).running = true;
        nextDiscontinuous_ = r_.Percent(30);
        for (int k = int(r_.Between(6, 30)); k > 0; --k) {
            const uint64_t pick = r_.Below(100);
            if (pick < 55) {
                Buffer();
            } else if (pick < 85) {
                ValueStep();
            } else if (pick < 90) {
                Seek();
            } else if (pick < 95) {
                EndOfStream();
                if (r_.Percent(30)) break;  // the host stops at the end
                if (r_.Percent(85)) Seek();
            } else if (r_.Percent(60)) {
                FormatChange();
            } else {
                DirectCallWhileStreaming();
            }
        }
        Add(StepKind::Stop);
    }

    void Buffer() {
        SessionStep& s = Add(StepKind::Buffer);
        s.frames = BufferFrames(r_);
        s.signalSeed = r_.Next();
        const uint64_t pick = r_.Below(100);
        if (nextDiscontinuous_) {
            s.discontinuity = true;
            s.jump = TimeJump::Continue;
            nextDiscontinuous_ = false;
        } else if (pick < 72) {
            s.jump = TimeJump::Continue;
        } else if (pick < 80) {
            s.jump = TimeJump::Forward;
            origin_ = HostTime() + r_.Between(1, 20 * kSecond);
            framesSinceOrigin_ = 0;
        } else if (pick < 87) {
            s.jump = TimeJump::Backward;
            origin_ = HostTime() - r_.Between(1, 20 * kSecond);
            if (origin_ < 0 && r_.Percent(80)) origin_ = 0;
            framesSinceOrigin_ = 0;
        } else if (pick < 92) {
            s.jump = TimeJump::ToZero;
            origin_ = 0;
            framesSinceOrigin_ = 0;
        } else {
            s.jump = TimeJump::Absent;
        }
        if (r_.Percent(4)) s.discontinuity = true;
        s.start = s.jump == TimeJump::Absent ? 0 : HostTime();
        framesSinceOrigin_ += s.frames;
        now_ = HostTime();
    }

    void Seek() {
        Add(StepKind::Flush);
        origin_ = r_.Percent(80) ? 0 : r_.Between(0, 30 * kSecond);
        framesSinceOrigin_ = 0;
        nextDiscontinuous_ = true;
        now_ = origin_;
    }

    void EndOfStream() {
        SessionStep& s = Add(StepKind::EndOfStream);
        const uint64_t pick = r_.Below(100);
        if (pick < 35 || blockAlign_ < 2) {
            s.bytes = pick < 35 ? 0 : DWORD(r_.Between(0, 65536));
        } else if (pick < 70) {
            s.bytes = DWORD(r_.Between(1, blockAlign_ - 1));
        } else {
            s.bytes = DWORD(r_.Between(blockAlign_, 65536));
        }
    }

    // A host calling the direct path at the wrong moment, from another thread of its own.
    void DirectCallWhileStreaming() {
        SessionStep& s = Add(StepKind::DirectProcess);
        s.frames = BufferFrames(r_);
        s.signalSeed = r_.Next();
    }

    // What a decoder hands on mid-stream: any of the formats a connection starts with, or
    // surround, packed 24-bit, or PCM whose valid bits are fewer than its container.
    void FormatChange() {
        SessionStep& s = Add(StepKind::FormatChange);
        s.format = AcceptedFormat();
        if (r_.Percent(50)) {
            constexpr WORD kChannels[] = {1, 2, 3, 6, 8, 32};
            constexpr WORD kWide[][2] = {
                {WAVE_FORMAT_PCM, 24}, {WAVE_FORMAT_PCM, 32}, {WAVE_FORMAT_IEEE_FLOAT, 32}};
            const WORD* type = kWide[r_.Below(3)];
            s.format =
                MakeStoredFormat(type[0], kChannels[r_.Below(6)], s.format.nSamplesPerSec, type[1]);
            if (type[0] == WAVE_FORMAT_PCM && r_.Percent(50))
                s.validBits = WORD(r_.Between(16, type[1] - 1));
        }
        origin_ = HostTime();
        framesSinceOrigin_ = 0;
        rate_ = s.format.nSamplesPerSec;
        blockAlign_ = s.format.nBlockAlign;
    }

    // A host may leave its direct session open when it moves on: the pins starting then end it.
    void DirectRun(bool more) {
        DirectInit();
        for (int k = int(r_.Between(6, 30)); k > 0; --k) {
            const uint64_t pick = r_.Below(100);
            if (pick < 55) {
                SessionStep& s = Add(StepKind::DirectProcess);
                s.frames = BufferFrames(r_);
                s.flags = r_.Percent(20) ? 1 : 0;
                s.signalSeed = r_.Next();
                now_ += Duration(s.frames);
            } else if (pick < 82) {
                ValueStep();
            } else if (pick < 90) {
                SessionStep& s = Add(StepKind::DirectRefresh);
                s.reset = r_.Percent(40) ? TRUE : FALSE;
                if (s.reset) now_ = 0;
            } else if (pick < 96) {
                Add(StepKind::DirectDrain).frames = DWORD(r_.Between(0, 4096));
            } else {
                DirectInit();
            }
        }
        if (!more || r_.Percent(70)) Add(StepKind::DirectStop);
    }

    void DirectInit() {
        SessionStep& s = Add(StepKind::DirectInit);
        if (r_.Percent(92)) {
            s.channels = UINT(r_.Between(1, 2));
            s.rate = kRates[r_.Below(6)];
        } else {
            constexpr UINT kOddChannels[] = {0, 1, 2, 3, 8};
            constexpr UINT kOddRates[] = {0, 1, 1000000, 0xFFFFFFFFu, 44100};
            s.channels = kOddChannels[r_.Below(5)];
            s.rate = kOddRates[r_.Below(5)];
        }
        if (s.channels > 0 && s.rate > 0 && s.rate <= 1000000) rate_ = s.rate;
    }

    // A call on values or automation, as a host or its user makes them at any time.
    void ValueStep() {
        const uint64_t pick = r_.Below(100);
        if (pick < 30) {
            SessionStep& s = Add(StepKind::SetParam);
            lanes_.SetParamArguments(&s.index, &s.value);
        } else if (pick < 38) {
            SessionStep& s = Add(StepKind::ApplyPreset);
            constexpr LONG kOutside[] = {-1, 18, 1000, INT32_MIN};
            s.preset = r_.Percent(85) ? LONG(r_.Below(18)) : kOutside[r_.Below(4)];
        } else if (pick < 44) {
            SessionStep& s = Add(StepKind::SetAllParams);
            for (int i = 0; i < kSessionParamCount; ++i)
                s.values[i] = lanes_.Value(DWORD(i), r_.Percent(80));
        } else if (pick < 84) {
            SessionStep& s = Add(StepKind::AddEnvelope);
            s.index = lanes_.EnvelopeIndex();
            if (wantBigLane_ && s.index < DWORD(kSessionParamCount)) {
                wantBigLane_ = false;
                lanes_.BigLane(s.index, now_, &s.segments);
            } else if (!r_.Percent(3)) {
                lanes_.Lane(s.index, now_, &s.segments);
            }
        } else {
            SessionStep& s = Add(StepKind::FlushEnvelope);
            s.index = lanes_.EnvelopeIndex();
            lanes_.FlushRange(now_, &s.flushStart, &s.flushEnd);
        }
    }

    SessionRandom r_;
    SessionLanes lanes_;
    Session session_;
    DWORD rate_ = 44100;
    WORD blockAlign_ = 4;
    REFERENCE_TIME origin_ = 0;
    uint64_t framesSinceOrigin_ = 0;
    REFERENCE_TIME now_ = 0;  // where the filter's clock is about to be
    bool nextDiscontinuous_ = false;
    int bigLaneAt_ = -1;
    bool wantBigLane_ = false;
};

}  // namespace

Session GenerateSession(uint64_t seed) {
    return Generator(seed).Run();
}

// Noise at a quarter of full scale from 24 random bits, in integer arithmetic so that every build
// writes the same bytes.
void FillSignal(const WAVEFORMATEX& format, DWORD frames, uint64_t seed, void* out) {
    SessionRandom r(seed);
    BYTE* at = static_cast<BYTE*>(out);
    const size_t samples = size_t(frames) * format.nChannels;
    for (size_t i = 0; i < samples; ++i) {
        const int32_t u = int32_t(r.Next() >> 40) - (1 << 23);  // [-2^23, 2^23)
        if (format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT && format.wBitsPerSample == 64) {
            const double v = double(u) * 0x1p-25;
            std::memcpy(at + i * 8, &v, 8);
        } else if (format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
            const float v = float(u) * 0x1p-25f;
            std::memcpy(at + i * 4, &v, 4);
        } else if (format.wBitsPerSample == 8) {
            at[i] = BYTE(128 + u / (1 << 18));
        } else if (format.wBitsPerSample == 16) {
            const int16_t v = int16_t(u / (1 << 10));
            std::memcpy(at + i * 2, &v, 2);
        } else if (format.wBitsPerSample == 24) {
            const uint32_t v = uint32_t(u / 4);
            at[i * 3] = BYTE(v);
            at[i * 3 + 1] = BYTE(v >> 8);
            at[i * 3 + 2] = BYTE(v >> 16);
        } else {
            const int32_t v = u * (1 << 6);
            std::memcpy(at + i * 4, &v, 4);
        }
    }
}

void FillFloatSignal(UINT channels, UINT frames, uint64_t seed, float* out) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    f.wBitsPerSample = 32;
    f.nChannels = WORD(channels);
    FillSignal(f, frames, seed, out);
}
