#include "tools/common/AudioFormat.h"

#include <cmath>
#include <cstring>

#include "stream/WaveFormatCheck.h"

namespace {

struct EncodingInfo {
    const char* name;
    size_t bytes;
};

constexpr EncodingInfo kInfo[] = {
    {"pcm8", 1}, {"pcm16", 2}, {"pcm24", 3}, {"pcm32", 4}, {"float32", 4}, {"float64", 8},
};

const EncodingInfo& Info(Encoding e) {
    return kInfo[static_cast<int>(e)];
}

int64_t ReadSigned(const uint8_t* p, size_t bytes) {
    uint64_t u = 0;
    for (size_t i = 0; i < bytes; ++i)
        u |= uint64_t(p[i]) << (8 * i);
    const uint64_t sign = uint64_t(1) << (8 * bytes - 1);
    return int64_t(u ^ sign) - int64_t(sign);
}

void WriteLittle(uint64_t u, size_t bytes, uint8_t* p) {
    for (size_t i = 0; i < bytes; ++i)
        p[i] = uint8_t(u >> (8 * i));
}

// value * scale (2^(bits-1)), rounded half away from zero and clamped to the integer's range.
int64_t Quantise(double value, double scale) {
    if (!(value == value)) return 0;
    double scaled = value * scale;
    scaled = scaled < 0 ? -std::floor(-scaled + 0.5) : std::floor(scaled + 0.5);
    if (scaled >= scale) return int64_t(scale) - 1;
    if (scaled < -scale) return -int64_t(scale);
    return int64_t(scaled);
}

}  // namespace

size_t BytesPerSample(Encoding e) {
    return Info(e).bytes;
}

const char* EncodingName(Encoding e) {
    return Info(e).name;
}

bool ParseStreamEncoding(const std::string& text, Encoding* out) {
    for (int i = 0; i < 6; ++i) {
        const auto e = static_cast<Encoding>(i);
        if (text == kInfo[i].name) {
            *out = e;
            return true;
        }
    }
    return false;
}

int IntegerBits(Encoding e) {
    return e == Encoding::Float32 || e == Encoding::Float64 ? 0 : int(8 * BytesPerSample(e));
}

WAVEFORMATEX StreamWaveFormat(Encoding e, WORD channels, DWORD rate) {
    const bool isFloat = e == Encoding::Float32 || e == Encoding::Float64;
    return MakeStoredFormat(isFloat ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM, channels, rate,
                            WORD(8 * BytesPerSample(e)));
}

void DecodeSamples(Encoding e, const uint8_t* in, size_t count, double* out) {
    const size_t bytes = BytesPerSample(e);
    for (size_t i = 0; i < count; ++i, in += bytes) {
        switch (e) {
            case Encoding::Pcm8:
                out[i] = (double(in[0]) - 128.0) / 128.0;
                break;
            case Encoding::Float32: {
                float f;
                std::memcpy(&f, in, 4);
                out[i] = f;
                break;
            }
            case Encoding::Float64:
                std::memcpy(&out[i], in, 8);
                break;
            default:
                out[i] = std::ldexp(double(ReadSigned(in, bytes)), -int(8 * bytes - 1));
                break;
        }
    }
}

void EncodeSamples(Encoding e, const double* in, size_t count, uint8_t* out, int validBits) {
    const size_t bytes = BytesPerSample(e);
    const int container = int(8 * bytes);
    const int bits = validBits > 0 && validBits < container ? validBits : container;
    // One branch and one scale a call, not a sample: files of many channels spend their time here.
    const double scale = std::ldexp(1.0, bits - 1);
    switch (e) {
        case Encoding::Pcm8:
            for (size_t i = 0; i < count; ++i)
                out[i] = uint8_t(Quantise(in[i], scale) + 128);
            break;
        case Encoding::Float32:
            for (size_t i = 0; i < count; ++i) {
                const float f = float(in[i]);
                std::memcpy(out + 4 * i, &f, 4);
            }
            break;
        case Encoding::Float64:
            if (count > 0) std::memcpy(out, in, count * 8);
            break;
        default:
            for (size_t i = 0; i < count; ++i, out += bytes)
                WriteLittle(uint64_t(Quantise(in[i], scale)) << (container - bits), bytes, out);
            break;
    }
}
