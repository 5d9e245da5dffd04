#include "StreamDriver.h"

#include "WaveFormatCheck.h"

#include <cstdint>

void StreamDriver::StoreFormat(const WAVEFORMATEX& format, WORD validBits) {
    LockHold hold(formatLock_);
    format_ = format;
    validBits_ = validBits ? validBits : format.wBitsPerSample;
    hasFormat_ = true;
}

bool StreamDriver::CopyFormat(WAVEFORMATEX* format) {
    return CopyFormat(format, nullptr);
}

bool StreamDriver::CopyFormat(WAVEFORMATEX* format, WORD* validBits) {
    LockHold hold(formatLock_);
    if (!hasFormat_) return false;
    *format = format_;
    if (validBits) *validBits = validBits_;
    return true;
}

HRESULT StreamDriver::AdoptFormat(const WAVEFORMATEX& format, WORD validBits) {
    StoreFormat(format, validBits);
    const HRESULT hr = dsp_.Store().StartTimeBase(format_.nSamplesPerSec);
    if (FAILED(hr)) return hr;
    carriedMask_ = 0;
    return dsp_.BeginStream(&format_, validBits_);
}

HRESULT StreamDriver::StartStreaming() {
    MediaParamStore& store = dsp_.Store();
    const HRESULT hr = store.StartTimeBase(format_.nSamplesPerSec);
    if (FAILED(hr)) return hr;
    drainingAtEnd = FALSE;
    streamedSinceStart = FALSE;
    carriedMask_ = 0;
    return dsp_.BeginStream(&format_, validBits_);
}

HRESULT StreamDriver::StopStreaming() {
    dsp_.Store().StopTimeBase();
    return dsp_.EndStream();
}

DWORD StreamDriver::Advance(DWORD left, DWORD* mask) {
    MediaParamStore& store = dsp_.Store();
    // Each empty answer moves the clock to a change point strictly ahead, so this ends after at
    // most one call per change point within half a frame. Only a clock that cannot move at all
    // (the whole rest spans under half a 100-ns unit) answers 0 without moving: then the rest
    // is one stretch.
    for (;;) {
        const REFERENCE_TIME before = store.Position();
        const DWORD n = store.AdvanceToNextChange(left, mask);
        if (n > 0) return n > left ? left : n;
        if (store.Position() == before) return left;
    }
}

HRESULT StreamDriver::RunKernel(int mode, BYTE* at, DWORD* n) {
    if (format_.wFormatTag == WAVE_FORMAT_PCM) {
        switch (format_.wBitsPerSample) {
            case 8:
            case 16:
            case 24:
            case 32:
                return dsp_.ProcessPcmBlock(mode, at, n);
        }
    } else if (format_.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
        if (format_.wBitsPerSample == 32) {
            return dsp_.ProcessFloatBlock(mode, reinterpret_cast<float*>(at), n, 0);
        }
        if (format_.wBitsPerSample == 64) {
            return dsp_.ProcessFloatBlock(mode, reinterpret_cast<double*>(at), n);
        }
    }
    return S_OK;  // no kernel: the stretch passes untouched
}

HRESULT StreamDriver::RunBuffer(void* data, DWORD frames, int mode, DWORD* framesDone) {
    BYTE* at = static_cast<BYTE*>(data);
    const size_t frameBytes = format_.nBlockAlign;
    DWORD done = 0;
    HRESULT result = S_OK;
    // Drain mode produces nothing, and says so even for a buffer too small for one frame, so
    // the end-of-stream loop always ends.
    if (mode == kBlockDrain) result = S_FALSE;
    while (done < frames) {
        DWORD mask = 0;
        DWORD n = Advance(frames - done, &mask);
        if (mode == kBlockDrain) break;
        mask |= carriedMask_;
        if (!dsp_.CheckBypass()) {
            // The changes still have to reach the coefficients once processing resumes.
            carriedMask_ = mask;
            done += n;
            at += n * frameBytes;
            continue;
        }
        carriedMask_ = 0;
        ParamSnapshot snapshot;
        const BOOL changed = dsp_.TakeSnapshot(&snapshot);
        if (changed || mask) {
            // A discontinuity clears the state here, at its first processed stretch only.
            result = dsp_.UpdateCoefficients(snapshot, mode != kBlockRestart);
            if (FAILED(result)) break;
            mode = kBlockContinue;
        }
        result = RunKernel(mode, at, &n);
        mode = kBlockContinue;
        if (n == 0) break;
        done += n;
        at += n * frameBytes;
        if (result != S_OK) break;
    }
    *framesDone = done;
    return result;
}

HRESULT StreamDriver::Init(UINT channels, UINT rate) {
    if (channels == 0 || rate == 0) return E_INVALIDARG;
    // The stored format keeps the frame size in 16 bits and the byte rate in 32: a count that
    // does not fit would be stored cut short and the host's buffers read with the wrong layout.
    const uint64_t blockAlign = uint64_t(channels) * 4;
    if (blockAlign > 0xFFFF || blockAlign * rate > 0xFFFFFFFFu) return E_INVALIDARG;
    StoreFormat(MakeStoredFormat(WAVE_FORMAT_IEEE_FLOAT, WORD(channels), rate, 32));
    return StartStreaming();
}

HRESULT StreamDriver::Process(float* data, UINT frames, UINT flags) {
    streamedSinceStart = TRUE;
    const size_t channels = format_.nChannels;
    UINT done = 0;
    while (done < frames) {
        DWORD mask = 0;
        DWORD n = Advance(frames - done, &mask);
        mask |= carriedMask_;
        if (!dsp_.CheckBypass()) {
            carriedMask_ = mask;
        } else {
            carriedMask_ = 0;
            if (mask) {
                ParamSnapshot snapshot;
                dsp_.TakeSnapshot(&snapshot);
                dsp_.UpdateCoefficients(snapshot, TRUE);
            }
            dsp_.ProcessFloatBlock(kBlockContinue, data + size_t(done) * channels, &n, flags);
            if (n == 0) break;
        }
        done += n;
    }
    return S_OK;
}

HRESULT StreamDriver::Drain(float* data, UINT* frames) {
    if (!streamedSinceStart) {
        *frames = 0;
        return S_FALSE;
    }
    DWORD n = *frames;
    const HRESULT hr = dsp_.ProcessFloatBlock(kBlockDrain, data, &n, 0);
    *frames = n;
    return hr;
}

HRESULT StreamDriver::HasPendingChange() const {
    return dsp_.ParamsChangedPending() ? S_OK : S_FALSE;
}

HRESULT StreamDriver::Refresh(BOOL reset) {
    if (reset) dsp_.Store().ResetClock();
    ParamSnapshot snapshot;
    const BOOL changed = dsp_.TakeSnapshot(&snapshot);
    if (!changed && !reset) return S_FALSE;
    return dsp_.UpdateCoefficients(snapshot, reset ? FALSE : TRUE);
}
