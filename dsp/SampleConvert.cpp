#include "SampleConvert.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

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

// Packed 24-bit samples move as 32-bit units where the next sample's bytes follow, so each
// costs one load or store as a 32-bit one does; the last goes byte by byte, so that nothing past
// the buffer is touched.
inline int32_t SignExtend24(uint32_t u) {
    return int32_t(u << 8) >> 8;
}

inline uint32_t LoadLast24(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
}

inline void StoreLast24(uint8_t* p, uint32_t u) {
    p[0] = uint8_t(u);
    p[1] = uint8_t(u >> 8);
    p[2] = uint8_t(u >> 16);
}

void DoubleFromS24(void* dst, const void* src, size_t n, double gain) {
    if (n == 0) return;
    auto* out = static_cast<double*>(dst);
    const auto* in = static_cast<const uint8_t*>(src);
    for (size_t i = 0; i + 1 < n; ++i) {
        uint32_t u;
        std::memcpy(&u, in + 3 * i, sizeof u);
        out[i] = SignExtend24(u) * (1.0 / 8388608.0) * gain;
    }
    out[n - 1] = SignExtend24(LoadLast24(in + 3 * (n - 1))) * (1.0 / 8388608.0) * gain;
}

// PCM of `Bytes` bytes (3 or 4) of which the top `Valid` bits carry the sample: the working
// value scaled to the valid bits, saturated and truncated as the 32-bit routine does, then moved
// up so that the bits below are zero.
template <int Bytes, int Valid>
inline uint32_t ToValidBits(double x, double gain) {
    constexpr double kScale = double(int64_t(1) << (Valid - 1));
    constexpr double kLow = -kScale, kHigh = kScale - 1.0;
    const double a = x * gain * kScale;
    int32_t t;
    if (a < kLow) {
        t = int32_t(kLow);
    } else if (a > kHigh) {
        t = int32_t(kHigh);
    } else {
        t = a == a ? int32_t(a) : 0;
    }
    return uint32_t(t) << (8 * Bytes - Valid);
}

template <int Bytes, int Valid>
void PcmFromDouble(void* dst, const void* src, size_t n, double gain) {
    static_assert((Bytes == 3 || Bytes == 4) && Valid >= 16 && Valid <= 8 * Bytes, "layout");
    auto* out = static_cast<uint8_t*>(dst);
    const auto* in = static_cast<const double*>(src);
    if (Bytes == 4) {
        for (size_t i = 0; i < n; ++i) {
            const uint32_t u = ToValidBits<Bytes, Valid>(in[i], gain);
            std::memcpy(out + 4 * i, &u, sizeof u);
        }
        return;
    }
    if (n == 0) return;
    // Each 32-bit store's fourth byte is the next sample's, written over next.
    for (size_t i = 0; i + 1 < n; ++i) {
        const uint32_t u = ToValidBits<Bytes, Valid>(in[i], gain);
        std::memcpy(out + 3 * i, &u, sizeof u);
    }
    StoreLast24(out + 3 * (n - 1), ToValidBits<Bytes, Valid>(in[n - 1], gain));
}

// Output routines by valid bits, from 16 up to the container.
template <int Bytes, int... Offset>
constexpr std::array<SampleConverter, sizeof...(Offset)> ValidTable(
    std::integer_sequence<int, Offset...>) {
    return {&PcmFromDouble<Bytes, 16 + Offset>...};
}
constexpr auto kFrom24 = ValidTable<3>(std::make_integer_sequence<int, 9>());
constexpr auto kFrom32 = ValidTable<4>(std::make_integer_sequence<int, 17>());

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
    {WAVE_FORMAT_IEEE_FLOAT, 64, WAVE_FORMAT_PCM, 24, &DoubleFromS24},
    {WAVE_FORMAT_PCM, 24, WAVE_FORMAT_IEEE_FLOAT, 64, &PcmFromDouble<3, 24>},
};

}  // namespace

SampleConverter FindConverter(const WAVEFORMATEX& destination, const WAVEFORMATEX& source,
                              WORD validBits) {
    const WORD container = destination.wBitsPerSample;
    if (validBits != 0 && validBits != container && destination.wFormatTag == WAVE_FORMAT_PCM) {
        // Only the output rounds to the valid bits; input reads the whole container.
        if (source.wFormatTag != WAVE_FORMAT_IEEE_FLOAT || source.wBitsPerSample != 64 ||
            validBits < 16 || validBits > container) {
            return nullptr;
        }
        if (container == 24) return kFrom24[validBits - 16];
        if (container == 32) return kFrom32[validBits - 16];
        return nullptr;
    }
    for (const ConverterEntry& e : kConverters) {
        if (e.destinationTag == destination.wFormatTag &&
            e.destinationBits == destination.wBitsPerSample && e.sourceTag == source.wFormatTag &&
            e.sourceBits == source.wBitsPerSample) {
            return e.routine;
        }
    }
    return nullptr;
}
