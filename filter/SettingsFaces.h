// The faces the filter and the DMO share over one DSP and one streaming driver: settings and
// their change notices, presets, the property page's class and the persisted record. The
// concrete object supplies the COM identity (IUnknown, GetClassID) and the streaming side.
//
// Threads: every face here may be called on any thread; values go through the store's lock and
// notices are posted, never sent.
#pragma once

#include <atomic>

#include "dsp/FilterDsp.h"
#include "include/ResonantFilterApi.h"
#include "platform/CriticalLock.h"
#include "stream/StreamDriver.h"

#include <ocidl.h>

#define RF_SCALED_PARAM_OVERRIDES(Name)                 \
    STDMETHODIMP GetScaled##Name(LONG* value) override; \
    STDMETHODIMP PutScaled##Name(LONG value) override;  \
    STDMETHODIMP BeginCapture##Name() override;         \
    STDMETHODIMP EndCapture##Name() override;           \
    STDMETHODIMP IsAutomated##Name() override;

class SettingsFaces : public IFilterSettings,
                      public ISpecifyPropertyPages,
                      public IPersistStream,
                      public IFilterPresets,
                      private ParamChangeListener {
  public:
    // IFilterSettings
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

    // IPersistStream (GetClassID is the concrete object's)
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(IStream* stream) override;
    STDMETHODIMP Save(IStream* stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;

    // IFilterPresets
    STDMETHODIMP GetPresetCount(LONG* count) override;
    STDMETHODIMP GetPresetName(LONG index, WCHAR* name, LONG length) override;
    STDMETHODIMP ApplyPreset(LONG index) override;

    bool SettingsDirty() const { return settingsDirty_; }

  protected:
    // A new object starts from the first preset and reports itself dirty. `owner` is the
    // object's outer unknown, which the parameter faces answer for.
    SettingsFaces(IUnknown* owner, HRESULT* result);
    ~SettingsFaces();

    // The faces above and the media-parameter faces, with a reference on the owner;
    // E_NOINTERFACE for the rest.
    HRESULT QuerySettingsFace(REFIID iid, void** out);

    // Posts WM_COMMAND MAKEWPARAM(id, code) to the registered windows; drops dead ones.
    void NotifyWindows(WORD code);

    FilterDsp dsp_;
    StreamDriver driver_{dsp_};

  private:
    void OnParamSet(DWORD index) override;
    HRESULT PutScaled(DWORD index, LONG value);
    HRESULT EndCapture(DWORD index);

    struct NotifySlot {
        HWND window;
        UINT id;
    };

    IUnknown* owner_;  // not referenced: it owns this object
    std::atomic<bool> settingsDirty_{false};
    CriticalLock notifyLock_;
    NotifySlot notify_[2] = {};
};

#undef RF_SCALED_PARAM_OVERRIDES
