// Host sessions through the DLL under Wine: each pin run streams through a real graph fed by the
// push source, with the host's calls made between samples on the streaming thread, and each
// direct run goes through IDirectProcess. A third of the sessions is hosted by the DMO instead:
// its pin runs go buffer by buffer through IMediaObject (output buffers shorter than the input
// among them) and IMediaObjectInPlace, and it has no direct path. Another third goes buffer by
// buffer through the same class's IMFTransform, as a synchronous Media Foundation host drives
// it, into output samples of random sizes. The portable core replays the
// same session beside it, and the two must agree on every answer, every output bit and every
// parameter value after every step. The native session test checks that core against the store
// model.
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
#include "stream/WaveFormatCheck.h"
#include "tests/filter/DmoSupport.h"
#include "tests/support/win32/MfSamples.h"
#include "tools/graph/AudioGraph.h"
#include "tools/graph/PushSource.h"

#include <mfapi.h>
#include <mferror.h>
#include <mftransform.h>

namespace {

constexpr DWORD kHangMs = 60000;
// Newer headers than MinGW's name these: a buffer that does not follow the one before.
constexpr DWORD kInputDiscontinuity = 0x8;
constexpr DWORD kOutputDiscontinuity = 0x8;

enum class Host { Filter, Dmo, Mft };

// A seed's host: a third of the sessions each, the DMO keeping the seeds it always had.
Host HostOf(uint64_t seed) {
    const uint64_t share = (seed >> 7) % 3;
    return share == 0 ? Host::Dmo : share == 1 ? Host::Filter : Host::Mft;
}

bool IsValueStep(StepKind k) {
    return k == StepKind::SetParam || k == StepKind::ApplyPreset || k == StepKind::SetAllParams ||
           k == StepKind::AddEnvelope || k == StepKind::FlushEnvelope;
}

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(hr));
    return text;
}

// The record a decoder would send: extensible, with a mask of 0, where the plain one cannot
// say it all (more than two channels, PCM above 16 bits, or fewer valid bits than the container).
std::vector<uint8_t> FormatBlock(const WAVEFORMATEX& f, WORD validBits) {
    const bool pcm = f.wFormatTag == WAVE_FORMAT_PCM;
    if (f.nChannels <= 2 && (!pcm || f.wBitsPerSample <= 16) && validBits == 0) {
        std::vector<uint8_t> b(sizeof f);
        std::memcpy(b.data(), &f, sizeof f);
        return b;
    }
    WAVEFORMATEXTENSIBLE x{};
    x.Format = f;
    x.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    x.Format.cbSize = sizeof x - sizeof x.Format;
    x.Samples.wValidBitsPerSample = validBits ? validBits : f.wBitsPerSample;
    x.SubFormat = pcm ? MEDIASUBTYPE_PCM : MEDIASUBTYPE_IEEE_FLOAT;
    std::vector<uint8_t> b(sizeof x);
    std::memcpy(b.data(), &x, sizeof x);
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
    SessionReplay(FilterDll& dll, const Session& session)
        : dll_(dll), session_(session), host_(HostOf(session.seed)) {}

    // Empty when DLL and core agreed all along, else where they parted.
    std::string Run() {
        if (core_.created != S_OK || !OpenFilter()) return "the filter could not be created";
        size_t i = 0;
        while (i < session_.steps.size() && failure_.empty()) {
            const SessionStep& s = session_.steps[i];
            if (s.kind == StepKind::Start && !s.running) {
                i = host_ == Host::Filter ? PinRun(i) : BufferRun(i);
                continue;
            }
            step_ = i;
            if (IsValueStep(s.kind)) {
                ValueStep(s);
            } else if (host_ == Host::Filter) {
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
        const HRESULT hr = host_ != Host::Filter ? dll_.Create(IID_IUnknown, &filter_, nullptr,
                                                               CLSID_ResonantFilterDmo)
                                                 : dll_.Create(IID_IBaseFilter, &filter_);
        if (FAILED(hr)) return false;
        filter_->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params_));
        filter_->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings_));
        filter_->QueryInterface(IID_IFilterPresets, reinterpret_cast<void**>(&presets_));
        if (host_ == Host::Mft) {
            filter_->QueryInterface(IID_IMFTransform, reinterpret_cast<void**>(&mft_));
        } else if (host_ == Host::Dmo) {
            filter_->QueryInterface(IID_IMediaObject, reinterpret_cast<void**>(&dmo_));
            filter_->QueryInterface(IID_IMediaObjectInPlace, reinterpret_cast<void**>(&inPlace_));
        } else {
            filter_->QueryInterface(IID_IDirectProcess, reinterpret_cast<void**>(&direct_));
            filter_->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&base_));
        }
        // A new filter starts from preset row 0.
        core_.dsp.Store().SetAllParams(kPresetTable[0].values);
        core_.dsp.MarkParamsChanged();
        const bool faces = host_ == Host::Mft   ? mft_ != nullptr
                           : host_ == Host::Dmo ? dmo_ && inPlace_
                                                : direct_ && base_;
        return params_ && settings_ && presets_ && faces;
    }
    void CloseFilter() {
        for (IUnknown* face : std::vector<IUnknown*>{params_, settings_, presets_, direct_, base_,
                                                     dmo_, inPlace_, mft_})
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
    size_t BufferRun(size_t first);
    void Types(const WAVEFORMATEX& format, WORD validBits);
    void DmoTypes(const WAVEFORMATEX& format, WORD validBits);
    void MftTypes(const WAVEFORMATEX& format, WORD validBits);
    void MftBuffer(const SessionStep& s, const WAVEFORMATEX& f);
    bool MftPiece(const SessionStep& s, const WAVEFORMATEX& f, std::vector<uint8_t>* in,
                  DWORD taken, DWORD room);
    BYTE* CorePiece(const SessionStep& s, const WAVEFORMATEX& f, std::vector<uint8_t>* in,
                    DWORD taken, DWORD n);
    void DmoBuffer(const SessionStep& s, const WAVEFORMATEX& f);
    void DmoInPlace(const SessionStep& s, const WAVEFORMATEX& f, std::vector<uint8_t>* in);
    void DmoThroughOutput(const SessionStep& s, const WAVEFORMATEX& f, std::vector<uint8_t>* in);
    void CoreBuffer(const SessionStep& s, const WAVEFORMATEX& f, bool discontinuous,
                    std::vector<uint8_t>* out);

    FilterDll& dll_;
    const Session& session_;
    Core core_;
    size_t step_ = 0;
    std::string failure_;
    IUnknown* filter_ = nullptr;
    IMediaParams* params_ = nullptr;
    IFilterSettings* settings_ = nullptr;
    IFilterPresets* presets_ = nullptr;
    IDirectProcess* direct_ = nullptr;
    const Host host_;
    IBaseFilter* base_ = nullptr;
    IMediaObject* dmo_ = nullptr;
    IMediaObjectInPlace* inPlace_ = nullptr;
    IMFTransform* mft_ = nullptr;
    bool coreRestart_ = false;  // what the next buffer must do: restart the filter
    bool markNext_ = false;     // the MFT's next sample follows a drain
    bool coreStopped_ = false;  // the MFT's next sample starts the stream
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
                CheckWaveFormat(pendingFormat.data(), pendingFormat.size(), &current, nullptr);
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
            pendingFormat = FormatBlock(s.format, s.validBits);
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
    base_->FindPin(L"Input", &input);
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
                    const std::vector<uint8_t>& block = schedule[k].newFormat;
                    WORD valid = 0;
                    CheckWaveFormat(block.data(), block.size(), &coreFormat, &valid);
                    d.AdoptFormat(coreFormat, valid);
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
        HRESULT hr = graph.BuildFromSource(source, base_, &recorder);
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

// The DMO's types: the same well-formed audio type in and out.
void SessionReplay::DmoTypes(const WAVEFORMATEX& format, WORD validBits) {
    std::vector<uint8_t> block = FormatBlock(format, validBits);
    const AM_MEDIA_TYPE type =
        PlainAudioType(reinterpret_cast<WAVEFORMATEX*>(block.data()), ULONG(block.size()));
    const DMO_MEDIA_TYPE* dmoType = reinterpret_cast<const DMO_MEDIA_TYPE*>(&type);
    Same(dmo_->SetInputType(0, dmoType, 0), S_OK, "SetInputType");
    Same(dmo_->SetOutputType(0, dmoType, 0), S_OK, "SetOutputType");
}

void SessionReplay::Types(const WAVEFORMATEX& format, WORD validBits) {
    if (host_ == Host::Mft) return MftTypes(format, validBits);
    DmoTypes(format, validBits);
    Same(dmo_->AllocateStreamingResources(), S_OK, "AllocateStreamingResources");
}

// Streams Start..Stop buffer by buffer through the DMO or the MFT, the core alongside, as a host
// that drives either itself does; returns the step after the run.
size_t SessionReplay::BufferRun(size_t first) {
    const std::vector<SessionStep>& steps = session_.steps;
    StreamDriver& d = core_.driver;
    const bool mft = host_ == Host::Mft;
    step_ = first;
    WAVEFORMATEX format = steps[first].format;
    WORD valid = 0;
    Types(format, valid);
    d.StoreFormat(format);
    d.StartStreaming();
    coreRestart_ = false;
    markNext_ = false;
    coreStopped_ = false;
    if (mft) {
        Same(mft_->ProcessMessage(MFT_MESSAGE_NOTIFY_BEGIN_STREAMING, 0), S_OK, "BEGIN_STREAMING");
        Same(mft_->ProcessMessage(MFT_MESSAGE_NOTIFY_START_OF_STREAM, 0), S_OK, "START_OF_STREAM");
        coreRestart_ = true;  // a stream's start is a discontinuity to the MFT
    }
    size_t i = first + 1;
    for (; i < steps.size() && steps[i].kind != StepKind::Stop && failure_.empty(); ++i) {
        const SessionStep& s = steps[i];
        step_ = i;
        switch (s.kind) {
            case StepKind::Buffer:
                mft ? MftBuffer(s, format) : DmoBuffer(s, format);
                break;
            case StepKind::Flush:
                Same(mft ? mft_->ProcessMessage(MFT_MESSAGE_COMMAND_FLUSH, 0) : dmo_->Flush(), S_OK,
                     "Flush");
                coreRestart_ = true;
                break;
            case StepKind::EndOfStream:
                // The input ended: what follows does not continue it. The MFT has nothing held
                // to give; its host marks the next sample, as the platform asks after a drain.
                if (mft) {
                    Same(mft_->ProcessMessage(MFT_MESSAGE_COMMAND_DRAIN, 0), S_OK, "DRAIN");
                    MftPiece(s, format, nullptr, 0, 1);
                    markNext_ = true;
                } else {
                    Same(dmo_->Discontinuity(0), S_OK, "Discontinuity");
                }
                coreRestart_ = true;
                break;
            case StepKind::FormatChange: {
                const bool other =
                    std::memcmp(&format, &s.format, sizeof format) != 0 || s.validBits != valid;
                Types(s.format, s.validBits);
                // Another type ends the stream, and the next one starts from silence: the DMO's
                // at once, forgetting a pending discontinuity; the MFT's at its next sample,
                // which keeps it.
                if (other) {
                    format = s.format;
                    valid = s.validBits;
                    d.StopStreaming();
                    d.StoreFormat(format, valid);
                    if (mft) {
                        coreStopped_ = true;
                    } else {
                        d.StartStreaming();
                        coreRestart_ = false;
                    }
                }
                break;
            }
            default:
                if (IsValueStep(s.kind)) ValueStep(s);
                break;
        }
        CompareValues();
    }
    step_ = std::min(i, steps.size() - 1);
    Same(mft ? mft_->ProcessMessage(MFT_MESSAGE_NOTIFY_END_STREAMING, 0)
             : dmo_->FreeStreamingResources(),
         S_OK, "end of streaming");
    d.StopStreaming();
    CompareValues();
    return i + 1;
}

void SessionReplay::DmoBuffer(const SessionStep& s, const WAVEFORMATEX& f) {
    std::vector<uint8_t> in(std::max<size_t>(size_t(s.frames) * f.nBlockAlign, 1));
    FillSignal(f, s.frames, s.signalSeed, in.data());
    // In place only with a start time: that call always passes one.
    if (s.jump != TimeJump::Absent && (s.signalSeed >> 61) % 2 == 0) {
        DmoInPlace(s, f, &in);
    } else {
        DmoThroughOutput(s, f, &in);
    }
}

void SessionReplay::DmoInPlace(const SessionStep& s, const WAVEFORMATEX& f,
                               std::vector<uint8_t>* in) {
    if (s.discontinuity) {
        Same(dmo_->Discontinuity(0), S_OK, "Discontinuity");
        coreRestart_ = true;
    }
    std::vector<uint8_t> dll = *in;
    const ULONG bytes = ULONG(size_t(s.frames) * f.nBlockAlign);
    // S_FALSE says a tail remains; both are success.
    const HRESULT hr = inPlace_->Process(bytes, dll.data(), s.start, 0);
    if (hr != S_OK && hr != S_FALSE) Fail("in-place Process answered " + Hex(hr));
    if (s.frames == 0) return;  // nothing taken: a pending restart waits for the next buffer
    StreamDriver& d = core_.driver;
    core_.dsp.Store().SetSampleTimes(&s.start);
    DWORD done = 0;
    d.RunBuffer(in->data(), s.frames, coreRestart_ ? kBlockRestart : kBlockContinue, &done);
    coreRestart_ = false;
    if (std::memcmp(dll.data(), in->data(), bytes) != 0) Fail("in-place output differs");
}

// One input buffer, taken out through output buffers that may each hold only part of it.
void SessionReplay::DmoThroughOutput(const SessionStep& s, const WAVEFORMATEX& f,
                                     std::vector<uint8_t>* in) {
    const DWORD block = f.nBlockAlign;
    const bool timed = s.jump != TimeJump::Absent;
    const REFERENCE_TIME length = REFERENCE_TIME(s.frames * 1e7 / f.nSamplesPerSec);
    DWORD flags = timed ? DMO_INPUT_DATA_BUFFERF_TIME | DMO_INPUT_DATA_BUFFERF_TIMELENGTH : 0;
    if (s.discontinuity) {
        flags |= kInputDiscontinuity;
        coreRestart_ = true;
    }
    MemoryBuffer input(DWORD(in->size()));
    input.Fill(in->data(), s.frames * block);
    Same(dmo_->ProcessInput(0, &input, flags, s.start, length), s.frames ? S_OK : S_FALSE,
         "ProcessInput");
    if (s.frames == 0 || !failure_.empty()) return;
    // Whole, or in two to four parts.
    const DWORD parts = DWORD(1 + (s.signalSeed >> 40) % 4);
    const DWORD room = std::max<DWORD>(1, (s.frames + parts - 1) / parts);
    for (DWORD taken = 0; taken < s.frames && failure_.empty();) {
        MemoryBuffer out(room * block);
        DMO_OUTPUT_DATA_BUFFER output{};
        output.pBuffer = &out;
        DWORD status = 0;
        Same(dmo_->ProcessOutput(0, 1, &output, &status), S_OK, "ProcessOutput");
        const DWORD n = std::min(room, s.frames - taken);
        if (out.length != n * block) {
            Fail("ProcessOutput gave " + std::to_string(out.length) + " bytes, not " +
                 std::to_string(n * block));
            break;
        }
        const BYTE* core = CorePiece(s, f, in, taken, n);
        if (std::memcmp(out.bytes.data(), core, n * block) != 0) Fail("DMO output differs");
        const bool more = taken + n < s.frames;
        if (bool(output.dwStatus & DMO_OUTPUT_DATA_BUFFERF_INCOMPLETE) != more)
            Fail("the incomplete flag is wrong after " + std::to_string(taken + n) + " frames");
        if (taken == 0 && bool(output.dwStatus & kOutputDiscontinuity) != coreRestart_)
            Fail("the output's discontinuity flag is wrong");
        const REFERENCE_TIME at =
            s.start + REFERENCE_TIME(double(taken) * 1e7 / f.nSamplesPerSec + 0.5);
        if (timed &&
            (!(output.dwStatus & DMO_OUTPUT_DATA_BUFFERF_TIME) || output.rtTimestamp != at))
            Fail("the output's time stamp is not " + std::to_string(at));
        taken += n;
    }
    coreRestart_ = false;
    // The DMO must not keep the buffer past this call.
    if (!failure_.empty()) {
        dmo_->Flush();
        return;
    }
    DMO_OUTPUT_DATA_BUFFER none{};
    MemoryBuffer spare(block);
    none.pBuffer = &spare;
    DWORD status = 0;
    Same(dmo_->ProcessOutput(0, 1, &none, &status), S_FALSE, "ProcessOutput with nothing held");
}

// The core runs the frames [taken, taken + n) of the input in place, as the DLL filters a piece.
BYTE* SessionReplay::CorePiece(const SessionStep& s, const WAVEFORMATEX& f,
                               std::vector<uint8_t>* in, DWORD taken, DWORD n) {
    if (taken == 0)
        core_.dsp.Store().SetSampleTimes(s.jump == TimeJump::Absent ? nullptr : &s.start);
    DWORD done = 0;
    BYTE* core = in->data() + size_t(taken) * f.nBlockAlign;
    core_.driver.RunBuffer(core, n, taken == 0 && coreRestart_ ? kBlockRestart : kBlockContinue,
                           &done);
    return core;
}

// The MFT's types: the step's record as the input type, and the first output type it offers.
void SessionReplay::MftTypes(const WAVEFORMATEX& format, WORD validBits) {
    IMFMediaType* in = MfTypeFromRecord(FormatBlock(format, validBits));
    if (!in) return Fail("the platform made no media type of the record");
    Same(mft_->SetInputType(0, in, 0), S_OK, "SetInputType");
    in->Release();
    IMFMediaType* out = nullptr;
    Same(mft_->GetOutputAvailableType(0, 0, &out), S_OK, "GetOutputAvailableType");
    if (out) {
        Same(mft_->SetOutputType(0, out, 0), S_OK, "SetOutputType");
        out->Release();
    }
}

// One input sample, taken out through output samples of random sizes, some holding only part.
void SessionReplay::MftBuffer(const SessionStep& s, const WAVEFORMATEX& f) {
    const DWORD block = f.nBlockAlign;
    std::vector<uint8_t> in(std::max<size_t>(size_t(s.frames) * block, 1));
    FillSignal(f, s.frames, s.signalSeed, in.data());
    IMFSample* sample = NewMfSample(DWORD(in.size()), in.data(), s.frames * block);
    if (!sample) return Fail("no input sample");
    if (s.jump != TimeJump::Absent) sample->SetSampleTime(s.start);
    // A sample with no whole frame leaves the restart to the next one, on both sides.
    if (s.discontinuity || markNext_) {
        sample->SetUINT32(MFSampleExtension_Discontinuity, TRUE);
        coreRestart_ = true;
    }
    markNext_ = false;
    if (coreStopped_) core_.driver.StartStreaming();
    coreStopped_ = false;
    Same(mft_->ProcessInput(0, sample, 0), S_OK, "ProcessInput");
    sample->Release();
    uint64_t pick = s.signalSeed;
    for (DWORD taken = 0; failure_.empty();) {
        // Room for 1 frame up to a quarter more than the sample, at times with a part frame over.
        pick = pick * 6364136223846793005u + 1442695040888963407u;
        const DWORD room = DWORD(1 + (pick >> 33) % (s.frames + s.frames / 4 + 1));
        if (!MftPiece(s, f, &in, taken, room)) break;
        taken += std::min(room, s.frames - taken);
    }
    if (s.frames) coreRestart_ = false;
}

// One ProcessOutput into a new sample with room for `room` frames (and a part frame at times):
// true when it gave a piece; false when it rightly had nothing left, or failed. Without input,
// nothing may be left.
bool SessionReplay::MftPiece(const SessionStep& s, const WAVEFORMATEX& f, std::vector<uint8_t>* in,
                             DWORD taken, DWORD room) {
    const DWORD block = f.nBlockAlign;
    const DWORD frames = in ? s.frames : 0;
    IMFSample* out = NewMfSample(room * block + room % block, nullptr, 0);
    if (!out) {
        Fail("no output sample");
        return false;
    }
    MFT_OUTPUT_DATA_BUFFER output{7, out, 0, nullptr};
    DWORD status = 1;
    const HRESULT hr = mft_->ProcessOutput(0, 1, &output, &status);
    const DWORD n = std::min(room, frames - taken);
    const std::vector<uint8_t> bytes = MfSampleBytes(out);
    LONGLONG time = 0, duration = 0;
    const bool timed = SUCCEEDED(out->GetSampleTime(&time));
    out->GetSampleDuration(&duration);
    UINT32 mark = 0;
    const bool marked = SUCCEEDED(out->GetUINT32(MFSampleExtension_Discontinuity, &mark)) && mark;
    out->Release();
    if (status != 0 || output.dwStreamID != 7 || output.pSample != out || output.pEvents)
        Fail("ProcessOutput changed what it must leave as given");
    if (taken == frames) {
        Same(hr, MF_E_TRANSFORM_NEED_MORE_INPUT, "ProcessOutput with nothing held");
        if (!bytes.empty() || output.dwStatus != 0) Fail("an empty answer gave data");
        return false;
    }
    Same(hr, S_OK, "ProcessOutput");
    if (hr != S_OK) return false;
    if (bytes.size() != size_t(n) * block) {
        Fail("ProcessOutput gave " + std::to_string(bytes.size()) + " bytes, not " +
             std::to_string(n * block));
        return false;
    }
    const bool restart = taken == 0 && coreRestart_;
    if (std::memcmp(bytes.data(), CorePiece(s, f, in, taken, n), bytes.size()) != 0)
        Fail("MFT output differs");
    const bool more = taken + n < frames;
    if (output.dwStatus != (more ? DWORD(MFT_OUTPUT_DATA_BUFFER_INCOMPLETE) : 0))
        Fail("the output's status is wrong after " + std::to_string(taken + n) + " frames");
    if (marked != restart) Fail("the output's discontinuity mark is wrong");
    const auto at = [&](DWORD frame) {
        return REFERENCE_TIME(double(frame) * 1e7 / f.nSamplesPerSec + 0.5);
    };
    if (timed != (s.jump != TimeJump::Absent) || (timed && time != s.start + at(taken)))
        Fail("the output's time is not the input's");
    if (duration != at(taken + n) - at(taken)) Fail("the output's duration is not its frames'");
    return true;
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
