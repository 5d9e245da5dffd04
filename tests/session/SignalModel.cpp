#include "SignalModel.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// Each parameter's range, and the value a missing one (not a number) stands for.
constexpr double kLow[kSessionParamCount] = {20, 0, 0, 0, 0, 0};
constexpr double kHigh[kSessionParamCount] = {20000, 100, 2, 1, 1, 100};
constexpr double kNeutral[kSessionParamCount] = {20000, 0, 0, 0, 0, 100};

double Clamp(int index, double v) {
    if (v != v) return kNeutral[index];
    if (v > kHigh[index]) return kHigh[index];
    if (v < kLow[index]) return kLow[index];
    return v;
}

// sin(x) for the small arguments the design needs, as a Taylor series to x^19 summed from the
// highest term down, with each coefficient 1/n! rounded once (n! up to 19! is exact in a double).
double Sine(double x) {
    double factorial[20];
    factorial[1] = 1;
    for (int n = 2; n < 20; ++n)
        factorial[n] = factorial[n - 1] * n;
    const double x2 = x * x;
    double p = -1.0 / factorial[19];
    for (int n = 17; n >= 3; n -= 2) {
        const double c = ((n - 1) / 2) % 2 == 1 ? -1.0 / factorial[n] : 1.0 / factorial[n];
        p = c + x2 * p;
    }
    return x + (x * x2) * p;
}

double FrequencyCoefficient(double hz, double rate) {
    const double maxRatio = 0.15117157974300832;  // 20000 / (3 x 44100)
    double ratio = hz / (3.0 * rate);
    if (!(ratio < maxRatio)) ratio = maxRatio;
    return 2.0 * Sine(3.141592653589793 * ratio);
}

double Damping(double resonance) {
    return 1.0 / (resonance * 0.01 * 24.292893218813454 + 0.7071067811865476);
}

double Flush(double v) {
    return std::fabs(v) < 0x1p-32 ? 0.0 : v;
}

// The value between the sections in 32-bit working samples: rounded, saturating at the largest
// finite float.
double BetweenSections(double y, const float*) {
    if (y > FLT_MAX) return FLT_MAX;
    if (y < -FLT_MAX) return -FLT_MAX;
    return float(y);
}
double BetweenSections(double y, const double*) {
    return y;
}

bool Finite(double a, double b, double c) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c);
}

}  // namespace

void SignalModel::Silence() {
    for (auto& section : sections_)
        for (Section& s : section)
            s = Section{};
}

void SignalModel::Design(const double values[kSessionParamCount]) {
    const double rate = format_.nSamplesPerSec ? double(format_.nSamplesPerSec) : 44100.0;
    c_.f = FrequencyCoefficient(Clamp(0, values[0]), rate);
    c_.d = Damping(Clamp(1, values[1]));
    c_.wet = Clamp(5, values[5]) * 0.01;
    c_.dry = 1.0 - c_.wet;
    c_.type = long(Clamp(2, values[2]));
    c_.order = long(Clamp(3, values[3]));
}

void SignalModel::Restart(const WAVEFORMATEX& format, WORD validBits,
                          const double values[kSessionParamCount]) {
    format_ = format;
    validBits_ = validBits == format.wBitsPerSample ? 0 : validBits;
    Silence();
    Design(values);
    lastOrder_ = c_.order;
}

double SignalModel::Tick(Section* s, double x) const {
    for (int pass = 0; pass < 3; ++pass) {
        s->low = Flush(s->low + c_.f * s->band);
        s->high = Flush(x - s->low - c_.d * s->band);
        s->band = Flush(c_.f * s->high + s->band);
    }
    return c_.type == 0 ? s->low : c_.type == 1 ? s->band : s->high;
}

template <typename Working>
void SignalModel::Filter(Working* samples, DWORD frames, const double* values) {
    const unsigned channels = format_.nChannels;
    for (DWORD n = 0; n < frames; ++n) {
        const double* now = values + size_t(n) * kSessionParamCount;
        // Bypass, rounded: from half way up the frame passes as it came and the filter restarts.
        if (Clamp(4, now[4]) >= 0.5) {
            Silence();
            untouched_[n] = true;
            continue;
        }
        Design(now);
        // A section left idle at second order starts from silence when fourth order comes back.
        if (c_.order != 0 && lastOrder_ == 0) {
            for (Section& s : sections_[1])
                s = Section{};
        }
        lastOrder_ = c_.order;
        // Another channel count, or a type outside the three, leaves the samples alone.
        if (channels < 1 || channels > 32 || c_.type < 0 || c_.type > 2) {
            untouched_[n] = true;
            continue;
        }
        const int sections = c_.order != 0 ? 2 : 1;
        for (unsigned ch = 0; ch < channels; ++ch) {
            Working& sample = samples[size_t(n) * channels + ch];
            const double dry = double(sample) * c_.dry;
            double y = sample;
            for (int k = 0; k < sections; ++k) {
                if (k > 0) y = BetweenSections(y, &sample);
                y = Tick(&sections_[k][ch], y);
            }
            sample = Working(c_.wet * y + dry);
        }
    }
    // One bad sample must not silence the rest of the stream: a section left holding a value
    // that is not finite starts again from silence.
    for (auto& section : sections_)
        for (Section& s : section)
            if (!Finite(s.low, s.high, s.band)) s = Section{};
}

void SignalModel::Run(void* data, DWORD frames, const double* values, bool restart) {
    if (frames == 0) return;
    if (restart) Silence();
    const size_t samples = size_t(frames) * format_.nChannels;
    uint8_t* bytes = static_cast<uint8_t*>(data);
    // A frame left alone keeps its very bytes, bits below the valid ones included.
    const size_t block = size_t(format_.nChannels) * (format_.wBitsPerSample / 8);
    const std::vector<uint8_t> original(bytes, bytes + size_t(frames) * block);
    untouched_.assign(frames, false);
    Convert(bytes, samples, frames, values);
    for (DWORD n = 0; n < frames; ++n)
        if (untouched_[n]) std::memcpy(bytes + n * block, &original[n * block], block);
}

void SignalModel::Convert(uint8_t* bytes, size_t samples, DWORD frames, const double* values) {
    const WORD bits = format_.wBitsPerSample;
    if (format_.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
        if (bits == 32) {
            singles_.resize(samples);
            std::memcpy(singles_.data(), bytes, samples * 4);
            Filter(singles_.data(), frames, values);
            std::memcpy(bytes, singles_.data(), samples * 4);
        } else if (bits == 64) {
            doubles_.resize(samples);
            std::memcpy(doubles_.data(), bytes, samples * 8);
            Filter(doubles_.data(), frames, values);
            std::memcpy(bytes, doubles_.data(), samples * 8);
        }
        return;
    }
    if (bits == 8) {
        singles_.resize(samples);
        for (size_t i = 0; i < samples; ++i)
            singles_[i] = float((int(bytes[i]) - 128) * 0.0078125);
        Filter(singles_.data(), frames, values);
        for (size_t i = 0; i < samples; ++i) {
            const double a = double(singles_[i]) * 128.0;
            if (a != a) {
                bytes[i] = 128;  // not a number leaves as silence
            } else {
                const double t = std::trunc(a);
                bytes[i] = t < -128 ? 0 : t > 127 ? 255 : uint8_t(int(t) + 128);
            }
        }
    } else if (bits == 16) {
        singles_.resize(samples);
        for (size_t i = 0; i < samples; ++i) {
            int16_t s;
            std::memcpy(&s, bytes + 2 * i, 2);
            singles_[i] = float(s * 0.000030517578125);
        }
        Filter(singles_.data(), frames, values);
        for (size_t i = 0; i < samples; ++i) {
            const double a = double(singles_[i]) * 32768.0;
            const double t = a != a ? 0.0 : std::trunc(a);
            const int16_t s = int16_t(t < -32768 ? -32768 : t > 32767 ? 32767 : t);
            std::memcpy(bytes + 2 * i, &s, 2);
        }
    } else if (bits == 24 || bits == 32) {
        // Packed little-endian samples of `size` bytes, read as a signed integer of `bits` bits.
        const size_t size = bits / 8;
        doubles_.resize(samples);
        for (size_t i = 0; i < samples; ++i) {
            uint32_t u = 0;
            for (size_t k = 0; k < size; ++k)
                u |= uint32_t(bytes[size * i + k]) << (8 * k);
            const int32_t s = int32_t(u << (32 - bits));  // the sign from the top byte
            doubles_[i] = s * (1.0 / 2147483648.0);
        }
        Filter(doubles_.data(), frames, values);
        const int valid = validBits_ ? validBits_ : bits;
        const double top = std::ldexp(1.0, valid - 1);
        for (size_t i = 0; i < samples; ++i) {
            const double a = doubles_[i] * top;
            int64_t s = 0;
            if (a < -top) {
                s = int64_t(-top);
            } else if (a > top - 1) {
                s = int64_t(top - 1);
            } else if (a == a) {
                s = int64_t(std::trunc(a));
            }
            const uint32_t u = uint32_t(s) << (bits - valid);
            for (size_t k = 0; k < size; ++k)
                bytes[size * i + k] = uint8_t(u >> (8 * k));
        }
    }
}
