// The DLL's filter over long runs in Wine's graph: many state cycles with seeks on one graph,
// and an hour of audio streamed with no clock, watching the state, events, delivered frames,
// memory, and that nothing keeps the filter or the DLL alive afterwards.
#include <cstdio>
#include <random>

#include "CountingCallback.h"
#include "FilterDll.h"
#include "params/ParamTable.h"
#include "support/win32/WavFile.h"
#include "tools/graph/AudioGraph.h"

namespace {

// A 16-bit PCM WAV written a second at a time, so an hour of it never sits in memory.
bool WriteLongWav(const std::wstring& path, int channels, DWORD rate, DWORD seconds) {
    const DWORD align = DWORD(channels) * 2, dataBytes = rate * align * seconds;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    struct Header {
        char riff[4];
        DWORD riffSize;
        char wave[8];
        DWORD fmtSize;
        WORD tag, channels;
        DWORD rate, bytesPerSecond;
        WORD align, bits;
        char data[4];
        DWORD dataSize;
    } header = {{'R', 'I', 'F', 'F'},
                36 + dataBytes,
                {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '},
                16,
                WAVE_FORMAT_PCM,
                WORD(channels),
                rate,
                rate * align,
                WORD(align),
                16,
                {'d', 'a', 't', 'a'},
                dataBytes};
    static_assert(sizeof(Header) == 44, "canonical WAV header");
    DWORD written = 0;
    bool ok = WriteFile(file, &header, sizeof(header), &written, nullptr) && written == 44;
    std::vector<int16_t> second;
    for (DWORD s = 0; ok && s < seconds; ++s) {
        second = TestSignal(channels, int(rate));
        // Vary the level from second to second so the filter's state keeps moving.
        for (int16_t& v : second)
            v = int16_t(v / int(1 + s % 7));
        const DWORD bytes = DWORD(second.size() * 2);
        ok = WriteFile(file, second.data(), bytes, &written, nullptr) && written == bytes;
    }
    CloseHandle(file);
    return ok;
}

// The graph faces the long runs drive directly, next to AudioGraph's own.
struct Faces {
    IMediaControl* control = nullptr;
    IMediaEvent* events = nullptr;
    explicit Faces(IGraphBuilder* graph) {
        graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
        graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events));
    }
    ~Faces() {
        if (control) control->Release();
        if (events) events->Release();
    }
    OAFilterState State() {
        OAFilterState state = -1;
        return SUCCEEDED(control->GetState(5000, &state)) ? state : -1;
    }
    // Drains the queue; the first error-class event seen, or 0.
    long FirstError() {
        long error = 0, code;
        LONG_PTR p1, p2;
        while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
            events->FreeEventParams(code, p1, p2);
            const bool bad = code == EC_ERRORABORT || code == EC_USERABORT ||
                             code == EC_STREAM_ERROR_STOPPED ||
                             code == EC_STREAM_ERROR_STILLPLAYING ||
                             code == EC_ERROR_STILLPLAYING || code == EC_ERRORABORTEX;
            if (bad && error == 0) error = code;
        }
        return error;
    }
};

class LongRunTest : public FilterDllTest {
  protected:
    void SetUp() override {
        FilterDllTest::SetUp();
        ASSERT_EQ(dll.Create(IID_IBaseFilter, &filter), S_OK);
        ASSERT_EQ(filter->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings)),
                  S_OK);
        ASSERT_EQ(filter->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params)),
                  S_OK);
        const float values[kParamCount] = {1500, 70, 0, 1, 0, 80};
        ASSERT_EQ(settings->SetAllParams(values), S_OK);
    }
    void TearDown() override {
        if (filter == nullptr) return;
        if (params) params->Release();
        if (settings) settings->Release();
        params = nullptr;
        settings = nullptr;
        EXPECT_EQ(RefCount(filter), 1u) << "something still holds the filter";
        EXPECT_EQ(filter->Release(), 0u);
        filter = nullptr;
        EXPECT_EQ(dll.CanUnloadNow(), S_OK) << "the DLL still counts live objects or locks";
    }
    void AddEnvelopes(REFERENCE_TIME length) {
        MP_ENVELOPE_SEGMENT sweep = {length / 10, length / 2, 300, 6000, MP_CURVE_SINE, 0};
        MP_ENVELOPE_SEGMENT resonance = {length / 4, length, 20, 95, MP_CURVE_LINEAR, 0};
        MP_ENVELOPE_SEGMENT type = {length / 3, length / 3 * 2, 2, 2, MP_CURVE_JUMP, 0};
        ASSERT_EQ(params->AddEnvelope(kParamFrequency, 1, &sweep), S_OK);
        ASSERT_EQ(params->AddEnvelope(kParamResonance, 1, &resonance), S_OK);
        ASSERT_EQ(params->AddEnvelope(kParamFilterType, 1, &type), S_OK);
    }

    IBaseFilter* filter = nullptr;
    IFilterSettings* settings = nullptr;
    IMediaParams* params = nullptr;
};

TEST_F(LongRunTest, TwoHundredRunSeekPauseStopCyclesThenAFullRunDeliversTheRest) {
    const int rate = 44100, channels = 2, seconds = 10;
    const std::wstring path = TempWavPath(L"rf_long_cycles");
    ASSERT_TRUE(WriteWav16(path, channels, rate, TestSignal(channels, rate * seconds)));
    AddEnvelopes(REFERENCE_TIME(seconds) * 10000000);

    CountingCallback counter;
    const DWORD begin = GetTickCount();
    {
        AudioGraph graph;
        ASSERT_EQ(graph.Build(path, filter, &counter), S_OK)
            << (graph.FailedStep() ? graph.FailedStep() : "?");
        Faces faces(graph.Graph());
        ASSERT_TRUE(faces.control && faces.events);
        faces.FirstError();
        std::mt19937 random(20240611u);
        std::uniform_int_distribution<LONGLONG> position(0, LONGLONG(seconds) * 10000000 - 1);
        for (int cycle = 0; cycle < 200; ++cycle) {
            ASSERT_HRESULT_SUCCEEDED(faces.control->Run()) << "cycle " << cycle;
            ASSERT_EQ(faces.State(), State_Running) << "cycle " << cycle;
            REFERENCE_TIME at = position(random);
            ASSERT_HRESULT_SUCCEEDED(graph.Seeking()->SetPositions(
                &at, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning))
                << "cycle " << cycle;
            ASSERT_EQ(faces.State(), State_Running) << "a seek leaves it running, cycle " << cycle;
            ASSERT_HRESULT_SUCCEEDED(faces.control->Pause()) << "cycle " << cycle;
            ASSERT_EQ(faces.State(), State_Paused) << "cycle " << cycle;
            ASSERT_HRESULT_SUCCEEDED(faces.control->Stop()) << "cycle " << cycle;
            ASSERT_EQ(faces.State(), State_Stopped) << "cycle " << cycle;
            ASSERT_EQ(faces.FirstError(), 0) << "error event in cycle " << cycle;
        }
        const LONG64 cycledBytes = counter.Bytes();
        EXPECT_GT(cycledBytes, 0) << "the cycles streamed something";

        // From a known position, a full run must deliver every remaining frame once.
        REFERENCE_TIME from = 35000000;  // 3.5 s: a whole number of frames
        ASSERT_HRESULT_SUCCEEDED(graph.Seeking()->SetPositions(
            &from, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning));
        counter.Reset();
        ASSERT_HRESULT_SUCCEEDED(graph.Run());
        ASSERT_TRUE(graph.WaitForComplete(20000)) << "the final run did not complete";
        ASSERT_HRESULT_SUCCEEDED(graph.Stop());
        const LONG64 expectedFrames = LONG64(rate) * seconds - LONG64(rate) * 35 / 10;
        EXPECT_EQ(counter.Bytes(), expectedFrames * channels * 2);
        std::printf(
            "[ cycles   ] 200 cycles, %lld bytes during them; final run %lld frames "
            "(%ld buffers); %lu ms in all\n",
            static_cast<long long>(cycledBytes),
            static_cast<long long>(counter.Bytes() / (channels * 2)), counter.Buffers(),
            GetTickCount() - begin);
    }
    DeleteFileW(path.c_str());
    EXPECT_EQ(counter.Refs(), 0);
}

TEST_F(LongRunTest, AnHourWithNoClockStreamsToTheEndWithSteadyMemory) {
    const int rate = 8000, channels = 1, seconds = 3600;
    const std::wstring path = TempWavPath(L"rf_long_hour");
    DWORD begin = GetTickCount();
    ASSERT_TRUE(WriteLongWav(path, channels, rate, seconds));
    const DWORD written = GetTickCount() - begin;
    AddEnvelopes(REFERENCE_TIME(seconds) * 10000000);

    const LONG64 total = LONG64(rate) * seconds * channels * 2;
    CountingCallback counter(64);
    begin = GetTickCount();
    {
        AudioGraph graph;
        ASSERT_EQ(graph.Build(path, filter, &counter), S_OK)
            << (graph.FailedStep() ? graph.FailedStep() : "?");
        ASSERT_HRESULT_SUCCEEDED(graph.Run());
        ASSERT_TRUE(graph.WaitForComplete(60000))
            << "did not complete; " << counter.Bytes() << " of " << total << " bytes came through";
        ASSERT_HRESULT_SUCCEEDED(graph.Stop());
    }
    const DWORD streamed = GetTickCount() - begin;
    DeleteFileW(path.c_str());
    EXPECT_EQ(counter.Bytes(), total) << "every frame came through";
    EXPECT_EQ(counter.Refs(), 0);

    const std::vector<CountingCallback::Mark>& memory = counter.Memory();
    ASSERT_GE(memory.size(), 20u) << "too few memory samples";
    size_t tenth = 0;
    while (tenth < memory.size() && memory[tenth].bytes < total / 10)
        ++tenth;
    ASSERT_LT(tenth, memory.size());
    const SIZE_T start = memory.front().privateUsage, atTenth = memory[tenth].privateUsage,
                 end = memory.back().privateUsage;
    ASSERT_GT(start, 0u) << "no private memory figure from the platform";
    SIZE_T peak = 0;
    for (size_t k = tenth; k < memory.size(); ++k)
        peak = memory[k].privateUsage > peak ? memory[k].privateUsage : peak;
    std::printf(
        "[ memory   ] %ld buffers, %lu samples; private bytes start %lu, 10%% %lu, "
        "end %lu, peak after 10%% %lu; working set 10%% %lu, end %lu; wrote file in %lu ms, "
        "streamed in %lu ms\n",
        counter.Buffers(), static_cast<unsigned long>(memory.size()),
        static_cast<unsigned long>(start), static_cast<unsigned long>(atTenth),
        static_cast<unsigned long>(end), static_cast<unsigned long>(peak),
        static_cast<unsigned long>(memory[tenth].workingSet),
        static_cast<unsigned long>(memory.back().workingSet), written, streamed);
    const SIZE_T bound = 2 * 1024 * 1024;
    EXPECT_LT(end > atTenth ? end - atTenth : 0, bound) << "memory grew with every buffer";
    EXPECT_LT(peak - atTenth, bound) << "memory grew and fell back";
}

}  // namespace
