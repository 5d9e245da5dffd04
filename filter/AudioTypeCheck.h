// The test of an audio media type that both the filter's pins and the DMO's streams apply, so
// both faces take the same formats, and the stricter one the DMO adds on top.
#pragma once

#include "platform/Platform.h"

#include <dshow.h>

// Uncompressed audio whose format block CheckWaveFormat accepts: S_OK, with the plain record
// in `stored` and the samples' valid bits in `validBits` when they are not null; E_INVALIDARG
// otherwise. The subtype and format type are not read: a pin's partial types may leave them
// null.
HRESULT CheckAudioType(const AM_MEDIA_TYPE* type, WAVEFORMATEX* stored, WORD* validBits = nullptr);

// CheckAudioType, and also the format type FORMAT_WaveFormatEx and a PCM or IEEE float
// subtype, whichever the record is (the platform's effects take float over a PCM record). A
// DMO host tests candidate types with it, so a type no audio effect takes must fail here.
HRESULT CheckDmoAudioType(const AM_MEDIA_TYPE* type, WAVEFORMATEX* stored,
                          WORD* validBits = nullptr);
