// WAV files in any of the filter's sample formats; float ones in the extensible layout that
// current writers use.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Platform.h"

inline bool WriteWav(const std::wstring& path, WORD tag, WORD channels, DWORD rate, WORD bits,
                     const std::vector<uint8_t>& data) {
    const bool extensible = tag == WAVE_FORMAT_IEEE_FLOAT;
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
        const WORD cbSize = 22, valid = bits;
        const DWORD mask = channels == 2 ? 3 : 4, sub = tag;
        const uint8_t tail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                  0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        std::memcpy(&fmt[16], &cbSize, 2);
        std::memcpy(&fmt[18], &valid, 2);
        std::memcpy(&fmt[20], &mask, 4);
        std::memcpy(&fmt[24], &sub, 4);
        std::memcpy(&fmt[28], tail, 12);
    }
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
