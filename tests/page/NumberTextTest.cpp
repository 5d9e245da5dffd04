// The edit boxes' number text in locales as Wine gives them: US English, German ("." groups,
// "," decimals) and French (a no-break space groups).
#include <gtest/gtest.h>

#include <climits>

#include "page/NumberText.h"

namespace {

const NumberLocale us = ReadNumberLocale(L"en-US"), de = ReadNumberLocale(L"de-DE");

TEST(NumberText, ShowsScaledValuesInTheLocalesFormat) {
    EXPECT_EQ(FormatScaled(20000, 0, us), L"20,000");
    EXPECT_EQ(FormatScaled(333, 1, us), L"33.3");
    EXPECT_EQ(FormatScaled(-5, 1, us), L"-0.5");
    EXPECT_EQ(FormatScaled(LONG_MIN, 0, us), L"-2,147,483,648");
    EXPECT_EQ(FormatScaled(12345, 1, de), L"1.234,5");
    EXPECT_EQ(FormatScaled(20000, 0, ReadNumberLocale(L"fr-FR")), L"20\u00a0000");
    NumberLocale bare = us;
    bare.leadingZero = 0;
    EXPECT_EQ(FormatScaled(-5, 1, bare), L"-.5");
}

TEST(NumberText, ReadsTypedTextUpToTheFirstStrangeCharacter) {
    EXPECT_EQ(ParseScaled(L" 1,500 Hz", false, us), 1500);
    EXPECT_EQ(ParseScaled(L"12.34", true, us), 123);
    EXPECT_EQ(ParseScaled(L"-3", true, us), -30);
    EXPECT_EQ(ParseScaled(L"-0.05", true, us), 0);
    EXPECT_EQ(ParseScaled(L"1.2.3", true, us), 12);
    for (const wchar_t* nothing : {L"", L"abc", L"-", L" .", L"+5", L"- 5"})
        EXPECT_EQ(ParseScaled(nothing, true, us), 0) << nothing;
    EXPECT_EQ(ParseScaled(L"1.500", false, de), 1500);
    EXPECT_EQ(ParseScaled(L"12,34", true, de), 123);
    EXPECT_EQ(ParseScaled(L"20\u00a0000", false, ReadNumberLocale(L"fr-FR")), 20000);
    // Only what a 64-character edit buffer holds counts; beyond LONG clamps.
    EXPECT_EQ(ParseScaled((std::wstring(60, L' ') + L"12345").c_str(), false, us), 123);
    const std::wstring forty(40, L'9');
    EXPECT_EQ(ParseScaled(forty.c_str(), false, us), LONG_MAX);
    EXPECT_EQ(ParseScaled((L"-" + forty).c_str(), true, us), LONG_MIN);
    EXPECT_EQ(ParseScaled(L"214,748,364.8", true, us), LONG_MAX);
}

TEST(NumberText, ShownTextReadsBackAsTheSameValue) {
    for (const NumberLocale* locale : {&us, &de})
        for (LONG v : {0L, -5L, 999L, 20000L, -123456L, 2147483647L})
            for (bool tenths : {false, true})
                EXPECT_EQ(ParseScaled(FormatScaled(v, tenths, *locale).c_str(), tenths, *locale),
                          v);
    NumberLocale dots{L".", L".", 3, 1, L"-"}, spaces{L" ", L" ", 3, 1, L"-"};
    SeparateDecimal(dots);
    SeparateDecimal(spaces);
    EXPECT_EQ(dots.decimal, L",");
    EXPECT_EQ(spaces.decimal, L".");
}

}  // namespace
