// What C callers reach: the answer of every method, called through the C declarations.
#pragma once

#include "ResonantFilterApi.h"

enum { kSettingsSlots = 37, kPresetsSlots = 6, kDirectSlots = 9 };

typedef struct SlotAnswers {
    long settings[kSettingsSlots];
    long presets[kPresetsSlots];
    long direct[kDirectSlots];
} SlotAnswers;

#ifdef __cplusplus
extern "C" {
#endif
void CallEverySlot(IFilterSettings* s, IFilterPresets* p, IDirectProcess* d, SlotAnswers* a);
#ifdef __cplusplus
}
#endif
