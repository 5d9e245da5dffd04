#include "ParamTable.h"

#include <cstdint>

namespace {
constexpr DWORD kContinuousCaps =
    MP_CAPS_CURVE_JUMP | MP_CAPS_CURVE_LINEAR | MP_CAPS_CURVE_SQUARE | MP_CAPS_CURVE_INVSQUARE;
constexpr DWORD kSteppedCaps = MP_CAPS_CURVE_JUMP;
}  // namespace

// clang-format off
const ParamTableEntry kParamTable[kParamCount] = {
    // type      caps             min    max       neutral  unit          label
    //   changeBit scaledMax scaledMin enumText
    {{MPT_FLOAT, kContinuousCaps, 20.0f, 20000.0f, 500.0f,  RF_WIDE("Hz"), RF_WIDE("Frequency")},
     1,  20000, 20, RF_WIDE("")},
    {{MPT_FLOAT, kContinuousCaps, 0.0f,  100.0f,   0.0f,    RF_WIDE("%"),  RF_WIDE("Resonance")},
     2,  1000,  0,  RF_WIDE("")},
    {{MPT_ENUM,  kSteppedCaps,    0.0f,  2.0f,     0.0f,    RF_WIDE(""),   RF_WIDE("Filter Type")},
     8,  2,     0,  RF_WIDE("Low Pass,Band Pass,High Pass")},
    {{MPT_ENUM,  kSteppedCaps,    0.0f,  1.0f,     0.0f,    RF_WIDE(""),   RF_WIDE("Filter Order")},
     16, 1,     0,  RF_WIDE("Second Order,Fourth Order")},
    {{MPT_BOOL,  kSteppedCaps,    0.0f,  1.0f,     0.0f,    RF_WIDE(""),   RF_WIDE("Bypass")},
     0,  1,     0,  RF_WIDE("")},
    {{MPT_FLOAT, kContinuousCaps, 0.0f,  100.0f,   100.0f,  RF_WIDE("%"),  RF_WIDE("Wet/Dry")},
     4,  1000,  0,  RF_WIDE("")},
};
// clang-format on

MP_DATA ClampParam(DWORD index, MP_DATA value) {
    if (value != value) return ParamNeutral(index);
    if (value > ParamMax(index)) value = ParamMax(index);
    if (value < ParamMin(index)) value = ParamMin(index);
    return value;
}

namespace {
double ScaleFactor(DWORD index) {
    const ParamTableEntry& e = kParamTable[index];
    return double(e.scaledMax - e.scaledMin) /
           (double(e.description.mpdMaxValue) - double(e.description.mpdMinValue));
}
}  // namespace

LONG ToScaled(DWORD index, MP_DATA value) {
    const double x = double(value) * ScaleFactor(index);
    const double rounded = value > 0 ? x + 0.5 : x - 0.5;
    // Out-of-range values left by envelopes must not overflow the conversion.
    if (!(rounded < 2147483647.0)) return rounded != rounded ? 0 : INT32_MAX;
    if (!(rounded > -2147483648.0)) return INT32_MIN;
    return LONG(rounded);
}

MP_DATA FromScaled(DWORD index, LONG scaled) {
    const ParamTableEntry& e = kParamTable[index];
    const double range = double(e.description.mpdMaxValue) - double(e.description.mpdMinValue);
    return MP_DATA(double(scaled) * range / double(e.scaledMax - e.scaledMin));
}

LONG ClampScaled(DWORD index, LONG scaled) {
    const ParamTableEntry& e = kParamTable[index];
    if (scaled < e.scaledMin) return e.scaledMin;
    if (scaled > e.scaledMax) return e.scaledMax;
    return scaled;
}
