// A source that changes the format in band, as a host switching clips does: the filter adopts
// an accepted type from that sample on, and ends the stream cleanly on a refused one.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "filter/FilterDll.h"
#include "stream/WaveFormatCheck.h"
#include "tools/graph/AudioGraph.h"
#include "tools/graph/PushSource.h"

namespace {

std::vector<uint8_t> Block(const WAVEFORMATEX& f) {
    std::vector<uint8_t> b(sizeof f);
    std::memcpy(b.data(), &f, sizeof f);
    return b;
}

struct Part {
    WAVEFORMATEX format;
    std::vector<uint8_t> bytes;
    std::vector<ScheduledSample> samples;  // offsets into bytes
};

// `frames` of a test tone in `f`, cut into samples of `block` frames from time `start` on.
Part MakePart(const WAVEFORMATEX& f, DWORD frames, DWORD block, REFERENCE_TIME start) {
    Part p{f, std::vector<uint8_t>(size_t(frames) * f.nBlockAlign), {}};
    for (DWORD i = 0; i < frames * f.nChannels; ++i) {
        const double v = 0.4 * std::sin(0.05 * i) + 0.2 * std::sin(0.71 * i);
        if (f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
            const float s = float(v);
            std::memcpy(p.bytes.data() + 4 * i, &s, 4);
        } else {
            const int16_t s = int16_t(v * 32767);
            std::memcpy(p.bytes.data() + 2 * i, &s, 2);
        }
    }
    for (DWORD at = 0; at < frames; at += block) {
        ScheduledSample s;
        const DWORD n = std::min(block, frames - at);
        s.offset = size_t(at) * f.nBlockAlign;
        s.length = size_t(n) * f.nBlockAlign;
        s.start = start + REFERENCE_TIME(double(at) * 1e7 / f.nSamplesPerSec + 0.5);
        s.stop = start + REFERENCE_TIME(double(at + n) * 1e7 / f.nSamplesPerSec + 0.5);
        p.samples.push_back(s);
    }
    return p;
}

class FormatChangeTest : public FilterDllTest {
  protected:
    // Streams the parts one after the other through a new filter with a frequency sweep; the
    // bytes that reached the sink, and the graph's events.
    std::vector<uint8_t> Stream(std::vector<Part> parts, std::vector<long>* events) {
        IBaseFilter* filter = nullptr;
        EXPECT_EQ(dll.Create(IID_IBaseFilter, &filter), S_OK);
        IMediaParams* params = nullptr;
        filter->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params));
        MP_ENVELOPE_SEGMENT sweep = {0, 30000000, 200, 4000, MP_CURVE_LINEAR, 0};
        EXPECT_EQ(params->AddEnvelope(0, 1, &sweep), S_OK);
        params->SetParam(1, 85);
        params->Release();

        std::vector<uint8_t> bytes;
        std::vector<ScheduledSample> schedule;
        for (size_t k = 0; k < parts.size(); ++k) {
            for (size_t i = 0; i < parts[k].samples.size(); ++i) {
                ScheduledSample s = parts[k].samples[i];
                s.offset += bytes.size();
                if (k > 0 && i == 0) s.newFormat = Block(parts[k].format);
                schedule.push_back(s);
            }
            bytes.insert(bytes.end(), parts[k].bytes.begin(), parts[k].bytes.end());
        }
        AM_MEDIA_TYPE type = PlainAudioType(&parts[0].format);
        PushSource* source = nullptr;
        EXPECT_EQ(PushSource::Create(type, bytes, schedule, &source), S_OK);
        SampleRecorder recorder;
        {
            AudioGraph graph;
            EXPECT_EQ(graph.BuildFromSource(source, filter, &recorder), S_OK);
            EXPECT_HRESULT_SUCCEEDED(graph.Run());
            // The end of stream completes the graph; the abort follows it.
            graph.WaitForComplete(20000);
            graph.WaitForComplete(300);
            *events = graph.Events();
            graph.Stop();
        }
        source->Release();
        EXPECT_EQ(filter->Release(), 0u);
        std::vector<uint8_t> out;
        for (const RecordedSample& r : recorder.Samples())
            out.insert(out.end(), r.bytes.begin(), r.bytes.end());
        return out;
    }
};

TEST_F(FormatChangeTest, AnAcceptedTypeIsAdoptedAndARefusedOneEndsTheStream) {
    const Part pcm = MakePart(MakeStoredFormat(WAVE_FORMAT_PCM, 2, 44100, 16), 30000, 4410, 0);
    const Part flt =
        MakePart(MakeStoredFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32), 40000, 4800, 8000000);
    // Thirty-three channels: no filter type takes them.
    const Part refused =
        MakePart(MakeStoredFormat(WAVE_FORMAT_PCM, 33, 48000, 16), 2000, 1000, 17000000);
    std::vector<long> events;
    const std::vector<uint8_t> alone1 = Stream({pcm}, &events);
    const std::vector<uint8_t> alone2 = Stream({flt}, &events);
    ASSERT_EQ(alone1.size(), pcm.bytes.size());
    ASSERT_EQ(alone2.size(), flt.bytes.size());

    const std::vector<uint8_t> changed = Stream({pcm, flt, refused}, &events);
    std::vector<uint8_t> expected = alone1;
    expected.insert(expected.end(), alone2.begin(), alone2.end());
    ASSERT_EQ(changed.size(), expected.size()) << "the refused sample must not pass";
    EXPECT_TRUE(changed == expected) << "the float part was not filtered as float at 48 kHz";
    EXPECT_NE(std::find(events.begin(), events.end(), EC_ERRORABORT), events.end());
}

}  // namespace
