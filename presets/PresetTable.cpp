#include "PresetTable.h"

// clang-format off
const PresetRow kPresetTable[kPresetCount] = {
    // id    name                                    Hz      Res    Type Order Byp  Wet
    {2020, "(Default)",                            {20000, 0,     0,   0,    0,   100}},
    {2021, "Default all parameters",               {20000, 0,     0,   0,    0,   100}},
    {3000, "Bass Hum",                             {135,   90,    1,   1,    0,   100}},
    {3001, "Big Boom Maker",                       {60,    100,   0,   0,    0,   100}},
    {3002, "Chest Punch",                          {150,   75,    0,   0,    0,   100}},
    {3003, "Ear Sugar",                            {5750,  33.3f, 1,   0,    0,   100}},
    {3004, "Hank on Escape Route",                 {880,   25,    1,   1,    0,   100}},
    {2041, "High Howl",                            {1500,  100,   0,   0,    0,   100}},
    {2042, "High Pierce",                          {3600,  100,   0,   0,    0,   100}},
    {2043, "Light Chime",                          {900,   75,    0,   0,    0,   100}},
    {2044, "Low Howl",                             {150,   100,   0,   0,    0,   100}},
    {2045, "Mid Howl",                             {500,   100,   0,   0,    0,   100}},
    {2046, "Muffler",                              {350,   0,     0,   0,    0,   100}},
    {2047, "PipSqueaking",                         {6000,  100,   2,   1,    0,   100}},
    {2048, "Ringing Chime",                        {900,   100,   1,   0,    0,   100}},
    {2049, "Rumbly Growl",                         {75,    50,    0,   1,    0,   100}},
    {2050, "Slicing Vocals",                       {3000,  5,     1,   1,    0,   100}},
    {2051, "Teenage Late-Night Radio by the Bed",  {1500,  20,    2,   0,    0,   100}},
};
// clang-format on

HRESULT CopyPresetName(LONG index, WCHAR* name, LONG length) {
    if (!name) return E_POINTER;
    if (index < 0 || index >= kPresetCount || length <= 0) return E_INVALIDARG;
    const char* text = kPresetTable[index].name;
    LONG i = 0;
    // The names are plain ASCII, so widening is the code-page conversion.
    for (; i < length - 1 && text[i]; ++i)
        name[i] = WCHAR(static_cast<unsigned char>(text[i]));
    name[i] = 0;
    return S_OK;
}
