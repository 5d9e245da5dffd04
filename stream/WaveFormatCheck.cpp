#include "WaveFormatCheck.h"

#include <cstdint>
#include <cstring>

#include "dsp/DspCore.h"

namespace {

constexpr WORD kTagExtensible = 0xFFFE;
constexpr size_t kPlainBytes = 16;  // up to and including wBitsPerSample
constexpr size_t kExtensibleBytes = 40;
// Fewer valid bits than this would have to be scaled up by more than the container holds.
constexpr WORD kMinValidBits = 16;

// The PCM and IEEE float sub-format GUIDs are the plain tag as Data1 followed by these bytes.
constexpr uint8_t kSubFormatTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                        0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool Processable(WORD tag, WORD bits) {
    if (tag == WAVE_FORMAT_PCM) return bits == 8 || bits == 16 || bits == 24 || bits == 32;
    if (tag == WAVE_FORMAT_IEEE_FLOAT) return bits == 32 || bits == 64;
    return false;
}

// Only the wider PCM containers can carry fewer valid bits; 8 and 16 bits and float use them all.
bool ValidBitsFit(WORD tag, WORD bits, WORD valid) {
    if (valid == bits) return true;
    return tag == WAVE_FORMAT_PCM && bits >= 24 && valid >= kMinValidBits && valid < bits;
}

template <typename T>
T Read(const uint8_t* p, size_t offset) {
    T v;
    std::memcpy(&v, p + offset, sizeof v);
    return v;
}

}  // namespace

WAVEFORMATEX MakeStoredFormat(WORD tag, WORD channels, DWORD rate, WORD bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = tag;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = WORD((bits / 8) * channels);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    f.cbSize = 0;
    return f;
}

HRESULT CheckWaveFormat(const void* block, size_t bytes, WAVEFORMATEX* stored, WORD* validBits) {
    if (!block || bytes < kPlainBytes) return E_INVALIDARG;
    const auto* p = static_cast<const uint8_t*>(block);
    WORD tag = Read<WORD>(p, 0);
    const WORD channels = Read<WORD>(p, 2);
    const DWORD rate = Read<DWORD>(p, 4);
    const WORD bits = Read<WORD>(p, 14);
    WORD valid = bits;
    if (channels == 0 || channels > kMaxChannels) return E_INVALIDARG;
    if (tag == kTagExtensible) {
        // The whole record must be there before any of its extension is read.
        if (bytes < kExtensibleBytes || Read<WORD>(p, 16) < kExtensibleBytes - 18) {
            return E_INVALIDARG;
        }
        valid = Read<WORD>(p, 18);
        // Any channel mask, 0 too: the channels are filtered alike whatever their positions.
        const uint8_t* sub = p + 24;
        if (std::memcmp(sub + 4, kSubFormatTail, sizeof kSubFormatTail) != 0) return E_INVALIDARG;
        const DWORD subTag = Read<DWORD>(sub, 0);
        if (subTag != WAVE_FORMAT_PCM && subTag != WAVE_FORMAT_IEEE_FLOAT) return E_INVALIDARG;
        tag = WORD(subTag);
    }
    if (!Processable(tag, bits) || !ValidBitsFit(tag, bits, valid)) return E_INVALIDARG;
    // A rate of 0 would divide the time base and the coefficients by zero.
    if (rate == 0) return E_INVALIDARG;
    // The stored byte rate must fit its field, or the record offered downstream would lie.
    if (uint64_t(rate) * channels * (bits / 8) > 0xFFFFFFFFu) return E_INVALIDARG;
    if (stored) *stored = MakeStoredFormat(tag, channels, rate, bits);
    if (validBits) *validBits = valid;
    return S_OK;
}

HRESULT CheckWaveFormat(const void* block, size_t bytes, WAVEFORMATEX* stored) {
    WAVEFORMATEX record;
    WORD valid = 0;
    const HRESULT hr = CheckWaveFormat(block, bytes, &record, &valid);
    if (FAILED(hr)) return hr;
    if (valid != record.wBitsPerSample) return E_INVALIDARG;
    if (stored) *stored = record;
    return hr;
}
