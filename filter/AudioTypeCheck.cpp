#include "filter/AudioTypeCheck.h"

#include "stream/WaveFormatCheck.h"

HRESULT CheckAudioType(const AM_MEDIA_TYPE* type, WAVEFORMATEX* stored, WORD* validBits) {
    if (!type || !IsEqualGUID(type->majortype, MEDIATYPE_Audio)) return E_INVALIDARG;
    if (type->bTemporalCompression) return E_INVALIDARG;
    // Every face keeps the valid bits beside the record, so fewer than the container are fine.
    return CheckWaveFormat(type->pbFormat, type->cbFormat, stored, validBits);
}

HRESULT CheckDmoAudioType(const AM_MEDIA_TYPE* type, WAVEFORMATEX* stored, WORD* validBits) {
    if (!type || !IsEqualGUID(type->formattype, FORMAT_WaveFormatEx)) return E_INVALIDARG;
    if (!IsEqualGUID(type->subtype, MEDIASUBTYPE_PCM) &&
        !IsEqualGUID(type->subtype, MEDIASUBTYPE_IEEE_FLOAT)) {
        return E_INVALIDARG;
    }
    return CheckAudioType(type, stored, validBits);
}
