// The 18 fixed presets: a name and the six values in parameter order. Constant, shared by every
// filter instance; row 0 holds the start-up values.
#pragma once

#include "params/ParamTable.h"

struct PresetRow {
    UINT stringId;     // the name's id in the module's string table
    const char* name;  // the same text, for builds without resources
    MP_DATA values[kParamCount];
};

constexpr LONG kPresetCount = 18;
extern const PresetRow kPresetTable[kPresetCount];

// Copies the name of preset `index` into `name` (`length` characters, NUL included), cut to fit.
// E_POINTER for a null buffer; E_INVALIDARG for an index outside 0..17 or no room at all.
HRESULT CopyPresetName(LONG index, WCHAR* name, LONG length);
