// Setting and reading values directly and as a whole set, with range refusal and clamping.
#include <cmath>
#include <limits>

#include "platform/Memory.h"
#include "support/StoreFixture.h"

namespace {

using ParamValueTest = StoreTest;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

MP_DATA Get(MediaParamStore& store, DWORD index) {
    MP_DATA value = -12345;
    EXPECT_EQ(store.GetParam(index, &value), S_OK);
    return value;
}

TEST_F(ParamValueTest, ANewStoreHoldsTheNeutralValues) {
    const MP_DATA neutral[kParamCount] = {500, 0, 0, 0, 0, 100};
    for (DWORD i = 0; i < kParamCount; ++i)
        EXPECT_EQ(Get(store, i), neutral[i]) << i;
}

TEST_F(ParamValueTest, SetParamAcceptsTheRangeEdgesAndRefusesAnythingBeyond) {
    EXPECT_EQ(store.SetParam(kParamFrequency, 19.99f), E_INVALIDARG);
    EXPECT_EQ(store.SetParam(kParamFrequency, std::nextafter(20000.0f, 1e9f)), E_INVALIDARG);
    EXPECT_EQ(store.SetParam(kParamFrequency, -kInf), E_INVALIDARG);
    EXPECT_EQ(store.SetParam(kParamFrequency, kInf), E_INVALIDARG);
    EXPECT_EQ(Get(store, kParamFrequency), 500.0f) << "a refused value must not be stored";

    EXPECT_EQ(store.SetParam(kParamFrequency, 20.0f), S_OK);
    EXPECT_EQ(store.SetParam(kParamFrequency, 20.0f), S_FALSE) << "same value again";
    EXPECT_EQ(store.SetParam(kParamFrequency, 20000.0f), S_OK);
    EXPECT_EQ(store.SetParam(kParamWetDry, 0.0f), S_OK);
    EXPECT_EQ(store.SetParam(kParamWetDry, -0.001f), E_INVALIDARG);
    EXPECT_EQ(store.SetParam(kParamBypass, 1.0f), S_OK);
    EXPECT_EQ(store.SetParam(kParamBypass, 1.5f), E_INVALIDARG);
}

TEST_F(ParamValueTest, SetParamRefusesNaNOnEveryParameter) {
    for (DWORD i = 0; i < kParamCount; ++i) {
        const MP_DATA before = Get(store, i);
        EXPECT_EQ(store.SetParam(i, kNaN), E_INVALIDARG) << i;
        EXPECT_EQ(Get(store, i), before) << i;
    }
}

TEST_F(ParamValueTest, EnumerationsAndSwitchesKeepFractionalValues) {
    EXPECT_EQ(store.SetParam(kParamFilterType, 1.5f), S_OK);
    EXPECT_EQ(Get(store, kParamFilterType), 1.5f);
}

TEST_F(ParamValueTest, BadIndexOrPointerIsRefused) {
    MP_DATA value = 0;
    EXPECT_EQ(store.SetParam(6, 1.0f), E_INVALIDARG);
    EXPECT_EQ(store.SetParam(DWORD_ALLPARAMS, 1.0f), E_INVALIDARG);
    EXPECT_EQ(store.GetParam(6, &value), E_INVALIDARG);
    EXPECT_EQ(store.GetParam(6, nullptr), E_POINTER);
    EXPECT_EQ(store.GetParam(0, nullptr), E_POINTER);
}

TEST_F(ParamValueTest, WholeSetIsClampedAndNaNBecomesNeutral) {
    const MP_DATA in[kParamCount] = {5.0f, kNaN, 7.0f, -1.0f, kInf, -kInf};
    ASSERT_EQ(store.SetAllParams(in), S_OK);
    const MP_DATA expected[kParamCount] = {20, 0, 2, 0, 1, 0};
    MP_DATA out[kParamCount];
    ASSERT_EQ(store.GetAllParams(out), S_OK);
    for (DWORD i = 0; i < kParamCount; ++i) {
        EXPECT_EQ(out[i], expected[i]) << i;
        EXPECT_EQ(Get(store, i), expected[i]) << "stored clamped: " << i;
    }
}

TEST_F(ParamValueTest, WholeSetRoundTripsInRangeValuesExactly) {
    const MP_DATA in[kParamCount] = {440.25f, 33.3f, 1.0f, 1.0f, 0.0f, 62.5f};
    ASSERT_EQ(store.SetAllParams(in), S_OK);
    MP_DATA out[kParamCount];
    ASSERT_EQ(store.GetAllParams(out), S_OK);
    for (DWORD i = 0; i < kParamCount; ++i)
        EXPECT_EQ(out[i], in[i]) << i;
}

TEST(ParamStoreLifecycle, SlotAllocationFailureIsReportedAndTeardownIsSafe) {
    for (int failAt = 0; failAt < 1 + int(kParamCount); ++failAt) {
        platform::FailAllocationAfter(failAt);
        StoreOwner owner;
        platform::FailAllocationAfter(-1);
        EXPECT_EQ(owner.createResult, E_OUTOFMEMORY) << "failing allocation " << failAt;
    }
}

}  // namespace
