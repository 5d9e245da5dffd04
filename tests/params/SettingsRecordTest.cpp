// The persisted settings record, byte for byte, against records written out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "params/SettingsRecord.h"

namespace {

using Bytes = std::vector<BYTE>;

// {37924402-BC8B-4A21-8882-E34CE434EACA} and {4118BA0B-B5F2-44B5-AF2D-8554909CB503} as a GUID
// lies in memory.
const Bytes kTag = {0x02, 0x44, 0x92, 0x37, 0x8B, 0xBC, 0x21, 0x4A,
                    0x88, 0x82, 0xE3, 0x4C, 0xE4, 0x34, 0xEA, 0xCA};
const Bytes kLegacyTag = {0x0B, 0xBA, 0x18, 0x41, 0xF2, 0xB5, 0xB5, 0x44,
                          0xAF, 0x2D, 0x85, 0x54, 0x90, 0x9C, 0xB5, 0x03};
const Bytes k440_5 = {0x00, 0x40, 0xDC, 0x43}, k50 = {0x00, 0x00, 0x48, 0x42},
            k2 = {0x00, 0x00, 0x00, 0x40}, k1 = {0x00, 0x00, 0x80, 0x3F},
            k0 = {0x00, 0x00, 0x00, 0x00}, k75 = {0x00, 0x00, 0x96, 0x42},
            kNaN = {0x00, 0x00, 0xC0, 0x7F}, k25000 = {0x00, 0x50, 0xC3, 0x46},
            kMinus5 = {0x00, 0x00, 0xA0, 0xC0}, k7 = {0x00, 0x00, 0xE0, 0x40};

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}
Bytes Size(BYTE low) {
    return {low, 0, 0, 0};
}

// Parses the header and decodes what follows it, as the filter's Load does.
std::vector<MP_DATA> Decode(const Bytes& record, DWORD expectValueBytes) {
    SettingsHeader header{};
    EXPECT_EQ(ParseSettingsHeader(record.data(), &header), S_OK);
    EXPECT_EQ(header.valueBytes, expectValueBytes);
    EXPECT_EQ(record.size(), kSettingsHeaderBytes + header.valueBytes);
    std::vector<MP_DATA> values(kParamCount, -1.0f);
    DecodeSettingsValues(header, record.data() + kSettingsHeaderBytes, values.data());
    return values;
}

TEST(SettingsRecordTest, TheWrittenLayoutIsByteExactAndReadsBack) {
    const Bytes expected = Join({Size(44), kTag, k440_5, k50, k2, k1, k0, k75});
    const MP_DATA bypassOn[kParamCount] = {440.5f, 50, 2, 1, 1, 75};
    Bytes written(kSettingsRecordBytes, 0xEE);
    EncodeSettingsRecord(bypassOn, written.data());
    EXPECT_EQ(written, expected) << "Bypass is stored off";
    EXPECT_EQ(Decode(expected, 24), (std::vector<MP_DATA>{440.5f, 50, 2, 1, 0, 75}));
    const Bytes storedOn = Join({Size(44), kTag, k440_5, k50, k2, k1, k1, k75});
    EXPECT_EQ(Decode(storedOn, 24)[kParamBypass], 1.0f) << "a stored Bypass is read as it is";
}

TEST(SettingsRecordTest, TheOlderLayoutGivesFourValuesWithBypassOffAndFullWet) {
    const Bytes legacy = Join({Size(40), kLegacyTag, k440_5, k50, k1, k1, k75});
    EXPECT_EQ(Decode(legacy, 20), (std::vector<MP_DATA>{440.5f, 50, 1, 1, 0, 100}));
}

TEST(SettingsRecordTest, AHeaderWhoseTagAndSizeDisagreeIsRefused) {
    Bytes otherTag = kTag;
    otherTag[15] ^= 1;
    const Bytes refused[] = {
        Join({Size(40), kTag}),       Join({Size(0), kTag}),        Join({Size(45), kTag}),
        Join({Size(44), kLegacyTag}), Join({Size(20), kLegacyTag}), Join({Size(44), otherTag}),
        Join({Size(40), otherTag}),   Join({{0, 0, 0, 44}, kTag}),  // size stored big-endian
    };
    for (const Bytes& header : refused) {
        SettingsHeader parsed{};
        EXPECT_EQ(ParseSettingsHeader(header.data(), &parsed), E_FAIL)
            << int(header[0]) << " " << int(header[4]);
    }
}

TEST(SettingsRecordTest, StoredValuesComeBackInRangeAndNaNAsNeutral) {
    const Bytes wild = Join({Size(44), kTag, kNaN, kMinus5, k7, kNaN, k25000, k25000});
    EXPECT_EQ(Decode(wild, 24), (std::vector<MP_DATA>{500, 0, 2, 0, 1, 100}));
    const Bytes wildLegacy = Join({Size(40), kLegacyTag, k25000, kNaN, kMinus5, k7, kNaN});
    EXPECT_EQ(Decode(wildLegacy, 20), (std::vector<MP_DATA>{20000, 0, 0, 1, 0, 100}));
}

}  // namespace
