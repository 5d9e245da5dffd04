// Which format blocks the filter takes, and the record it keeps.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "stream/WaveFormatCheck.h"

namespace {

std::vector<uint8_t> Plain(WORD tag, WORD channels, DWORD rate, WORD bits, WORD align = 0) {
    WAVEFORMATEX f{};
    f.wFormatTag = tag;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = align;
    std::vector<uint8_t> block(sizeof f);
    std::memcpy(block.data(), &f, sizeof f);
    return block;
}

// WAVEFORMATEXTENSIBLE: the plain record, valid bits, channel mask, sub-format GUID.
std::vector<uint8_t> Extensible(WORD channels, WORD bits, DWORD subTag, WORD validBits) {
    std::vector<uint8_t> block = Plain(0xFFFE, channels, 48000, bits);
    const WORD cbSize = 22;
    std::memcpy(block.data() + 16, &cbSize, 2);
    block.resize(40);
    std::memcpy(block.data() + 18, &validBits, 2);
    const DWORD mask = channels == 2 ? 3 : (channels == 1 ? 4 : 0);  // any mask, 0 too
    std::memcpy(block.data() + 20, &mask, 4);
    const uint8_t tail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                              0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    std::memcpy(block.data() + 24, &subTag, 4);
    std::memcpy(block.data() + 28, tail, 12);
    return block;
}

// The full check; on S_OK the valid bits it reported, which the plain-record check must agree
// with: the same answer, except that it refuses fewer valid bits than the container.
HRESULT Check(const std::vector<uint8_t>& block, WAVEFORMATEX* out = nullptr,
              WORD* validBits = nullptr) {
    WAVEFORMATEX stored{}, plain{};
    WORD valid = 0;
    const HRESULT hr = CheckWaveFormat(block.data(), block.size(), &stored, &valid);
    const HRESULT plainHr = CheckWaveFormat(block.data(), block.size(), &plain);
    if (hr == S_OK && valid == stored.wBitsPerSample) {
        EXPECT_EQ(plainHr, S_OK);
        EXPECT_EQ(std::memcmp(&plain, &stored, sizeof plain), 0);
    } else {
        EXPECT_EQ(plainHr, E_INVALIDARG);
    }
    if (hr == S_OK && out) *out = stored;
    if (hr == S_OK && validBits) *validBits = valid;
    return hr;
}

TEST(WaveFormatCheck, AcceptsEverySampleFormatWithOneToThirtyTwoChannels) {
    const WORD pairs[][2] = {{1, 8}, {1, 16}, {1, 24}, {1, 32}, {3, 32}, {3, 64}};
    for (const auto& p : pairs) {
        for (WORD ch = 1; ch <= 32; ++ch) {
            WORD valid = 0;
            ASSERT_EQ(Check(Plain(p[0], ch, 44100, p[1]), nullptr, &valid), S_OK)
                << p[0] << "/" << p[1] << ", " << ch << " channels";
            EXPECT_EQ(valid, p[1]) << "a plain record's samples are valid throughout";
            EXPECT_EQ(Check(Extensible(ch, p[1], p[0], p[1])), S_OK);
        }
    }
    EXPECT_EQ(Check(Plain(3, 2, 268435455, 64)), S_OK) << "the largest byte rate that fits";
    EXPECT_EQ(Check(Plain(1, 1, 1, 8)), S_OK) << "1 Hz";
}

TEST(WaveFormatCheck, RefusesEverythingElse) {
    EXPECT_EQ(Check(Plain(3, 2, 44100, 8)), E_INVALIDARG);
    EXPECT_EQ(Check(Plain(3, 2, 44100, 24)), E_INVALIDARG);
    EXPECT_EQ(Check(Plain(1, 2, 44100, 20)), E_INVALIDARG);
    EXPECT_EQ(Check(Plain(1, 33, 44100, 16)), E_INVALIDARG);
    EXPECT_EQ(Check(Plain(1, 0, 44100, 16)), E_INVALIDARG);
    EXPECT_EQ(Check(Plain(0x0092, 2, 48000, 16)), E_INVALIDARG) << "compressed over S/PDIF";
    EXPECT_EQ(Check(Plain(2, 2, 44100, 16)), E_INVALIDARG);
    EXPECT_EQ(Check(Plain(1, 2, 0, 16)), E_INVALIDARG) << "a zero rate";
    EXPECT_EQ(Check(Plain(3, 2, 268435456, 64)), E_INVALIDARG) << "a byte rate beyond 32 bits";
    std::vector<uint8_t> short14 = Plain(1, 2, 44100, 16);
    short14.resize(14);
    EXPECT_EQ(Check(short14), E_INVALIDARG);
    EXPECT_EQ(CheckWaveFormat(nullptr, 18, nullptr), E_INVALIDARG);
}

TEST(WaveFormatCheck, OnlyTheFirstSixteenBytesOfAPlainBlockAreRead) {
    std::vector<uint8_t> block = Plain(1, 2, 44100, 16);
    block.resize(16);
    EXPECT_EQ(Check(block), S_OK);
}

TEST(WaveFormatCheck, TheStoredRecordIsRecomputed) {
    WAVEFORMATEX stored{};
    ASSERT_EQ(Check(Plain(1, 2, 44100, 16, 3), &stored), S_OK);
    EXPECT_EQ(stored.wFormatTag, 1);
    EXPECT_EQ(stored.nChannels, 2);
    EXPECT_EQ(stored.nSamplesPerSec, 44100u);
    EXPECT_EQ(stored.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(stored.nBlockAlign, 4);
    EXPECT_EQ(stored.wBitsPerSample, 16);
    EXPECT_EQ(stored.cbSize, 0);
}

TEST(WaveFormatCheck, ExtensibleIsTakenWhenItCarriesAProcessableFormat) {
    WAVEFORMATEX stored{};
    ASSERT_EQ(Check(Extensible(2, 32, 3, 32), &stored), S_OK);
    EXPECT_EQ(stored.wFormatTag, 3);
    EXPECT_EQ(stored.nBlockAlign, 8);
    EXPECT_EQ(stored.cbSize, 0);
    ASSERT_EQ(Check(Extensible(1, 16, 1, 16), &stored), S_OK);
    EXPECT_EQ(stored.wFormatTag, 1);
    EXPECT_EQ(Check(Extensible(2, 64, 3, 64)), S_OK);
}

TEST(WaveFormatCheck, ExtensiblePcmMayCarryFromSixteenValidBitsUpToItsContainer) {
    // {container, valid bits, accepted}
    const WORD cases[][3] = {{24, 24, 1}, {24, 20, 1}, {24, 16, 1}, {24, 15, 0}, {24, 25, 0},
                             {32, 32, 1}, {32, 24, 1}, {32, 16, 1}, {32, 12, 0}, {32, 33, 0},
                             {16, 12, 0}, {16, 17, 0}, {8, 7, 0},   {24, 0, 0}};
    for (const auto& c : cases) {
        WAVEFORMATEX stored{};
        WORD valid = 0;
        const HRESULT hr = Check(Extensible(6, c[0], 1, c[1]), &stored, &valid);
        EXPECT_EQ(hr, c[2] ? S_OK : E_INVALIDARG) << c[1] << " valid bits in " << c[0];
        if (hr != S_OK) continue;
        EXPECT_EQ(valid, c[1]);
        EXPECT_EQ(stored.wBitsPerSample, c[0]) << "the record keeps the container";
    }
    EXPECT_EQ(Check(Extensible(2, 32, 3, 24)), E_INVALIDARG) << "float uses every bit";
    EXPECT_EQ(Check(Extensible(2, 64, 3, 48)), E_INVALIDARG);
}

TEST(WaveFormatCheck, ExtensibleIsRefusedWhenIncompleteOrNotProcessable) {
    EXPECT_EQ(Check(Extensible(2, 16, 2, 16)), E_INVALIDARG) << "another sub-format";
    EXPECT_EQ(Check(Extensible(2, 16, 0x0092, 16)), E_INVALIDARG) << "compressed over S/PDIF";
    EXPECT_EQ(Check(Extensible(33, 16, 1, 16)), E_INVALIDARG) << "33 channels";
    // The rest of the IEC 61937 family differs from the plain sub-formats in Data2 (0x0CEA);
    // even with a plain tag's Data1 it is not PCM.
    for (DWORD data1 : {0x0Au, 0x01u}) {
        std::vector<uint8_t> iec = Extensible(2, 16, data1, 16);
        iec[28] = 0xEA;
        iec[29] = 0x0C;
        EXPECT_EQ(Check(iec), E_INVALIDARG) << data1;
    }
    std::vector<uint8_t> truncated = Extensible(2, 16, 1, 16);
    truncated.resize(39);
    EXPECT_EQ(Check(truncated), E_INVALIDARG);
    std::vector<uint8_t> smallExtra = Extensible(2, 16, 1, 16);
    smallExtra[16] = 20;
    EXPECT_EQ(Check(smallExtra), E_INVALIDARG);
    std::vector<uint8_t> otherGuid = Extensible(2, 16, 1, 16);
    otherGuid[39] ^= 1;
    EXPECT_EQ(Check(otherGuid), E_INVALIDARG);
}

}  // namespace
