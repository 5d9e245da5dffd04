// The push source in graphs that Wine's filter graph manager runs: straight into a recording
// Sample Grabber, and through the DLL's filter. What arrives must be the schedule exactly.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "filter/FilterDll.h"
#include "framework/MediaType.h"
#include "tests/framework/NegatingFilter.h"
#include "tools/graph/AudioGraph.h"
#include "tools/graph/PushSource.h"
#include "tools/graph/WavFeed.h"

namespace {

// 16-bit PCM in a plain WAVEFORMATEX, or 32-bit float in a WAVEFORMATEXTENSIBLE, as the WAVE
// Parser describes them. The type points into this object, which therefore never moves.
struct AudioType {
    WAVEFORMATEXTENSIBLE wave = {};
    AM_MEDIA_TYPE type = {};

    AudioType(bool extensibleFloat, WORD channels, DWORD rate) {
        WAVEFORMATEX& f = wave.Format;
        f.wFormatTag = extensibleFloat ? WAVE_FORMAT_EXTENSIBLE : WAVE_FORMAT_PCM;
        f.nChannels = channels;
        f.nSamplesPerSec = rate;
        f.wBitsPerSample = extensibleFloat ? 32 : 16;
        f.nBlockAlign = WORD(channels * f.wBitsPerSample / 8);
        f.nAvgBytesPerSec = rate * f.nBlockAlign;
        if (extensibleFloat) {
            f.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
            wave.Samples.wValidBitsPerSample = 32;
            wave.dwChannelMask = SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
            wave.SubFormat = MEDIASUBTYPE_IEEE_FLOAT;
        }
        type.majortype = MEDIATYPE_Audio;
        type.subtype = extensibleFloat ? MEDIASUBTYPE_IEEE_FLOAT : MEDIASUBTYPE_PCM;
        type.formattype = FORMAT_WaveFormatEx;
        type.bFixedSizeSamples = TRUE;
        type.lSampleSize = f.nBlockAlign;
        type.cbFormat = extensibleFloat ? sizeof(WAVEFORMATEXTENSIBLE) : sizeof(WAVEFORMATEX);
        type.pbFormat = reinterpret_cast<BYTE*>(&wave);
    }
    AudioType(const AudioType&) = delete;
    AudioType& operator=(const AudioType&) = delete;
    WORD Align() const { return wave.Format.nBlockAlign; }
};

std::vector<uint8_t> Noise(size_t bytes) {
    std::vector<uint8_t> out(bytes);
    uint32_t state = 12345;
    for (uint8_t& b : out) {
        state = state * 1664525u + 1013904223u;
        b = uint8_t(state >> 24);
    }
    return out;
}

PushSource* NewSource(const AudioType& t, const std::vector<uint8_t>& bytes,
                      std::vector<ScheduledSample> schedule) {
    PushSource* source = nullptr;
    EXPECT_EQ(PushSource::Create(t.type, bytes, std::move(schedule), &source), S_OK);
    return source;
}

// Lengths, times and flags of `count` recorded samples from `first` on match the schedule,
// and the bytes too when given.
void ExpectSchedule(const std::vector<RecordedSample>& got, size_t first,
                    const std::vector<ScheduledSample>& schedule,
                    const std::vector<uint8_t>* bytes) {
    ASSERT_GE(got.size(), first + schedule.size());
    for (size_t k = 0; k < schedule.size(); ++k) {
        const RecordedSample& r = got[first + k];
        const ScheduledSample& s = schedule[k];
        ASSERT_EQ(size_t(r.length), s.length) << "sample " << k;
        EXPECT_TRUE(r.hasTime && r.start == s.start && r.stop == s.stop) << "sample " << k;
        EXPECT_EQ(r.discontinuity, k == 0) << "sample " << k;
        if (bytes != nullptr) {
            EXPECT_EQ(std::memcmp(r.bytes.data(), bytes->data() + s.offset, s.length), 0)
                << "bytes of sample " << k;
        }
    }
}

// Runs source (through filter, if given) to EC_COMPLETE in a fresh graph; what the grabber saw.
std::vector<RecordedSample> StreamOnce(PushSource* source, IBaseFilter* filter,
                                       const AudioType& t) {
    SampleRecorder recorder;
    {
        AudioGraph graph;
        HRESULT hr = graph.BuildFromSource(source, filter, &recorder);
        EXPECT_EQ(hr, S_OK) << (graph.FailedStep() ? graph.FailedStep() : "?");
        if (FAILED(hr)) return {};
        // The pin downstream holds the source's type, format block and all.
        IPin *out = nullptr, *peer = nullptr;
        AM_MEDIA_TYPE connected = {};
        EXPECT_EQ(source->FindPin(L"Output", &out), S_OK);
        EXPECT_EQ(out->ConnectedTo(&peer), S_OK);
        EXPECT_EQ(peer->ConnectionMediaType(&connected), S_OK);
        EXPECT_TRUE(MediaTypesEqual(connected, t.type));
        MediaTypeClear(&connected);
        peer->Release();
        out->Release();
        EXPECT_HRESULT_SUCCEEDED(graph.Run());
        EXPECT_TRUE(graph.WaitForComplete(20000)) << "EC_COMPLETE";
        graph.Stop();
    }
    EXPECT_EQ(recorder.Refs(), 0);
    return recorder.Samples();
}

// Codes waiting in the graph's event queue, which is emptied.
std::vector<long> DrainEvents(IGraphBuilder* graph) {
    std::vector<long> codes;
    IMediaEvent* events = nullptr;
    graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events));
    long code;
    LONG_PTR p1, p2;
    while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
        events->FreeEventParams(code, p1, p2);
        codes.push_back(code);
    }
    events->Release();
    return codes;
}

class PushSourceTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    static void TearDownTestSuite() { CoUninitialize(); }
};

class PushSourceFormatTest : public PushSourceTest, public ::testing::WithParamInterface<bool> {};

TEST_P(PushSourceFormatTest, DeliversExactlyItsScheduleThenCompletes) {
    const AudioType t(GetParam(), 2, GetParam() ? 48000 : 44100);
    const std::vector<uint8_t> bytes = Noise(10000 * size_t(t.Align()));
    const auto schedule =
        SamplesOf(BlockSchedule(10000, 441, t.wave.Format.nSamplesPerSec), t.Align());
    PushSource* source = NewSource(t, bytes, schedule);
    ASSERT_NE(source, nullptr);
    const auto got = StreamOnce(source, nullptr, t);
    EXPECT_EQ(got.size(), schedule.size());
    ExpectSchedule(got, 0, schedule, &bytes);
    EXPECT_EQ(source->Release(), 0u);

    // The same bytes from a file, read as they go out over chunks that cut across samples.
    AudioData file;
    file.encoding = GetParam() ? Encoding::Float32 : Encoding::Pcm16;
    file.channels = 2;
    file.rate = t.wave.Format.nSamplesPerSec;
    file.bytes = bytes;
    const std::string path = testing::TempDir() + "rf_push_feed.wav";
    ASSERT_TRUE(WriteWavFile(path, file));
    const size_t bound = 1000 * size_t(t.Align()) + 4;
    {
        WavPieceReader reader(bound);
        std::string error;
        ASSERT_TRUE(reader.Open(path, &error)) << error;
        const ScheduleCursor cursor = ScheduleCursor::Block(441, file.rate);
        ASSERT_EQ(PushSource::Create(t.type, std::make_unique<WavFeed>(reader, cursor), &source),
                  S_OK);
        EXPECT_EQ(source->LargestSample(), 441 * size_t(t.Align()));
        const auto fed = StreamOnce(source, nullptr, t);
        EXPECT_EQ(fed.size(), schedule.size());
        ExpectSchedule(fed, 0, schedule, &bytes);
        EXPECT_LE(reader.HeldBytes(), bound);
        EXPECT_EQ(source->Release(), 0u);
    }
    std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Types, PushSourceFormatTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "FloatExtensible" : "Pcm16Stereo";
                         });

TEST_F(PushSourceTest, StoppingAndRunningAgainRestreamsTheWholeSchedule) {
    const AudioType t(false, 2, 44100);
    const std::vector<uint8_t> bytes = Noise(5000 * 4);
    // Growing blocks, none flagged: each run must still begin discontinuous, and the buffers
    // must hold the last, largest block.
    std::vector<ScheduledSample> schedule;
    for (size_t first = 0, frames = 500; first < 5000; first += frames, frames += 500) {
        ScheduledSample s;
        s.offset = first * 4;
        s.length = frames * 4;
        s.start = REFERENCE_TIME(first) * 227;
        s.stop = REFERENCE_TIME(first + frames) * 227;
        schedule.push_back(s);
    }
    PushSource* source = NewSource(t, bytes, schedule);
    ASSERT_NE(source, nullptr);
    SampleRecorder recorder;
    {
        AudioGraph graph;
        ASSERT_EQ(graph.BuildFromSource(source, nullptr, &recorder), S_OK);
        // Paused, the Null Renderer holds the first sample. Stop as the graph does, downstream
        // first, with time for the stopped renderer's refusal to reach the source: no error.
        IBaseFilter* sink = nullptr;
        ASSERT_EQ(graph.Graph()->FindFilterByName(L"Sink", &sink), S_OK);
        ASSERT_HRESULT_SUCCEEDED(graph.Pause());
        for (int wait = 0; wait < 500 && recorder.Samples().empty(); ++wait)
            Sleep(10);
        ASSERT_FALSE(recorder.Samples().empty()) << "the first sample came while paused";
        EXPECT_EQ(sink->Stop(), S_OK);
        sink->Release();
        Sleep(100);
        ASSERT_HRESULT_SUCCEEDED(graph.Stop());
        const auto codes = DrainEvents(graph.Graph());
        EXPECT_EQ(std::count(codes.begin(), codes.end(), EC_ERRORABORT), 0);
        for (int pass = 0; pass < 2; ++pass) {
            ASSERT_HRESULT_SUCCEEDED(graph.Run());
            ASSERT_TRUE(graph.WaitForComplete(20000)) << "pass " << pass;
            ASSERT_HRESULT_SUCCEEDED(graph.Stop());
        }
    }
    const auto got = recorder.Samples();
    ASSERT_GE(got.size(), 2 * schedule.size());
    EXPECT_TRUE(got[0].discontinuity);
    schedule[0].discontinuity = true;
    ExpectSchedule(got, got.size() - 2 * schedule.size(), schedule, &bytes);
    ExpectSchedule(got, got.size() - schedule.size(), schedule, &bytes);
    EXPECT_EQ(RefCount(source), 1u) << "the released graph left references";
    EXPECT_EQ(source->Release(), 0u);
}

// Refused downstream, or a file that turns out shorter than its header said when it is read.
TEST_F(PushSourceTest, ARefusedOrUnreadableSampleEndsTheStreamWithAnAbortAndNoEndOfStream) {
    const AudioType t(false, 2, 44100);
    const std::vector<uint8_t> bytes = Noise(3000 * 4);
    const std::string path = testing::TempDir() + "rf_push_cut.wav";
    for (const bool unreadable : {false, true}) {
        SCOPED_TRACE(unreadable ? "unreadable" : "refused");
        PushSource* source = nullptr;
        WavPieceReader reader(1000 * 4);
        if (unreadable) {
            AudioData file;
            file.channels = 2;
            file.rate = 44100;
            file.bytes = bytes;
            ASSERT_TRUE(WriteWavFile(path, file));
            std::string error;
            ASSERT_TRUE(reader.Open(path, &error)) << error;
            std::filesystem::resize_file(path, 44 + 1500 * 4);
            ASSERT_EQ(
                PushSource::Create(
                    t.type, std::make_unique<WavFeed>(reader, ScheduleCursor::Block(1000, 44100)),
                    &source),
                S_OK);
        } else {
            source = NewSource(t, bytes, SamplesOf(BlockSchedule(3000, 1000, 44100), 4));
        }
        ASSERT_NE(source, nullptr);
        HRESULT hr = E_FAIL;
        auto* filter = new NegatingFilter(nullptr, &hr);
        if (!unreadable) filter->transformResult = E_FAIL;
        SampleRecorder recorder;
        {
            AudioGraph graph;
            ASSERT_EQ(graph.BuildFromSource(source, filter, &recorder), S_OK);
            ASSERT_HRESULT_SUCCEEDED(graph.Run());
            EXPECT_FALSE(graph.WaitForComplete(5000));
            const auto& codes = graph.Events();
            EXPECT_NE(std::find(codes.begin(), codes.end(), EC_ERRORABORT), codes.end());
            graph.Stop();
        }
        EXPECT_EQ(filter->transforms, 1) << "nothing is sent after a refusal";
        EXPECT_EQ(filter->endOfStreams, 0) << "a cut stream is not complete";
        EXPECT_EQ(recorder.Samples().size(), unreadable ? 1u : 0u);
        EXPECT_EQ(static_cast<IBaseFilter*>(filter)->Release(), 0u);
        EXPECT_EQ(source->Release(), 0u);
    }
    std::remove(path.c_str());
}

TEST_F(PushSourceTest, RefusesSlicesOutsideItsBytesAndUnreadableFormats) {
    const AudioType t(false, 2, 44100);
    const std::vector<uint8_t> bytes(4000);
    PushSource* source = nullptr;
    auto make = [&](const AM_MEDIA_TYPE& type, size_t offset, size_t length) {
        ScheduledSample s;
        s.offset = offset;
        s.length = length;
        HRESULT hr = PushSource::Create(type, bytes, {s}, &source);
        if (source != nullptr) source->Release();
        source = nullptr;
        return hr;
    };
    EXPECT_EQ(make(t.type, 0, 4000), S_OK);
    EXPECT_EQ(make(t.type, 4, 4000), E_INVALIDARG) << "past the end";
    EXPECT_EQ(make(t.type, size_t(-4), 8), E_INVALIDARG) << "an offset that wraps";
    EXPECT_EQ(make(t.type, 0, 6), E_INVALIDARG) << "a frame and a half";
    AM_MEDIA_TYPE cut = t.type;
    cut.cbFormat = 16;
    EXPECT_EQ(make(cut, 0, 4), VFW_E_INVALIDMEDIATYPE) << "a block too short to read";
    const AudioType f(true, 2, 48000);
    cut = f.type;
    cut.cbFormat = sizeof(WAVEFORMATEX) + 2;
    EXPECT_EQ(make(cut, 0, 8), VFW_E_INVALIDMEDIATYPE) << "an extensible tag on a short block";
}

// Through the DLL's filter: it must take the source's connection and allocator.
class PushSourceFilterTest : public FilterDllTest {
  protected:
    // The filter's output for noise on 1000-frame blocks, checked against the schedule.
    std::vector<uint8_t> FilterOutput(bool bypass) {
        const AudioType t(false, 2, 44100);
        input = Noise(20000 * 4);
        const auto schedule = SamplesOf(BlockSchedule(20000, 1000, 44100), 4);
        PushSource* source = NewSource(t, input, schedule);
        IBaseFilter* filter = nullptr;
        IFilterSettings* settings = nullptr;
        EXPECT_EQ(dll.Create(IID_IBaseFilter, &filter), S_OK);
        if (source == nullptr || filter == nullptr) return {};
        filter->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings));
        const float values[6] = {1200, 85, 0, 1, 0, 90};
        EXPECT_EQ(settings->SetAllParams(values), S_OK);
        if (bypass) {
            EXPECT_EQ(settings->PutScaledBypass(1), S_OK);
        }
        const auto got = StreamOnce(source, filter, t);
        ExpectSchedule(got, 0, schedule, nullptr);
        EXPECT_LE(got.size(), schedule.size() + 1) << "at most the filter's empty drain buffer";
        std::vector<uint8_t> output;
        for (const RecordedSample& r : got)
            output.insert(output.end(), r.bytes.begin(), r.bytes.end());
        settings->Release();
        EXPECT_EQ(filter->Release(), 0u);
        EXPECT_EQ(source->Release(), 0u);
        return output;
    }
    std::vector<uint8_t> input;
};

TEST_F(PushSourceFilterTest, InBypassTheFilterPassesTheSourceBytesUnchanged) {
    EXPECT_EQ(FilterOutput(true), input);
}

TEST_F(PushSourceFilterTest, WithTheFilterActiveTheBytesChange) {
    const auto output = FilterOutput(false);
    EXPECT_EQ(output.size(), input.size());
    EXPECT_NE(output, input);
}

}  // namespace
