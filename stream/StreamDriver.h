// The streaming path without the platform's media samples: cuts each buffer into stretches at
// envelope change points, decides bypass, refreshes the coefficients when something changed and
// runs the kernel for the stored format. The media-sample side and the direct float-buffer
// interface both call it, so every build runs the very same loop.
//
// Threads: the streaming thread (or the one host thread driving the direct path) only.
#pragma once

#include "dsp/FilterDsp.h"
#include "platform/CriticalLock.h"

class StreamDriver {
  public:
    explicit StreamDriver(FilterDsp& dsp) : dsp_(dsp) {}

    // The negotiated format, with the valid bits of its PCM samples that the record cannot hold
    // (0: the whole container, as CheckWaveFormat reports them); the DSP is pointed at both once
    // they are stored. Writers and the copy for other threads share a lock, so a reader never
    // sees half a record.
    void StoreFormat(const WAVEFORMATEX& format, WORD validBits = 0);
    bool CopyFormat(WAVEFORMATEX* format);
    bool CopyFormat(WAVEFORMATEX* format, WORD* validBits);
    bool HasFormat() const { return hasFormat_; }
    // The streaming side's own view, read on the thread that also writes it.
    const WAVEFORMATEX& Format() const { return format_; }
    WORD ValidBits() const { return validBits_; }  // the container's bits when all are valid
    // An in-band change while streaming: from the next buffer on, the new record, the time base
    // at its rate and coefficients designed for it, with the filter state restarted.
    HRESULT AdoptFormat(const WAVEFORMATEX& format, WORD validBits = 0);

    HRESULT StartStreaming();
    HRESULT StopStreaming();

    // One buffer of `frames` whole frames at `data`, in place. `frames` done are written back
    // (0 in drain mode). Returns the kernel's result; S_FALSE in drain mode.
    HRESULT RunBuffer(void* data, DWORD frames, int mode, DWORD* framesDone);

    // The direct interface over interleaved 32-bit floats. Init takes any channel count the
    // record holds; 1 to kMaxChannels are filtered, other counts pass untouched.
    HRESULT Init(UINT channels, UINT rate);
    HRESULT Process(float* data, UINT frames, UINT flags);
    HRESULT Drain(float* data, UINT* frames);
    HRESULT HasPendingChange() const;
    HRESULT Refresh(BOOL reset);

    BOOL streamedSinceStart = FALSE;
    BOOL drainingAtEnd = FALSE;

  private:
    // Advances the envelopes over up to `left` frames. Calls again while the next change point is
    // under half a frame away, so no frame is dropped and the clock moves over every frame run;
    // the bits of every call count.
    DWORD Advance(DWORD left, DWORD* mask);
    HRESULT RunKernel(int mode, BYTE* at, DWORD* n);

    FilterDsp& dsp_;
    CriticalLock formatLock_;
    WAVEFORMATEX format_{};
    WORD validBits_ = 0;
    std::atomic<bool> hasFormat_{false};
    // Change bits reported for stretches that were bypassed, kept until the next processed one.
    DWORD carriedMask_ = 0;
};
