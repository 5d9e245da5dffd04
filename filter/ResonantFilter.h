// The filter object: the in-place transform with the parameter store, the DSP and the
// streaming loop inside, and its private faces for the page, presets and direct processing.
//
// Threads: connection and state changes on the application thread (framework filter lock);
// Receive, Transform and EndOfStream on the upstream streaming thread (receive lock); settings,
// presets and parameter calls on any thread. Lock order: framework filter lock, receive lock;
// independently the DSP lock, then the store lock. No lock is held while filtering, and page
// notices are posted, never sent.
#pragma once

#include "dsp/FilterDsp.h"
#include "framework/InPlaceFilter.h"
#include "include/ResonantFilterApi.h"
#include "stream/DirectGate.h"
#include "stream/StreamDriver.h"

#define RF_SCALED_PARAM_OVERRIDES(Name)                 \
    STDMETHODIMP GetScaled##Name(LONG* value) override; \
    STDMETHODIMP PutScaled##Name(LONG value) override;  \
    STDMETHODIMP BeginCapture##Name() override;         \
    STDMETHODIMP EndCapture##Name() override;           \
    STDMETHODIMP IsAutomated##Name() override;

// IDirectProcess::Stop and IMediaFilter::Stop share a signature; this gives the direct one a
// name of its own so each keeps its meaning.
struct DirectProcessFace : public IDirectProcess {
    STDMETHODIMP Stop() final { return DirectStop(); }
    virtual HRESULT DirectStop() = 0;
};

class ResonantFilter : public InPlaceFilter,
                       public IFilterSettings,
                       public ISpecifyPropertyPages,
                       public IPersistStream,
                       public IFilterPresets,
                       public DirectProcessFace,
                       private ParamChangeListener {
  public:
    // The factory's create function: the non-delegating unknown with one reference.
    static IUnknown* Create(IUnknown* outer, HRESULT* result);

    // IUnknown of every face: the outer unknown's.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    // IFilterSettings: any thread.
    STDMETHODIMP GetAllParams(float values[6]) override;
    STDMETHODIMP SetAllParams(const float values[6]) override;
    STDMETHODIMP GetWaveFormat(WAVEFORMATEX* format) override;
    STDMETHODIMP RegisterNotifyWindow(HWND window, UINT id) override;
    RF_SCALED_PARAM_OVERRIDES(Frequency)
    RF_SCALED_PARAM_OVERRIDES(Resonance)
    RF_SCALED_PARAM_OVERRIDES(FilterType)
    RF_SCALED_PARAM_OVERRIDES(FilterOrder)
    RF_SCALED_PARAM_OVERRIDES(Bypass)
    RF_SCALED_PARAM_OVERRIDES(WetDry)

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

    // IPersistStream: any thread; values go through the store lock. GetClassID also serves the
    // filter face's IPersist.
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(IStream* stream) override;
    STDMETHODIMP Save(IStream* stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;

    // IFilterPresets: any thread.
    STDMETHODIMP GetPresetCount(LONG* count) override;
    STDMETHODIMP GetPresetName(LONG index, WCHAR* name, LONG length) override;
    STDMETHODIMP ApplyPreset(LONG index) override;

    // IDirectProcess: one host thread at a time; VFW_E_WRONG_STATE unless the filter is Stopped.
    STDMETHODIMP Init(UINT channels, UINT sampleRate) override;
    STDMETHODIMP Process(float* frames, UINT count, UINT flags) override;
    STDMETHODIMP Drain(float* frames, UINT* count) override;
    HRESULT DirectStop() override;
    STDMETHODIMP HasPendingChange() override;
    STDMETHODIMP Refresh(BOOL reset, DWORD reserved1, DWORD reserved2) override;

    bool SettingsDirty() const { return settingsDirty_; }

  protected:
    const FilterSetup* GetSetupData() override;
    HRESULT CheckInputType(const AM_MEDIA_TYPE* type) override;
    HRESULT SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE* type) override;
    HRESULT StartStreaming() override;
    HRESULT StopStreaming() override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT Transform(IMediaSample* sample) override;
    HRESULT EndOfStream() override;
    HRESULT AdoptInputType(const AM_MEDIA_TYPE* type) override;
    void LeavingStopped() override;
    void EnteredStopped() override;

  private:
    ResonantFilter(IUnknown* outer, HRESULT* result);
    ~ResonantFilter() override;

    void OnParamSet(DWORD index) override;
    // Posts WM_COMMAND MAKEWPARAM(id, code) to the registered windows; drops dead ones.
    void NotifyWindows(WORD code);
    HRESULT PutScaled(DWORD index, LONG value);
    HRESULT EndCapture(DWORD index);

    struct NotifySlot {
        HWND window;
        UINT id;
    };

    FilterDsp dsp_;
    StreamDriver driver_{dsp_};
    DirectGate direct_{driver_};
    std::atomic<bool> settingsDirty_{false};
    CriticalLock notifyLock_;
    NotifySlot notify_[2] = {};
};

#undef RF_SCALED_PARAM_OVERRIDES
