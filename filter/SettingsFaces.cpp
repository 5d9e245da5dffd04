// The settings, presets and property-page faces shared by the filter and the DMO.
#include "SettingsFaces.h"

#include "presets/PresetTable.h"

SettingsFaces::SettingsFaces(IUnknown* owner, HRESULT* result)
    : dsp_(owner, result), owner_(owner) {
    if (FAILED(*result)) return;
    dsp_.SetChangeListener(this);
    if (dsp_.Store().SetAllParams(kPresetTable[0].values) == S_OK) {
        dsp_.MarkParamsChanged();
        settingsDirty_ = true;
    }
}

SettingsFaces::~SettingsFaces() = default;

HRESULT SettingsFaces::QuerySettingsFace(REFIID iid, void** out) {
    if (IsEqualGUID(iid, IID_IMediaParams) || IsEqualGUID(iid, IID_IMediaParamInfo) ||
        IsEqualGUID(iid, IID_IMediaParamsSetUICallback))
        return dsp_.Store().QueryFace(iid, out);
    void* face = nullptr;
    if (IsEqualGUID(iid, IID_IFilterSettings)) {
        face = static_cast<IFilterSettings*>(this);
    } else if (IsEqualGUID(iid, IID_ISpecifyPropertyPages)) {
        face = static_cast<ISpecifyPropertyPages*>(this);
    } else if (IsEqualGUID(iid, IID_IPersistStream) || IsEqualGUID(iid, IID_IPersist)) {
        face = static_cast<IPersistStream*>(this);
    } else if (IsEqualGUID(iid, IID_IFilterPresets)) {
        face = static_cast<IFilterPresets*>(this);
    } else {
        return E_NOINTERFACE;
    }
    owner_->AddRef();
    *out = face;
    return S_OK;
}

void SettingsFaces::OnParamSet(DWORD) {
    settingsDirty_ = true;
    NotifyWindows(0);
}

// --- IFilterSettings ---

STDMETHODIMP SettingsFaces::GetAllParams(float values[6]) {
    if (!values) return E_POINTER;
    return dsp_.Store().GetAllParams(values);
}

STDMETHODIMP SettingsFaces::SetAllParams(const float values[6]) {
    if (!values) return E_POINTER;
    const HRESULT hr = dsp_.Store().SetAllParams(values);
    dsp_.MarkParamsChanged();
    settingsDirty_ = true;
    return hr;
}

STDMETHODIMP SettingsFaces::GetWaveFormat(WAVEFORMATEX* format) {
    if (!format) return E_POINTER;
    return driver_.CopyFormat(format) ? S_OK : VFW_E_NOT_CONNECTED;
}

STDMETHODIMP SettingsFaces::RegisterNotifyWindow(HWND window, UINT id) {
    LockHold hold(notifyLock_);
    NotifySlot* chosen = nullptr;
    for (NotifySlot& slot : notify_) {
        if (slot.window == window) {
            chosen = &slot;
            break;
        }
        if (!slot.window) chosen = &slot;
    }
    if (!chosen) return id ? E_OUTOFMEMORY : S_OK;
    chosen->id = id;
    chosen->window = id ? window : nullptr;
    return S_OK;
}

void SettingsFaces::NotifyWindows(WORD code) {
    LockHold hold(notifyLock_);
    for (NotifySlot& slot : notify_) {
        if (!slot.window) continue;
        if (IsWindow(slot.window)) {
            PostMessageA(slot.window, WM_COMMAND, MAKEWPARAM(WORD(slot.id), code), 0);
        } else {
            slot = NotifySlot{};
        }
    }
}

HRESULT SettingsFaces::PutScaled(DWORD index, LONG value) {
    if (dsp_.Store().PutScaled(index, value) == S_OK) {
        dsp_.MarkParamsChanged();
        settingsDirty_ = true;
    }
    return S_OK;
}

HRESULT SettingsFaces::EndCapture(DWORD index) {
    dsp_.Store().EndCapture(index);
    dsp_.MarkParamsChanged();
    return S_OK;
}

#define RF_SCALED_PARAM_FACE(Name, Index)                      \
    STDMETHODIMP SettingsFaces::GetScaled##Name(LONG* value) { \
        if (!value) return E_POINTER;                          \
        return dsp_.Store().GetScaled(Index, value);           \
    }                                                          \
    STDMETHODIMP SettingsFaces::PutScaled##Name(LONG value) {  \
        return PutScaled(Index, value);                        \
    }                                                          \
    STDMETHODIMP SettingsFaces::BeginCapture##Name() {         \
        return dsp_.Store().BeginCapture(Index);               \
    }                                                          \
    STDMETHODIMP SettingsFaces::EndCapture##Name() {           \
        return EndCapture(Index);                              \
    }                                                          \
    STDMETHODIMP SettingsFaces::IsAutomated##Name() {          \
        return dsp_.Store().IsAutomated(Index);                \
    }

RF_SCALED_PARAM_FACE(Frequency, kParamFrequency)
RF_SCALED_PARAM_FACE(Resonance, kParamResonance)
RF_SCALED_PARAM_FACE(FilterType, kParamFilterType)
RF_SCALED_PARAM_FACE(FilterOrder, kParamFilterOrder)
RF_SCALED_PARAM_FACE(Bypass, kParamBypass)
RF_SCALED_PARAM_FACE(WetDry, kParamWetDry)

#undef RF_SCALED_PARAM_FACE

// --- ISpecifyPropertyPages ---

STDMETHODIMP SettingsFaces::GetPages(CAUUID* pages) {
    if (!pages) return E_POINTER;
    pages->cElems = 0;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems) return E_OUTOFMEMORY;
    pages->cElems = 1;
    pages->pElems[0] = CLSID_ResonantFilterPage;
    return S_OK;
}

// --- IFilterPresets ---

STDMETHODIMP SettingsFaces::GetPresetCount(LONG* count) {
    if (!count) return E_POINTER;
    *count = kPresetCount;
    return S_OK;
}

STDMETHODIMP SettingsFaces::GetPresetName(LONG index, WCHAR* name, LONG length) {
    if (!name) return E_POINTER;
    if (index < 0 || index >= kPresetCount || length <= 0) return E_INVALIDARG;
    // The names are the module's string-table texts, so a translated module names its presets
    // in its own language. A build without the strings falls back to the table's copy.
    HMODULE module = nullptr;
    const WCHAR* text = nullptr;
    int chars = 0;
    if (GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&kPresetTable), &module))
        chars =
            LoadStringW(module, kPresetTable[index].stringId, reinterpret_cast<LPWSTR>(&text), 0);
    if (chars <= 0 || !text) return CopyPresetName(index, name, length);
    const LONG copied = chars < length ? chars : length - 1;  // cut to fit, as the table's copy is
    CopyMemory(name, text, size_t(copied) * sizeof(WCHAR));
    name[copied] = 0;
    return S_OK;
}

STDMETHODIMP SettingsFaces::ApplyPreset(LONG index) {
    if (index < 0 || index >= kPresetCount) return E_INVALIDARG;
    const HRESULT hr = SetAllParams(kPresetTable[index].values);
    if (hr == S_OK) NotifyWindows(100);
    return hr;
}
