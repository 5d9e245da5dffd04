#include "page/NumberText.h"

#include <climits>
#include <cwctype>

namespace {

constexpr size_t kMaxTypedChars = 63;

std::wstring LocaleText(const wchar_t* name, LCTYPE type, const wchar_t* fallback) {
    wchar_t text[16] = {};
    if (GetLocaleInfoEx(name, type, text, 16) == 0) return fallback;
    return text;
}

UINT LeadingInteger(const std::wstring& text) {
    UINT value = 0;
    for (size_t i = 0; i < text.size() && text[i] >= L'0' && text[i] <= L'9' && value < 1000; ++i)
        value = value * 10 + UINT(text[i] - L'0');
    return value;
}

bool StartsWith(const wchar_t* text, const std::wstring& prefix) {
    return !prefix.empty() &&
           std::wstring::traits_type::compare(text, prefix.c_str(), prefix.size()) == 0;
}

}  // namespace

void SeparateDecimal(NumberLocale& locale) {
    if (locale.thousands == locale.decimal) locale.decimal = locale.thousands == L"." ? L"," : L".";
}

NumberLocale ReadNumberLocale(const wchar_t* localeName) {
    const wchar_t* name = localeName ? localeName : LOCALE_NAME_USER_DEFAULT;
    NumberLocale locale;
    locale.thousands = LocaleText(name, LOCALE_STHOUSAND, L",");
    locale.decimal = LocaleText(name, LOCALE_SDECIMAL, L".");
    locale.grouping = LeadingInteger(LocaleText(name, LOCALE_SGROUPING, L"3;0"));
    locale.leadingZero = LeadingInteger(LocaleText(name, LOCALE_ILZERO, L"1"));
    locale.negative = LocaleText(name, LOCALE_SNEGATIVESIGN, L"-");
    SeparateDecimal(locale);
    return locale;
}

const NumberLocale& PageNumberLocale() {
    static const NumberLocale user = ReadNumberLocale(nullptr);
    return user;
}

std::wstring FormatScaled(LONG scaled, int decimals, const NumberLocale& locale) {
    // The platform's input form: '-' and '.' whatever the locale. 64-bit so LONG_MIN negates.
    const long long value = scaled;
    const unsigned long long magnitude = value < 0 ? 0ULL - value : value;
    std::wstring plain = value < 0 ? L"-" : L"";
    if (decimals == 1) {
        plain += std::to_wstring(magnitude / 10) + L"." + std::to_wstring(magnitude % 10);
    } else {
        plain += std::to_wstring(magnitude);
    }

    std::wstring decimalSep = locale.decimal, thousandsSep = locale.thousands;
    NUMBERFMTW format{};
    format.NumDigits = decimals == 1 ? 1 : 0;
    format.LeadingZero = locale.leadingZero;
    format.Grouping = locale.grouping;
    format.lpDecimalSep = &decimalSep[0];
    format.lpThousandSep = &thousandsSep[0];
    format.NegativeOrder = 1;
    wchar_t text[64];
    if (GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, plain.c_str(), &format, text, 64) == 0)
        return plain;
    std::wstring shown(text);
    if (!locale.negative.empty() && shown.compare(0, locale.negative.size(), locale.negative) == 0)
        shown.replace(0, locale.negative.size(), L"-");
    return shown;
}

LONG ParseScaled(const wchar_t* text, bool tenths, const NumberLocale& locale) {
    if (text == nullptr) return 0;
    // What an edit box read into 64 characters would hold.
    size_t length = 0;
    while (length < kMaxTypedChars && text[length])
        ++length;
    const std::wstring typed(text, length);
    const wchar_t* at = typed.c_str();
    while (*at && std::iswspace(*at))
        ++at;
    const bool negative = *at == L'-';
    if (negative) ++at;

    // Digits accumulate in 64 bits and stop growing past LONG's range, so any length is safe.
    constexpr long long kLimit = static_cast<long long>(LONG_MAX) + 1;
    long long whole = 0;
    int fraction = -1;  // the first fraction digit, once a point has been read
    bool point = false;
    while (*at) {
        if (StartsWith(at, locale.thousands)) {
            at += locale.thousands.size();
        } else if (StartsWith(at, locale.decimal)) {
            if (point) break;  // a second point ends the number
            point = true;
            at += locale.decimal.size();
        } else if (*at >= L'0' && *at <= L'9') {
            const int digit = *at - L'0';
            if (!point) {
                whole = whole * 10 + digit;
                if (whole > kLimit) whole = kLimit;
            } else if (fraction < 0) {
                fraction = digit;
            }
            ++at;
        } else {
            break;
        }
    }

    long long value = whole;
    if (tenths) value = whole * 10 + (fraction > 0 ? fraction : 0);
    if (negative) value = -value;
    if (value > LONG_MAX) return LONG_MAX;
    if (value < LONG_MIN) return LONG_MIN;
    return static_cast<LONG>(value);
}
