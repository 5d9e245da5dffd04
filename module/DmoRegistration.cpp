// The DMO's entry through msdmo, the system DLL where hosts of DMOs look for it.
#include "module/DmoRegistration.h"

#include <dshow.h>

#include <dmo.h>

#include "include/ResonantFilterApi.h"

namespace {

const WCHAR kDmoName[] = L"Veltrin Resonant Filter DMO";

// What hosts filter on when they enumerate; the format block is checked when a type is set.
const DMO_PARTIAL_MEDIATYPE kTypes[] = {
    {MEDIATYPE_Audio, MEDIASUBTYPE_PCM},
    {MEDIATYPE_Audio, MEDIASUBTYPE_IEEE_FLOAT},
};
const DWORD kTypeCount = sizeof kTypes / sizeof kTypes[0];

}  // namespace

HRESULT RegisterDmo() {
    // In place: the output takes exactly what the input does.
    return DMORegister(kDmoName, CLSID_ResonantFilterDmo, DMOCATEGORY_AUDIO_EFFECT, 0, kTypeCount,
                       kTypes, kTypeCount, kTypes);
}

HRESULT UnregisterDmo() {
    HRESULT hr = DMOUnregister(CLSID_ResonantFilterDmo, DMOCATEGORY_AUDIO_EFFECT);
    // S_FALSE when the entry is gone; file-not-found when the registry has no categories at all.
    return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ? S_OK : hr;
}
