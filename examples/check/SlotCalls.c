// Every method of the three interfaces, called through the C declarations and macros in slot
// order; each answer is stored, so the C++ side can tell which of its slots each call reached.
#define COBJMACROS
#include "SlotCalls.h"

void CallEverySlot(IFilterSettings* s, IFilterPresets* p, IDirectProcess* d, SlotAnswers* a) {
    float values[6] = {0};
    WAVEFORMATEX format;
    LONG value = 0;
    WCHAR name[4];
    float frame[2] = {0};
    UINT count = 0;
    void* object = NULL;
    long* at = a->settings;

    *at++ = IFilterSettings_QueryInterface(s, &IID_IUnknown, &object);
    *at++ = (long)IFilterSettings_AddRef(s);
    *at++ = (long)IFilterSettings_Release(s);
    *at++ = IFilterSettings_GetAllParams(s, values);
    *at++ = IFilterSettings_SetAllParams(s, values);
    *at++ = IFilterSettings_GetWaveFormat(s, &format);
    *at++ = IFilterSettings_RegisterNotifyWindow(s, NULL, 0);
    *at++ = IFilterSettings_GetScaledFrequency(s, &value);
    *at++ = IFilterSettings_PutScaledFrequency(s, 0);
    *at++ = IFilterSettings_BeginCaptureFrequency(s);
    *at++ = IFilterSettings_EndCaptureFrequency(s);
    *at++ = IFilterSettings_IsAutomatedFrequency(s);
    *at++ = IFilterSettings_GetScaledResonance(s, &value);
    *at++ = IFilterSettings_PutScaledResonance(s, 0);
    *at++ = IFilterSettings_BeginCaptureResonance(s);
    *at++ = IFilterSettings_EndCaptureResonance(s);
    *at++ = IFilterSettings_IsAutomatedResonance(s);
    *at++ = IFilterSettings_GetScaledFilterType(s, &value);
    *at++ = IFilterSettings_PutScaledFilterType(s, 0);
    *at++ = IFilterSettings_BeginCaptureFilterType(s);
    *at++ = IFilterSettings_EndCaptureFilterType(s);
    *at++ = IFilterSettings_IsAutomatedFilterType(s);
    *at++ = IFilterSettings_GetScaledFilterOrder(s, &value);
    *at++ = IFilterSettings_PutScaledFilterOrder(s, 0);
    *at++ = IFilterSettings_BeginCaptureFilterOrder(s);
    *at++ = IFilterSettings_EndCaptureFilterOrder(s);
    *at++ = IFilterSettings_IsAutomatedFilterOrder(s);
    *at++ = IFilterSettings_GetScaledBypass(s, &value);
    *at++ = IFilterSettings_PutScaledBypass(s, 0);
    *at++ = IFilterSettings_BeginCaptureBypass(s);
    *at++ = IFilterSettings_EndCaptureBypass(s);
    *at++ = IFilterSettings_IsAutomatedBypass(s);
    *at++ = IFilterSettings_GetScaledWetDry(s, &value);
    *at++ = IFilterSettings_PutScaledWetDry(s, 0);
    *at++ = IFilterSettings_BeginCaptureWetDry(s);
    *at++ = IFilterSettings_EndCaptureWetDry(s);
    *at++ = IFilterSettings_IsAutomatedWetDry(s);

    at = a->presets;
    *at++ = IFilterPresets_QueryInterface(p, &IID_IUnknown, &object);
    *at++ = (long)IFilterPresets_AddRef(p);
    *at++ = (long)IFilterPresets_Release(p);
    *at++ = IFilterPresets_GetPresetCount(p, &value);
    *at++ = IFilterPresets_GetPresetName(p, 0, name, 4);
    *at++ = IFilterPresets_ApplyPreset(p, 0);

    at = a->direct;
    *at++ = IDirectProcess_QueryInterface(d, &IID_IUnknown, &object);
    *at++ = (long)IDirectProcess_AddRef(d);
    *at++ = (long)IDirectProcess_Release(d);
    *at++ = IDirectProcess_Init(d, 1, 44100);
    *at++ = IDirectProcess_Process(d, frame, 1, 0);
    *at++ = IDirectProcess_Drain(d, frame, &count);
    *at++ = IDirectProcess_Stop(d);
    *at++ = IDirectProcess_HasPendingChange(d);
    *at++ = IDirectProcess_Refresh(d, FALSE, 0, 0);
}
