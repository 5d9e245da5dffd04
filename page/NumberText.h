// The edit boxes' number text: scaled integers shown and read in the user's number format.
// Frequency uses whole hertz (no decimals); Resonance and Wet/Dry use tenths of a percent.
#pragma once

#include <windows.h>

#include <string>

struct NumberLocale {
    std::wstring thousands;  // LOCALE_STHOUSAND
    std::wstring decimal;    // LOCALE_SDECIMAL, never equal to `thousands`
    UINT grouping = 3;       // LOCALE_SGROUPING read as an integer: "3;0" is 3
    UINT leadingZero = 1;    // LOCALE_ILZERO
    std::wstring negative;   // LOCALE_SNEGATIVESIGN
};

// Makes the decimal separator differ from the thousands separator, which identical ones would
// make typed text ambiguous: "," when the thousands separator is ".", else ".".
void SeparateDecimal(NumberLocale& locale);

// The number format of `localeName`, or of the user when null. A value the platform does not
// give keeps the US English default.
NumberLocale ReadNumberLocale(const wchar_t* localeName);

// The user's number format, read at first use. Page thread only.
const NumberLocale& PageNumberLocale();

// `scaled` as the edit box shows it: with `decimals` 1 the value is in tenths and one fraction
// digit is shown. Grouped, and negative values start with a plain "-".
std::wstring FormatScaled(LONG scaled, int decimals, const NumberLocale& locale);

// Typed text read back: white space, an optional "-", then digits with thousands separators
// skipped and the decimal separator taken as the point; anything else ends the number. Only
// the first 63 characters count. `tenths` reads a decimal and keeps one fraction digit
// (12.34 gives 123); otherwise the fraction is dropped. No digits give 0; values beyond LONG
// are clamped to it.
LONG ParseScaled(const wchar_t* text, bool tenths, const NumberLocale& locale);
