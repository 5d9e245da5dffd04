// The DMO's class as a Media Foundation transform, as the platform's own audio effects are both:
// a face of its own (the two interfaces share method signatures with different error codes)
// over the DMO's DSP, driver, settings and lock. Synchronous, one input and one output stream of
// the same type, filtered into the caller's output sample; it never converts, so the topology
// loader's probes of audio effects as converters fail.
//
// Threads: any; every call holds the DMO's lock. A host streams through this face or through
// the DMO's, never both, so each keeps its own types and held input.
#pragma once

#include "filter/MfAudioType.h"
#include "framework/ComIdentity.h"
#include "platform/Platform.h"

#include <mftransform.h>

class ResonantDmo;

class MftFace final : public IMFTransform {
  public:
    explicit MftFace(ResonantDmo& dmo) : dmo_(dmo) {}
    ~MftFace();
    MftFace(const MftFace&) = delete;
    MftFace& operator=(const MftFace&) = delete;

    // IUnknown: the DMO's outer unknown.
    RF_OUTER_UNKNOWN_FACE

    // IMFTransform
    STDMETHODIMP GetStreamLimits(DWORD* inputMin, DWORD* inputMax, DWORD* outputMin,
                                 DWORD* outputMax) override;
    STDMETHODIMP GetStreamCount(DWORD* inputs, DWORD* outputs) override;
    STDMETHODIMP GetStreamIDs(DWORD inputSize, DWORD* inputIds, DWORD outputSize,
                              DWORD* outputIds) override;
    STDMETHODIMP GetInputStreamInfo(DWORD id, MFT_INPUT_STREAM_INFO* info) override;
    STDMETHODIMP GetOutputStreamInfo(DWORD id, MFT_OUTPUT_STREAM_INFO* info) override;
    STDMETHODIMP GetAttributes(IMFAttributes** attributes) override;
    STDMETHODIMP GetInputStreamAttributes(DWORD id, IMFAttributes** attributes) override;
    STDMETHODIMP GetOutputStreamAttributes(DWORD id, IMFAttributes** attributes) override;
    STDMETHODIMP DeleteInputStream(DWORD id) override;
    STDMETHODIMP AddInputStreams(DWORD count, DWORD* ids) override;
    STDMETHODIMP GetInputAvailableType(DWORD id, DWORD index, IMFMediaType** type) override;
    STDMETHODIMP GetOutputAvailableType(DWORD id, DWORD index, IMFMediaType** type) override;
    STDMETHODIMP SetInputType(DWORD id, IMFMediaType* type, DWORD flags) override;
    STDMETHODIMP SetOutputType(DWORD id, IMFMediaType* type, DWORD flags) override;
    STDMETHODIMP GetInputCurrentType(DWORD id, IMFMediaType** type) override;
    STDMETHODIMP GetOutputCurrentType(DWORD id, IMFMediaType** type) override;
    STDMETHODIMP GetInputStatus(DWORD id, DWORD* flags) override;
    STDMETHODIMP GetOutputStatus(DWORD* flags) override;
    STDMETHODIMP SetOutputBounds(LONGLONG lower, LONGLONG upper) override;
    STDMETHODIMP ProcessEvent(DWORD id, IMFMediaEvent* event) override;
    STDMETHODIMP ProcessMessage(MFT_MESSAGE_TYPE message, ULONG_PTR param) override;
    STDMETHODIMP ProcessInput(DWORD id, IMFSample* sample, DWORD flags) override;
    STDMETHODIMP ProcessOutput(DWORD flags, DWORD count, MFT_OUTPUT_DATA_BUFFER* samples,
                               DWORD* status) override;

  private:
    IUnknown* Outer() const;
    template <class Info>
    HRESULT StreamInfo(DWORD id, Info* info);

    // The sample ProcessInput took, until ProcessOutput has passed all of its frames on.
    struct HeldInput {
        IMFSample* sample = nullptr;
        IMFMediaBuffer* buffer = nullptr;
        DWORD frames = 0;
        DWORD done = 0;
        bool timed = false;
        LONGLONG time = 0;
        bool restart = false;
    };

    // The DMO's lock held for all of these.
    bool TypesSet() const { return input_ && output_; }
    HRESULT StartIfNeeded();
    void EndStream();
    void DropHeld();
    void ClearOutput();
    // The next stretch of the held sample filtered into `out` (room for `room` frames).
    HRESULT FilterHeld(BYTE* out, DWORD room, DWORD* frames);
    // ProcessOutput's work on the caller's sample, once there is input to give.
    HRESULT FillOutput(IMFSample* sample, DWORD* status);

    ResonantDmo& dmo_;
    IMFMediaType* input_ = nullptr;  // our own copies, handed out only as copies
    IMFMediaType* output_ = nullptr;
    MfAudioType inputFormat_;
    bool started_ = false;
    // A discontinuity came: the next sample taken restarts the filter state.
    bool restartNext_ = false;
    HeldInput held_;
};
