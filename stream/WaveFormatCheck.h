// Which wave formats the filter processes, and the plain record it keeps of one.
#pragma once

#include <cstddef>

#include "platform/Platform.h"

// The record as stored: tag 1 or 3, block alignment and byte rate recomputed, no extension.
WAVEFORMATEX MakeStoredFormat(WORD tag, WORD channels, DWORD rate, WORD bits);

// Checks a media type's format block (`bytes` long). Accepts mono or stereo PCM of 8, 16 or
// 32 bits and IEEE float of 32 or 64 bits, at a non-zero rate whose byte rate fits 32 bits, as
// a plain WAVEFORMATEX (at least its first 16 bytes) or as a complete WAVEFORMATEXTENSIBLE whose
// sub-format is PCM or IEEE float with every container bit valid. On S_OK `stored` receives the
// plain record.
HRESULT CheckWaveFormat(const void* block, size_t bytes, WAVEFORMATEX* stored);
