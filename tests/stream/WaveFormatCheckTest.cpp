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
    const DWORD mask = channels == 2 ? 3 : 4;
    std::memcpy(block.data() + 20, &mask, 4);
    const uint8_t tail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                              0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    std::memcpy(block.data() + 24, &subTag, 4);
    std::memcpy(block.data() + 28, tail, 12);
    return block;
}

HRESULT Check(const std::vector<uint8_t>& block, WAVEFORMATEX* out = nullptr) {
    return CheckWaveFormat(block.data(), block.size(), out);
}

TEST(WaveFormatCheck, AcceptsTheFiveSampleFormatsInMonoAndStereo) {
    const WORD pairs[][2] = {{1, 8}, {1, 16}, {1, 32}, {3, 32}, {3, 64}};
    for (const auto& p : pairs) {
        for (WORD ch = 1; ch <= 2; ++ch) {
            EXPECT_EQ(Check(Plain(p[0], ch, 44100, p[1])), S_OK) << p[0] << "/" << p[1];
        }
    }
    EXPECT_EQ(Check(Plain(3, 2, 268435455, 64)), S_OK) << "the largest byte rate that fits";
}

TEST(WaveFormatCheck, RefusesEverythingElse) {
    EXPECT_EQ(Check(Plain(1, 2, 44100, 24)), E_INVALIDARG);
    EXPECT_EQ(Check(Plain(3, 2, 44100, 8)), E_INVALIDARG);
    EXPECT_EQ(Check(Plain(1, 3, 44100, 16)), E_INVALIDARG);
    EXPECT_EQ(Check(Plain(1, 0, 44100, 16)), E_INVALIDARG);
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

TEST(WaveFormatCheck, ExtensibleIsRefusedWhenIncompleteOrNotProcessable) {
    EXPECT_EQ(Check(Extensible(2, 32, 1, 24)), E_INVALIDARG) << "fewer valid bits";
    EXPECT_EQ(Check(Extensible(2, 24, 1, 24)), E_INVALIDARG) << "24-bit";
    EXPECT_EQ(Check(Extensible(2, 16, 2, 16)), E_INVALIDARG) << "another sub-format";
    EXPECT_EQ(Check(Extensible(3, 16, 1, 16)), E_INVALIDARG) << "three channels";
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
