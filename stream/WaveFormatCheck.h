// Which wave formats the filter processes, and the plain record it keeps of one.
#pragma once

#include <cstddef>

#include "platform/Platform.h"

// The record as stored: tag 1 or 3, block alignment and byte rate recomputed, no extension.
WAVEFORMATEX MakeStoredFormat(WORD tag, WORD channels, DWORD rate, WORD bits);

// Checks a media type's format block (`bytes` long). Accepts 1 to 32 channels of PCM with 8,
// 16, 24 (packed) or 32 bits, or IEEE float of 32 or 64 bits, at a non-zero rate whose byte rate
// fits 32 bits, as a plain WAVEFORMATEX (at least its first 16 bytes) or as a complete
// WAVEFORMATEXTENSIBLE (any channel mask) whose sub-format is PCM or IEEE float. An extensible
// PCM record of 24 or 32 bits may carry from 16 valid bits up to its container; every other one
// carries its whole container. On S_OK `stored` receives the plain record, which has no room for
// the valid bits: `validBits` receives them (the container's bits for a plain record).
HRESULT CheckWaveFormat(const void* block, size_t bytes, WAVEFORMATEX* stored, WORD* validBits);

// The same check for a caller that keeps only the plain record: it also refuses a record whose
// valid bits are fewer than its container, since streaming that as the whole container would
// leave noise in the bits the host does not use.
HRESULT CheckWaveFormat(const void* block, size_t bytes, WAVEFORMATEX* stored);
