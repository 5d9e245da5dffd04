// Random automation and signals of the kind plug-in validators throw at a filter: envelopes on
// every parameter with every curve, values across and a little beyond each range, host values
// set between buffers, and noise at full scale.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "params/MediaParamStore.h"
#include "support/Segments.h"

constexpr DWORD kAllCurves[] = {MP_CURVE_JUMP, MP_CURVE_LINEAR, MP_CURVE_SQUARE, MP_CURVE_INVSQUARE,
                                MP_CURVE_SINE};

inline double Uniform(std::mt19937& rng, double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng);
}

inline bool IsStepped(DWORD index) {
    return kParamTable[index].description.mpType != MPT_FLOAT;
}

// A value a host may legally set: inside the range, whole for the stepped parameters.
inline MP_DATA RandomLegalValue(std::mt19937& rng, DWORD index) {
    const double v = Uniform(rng, ParamMin(index), ParamMax(index));
    return MP_DATA(IsStepped(index) ? std::round(v) : v);
}

// An envelope value: mostly legal, now and then fractional or up to half a range outside, which
// the store accepts and the coefficient design must clamp.
inline MP_DATA RandomEnvelopeValue(std::mt19937& rng, DWORD index) {
    if (Uniform(rng, 0, 1) >= 0.15) return RandomLegalValue(rng, index);
    const double span = double(ParamMax(index)) - double(ParamMin(index));
    return MP_DATA(Uniform(rng, ParamMin(index) - span / 2, ParamMax(index) + span / 2));
}

// Segments over [0, span) for parameter `index`, with gaps, single-tick segments and every curve;
// stepped parameters mostly jump.
inline std::vector<MP_ENVELOPE_SEGMENT> RandomEnvelope(std::mt19937& rng, DWORD index,
                                                       REFERENCE_TIME span, bool legalOnly) {
    std::vector<MP_ENVELOPE_SEGMENT> out;
    REFERENCE_TIME t = REFERENCE_TIME(Uniform(rng, 0, double(span) / 8));
    while (t < span) {
        const double pick = Uniform(rng, 0, 1);
        const REFERENCE_TIME length =
            pick < 0.1 ? 1 : REFERENCE_TIME(Uniform(rng, 1, double(span) / 4));
        DWORD curve = kAllCurves[std::uniform_int_distribution<int>(0, 4)(rng)];
        if (IsStepped(index) && Uniform(rng, 0, 1) < 0.8) curve = MP_CURVE_JUMP;
        const MP_DATA from =
            legalOnly ? RandomLegalValue(rng, index) : RandomEnvelopeValue(rng, index);
        const MP_DATA to =
            legalOnly ? RandomLegalValue(rng, index) : RandomEnvelopeValue(rng, index);
        out.push_back(Seg(t, t + length, from, to, curve));
        t += length;
        if (Uniform(rng, 0, 1) < 0.3) t += REFERENCE_TIME(Uniform(rng, 0, double(span) / 8));
    }
    return out;
}

// Envelopes on every parameter, Bypass included only when asked.
inline void AddRandomEnvelopes(MediaParamStore& store, std::mt19937& rng, REFERENCE_TIME span,
                               bool withBypass) {
    for (DWORD i = 0; i < kParamCount; ++i) {
        if (i == kParamBypass && !withBypass) continue;
        std::vector<MP_ENVELOPE_SEGMENT> segments = RandomEnvelope(rng, i, span, false);
        if (!segments.empty()) store.AddEnvelope(i, DWORD(segments.size()), segments.data());
    }
}

// Interleaved noise as raw bytes of the stream's format: full-scale PCM or floats in [-1, 1].
inline std::vector<uint8_t> RandomSignal(std::mt19937& rng, const WAVEFORMATEX& f, size_t frames) {
    const size_t samples = frames * f.nChannels;
    std::vector<uint8_t> bytes(frames * f.nBlockAlign);
    for (size_t i = 0; i < samples; ++i) {
        const double x = Uniform(rng, -1, 1);
        if (f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT && f.wBitsPerSample == 32) {
            const float v = float(x);
            std::memcpy(&bytes[i * 4], &v, 4);
        } else if (f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
            std::memcpy(&bytes[i * 8], &x, 8);
        } else if (f.wBitsPerSample == 8) {
            bytes[i] = uint8_t(std::uniform_int_distribution<int>(0, 255)(rng));
        } else if (f.wBitsPerSample == 16) {
            const int16_t v = int16_t(std::uniform_int_distribution<int>(-32768, 32767)(rng));
            std::memcpy(&bytes[i * 2], &v, 2);
        } else {
            const int32_t v = int32_t(rng());
            std::memcpy(&bytes[i * 4], &v, 4);
        }
    }
    return bytes;
}
