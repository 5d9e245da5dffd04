// The sample encodings the tools meet: those the filter streams, plus the 24-bit PCM that files
// often hold. Samples move between them through one exact route, a double in [-1, 1), so both
// tools convert a file the same way to the bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Platform.h"

enum class Encoding { Pcm8, Pcm16, Pcm24, Pcm32, Float32, Float64 };

// The encodings a stream may have: every one but 24-bit PCM.
bool IsStreamEncoding(Encoding e);
size_t BytesPerSample(Encoding e);
const char* EncodingName(Encoding e);
// "pcm8", "pcm16", "pcm32", "float32" or "float64"; false for anything else.
bool ParseStreamEncoding(const std::string& text, Encoding* out);
// What a file in encoding e is streamed as by default: itself, or 32-bit PCM for 24-bit.
Encoding DefaultStreamEncoding(Encoding e);

// The plain wave-format record of a stream (tag 1 or 3).
WAVEFORMATEX StreamWaveFormat(Encoding e, WORD channels, DWORD rate);

// Little-endian samples to doubles: integers as value / 2^(bits-1) (8-bit is offset binary),
// floats as they are.
void DecodeSamples(Encoding e, const uint8_t* in, size_t count, double* out);
// Doubles to little-endian samples: integers rounded to nearest (halves away from zero) and
// clamped to their range, floats rounded to nearest.
void EncodeSamples(Encoding e, const double* in, size_t count, uint8_t* out);
