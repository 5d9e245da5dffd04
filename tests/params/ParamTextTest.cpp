// What a host reads through IMediaParamInfo: descriptions, text blocks and time formats.
#include <string>

#include "platform/Memory.h"
#include "support/StoreFixture.h"

namespace {

using WideString = std::basic_string<WCHAR>;

WideString Block(const WCHAR* text, size_t units) {
    return WideString(text, units);
}

class ParamInfoTest : public StoreTest {
  protected:
    WideString TextOf(DWORD index, size_t units) {
        WCHAR* text = nullptr;
        EXPECT_EQ(store.GetParamText(index, &text), S_OK);
        if (!text) return WideString();
        WideString result(text, units);
        CoTaskMemFree(text);
        return result;
    }
};

TEST_F(ParamInfoTest, TextBlocksListLabelUnitAndValueNamesSeparatedByNuls) {
    struct Expected {
        DWORD index;
        WideString block;
    };
    const Expected cases[] = {
        {0, Block(RF_WIDE("Frequency\0Hz\0\0\0"), 15)},
        {1, Block(RF_WIDE("Resonance\0%\0\0\0"), 14)},
        {2, Block(RF_WIDE("Filter Type\0\0Low Pass\0Band Pass\0High Pass\0\0"), 43)},
        {3, Block(RF_WIDE("Filter Order\0\0Second Order\0Fourth Order\0\0"), 41)},
        {4, Block(RF_WIDE("Bypass\0\0\0\0"), 10)},
        {5, Block(RF_WIDE("Wet/Dry\0%\0\0\0"), 12)},
    };
    for (const Expected& c : cases) {
        EXPECT_EQ(TextOf(c.index, c.block.size()), c.block) << "parameter " << c.index;
    }
}

TEST_F(ParamInfoTest, DescriptionsGiveEachParametersTypeCapsRangeAndLabels) {
    struct Expected {
        MP_TYPE type;
        DWORD caps;
        float min, max, neutral;
        WideString unit, label;
    };
    const Expected cases[kParamCount] = {
        {MPT_FLOAT, 0xF, 20, 20000, 500, RF_WIDE("Hz"), RF_WIDE("Frequency")},
        {MPT_FLOAT, 0xF, 0, 100, 0, RF_WIDE("%"), RF_WIDE("Resonance")},
        {MPT_ENUM, 0x1, 0, 2, 0, RF_WIDE(""), RF_WIDE("Filter Type")},
        {MPT_ENUM, 0x1, 0, 1, 0, RF_WIDE(""), RF_WIDE("Filter Order")},
        {MPT_BOOL, 0x1, 0, 1, 0, RF_WIDE(""), RF_WIDE("Bypass")},
        {MPT_FLOAT, 0xF, 0, 100, 100, RF_WIDE("%"), RF_WIDE("Wet/Dry")},
    };
    DWORD count = 0;
    ASSERT_EQ(store.GetParamCount(&count), S_OK);
    ASSERT_EQ(count, 6u);
    for (DWORD i = 0; i < count; ++i) {
        MP_PARAMINFO info;
        ASSERT_EQ(store.GetParamInfo(i, &info), S_OK);
        EXPECT_EQ(info.mpType, cases[i].type) << i;
        EXPECT_EQ(info.mopCaps, cases[i].caps) << i;
        EXPECT_EQ(info.mpdMinValue, cases[i].min) << i;
        EXPECT_EQ(info.mpdMaxValue, cases[i].max) << i;
        EXPECT_EQ(info.mpdNeutralValue, cases[i].neutral) << i;
        EXPECT_EQ(WideString(info.szUnitText), cases[i].unit) << i;
        EXPECT_EQ(WideString(info.szLabel), cases[i].label) << i;
    }
}

TEST_F(ParamInfoTest, NullPointersComeBeforeBadIndices) {
    EXPECT_EQ(store.GetParamCount(nullptr), E_POINTER);
    EXPECT_EQ(store.GetParamInfo(99, nullptr), E_POINTER);
    EXPECT_EQ(store.GetParamText(99, nullptr), E_POINTER);
    EXPECT_EQ(store.GetNumTimeFormats(nullptr), E_POINTER);
    EXPECT_EQ(store.GetSupportedTimeFormat(99, nullptr), E_POINTER);
    GUID format;
    MP_TIMEDATA data;
    EXPECT_EQ(store.GetCurrentTimeFormat(nullptr, &data), E_POINTER);
    EXPECT_EQ(store.GetCurrentTimeFormat(&format, nullptr), E_POINTER);

    MP_PARAMINFO info;
    WCHAR* text = reinterpret_cast<WCHAR*>(&info);
    EXPECT_EQ(store.GetParamInfo(6, &info), E_INVALIDARG);
    EXPECT_EQ(store.GetParamText(6, &text), E_INVALIDARG);
    EXPECT_EQ(store.GetParamText(0xFFFFFFFF, &text), E_INVALIDARG);
    EXPECT_EQ(text, reinterpret_cast<WCHAR*>(&info)) << "a refused call must not write";
    EXPECT_EQ(store.GetSupportedTimeFormat(1, &format), E_INVALIDARG);
}

TEST_F(ParamInfoTest, TextBlockAllocationFailureIsReported) {
    WCHAR* text = nullptr;
    platform::FailAllocationAfter(0);
    EXPECT_EQ(store.GetParamText(2, &text), E_OUTOFMEMORY);
    platform::FailAllocationAfter(-1);
    EXPECT_EQ(text, nullptr);
}

TEST_F(ParamInfoTest, OnlyReferenceTimeIsSupportedAndItsDataIsAlwaysZero) {
    DWORD count = 0;
    GUID format{};
    MP_TIMEDATA data = 123;
    ASSERT_EQ(store.GetNumTimeFormats(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ASSERT_EQ(store.GetSupportedTimeFormat(0, &format), S_OK);
    EXPECT_TRUE(IsEqualGUID(format, GUID_TIME_REFERENCE));

    EXPECT_EQ(store.SetTimeFormat(GUID_TIME_REFERENCE, 77), S_OK);
    ASSERT_EQ(store.GetCurrentTimeFormat(&format, &data), S_OK);
    EXPECT_TRUE(IsEqualGUID(format, GUID_TIME_REFERENCE));
    EXPECT_EQ(data, 0u);

    EXPECT_EQ(store.SetTimeFormat(IID_IMediaParams, 0), E_FAIL);
    ASSERT_EQ(store.GetCurrentTimeFormat(&format, &data), S_OK);
    EXPECT_TRUE(IsEqualGUID(format, GUID_TIME_REFERENCE));
}

TEST_F(ParamInfoTest, FacesShareTheOwnersReferenceCount) {
    IMediaParamInfo* info = nullptr;
    IMediaParams* params = nullptr;
    ASSERT_EQ(owner.QueryInterface(IID_IMediaParamInfo, reinterpret_cast<void**>(&info)), S_OK);
    ASSERT_EQ(info->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params)), S_OK);
    EXPECT_NE(static_cast<void*>(info), static_cast<void*>(params));
    EXPECT_EQ(owner.refs, 2);
    void* other = &owner;
    EXPECT_EQ(store.QueryFace(IID_IUnknown, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    params->Release();
    info->Release();
}

}  // namespace
