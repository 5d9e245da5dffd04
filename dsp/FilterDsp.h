// Everything the signal path keeps between buffers: the parameter store, the changed flag, the
// negotiated format, coefficients, ramps, section states, and the PCM working buffer.
//
// Threads: the streaming thread (or the host thread driving direct processing) owns the
// coefficients, states and working buffer while streaming. Other threads only change values in
// the store and raise `paramsChanged`. Lock order: this object's lock, then the store's; no
// lock is held while filtering.
#pragma once

#include <atomic>

#include "DspCore.h"
#include "SampleConvert.h"
#include "params/MediaParamStore.h"
#include "platform/CriticalLock.h"

enum BlockMode { kBlockRestart = 0, kBlockContinue = 1, kBlockDrain = 2 };

class FilterDsp : private ParamChangeListener {
  public:
    FilterDsp(IUnknown* owner, HRESULT* result);
    ~FilterDsp();
    FilterDsp(const FilterDsp&) = delete;
    FilterDsp& operator=(const FilterDsp&) = delete;

    MediaParamStore& Store() { return store_; }
    const DspCore& Core() const { return core_; }

    // The store's SetParam; a real change raises `paramsChanged`, whichever face it came by.
    HRESULT SetParam(DWORD index, MP_DATA value) { return store_.SetParam(index, value); }
    // Told after every value a host set, once `paramsChanged` is raised.
    void SetChangeListener(ParamChangeListener* listener) { outerListener_ = listener; }
    void MarkParamsChanged() { paramsChanged_.store(TRUE); }
    bool ParamsChangedPending() const { return paramsChanged_.load() != FALSE; }

    // Streaming start and stop, with the stream halted. A non-null format replaces the held one,
    // which must stay valid while streaming, and the PCM samples' valid bits with `validBits`
    // (0: the whole container).
    HRESULT BeginStream(const WAVEFORMATEX* format, WORD validBits = 0);
    HRESULT EndStream();
    HRESULT EnsureScratch(LONG frames);
    void ResetState() { ResetStates(&core_); }
    // 1 to process the next sub-block, 0 when Bypass is on (states are then zeroed).
    int CheckBypass();
    // The section states before a block of silence, for TailPending.
    struct TailProbe {
        SvfState states[kStateCount];
    };
    void ProbeTail(TailProbe* probe) const;
    // Whether silence in would still bring sound out: the wet path is heard and some section the
    // kernel runs holds a state above kTailFloor. With `before`, the probe taken before a block of
    // silence, a block that left every state as it was also ends the tail: the kernel's flush to
    // zero can hold a section still at a constant just above the floor (under 2^-32/f), a DC
    // offset that silence would repeat for ever. Streaming thread, after a block; O(channels).
    bool TailPending(const TailProbe* before = nullptr);
    // The six values and the previous `paramsChanged`, which is cleared, in one step.
    BOOL TakeSnapshot(ParamSnapshot* snapshot);
    HRESULT UpdateCoefficients(const ParamSnapshot& snapshot, BOOL keepState);

    // Block routines; `frames` in: the sub-block's length, out: the frames produced.
    HRESULT ProcessBlock(int mode, BOOL singleWorking, void* buffer, DWORD* frames,
                         DWORD reportEmpty);
    HRESULT ProcessPcmBlock(int mode, void* buffer, DWORD* frames);
    HRESULT ProcessFloatBlock(int mode, float* buffer, DWORD* frames, DWORD reportEmpty);
    HRESULT ProcessFloatBlock(int mode, double* buffer, DWORD* frames);

    LONG ScratchFrames() const { return scratchFrames_; }

    // About -150 dBFS, under the last bit of 24-bit audio. The kernel flushes values under 2^-32
    // to zero, so a ring-out either falls below this or comes to rest (see TailPending).
    static constexpr double kTailFloor = 3.1622776601683795e-8;

  private:
    void OnParamSet(DWORD index) override;
    bool BypassOn();
    void FreeScratch();
    int Channels() const { return format_ ? format_->nChannels : 0; }

    MediaParamStore store_;
    ParamChangeListener* outerListener_ = nullptr;
    CriticalLock lock_;
    std::atomic<BOOL> paramsChanged_{TRUE};
    const WAVEFORMATEX* format_ = nullptr;
    WORD validBits_ = 0;
    DspCore core_{};
    BOOL singleWorking_ = TRUE;
    LONG scratchFrames_ = 0;
    void* scratch_ = nullptr;
    SampleConverter convertIn_ = nullptr;
    SampleConverter convertOut_ = nullptr;
};
