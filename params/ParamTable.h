// The six published parameters as constant data: everything about a parameter that does not
// change at run time is read from this table, never from per-index code.
#pragma once

#include "platform/Platform.h"

enum ParamIndex : DWORD {
    kParamFrequency = 0,
    kParamResonance = 1,
    kParamFilterType = 2,
    kParamFilterOrder = 3,
    kParamBypass = 4,
    kParamWetDry = 5,
    kParamCount = 6
};

struct ParamTableEntry {
    MP_PARAMINFO description;  // handed to hosts unchanged
    DWORD changeBit;           // bit in the change mask; 0 = none
    LONG scaledMax;            // integer view used by the page and the settings interface
    LONG scaledMin;
    const WCHAR* enumText;  // comma-separated value names; empty unless an enumeration
};

extern const ParamTableEntry kParamTable[kParamCount];

inline MP_DATA ParamMin(DWORD index) {
    return kParamTable[index].description.mpdMinValue;
}
inline MP_DATA ParamMax(DWORD index) {
    return kParamTable[index].description.mpdMaxValue;
}
inline MP_DATA ParamNeutral(DWORD index) {
    return kParamTable[index].description.mpdNeutralValue;
}

// Clamps into [Min, Max]; a NaN becomes the neutral value so it can never reach the filter.
MP_DATA ClampParam(DWORD index, MP_DATA value);

// The integer view: whole hertz, tenths of a percent, or the value itself.
LONG ToScaled(DWORD index, MP_DATA value);
MP_DATA FromScaled(DWORD index, LONG scaled);
LONG ClampScaled(DWORD index, LONG scaled);
