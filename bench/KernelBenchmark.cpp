// Throughput of every kernel against a bare loop of the same arithmetic in the same binary.
// Items are frames (the `samples` counter counts every channel's); compare within one run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <vector>

#include "dsp/FilterDsp.h"
#include "dsp/RampRun.h"
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
    SvfState s1[Channels] = {}, s2[Channels] = {};
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

// A FilterDsp running one kernel. format: 0 float32, 1 PCM16, 2 float64, 3 packed PCM24;
// ramp: a moving Frequency ramp.
class KernelRun {
  public:
    KernelRun(WORD channels, LONG order, LONG type, int format, bool ramp)
        : dsp_(&owner_, &created_),
          format_(format),
          wf_(format == 1   ? Format(WAVE_FORMAT_PCM, channels, 16)
              : format == 2 ? Format(WAVE_FORMAT_IEEE_FLOAT, channels, 64)
              : format == 3 ? Format(WAVE_FORMAT_PCM, channels, 24)
                            : Format(WAVE_FORMAT_IEEE_FLOAT, channels, 32)) {
        const MP_DATA v[kParamCount] = {2000, 60, MP_DATA(type), MP_DATA(order), 0, 70};
        dsp_.Store().SetAllParams(v);
        dsp_.BeginStream(&wf_);  // held while streaming
        if (ramp) {
            MP_ENVELOPE_SEGMENT sweep{0, INT64_MAX / 2, 2000, 2000.5f, MP_CURVE_LINEAR, 0};
            dsp_.Store().AddEnvelope(kParamFrequency, 1, &sweep);
            dsp_.Store().StartTimeBase(44100);
            DWORD mask = 0;
            dsp_.Store().AdvanceToNextChange(1, &mask);
        }
        ParamSnapshot snapshot;
        dsp_.TakeSnapshot(&snapshot);
        dsp_.UpdateCoefficients(snapshot, TRUE);
        f32_ = Noise<float>(kFrames * channels);
        f64_ = Noise<double>(kFrames * channels);
        pcm_.resize(kFrames * channels);
        for (size_t i = 0; i < pcm_.size(); ++i)
            pcm_[i] = int16_t(f32_[i] * 30000);
        for (size_t i = 0; i < pcm_.size(); ++i) {
            const int32_t s = int32_t(f32_[i] * 8000000);
            for (int k = 0; k < 3; ++k)
                pcm24_.push_back(uint8_t(uint32_t(s) >> (8 * k)));
        }
    }

    void Run() {
        DWORD n = kFrames;
        if (format_ == 1) {
            dsp_.ProcessPcmBlock(kBlockContinue, pcm_.data(), &n);
        } else if (format_ == 3) {
            dsp_.ProcessPcmBlock(kBlockContinue, pcm24_.data(), &n);
        } else if (format_ == 2) {
            dsp_.ProcessFloatBlock(kBlockContinue, f64_.data(), &n);
        } else {
            dsp_.ProcessFloatBlock(kBlockContinue, f32_.data(), &n, 0);
        }
        benchmark::ClobberMemory();
    }

  private:
    NullOwner owner_;
    HRESULT created_ = E_FAIL;
    FilterDsp dsp_;
    int format_;
    WAVEFORMATEX wf_;
    std::vector<float> f32_;
    std::vector<double> f64_;
    std::vector<int16_t> pcm_;
    std::vector<uint8_t> pcm24_;
};

// One kernel through FilterDsp's block routine. args: channels, order, type, format, ramp.
void Kernel(benchmark::State& state) {
    KernelRun run(WORD(state.range(0)), LONG(state.range(1)), LONG(state.range(2)),
                  int(state.range(3)), state.range(4) != 0);
    for (auto _ : state)
        run.Run();
    state.SetItemsProcessed(int64_t(state.iterations()) * kFrames);
    state.counters["samples"] = benchmark::Counter(
        double(state.iterations()) * kFrames * double(state.range(0)), benchmark::Counter::kIsRate);
}

// A wide stream against stereo, per sample (frames x channels), by turns as RampAgainstStatic
// does. Reports the median over turns of the wide kernel's samples per second as a percentage
// of stereo's. args: channels, order, type, ramp.
void ChannelsAgainstStereo(benchmark::State& state) {
    const WORD channels = WORD(state.range(0));
    const LONG order = LONG(state.range(1)), type = LONG(state.range(2));
    const bool ramp = state.range(3) != 0;
    KernelRun stereo(2, order, type, 0, ramp), wide(channels, order, type, 0, ramp);
    std::vector<double> ratios;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        stereo.Run();
        const auto t1 = Clock::now();
        wide.Run();
        const auto t2 = Clock::now();
        ratios.push_back(std::chrono::duration<double>(t1 - t0).count() * channels /
                         (2.0 * std::chrono::duration<double>(t2 - t1).count()));
    }
    std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
    state.counters["per_sample_pct"] = 100.0 * ratios[ratios.size() / 2];
    state.SetItemsProcessed(int64_t(state.iterations()) * kFrames * 2);
}

// The PCM conversions alone, into the working samples and back, per sample. args: bits (16,
// 24 packed, 32), valid bits.
void Conversion(benchmark::State& state) {
    const WORD bits = WORD(state.range(0)), valid = WORD(state.range(1));
    constexpr size_t kSamples = kFrames * 2;
    const WAVEFORMATEX pcm = Format(WAVE_FORMAT_PCM, 1, bits);
    const WAVEFORMATEX working = Format(WAVE_FORMAT_IEEE_FLOAT, 1, bits <= 16 ? 32 : 64);
    const SampleConverter in = FindConverter(working, pcm, valid);
    const SampleConverter out = FindConverter(pcm, working, valid);
    if (!in || !out) {
        state.SkipWithError("no converter");
        return;
    }
    std::vector<uint8_t> samples(kSamples * bits / 8);
    uint32_t s = 1;
    for (uint8_t& b : samples) {
        s = s * 1664525u + 1013904223u;
        b = uint8_t(s >> 24);
    }
    std::vector<double> scratch(kSamples);
    for (auto _ : state) {
        in(scratch.data(), samples.data(), kSamples, 1.0);
        out(samples.data(), scratch.data(), kSamples, 1.0);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kSamples));
}

// A moving ramp against the static kernel (float, low-pass), the two run by turns so that both
// see the same machine: on a shared machine the speed of separate runs drifts by more than the
// gap being measured. Reports the median over turns of static time / moving time, in percent.
// args: channels, order, and whether AVX may be used where the processor has it.
void RampAgainstStatic(benchmark::State& state) {
    const WORD channels = WORD(state.range(0));
    const LONG order = LONG(state.range(1));
    if (AllowAvxRamps(state.range(2) != 0) != (state.range(2) != 0)) {
        state.SkipWithError("no AVX here");
        return;
    }
    KernelRun still(channels, order, 0, 0, false), moving(channels, order, 0, 0, true);
    std::vector<double> ratios;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        still.Run();
        const auto t1 = Clock::now();
        moving.Run();
        const auto t2 = Clock::now();
        ratios.push_back(std::chrono::duration<double>(t1 - t0).count() /
                         std::chrono::duration<double>(t2 - t1).count());
    }
    std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
    state.counters["moving_pct"] = 100.0 * ratios[ratios.size() / 2];
    AllowAvxRamps(true);
    state.SetItemsProcessed(int64_t(state.iterations()) * kFrames * 2);
}

void KernelArgs(benchmark::internal::Benchmark* b) {
    b->ArgNames({"ch", "order", "type", "fmt", "ramp"});
    for (int ch : {1, 2, 6, 8})
        for (int order = 0; order < 2; ++order)
            for (int type = 0; type < 3; ++type)
                for (int fmt = 0; fmt < 3; ++fmt)
                    b->Args({ch, order, type, fmt, 0});
    for (int ch : {1, 2, 6, 8})
        for (int order = 0; order < 2; ++order)
            b->Args({ch, order, 0, 0, 1});
    for (int ch : {2, 6})
        b->Args({ch, 0, 0, 3, 0});
}

}  // namespace

BENCHMARK_TEMPLATE(BareLoop, 1, false);
BENCHMARK_TEMPLATE(BareLoop, 2, false);
BENCHMARK_TEMPLATE(BareLoop, 1, true);
BENCHMARK_TEMPLATE(BareLoop, 2, true);
BENCHMARK_TEMPLATE(BareLoop, 6, false);
BENCHMARK_TEMPLATE(BareLoop, 6, true);
BENCHMARK_TEMPLATE(BareLoop, 8, false);
BENCHMARK_TEMPLATE(BareLoop, 8, true);
BENCHMARK(Kernel)->Apply(KernelArgs);
BENCHMARK(ChannelsAgainstStereo)
    ->ArgNames({"ch", "order", "type", "ramp"})
    ->ArgsProduct({{6, 8}, {0, 1}, {0, 1, 2}, {0, 1}});
BENCHMARK(Conversion)
    ->ArgNames({"bits", "valid"})
    ->Args({16, 16})
    ->Args({24, 24})
    ->Args({24, 20})
    ->Args({32, 32})
    ->Args({32, 24});
BENCHMARK(RampAgainstStatic)
    ->ArgNames({"ch", "order", "avx"})
    ->ArgsProduct({{1, 2, 6, 8}, {0, 1}, {1, 0}});
