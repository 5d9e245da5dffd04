#include "filter/FilterSetup.h"

#include "filter/ResonantFilter.h"

namespace {

// REGFILTERPINS names its pins through non-const pointers; the mapper only reads them.
WCHAR kInputName[] = L"Input";
WCHAR kOutputName[] = L"Output";

// Any audio: the type check decides the rest at connection.
const REGPINTYPES kAudioTypes[] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_NULL}};

const REGFILTERPINS kPins[] = {
    {kInputName, FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, kOutputName, 1, kAudioTypes},
    {kOutputName, FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, kInputName, 1, kAudioTypes},
};

// MERIT_DO_NOT_USE (0x00200000): automatic graph building never inserts the filter.
const REGFILTER2 kRegistration = {1, MERIT_DO_NOT_USE, {{2, kPins}}};

}  // namespace

const FilterSetup kResonantFilterSetup = {&CLSID_ResonantFilter, L"Veltrin Resonant Filter",
                                          &kRegistration};

const FilterSetup* ResonantFilter::GetSetupData() {
    return &kResonantFilterSetup;
}
