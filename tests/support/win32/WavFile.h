// Writes 16-bit PCM WAV files for graph tests, and the samples they hold.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Interleaved frames of a deterministic, full-scale-avoiding test signal.
std::vector<int16_t> TestSignal(int channels, int frames);

// Writes a canonical 44-byte-header WAV file; false on an I/O failure.
bool WriteWav16(const std::wstring& path, int channels, int rate,
                const std::vector<int16_t>& samples);

// A path in the temporary directory, unique to name.
std::wstring TempWavPath(const wchar_t* name);
