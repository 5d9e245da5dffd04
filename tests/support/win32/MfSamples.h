// What an MFT host hands the transform: media types from a wave-format record, and samples over
// memory buffers.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Platform.h"

#include <mfobjects.h>

// The record (plain or extensible) as a media type; null when the platform refuses it.
IMFMediaType* MfTypeFromRecord(const std::vector<uint8_t>& record);

// A sample over a new buffer with room for `room` bytes, holding the first `bytes` of `data`.
IMFSample* NewMfSample(DWORD room, const void* data, DWORD bytes);

// The sample's bytes, joined into one stretch.
std::vector<uint8_t> MfSampleBytes(IMFSample* sample);
