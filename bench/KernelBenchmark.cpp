// Throughput of every kernel against a bare loop of the same arithmetic in the same binary.
// Items are frames; compare items_per_second within one run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "dsp/FilterDsp.h"
#include "dsp/SvfKernel.h"
#include "platform/NullOwner.h"

namespace {

constexpr DWORD kFrames = 4096;

WAVEFORMATEX Format(WORD tag, WORD channels, WORD bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = tag;
    f.nChannels = channels;
    f.nSamplesPerSec = 44100;
    f.wBitsPerSample = bits;
    f.nBlockAlign = WORD(bits / 8 * channels);
    f.nAvgBytesPerSec = 44100u * f.nBlockAlign;
    return f;
}

template <typename T>
std::vector<T> Noise(size_t n) {
    std::vector<T> v(n);
    uint32_t s = 1;
    for (T& x : v) {
        s = s * 1664525u + 1013904223u;
        x = T(double(int32_t(s)) / 4294967296.0);
    }
    return v;
}

// The per-sample arithmetic alone: three passes with the flush rule, the mix, no dispatch.
template <int Channels, bool Fourth>
void BareLoop(benchmark::State& state) {
    const std::vector<float> input = Noise<float>(kFrames * Channels);
    std::vector<float> buffer = input;
    SvfState s1[2] = {}, s2[2] = {};
    const double f = FrequencyCoefficient(2000, 44100), d = Damping(60), wet = 0.7, dry = 0.3;
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), buffer.begin());
        for (DWORD n = 0; n < kFrames; ++n) {
            for (int ch = 0; ch < Channels; ++ch) {
                float& io = buffer[n * Channels + ch];
                const double x = io;
                double y = SvfTick<kLowPass>(s1[ch], x, f, d);
                if (Fourth) y = SvfTick<kLowPass>(s2[ch], float(y), f, d);
                io = float(wet * y + dry * x);
            }
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kFrames);
}

// One kernel through FilterDsp's block routine. args: channels, order, type, format
// (0 float32, 1 PCM16, 2 float64), moving Frequency ramp.
void Kernel(benchmark::State& state) {
    const WORD channels = WORD(state.range(0));
    const int format = int(state.range(3));
    const WAVEFORMATEX wf = format == 1   ? Format(WAVE_FORMAT_PCM, channels, 16)
                            : format == 2 ? Format(WAVE_FORMAT_IEEE_FLOAT, channels, 64)
                                          : Format(WAVE_FORMAT_IEEE_FLOAT, channels, 32);
    NullOwner owner;
    HRESULT created = E_FAIL;
    FilterDsp dsp(&owner, &created);
    const MP_DATA v[kParamCount] = {2000, 60, MP_DATA(state.range(2)), MP_DATA(state.range(1)),
                                    0,    70};
    dsp.Store().SetAllParams(v);
    dsp.BeginStream(&wf);
    if (state.range(4)) {
        MP_ENVELOPE_SEGMENT sweep{0, INT64_MAX / 2, 2000, 2000.5f, MP_CURVE_LINEAR, 0};
        dsp.Store().AddEnvelope(kParamFrequency, 1, &sweep);
        dsp.Store().StartTimeBase(44100);
        DWORD mask = 0;
        dsp.Store().AdvanceToNextChange(1, &mask);
    }
    ParamSnapshot snapshot;
    dsp.TakeSnapshot(&snapshot);
    dsp.UpdateCoefficients(snapshot, TRUE);
    std::vector<float> f32 = Noise<float>(kFrames * channels);
    std::vector<double> f64 = Noise<double>(kFrames * channels);
    std::vector<int16_t> pcm(kFrames * channels);
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = int16_t(f32[i] * 30000);
    for (auto _ : state) {
        DWORD n = kFrames;
        if (format == 1) {
            dsp.ProcessPcmBlock(kBlockContinue, pcm.data(), &n);
        } else if (format == 2) {
            dsp.ProcessFloatBlock(kBlockContinue, f64.data(), &n);
        } else {
            dsp.ProcessFloatBlock(kBlockContinue, f32.data(), &n, 0);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kFrames);
}

void KernelArgs(benchmark::internal::Benchmark* b) {
    b->ArgNames({"ch", "order", "type", "fmt", "ramp"});
    for (int ch = 1; ch <= 2; ++ch)
        for (int order = 0; order < 2; ++order)
            for (int type = 0; type < 3; ++type)
                for (int fmt = 0; fmt < 3; ++fmt)
                    b->Args({ch, order, type, fmt, 0});
    for (int ch = 1; ch <= 2; ++ch)
        for (int order = 0; order < 2; ++order)
            b->Args({ch, order, 0, 0, 1});
}

}  // namespace

BENCHMARK_TEMPLATE(BareLoop, 1, false);
BENCHMARK_TEMPLATE(BareLoop, 2, false);
BENCHMARK_TEMPLATE(BareLoop, 1, true);
BENCHMARK_TEMPLATE(BareLoop, 2, true);
BENCHMARK(Kernel)->Apply(KernelArgs);
