// The DMO's entry in the platform's DMO registry: the audio-effect category, its name and the
// partial types it takes and gives. Any thread; needs no COM.
#pragma once

#include "platform/Platform.h"

// Enters the DMO under its name with its input and output types, replacing an older entry.
HRESULT RegisterDmo();

// Removes the DMO's entry and its place in the category. An entry already gone is success,
// so unregistering twice is not an error.
HRESULT UnregisterDmo();
