#include "filter/AudioTypeCheck.h"

#include "stream/WaveFormatCheck.h"

HRESULT CheckAudioType(const AM_MEDIA_TYPE* type, WAVEFORMATEX* stored) {
    if (!type || !IsEqualGUID(type->majortype, MEDIATYPE_Audio)) return E_INVALIDARG;
    if (type->bTemporalCompression) return E_INVALIDARG;
    return CheckWaveFormat(type->pbFormat, type->cbFormat, stored);
}
