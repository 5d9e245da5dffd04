// Cutting buffers into stretches at envelope changes, and the change mask that goes with them.
#include "support/Segments.h"
#include "support/StoreFixture.h"

namespace {

class AdvanceTest : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        ASSERT_EQ(store.StartTimeBase(44100), S_OK);
        At(0);
    }
    void Add(DWORD index, MP_ENVELOPE_SEGMENT s) {
        ASSERT_EQ(store.AddEnvelope(index, 1, &s), S_OK);
    }
    void At(REFERENCE_TIME t) { store.SetSampleTimes(&t); }
    DWORD Advance(DWORD frames) {
        mask = 0;
        return store.AdvanceToNextChange(frames, &mask);
    }
    MP_DATA Value(DWORD index) {
        MP_DATA v = 0;
        EXPECT_EQ(store.GetParam(index, &v), S_OK);
        return v;
    }

    DWORD mask = 0;
};

TEST_F(AdvanceTest, WithoutEnvelopesTheWholeBufferIsOneStretch) {
    EXPECT_EQ(Advance(4410), 4410u);
    EXPECT_EQ(store.Position(), 1000000);
    EXPECT_EQ(Advance(1), 1u);
    EXPECT_EQ(store.Position(), 1000227);
    EXPECT_EQ(mask, 0u);
}

TEST_F(AdvanceTest, ARampEndingMidBufferSplitsItThereAndEndsOnItsTarget) {
    Add(kParamFrequency, Seg(0, 500000, 1000, 2000));
    EXPECT_EQ(Advance(4410), 2205u);
    EXPECT_EQ(mask, 1u);
    EXPECT_EQ(store.Position(), 500000);
    EXPECT_EQ(Advance(2205), 2205u);
    EXPECT_EQ(mask, 1u) << "leaving the ramp is reported once";
    EXPECT_EQ(Value(kParamFrequency), 2000.0f);
    double value, slope, curvature;
    store.GetRampState(kParamFrequency, &value, &slope, &curvature);
    EXPECT_EQ(slope, 0.0);
    EXPECT_EQ(Advance(4410), 4410u);
    EXPECT_EQ(mask, 0u) << "and only once";
}

TEST_F(AdvanceTest, TheNearestBoundaryOfAnyParameterWins) {
    Add(kParamFrequency, Seg(0, 600000, 100, 200));
    Add(kParamResonance, Seg(0, 300000, 0, 50));
    EXPECT_EQ(Advance(4410), 1323u);
    EXPECT_EQ(mask, 1u | 2u);
    EXPECT_EQ(store.Position(), 300000);
}

TEST_F(AdvanceTest, ASegmentStartingInsideABufferTakesEffectAtItsExactFrame) {
    Add(kParamFilterType, Seg(500000, 2000000, 2, 2, MP_CURVE_JUMP));
    EXPECT_EQ(Advance(4410), 2205u);
    EXPECT_EQ(mask, 0u);
    EXPECT_EQ(Advance(2205), 2205u);
    EXPECT_EQ(mask, 8u) << "the type change reaches the coefficients";
    EXPECT_EQ(Value(kParamFilterType), 2.0f);
}

TEST_F(AdvanceTest, AFlatSegmentsEndIsABoundaryEvenWhenItReportsNoChange) {
    Add(kParamWetDry, Seg(0, 1000000, 50, 80, MP_CURVE_JUMP));
    EXPECT_EQ(Advance(8820), 4410u);
    EXPECT_EQ(mask, 4u);
    At(200000);
    EXPECT_EQ(Advance(8820), 3528u);
    EXPECT_EQ(mask, 0u);
    EXPECT_EQ(Value(kParamWetDry), 50.0f);
    EXPECT_EQ(Advance(8820 - 3528), 8820u - 3528u);
    EXPECT_EQ(mask, 4u) << "the jump to its end value at its end";
    EXPECT_EQ(Value(kParamWetDry), 80.0f);
}

TEST_F(AdvanceTest, ASeekAcrossSeveralSegmentsIntoAGapHoldsTheEndOfTheLastOne) {
    MP_ENVELOPE_SEGMENT lane[] = {Seg(0, 1000000, 100, 200), Seg(1000000, 2000000, 200, 300),
                                  Seg(2000000, 3000000, 300, 400),
                                  Seg(3000000, 4000000, 400, 5000)};
    ASSERT_EQ(store.AddEnvelope(kParamFrequency, 4, lane), S_OK);
    At(500000);
    Advance(441);
    At(9000000);
    Advance(441);
    EXPECT_EQ(mask, 1u);
    EXPECT_EQ(Value(kParamFrequency), 5000.0f);
    At(1500000);  // back into the lane, then past its end again
    Advance(441);
    At(6000000);
    Advance(441);
    EXPECT_EQ(Value(kParamFrequency), 5000.0f);
}

TEST_F(AdvanceTest, ABoundaryUnderHalfAFrameAwayGivesAnEmptyStretch) {
    Add(kParamFrequency, Seg(0, 1000050, 100, 200));
    At(1000000);
    EXPECT_EQ(Advance(4410), 0u);
    EXPECT_EQ(store.Position(), 1000050);
    EXPECT_EQ(Advance(4410), 4410u);
}

TEST_F(AdvanceTest, SetParamIsRefusedWhileAnEnvelopeDrivesItDuringStreaming) {
    Add(kParamFrequency, Seg(0, 10000000, 100, 200));
    Advance(441);
    EXPECT_EQ(store.IsAutomated(kParamFrequency), S_OK);
    EXPECT_EQ(store.IsAutomated(kParamResonance), S_FALSE);
    EXPECT_EQ(store.SetParam(kParamFrequency, 1000.0f), S_FALSE);
    EXPECT_NE(Value(kParamFrequency), 1000.0f);
    EXPECT_EQ(store.SetParam(kParamResonance, 10.0f), S_OK);
    store.StopTimeBase();
    EXPECT_EQ(store.IsAutomated(kParamFrequency), S_FALSE);
    EXPECT_EQ(store.SetParam(kParamFrequency, 1000.0f), S_OK);
}

TEST_F(AdvanceTest, ACaptureTakesTheParameterOffItsRampUntilItEnds) {
    Add(kParamResonance, Seg(0, 10000000, 0, 100));
    Add(kParamFrequency, Seg(0, 20000000, 100, 100));
    Advance(441);
    EXPECT_EQ(mask, 1u | 2u);
    ASSERT_EQ(store.BeginCapture(kParamResonance), S_OK);
    EXPECT_EQ(Advance(441), 441u);
    EXPECT_EQ(mask, 2u) << "the ramp is stopped in the DSP once";
    EXPECT_EQ(Advance(441), 441u);
    EXPECT_EQ(mask, 0u);
    At(9999000);
    EXPECT_EQ(Advance(441), 441u) << "a captured parameter limits no stretch";
    ASSERT_EQ(store.EndCapture(kParamResonance), S_OK);
    At(5000000);
    Advance(441);
    EXPECT_EQ(mask, 2u) << "after the capture the envelope is followed again";
}

TEST_F(AdvanceTest, ARefusedSampleRateLeavesTheTimeBaseAlone) {
    EXPECT_EQ(store.StartTimeBase(0), E_INVALIDARG);
    EXPECT_EQ(Advance(4410), 4410u);
    EXPECT_EQ(store.Position(), 1000000);
}

TEST_F(AdvanceTest, SampleTimesSetTheClockAndASampleWithoutTimesKeepsTheLastStart) {
    At(5000);
    Advance(441);
    store.SetSampleTimes(nullptr);
    EXPECT_EQ(store.Position(), 5000);
    store.ResetClock();
    EXPECT_EQ(store.Position(), 0);
}

}  // namespace
