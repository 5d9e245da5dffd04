#include "SampleConvert.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

// Packed 24-bit samples move as 32-bit units where the next sample's bytes follow, and four at
// a time in vector registers where there is room, so that each costs no more than a 32-bit one;
// the last goes byte by byte, so that nothing past the buffer is touched. Packed arithmetic
// rounds as scalar does, so the bits do not depend on which path a sample took.
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

#ifdef __SSE2__
// Four samples from the first 12 of 16 readable bytes: each moved to the top of its own 32-bit
// lane, then shifted down with its sign.
inline __m128i LoadFour24(const uint8_t* p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i lane0 = _mm_set_epi32(0, 0, 0, -1), lane1 = _mm_set_epi32(0, 0, -1, 0);
    const __m128i lane2 = _mm_set_epi32(0, -1, 0, 0), lane3 = _mm_set_epi32(-1, 0, 0, 0);
    __m128i r = _mm_and_si128(_mm_slli_si128(v, 1), lane0);
    r = _mm_or_si128(r, _mm_and_si128(_mm_slli_si128(v, 2), lane1));
    r = _mm_or_si128(r, _mm_and_si128(_mm_slli_si128(v, 3), lane2));
    r = _mm_or_si128(r, _mm_and_si128(_mm_slli_si128(v, 4), lane3));
    return _mm_srai_epi32(r, 8);
}
#endif

void DoubleFromS24(void* dst, const void* src, size_t n, double gain) {
    if (n == 0) return;
    auto* out = static_cast<double*>(dst);
    const auto* in = static_cast<const uint8_t*>(src);
    size_t i = 0;
#ifdef __SSE2__
    const __m128d scale = _mm_set1_pd(1.0 / 8388608.0), g = _mm_set1_pd(gain);
    for (; i + 6 <= n; i += 4) {  // 16 bytes readable from sample i
        const __m128i s = LoadFour24(in + 3 * i);
        const __m128d lo = _mm_cvtepi32_pd(s), hi = _mm_cvtepi32_pd(_mm_shuffle_epi32(s, 0xEE));
        _mm_storeu_pd(out + i, _mm_mul_pd(_mm_mul_pd(lo, scale), g));
        _mm_storeu_pd(out + i + 2, _mm_mul_pd(_mm_mul_pd(hi, scale), g));
    }
#endif
    for (; i + 1 < n; ++i) {
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

#ifdef __SSE2__
// ToValidBits on two values. A NaN becomes 0 first; within the bounds truncation is exact, and
// a value beyond one truncates to it as the scalar comparisons give it.
template <int Bytes, int Valid>
inline __m128i ToValidBitsPair(__m128d x, __m128d gain) {
    constexpr double kScale = double(int64_t(1) << (Valid - 1));
    __m128d a = _mm_mul_pd(_mm_mul_pd(x, gain), _mm_set1_pd(kScale));
    a = _mm_andnot_pd(_mm_cmpunord_pd(a, a), a);
    a = _mm_min_pd(_mm_max_pd(a, _mm_set1_pd(-kScale)), _mm_set1_pd(kScale - 1.0));
    return _mm_slli_epi32(_mm_cvttpd_epi32(a), 8 * Bytes - Valid);
}
#endif

template <int Bytes, int Valid>
void PcmFromDouble(void* dst, const void* src, size_t n, double gain) {
    static_assert((Bytes == 3 || Bytes == 4) && Valid >= 16 && Valid <= 8 * Bytes, "layout");
    auto* out = static_cast<uint8_t*>(dst);
    const auto* in = static_cast<const double*>(src);
    size_t i = 0;
#ifdef __SSE2__
    // Four at a time while a sample follows them, since each 32-bit store of a packed 24-bit
    // sample writes the first byte of the next.
    const __m128d g = _mm_set1_pd(gain);
    for (; i + 4 < n; i += 4) {
        const __m128i four =
            _mm_unpacklo_epi64(ToValidBitsPair<Bytes, Valid>(_mm_loadu_pd(in + i), g),
                               ToValidBitsPair<Bytes, Valid>(_mm_loadu_pd(in + i + 2), g));
        if (Bytes == 4) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i), four);
            continue;
        }
        uint32_t u[4];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(u), four);
        for (int k = 0; k < 4; ++k)
            std::memcpy(out + 3 * (i + k), &u[k], sizeof u[k]);
    }
#endif
    if (Bytes == 4) {
        for (; i < n; ++i) {
            const uint32_t u = ToValidBits<Bytes, Valid>(in[i], gain);
            std::memcpy(out + 4 * i, &u, sizeof u);
        }
        return;
    }
    if (i >= n) return;
    // Each 32-bit store's fourth byte is the next sample's, written over next.
    for (; i + 1 < n; ++i) {
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
