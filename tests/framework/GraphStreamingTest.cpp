// Streaming through a graph that Wine's filter graph manager builds and runs.
#include <cstring>

#include "support/win32/WavFile.h"
#include "tests/framework/TestSupport.h"
#include "tools/graph/AudioGraph.h"

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kFrames = kRate;  // one second
constexpr DWORD kTimeoutMs = 20000;

class Streaming : public ComTest {
  protected:
    void SetUp() override {
        ComTest::SetUp();
        input = TestSignal(kChannels, kFrames);
        path = TempWavPath(L"rf_framework_stream");
        ASSERT_TRUE(WriteWav16(path, kChannels, kRate, input));
        filter = NewFilter();
        baseRefs = RefCount(filter);
        HRESULT hr = graph.Build(path, filter, &recorder, OutputFirst());
        ASSERT_EQ(S_OK, hr) << "failed at " << (graph.FailedStep() ? graph.FailedStep() : "?");
    }
    void TearDown() override {
        graph.Release();
        EXPECT_EQ(baseRefs, RefCount(filter)) << "the released graph left references";
        filter->Release();
        EXPECT_EQ(0, recorder.Refs()) << "the grabber kept the callback";
        DeleteFileW(path.c_str());
        ComTest::TearDown();
    }

    virtual const AM_MEDIA_TYPE* OutputFirst() { return nullptr; }

    // The bytes delivered from the last discontinuity on, that is since the last start or seek.
    std::vector<int16_t> OutputSinceLastStart(size_t* samplesSeen = nullptr) {
        std::vector<RecordedSample> samples = recorder.Samples();
        size_t first = 0;
        for (size_t i = 0; i < samples.size(); ++i)
            if (samples[i].discontinuity) first = i;
        std::vector<int16_t> out;
        for (size_t i = first; i < samples.size(); ++i) {
            size_t n = samples[i].bytes.size() / 2;
            size_t at = out.size();
            out.resize(at + n);
            std::memcpy(out.data() + at, samples[i].bytes.data(), n * 2);
        }
        if (samplesSeen != nullptr) *samplesSeen = samples.size() - first;
        return out;
    }

    std::vector<int16_t> NegatedInput(size_t fromFrame) const {
        std::vector<int16_t> out;
        for (size_t i = fromFrame * kChannels; i < input.size(); ++i)
            out.push_back(static_cast<int16_t>(-input[i]));
        return out;
    }

    std::vector<int16_t> input;
    std::wstring path;
    NegatingFilter* filter = nullptr;
    ULONG baseRefs = 0;
    SampleRecorder recorder;
    AudioGraph graph;
};

TEST_F(Streaming, EveryFrameArrivesNegatedAndEndOfStreamCompletesTheGraph) {
    ASSERT_EQ(1, filter->inputTypesSet.load());
    ASSERT_EQ(1, filter->outputTypesSet.load());
    ASSERT_HRESULT_SUCCEEDED(graph.Run());
    ASSERT_TRUE(graph.WaitForComplete(kTimeoutMs));
    EXPECT_EQ(1, filter->starts.load());
    EXPECT_EQ(1, filter->endOfStreams.load());

    std::vector<RecordedSample> samples = recorder.Samples();
    ASSERT_FALSE(samples.empty());
    EXPECT_TRUE(samples.front().discontinuity);
    EXPECT_EQ(filter->transforms.load(), static_cast<int>(samples.size()));
    REFERENCE_TIME expectedStart = 0;
    for (const RecordedSample& s : samples) {
        ASSERT_TRUE(s.hasTime);
        EXPECT_EQ(expectedStart, s.start) << "times pass through untouched";
        EXPECT_EQ(0, s.length % (kChannels * 2));
        expectedStart = s.stop;
    }
    EXPECT_EQ(NegatedInput(0), OutputSinceLastStart());

    ASSERT_HRESULT_SUCCEEDED(graph.Stop());
    EXPECT_EQ(1, filter->stops.load());
    EXPECT_EQ(State_Stopped, filter->State());
}

TEST_F(Streaming, StopAndRunAgainStreamsTheWholeFileEachTime) {
    for (int cycle = 1; cycle <= 3; ++cycle) {
        LONGLONG zero = 0;
        ASSERT_HRESULT_SUCCEEDED(graph.Seeking()->SetPositions(
            &zero, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning));
        ASSERT_HRESULT_SUCCEEDED(graph.Run());
        ASSERT_TRUE(graph.WaitForComplete(kTimeoutMs)) << "cycle " << cycle;
        EXPECT_EQ(NegatedInput(0), OutputSinceLastStart()) << "cycle " << cycle;
        ASSERT_HRESULT_SUCCEEDED(graph.Stop());
        EXPECT_EQ(cycle, filter->starts.load());
        EXPECT_EQ(cycle, filter->stops.load());
        EXPECT_EQ(cycle, filter->endOfStreams.load());
    }
}

TEST_F(Streaming, SeekingPassesThroughTheOutputPinAndFlushes) {
    LONGLONG duration = 0;
    ASSERT_EQ(S_OK, graph.Seeking()->GetDuration(&duration));
    EXPECT_EQ(10000000, duration);
    IPin* output = nullptr;
    ASSERT_EQ(S_OK, filter->FindPin(L"Output", &output));
    IMediaSeeking* pinSeeking = nullptr;
    ASSERT_EQ(S_OK,
              output->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&pinSeeking)));
    LONGLONG direct = 0;
    EXPECT_EQ(S_OK, pinSeeking->GetDuration(&direct));
    EXPECT_EQ(duration, direct) << "the output pin answers for the parser upstream";
    pinSeeking->Release();
    output->Release();

    // Start, let the first buffer reach the paused sink, then seek to the half.
    ASSERT_HRESULT_SUCCEEDED(graph.Pause());
    OAFilterState state;
    IMediaControl* control = nullptr;
    ASSERT_EQ(S_OK,
              graph.Graph()->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)));
    control->GetState(5000, &state);
    control->Release();
    LONGLONG half = duration / 2;
    ASSERT_HRESULT_SUCCEEDED(graph.Seeking()->SetPositions(&half, AM_SEEKING_AbsolutePositioning,
                                                           nullptr, AM_SEEKING_NoPositioning));
    ASSERT_HRESULT_SUCCEEDED(graph.Run());
    ASSERT_TRUE(graph.WaitForComplete(kTimeoutMs));

    std::vector<RecordedSample> samples = recorder.Samples();
    size_t last = 0;
    for (size_t i = 0; i < samples.size(); ++i)
        if (samples[i].discontinuity) last = i;
    ASSERT_GT(last, 0u) << "the seek's flush restarts the stream with a discontinuity";
    EXPECT_EQ(0, samples[last].start) << "times restart from the seek position";
    EXPECT_EQ(NegatedInput(kFrames / 2), OutputSinceLastStart());
    EXPECT_EQ(1, filter->starts.load()) << "a flush leaves the filter streaming";
}

TEST_F(Streaming, FailingToStartFailsTheRun) {
    filter->startResult = E_OUTOFMEMORY;
    // Wine's graph answers Run at once (S_FALSE) and reports the filter's failure in GetState.
    HRESULT run = graph.Run();
    EXPECT_TRUE(FAILED(run) || run == S_FALSE);
    IMediaControl* control = nullptr;
    ASSERT_EQ(S_OK,
              graph.Graph()->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)));
    OAFilterState state;
    HRESULT hr = control->GetState(5000, &state);
    control->Release();
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(State_Stopped, filter->State());
    EXPECT_EQ(0, filter->transforms.load());
}

// The output connects first with a type that differs from the parser's only in its sample
// size; when the input then connects, the output must follow the input's type.
class StreamingOutputFirst : public Streaming {
  protected:
    const AM_MEDIA_TYPE* OutputFirst() override {
        early.type.lSampleSize = 0;
        early.type.bFixedSizeSamples = FALSE;
        return &early.type;
    }
    PcmType early{kChannels, kRate};
};

TEST_F(StreamingOutputFirst, TheFirstPinIsReconnectedWithTheSecondPinsType) {
    EXPECT_EQ(1, filter->inputTypesSet.load());
    EXPECT_EQ(2, filter->outputTypesSet.load()) << "the output was reconnected";
    IPin* input = nullptr;
    IPin* output = nullptr;
    ASSERT_EQ(S_OK, filter->FindPin(L"Input", &input));
    ASSERT_EQ(S_OK, filter->FindPin(L"Output", &output));
    AM_MEDIA_TYPE in, out;
    ASSERT_EQ(S_OK, input->ConnectionMediaType(&in));
    ASSERT_EQ(S_OK, output->ConnectionMediaType(&out));
    EXPECT_TRUE(MediaTypesEqual(in, out));
    EXPECT_FALSE(MediaTypesEqual(early.type, out));
    MediaTypeClear(&in);
    MediaTypeClear(&out);
    input->Release();
    output->Release();

    ASSERT_HRESULT_SUCCEEDED(graph.Run());
    ASSERT_TRUE(graph.WaitForComplete(kTimeoutMs));
    EXPECT_EQ(NegatedInput(0), OutputSinceLastStart());
}

}  // namespace
