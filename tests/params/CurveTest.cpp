// Evaluating one parameter's envelope at a time: curve values, in force, changed, holding.
#include "params/Envelope.h"
#include "params/SegmentArray.h"
#include "support/Segments.h"

#include <gtest/gtest.h>

namespace {

class CurveTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(CreateSegmentArray(&slot.segments), S_OK); }
    void TearDown() override { DestroySegmentArray(&slot.segments); }

    void Add(std::vector<MP_ENVELOPE_SEGMENT> segments) {
        ASSERT_EQ(InsertSegments(&slot.segments, segments.data(), DWORD(segments.size())), S_OK);
    }

    ParamSlot slot{};
};

constexpr REFERENCE_TIME kSecond = 10000000;

TEST_F(CurveTest, WorkedValuesOfTheRampCurves) {
    Add({Seg(0, kSecond, 500, 1500, MP_CURVE_LINEAR)});
    Evaluation e = EvaluateParam(&slot, 2500000);
    EXPECT_TRUE(e.changed && e.inForce);
    EXPECT_EQ(e.toEnd, 7500000);
    EXPECT_EQ(slot.value, 750.0f);
    EXPECT_DOUBLE_EQ(slot.slope, 1000.0);
    EXPECT_EQ(slot.curvature, 0.0);

    Add({Seg(0, 2 * kSecond, 0, 100, MP_CURVE_SQUARE)});
    EvaluateParam(&slot, kSecond);
    EXPECT_EQ(slot.value, 25.0f);
    EXPECT_DOUBLE_EQ(slot.curvature, 50.0);
    EXPECT_DOUBLE_EQ(slot.slope, 75.0);

    Add({Seg(0, 2 * kSecond, 0, 100, MP_CURVE_INVSQUARE)});
    EvaluateParam(&slot, kSecond);
    EXPECT_EQ(slot.value, 75.0f);
    EXPECT_DOUBLE_EQ(slot.curvature, -50.0);
    EXPECT_DOUBLE_EQ(slot.slope, 25.0);
}

TEST_F(CurveTest, QuadraticCurvesSquareTheFractionBeforeScalingIt) {
    // Scaling first, (k * x) * x, would give 969.318298 and 476.127563.
    Add({Seg(0, 128, 1179.75f, 598.25f, MP_CURVE_SQUARE)});
    EvaluateParam(&slot, 77);
    EXPECT_EQ(slot.value, 969.318237f);
    Add({Seg(0, 384, 913.25f, -133.0f, MP_CURVE_INVSQUARE)});
    EvaluateParam(&slot, 91);
    EXPECT_EQ(slot.value, 476.127594f);
}

TEST_F(CurveTest, FlatCurvesHoldTheStartValueAndChangeOnlyAtFirstOrAtTheirStart) {
    for (DWORD curve : {DWORD(MP_CURVE_JUMP), DWORD(MP_CURVE_SINE), DWORD(0x40)}) {
        Add({Seg(0, kSecond, 1, 2, curve)});
        EXPECT_TRUE(EvaluateParam(&slot, 100).changed) << "first evaluation";
        EXPECT_EQ(slot.value, 1.0f);
        EXPECT_EQ(slot.slope, 0.0);
        EXPECT_FALSE(EvaluateParam(&slot, 200).changed) << "again, not at its start";
        EXPECT_TRUE(EvaluateParam(&slot, 0).changed) << "exactly at its start";
        EXPECT_EQ(slot.value, 1.0f);
    }
}

TEST_F(CurveTest, ARampChangesAtEveryEvaluation) {
    Add({Seg(0, kSecond, 0, 10)});
    for (REFERENCE_TIME t = 0; t < kSecond; t += kSecond / 8) {
        EXPECT_TRUE(EvaluateParam(&slot, t).changed) << t;
    }
}

TEST_F(CurveTest, NothingIsInForceBeforeBetweenOrAfterSegments) {
    Add({Seg(100, 200, 5, 5), Seg(300, 400, 5, 5), Seg(250, 250, 7, 7)});
    for (REFERENCE_TIME t : {REFERENCE_TIME(50), REFERENCE_TIME(250), REFERENCE_TIME(500)}) {
        slot.value = 42;
        const Evaluation e = EvaluateParam(&slot, t);
        EXPECT_FALSE(e.inForce) << t;
        EXPECT_FALSE(slot.envelopeActive) << t;
    }
    // An empty segment is never in force, not even at its own time.
    EXPECT_FALSE(EvaluateParam(&slot, 250).inForce);
}

TEST_F(CurveTest, AtASegmentsEndTheNextOneTakesOverAndCountsAsChanged) {
    Add({Seg(0, 100, 1, 1, MP_CURVE_JUMP), Seg(100, 200, 3, 3, MP_CURVE_JUMP)});
    EvaluateParam(&slot, 0);
    EXPECT_FALSE(EvaluateParam(&slot, 50).changed);
    const Evaluation e = EvaluateParam(&slot, 100);
    EXPECT_TRUE(e.changed && e.inForce);
    EXPECT_EQ(slot.value, 3.0f);
    EXPECT_EQ(e.toEnd, 100);
}

TEST_F(CurveTest, LeavingASegmentHoldsItsEndValueOnce) {
    Add({Seg(0, 100, 10, 20), Seg(300, 400, 0, 0)});
    EvaluateParam(&slot, 50);
    EXPECT_EQ(slot.value, 15.0f);
    Evaluation e = EvaluateParam(&slot, 120);
    EXPECT_TRUE(e.changed);
    EXPECT_FALSE(e.inForce);
    EXPECT_EQ(slot.value, 20.0f) << "a ramp ends exactly on its target";
    EXPECT_EQ(slot.slope, 0.0);
    ASSERT_TRUE(e.hasNext);
    EXPECT_EQ(e.toNext, 180);

    slot.value = 7;  // the host sets a value in the gap
    e = EvaluateParam(&slot, 150);
    EXPECT_FALSE(e.changed);
    EXPECT_EQ(slot.value, 7.0f) << "a value set in the gap stays";
}

TEST_F(CurveTest, ReEnteringASegmentAfterASeekHoldsItsEndAgainWhenLeft) {
    Add({Seg(0, 100, 10, 20)});
    EvaluateParam(&slot, 50);
    EXPECT_TRUE(EvaluateParam(&slot, 150).changed);
    EvaluateParam(&slot, 10);
    slot.value = 0;
    EXPECT_TRUE(EvaluateParam(&slot, 150).changed);
    EXPECT_EQ(slot.value, 20.0f);
}

TEST_F(CurveTest, CaptureSuspendsTheEnvelopeAndItsEndIsAChange) {
    Add({Seg(0, kSecond, 0, 10), Seg(3 * kSecond, 4 * kSecond, 0, 0)});
    slot.capturing = TRUE;
    slot.value = 3;
    Evaluation e = EvaluateParam(&slot, 100);
    EXPECT_FALSE(e.changed || e.inForce);
    EXPECT_EQ(slot.value, 3.0f) << "the user's value, not the envelope's";

    slot.capturing = FALSE;
    EvaluateParam(&slot, 2 * kSecond);  // in the gap, end value already held
    slot.captureEnded = TRUE;
    e = EvaluateParam(&slot, 2 * kSecond + 1);
    EXPECT_TRUE(e.changed) << "the first evaluation after a capture reports a change";
    EXPECT_FALSE(e.inForce);
    EXPECT_FALSE(EvaluateParam(&slot, 2 * kSecond + 2).changed);
}

TEST_F(CurveTest, ExtremeBoundsAndValuesStayFinite) {
    Add({Seg(INT64_MIN, INT64_MAX, -3e38f, 3e38f, MP_CURVE_SQUARE)});
    const Evaluation e = EvaluateParam(&slot, INT64_MAX - 1);
    EXPECT_TRUE(e.inForce);
    EXPECT_EQ(e.toEnd, 1);
    EXPECT_TRUE(slot.value == slot.value);

    // A curve depends only on times relative to its start, however far along the stream it
    // lies: far out, a double's step (1024 at 5.7e18) is coarser than the segment.
    for (DWORD curve :
         {DWORD(MP_CURVE_LINEAR), DWORD(MP_CURVE_SQUARE), DWORD(MP_CURVE_INVSQUARE)}) {
        for (REFERENCE_TIME base : {REFERENCE_TIME(5700000000000000000), REFERENCE_TIME(1) << 53,
                                    INT64_MIN, INT64_MAX - 510}) {
            for (REFERENCE_TIME at : {0, 1, 255, 509}) {
                Add({Seg(0, 510, 20, 20000, curve)});
                EvaluateParam(&slot, at);
                const ParamSlot nearZero = slot;
                Add({Seg(base, base + 510, 20, 20000, curve)});
                EvaluateParam(&slot, base + at);
                EXPECT_EQ(slot.value, nearZero.value) << curve << " " << base << " " << at;
                EXPECT_EQ(slot.slope, nearZero.slope) << curve << " " << base << " " << at;
                EXPECT_EQ(slot.curvature, nearZero.curvature) << curve << " " << base << " " << at;
            }
        }
    }
}

}  // namespace
