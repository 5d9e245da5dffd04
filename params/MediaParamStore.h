// Holds the six parameter values and implements the media-parameter interfaces on them, plus the
// private access path of the page, presets, persistence and the streaming driver.
//
// Threads: hosts call the COM methods on any thread, the page calls the private operations on its
// window thread, the streaming thread evaluates envelopes. One lock guards all state; it is never
// held while calling out, and no other lock is taken while it is held. A caller that also holds
// the DSP lock takes it first.
#pragma once

#include "ParamSlot.h"
#include "ParamTable.h"
#include "platform/CriticalLock.h"
#include "platform/Platform.h"

// Told, after the store lock is released, of every value a host changed through SetParam.
class ParamChangeListener {
  public:
    virtual void OnParamSet(DWORD index) = 0;

  protected:
    ~ParamChangeListener() = default;
};

class MediaParamStore : public IMediaParamInfo,
                        public IMediaParams,
                        public IMediaParamsSetUICallback {
  public:
    // `owner` receives every IUnknown call (the store is a face of its owner and never counts
    // references itself). A failure to allocate is reported in `result`.
    MediaParamStore(IUnknown* owner, HRESULT* result);
    virtual ~MediaParamStore();
    MediaParamStore(const MediaParamStore&) = delete;
    MediaParamStore& operator=(const MediaParamStore&) = delete;

    // Hands out the face for IMediaParamInfo, IMediaParams or IMediaParamsSetUICallback with a
    // reference added on the owner; E_NOINTERFACE for anything else.
    HRESULT QueryFace(REFIID iid, void** object);

    // Set once by the embedding object, before the store is shared with any other thread.
    void SetChangeListener(ParamChangeListener* listener) { listener_ = listener; }

    // IUnknown, forwarded to the owner.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IMediaParamInfo: constant data, no lock.
    HRESULT STDMETHODCALLTYPE GetParamCount(DWORD* count) override;
    HRESULT STDMETHODCALLTYPE GetParamInfo(DWORD index, MP_PARAMINFO* info) override;
    HRESULT STDMETHODCALLTYPE GetParamText(DWORD index, WCHAR** text) override;
    HRESULT STDMETHODCALLTYPE GetNumTimeFormats(DWORD* count) override;
    HRESULT STDMETHODCALLTYPE GetSupportedTimeFormat(DWORD index, GUID* format) override;
    HRESULT STDMETHODCALLTYPE GetCurrentTimeFormat(GUID* format, MP_TIMEDATA* data) override;

    // IMediaParams: any thread, store lock.
    HRESULT STDMETHODCALLTYPE GetParam(DWORD index, MP_DATA* value) override;
    HRESULT STDMETHODCALLTYPE SetParam(DWORD index, MP_DATA value) override;
    HRESULT STDMETHODCALLTYPE AddEnvelope(DWORD index, DWORD count,
                                          MP_ENVELOPE_SEGMENT* segments) override;
    HRESULT STDMETHODCALLTYPE FlushEnvelope(DWORD index, REFERENCE_TIME start,
                                            REFERENCE_TIME end) override;
    HRESULT STDMETHODCALLTYPE SetTimeFormat(GUID format, MP_TIMEDATA data) override;

    // IMediaParamsSetUICallback: any thread; takes only the callback's own lock.
    HRESULT STDMETHODCALLTYPE SetUICallback(IMediaParamsUICallback* callback) override;

    // Private operations. The per-parameter ones take their index from the fixed settings-interface
    // method that calls them, so they do not check it.
    HRESULT GetAllParams(MP_DATA values[kParamCount]);
    HRESULT SetAllParams(const MP_DATA values[kParamCount]);
    HRESULT GetScaled(DWORD index, LONG* scaled);
    // Clamps `scaled` into the parameter's scaled range first. S_FALSE when nothing changed.
    HRESULT PutScaled(DWORD index, LONG scaled);
    HRESULT BeginCapture(DWORD index);
    HRESULT EndCapture(DWORD index);
    HRESULT IsAutomated(DWORD index);
    // Streaming thread, between two advances: what the coefficient design ramps from.
    HRESULT GetRampState(DWORD index, double* value, double* slope, double* curvature);

    // Time base and change scheduling, called by the streaming side only: from the thread that
    // starts and stops streaming, or from the streaming thread, never both at once.
    HRESULT StartTimeBase(DWORD sampleRate);
    void StopTimeBase();
    // `start` is the media sample's start time, or null when the sample carries none.
    void SetSampleTimes(const REFERENCE_TIME* start);
    void ResetClock();
    // Evaluates every envelope at the clock and returns how many of the `frames` left may be
    // processed before the next change must take effect; moves the clock over them and adds
    // the bits of parameters whose coefficients must be recomputed to `changeMask`.
    DWORD AdvanceToNextChange(DWORD frames, DWORD* changeMask);
    REFERENCE_TIME Position();

  private:
    enum class UiCall { Begin, Changed, End };

    IMediaParamsUICallback* AcquireCallback();
    static void Call(IMediaParamsUICallback* callback, UiCall call, DWORD index, MP_DATA value);
    MP_DATA LockedValue(DWORD index);

    IUnknown* owner_;
    ParamChangeListener* listener_ = nullptr;
    ParamSlot* slots_ = nullptr;
    CriticalLock lock_;
    GUID timeFormat_;
    MP_TIMEDATA timeData_ = 0;

    // Time base, driven by the streaming side.
    BOOL timeBaseActive_ = FALSE;
    REFERENCE_TIME sampleStart_ = 0;
    REFERENCE_TIME position_ = 0;
    double refToSamples_ = 0.0;
    double samplesToRef_ = 0.0;

    // The host's callback has a lock of its own so that replacing it cannot race a call-out.
    CriticalLock callbackLock_;
    IMediaParamsUICallback* uiCallback_ = nullptr;
};
