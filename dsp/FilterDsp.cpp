#include "FilterDsp.h"

#include <cfloat>
#include <cmath>
#include <cstdint>

#include "SvfKernel.h"
#include "platform/Memory.h"

FilterDsp::FilterDsp(IUnknown* owner, HRESULT* result) : store_(owner, result) {
    if (FAILED(*result)) return;
    store_.SetChangeListener(this);
    const MP_DATA start[] = {20000.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    for (DWORD i = 0; i < 5; ++i)
        SetParam(i, start[i]);
}

FilterDsp::~FilterDsp() {
    EndStream();
}

void FilterDsp::OnParamSet(DWORD index) {
    MarkParamsChanged();
    if (outerListener_) outerListener_->OnParamSet(index);
}

BOOL FilterDsp::TakeSnapshot(ParamSnapshot* snapshot) {
    LockHold hold(lock_);
    store_.GetAllParams(snapshot->values);
    return paramsChanged_.exchange(FALSE);
}

HRESULT FilterDsp::UpdateCoefficients(const ParamSnapshot& snapshot, BOOL keepState) {
    if (!keepState) ResetState();
    // Section 2 left idle while at second order holds whatever it rang with back then; replayed
    // at high resonance that is an old note, so fourth order starts it from silence.
    if (core_.coef.filterOrder == 0 && LONG(snapshot.values[kParamFilterOrder]) != 0) {
        for (int ch = 0; ch < kMaxChannels; ++ch)
            core_.states[StateIndex(1, ch)] = SvfState{0.0, 0.0, 0.0};
    }
    core_.sampleRate = format_ && format_->nSamplesPerSec ? format_->nSamplesPerSec : 44100.0;
    double ramps[kRampCount][3];
    for (int r = 0; r < kRampCount; ++r) {
        store_.GetRampState(kRampParam[r], &ramps[r][0], &ramps[r][1], &ramps[r][2]);
    }
    LoadCoefficients(&core_, snapshot, ramps);
    return S_OK;
}

HRESULT FilterDsp::BeginStream(const WAVEFORMATEX* format, WORD validBits) {
    if (format) {
        format_ = format;
        validBits_ = validBits;
    }
    ParamSnapshot snapshot;
    TakeSnapshot(&snapshot);
    const HRESULT hr = UpdateCoefficients(snapshot, FALSE);
    if (FAILED(hr)) return hr;
    return EnsureScratch(4096);
}

void FilterDsp::FreeScratch() {
    platform::Free(scratch_);
    scratch_ = nullptr;
    scratchFrames_ = 0;
    convertIn_ = nullptr;
    convertOut_ = nullptr;
}

HRESULT FilterDsp::EnsureScratch(LONG frames) {
    FreeScratch();
    if (frames <= 0 || !format_ || format_->wFormatTag == WAVE_FORMAT_IEEE_FLOAT) return S_OK;
    // 24 bits and more would lose their low bits in a float's 24-bit mantissa.
    const bool single = format_->wBitsPerSample <= 16;
    // In 64 bits, so that a huge sample cannot wrap the size on a 32-bit build.
    const uint64_t bytes = uint64_t(format_->nChannels) * uint64_t(frames) * (single ? 4 : 8);
    if (bytes > uint64_t(PTRDIFF_MAX)) return E_OUTOFMEMORY;
    scratch_ = platform::AllocZeroed(size_t(bytes));
    if (!scratch_) return E_OUTOFMEMORY;
    scratchFrames_ = frames;
    singleWorking_ = single ? TRUE : FALSE;

    WAVEFORMATEX working{};
    working.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    working.nChannels = format_->nChannels;
    working.nSamplesPerSec = format_->nSamplesPerSec;
    working.wBitsPerSample = single ? 32 : 64;
    working.nBlockAlign = WORD(working.wBitsPerSample / 8 * working.nChannels);
    working.nAvgBytesPerSec = working.nSamplesPerSec * working.nBlockAlign;
    convertIn_ = FindConverter(working, *format_, validBits_);
    convertOut_ = FindConverter(*format_, working, validBits_);
    return convertIn_ && convertOut_ ? S_OK : E_INVALIDARG;
}

HRESULT FilterDsp::EndStream() {
    FreeScratch();
    ResetState();
    return S_OK;
}

bool FilterDsp::BypassOn() {
    // An envelope may leave any number here; it counts as the value clamped into range.
    MP_DATA value = 0;
    store_.GetParam(kParamBypass, &value);
    return ToScaled(kParamBypass, ClampParam(kParamBypass, value)) != 0;
}

int FilterDsp::CheckBypass() {
    if (!BypassOn()) return 1;
    ResetState();
    return 0;
}

void FilterDsp::ProbeTail(TailProbe* probe) const {
    for (int i = 0; i < kStateCount; ++i)
        probe->states[i] = core_.states[i];
}

bool FilterDsp::TailPending(const TailProbe* before) {
    const CoefficientSet& c = core_.coef;
    if (c.wetGain == 0.0 || c.filterType < kLowPass || c.filterType > kHighPass) return false;
    if (BypassOn()) return false;
    // Only the sections the kernel runs: the second one idle at second order keeps whatever it
    // rang with, and would never decay. A non-finite state is cleared after the block that made
    // it, so it rings nothing; the comparisons are false for NaN.
    auto rings = [](double v) { return std::fabs(v) > kTailFloor && std::fabs(v) <= DBL_MAX; };
    auto same = [](const SvfState& a, const SvfState& b) {
        return a.low == b.low && a.band == b.band && a.high == b.high;
    };
    const int channels = Channels() < kMaxChannels ? Channels() : kMaxChannels;
    const int sections = c.filterOrder == 0 ? 1 : 2;
    bool ringing = false, moved = false;
    for (int s = 0; s < sections; ++s) {
        for (int ch = 0; ch < channels; ++ch) {
            const int i = StateIndex(s, ch);
            const SvfState& state = core_.states[i];
            ringing = ringing || rings(state.low) || rings(state.band) || rings(state.high);
            moved = moved || !before || !same(state, before->states[i]);
        }
    }
    return ringing && moved;
}

HRESULT FilterDsp::ProcessBlock(int mode, BOOL singleWorking, void* buffer, DWORD* frames,
                                DWORD reportEmpty) {
    const DWORD n = *frames;
    ParamSnapshot snapshot;
    const BOOL changed = TakeSnapshot(&snapshot);
    HRESULT hr = S_OK;
    if (mode == kBlockRestart) {
        hr = UpdateCoefficients(snapshot, FALSE);
    } else if (changed) {
        hr = UpdateCoefficients(snapshot, TRUE);
    }
    if (FAILED(hr)) return hr;

    DWORD produced = 0;
    if (mode != kBlockDrain) {
        hr = singleWorking ? RunKernel(&core_, static_cast<float*>(buffer), n, Channels())
                           : RunKernel(&core_, static_cast<double*>(buffer), n, Channels());
        ClearNonFiniteStates(&core_);
        produced = n;
    }
    *frames = produced;
    if (mode == kBlockDrain || (produced == 0 && reportEmpty)) return S_FALSE;
    return hr;
}

HRESULT FilterDsp::ProcessPcmBlock(int mode, void* buffer, DWORD* frames) {
    if (*frames > DWORD(scratchFrames_)) {
        if (*frames > 0x7FFFFFFFu) return E_OUTOFMEMORY;
        const HRESULT hr = EnsureScratch(LONG(*frames));
        if (FAILED(hr)) return hr;
    }
    if (!convertIn_ || !convertOut_) return E_INVALIDARG;
    const size_t channels = size_t(Channels());
    convertIn_(scratch_, buffer, channels * *frames, 1.0);
    const HRESULT hr = ProcessBlock(mode, singleWorking_, scratch_, frames, 0);
    convertOut_(buffer, scratch_, channels * *frames, 1.0);
    return hr;
}

HRESULT FilterDsp::ProcessFloatBlock(int mode, float* buffer, DWORD* frames, DWORD reportEmpty) {
    return ProcessBlock(mode, TRUE, buffer, frames, reportEmpty);
}

HRESULT FilterDsp::ProcessFloatBlock(int mode, double* buffer, DWORD* frames) {
    return ProcessBlock(mode, FALSE, buffer, frames, 0);
}
