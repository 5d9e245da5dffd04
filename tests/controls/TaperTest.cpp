// The slider's value scale: taper tables, value <-> pixel mapping, range defaults, the step
// rule and the layout, checked against worked numbers.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "page/controls/Taper.h"

namespace {

SliderScale Scale(int32_t min, int32_t max, bool tapered, TaperTable table) {
    SliderScale s;
    s.min = min;
    s.max = max;
    s.tapered = tapered;
    s.table = table;
    DeriveTaper(s);
    return s;
}

SliderScale Frequency() {
    return Scale(20, 20000, true, TaperTable::Octave);
}

TEST(TaperTables, SoftTableGoesThroughItsPointsAndKeepsTheSign) {
    const int64_t points[][2] = {{0, 0},     {30, 250},  {60, 400},  {120, 500},
                                 {250, 600}, {400, 800}, {700, 950}, {1000, 1000}};
    for (const auto& p : points) {
        EXPECT_EQ(TaperForward(TaperTable::Soft, p[0]), p[1]) << p[0];
        EXPECT_EQ(TaperInverse(TaperTable::Soft, p[1]), p[0]) << p[1];
        EXPECT_EQ(TaperForward(TaperTable::Soft, -p[0]), -p[1]) << -p[0];
    }
    EXPECT_EQ(TaperForward(TaperTable::Soft, 7), 58) << "7 * 250 / 30, truncated";
    EXPECT_EQ(TaperForward(TaperTable::Soft, 2500), 2500) << "identity beyond the last point";
}

// Where the table is flatter than 1:1 one taper unit covers several values, so the round
// trip is exact only to within that unit.
TEST(TaperTables, InverseUndoesForwardWithinOneUnit) {
    struct Segment {
        TaperTable table;
        int64_t last;
    };
    for (const Segment& t :
         {Segment{TaperTable::Soft, 1000}, Segment{TaperTable::Octave, 163840}}) {
        for (int64_t x = 0; x <= t.last + 10; ++x) {
            const int64_t y = TaperForward(t.table, x);
            // One taper unit, in values, around x: the values that share y.
            const int64_t unit = TaperInverse(t.table, y + 1) - TaperInverse(t.table, y);
            const int64_t back = TaperInverse(t.table, y);
            ASSERT_LE(std::llabs(back - x), unit > 1 ? unit : 1) << x;
            ASSERT_EQ(TaperInverse(t.table, -y), -back) << x;
        }
    }
}

TEST(OctaveTaper, EveryOctaveFromTwentyHertzTakesTheSameLength) {
    const SliderScale s = Frequency();
    for (int32_t length : {150, 203, 10000}) {
        const SliderChannel channel{6, length, false};
        const int32_t first = ValueToPixel(s, channel, 40) - ValueToPixel(s, channel, 20);
        EXPECT_NEAR(first, length * 1000 / 9953, 1);
        for (int32_t f = 40; f * 2 <= 20000; f *= 2)
            EXPECT_NEAR(ValueToPixel(s, channel, f * 2) - ValueToPixel(s, channel, f), first, 1)
                << f << " Hz on " << length;
        EXPECT_EQ(ValueToPixel(s, channel, 20), 6);
        EXPECT_EQ(ValueToPixel(s, channel, 20000), 6 + length);
    }
}

TEST(OctaveTaper, SixHundredFortyHertzSitsInTheMiddle) {
    const SliderScale s = Frequency();
    for (int32_t length : {150, 10000}) {
        const SliderChannel channel{0, length, false};
        EXPECT_NEAR(ValueToPixel(s, channel, 640), length / 2.0, length / 100.0);
        EXPECT_NEAR(PixelToValue(s, channel, length / 2), 640, 640 * 0.05);
    }
}

TEST(ValueScale, PixelsMapBackToTheValueTheThumbShows) {
    for (bool vertical : {false, true}) {
        const SliderScale s = Frequency();
        const SliderChannel channel{5, 180, vertical};
        // Truncation at each step of the tapered path can cost a pixel more.
        for (int32_t v = s.min; v <= s.max; v += 7) {
            const int32_t pixel = ValueToPixel(s, channel, v);
            ASSERT_NEAR(ValueToPixel(s, channel, PixelToValue(s, channel, pixel)), pixel, 2) << v;
        }
        // Beyond the channel's ends: the range's ends, the maximum at the top.
        EXPECT_EQ(PixelToValue(s, channel, 0), vertical ? s.max : s.min);
        EXPECT_EQ(PixelToValue(s, channel, 400), vertical ? s.min : s.max);
    }
}

TEST(ValueScale, ExtremeAndEmptyRangesStayInsideTheChannel) {
    const SliderChannel channel{3, 200, false};
    for (bool tapered : {false, true}) {
        const SliderScale wide = Scale(INT32_MIN, INT32_MAX, tapered, TaperTable::Octave);
        int32_t previous = channel.start;
        for (int64_t v = INT32_MIN; v <= INT32_MAX; v += 0x1000000) {
            const int32_t pixel = ValueToPixel(wide, channel, int32_t(v));
            ASSERT_GE(pixel, previous);
            ASSERT_LE(pixel, channel.start + channel.length);
            previous = pixel;
        }
        EXPECT_NEAR(PixelToValue(wide, channel, channel.start + 100), 0, 1 << 24);
        const SliderScale inverted = Scale(50, 10, tapered, TaperTable::Soft);
        EXPECT_EQ(ValueToPixel(inverted, channel, 30), channel.start);
        EXPECT_EQ(PixelToValue(inverted, channel, 100), 50);
    }
}

TEST(RangeChange, DefaultIsTheMidpointOrZeroForARangeAcrossIt) {
    EXPECT_EQ(DefaultPositionForRange(0, 100), 50);
    EXPECT_EQ(DefaultPositionForRange(20, 20000), 10010);
    EXPECT_EQ(DefaultPositionForRange(-10, 30), 0);
    EXPECT_EQ(DefaultPositionForRange(-10, 0), -10);
    EXPECT_EQ(DefaultPositionForRange(-30, -10), -20);
    EXPECT_EQ(DefaultPositionForRange(INT32_MAX - 2, INT32_MAX), INT32_MAX - 1);
}

TEST(StepRule, CodesStepTowardTheirSideMirroredOnVerticalSliders) {
    struct Case {
        int code, horizontal, vertical;
    };
    // From 500 in 20..20000 with line 1 and page 10.
    const Case cases[] = {{0, 499, 501},  {1, 501, 499},  {2, 490, 510}, {3, 510, 490},
                          {6, 20, 20000}, {7, 20000, 20}, {4, 500, 500}, {5, 500, 500},
                          {8, 500, 500},  {9, 500, 500}};
    for (const Case& c : cases) {
        EXPECT_EQ(SliderStep(c.code, 500, 20, 20000, 1, 10, false, false), c.horizontal) << c.code;
        EXPECT_EQ(SliderStep(c.code, 500, 20, 20000, 1, 10, true, false), c.vertical) << c.code;
    }
    EXPECT_EQ(SliderStep(3, 500, 20, 20000, 1, 10, false, true), 600) << "Ctrl: page x 10";
    EXPECT_EQ(SliderStep(1, 500, 20, 20000, 1, 10, false, true), 501) << "lines ignore Ctrl";
}

TEST(StepRule, PageStepZeroIsATenthOfTheRangeAndResultsAreClamped) {
    EXPECT_EQ(SliderStep(3, 0, 0, 1000, 1, 0, false, false), 100);  // (1000 + 5) / 10
    EXPECT_EQ(SliderStep(3, 0, 0, 14, 1, 0, false, false), 1);      // (14 + 5) / 10
    EXPECT_EQ(SliderStep(3, 0, 0, 3, 1, 0, false, false), 1) << "at least 1";
    EXPECT_EQ(SliderStep(2, 25, 20, 20000, 1, 10, false, false), 20);
    EXPECT_EQ(SliderStep(1, 30000, 20, 20000, 1, 10, false, false), 20000);
    EXPECT_EQ(SliderStep(0, INT32_MIN, INT32_MIN, INT32_MAX, 1, 0, false, false), INT32_MIN);
}

}  // namespace
