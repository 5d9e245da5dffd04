// Host sessions through the DLL under Wine: each pin run streams through a real graph fed by the
// push source, with the host's calls made between samples on the streaming thread, and each
// direct run goes through IDirectProcess. The portable core replays the same session beside it,
// and the two must agree on every answer, every output bit and every parameter value after
// every step. The native session test checks that core against the store model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "SessionScript.h"
#include "filter/FilterDll.h"
#include "platform/NullOwner.h"
#include "presets/PresetTable.h"
#include "stream/StreamDriver.h"
#include "tools/graph/AudioGraph.h"
#include "tools/graph/PushSource.h"

namespace {

constexpr DWORD kHangMs = 60000;

bool IsValueStep(StepKind k) {
    return k == StepKind::SetParam || k == StepKind::ApplyPreset || k == StepKind::SetAllParams ||
           k == StepKind::AddEnvelope || k == StepKind::FlushEnvelope;
}

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(hr));
    return text;
}

std::vector<uint8_t> FormatBlock(const WAVEFORMATEX& f) {
    std::vector<uint8_t> b(sizeof f);
    std::memcpy(b.data(), &f, sizeof f);
    return b;
}

bool AllFinite(const std::vector<uint8_t>& bytes, const WAVEFORMATEX& f) {
    if (f.wFormatTag != WAVE_FORMAT_IEEE_FLOAT) return true;
    for (size_t at = 0; at + f.wBitsPerSample / 8 <= bytes.size(); at += f.wBitsPerSample / 8) {
        double v;
        if (f.wBitsPerSample == 64) {
            std::memcpy(&v, &bytes[at], 8);
        } else {
            float x;
            std::memcpy(&x, &bytes[at], 4);
            v = x;
        }
        if (!std::isfinite(v)) return false;
    }
    return true;
}

// The portable core as the filter object holds it, driven as its media-sample side does.
struct Core {
    NullOwner owner;
    HRESULT created = E_FAIL;
    FilterDsp dsp{&owner, &created};
    StreamDriver driver{dsp};
    bool directOpen = false;
};

class SessionReplay {
  public:
    SessionReplay(FilterDll& dll, const Session& session) : dll_(dll), session_(session) {}

    // Empty when DLL and core agreed all along, else where they parted.
    std::string Run() {
        if (core_.created != S_OK || !OpenFilter()) return "the filter could not be created";
        size_t i = 0;
        while (i < session_.steps.size() && failure_.empty()) {
            const SessionStep& s = session_.steps[i];
            if (s.kind == StepKind::Start && !s.running) {
                i = PinRun(i);
                continue;
            }
            step_ = i;
            if (IsValueStep(s.kind)) {
                ValueStep(s);
            } else {
                DirectStep(s);
            }
            CompareValues();
            ++i;
        }
        CloseFilter();
        return failure_;
    }

  private:
    void Fail(const std::string& what) {
        if (!failure_.empty()) return;
        failure_ = "step " + std::to_string(step_) + " (" + DescribeStep(session_.steps[step_]) +
                   "): " + what;
    }
    void Same(HRESULT dll, HRESULT core, const char* what) {
        if (dll != core) Fail(std::string(what) + ": DLL " + Hex(dll) + ", core " + Hex(core));
    }

    bool OpenFilter() {
        if (FAILED(dll_.Create(IID_IBaseFilter, &filter_))) return false;
        filter_->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params_));
        filter_->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings_));
        filter_->QueryInterface(IID_IFilterPresets, reinterpret_cast<void**>(&presets_));
        filter_->QueryInterface(IID_IDirectProcess, reinterpret_cast<void**>(&direct_));
        // A new filter starts from preset row 0.
        core_.dsp.Store().SetAllParams(kPresetTable[0].values);
        core_.dsp.MarkParamsChanged();
        return params_ && settings_ && presets_ && direct_;
    }
    void CloseFilter() {
        for (IUnknown* face : std::vector<IUnknown*>{params_, settings_, presets_, direct_})
            if (face) face->Release();
        if (filter_ && filter_->Release() != 0 && failure_.empty())
            failure_ = "the filter outlived its last reference";
    }

    void CompareValues() {
        for (DWORD p = 0; p < DWORD(kSessionParamCount); ++p) {
            MP_DATA a = -1, b = -2;
            params_->GetParam(p, &a);
            core_.dsp.Store().GetParam(p, &b);
            if (std::memcmp(&a, &b, sizeof a) != 0) {
                Fail("parameter " + std::to_string(p) + ": DLL " + std::to_string(a) + ", core " +
                     std::to_string(b));
            }
        }
    }

    void ValueStep(const SessionStep& s) {
        MediaParamStore& store = core_.dsp.Store();
        switch (s.kind) {
            case StepKind::SetParam:
                Same(params_->SetParam(s.index, s.value), core_.dsp.SetParam(s.index, s.value),
                     "SetParam");
                break;
            case StepKind::ApplyPreset: {
                const HRESULT dll = presets_->ApplyPreset(s.preset);
                const bool valid = s.preset >= 0 && s.preset < kPresetCount;
                if (valid) {
                    store.SetAllParams(kPresetTable[s.preset].values);
                    core_.dsp.MarkParamsChanged();
                }
                Same(dll, valid ? S_OK : E_INVALIDARG, "ApplyPreset");
                break;
            }
            case StepKind::SetAllParams:
                Same(settings_->SetAllParams(s.values), store.SetAllParams(s.values),
                     "SetAllParams");
                core_.dsp.MarkParamsChanged();
                break;
            case StepKind::AddEnvelope: {
                MP_ENVELOPE_SEGMENT none{};
                std::vector<MP_ENVELOPE_SEGMENT> a = s.segments, b = s.segments;
                const DWORD n = DWORD(a.size());
                Same(params_->AddEnvelope(s.index, n, n ? a.data() : &none),
                     store.AddEnvelope(s.index, n, n ? b.data() : &none), "AddEnvelope");
                break;
            }
            case StepKind::FlushEnvelope:
                Same(params_->FlushEnvelope(s.index, s.flushStart, s.flushEnd),
                     store.FlushEnvelope(s.index, s.flushStart, s.flushEnd), "FlushEnvelope");
                break;
            default:
                break;
        }
    }

    void DirectStep(const SessionStep& s) {
        StreamDriver& d = core_.driver;
        switch (s.kind) {
            case StepKind::DirectInit: {
                const HRESULT hr = d.Init(s.channels, s.rate);
                if (SUCCEEDED(hr)) core_.directOpen = true;
                Same(direct_->Init(s.channels, s.rate), hr, "Init");
                break;
            }
            case StepKind::DirectProcess: {
                if (!core_.directOpen) break;  // the host never processes without a session
                const UINT channels = d.Format().nChannels;
                std::vector<float> a(size_t(s.frames) * channels + 1), b;
                FillFloatSignal(channels, s.frames, s.signalSeed, a.data());
                b = a;
                Same(direct_->Process(a.data(), s.frames, s.flags),
                     d.Process(b.data(), s.frames, s.flags), "Process");
                if (std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) != 0)
                    Fail("direct output differs");
                break;
            }
            case StepKind::DirectDrain: {
                std::vector<float> a(size_t(s.frames) * 2 + 2, 0.5f), b = a;
                UINT na = s.frames, nb = s.frames;
                Same(direct_->Drain(a.data(), &na), d.Drain(b.data(), &nb), "Drain");
                if (na != nb || a != b) Fail("drain differs");
                break;
            }
            case StepKind::DirectRefresh:
                Same(direct_->Refresh(s.reset, 0, 0), d.Refresh(s.reset), "Refresh");
                break;
            case StepKind::DirectStop:
                Same(direct_->Stop(), d.StopStreaming(), "Stop");
                core_.directOpen = false;
                break;
            default:
                break;
        }
    }

    // What the host does before one sample (or, at the end, after the last one).
    struct HostAction {
        size_t step;
        bool flush = false;
        bool endOfStream = false;
        bool direct = false;  // a direct call at the wrong moment
    };

    size_t PinRun(size_t first);
    void CoreBuffer(const SessionStep& s, const WAVEFORMATEX& f, bool discontinuous,
                    std::vector<uint8_t>* out);

    FilterDll& dll_;
    const Session& session_;
    Core core_;
    size_t step_ = 0;
    std::string failure_;
    IBaseFilter* filter_ = nullptr;
    IMediaParams* params_ = nullptr;
    IFilterSettings* settings_ = nullptr;
    IFilterPresets* presets_ = nullptr;
    IDirectProcess* direct_ = nullptr;
};

void SessionReplay::CoreBuffer(const SessionStep& s, const WAVEFORMATEX& f, bool discontinuous,
                               std::vector<uint8_t>* out) {
    StreamDriver& d = core_.driver;
    out->assign(size_t(s.frames) * f.nBlockAlign, 0);
    FillSignal(f, s.frames, s.signalSeed, out->data());
    d.streamedSinceStart = TRUE;
    core_.dsp.Store().SetSampleTimes(s.jump == TimeJump::Absent ? nullptr : &s.start);
    DWORD done = 0;
    const HRESULT hr =
        d.RunBuffer(out->data(), s.frames, discontinuous ? kBlockRestart : kBlockContinue, &done);
    if (FAILED(hr) || done != s.frames) Fail("the core ran " + std::to_string(done) + " frames");
}

// Streams Start..Stop through a graph, the core alongside; returns the step after the run.
size_t SessionReplay::PinRun(size_t first) {
    const std::vector<SessionStep>& steps = session_.steps;
    WAVEFORMATEX format = steps[first].format;
    size_t last = first + 1;
    while (last < steps.size() && steps[last].kind != StepKind::Stop)
        ++last;

    // The schedule, and what the host does before each sample.
    std::vector<ScheduledSample> schedule;
    std::vector<std::vector<HostAction>> before(1);
    std::vector<size_t> bufferStep;
    std::vector<uint8_t> bytes;
    WAVEFORMATEX current = format;
    std::vector<uint8_t> pendingFormat;
    bool pendingDiscontinuity = false, afterEnd = false;
    for (size_t i = first + 1; i < last; ++i) {
        const SessionStep& s = steps[i];
        if (s.kind == StepKind::Buffer) {
            ScheduledSample sample;
            if (!pendingFormat.empty()) {
                std::memcpy(&current, pendingFormat.data(), sizeof current);
                sample.newFormat = pendingFormat;
                pendingFormat.clear();
            }
            sample.offset = bytes.size();
            sample.length = size_t(s.frames) * current.nBlockAlign;
            sample.start = s.start;
            sample.stop = s.start + 1;
            sample.untimed = s.jump == TimeJump::Absent;
            sample.discontinuity = s.discontinuity || pendingDiscontinuity;
            // Downstream refuses samples after end of stream until a flush clears it.
            if (afterEnd) before.back().push_back({i, true, false});
            afterEnd = false;
            pendingDiscontinuity = false;
            bytes.resize(bytes.size() + sample.length);
            FillSignal(current, s.frames, s.signalSeed, bytes.data() + sample.offset);
            schedule.push_back(sample);
            bufferStep.push_back(i);
            before.emplace_back();
        } else if (s.kind == StepKind::FormatChange) {
            pendingFormat = FormatBlock(s.format);
        } else if (s.kind == StepKind::Flush) {
            before.back().push_back({i, true, false});
            pendingDiscontinuity = true;
        } else if (s.kind == StepKind::EndOfStream) {
            before.back().push_back({i, false, true});
            afterEnd = true;
        } else if (s.kind == StepKind::DirectProcess) {
            before.back().push_back({i, false, false, true});
        } else if (IsValueStep(s.kind)) {
            before.back().push_back({i});
        }
    }

    AM_MEDIA_TYPE type = PlainAudioType(&format);
    PushSource* source = nullptr;
    if (FAILED(PushSource::Create(type, bytes, schedule, &source))) {
        step_ = first;
        Fail("the push source refused the run");
        return last + 1;
    }

    // The core: a pin start ends an open direct session first, as the filter does.
    StreamDriver& d = core_.driver;
    if (core_.directOpen) {
        d.StopStreaming();
        core_.directOpen = false;
    }
    d.StoreFormat(format);
    d.StartStreaming();

    // The DLL: the host's actions run on the streaming thread between samples.
    IPin* input = nullptr;
    filter_->FindPin(L"Input", &input);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<uint8_t> coreOut;
    WAVEFORMATEX coreFormat = format;
    LONG bufferBytes = 0;
    source->SetHostHook(
        [&](size_t k) {
            for (const HostAction& a : before[k]) {
                step_ = a.step;
                const SessionStep& s = steps[a.step];
                if (a.flush) {
                    input->BeginFlush();
                    input->EndFlush();
                } else if (a.direct) {
                    std::vector<float> buffer(std::max<size_t>(size_t(s.frames) * 2, 1));
                    FillFloatSignal(2, s.frames, s.signalSeed, buffer.data());
                    const std::vector<float> copy = buffer;
                    Same(direct_->Process(buffer.data(), s.frames, s.flags), VFW_E_WRONG_STATE,
                         "Process while streaming");
                    if (buffer != copy) Fail("a refused direct call touched the data");
                } else if (a.endOfStream) {
                    input->EndOfStream();
                    if (d.streamedSinceStart) {
                        const DWORD frames = DWORD(bufferBytes) / coreFormat.nBlockAlign;
                        std::vector<uint8_t> zeros(static_cast<size_t>(bufferBytes));
                        DWORD n = 0;
                        d.RunBuffer(zeros.data(), frames, kBlockDrain, &n);
                        d.streamedSinceStart = FALSE;
                    }
                } else {
                    ValueStep(s);
                }
                CompareValues();
            }
            if (k < schedule.size()) {
                // The core runs this sample now; the DLL right after, on delivery.
                if (!schedule[k].newFormat.empty()) {
                    std::memcpy(&coreFormat, schedule[k].newFormat.data(), sizeof coreFormat);
                    d.AdoptFormat(coreFormat);
                }
                step_ = bufferStep[k];
                std::vector<uint8_t> out;
                CoreBuffer(steps[bufferStep[k]], coreFormat, k == 0 || schedule[k].discontinuity,
                           &out);
                if (!AllFinite(out, coreFormat)) Fail("non-finite output");
                coreOut.insert(coreOut.end(), out.begin(), out.end());
            } else {
                SetEvent(done);
            }
        },
        false);

    SampleRecorder recorder;
    {
        AudioGraph graph;
        HRESULT hr = graph.BuildFromSource(source, filter_, &recorder);
        bufferBytes = source->BufferBytes();
        if (SUCCEEDED(hr)) hr = graph.Run();
        if (FAILED(hr)) {
            step_ = first;
            Fail(std::string("the graph did not run: ") + Hex(hr) + " at " +
                 (graph.FailedStep() ? graph.FailedStep() : "?"));
        } else if (WaitForSingleObject(done, kHangMs) != WAIT_OBJECT_0) {
            step_ = first;
            Fail("the run did not finish: a call hung or a sample was refused");
        }
        graph.Stop();
    }
    CloseHandle(done);
    input->Release();
    source->Release();
    d.StopStreaming();
    d.streamedSinceStart = FALSE;

    std::vector<uint8_t> dllOut;
    for (const RecordedSample& r : recorder.Samples())
        dllOut.insert(dllOut.end(), r.bytes.begin(), r.bytes.end());
    step_ = first;
    if (dllOut.size() != bytes.size()) {
        Fail("frames out differ from frames in: " + std::to_string(dllOut.size()) + " bytes of " +
             std::to_string(bytes.size()));
    } else if (dllOut != coreOut) {
        size_t at = 0;
        while (dllOut[at] == coreOut[at])
            ++at;
        Fail("the DLL's output parts from the core's at byte " + std::to_string(at));
    }
    CompareValues();
    return last + 1;
}

uint64_t EnvNumber(const char* name, uint64_t fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtoull(text, nullptr, 0) : fallback;
}

class WineSessions : public FilterDllTest {};

TEST_F(WineSessions, TheDllFollowsTheCoreThroughRandomHostSessions) {
    const uint64_t one = EnvNumber("RF_SESSION_SEED", 0);
    const uint64_t count = one ? 1 : EnvNumber("RF_WINE_SESSIONS", 300);
    const uint64_t base = EnvNumber("RF_SESSION_BASE", 0x5E55107);
    int failures = 0;
    for (uint64_t n = 0; n < count && failures < 5; ++n) {
        const uint64_t seed = one ? one : SessionSeed(base, n);
        const Session session = GenerateSession(seed);
        const std::string failure = SessionReplay(dll, session).Run();
        if (!failure.empty()) {
            ++failures;
            ADD_FAILURE() << "seed 0x" << std::hex << seed << std::dec << ": " << failure;
        }
    }
}

}  // namespace
