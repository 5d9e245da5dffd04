// Conversions between PCM stream samples and the float working samples. Under gain 1.0 they
// compute exactly the documented arithmetic; truncation is toward zero, clipping saturates.
#pragma once

#include <cstddef>

#include "platform/Platform.h"

using SampleConverter = void (*)(void* destination, const void* source, size_t samples,
                                 double gain);

// The routine turning samples of format `source` into format `destination`, or null when the
// pair is not one of: PCM 8 or 16 bits <-> IEEE float 32, PCM 24 (packed) or 32 bits <-> IEEE
// float 64. `validBits` (0: the whole container) are the PCM samples' bits that carry the signal:
// 24- and 32-bit PCM may have from 16 up; output then rounds to them and zeroes the bits below,
// input reads the whole container either way.
SampleConverter FindConverter(const WAVEFORMATEX& destination, const WAVEFORMATEX& source,
                              WORD validBits = 0);
