#include "NativeSessionRunner.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "AutomationModel.h"
#include "SignalModel.h"
#include "StoreModel.h"
#include "platform/NullOwner.h"
#include "presets/PresetTable.h"
#include "stream/DirectGate.h"
#include "stream/StreamDriver.h"

namespace {

struct Filter {
    NullOwner owner;
    HRESULT created = E_FAIL;
    FilterDsp dsp{&owner, &created};
    StreamDriver driver{dsp};
    DirectGate gate{driver};
};

// An in-band format change goes through the driver's own operation where it has one...
template <typename Driver>
auto Adopt(Driver& driver, const WAVEFORMATEX& format, WORD validBits, int)
    -> decltype(driver.AdoptFormat(format, validBits)) {
    return driver.AdoptFormat(format, validBits);
}
// ...and otherwise through a stop and a start on the new record, which has the same effect.
template <typename Driver>
HRESULT Adopt(Driver& driver, const WAVEFORMATEX& format, WORD validBits, long) {
    driver.StoreFormat(format, validBits);
    driver.StopStreaming();
    return driver.StartStreaming();
}

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(hr));
    return text;
}

bool StatesAreZero(const DspCore& core) {
    for (const SvfState& s : core.states) {
        if (s.low != 0 || s.band != 0 || s.high != 0) return false;
    }
    return true;
}

// Silence in 8-bit PCM is 128; in every other format it is all zero bytes.
bool HasSignal(const std::vector<uint8_t>& bytes, WORD bits) {
    const uint8_t silent = bits == 8 ? 0x80 : 0;
    for (uint8_t b : bytes) {
        if (b != silent) return true;
    }
    return false;
}

bool AllFinite(const uint8_t* bytes, size_t samples, WORD bits) {
    for (size_t i = 0; i < samples; ++i) {
        double v;
        if (bits == 64) {
            std::memcpy(&v, bytes + i * 8, 8);
        } else {
            float x;
            std::memcpy(&x, bytes + i * 4, 4);
            v = x;
        }
        if (!std::isfinite(v)) return false;
    }
    return true;
}

double SampleAt(const uint8_t* at, WORD bits, bool floats) {
    if (bits == 8) return *at;
    if (bits == 16) {
        int16_t v;
        std::memcpy(&v, at, 2);
        return v;
    }
    if (bits == 64) {
        double v;
        std::memcpy(&v, at, 8);
        return v;
    }
    if (bits == 24)
        return int32_t(uint32_t(at[0]) << 8 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 24) / 256;
    if (floats) {
        float v;
        std::memcpy(&v, at, 4);
        return v;
    }
    int32_t v;
    std::memcpy(&v, at, 4);
    return v;
}

// Within the last-bit difference a ramp's rounding may leave. A sample near zero is the
// difference of much larger terms and carries their last-bit differences, so units count from
// 2^-12 of full scale, still far below the terms (one such sample, at 2e-6, was three of its own
// units apart).
bool Near(double a, double b, WORD bits, bool floats) {
    if (!floats) return std::fabs(a - b) <= 1;
    if (bits != 32) return false;
    const float larger = float(std::max({std::fabs(a), std::fabs(b), 0x1p-12}));
    const double ulp = double(std::nextafter(larger, INFINITY)) - double(larger);
    return std::fabs(a - b) <= 2 * ulp;
}

class Runner {
  public:
    Runner(const Session& session, SignalCoverage* compared)
        : session_(session), compared_(compared) {}

    std::string Run(bool trace) {
        if (f_.created != S_OK) return "the filter could not be created: " + Hex(f_.created);
        for (size_t i = 0; i < session_.steps.size() && failure_.empty(); ++i) {
            const SessionStep& step = session_.steps[i];
            Step(step);
            if (trace) Trace(i, step);
            if (!failure_.empty()) {
                return "step " + std::to_string(i) + " (" + DescribeStep(step) + "): " + failure_;
            }
        }
        if (pins_ || direct_) f_.driver.StopStreaming();
        return "";
    }

  private:
    MediaParamStore& Store() { return f_.dsp.Store(); }

    void Expect(bool ok, const std::string& what) {
        if (!ok && failure_.empty()) failure_ = what;
    }
    // Takes a check's finding: empty when it passed.
    void Note(const std::string& finding) { Expect(finding.empty(), finding); }

    void Step(const SessionStep& s) {
        ClockRun run;
        compareSignal_ = false;
        switch (s.kind) {
            case StepKind::Start:
                if (s.running || pins_) break;
                // An open direct session ends first, as its own Stop would.
                Expect(f_.gate.PinsStarting() == direct_,
                       "answer: the pins starting did not end the direct session");
                direct_ = false;
                f_.driver.StoreFormat(s.format);
                Expect(f_.driver.StartStreaming() == S_OK, "answer: streaming did not start");
                pins_ = true;
                model_.SetStreaming(true);
                Restart(s.format);
                run.snapshot = true;
                break;
            case StepKind::Stop:
                if (!pins_) break;
                Expect(f_.driver.StopStreaming() == S_OK, "answer: streaming did not stop");
                f_.gate.PinsStopped();
                pins_ = false;
                f_.driver.streamedSinceStart = FALSE;
                model_.SetStreaming(false);
                break;
            case StepKind::Flush:
                break;  // the next buffer carries the discontinuity and the new times
            case StepKind::EndOfStream:
                if (pins_) EndOfStream(s, &run);
                break;
            case StepKind::Buffer:
                if (pins_) Buffer(s, &run);
                break;
            case StepKind::FormatChange:
                if (pins_) {
                    const HRESULT hr = Adopt(f_.driver, s.format, s.validBits, 0);
                    Expect(hr == S_OK, "answer: the in-band format change answered " + Hex(hr));
                    Restart(s.format, s.validBits);
                    run.snapshot = true;
                } else if (!direct_) {
                    f_.driver.StoreFormat(s.format, s.validBits);
                }
                break;
            default:
                ValueStep(s);
                DirectStep(s, &run);
                break;
        }
        MP_DATA values[kSessionParamCount];
        for (DWORD i = 0; i < DWORD(kSessionParamCount); ++i)
            Store().GetParam(i, &values[i]);
        Note(model_.CheckValues(run, values));
        // A drain runs the clock over envelopes without filtering, and the changes it meets do
        // not reach the coefficients.
        if (s.kind == StepKind::EndOfStream && run.evaluated && !model_.NoSegmentUpTo(run.to))
            signalKnown_ = false;
        if (s.kind == StepKind::Buffer && pins_ && failure_.empty()) {
            const WAVEFORMATEX& f = f_.driver.Format();
            CheckClock(run, s.frames, f.nSamplesPerSec);
            CheckAudio(s.frames, f.nChannels, f.wBitsPerSample,
                       f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT);
            CheckSignal(s.frames, f.nChannels, f.wBitsPerSample,
                        f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT, f_.driver.ValidBits());
        } else if (s.kind == StepKind::DirectProcess && direct_ && failure_.empty()) {
            CheckClock(run, s.frames, directRate_);
            CheckAudio(s.frames, directChannels_, 32, true);
            CheckSignal(s.frames, directChannels_, 32, true);
        }
    }

    void ValueStep(const SessionStep& s) {
        switch (s.kind) {
            case StepKind::SetParam:
                Note(model_.SetParam(s.index, s.value, f_.dsp.SetParam(s.index, s.value)));
                break;
            case StepKind::ApplyPreset:
                if (s.preset < 0 || s.preset >= kPresetCount) break;  // refused by the face
                ApplyAll(kPresetTable[s.preset].values);
                break;
            case StepKind::SetAllParams:
                ApplyAll(s.values);
                break;
            case StepKind::AddEnvelope: {
                // A count of 0 still comes with a valid pointer.
                MP_ENVELOPE_SEGMENT none{};
                std::vector<MP_ENVELOPE_SEGMENT> copy = s.segments;
                MP_ENVELOPE_SEGMENT* first = copy.empty() ? &none : copy.data();
                const HRESULT hr = Store().AddEnvelope(s.index, DWORD(copy.size()), first);
                Note(model_.AddEnvelope(s.index, s.segments, hr));
                break;
            }
            case StepKind::FlushEnvelope: {
                const HRESULT hr = Store().FlushEnvelope(s.index, s.flushStart, s.flushEnd);
                Note(model_.FlushEnvelope(s.index, s.flushStart, s.flushEnd, hr));
                break;
            }
            default:
                break;
        }
    }

    // The values the store holds, when every one is a number the signal model can follow.
    bool Values(double values[kSessionParamCount]) const {
        for (DWORD i = 0; i < DWORD(kSessionParamCount); ++i) {
            values[i] = model_.Current(i);
            if (!std::isfinite(values[i])) return false;
        }
        return true;
    }

    // Streaming (re)starts from silence on coefficients designed from the values held: from here
    // the signal model follows the core, as long as no envelope is stored.
    void Restart(const WAVEFORMATEX& format, WORD validBits = 0) {
        double values[kSessionParamCount];
        signalKnown_ = Values(values);
        drifted_ = false;
        signal_.Restart(format, validBits, values);
    }

    // What the signal model makes of the input, to compare the output with, frame by frame along
    // the automation from the clock where it is; a discontinuity restarts the filter, so the
    // model follows again from there.
    void ExpectSignal(DWORD frames, bool restart, DWORD rate) {
        double values[kSessionParamCount];
        if (frames == 0) return;
        if (compared_) ++compared_->filtered;
        bool known = Values(values);
        LaneAutomation lanes[kSessionParamCount];
        const REFERENCE_TIME from = Store().Position();
        for (DWORD i = 0; i < DWORD(kSessionParamCount); ++i)
            known = model_.Automation(i, from, &lanes[i]) && known;
        if (known) AutomateBuffer(lanes, from, frames, rate, values, &automation_);
        if (!known || automation_.untracked) {
            signalKnown_ = false;
        } else if (signalKnown_ || (restart && automation_.values[4] < 0.5) ||
                   (!restart && TakeUpCore(values))) {
            if (restart) drifted_ = false;
            nearFrom_ = drifted_ ? 0 : automation_.firstMoving;
            drifted_ = drifted_ || automation_.firstMoving < frames;
            if (compared_ && automation_.firstMoving < frames) ++compared_->ramped;
            expected_ = input_;
            signal_.Run(expected_.data(), frames, automation_.values.data(), restart);
            signalKnown_ = true;
            compareSignal_ = true;
        }
    }

    // The model takes up the core's state where the core holds what the values design; the
    // sections may carry the core's last-bit differences on from there.
    bool TakeUpCore(const double values[kSessionParamCount]) {
        const DspCore& core = f_.dsp.Core();
        const CoefficientSet& c = core.coef;
        const SignalModel::Held held{c.freqCoef, c.damping,    c.wetGain,
                                     c.dryGain,  c.filterType, c.filterOrder};
        const auto states = [&core](int k, unsigned ch) -> const SvfState& {
            return core.states[StateIndex(k, int(ch))];
        };
        if (!signal_.Adopt(held, states, values)) return false;
        drifted_ = true;
        if (compared_) ++compared_->adopted;
        return true;
    }

    void ApplyAll(const MP_DATA values[kSessionParamCount]) {
        Expect(Store().SetAllParams(values) == S_OK, "answer: SetAllParams failed");
        f_.dsp.MarkParamsChanged();
        model_.SetAllParams(values);
    }

    void DirectStep(const SessionStep& s, ClockRun* run) {
        switch (s.kind) {
            case StepKind::DirectInit:
                if (!pins_) DirectInit(s, run);
                break;
            case StepKind::DirectProcess:
                if (pins_) {
                    DirectCallWhileStreaming(s);
                } else if (direct_) {
                    DirectProcess(s, run);
                }
                break;
            case StepKind::DirectDrain:
                if (direct_) DirectDrain(s, run);
                break;
            case StepKind::DirectRefresh:
                if (direct_) DirectRefresh(s, run);
                break;
            case StepKind::DirectStop:
                if (!direct_) break;
                Expect(f_.gate.Stop() == S_OK, "answer: the direct Stop failed");
                direct_ = false;
                model_.SetStreaming(false);
                break;
            default:
                break;
        }
    }

    void Buffer(const SessionStep& s, ClockRun* run);
    void EndOfStream(const SessionStep& s, ClockRun* run);
    void DirectInit(const SessionStep& s, ClockRun* run);
    void DirectProcess(const SessionStep& s, ClockRun* run);
    void DirectCallWhileStreaming(const SessionStep& s);
    void DirectDrain(const SessionStep& s, ClockRun* run);
    void DirectRefresh(const SessionStep& s, ClockRun* run);
    void CheckClock(const ClockRun& run, DWORD frames, DWORD rate);
    void CheckAudio(DWORD frames, UINT channels, WORD bits, bool floats);
    void CheckSignal(DWORD frames, UINT channels, WORD bits, bool floats, WORD validBits = 0);
    void Trace(size_t i, const SessionStep& step);

    const Session& session_;
    SignalCoverage* compared_;
    Filter f_;
    StoreModel model_;
    SignalModel signal_;
    BufferAutomation automation_;
    bool signalKnown_ = false;  // the model's sections and coefficients are the core's
    // A ramp has moved the coefficients since the filter last started from silence, so the
    // sections may carry a last-bit difference on; from frame nearFrom_ of this buffer on.
    bool drifted_ = false;
    DWORD nearFrom_ = 0;
    bool compareSignal_ = false;
    std::vector<uint8_t> expected_;
    bool pins_ = false;
    bool direct_ = false;
    UINT directChannels_ = 0;
    UINT directRate_ = 0;
    std::vector<uint8_t> input_, output_;
    std::string failure_;
};

void Runner::Buffer(const SessionStep& s, ClockRun* run) {
    const WAVEFORMATEX& format = f_.driver.Format();
    const size_t bytes = size_t(s.frames) * format.nBlockAlign;
    input_.assign(std::max<size_t>(bytes, 1), 0);
    FillSignal(format, s.frames, s.signalSeed, input_.data());
    output_ = input_;
    // As the media-sample side does: the sample's start time first, then the buffer in place.
    Store().SetSampleTimes(s.jump == TimeJump::Absent ? nullptr : &s.start);
    ExpectSignal(s.frames, s.discontinuity, format.nSamplesPerSec);
    run->from = Store().Position();
    f_.driver.streamedSinceStart = TRUE;
    DWORD done = 0;
    const HRESULT hr = f_.driver.RunBuffer(output_.data(), s.frames,
                                           s.discontinuity ? kBlockRestart : kBlockContinue, &done);
    run->to = Store().Position();
    run->evaluated = s.frames > 0;
    run->snapshot = true;
    Expect(hr == S_OK, "answer: the buffer answered " + Hex(hr));
    Expect(done == s.frames, "frames: " + std::to_string(done) + " came back");
}

// One buffer in drain mode, as the filter sends at the end of the stream; it may be too small
// for a single frame.
void Runner::EndOfStream(const SessionStep& s, ClockRun* run) {
    if (!f_.driver.streamedSinceStart) return;
    const DWORD frames = s.bytes / f_.driver.Format().nBlockAlign;
    output_.assign(std::max<size_t>(s.bytes, 1), 0);
    f_.driver.drainingAtEnd = TRUE;
    run->from = Store().Position();
    DWORD done = 7;
    const HRESULT hr = f_.driver.RunBuffer(output_.data(), frames, kBlockDrain, &done);
    run->to = Store().Position();
    run->evaluated = frames > 0;
    f_.driver.drainingAtEnd = FALSE;
    f_.driver.streamedSinceStart = FALSE;
    // Drain mode produces nothing and says so, or the end-of-stream loop would go on.
    Expect(hr == S_FALSE, "drain: it answered " + Hex(hr));
    Expect(done == 0, "drain: it produced " + std::to_string(done) + " frames");
}

void Runner::DirectInit(const SessionStep& s, ClockRun* run) {
    const HRESULT hr = f_.gate.Init(s.channels, s.rate);
    run->snapshot = true;
    const bool usual = s.channels >= 1 && s.channels <= 32 && s.rate >= 1 && s.rate <= 1000000;
    Expect(!usual || hr == S_OK, "answer: Init answered " + Hex(hr));
    Expect(s.channels != 0 && s.rate != 0 ? true : FAILED(hr),
           "answer: Init accepted nothing to run");
    if (FAILED(hr)) return;
    direct_ = true;
    directChannels_ = s.channels;
    directRate_ = s.rate;
    model_.SetStreaming(true);
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    format.wBitsPerSample = 32;
    format.nChannels = WORD(s.channels);
    format.nSamplesPerSec = s.rate;
    Restart(format);
}

void Runner::DirectProcess(const SessionStep& s, ClockRun* run) {
    const size_t samples = size_t(s.frames) * directChannels_;
    input_.assign(std::max<size_t>(samples, 1) * sizeof(float), 0);
    FillFloatSignal(directChannels_, s.frames, s.signalSeed,
                    reinterpret_cast<float*>(input_.data()));
    output_ = input_;
    ExpectSignal(s.frames, false, directRate_);
    run->from = Store().Position();
    const HRESULT hr =
        f_.driver.Process(reinterpret_cast<float*>(output_.data()), s.frames, s.flags);
    run->to = Store().Position();
    run->evaluated = s.frames > 0;
    run->snapshot = true;
    Expect(hr == S_OK, "answer: Process answered " + Hex(hr));
}

// Refused whole: the working buffers belong to the pins, and the host's data stays as it was.
void Runner::DirectCallWhileStreaming(const SessionStep& s) {
    std::vector<float> buffer(std::max<size_t>(size_t(s.frames) * 2, 1));
    FillFloatSignal(2, s.frames, s.signalSeed, buffer.data());
    const std::vector<float> before = buffer;
    const HRESULT hr = f_.gate.Process(buffer.data(), s.frames, s.flags);
    Expect(hr == VFW_E_WRONG_STATE && buffer == before,
           "answer: a direct call while the pins stream answered " + Hex(hr));
}

void Runner::DirectDrain(const SessionStep& s, ClockRun* run) {
    std::vector<float> buffer(std::max<size_t>(size_t(s.frames) * directChannels_, 1));
    UINT frames = s.frames;
    const HRESULT hr = f_.driver.Drain(buffer.data(), &frames);
    run->snapshot = true;
    Expect(hr == S_FALSE && frames == 0, "drain: the direct Drain answered " + Hex(hr) + " with " +
                                             std::to_string(frames) + " frames");
}

void Runner::DirectRefresh(const SessionStep& s, ClockRun* run) {
    const HRESULT hr = f_.driver.Refresh(s.reset);
    run->snapshot = true;
    if (s.reset) Restart(f_.driver.Format(), f_.driver.ValidBits());
    Expect(SUCCEEDED(hr), "answer: Refresh answered " + Hex(hr));
    Expect(!s.reset || Store().Position() == 0, "clock: Refresh(TRUE) left the clock off 0");
}

// The clock moves by each stretch's span while the frames run are rounded per stretch, so the two
// may part by half a frame per stretch, and stretches end only at change points.
void Runner::CheckClock(const ClockRun& run, DWORD frames, DWORD rate) {
    if (frames == 0 || rate == 0 || run.to == std::numeric_limits<REFERENCE_TIME>::max()) return;
    const double span = double(frames) * 1e7 / rate;
    const REFERENCE_TIME reach = std::max(run.to, run.from + REFERENCE_TIME(span + 0.5));
    const size_t points = model_.ChangePointsIn(run.from, reach);
    const double covered = double(run.to - run.from) * rate * 1e-7;
    char text[160];
    std::snprintf(text, sizeof text,
                  "clock: it moved over %.1f frames for %u frames run (%u change points)", covered,
                  unsigned(frames), unsigned(points));
    Expect(std::fabs(covered - double(frames)) <= 0.5 * double(points + 1) + 1e-6, text);
}

// Finite output for finite input; with Bypass on throughout, the buffer comes back as it went in
// and the filter restarts from silence; with it off, the filter ran.
void Runner::CheckAudio(DWORD frames, UINT channels, WORD bits, bool floats) {
    const size_t samples = size_t(frames) * channels;
    if (floats)
        Expect(AllFinite(output_.data(), samples, bits), "finite: the output is not finite");
    const int bypass = model_.BypassThroughout();
    const bool untouched = std::memcmp(input_.data(), output_.data(), input_.size()) == 0 &&
                           StatesAreZero(f_.dsp.Core());
    if (bypass == 1) Expect(untouched, "bypass: it was on, but the filter ran");
    if (bypass == 0 && channels >= 1 && channels <= 32 && HasSignal(input_, bits)) {
        Expect(!untouched, "bypass: it was off, but the buffer was passed through");
    }
}

// Bit for bit with the signal model, except 64-bit floats: within 1e-9 of full scale. A ramp
// moves the core's values by forward differences from each stretch start, the model's are the
// curve at each frame: the coefficients may part in the last bit, which over 3000 sessions moved
// 30 of 24,784 compared buffers, every one by one unit in the last place of a 32-bit float
// sample or one step of 32-bit PCM. From a ramp's first frame until the filter next starts from
// silence, 32-bit floats may therefore differ by two units in the last place and PCM by a step.
void Runner::CheckSignal(DWORD frames, UINT channels, WORD bits, bool floats, WORD validBits) {
    if (!compareSignal_) return;
    if (compared_) {
        ++compared_->buffers;
        compared_->frames += frames;
    }
    const size_t size = bits / 8, samples = size_t(frames) * channels;
    for (size_t i = 0; i < samples; ++i) {
        const uint8_t* got = output_.data() + i * size;
        const uint8_t* want = expected_.data() + i * size;
        if (std::memcmp(got, want, size) == 0) continue;
        // PCM with fewer valid bits than its container steps by the unused bits' weight.
        const double step = !floats && validBits ? std::ldexp(1.0, bits - validBits) : 1.0;
        const double a = SampleAt(got, bits, floats) / step,
                     b = SampleAt(want, bits, floats) / step;
        if (floats && bits == 64 && std::fabs(a - b) <= 1e-9) continue;
        if (i / channels >= nearFrom_ && Near(a, b, bits, floats)) continue;
        char text[160];
        std::snprintf(text, sizeof text,
                      "signal: frame %u channel %u differs from the model's (%u-bit %s; %.17g "
                      "against %.17g)",
                      unsigned(i / channels), unsigned(i % channels), unsigned(bits),
                      floats ? "float" : "PCM", a, b);
        Expect(false, text);
        return;
    }
}

void Runner::Trace(size_t i, const SessionStep& step) {
    std::printf("%4u %s\n     clock %" PRId64 ":", unsigned(i), DescribeStep(step).c_str(),
                int64_t(Store().Position()));
    for (DWORD k = 0; k < DWORD(kSessionParamCount); ++k) {
        MP_DATA v;
        Store().GetParam(k, &v);
        std::printf(" %s %.9g", ParamName(k), double(v));
    }
    std::printf("%s%s\n", failure_.empty() ? "" : "\n     FAILED: ", failure_.c_str());
}

}  // namespace

std::string RunNativeSession(const Session& session, bool trace, SignalCoverage* compared) {
    return Runner(session, compared).Run(trace);
}
