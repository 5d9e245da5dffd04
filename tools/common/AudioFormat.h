// The sample encodings the tools meet, every one of which the filter streams as it is. Samples move
// between them through one exact route, a double in [-1, 1), so both tools convert a file the same
// way to the bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Platform.h"

enum class Encoding { Pcm8, Pcm16, Pcm24, Pcm32, Float32, Float64 };

size_t BytesPerSample(Encoding e);
const char* EncodingName(Encoding e);
// "pcm8", "pcm16", "pcm24", "pcm32", "float32" or "float64"; false for anything else.
bool ParseStreamEncoding(const std::string& text, Encoding* out);
// The bits of an integer encoding's container; 0 for floats.
int IntegerBits(Encoding e);

// The plain wave-format record of a stream (tag 1 or 3).
WAVEFORMATEX StreamWaveFormat(Encoding e, WORD channels, DWORD rate);

// Little-endian samples to doubles: integers as value / 2^(bits-1) (8-bit is offset binary),
// floats as they are.
void DecodeSamples(Encoding e, const uint8_t* in, size_t count, double* out);
// Doubles to little-endian samples: integers rounded to nearest (halves away from zero) and
// clamped to their range, floats rounded to nearest. With `validBits` under an integer's
// container the value is rounded and clamped to that many bits and the unused low bits are zero.
void EncodeSamples(Encoding e, const double* in, size_t count, uint8_t* out, int validBits = 0);
