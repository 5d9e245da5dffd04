// The DLL's filter streaming in Wine's graph while three threads drive it through its COM faces,
// as a host, its automation and a second editor window do, and the property page stays open and
// polling on this thread, with keys pressed on its controls. Nothing may deadlock, the stream
// must keep flowing without error events, and the settings and the page must end consistent.
#include <cmath>

#include <atomic>
#include <cstdio>
#include <random>
#include <thread>

#include "PageHost.h"
#include "filter/CountingCallback.h"
#include "params/ParamTable.h"
#include "presets/PresetTable.h"
#include "robustness/RandomAutomation.h"
#include "support/win32/WavFile.h"
#include "tools/graph/AudioGraph.h"

namespace {

constexpr DWORD kDeadlineMs = 120000;
constexpr DWORD kStressMs = 5000;
constexpr int kFileSeconds = 20;
constexpr REFERENCE_TIME kFileLength = REFERENCE_TIME(kFileSeconds) * 10000000;

// Ends the process when the run outlives its deadline: a deadlock cannot be failed politely.
class Watchdog {
  public:
    Watchdog() : done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        thread_ = CreateThread(nullptr, 0, &Watchdog::Watch, done_, 0, nullptr);
    }
    ~Watchdog() {
        SetEvent(done_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(done_);
    }

  private:
    static DWORD WINAPI Watch(void* done) {
        if (WaitForSingleObject(done, kDeadlineMs) == WAIT_TIMEOUT) {
            std::fprintf(stderr, "page stress: no finish within %lu s (deadlock?)\n",
                         kDeadlineMs / 1000);
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
        return 0;
    }
    HANDLE done_;
    HANDLE thread_ = nullptr;
};

// A thread in the multithreaded apartment, as a host's worker threads are.
// Joining waits with this thread's messages still served: the page lives here, and Wine's graph
// answers some calls from other threads through the window of the thread that made it.
class Worker {
  public:
    template <typename Body>
    explicit Worker(Body body)
        : thread_([this, body] {
              CoInitializeEx(nullptr, COINIT_MULTITHREADED);
              body();
              CoUninitialize();
              done_ = true;
          }) {}
    void Join() {
        while (!done_)
            PumpFor(10);
        thread_.join();
    }
    static void PumpFor(DWORD ms) {
        const DWORD begin = GetTickCount();
        do {
            MSG message;
            // The callers post faster than the page repaints: the queue may never run dry.
            while (GetTickCount() - begin < ms &&
                   PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        } while (GetTickCount() - begin < ms);
    }

  private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

using PutScaledFn = HRESULT (STDMETHODCALLTYPE IFilterSettings::*)(LONG);
using CaptureFn = HRESULT (STDMETHODCALLTYPE IFilterSettings::*)();
constexpr PutScaledFn kPutScaled[kParamCount] = {
    &IFilterSettings::PutScaledFrequency,  &IFilterSettings::PutScaledResonance,
    &IFilterSettings::PutScaledFilterType, &IFilterSettings::PutScaledFilterOrder,
    &IFilterSettings::PutScaledBypass,     &IFilterSettings::PutScaledWetDry};
constexpr CaptureFn kBeginCapture[kParamCount] = {
    &IFilterSettings::BeginCaptureFrequency,  &IFilterSettings::BeginCaptureResonance,
    &IFilterSettings::BeginCaptureFilterType, &IFilterSettings::BeginCaptureFilterOrder,
    &IFilterSettings::BeginCaptureBypass,     &IFilterSettings::BeginCaptureWetDry};
constexpr CaptureFn kEndCapture[kParamCount] = {
    &IFilterSettings::EndCaptureFrequency,  &IFilterSettings::EndCaptureResonance,
    &IFilterSettings::EndCaptureFilterType, &IFilterSettings::EndCaptureFilterOrder,
    &IFilterSettings::EndCaptureBypass,     &IFilterSettings::EndCaptureWetDry};

DWORD AnyParam(std::mt19937& rng) {
    return rng() % kParamCount;
}

LONG AnyScaled(std::mt19937& rng, DWORD index) {
    const ParamTableEntry& e = kParamTable[index];
    return std::uniform_int_distribution<LONG>(e.scaledMin - 5, e.scaledMax + 5)(rng);
}

class PageStress : public PageHost {
  protected:
    void SetUp() override {
        PageHost::SetUp();
        ASSERT_EQ(S_OK,
                  filter->QueryInterface(IID_IFilterPresets, reinterpret_cast<void**>(&presets)));
        ASSERT_EQ(S_OK,
                  filter->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)));
    }
    void TearDown() override {
        if (presets) presets->Release();
        if (persist) persist->Release();
        PageHost::TearDown();
    }

    // Host values and the page's scaled writes, with whole-set reads between them.
    void HammerValues() {
        std::mt19937 rng(11);
        while (!stop) {
            const DWORD i = AnyParam(rng);
            params->SetParam(i, RandomLegalValue(rng, i));
            const DWORD j = AnyParam(rng);
            (settings->*kPutScaled[j])(AnyScaled(rng, j));
            float all[kParamCount];
            settings->GetAllParams(all);
            MP_DATA value;
            params->GetParam(i, &value);
            ++rounds[0];
            Pace();
        }
    }
    // A drag from another editor window, presets, whole sets, and the settings saved and loaded
    // back as a host's undo does.
    void HammerCapturesPresetsAndStreams() {
        std::mt19937 rng(12);
        IStream* saved = nullptr;
        CreateStreamOnHGlobal(nullptr, TRUE, &saved);
        while (!stop) {
            const DWORD i = AnyParam(rng);
            (settings->*kBeginCapture[i])();
            for (int k = 0; k < 3; ++k)
                (settings->*kPutScaled[i])(AnyScaled(rng, i));
            (settings->*kEndCapture[i])();
            presets->ApplyPreset(LONG(rng() % (kPresetCount + 2)) - 1);  // one either side too
            MP_DATA values[kParamCount];
            for (DWORD k = 0; k < kParamCount; ++k)
                values[k] = RandomLegalValue(rng, k);
            settings->SetAllParams(values);
            if (saved && rng() % 4 == 0) {
                const LARGE_INTEGER zero{};
                saved->Seek(zero, STREAM_SEEK_SET, nullptr);
                if (persist->Save(saved, FALSE) == S_OK) {
                    saved->Seek(zero, STREAM_SEEK_SET, nullptr);
                    if (persist->Load(saved) != S_OK) ++failures;
                } else {
                    ++failures;
                }
            }
            ++rounds[1];
            Pace();
        }
        if (saved) saved->Release();
    }
    // Automation arriving and being withdrawn anywhere in the file.
    void HammerEnvelopes() {
        std::mt19937 rng(13);
        while (!stop) {
            const DWORD i = rng() % 8 == 0 ? DWORD_ALLPARAMS : AnyParam(rng);
            std::vector<MP_ENVELOPE_SEGMENT> segments =
                RandomEnvelope(rng, i == DWORD_ALLPARAMS ? kParamFilterType : i, kFileLength, true);
            if (!segments.empty()) params->AddEnvelope(i, DWORD(segments.size()), segments.data());
            const REFERENCE_TIME from = REFERENCE_TIME(Uniform(rng, 0, double(kFileLength)));
            params->FlushEnvelope(AnyParam(rng), from, from + REFERENCE_TIME(Uniform(rng, 0, 2e7)));
            ++rounds[2];
            Pace();
        }
    }
    // The graph run to its end, rewound and run again, until told to stop.
    void Stream(AudioGraph& graph) {
        while (!stop) {
            if (FAILED(graph.Run())) {
                ++failures;
                break;
            }
            if (!graph.WaitForComplete(30000)) ++failures;
            graph.Stop();
            REFERENCE_TIME at = 0;
            graph.Seeking()->SetPositions(&at, AM_SEEKING_AbsolutePositioning, nullptr,
                                          AM_SEEKING_NoPositioning);
            ++runs;
        }
    }
    // The user at the page: keys on its sliders and clicks on its buttons, with the page's poll
    // timer and the filter's notifications arriving between them.
    void UseThePage(std::mt19937& rng) {
        static const int sliders[] = {IDC_FREQUENCY_SLIDER, IDC_RESONANCE_SLIDER,
                                      IDC_WETDRY_SLIDER};
        static const int buttons[] = {IDC_TYPE_LOW, IDC_TYPE_BAND, IDC_TYPE_HIGH, IDC_ORDER_SECOND,
                                      IDC_ORDER_FOURTH};
        static const UINT keys[] = {VK_LEFT, VK_RIGHT, VK_PRIOR, VK_NEXT, VK_HOME, VK_END};
        if (rng() % 3 == 0) {
            SendMessageW(Item(buttons[rng() % 5]), BM_CLICK, 0, 0);
        } else {
            HWND slider = Item(sliders[rng() % 3]);
            SetFocus(slider);
            const UINT key = keys[rng() % 6];
            SendMessageW(slider, WM_KEYDOWN, key, 1);
            SendMessageW(slider, WM_KEYUP, key, 0xC0000001);
        }
        ++pageActions;
    }

    // A millisecond between rounds, about as often as a host's automation or a second editor
    // window writes; unpaced, the page's queue would fill with notices faster than it repaints.
    static void Pace() { Sleep(1); }

    IFilterPresets* presets = nullptr;
    IPersistStream* persist = nullptr;
    std::atomic<bool> stop{false};
    std::atomic<long> rounds[3] = {{0}, {0}, {0}};
    std::atomic<long> runs{0};
    std::atomic<long> failures{0};
    long pageActions = 0;
};

TEST_F(PageStress, ThreeCallerThreadsAndTheOpenPageWhileTheGraphStreams) {
    const int rate = 44100, channels = 2;
    const std::wstring path = TempWavPath(L"rf_page_stress");
    ASSERT_TRUE(WriteWav16(path, channels, rate, TestSignal(channels, rate * kFileSeconds)));
    Open();
    CountingCallback counter;
    const DWORD begin = GetTickCount();
    {
        Watchdog watchdog;
        AudioGraph graph;
        ASSERT_EQ(graph.Build(path, filter, &counter), S_OK)
            << (graph.FailedStep() ? graph.FailedStep() : "?");
        Worker streaming([&] { Stream(graph); });
        Worker values([&] { HammerValues(); });
        Worker captures([&] { HammerCapturesPresetsAndStreams(); });
        Worker envelopes([&] { HammerEnvelopes(); });
        std::mt19937 rng(14);
        while (GetTickCount() - begin < kStressMs) {
            UseThePage(rng);
            Worker::PumpFor(20);
        }
        stop = true;
        values.Join();
        captures.Join();
        envelopes.Join();
        streaming.Join();
        for (long code : graph.Events())
            EXPECT_TRUE(code == EC_COMPLETE || code == EC_CLOCK_UNSET || code == EC_PAUSED)
                << "graph event " << code;
    }
    DeleteFileW(path.c_str());
    std::printf(
        "[ stress   ] %lu ms: %ld runs, %ld buffers; rounds %ld values, %ld captures, "
        "%ld envelopes; %ld page actions\n",
        GetTickCount() - begin, runs.load(), counter.Buffers(), rounds[0].load(), rounds[1].load(),
        rounds[2].load(), pageActions);
    EXPECT_EQ(failures.load(), 0) << "a run failed or a save and load did";
    EXPECT_GT(runs.load(), 0);
    EXPECT_GT(counter.Buffers(), 0);
    for (const std::atomic<long>& r : rounds)
        EXPECT_GT(r.load(), 0) << "a caller thread never ran";
    EXPECT_EQ(counter.Refs(), 0);

    // Everything the filter uses stayed in range and finite.
    float used[kParamCount];
    ASSERT_EQ(S_OK, settings->GetAllParams(used));
    for (DWORD i = 0; i < kParamCount; ++i)
        EXPECT_TRUE(std::isfinite(used[i]) && used[i] >= ParamMin(i) && used[i] <= ParamMax(i))
            << "param " << i << ": " << used[i];

    // With the automation withdrawn, the last values a host sets reach the filter and the page
    // alike: each is a notice to the page.
    ASSERT_EQ(S_OK, params->FlushEnvelope(DWORD_ALLPARAMS, INT64_MIN, INT64_MAX));
    const float last[kParamCount] = {1234, 66.5f, 2, 1, 0, 12.5f};
    for (DWORD i = 0; i < kParamCount; ++i)
        ASSERT_TRUE(SUCCEEDED(params->SetParam(i, last[i]))) << "param " << i;
    PumpMessages();
    for (DWORD i = 0; i < kParamCount; ++i)
        EXPECT_EQ(Value(i), last[i]) << "param " << i;
    EXPECT_EQ(Text(IDC_FREQUENCY_EDIT), L"1,234");
    EXPECT_EQ(Text(IDC_RESONANCE_EDIT), L"66.5");
    EXPECT_EQ(Text(IDC_WETDRY_EDIT), L"12.5");
    EXPECT_EQ(BST_CHECKED, SendMessageW(Item(IDC_TYPE_HIGH), BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_CHECKED, SendMessageW(Item(IDC_ORDER_FOURTH), BM_GETCHECK, 0, 0));
    LONG scaled = 0;
    settings->GetScaledResonance(&scaled);
    EXPECT_EQ(SliderPos(IDC_RESONANCE_SLIDER), scaled);
}

}  // namespace
