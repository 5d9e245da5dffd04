// Parameter, capture, preset and envelope calls from three threads while a fourth streams,
// as a host, its automation and the property page do at once. Built under TSan natively (the
// tsan preset), where any race is reported; elsewhere it still checks for deadlock and for
// settings left inconsistent.
#include <gtest/gtest.h>

#include <cmath>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "RandomAutomation.h"
#include "platform/NullOwner.h"
#include "presets/PresetTable.h"
#include "stream/StreamDriver.h"
#include "stream/WaveFormatCheck.h"

namespace {

constexpr auto kDeadline = std::chrono::seconds(60);
constexpr int kStreamBuffers = 3000;
constexpr DWORD kBufferFrames = 512;

// A host UI callback safe to call from any thread; counts calls and references.
class CountingCallback : public IMediaParamsUICallback {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        if (object) *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--refs); }
    HRESULT STDMETHODCALLTYPE ParamsBeginCapture(DWORD*, DWORD) override { return Count(); }
    HRESULT STDMETHODCALLTYPE ParamsChanged(DWORD*, DWORD, MP_DATA* values) override {
        if (!std::isfinite(*values)) ++badValues;
        return Count();
    }
    HRESULT STDMETHODCALLTYPE ParamsEndCapture(DWORD*, DWORD) override { return Count(); }

    std::atomic<long> refs{0};
    std::atomic<long> calls{0};
    std::atomic<long> badValues{0};

  private:
    HRESULT Count() {
        ++calls;
        return S_OK;
    }
};

// Aborts the process when the run outlives the deadline: a deadlock cannot be failed politely.
class Watchdog {
  public:
    Watchdog()
        : thread_([this] {
              std::unique_lock<std::mutex> hold(mutex_);
              if (!done_.wait_for(hold, kDeadline, [this] { return finished_; })) {
                  std::fprintf(stderr, "thread stress: no finish within %lld s (deadlock?)\n",
                               static_cast<long long>(kDeadline.count()));
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            finished_ = true;
        }
        done_.notify_all();
        thread_.join();
    }

  private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

struct Filter {
    NullOwner owner;
    HRESULT created = E_FAIL;
    FilterDsp dsp{&owner, &created};
    StreamDriver driver{dsp};
};

DWORD AnyParam(std::mt19937& rng) {
    return std::uniform_int_distribution<DWORD>(0, kParamCount - 1)(rng);
}

LONG AnyScaled(std::mt19937& rng, DWORD index) {
    const ParamTableEntry& e = kParamTable[index];
    return std::uniform_int_distribution<LONG>(e.scaledMin - 5, e.scaledMax + 5)(rng);
}

// Host values and the page's scaled writes, as the filter's settings face makes them.
void HammerValues(Filter& f, const std::atomic<bool>& stop, std::atomic<long>& rounds) {
    std::mt19937 rng(1);
    MediaParamStore& store = f.dsp.Store();
    while (!stop) {
        const DWORD i = AnyParam(rng);
        f.dsp.SetParam(i, RandomLegalValue(rng, i));
        const DWORD j = AnyParam(rng);
        if (store.PutScaled(j, AnyScaled(rng, j)) == S_OK) f.dsp.MarkParamsChanged();
        MP_DATA value;
        LONG scaled;
        store.GetParam(i, &value);
        store.GetScaled(i, &scaled);
        ++rounds;
    }
}

// A drag on the page, presets applied, and the host's callback replaced now and then.
void HammerCapturesAndPresets(Filter& f, CountingCallback& callback, const std::atomic<bool>& stop,
                              std::atomic<long>& rounds) {
    std::mt19937 rng(2);
    MediaParamStore& store = f.dsp.Store();
    while (!stop) {
        const DWORD i = AnyParam(rng);
        store.BeginCapture(i);
        for (int k = 0; k < 3; ++k)
            if (store.PutScaled(i, AnyScaled(rng, i)) == S_OK) f.dsp.MarkParamsChanged();
        store.EndCapture(i);
        store.SetAllParams(kPresetTable[rng() % kPresetCount].values);
        f.dsp.MarkParamsChanged();
        MP_DATA all[kParamCount];
        store.GetAllParams(all);
        if (rng() % 8 == 0) store.SetUICallback(rng() % 2 ? &callback : nullptr);
        ++rounds;
    }
}

// Automation arriving and being withdrawn around the stream's position.
void HammerEnvelopes(Filter& f, const std::atomic<bool>& stop, std::atomic<long>& rounds) {
    std::mt19937 rng(3);
    MediaParamStore& store = f.dsp.Store();
    while (!stop) {
        const REFERENCE_TIME now = store.Position();
        const DWORD i = rng() % 8 == 0 ? DWORD_ALLPARAMS : AnyParam(rng);
        std::vector<MP_ENVELOPE_SEGMENT> segments =
            RandomEnvelope(rng, i == DWORD_ALLPARAMS ? kParamFilterType : i, 2000000, true);
        for (MP_ENVELOPE_SEGMENT& s : segments) {
            s.rtStart += now;
            s.rtEnd += now;
        }
        if (!segments.empty()) store.AddEnvelope(i, DWORD(segments.size()), segments.data());
        const REFERENCE_TIME from = now + REFERENCE_TIME(Uniform(rng, -1e6, 2e6));
        store.FlushEnvelope(AnyParam(rng), from, from + REFERENCE_TIME(Uniform(rng, 0, 1e6)));
        store.IsAutomated(AnyParam(rng));
        ++rounds;
    }
}

// The streaming thread: buffers through the driver, with a stop and restart on another format
// every so often, as a graph does.
void Stream(Filter& f, std::atomic<bool>& stop) {
    const WAVEFORMATEX formats[] = {MakeStoredFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32),
                                    MakeStoredFormat(WAVE_FORMAT_PCM, 1, 44100, 16)};
    std::mt19937 rng(4);
    std::vector<uint8_t> data;
    REFERENCE_TIME start = 0;
    for (int b = 0; b < kStreamBuffers; ++b) {
        const bool restart = b % 100 == 0;
        if (restart) {
            if (b > 0) {
                EXPECT_EQ(f.driver.StopStreaming(), S_OK);
            }
            f.driver.StoreFormat(formats[(b / 100) % 2]);
            EXPECT_EQ(f.driver.StartStreaming(), S_OK);
            start = 0;
        }
        const WAVEFORMATEX& format = f.driver.Format();
        data = RandomSignal(rng, format, kBufferFrames);
        f.dsp.Store().SetSampleTimes(&start);
        DWORD done = 0;
        EXPECT_EQ(f.driver.RunBuffer(data.data(), kBufferFrames,
                                     restart ? kBlockRestart : kBlockContinue, &done),
                  S_OK);
        EXPECT_EQ(done, kBufferFrames);
        if (format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
            const float* samples = reinterpret_cast<const float*>(data.data());
            for (size_t k = 0; k < kBufferFrames * format.nChannels; ++k)
                if (!std::isfinite(samples[k])) {
                    ADD_FAILURE() << "non-finite output in buffer " << b;
                    break;
                }
        }
        start += REFERENCE_TIME(kBufferFrames) * 10000000 / format.nSamplesPerSec;
    }
    EXPECT_EQ(f.driver.StopStreaming(), S_OK);
    stop = true;
}

TEST(ThreadStress, ParameterPresetAndEnvelopeCallsDuringStreamingLeaveConsistentSettings) {
    Filter f;
    ASSERT_EQ(f.created, S_OK);
    CountingCallback callback;
    f.dsp.Store().SetUICallback(&callback);

    std::atomic<bool> stop{false};
    std::atomic<long> rounds[3] = {{0}, {0}, {0}};
    {
        Watchdog watchdog;
        std::thread values(HammerValues, std::ref(f), std::cref(stop), std::ref(rounds[0]));
        std::thread captures(HammerCapturesAndPresets, std::ref(f), std::ref(callback),
                             std::cref(stop), std::ref(rounds[1]));
        std::thread envelopes(HammerEnvelopes, std::ref(f), std::cref(stop), std::ref(rounds[2]));
        std::thread streaming(Stream, std::ref(f), std::ref(stop));
        streaming.join();
        envelopes.join();
        captures.join();
        values.join();
    }
    for (const std::atomic<long>& r : rounds)
        EXPECT_GT(r.load(), 0) << "a hammer thread never ran";

    MediaParamStore& store = f.dsp.Store();
    store.SetUICallback(nullptr);
    EXPECT_EQ(callback.refs.load(), 0) << "a callback reference was lost or leaked";
    EXPECT_EQ(callback.badValues.load(), 0);
    // An envelope's values are stored as the host gave them, so GetParam may show one out of
    // range; what the filter uses is clamped, and nothing is ever non-finite.
    MP_DATA used[kParamCount];
    ASSERT_EQ(store.GetAllParams(used), S_OK);
    for (DWORD i = 0; i < kParamCount; ++i) {
        MP_DATA value;
        ASSERT_EQ(store.GetParam(i, &value), S_OK);
        EXPECT_TRUE(std::isfinite(value)) << "param " << i << ": " << value;
        EXPECT_TRUE(used[i] >= ParamMin(i) && used[i] <= ParamMax(i))
            << "param " << i << ": " << used[i];
    }
    // Nothing automated any more: a whole set is read back exactly.
    ASSERT_EQ(store.FlushEnvelope(DWORD_ALLPARAMS, INT64_MIN, INT64_MAX), S_OK);
    for (DWORD i = 0; i < kParamCount; ++i)
        store.EndCapture(i);
    const MP_DATA last[kParamCount] = {1234.5f, 66.6f, 2, 1, 1, 12.5f};
    ASSERT_EQ(store.SetAllParams(last), S_OK);
    for (DWORD i = 0; i < kParamCount; ++i) {
        MP_DATA value;
        ASSERT_EQ(store.GetParam(i, &value), S_OK);
        EXPECT_EQ(value, last[i]) << "param " << i;
    }
}

}  // namespace
