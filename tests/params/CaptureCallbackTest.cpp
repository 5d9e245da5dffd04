// Capture brackets and the exact calls the host's UI callback receives.
#include "support/RecordingCallback.h"
#include "support/StoreFixture.h"

namespace {

class CaptureCallbackTest : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        ASSERT_EQ(store.SetUICallback(&callback), S_OK);
    }
    void TearDown() override {
        EXPECT_EQ(store.SetUICallback(nullptr), S_OK);
        EXPECT_EQ(callback.refs, 0) << "callback references leaked";
        for (const RecordingCallback::Call& c : callback.calls) {
            EXPECT_EQ(c.count, 1u) << "every call names exactly one parameter";
        }
        StoreTest::TearDown();
    }

    RecordingCallback callback;
};

TEST_F(CaptureCallbackTest, ABracketOpensOnceAndClosesOnce) {
    EXPECT_EQ(store.BeginCapture(kParamResonance), S_OK);
    EXPECT_EQ(store.BeginCapture(kParamResonance), S_FALSE);
    EXPECT_EQ(store.EndCapture(kParamResonance), S_OK);
    EXPECT_EQ(store.EndCapture(kParamResonance), S_FALSE);
    EXPECT_EQ(callback.Sequence(), "B1 E1");
}

TEST_F(CaptureCallbackTest, EndingWithoutACaptureMakesNoCall) {
    EXPECT_EQ(store.EndCapture(kParamWetDry), S_FALSE);
    EXPECT_TRUE(callback.calls.empty());
}

TEST_F(CaptureCallbackTest, AScaledChangeOutsideADragIsBracketedByItself) {
    ASSERT_EQ(store.PutScaled(kParamResonance, 250), S_OK);
    EXPECT_EQ(callback.Sequence(), "B1 C1 E1");
    EXPECT_EQ(callback.calls[1].value, 25.0f);
}

TEST_F(CaptureCallbackTest, ScaledChangesInsideADragReportOnlyTheChanges) {
    ASSERT_EQ(store.BeginCapture(kParamFrequency), S_OK);
    ASSERT_EQ(store.PutScaled(kParamFrequency, 1000), S_OK);
    ASSERT_EQ(store.PutScaled(kParamFrequency, 1000), S_FALSE);
    ASSERT_EQ(store.PutScaled(kParamFrequency, 1200), S_OK);
    ASSERT_EQ(store.EndCapture(kParamFrequency), S_OK);
    EXPECT_EQ(callback.Sequence(), "B0 C0 C0 E0");
    EXPECT_EQ(callback.calls[1].value, 1000.0f);
    EXPECT_EQ(callback.calls[2].value, 1200.0f);
}

TEST_F(CaptureCallbackTest, AnUnchangedScaledValueMakesNoCall) {
    ASSERT_EQ(store.PutScaled(kParamWetDry, 1000), S_FALSE);
    EXPECT_TRUE(callback.calls.empty());
}

TEST_F(CaptureCallbackTest, WholeSetMakesEighteenCallsInOrderEvenWhenNothingChanged) {
    MP_DATA values[kParamCount];
    ASSERT_EQ(store.GetAllParams(values), S_OK);
    ASSERT_EQ(store.SetAllParams(values), S_OK);
    EXPECT_EQ(callback.Sequence(), "B0 B1 B2 B3 B4 B5 C0 C1 C2 C3 C4 C5 E0 E1 E2 E3 E4 E5");
    for (DWORD i = 0; i < kParamCount; ++i) {
        EXPECT_EQ(callback.calls[kParamCount + i].value, values[i]) << i;
    }
}

TEST_F(CaptureCallbackTest, WholeSetReportsTheClampedValues) {
    const MP_DATA in[kParamCount] = {1e6f, 50, 1, 1, 1, 150};
    ASSERT_EQ(store.SetAllParams(in), S_OK);
    ASSERT_EQ(callback.calls.size(), 18u);
    EXPECT_EQ(callback.calls[6].value, 20000.0f);
    EXPECT_EQ(callback.calls[11].value, 100.0f);
}

TEST_F(CaptureCallbackTest, DirectSetsAndReadsMakeNoCall) {
    ASSERT_EQ(store.SetParam(kParamFrequency, 1000.0f), S_OK);
    LONG n;
    ASSERT_EQ(store.GetScaled(kParamFrequency, &n), S_OK);
    MP_DATA values[kParamCount];
    ASSERT_EQ(store.GetAllParams(values), S_OK);
    EXPECT_TRUE(callback.calls.empty());
}

TEST_F(CaptureCallbackTest, ReplacingOrClearingTheCallbackReleasesTheOldOne) {
    EXPECT_EQ(callback.refs, 1);
    RecordingCallback second;
    ASSERT_EQ(store.SetUICallback(&second), S_OK);
    EXPECT_EQ(callback.refs, 0);
    EXPECT_EQ(second.refs, 1);
    ASSERT_EQ(store.PutScaled(kParamResonance, 10), S_OK);
    EXPECT_TRUE(callback.calls.empty());
    EXPECT_EQ(second.Sequence(), "B1 C1 E1");
    ASSERT_EQ(store.SetUICallback(nullptr), S_OK);
    EXPECT_EQ(second.refs, 0);
    ASSERT_EQ(store.PutScaled(kParamResonance, 20), S_OK);
    EXPECT_EQ(second.calls.size(), 3u);
}

TEST(CaptureCallbackLifetime, DestroyingTheStoreReleasesTheCallback) {
    RecordingCallback callback;
    {
        StoreOwner owner;
        ASSERT_EQ(owner.store.SetUICallback(&callback), S_OK);
        EXPECT_EQ(callback.refs, 1);
    }
    EXPECT_EQ(callback.refs, 0);
}

}  // namespace
