// The integer view that the page and the settings interface use.
#include "support/StoreFixture.h"

namespace {

using ScaledViewTest = StoreTest;

LONG Scaled(MediaParamStore& store, DWORD index) {
    LONG n = -999;
    EXPECT_EQ(store.GetScaled(index, &n), S_OK);
    return n;
}

TEST_F(ScaledViewTest, GetScaledRoundsHalfAwayFromZero) {
    ASSERT_EQ(store.SetParam(kParamFrequency, 440.5f), S_OK);
    EXPECT_EQ(Scaled(store, kParamFrequency), 441);
    ASSERT_EQ(store.SetParam(kParamFrequency, 440.49f), S_OK);
    EXPECT_EQ(Scaled(store, kParamFrequency), 440);
    ASSERT_EQ(store.SetParam(kParamResonance, 12.3f), S_OK);
    EXPECT_EQ(Scaled(store, kParamResonance), 123);
    ASSERT_EQ(store.SetParam(kParamFilterType, 1.5f), S_OK);
    EXPECT_EQ(Scaled(store, kParamFilterType), 2);
    EXPECT_EQ(Scaled(store, kParamBypass), 0);
    EXPECT_EQ(Scaled(store, kParamWetDry), 1000);
}

TEST_F(ScaledViewTest, PutScaledConvertsBackAndClampsFirst) {
    EXPECT_EQ(store.PutScaled(kParamResonance, 555), S_OK);
    MP_DATA v = 0;
    ASSERT_EQ(store.GetParam(kParamResonance, &v), S_OK);
    EXPECT_EQ(v, 55.5f);

    EXPECT_EQ(store.PutScaled(kParamFrequency, 5), S_OK);
    ASSERT_EQ(store.GetParam(kParamFrequency, &v), S_OK);
    EXPECT_EQ(v, 20.0f);
    EXPECT_EQ(store.PutScaled(kParamFrequency, 2000000000), S_OK);
    ASSERT_EQ(store.GetParam(kParamFrequency, &v), S_OK);
    EXPECT_EQ(v, 20000.0f);
    EXPECT_EQ(store.PutScaled(kParamWetDry, -50), S_OK);
    ASSERT_EQ(store.GetParam(kParamWetDry, &v), S_OK);
    EXPECT_EQ(v, 0.0f);
    EXPECT_EQ(store.PutScaled(kParamFilterType, 7), S_OK);
    ASSERT_EQ(store.GetParam(kParamFilterType, &v), S_OK);
    EXPECT_EQ(v, 2.0f);
}

TEST_F(ScaledViewTest, PutScaledOfTheHeldValueReportsNoChange) {
    EXPECT_EQ(store.PutScaled(kParamWetDry, 1000), S_FALSE);
    EXPECT_EQ(store.PutScaled(kParamFrequency, 500), S_FALSE);
    EXPECT_EQ(store.PutScaled(kParamFrequency, 501), S_OK);
    EXPECT_EQ(store.PutScaled(kParamFrequency, 501), S_FALSE);
}

TEST_F(ScaledViewTest, EveryScaledStepRoundTripsExactly) {
    const DWORD params[] = {kParamFrequency, kParamResonance, kParamWetDry, kParamFilterType};
    for (DWORD index : params) {
        const ParamTableEntry& e = kParamTable[index];
        for (LONG n = e.scaledMin; n <= e.scaledMax; ++n) {
            store.PutScaled(index, n);
            ASSERT_EQ(Scaled(store, index), n) << "parameter " << index;
        }
    }
}

}  // namespace
