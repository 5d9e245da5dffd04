#include "SampleConvert.h"

#include <cstdint>
#include <cstring>

namespace {

// A working value that is NaN has no PCM meaning; it leaves as silence.
void U8FromFloat(void* dst, const void* src, size_t n, double gain) {
    auto* out = static_cast<uint8_t*>(dst);
    const auto* in = static_cast<const float*>(src);
    for (size_t i = 0; i < n; ++i) {
        const double a = double(in[i]) * gain * 128.0;
        // t = trunc(a): t < -128 exactly when a <= -129, t > 127 exactly when a >= 128.
        if (a <= -129.0) {
            out[i] = 0;
        } else if (a >= 128.0) {
            out[i] = 255;
        } else {
            out[i] = a == a ? uint8_t(int(a) + 128) : 128;
        }
    }
}

void FloatFromU8(void* dst, const void* src, size_t n, double gain) {
    auto* out = static_cast<float*>(dst);
    const auto* in = static_cast<const uint8_t*>(src);
    for (size_t i = 0; i < n; ++i)
        out[i] = float((int(in[i]) - 128) * 0.0078125 * gain);
}

void S16FromFloat(void* dst, const void* src, size_t n, double gain) {
    auto* out = static_cast<int16_t*>(dst);
    const auto* in = static_cast<const float*>(src);
    for (size_t i = 0; i < n; ++i) {
        const double a = double(in[i]) * gain * 32768.0;
        int16_t s;
        if (a <= -32768.0) {
            s = INT16_MIN;
        } else if (a >= 32767.0) {
            s = INT16_MAX;
        } else {
            s = a == a ? int16_t(a) : 0;
        }
        std::memcpy(out + i, &s, sizeof s);
    }
}

void FloatFromS16(void* dst, const void* src, size_t n, double gain) {
    auto* out = static_cast<float*>(dst);
    const auto* in = static_cast<const uint8_t*>(src);
    for (size_t i = 0; i < n; ++i) {
        int16_t s;
        std::memcpy(&s, in + 2 * i, sizeof s);
        out[i] = float(s * 0.000030517578125 * gain);
    }
}

void S32FromDouble(void* dst, const void* src, size_t n, double gain) {
    auto* out = static_cast<int32_t*>(dst);
    const auto* in = static_cast<const double*>(src);
    for (size_t i = 0; i < n; ++i) {
        const double a = in[i] * gain * 2147483648.0;
        int32_t s;
        if (a < -2147483648.0) {
            s = INT32_MIN;
        } else if (a > 2147483647.0) {
            s = INT32_MAX;
        } else {
            s = a == a ? int32_t(a) : 0;
        }
        std::memcpy(out + i, &s, sizeof s);
    }
}

void DoubleFromS32(void* dst, const void* src, size_t n, double gain) {
    auto* out = static_cast<double*>(dst);
    const auto* in = static_cast<const uint8_t*>(src);
    for (size_t i = 0; i < n; ++i) {
        int32_t s;
        std::memcpy(&s, in + 4 * i, sizeof s);
        out[i] = s * (1.0 / 2147483648.0) * gain;
    }
}

struct ConverterEntry {
    WORD destinationTag, destinationBits, sourceTag, sourceBits;
    SampleConverter routine;
};

constexpr ConverterEntry kConverters[] = {
    {WAVE_FORMAT_IEEE_FLOAT, 32, WAVE_FORMAT_PCM, 8, &FloatFromU8},
    {WAVE_FORMAT_PCM, 8, WAVE_FORMAT_IEEE_FLOAT, 32, &U8FromFloat},
    {WAVE_FORMAT_IEEE_FLOAT, 32, WAVE_FORMAT_PCM, 16, &FloatFromS16},
    {WAVE_FORMAT_PCM, 16, WAVE_FORMAT_IEEE_FLOAT, 32, &S16FromFloat},
    {WAVE_FORMAT_IEEE_FLOAT, 64, WAVE_FORMAT_PCM, 32, &DoubleFromS32},
    {WAVE_FORMAT_PCM, 32, WAVE_FORMAT_IEEE_FLOAT, 64, &S32FromDouble},
};

}  // namespace

SampleConverter FindConverter(const WAVEFORMATEX& destination, const WAVEFORMATEX& source) {
    for (const ConverterEntry& e : kConverters) {
        if (e.destinationTag == destination.wFormatTag &&
            e.destinationBits == destination.wBitsPerSample && e.sourceTag == source.wFormatTag &&
            e.sourceBits == source.wBitsPerSample) {
            return e.routine;
        }
    }
    return nullptr;
}
