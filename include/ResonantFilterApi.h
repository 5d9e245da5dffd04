// Resonant Filter: class identifiers and private interfaces, for hosts that drive the filter
// beyond the platform's media-parameter and filter interfaces.
//
// Declared as the platform's own headers declare interfaces: C++ gets classes with their
// identifiers attached, so __uuidof(IFilterSettings), IID_PPV_ARGS and COM smart pointers work;
// C (or C++ with CINTERFACE) gets vtable structs, and with COBJMACROS defined, call macros such
// as IFilterSettings_GetAllParams(This, values). Both describe the same slots in the same order.
//
// The identifiers below are declared; include <initguid.h> first in one source file to define
// them there.
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

typedef interface IFilterSettings IFilterSettings;
typedef interface IFilterPresets IFilterPresets;
typedef interface IDirectProcess IDirectProcess;

// IFilterSettings: values, the integer ("scaled") view, capture brackets and change notices, as
// the property page uses them. Scaled units: Frequency whole hertz, Resonance and Wet/Dry tenths
// of a percent, the others their value. Notices arrive as WM_COMMAND, MAKEWPARAM(id, code): 100
// all settings replaced, 0 a value set through IMediaParams, 0/1 the input/output type stored.
//
// IFilterPresets: the 18 built-in presets.
//
// IDirectProcess: interleaved 32-bit float buffers through the filter, without pins. One thread
// at a time, and not while the pins stream.

#if defined(__cplusplus) && !defined(CINTERFACE)

#define RF_SCALED_PARAM_METHODS(Name)                                   \
    virtual HRESULT STDMETHODCALLTYPE GetScaled##Name(LONG* value) = 0; \
    virtual HRESULT STDMETHODCALLTYPE PutScaled##Name(LONG value) = 0;  \
    virtual HRESULT STDMETHODCALLTYPE BeginCapture##Name() = 0;         \
    virtual HRESULT STDMETHODCALLTYPE EndCapture##Name() = 0;           \
    virtual HRESULT STDMETHODCALLTYPE IsAutomated##Name() = 0;

// The formatter reads a class after MIDL_INTERFACE as an expression and spaces its pointers.
// clang-format off
MIDL_INTERFACE("37924402-BC8B-4A21-8882-E34CE434EACA")
IFilterSettings : public IUnknown {
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

MIDL_INTERFACE("1CF07086-435E-48EC-87DA-E810ACB97C1E")
IFilterPresets : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetPresetCount(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPresetName(LONG index, WCHAR* name, LONG length) = 0;
    virtual HRESULT STDMETHODCALLTYPE ApplyPreset(LONG index) = 0;
};

MIDL_INTERFACE("47C764BC-32A8-4DA7-ACDA-32144EB65342")
IDirectProcess : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Init(UINT channels, UINT sampleRate) = 0;
    virtual HRESULT STDMETHODCALLTYPE Process(float* frames, UINT count, UINT flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Drain(float* frames, UINT* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE HasPendingChange() = 0;
    virtual HRESULT STDMETHODCALLTYPE Refresh(BOOL reset, DWORD reserved1, DWORD reserved2) = 0;
};
// clang-format on

// MinGW's __uuidof reads these; other compilers read MIDL_INTERFACE's attribute.
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IFilterSettings, 0x37924402, 0xbc8b, 0x4a21, 0x88, 0x82, 0xe3, 0x4c, 0xe4, 0x34,
                0xea, 0xca)
__CRT_UUID_DECL(IFilterPresets, 0x1cf07086, 0x435e, 0x48ec, 0x87, 0xda, 0xe8, 0x10, 0xac, 0xb9,
                0x7c, 0x1e)
__CRT_UUID_DECL(IDirectProcess, 0x47c764bc, 0x32a8, 0x4da7, 0xac, 0xda, 0x32, 0x14, 0x4e, 0xb6,
                0x53, 0x42)
#endif

#else  // C

#define RF_SCALED_PARAM_SLOTS(Name)                                                    \
    HRESULT(STDMETHODCALLTYPE* GetScaled##Name)(IFilterSettings * This, LONG * value); \
    HRESULT(STDMETHODCALLTYPE* PutScaled##Name)(IFilterSettings * This, LONG value);   \
    HRESULT(STDMETHODCALLTYPE* BeginCapture##Name)(IFilterSettings * This);            \
    HRESULT(STDMETHODCALLTYPE* EndCapture##Name)(IFilterSettings * This);              \
    HRESULT(STDMETHODCALLTYPE* IsAutomated##Name)(IFilterSettings * This);

typedef struct IFilterSettingsVtbl {
    BEGIN_INTERFACE
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(IFilterSettings* This, REFIID riid, void** object);
    ULONG(STDMETHODCALLTYPE* AddRef)(IFilterSettings* This);
    ULONG(STDMETHODCALLTYPE* Release)(IFilterSettings* This);
    HRESULT(STDMETHODCALLTYPE* GetAllParams)(IFilterSettings* This, float values[6]);
    HRESULT(STDMETHODCALLTYPE* SetAllParams)(IFilterSettings* This, const float values[6]);
    HRESULT(STDMETHODCALLTYPE* GetWaveFormat)(IFilterSettings* This, WAVEFORMATEX* format);
    HRESULT(STDMETHODCALLTYPE* RegisterNotifyWindow)(IFilterSettings* This, HWND window, UINT id);
    RF_SCALED_PARAM_SLOTS(Frequency)
    RF_SCALED_PARAM_SLOTS(Resonance)
    RF_SCALED_PARAM_SLOTS(FilterType)
    RF_SCALED_PARAM_SLOTS(FilterOrder)
    RF_SCALED_PARAM_SLOTS(Bypass)
    RF_SCALED_PARAM_SLOTS(WetDry)
    END_INTERFACE
} IFilterSettingsVtbl;

#undef RF_SCALED_PARAM_SLOTS

interface IFilterSettings {
    CONST_VTBL IFilterSettingsVtbl* lpVtbl;
};

typedef struct IFilterPresetsVtbl {
    BEGIN_INTERFACE
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(IFilterPresets* This, REFIID riid, void** object);
    ULONG(STDMETHODCALLTYPE* AddRef)(IFilterPresets* This);
    ULONG(STDMETHODCALLTYPE* Release)(IFilterPresets* This);
    HRESULT(STDMETHODCALLTYPE* GetPresetCount)(IFilterPresets* This, LONG* count);
    HRESULT(STDMETHODCALLTYPE* GetPresetName)
    (IFilterPresets* This, LONG index, WCHAR* name, LONG length);
    HRESULT(STDMETHODCALLTYPE* ApplyPreset)(IFilterPresets* This, LONG index);
    END_INTERFACE
} IFilterPresetsVtbl;

interface IFilterPresets {
    CONST_VTBL IFilterPresetsVtbl* lpVtbl;
};

typedef struct IDirectProcessVtbl {
    BEGIN_INTERFACE
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(IDirectProcess* This, REFIID riid, void** object);
    ULONG(STDMETHODCALLTYPE* AddRef)(IDirectProcess* This);
    ULONG(STDMETHODCALLTYPE* Release)(IDirectProcess* This);
    HRESULT(STDMETHODCALLTYPE* Init)(IDirectProcess* This, UINT channels, UINT sampleRate);
    HRESULT(STDMETHODCALLTYPE* Process)
    (IDirectProcess* This, float* frames, UINT count, UINT flags);
    HRESULT(STDMETHODCALLTYPE* Drain)(IDirectProcess* This, float* frames, UINT* count);
    HRESULT(STDMETHODCALLTYPE* Stop)(IDirectProcess* This);
    HRESULT(STDMETHODCALLTYPE* HasPendingChange)(IDirectProcess* This);
    HRESULT(STDMETHODCALLTYPE* Refresh)
    (IDirectProcess* This, BOOL reset, DWORD reserved1, DWORD reserved2);
    END_INTERFACE
} IDirectProcessVtbl;

interface IDirectProcess {
    CONST_VTBL IDirectProcessVtbl* lpVtbl;
};

#ifdef COBJMACROS
// clang-format off
#define IFilterSettings_QueryInterface(This, riid, object) (This)->lpVtbl->QueryInterface(This, riid, object)
#define IFilterSettings_AddRef(This) (This)->lpVtbl->AddRef(This)
#define IFilterSettings_Release(This) (This)->lpVtbl->Release(This)
#define IFilterSettings_GetAllParams(This, values) (This)->lpVtbl->GetAllParams(This, values)
#define IFilterSettings_SetAllParams(This, values) (This)->lpVtbl->SetAllParams(This, values)
#define IFilterSettings_GetWaveFormat(This, format) (This)->lpVtbl->GetWaveFormat(This, format)
#define IFilterSettings_RegisterNotifyWindow(This, window, id) (This)->lpVtbl->RegisterNotifyWindow(This, window, id)
#define IFilterSettings_GetScaledFrequency(This, value) (This)->lpVtbl->GetScaledFrequency(This, value)
#define IFilterSettings_PutScaledFrequency(This, value) (This)->lpVtbl->PutScaledFrequency(This, value)
#define IFilterSettings_BeginCaptureFrequency(This) (This)->lpVtbl->BeginCaptureFrequency(This)
#define IFilterSettings_EndCaptureFrequency(This) (This)->lpVtbl->EndCaptureFrequency(This)
#define IFilterSettings_IsAutomatedFrequency(This) (This)->lpVtbl->IsAutomatedFrequency(This)
#define IFilterSettings_GetScaledResonance(This, value) (This)->lpVtbl->GetScaledResonance(This, value)
#define IFilterSettings_PutScaledResonance(This, value) (This)->lpVtbl->PutScaledResonance(This, value)
#define IFilterSettings_BeginCaptureResonance(This) (This)->lpVtbl->BeginCaptureResonance(This)
#define IFilterSettings_EndCaptureResonance(This) (This)->lpVtbl->EndCaptureResonance(This)
#define IFilterSettings_IsAutomatedResonance(This) (This)->lpVtbl->IsAutomatedResonance(This)
#define IFilterSettings_GetScaledFilterType(This, value) (This)->lpVtbl->GetScaledFilterType(This, value)
#define IFilterSettings_PutScaledFilterType(This, value) (This)->lpVtbl->PutScaledFilterType(This, value)
#define IFilterSettings_BeginCaptureFilterType(This) (This)->lpVtbl->BeginCaptureFilterType(This)
#define IFilterSettings_EndCaptureFilterType(This) (This)->lpVtbl->EndCaptureFilterType(This)
#define IFilterSettings_IsAutomatedFilterType(This) (This)->lpVtbl->IsAutomatedFilterType(This)
#define IFilterSettings_GetScaledFilterOrder(This, value) (This)->lpVtbl->GetScaledFilterOrder(This, value)
#define IFilterSettings_PutScaledFilterOrder(This, value) (This)->lpVtbl->PutScaledFilterOrder(This, value)
#define IFilterSettings_BeginCaptureFilterOrder(This) (This)->lpVtbl->BeginCaptureFilterOrder(This)
#define IFilterSettings_EndCaptureFilterOrder(This) (This)->lpVtbl->EndCaptureFilterOrder(This)
#define IFilterSettings_IsAutomatedFilterOrder(This) (This)->lpVtbl->IsAutomatedFilterOrder(This)
#define IFilterSettings_GetScaledBypass(This, value) (This)->lpVtbl->GetScaledBypass(This, value)
#define IFilterSettings_PutScaledBypass(This, value) (This)->lpVtbl->PutScaledBypass(This, value)
#define IFilterSettings_BeginCaptureBypass(This) (This)->lpVtbl->BeginCaptureBypass(This)
#define IFilterSettings_EndCaptureBypass(This) (This)->lpVtbl->EndCaptureBypass(This)
#define IFilterSettings_IsAutomatedBypass(This) (This)->lpVtbl->IsAutomatedBypass(This)
#define IFilterSettings_GetScaledWetDry(This, value) (This)->lpVtbl->GetScaledWetDry(This, value)
#define IFilterSettings_PutScaledWetDry(This, value) (This)->lpVtbl->PutScaledWetDry(This, value)
#define IFilterSettings_BeginCaptureWetDry(This) (This)->lpVtbl->BeginCaptureWetDry(This)
#define IFilterSettings_EndCaptureWetDry(This) (This)->lpVtbl->EndCaptureWetDry(This)
#define IFilterSettings_IsAutomatedWetDry(This) (This)->lpVtbl->IsAutomatedWetDry(This)

#define IFilterPresets_QueryInterface(This, riid, object) (This)->lpVtbl->QueryInterface(This, riid, object)
#define IFilterPresets_AddRef(This) (This)->lpVtbl->AddRef(This)
#define IFilterPresets_Release(This) (This)->lpVtbl->Release(This)
#define IFilterPresets_GetPresetCount(This, count) (This)->lpVtbl->GetPresetCount(This, count)
#define IFilterPresets_GetPresetName(This, index, name, length) (This)->lpVtbl->GetPresetName(This, index, name, length)
#define IFilterPresets_ApplyPreset(This, index) (This)->lpVtbl->ApplyPreset(This, index)

#define IDirectProcess_QueryInterface(This, riid, object) (This)->lpVtbl->QueryInterface(This, riid, object)
#define IDirectProcess_AddRef(This) (This)->lpVtbl->AddRef(This)
#define IDirectProcess_Release(This) (This)->lpVtbl->Release(This)
#define IDirectProcess_Init(This, channels, sampleRate) (This)->lpVtbl->Init(This, channels, sampleRate)
#define IDirectProcess_Process(This, frames, count, flags) (This)->lpVtbl->Process(This, frames, count, flags)
#define IDirectProcess_Drain(This, frames, count) (This)->lpVtbl->Drain(This, frames, count)
#define IDirectProcess_Stop(This) (This)->lpVtbl->Stop(This)
#define IDirectProcess_HasPendingChange(This) (This)->lpVtbl->HasPendingChange(This)
#define IDirectProcess_Refresh(This, reset, reserved1, reserved2) (This)->lpVtbl->Refresh(This, reset, reserved1, reserved2)
// clang-format on
#endif  // COBJMACROS

#endif  // __cplusplus && !CINTERFACE
