// The MFT's entry in Media Foundation's transform registry: the audio-effect category, its name
// and the types it takes and gives. Any thread; needs no COM.
#pragma once

#include "platform/Platform.h"

// Enters the class as an audio-effect MFT, replacing an older entry. Where Media Foundation is
// not installed there is no registry to enter and no host to find it: S_OK.
HRESULT RegisterMft();

// Removes the entry. An entry already gone, or no Media Foundation at all, is success.
HRESULT UnregisterMft();
