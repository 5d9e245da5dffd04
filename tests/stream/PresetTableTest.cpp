// The preset rows and their names.
#include <gtest/gtest.h>

#include <string>

#include "presets/PresetTable.h"

namespace {

std::basic_string<WCHAR> Name(LONG index, LONG length) {
    WCHAR buffer[64];
    for (WCHAR& c : buffer)
        c = WCHAR('#');
    EXPECT_EQ(CopyPresetName(index, buffer, length), S_OK);
    return buffer;
}

TEST(PresetTable, RowsZeroAndOneHoldTheStartValues) {
    const MP_DATA start[kParamCount] = {20000, 0, 0, 0, 0, 100};
    for (int row = 0; row < 2; ++row) {
        for (DWORD i = 0; i < kParamCount; ++i)
            EXPECT_EQ(kPresetTable[row].values[i], start[i]);
    }
    const MP_DATA pip[kParamCount] = {6000, 100, 2, 1, 0, 100};
    for (DWORD i = 0; i < kParamCount; ++i)
        EXPECT_EQ(kPresetTable[13].values[i], pip[i]);
    EXPECT_EQ(kPresetTable[5].values[kParamResonance], 33.3f);
}

TEST(PresetTable, EveryValueLiesInItsParametersRange) {
    for (const PresetRow& row : kPresetTable) {
        for (DWORD i = 0; i < kParamCount; ++i) {
            EXPECT_EQ(ClampParam(i, row.values[i]), row.values[i]) << row.name;
        }
    }
}

TEST(PresetTable, NamesAreCutToTheBufferAndAlwaysTerminated) {
    EXPECT_EQ(Name(13, 64), (std::basic_string<WCHAR>(RF_WIDE("PipSqueaking"))));
    EXPECT_EQ(Name(17, 9), (std::basic_string<WCHAR>(RF_WIDE("Teenage "))));
    EXPECT_EQ(Name(0, 1), std::basic_string<WCHAR>());
}

TEST(PresetTable, BadArgumentsAreRefused) {
    WCHAR buffer[8];
    EXPECT_EQ(CopyPresetName(0, nullptr, 8), E_POINTER);
    EXPECT_EQ(CopyPresetName(18, buffer, 8), E_INVALIDARG);
    EXPECT_EQ(CopyPresetName(-1, buffer, 8), E_INVALIDARG);
    EXPECT_EQ(CopyPresetName(0, buffer, 0), E_INVALIDARG);
}

}  // namespace
