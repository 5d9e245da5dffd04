// The one test of an audio media type that both the filter's pins and the DMO's streams apply,
// so both faces take exactly the same types.
#pragma once

#include "platform/Platform.h"

#include <dshow.h>

// Uncompressed audio whose format block CheckWaveFormat accepts: S_OK, with the plain record
// in `stored` when it is not null; E_INVALIDARG otherwise.
HRESULT CheckAudioType(const AM_MEDIA_TYPE* type, WAVEFORMATEX* stored);
