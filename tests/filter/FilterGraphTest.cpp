// The DLL's filter streaming in a graph that Wine's filter graph manager builds: File Source,
// WAVE Parser (or our push source offering the file's own record), the filter, a recording
// Sample Grabber. Its output must be bit for bit what the portable core gives for the same
// input, settings, automation and buffer schedule on the type the graph offered; the core in
// turn gives the same bits in every build (the DSP determinism digest).
#include <cmath>
#include <cstring>

#include "FilterDll.h"
#include "WavWriter.h"
#include "platform/NullOwner.h"
#include "stream/StreamDriver.h"
#include "stream/WaveFormatCheck.h"
#include "support/win32/WavFile.h"
#include "tools/graph/AudioGraph.h"
#include "tools/graph/PushSource.h"

namespace {

struct Case {
    const char* name;
    WORD tag, channels, bits;
    bool automated;
    WORD valid = 0;  // the file's valid bits; 0: the whole container
    // The push source offers the file's own record; Wine 8's parser drops the valid bits.
    bool pushed = false;
};

// Input bytes of a swept tone with some noise, in the case's format.
std::vector<uint8_t> Signal(const Case& c, int frames) {
    std::vector<uint8_t> out;
    uint32_t noise = 99;
    for (int n = 0; n < frames; ++n) {
        for (int ch = 0; ch < c.channels; ++ch) {
            noise = noise * 1664525u + 1013904223u;
            const double x = 0.6 * std::sin(0.0005 * n * n / 100.0 + ch) +
                             0.1 * (double(int32_t(noise)) / 2147483648.0);
            if (c.tag == WAVE_FORMAT_IEEE_FLOAT && c.bits == 32) {
                const float v = float(x);
                out.insert(out.end(), reinterpret_cast<const uint8_t*>(&v),
                           reinterpret_cast<const uint8_t*>(&v) + 4);
            } else if (c.tag == WAVE_FORMAT_IEEE_FLOAT) {
                out.insert(out.end(), reinterpret_cast<const uint8_t*>(&x),
                           reinterpret_cast<const uint8_t*>(&x) + 8);
            } else if (c.bits == 8) {
                out.push_back(uint8_t(int(x * 127) + 128));
            } else if (c.bits == 16) {
                const int16_t v = int16_t(x * 32000);
                out.insert(out.end(), reinterpret_cast<const uint8_t*>(&v),
                           reinterpret_cast<const uint8_t*>(&v) + 2);
            } else {
                out.resize(out.size() + c.bits / 8);
                PutWidePcm(&out[out.size() - c.bits / 8], x, c.bits, c.valid);
            }
        }
    }
    return out;
}

const float kSettings[6] = {1200, 85, 0, 1, 0, 90};
const MP_ENVELOPE_SEGMENT kSweep = {1000000, 6000000, 300, 8000, MP_CURVE_LINEAR, 0};
const MP_ENVELOPE_SEGMENT kTypeJump = {4000000, 8000000, 2, 2, MP_CURVE_JUMP, 0};

// The same settings and automation, on the DLL's IMediaParams or on the core's store.
void Configure(IMediaParams* params, bool automated) {
    if (!automated) return;
    MP_ENVELOPE_SEGMENT sweep = kSweep, jump = kTypeJump;
    params->AddEnvelope(kParamFrequency, 1, &sweep);
    params->AddEnvelope(kParamFilterType, 1, &jump);
}

// Replays `samples` from index `first` on a fresh core fed the input from its start, with the
// valid bits the graph offered, and expects every delivered buffer to match and all of the
// input to have come through.
void ExpectCoreAgrees(const Case& c, const std::vector<uint8_t>& input,
                      const std::vector<RecordedSample>& samples, size_t first, WORD valid = 0) {
    NullOwner owner;
    HRESULT hr = E_FAIL;
    FilterDsp dsp(&owner, &hr);
    ASSERT_EQ(hr, S_OK);
    dsp.Store().SetAllParams(kSettings);
    Configure(&dsp.Store(), c.automated);
    StreamDriver core(dsp);
    core.StoreFormat(MakeStoredFormat(c.tag, c.channels, 44100, c.bits), valid);
    ASSERT_EQ(core.StartStreaming(), S_OK);
    std::vector<uint8_t> expected = input;
    const size_t align = size_t(c.bits / 8 * c.channels);
    size_t at = 0;
    for (size_t k = first; k < samples.size(); ++k) {
        const RecordedSample& s = samples[k];
        if (s.length == 0) break;
        ASSERT_LE(at + size_t(s.length), expected.size());
        dsp.Store().SetSampleTimes(s.hasTime ? &s.start : nullptr);
        DWORD done = 0;
        core.RunBuffer(expected.data() + at, DWORD(size_t(s.length) / align),
                       s.discontinuity ? kBlockRestart : kBlockContinue, &done);
        ASSERT_EQ(std::memcmp(s.bytes.data(), expected.data() + at, size_t(s.length)), 0)
            << "buffer at byte " << at;
        at += size_t(s.length);
    }
    EXPECT_EQ(at, input.size()) << "every frame came through";
    EXPECT_NE(expected, input) << "the filter did something";
}

class FilterGraphTest : public FilterDllTest, public ::testing::WithParamInterface<Case> {};

// The type a connected pin carries: its format block and subtype.
struct PinType {
    std::vector<uint8_t> format;
    GUID subtype{};
};

PinType ConnectedType(IBaseFilter* filter, PIN_DIRECTION direction) {
    PinType t;
    IPin* pin = FirstPin(filter, direction);
    AM_MEDIA_TYPE type{};
    if (pin != nullptr && SUCCEEDED(pin->ConnectionMediaType(&type))) {
        t.subtype = type.subtype;
        t.format.assign(type.pbFormat, type.pbFormat + type.cbFormat);
        CoTaskMemFree(type.pbFormat);
        if (type.pUnk != nullptr) type.pUnk->Release();
    }
    if (pin != nullptr) pin->Release();
    return t;
}

// The push source over the file's bytes with the file's own record, cut as the parser cuts.
PushSource* PushedFile(const Case& c, const std::vector<uint8_t>& input) {
    std::vector<uint8_t> record = WaveRecord(c.tag, c.channels, 44100, c.bits, c.valid);
    WAVEFORMATEX plain = MakeStoredFormat(c.tag, c.channels, 44100, c.bits);
    AM_MEDIA_TYPE type =
        PlainAudioType(reinterpret_cast<WAVEFORMATEX*>(record.data()), ULONG(record.size()));
    PushSource* source = nullptr;
    EXPECT_EQ(PushSource::Create(type, input,
                                 SamplesOf(ParserSchedule(input.size() / plain.nBlockAlign, plain),
                                           plain.nBlockAlign),
                                 &source),
              S_OK);
    return source;
}

TEST_P(FilterGraphTest, OutputIsBitIdenticalToTheCoreOnTheSameSchedule) {
    const Case c = GetParam();
    const int frames = 44100;
    const std::vector<uint8_t> input = Signal(c, frames);
    const std::wstring path = TempWavPath(L"rf_filter_graph");
    ASSERT_TRUE(WriteWav(path, c.tag, c.channels, 44100, c.bits, input, c.valid));

    IBaseFilter* filter = nullptr;
    ASSERT_EQ(dll.Create(IID_IBaseFilter, &filter), S_OK);
    IFilterSettings* settings = nullptr;
    IMediaParams* params = nullptr;
    ASSERT_EQ(filter->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings)),
              S_OK);
    ASSERT_EQ(filter->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params)), S_OK);
    ASSERT_EQ(settings->SetAllParams(kSettings), S_OK);
    Configure(params, c.automated);

    SampleRecorder recorder;
    std::vector<RecordedSample> samples;
    WORD offeredValid = 0;
    PushSource* source = c.pushed ? PushedFile(c, input) : nullptr;
    {
        AudioGraph graph;
        const HRESULT built = c.pushed ? graph.BuildFromSource(source, filter, &recorder)
                                       : graph.Build(path, filter, &recorder, nullptr);
        ASSERT_EQ(built, S_OK) << (graph.FailedStep() ? graph.FailedStep() : "?");
        // In place, the output carries the very type the input was given, extensible or not.
        const PinType in = ConnectedType(filter, PINDIR_INPUT);
        const PinType out = ConnectedType(filter, PINDIR_OUTPUT);
        EXPECT_EQ(out.format, in.format);
        EXPECT_TRUE(IsEqualGUID(out.subtype, in.subtype));
        ASSERT_EQ(CheckWaveFormat(in.format.data(), in.format.size(), nullptr, &offeredValid),
                  S_OK);
        if (c.pushed) {
            EXPECT_EQ(in.format, WaveRecord(c.tag, c.channels, 44100, c.bits, c.valid));
        }
        WAVEFORMATEX stored{};
        ASSERT_EQ(settings->GetWaveFormat(&stored), S_OK);
        EXPECT_EQ(stored.wFormatTag, c.tag) << "the plain record of an extensible stream";
        EXPECT_EQ(stored.nChannels, c.channels);
        EXPECT_EQ(stored.nSamplesPerSec, 44100u);
        EXPECT_EQ(stored.nBlockAlign, c.bits / 8 * c.channels);
        EXPECT_EQ(stored.nAvgBytesPerSec, 44100u * stored.nBlockAlign);
        EXPECT_EQ(stored.wBitsPerSample, c.bits);
        EXPECT_EQ(stored.cbSize, 0);
        ASSERT_HRESULT_SUCCEEDED(graph.Run());
        ASSERT_TRUE(graph.WaitForComplete(20000));
        graph.Stop();
        samples = recorder.Samples();
    }
    if (source != nullptr) source->Release();
    DeleteFileW(path.c_str());

    // End of stream: one empty buffer is delivered last.
    ASSERT_FALSE(samples.empty());
    EXPECT_EQ(samples.back().length, 0);
    size_t empties = 0;
    for (const RecordedSample& s : samples)
        empties += s.length == 0;
    EXPECT_EQ(empties, 1u);

    // Fewer valid bits than the container: the ones below them stay zero, as the host said.
    if (offeredValid < c.bits) {
        const uint32_t below = (1u << (32 - offeredValid)) - 1;  // of the sample at the top
        const size_t bytes = c.bits / 8;
        size_t dirty = 0;
        for (const RecordedSample& s : samples) {
            for (size_t at = 0; at + bytes <= s.bytes.size(); at += bytes) {
                uint32_t v = 0;
                for (size_t b = 0; b < bytes; ++b)
                    v |= uint32_t(s.bytes[at + b]) << (32 - c.bits + 8 * b);
                dirty += (v & below) != 0;
            }
        }
        EXPECT_EQ(dirty, 0u) << "samples with bits below the " << offeredValid << " valid";
    }

    // The core, fed the input on the recorded schedule, with the valid bits the graph offered.
    ExpectCoreAgrees(c, input, samples, 0, offeredValid);

    params->Release();
    settings->Release();
    EXPECT_EQ(filter->Release(), 0u);
    EXPECT_EQ(recorder.Refs(), 0);
}

TEST_F(FilterDllTest, StoppingAndRunningAgainStreamsTheWholeFileAfreshEachTime) {
    const Case c{"Pcm16StereoAutomated", WAVE_FORMAT_PCM, 2, 16, true};
    const std::vector<uint8_t> input = Signal(c, 30000);
    const std::wstring path = TempWavPath(L"rf_filter_rerun");
    ASSERT_TRUE(WriteWav(path, c.tag, c.channels, 44100, c.bits, input));
    IBaseFilter* filter = nullptr;
    ASSERT_EQ(dll.Create(IID_IBaseFilter, &filter), S_OK);
    IFilterSettings* settings = nullptr;
    IMediaParams* params = nullptr;
    filter->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings));
    filter->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params));
    ASSERT_EQ(settings->SetAllParams(kSettings), S_OK);
    Configure(params, c.automated);
    const ULONG before = RefCount(filter);
    SampleRecorder recorder;
    std::vector<RecordedSample> samples;
    {
        AudioGraph graph;
        ASSERT_EQ(graph.Build(path, filter, &recorder, nullptr), S_OK);
        for (int pass = 0; pass < 3; ++pass) {
            ASSERT_HRESULT_SUCCEEDED(graph.Run());
            ASSERT_TRUE(graph.WaitForComplete(20000)) << "pass " << pass;
            ASSERT_HRESULT_SUCCEEDED(graph.Stop());
            // The next run starts from the file's beginning again. Like an editor rewinding, set
            // the values back: the envelope left Frequency where its sweep ended.
            ASSERT_EQ(settings->SetAllParams(kSettings), S_OK);
            REFERENCE_TIME zero = 0;
            graph.Seeking()->SetPositions(&zero, AM_SEEKING_AbsolutePositioning, nullptr,
                                          AM_SEEKING_NoPositioning);
        }
        samples = recorder.Samples();
    }
    DeleteFileW(path.c_str());
    EXPECT_EQ(RefCount(filter), before) << "the released graph left references";
    // Every pass begins with a discontinuity and matches a fresh core.
    size_t passes = 0;
    for (size_t k = 0; k < samples.size(); ++k) {
        if (!samples[k].discontinuity || samples[k].length == 0) continue;
        ExpectCoreAgrees(c, input, samples, k);
        ++passes;
    }
    EXPECT_EQ(passes, 3u);
    params->Release();
    settings->Release();
    EXPECT_EQ(filter->Release(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FilterGraphTest,
    ::testing::Values(Case{"Pcm8Mono", WAVE_FORMAT_PCM, 1, 8, false},
                      Case{"Pcm16Stereo", WAVE_FORMAT_PCM, 2, 16, false},
                      Case{"Pcm16MonoAutomated", WAVE_FORMAT_PCM, 1, 16, true},
                      Case{"Pcm16StereoAutomated", WAVE_FORMAT_PCM, 2, 16, true},
                      Case{"Float32StereoAutomated", WAVE_FORMAT_IEEE_FLOAT, 2, 32, true},
                      Case{"Float64MonoAutomated", WAVE_FORMAT_IEEE_FLOAT, 1, 64, true},
                      Case{"Float32FivePointOneAutomated", WAVE_FORMAT_IEEE_FLOAT, 6, 32, true},
                      Case{"Pcm16EightChannels", WAVE_FORMAT_PCM, 8, 16, false},
                      Case{"Pcm24StereoAutomated", WAVE_FORMAT_PCM, 2, 24, true},
                      // The parser offers these as plain 24 and 32 bits.
                      Case{"Pcm20In24ThroughTheParser", WAVE_FORMAT_PCM, 2, 24, true, 20},
                      Case{"Pcm24In32ThroughTheParser", WAVE_FORMAT_PCM, 6, 32, true, 24},
                      Case{"Pcm20In24Pushed", WAVE_FORMAT_PCM, 2, 24, true, 20, true},
                      Case{"Pcm24In32Pushed", WAVE_FORMAT_PCM, 6, 32, true, 24, true}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
