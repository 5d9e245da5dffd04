// How AddEnvelope and FlushEnvelope lay out a parameter's segments.
#include <limits>

#include "params/Envelope.h"
#include "params/SegmentArray.h"
#include "platform/Memory.h"
#include "support/Segments.h"
#include "support/StoreFixture.h"

namespace {

class EnvelopeLayoutTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(CreateSegmentArray(&array), S_OK); }
    void TearDown() override { DestroySegmentArray(&array); }

    void Add(std::vector<MP_ENVELOPE_SEGMENT> segments) {
        ASSERT_EQ(InsertSegments(&array, segments.data(), DWORD(segments.size())), S_OK);
    }

    SegmentArray array{};
};

TEST_F(EnvelopeLayoutTest, AnOverlappingSegmentReplacesTheOldOneWhole) {
    Add({Seg(0, 10, 0, 1)});
    Add({Seg(5, 15, 0, 1)});
    EXPECT_EQ(Spans(array), (std::vector<Span>{{5, 15}}));
}

TEST_F(EnvelopeLayoutTest, NewSegmentsFallIntoTheGapsInTimeOrder) {
    Add({Seg(0, 10, 0, 1), Seg(60, 70, 0, 1)});
    Add({Seg(20, 30, 0, 1), Seg(40, 50, 0, 1)});
    EXPECT_EQ(Spans(array), (std::vector<Span>{{0, 10}, {20, 30}, {40, 50}, {60, 70}}));
}

TEST_F(EnvelopeLayoutTest, SegmentsOfOneCallThatOverlapEachOtherAreAllKept) {
    Add({Seg(0, 10, 0, 1), Seg(5, 15, 0, 1)});
    EXPECT_EQ(Spans(array), (std::vector<Span>{{0, 10}, {5, 15}}));
}

TEST_F(EnvelopeLayoutTest, AnEmptySegmentIsStoredAheadOfAStoredOneWithTheSameStart) {
    Add({Seg(10, 20, 0, 1)});
    Add({Seg(10, 10, 5, 5)});
    EXPECT_EQ(Spans(array), (std::vector<Span>{{10, 10}, {10, 20}}));
}

TEST_F(EnvelopeLayoutTest, FlushRemovesWhatOverlapsTheRangeAndKeepsTheRest) {
    Add({Seg(0, 10, 0, 1), Seg(10, 20, 0, 1), Seg(20, 30, 0, 1), Seg(30, 40, 0, 1)});
    RemoveOverlapping(&array, 15, 25);
    EXPECT_EQ(Spans(array), (std::vector<Span>{{0, 10}, {30, 40}}));
    RemoveOverlapping(&array, 10, 30);  // touches neither end
    EXPECT_EQ(Spans(array), (std::vector<Span>{{0, 10}, {30, 40}}));
}

TEST_F(EnvelopeLayoutTest, CapacityMovesInStepsOfSixteen) {
    EXPECT_EQ(array.capacity, 16);
    std::vector<MP_ENVELOPE_SEGMENT> many;
    for (int i = 0; i < 40; ++i)
        many.push_back(Seg(i * 10, i * 10 + 10, 0, 1));
    Add(many);
    EXPECT_EQ(array.count, 40);
    EXPECT_EQ(array.capacity, 48);
    RemoveOverlapping(&array, 0, 150);  // 15 removed: 25 left, 23 spare
    EXPECT_EQ(array.count, 25);
    EXPECT_EQ(array.capacity, 32);
    RemoveOverlapping(&array, 0, 1000);  // shrinks removal by removal, never below one step
    EXPECT_EQ(array.count, 0);
    EXPECT_EQ(array.capacity, 16);
}

TEST_F(EnvelopeLayoutTest, AFailedGrowthKeepsWhatWasInsertedAndRemoved) {
    std::vector<MP_ENVELOPE_SEGMENT> first;
    for (int i = 0; i < 16; ++i)
        first.push_back(Seg(i * 10, i * 10 + 10, 0, 1));
    Add(first);
    const MP_ENVELOPE_SEGMENT more[] = {Seg(0, 10, 5, 5), Seg(200, 210, 0, 1), Seg(300, 310, 0, 1)};
    platform::FailAllocationAfter(0);
    EXPECT_EQ(InsertSegments(&array, more, 3), E_OUTOFMEMORY);
    platform::FailAllocationAfter(-1);
    // [0,10) was replaced into the room its removal freed; [200,210) needed to grow the array.
    ASSERT_EQ(array.count, 16);
    EXPECT_EQ(array.entries[0].segment.valStart, 5.0f);
    EXPECT_EQ(array.entries[15].segment.rtStart, 150);
}

using EnvelopeCallTest = StoreTest;

TEST_F(EnvelopeCallTest, AddEnvelopeRefusesBadArgumentsAndNonFiniteValues) {
    MP_ENVELOPE_SEGMENT s = Seg(0, 10, 0, 1);
    EXPECT_EQ(store.AddEnvelope(0, 1, nullptr), E_POINTER);
    EXPECT_EQ(store.AddEnvelope(6, 1, &s), E_INVALIDARG);
    EXPECT_EQ(store.AddEnvelope(0, 0, &s), E_INVALIDARG);
    EXPECT_EQ(store.FlushEnvelope(6, 0, 10), E_INVALIDARG);

    MP_ENVELOPE_SEGMENT batch[] = {Seg(0, 10, 100, 200), Seg(10, 20, 200, 300)};
    batch[1].valEnd = std::numeric_limits<float>::infinity();
    EXPECT_EQ(store.AddEnvelope(0, 2, batch), E_INVALIDARG);
    batch[1].valEnd = 300;
    batch[0].valStart = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(store.AddEnvelope(DWORD_ALLPARAMS, 2, batch), E_INVALIDARG);

    // Nothing of a refused batch was stored: the clock runs as if there were no envelopes.
    ASSERT_EQ(store.StartTimeBase(44100), S_OK);
    DWORD mask = 0;
    EXPECT_EQ(store.AdvanceToNextChange(4410, &mask), 4410u);
    EXPECT_EQ(mask, 0u);
}

TEST_F(EnvelopeCallTest, TheAllParametersIndexAddsToAndFlushesEverySlot) {
    MP_ENVELOPE_SEGMENT s[] = {Seg(0, 1000000, 1, 1, MP_CURVE_JUMP)};
    ASSERT_EQ(store.AddEnvelope(DWORD_ALLPARAMS, 1, s), S_OK);
    ASSERT_EQ(store.StartTimeBase(44100), S_OK);
    DWORD mask = 0;
    store.AdvanceToNextChange(100, &mask);
    for (DWORD i = 0; i < kParamCount; ++i)
        EXPECT_EQ(store.IsAutomated(i), S_OK) << i;
    EXPECT_EQ(mask, 1u | 2u | 4u | 8u | 16u);

    ASSERT_EQ(store.FlushEnvelope(DWORD_ALLPARAMS, INT64_MIN, INT64_MAX), S_OK);
    mask = 0;
    EXPECT_EQ(store.AdvanceToNextChange(100, &mask), 100u) << "no segments left anywhere";
    for (DWORD i = 0; i < kParamCount; ++i)
        EXPECT_EQ(store.IsAutomated(i), S_FALSE) << i;
}

}  // namespace
