// WAV files and their samples in any of the filter's formats; float, more than two channels and
// fewer valid bits than the container in the extensible layout that current writers use.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Platform.h"

// The format record a file carries: 16 bytes plain, 40 extensible (also on request). `valid`
// 0 is the container.
inline std::vector<uint8_t> WaveRecord(WORD tag, WORD channels, DWORD rate, WORD bits,
                                       WORD valid = 0, bool extensible = false) {
    if (valid == 0) valid = bits;
    extensible = extensible || tag == WAVE_FORMAT_IEEE_FLOAT || channels > 2 || valid != bits;
    std::vector<uint8_t> fmt(extensible ? 40 : 16);
    const WORD align = WORD(bits / 8 * channels);
    const DWORD bytesPerSecond = rate * align;
    const WORD fileTag = extensible ? WORD(0xFFFE) : tag;
    std::memcpy(&fmt[0], &fileTag, 2);
    std::memcpy(&fmt[2], &channels, 2);
    std::memcpy(&fmt[4], &rate, 4);
    std::memcpy(&fmt[8], &bytesPerSecond, 4);
    std::memcpy(&fmt[12], &align, 2);
    std::memcpy(&fmt[14], &bits, 2);
    if (extensible) {
        const WORD cbSize = 22;
        // Front centre for mono, then the standard positions in order (5.1 is 0x3F).
        const DWORD mask = channels == 1 ? 4 : channels <= 18 ? (1u << channels) - 1 : 0;
        const DWORD sub = tag;
        const uint8_t tail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                  0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        std::memcpy(&fmt[16], &cbSize, 2);
        std::memcpy(&fmt[18], &valid, 2);
        std::memcpy(&fmt[20], &mask, 4);
        std::memcpy(&fmt[24], &sub, 4);
        std::memcpy(&fmt[28], tail, 12);
    }
    return fmt;
}

// One 24- or 32-bit PCM sample of x (in [-1, 1]) at `at`, with the bits below `valid` zero as a
// writer of that many bits leaves them.
inline void PutWidePcm(uint8_t* at, double x, WORD bits, WORD valid = 0) {
    const WORD kept = valid != 0 ? valid : bits;
    const uint32_t v = uint32_t(int32_t(x * 2147418112.0)) & ~((1u << (32 - kept)) - 1);
    // Little-endian: the container holds the top `bits` of the 32.
    for (WORD b = 0; b < bits / 8; ++b)
        at[b] = uint8_t(v >> (32 - bits + 8 * b));
}

inline bool WriteWav(const std::wstring& path, WORD tag, WORD channels, DWORD rate, WORD bits,
                     const std::vector<uint8_t>& data, WORD valid = 0) {
    const std::vector<uint8_t> fmt = WaveRecord(tag, channels, rate, bits, valid);
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) return false;
    auto put32 = [&](DWORD v) { std::fwrite(&v, 4, 1, f); };
    std::fwrite("RIFF", 1, 4, f);
    put32(DWORD(4 + 8 + fmt.size() + 8 + data.size()));
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(DWORD(fmt.size()));
    std::fwrite(fmt.data(), 1, fmt.size(), f);
    std::fwrite("data", 1, 4, f);
    put32(DWORD(data.size()));
    std::fwrite(data.data(), 1, data.size(), f);
    return std::fclose(f) == 0;
}
