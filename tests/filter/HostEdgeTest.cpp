// Hosts at the edges: sinks with buffers too small for a frame, a filter paused with only its
// input connected, a module asked to unload while a filter is being destroyed, and a host
// calling the direct interface while a graph streams the same filter.
#include <atomic>
#include <cstring>
#include <thread>

#include "FakePeers.h"
#include "FilterDll.h"
#include "support/win32/WavFile.h"
#include "tools/graph/AudioGraph.h"

namespace {

struct Stereo16 {
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    AM_MEDIA_TYPE type = {};
    Stereo16() {
        type.majortype = MEDIATYPE_Audio;
        type.subtype = MEDIASUBTYPE_PCM;
        type.formattype = FORMAT_WaveFormatEx;
        type.bFixedSizeSamples = TRUE;
        type.lSampleSize = 4;
        type.cbFormat = sizeof format;
        type.pbFormat = reinterpret_cast<BYTE*>(&format);
    }
};

class HostEdgeTest : public FilterDllTest {
  protected:
    void SetUp() override {
        FilterDllTest::SetUp();
        ASSERT_EQ(dll.Create(IID_IBaseFilter, &filter), S_OK);
        ASSERT_EQ(filter->FindPin(L"Input", &input), S_OK);
        ASSERT_EQ(filter->FindPin(L"Output", &output), S_OK);
        ASSERT_EQ(input->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&memInput)),
                  S_OK);
    }
    void TearDown() override {
        if (filter) filter->Stop();
        ReleaseAll();
    }
    void ReleaseAll() {
        for (IUnknown** face :
             {reinterpret_cast<IUnknown**>(&memInput), reinterpret_cast<IUnknown**>(&input),
              reinterpret_cast<IUnknown**>(&output)})
            if (*face) (*face)->Release(), *face = nullptr;
        if (filter) {
            EXPECT_EQ(filter->Release(), 0u);
        }
        filter = nullptr;
    }
    // Our input fed by a fake upstream pin with `allocator`; the output to the sink if asked.
    void Connect(IMemAllocator* allocator, bool withOutput) {
        ASSERT_EQ(input->ReceiveConnection(&upstream, &type.type), S_OK);
        if (withOutput) {
            ASSERT_EQ(output->Connect(&sink, nullptr), S_OK);
        }
        ASSERT_EQ(memInput->NotifyAllocator(allocator, FALSE), S_OK);
    }

    Stereo16 type;
    FakeUpstreamPin upstream;
    RecordingSinkPin sink;
    IBaseFilter* filter = nullptr;
    IPin* input = nullptr;
    IPin* output = nullptr;
    IMemInputPin* memInput = nullptr;
};

TEST_F(HostEdgeTest, TheDrainEndsOnBuffersTooSmallForAFrame) {
    for (LONG size : {0, 3}) {
        TinyAllocator allocator(size, 10);
        sink.lengths.clear();
        sink.endOfStreams = 0;
        Connect(&allocator, true);
        ASSERT_EQ(filter->Pause(), S_OK);
        BYTE data[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
        FakeSample sample(data, 16, 16);
        ASSERT_EQ(memInput->Receive(&sample), S_OK);
        EXPECT_EQ(input->EndOfStream(), S_OK) << size << "-byte buffers";
        EXPECT_EQ(allocator.handedOut, 1) << "one drain buffer, not a loop";
        EXPECT_EQ(sink.lengths, (std::vector<LONG>{16, 0}));
        EXPECT_EQ(sink.endOfStreams, 1);
        ASSERT_EQ(filter->Stop(), S_OK);
        output->Disconnect();
        input->Disconnect();
    }
}

TEST_F(HostEdgeTest, ASampleWithTheOutputUnconnectedIsRefusedUntouched) {
    TinyAllocator allocator(64, 10);
    Connect(&allocator, false);
    ASSERT_EQ(filter->Pause(), S_OK);
    BYTE data[16], copy[16];
    for (int i = 0; i < 16; ++i)
        data[i] = copy[i] = BYTE(40 + 13 * i);
    FakeSample sample(data, 16, 16);
    EXPECT_EQ(memInput->Receive(&sample), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(std::memcmp(data, copy, 16), 0);
    EXPECT_EQ(sample.GetActualDataLength(), 16);
    ASSERT_EQ(filter->Stop(), S_OK);
    input->Disconnect();
}

TEST_F(HostEdgeTest, TheModuleStaysLoadedUntilTheFilterIsWhollyGone) {
    // The input pin still holds the allocator when the last reference goes, so the pin's
    // destructor releases it: the module must still count the filter then.
    TinyAllocator allocator(64, 10);
    Connect(&allocator, false);
    std::vector<HRESULT> answers;
    bool destroying = false;
    allocator.onRelease = [&] {
        if (destroying) answers.push_back(dll.CanUnloadNow());
    };
    memInput->Release(), memInput = nullptr;
    input->Release(), input = nullptr;
    output->Release(), output = nullptr;
    destroying = true;
    EXPECT_EQ(filter->Release(), 0u);
    filter = nullptr;
    destroying = false;
    ASSERT_FALSE(answers.empty()) << "the filter never released its allocator";
    for (HRESULT hr : answers)
        EXPECT_EQ(hr, S_FALSE) << "unloadable while a destructor still ran";
}

TEST_F(HostEdgeTest, AHugeSampleIsRefusedBeforeItsDataIsRead) {
    if (sizeof(void*) > 4) GTEST_SKIP() << "only a 32-bit size can wrap";
    WAVEFORMATEX& f = type.format;
    f = {WAVE_FORMAT_PCM, 1, 44100, 44100, 1, 8, 0};
    type.type.lSampleSize = 1;
    TinyAllocator allocator(64, 10);
    Connect(&allocator, true);
    ASSERT_EQ(filter->Pause(), S_OK);
    BYTE data[16] = {};
    // It claims 1 GiB of 8-bit mono; its working floats would take 4 GiB.
    FakeSample sample(data, 1 << 30, 1 << 30);
    EXPECT_EQ(memInput->Receive(&sample), E_OUTOFMEMORY);
    ASSERT_EQ(filter->Stop(), S_OK);
    output->Disconnect();
    input->Disconnect();
}

// The same file through a graph, while another thread keeps calling the direct interface of
// the same filter: those calls are refused while the graph may stream, and the output is what
// it is without them.
TEST_F(HostEdgeTest, DirectCallsDuringStreamingAreRefusedAndChangeNothing) {
    ReleaseAll();
    const std::wstring path = TempWavPath(L"rf_direct_during_graph");
    ASSERT_TRUE(WriteWav16(path, 2, 44100, TestSignal(2, 44100)));
    auto run = [&](bool hammer) {
        IBaseFilter* f = nullptr;
        EXPECT_EQ(dll.Create(IID_IBaseFilter, &f), S_OK);
        IDirectProcess* direct = nullptr;
        IFilterSettings* settings = nullptr;
        f->QueryInterface(IID_IDirectProcess, reinterpret_cast<void**>(&direct));
        f->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings));
        const float values[6] = {900, 70, 0, 1, 0, 100};
        settings->SetAllParams(values);
        std::atomic<bool> done{false};
        std::atomic<int> unexpected{0}, refused{0};
        std::thread host([&] {
            std::vector<float> buffer(512, 0.25f), readback(512);
            while (hammer && !done) {
                const HRESULT results[] = {direct->Init(1, 48000),
                                           direct->Process(buffer.data(), 256, 0),
                                           direct->Refresh(TRUE, 0, 0)};
                WAVEFORMATEX wave = {};
                if (settings->GetWaveFormat(&wave) == S_OK &&
                    wave.nAvgBytesPerSec != wave.nBlockAlign * wave.nSamplesPerSec)
                    ++unexpected;
                for (HRESULT hr : results) {
                    if (hr == VFW_E_WRONG_STATE)
                        ++refused;
                    else if (FAILED(hr))
                        ++unexpected;
                }
            }
        });
        SampleRecorder recorder;
        {
            AudioGraph graph;
            EXPECT_EQ(graph.Build(path, f, &recorder), S_OK);
            EXPECT_HRESULT_SUCCEEDED(graph.Run());
            EXPECT_TRUE(graph.WaitForComplete(20000));
            graph.Stop();
        }
        done = true;
        host.join();
        EXPECT_EQ(unexpected.load(), 0);
        EXPECT_EQ(direct->Init(2, 44100), S_OK) << "served again once stopped";
        direct->Release();
        settings->Release();
        EXPECT_EQ(f->Release(), 0u);
        std::vector<uint8_t> out;
        for (const RecordedSample& r : recorder.Samples())
            out.insert(out.end(), r.bytes.begin(), r.bytes.end());
        return out;
    };
    const std::vector<uint8_t> quiet = run(false);
    const std::vector<uint8_t> hammered = run(true);
    ASSERT_EQ(quiet.size(), size_t(44100 * 4));
    EXPECT_TRUE(hammered == quiet) << "direct calls disturbed the stream";
    DeleteFileW(path.c_str());
}

}  // namespace
