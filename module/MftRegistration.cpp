// The MFT's entry through mfplat, resolved at run time so registration also works without it.
#include "module/MftRegistration.h"

#include "filter/MfPlatform.h"
#include "include/ResonantFilterApi.h"

namespace {

const WCHAR kMftName[] = L"Veltrin Resonant Filter MFT";

// What hosts filter on when they enumerate; the rest of a type is checked when it is set.
const MFT_REGISTER_TYPE_INFO kTypes[] = {
    {MFMediaType_Audio, MFAudioFormat_PCM},
    {MFMediaType_Audio, MFAudioFormat_Float},
};
const UINT32 kTypeCount = sizeof kTypes / sizeof kTypes[0];

}  // namespace

HRESULT RegisterMft() {
    // In place: the output takes exactly what the input does.
    const HRESULT hr = MfTransformRegister(CLSID_ResonantFilterDmo, MFT_CATEGORY_AUDIO_EFFECT,
                                           kMftName, 0, kTypeCount, kTypes, kTypeCount, kTypes);
    return hr == kMfPlatformMissing ? S_OK : hr;
}

HRESULT UnregisterMft() {
    const HRESULT hr = MfTransformUnregister(CLSID_ResonantFilterDmo);
    // The registry answers file-not-found for a class it does not hold.
    if (hr == kMfPlatformMissing || hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) return S_OK;
    return hr;
}
