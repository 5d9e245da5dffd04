// Storage for the identifiers declared in the public header.
#include "platform/Platform.h"

#include <initguid.h>

#include "include/ResonantFilterApi.h"
