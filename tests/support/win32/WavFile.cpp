#include "support/win32/WavFile.h"

#include <windows.h>

namespace {
void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
}  // namespace

std::vector<int16_t> TestSignal(int channels, int frames) {
    std::vector<int16_t> samples(static_cast<size_t>(channels) * frames);
    uint32_t state = 12345;
    for (int16_t& s : samples) {
        state = state * 1664525u + 1013904223u;
        // -32767..32767: negation stays in range, so the expected output is exact.
        s = static_cast<int16_t>(static_cast<int32_t>(state >> 16) % 32767);
    }
    return samples;
}

bool WriteWav16(const std::wstring& path, int channels, int rate,
                const std::vector<int16_t>& samples) {
    uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> bytes;
    bytes.insert(bytes.end(), {'R', 'I', 'F', 'F'});
    Put32(bytes, 36 + dataBytes);
    bytes.insert(bytes.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(bytes, 16);
    Put16(bytes, 1);
    Put16(bytes, channels);
    Put32(bytes, rate);
    Put32(bytes, rate * channels * 2);
    Put16(bytes, channels * 2);
    Put16(bytes, 16);
    bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
    Put32(bytes, dataBytes);
    for (int16_t s : samples)
        Put16(bytes, static_cast<uint16_t>(s));

    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::wstring TempWavPath(const wchar_t* name) {
    wchar_t dir[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, dir);
    std::wstring path(dir, n);
    path += name;
    path += L".wav";
    return path;
}
