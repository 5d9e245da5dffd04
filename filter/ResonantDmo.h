// The filter as an in-place audio-effect DirectX Media Object, for hosts that take effects only
// as DMOs: DirectShow applications through the DMO Wrapper filter, DirectSound buffers through
// SetFX, and media players. The same settings faces, streaming driver and loop as the filter,
// so the same input, settings and automation give the same bits.
//
// Threads: IMediaObject and IMediaObjectInPlace calls may come on any thread and each holds the
// object's lock, which Lock(TRUE) also takes for a caller's sequence of calls; settings, presets
// and parameter calls go through the store's lock as on the filter. Lock order: the object's
// lock, then the DSP lock, then the store lock.
#pragma once

#include "filter/MftFace.h"
#include "filter/SettingsFaces.h"
#include "framework/ComIdentity.h"
#include "platform/CriticalLock.h"

#include <mediaobj.h>

class ResonantDmo : public ComIdentity,
                    public SettingsFaces,
                    public IMediaObject,
                    public IMediaObjectInPlace {
  public:
    // The factory's create function: the non-delegating unknown with one reference.
    static IUnknown* Create(IUnknown* outer, HRESULT* result);

    // IUnknown of every face: the outer unknown's.
    RF_OUTER_UNKNOWN_FACE

    // IPersist of IPersistStream.
    STDMETHODIMP GetClassID(CLSID* clsid) override;

    // IMediaObject: one input stream and one output stream of the same type.
    STDMETHODIMP GetStreamCount(DWORD* inputs, DWORD* outputs) override;
    STDMETHODIMP GetInputStreamInfo(DWORD index, DWORD* flags) override;
    STDMETHODIMP GetOutputStreamInfo(DWORD index, DWORD* flags) override;
    STDMETHODIMP GetInputType(DWORD index, DWORD typeIndex, DMO_MEDIA_TYPE* type) override;
    STDMETHODIMP GetOutputType(DWORD index, DWORD typeIndex, DMO_MEDIA_TYPE* type) override;
    STDMETHODIMP SetInputType(DWORD index, const DMO_MEDIA_TYPE* type, DWORD flags) override;
    STDMETHODIMP SetOutputType(DWORD index, const DMO_MEDIA_TYPE* type, DWORD flags) override;
    STDMETHODIMP GetInputCurrentType(DWORD index, DMO_MEDIA_TYPE* type) override;
    STDMETHODIMP GetOutputCurrentType(DWORD index, DMO_MEDIA_TYPE* type) override;
    STDMETHODIMP GetInputSizeInfo(DWORD index, DWORD* size, DWORD* lookahead,
                                  DWORD* alignment) override;
    STDMETHODIMP GetOutputSizeInfo(DWORD index, DWORD* size, DWORD* alignment) override;
    STDMETHODIMP GetInputMaxLatency(DWORD index, REFERENCE_TIME* latency) override;
    STDMETHODIMP SetInputMaxLatency(DWORD index, REFERENCE_TIME latency) override;
    STDMETHODIMP Flush() override;
    STDMETHODIMP Discontinuity(DWORD index) override;
    STDMETHODIMP AllocateStreamingResources() override;
    STDMETHODIMP FreeStreamingResources() override;
    STDMETHODIMP GetInputStatus(DWORD index, DWORD* flags) override;
    STDMETHODIMP ProcessInput(DWORD index, IMediaBuffer* buffer, DWORD flags, REFERENCE_TIME time,
                              REFERENCE_TIME length) override;
    STDMETHODIMP ProcessOutput(DWORD flags, DWORD count, DMO_OUTPUT_DATA_BUFFER* buffers,
                               DWORD* status) override;
    STDMETHODIMP Lock(LONG lock) override;

    // IMediaObjectInPlace
    STDMETHODIMP Process(ULONG size, BYTE* data, REFERENCE_TIME start, DWORD flags) override;
    STDMETHODIMP Clone(IMediaObjectInPlace** out) override;
    STDMETHODIMP GetLatency(REFERENCE_TIME* latency) override;

  private:
    friend class MftFace;  // the same object as a Media Foundation transform

    // The buffer ProcessInput took, until ProcessOutput has passed all of its frames on.
    struct HeldInput {
        IMediaBuffer* buffer = nullptr;
        BYTE* data = nullptr;
        DWORD frames = 0;
        DWORD done = 0;
        DWORD flags = 0;  // the input's DMO_INPUT_DATA_BUFFERF_* flags
        REFERENCE_TIME time = 0;
        REFERENCE_TIME length = 0;
        bool restart = false;
    };

    ResonantDmo(IUnknown* outer, HRESULT* result);
    ~ResonantDmo() override;
    // A new object with one reference on its non-delegating unknown, or null with *result.
    static ResonantDmo* New(IUnknown* outer, HRESULT* result);

    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;
    // Object lock held for all of these.
    bool TypesSet() const { return inputSet_ && outputSet_; }
    HRESULT StartIfNeeded();
    void EndStream();
    void DropHeld();
    // Stamps the frames of the held buffer from `first` on with its time base.
    REFERENCE_TIME HeldTimeAt(DWORD first) const;
    // Both faces: `frames` at the stream's rate as a time, rounded to 100 ns.
    REFERENCE_TIME FramesToTime(DWORD frames) const;
    // Both faces: `n` frames of a held input copied from `in` to `out` (which may be the same
    // memory) and filtered there. The input's first stretch sets the clock from its time (null:
    // none) and restarts the filter after a discontinuity.
    HRESULT FilterInput(BYTE* out, const BYTE* in, DWORD n, bool first, const REFERENCE_TIME* time,
                        bool restart);
    // The next stretch of the held buffer, filtered into `out` (room for `room` frames).
    HRESULT FilterHeld(BYTE* out, DWORD room, DWORD* frames);
    // ProcessOutput's work; the caller drops the held input when this fails.
    HRESULT FillOutput(DWORD flags, DWORD count, DMO_OUTPUT_DATA_BUFFER* buffers, DWORD* status);

    CriticalLock lock_;
    // Lock(TRUE) calls not yet matched by Lock(FALSE), all on lockOwner_'s thread.
    LONG lockDepth_ = 0;
    DWORD lockOwner_ = 0;
    AM_MEDIA_TYPE inputType_{};
    AM_MEDIA_TYPE outputType_{};
    bool inputSet_ = false;
    bool outputSet_ = false;
    bool started_ = false;
    // A discontinuity came: the next buffer taken restarts the filter state.
    bool restartNext_ = false;
    HeldInput held_;
    MftFace mft_{*this};
};
