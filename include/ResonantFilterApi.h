// Resonant Filter: class identifiers and private interfaces, for hosts that drive the filter
// beyond the platform's media-parameter and filter interfaces.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <mmreg.h>

// The filter and its property page.
// {239C0069-D9CB-43D6-B381-B5A6C044C48C}
DEFINE_GUID(CLSID_ResonantFilter, 0x239c0069, 0xd9cb, 0x43d6, 0xb3, 0x81, 0xb5, 0xa6, 0xc0, 0x44,
            0xc4, 0x8c);
// {1B05CB7A-9FE8-4D03-A35C-49941B053A82}
DEFINE_GUID(CLSID_ResonantFilterPage, 0x1b05cb7a, 0x9fe8, 0x4d03, 0xa3, 0x5c, 0x49, 0x94, 0x1b,
            0x05, 0x3a, 0x82);
// The same filter as an in-place audio-effect DirectX Media Object.
// {2B01ABCB-A57A-45DB-88DD-97C6DF384707}
DEFINE_GUID(CLSID_ResonantFilterDmo, 0x2b01abcb, 0xa57a, 0x45db, 0x88, 0xdd, 0x97, 0xc6, 0xdf, 0x38,
            0x47, 0x07);
// {37924402-BC8B-4A21-8882-E34CE434EACA}
DEFINE_GUID(IID_IFilterSettings, 0x37924402, 0xbc8b, 0x4a21, 0x88, 0x82, 0xe3, 0x4c, 0xe4, 0x34,
            0xea, 0xca);
// {1CF07086-435E-48EC-87DA-E810ACB97C1E}
DEFINE_GUID(IID_IFilterPresets, 0x1cf07086, 0x435e, 0x48ec, 0x87, 0xda, 0xe8, 0x10, 0xac, 0xb9,
            0x7c, 0x1e);
// {47C764BC-32A8-4DA7-ACDA-32144EB65342}
DEFINE_GUID(IID_IDirectProcess, 0x47c764bc, 0x32a8, 0x4da7, 0xac, 0xda, 0x32, 0x14, 0x4e, 0xb6,
            0x53, 0x42);

// Values, the integer ("scaled") view, capture brackets and change notices, as the property page
// uses them. Scaled units: Frequency whole hertz, Resonance and Wet/Dry tenths of a percent, the
// others their value. Notices arrive as WM_COMMAND, MAKEWPARAM(id, code): 100 all settings
// replaced, 0 a value set through IMediaParams, 0/1 the input/output type stored.
#define RF_SCALED_PARAM_METHODS(Name)                                   \
    virtual HRESULT STDMETHODCALLTYPE GetScaled##Name(LONG* value) = 0; \
    virtual HRESULT STDMETHODCALLTYPE PutScaled##Name(LONG value) = 0;  \
    virtual HRESULT STDMETHODCALLTYPE BeginCapture##Name() = 0;         \
    virtual HRESULT STDMETHODCALLTYPE EndCapture##Name() = 0;           \
    virtual HRESULT STDMETHODCALLTYPE IsAutomated##Name() = 0;

struct IFilterSettings : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetAllParams(float values[6]) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAllParams(const float values[6]) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetWaveFormat(WAVEFORMATEX* format) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterNotifyWindow(HWND window, UINT id) = 0;
    RF_SCALED_PARAM_METHODS(Frequency)
    RF_SCALED_PARAM_METHODS(Resonance)
    RF_SCALED_PARAM_METHODS(FilterType)
    RF_SCALED_PARAM_METHODS(FilterOrder)
    RF_SCALED_PARAM_METHODS(Bypass)
    RF_SCALED_PARAM_METHODS(WetDry)
};

#undef RF_SCALED_PARAM_METHODS

// The 18 built-in presets.
struct IFilterPresets : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetPresetCount(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPresetName(LONG index, WCHAR* name, LONG length) = 0;
    virtual HRESULT STDMETHODCALLTYPE ApplyPreset(LONG index) = 0;
};

// Interleaved 32-bit float buffers through the filter, without pins. One thread at a time, and
// not while the pins stream.
struct IDirectProcess : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Init(UINT channels, UINT sampleRate) = 0;
    virtual HRESULT STDMETHODCALLTYPE Process(float* frames, UINT count, UINT flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Drain(float* frames, UINT* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE HasPendingChange() = 0;
    virtual HRESULT STDMETHODCALLTYPE Refresh(BOOL reset, DWORD reserved1, DWORD reserved2) = 0;
};
