// A source that changes the format in band, as a host switching clips does: the filter adopts
// an accepted type from that sample on, valid bits included, and ends the stream cleanly on a
// refused one; a later run starts again in the connection's type.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "filter/FilterDll.h"
#include "filter/WavWriter.h"
#include "stream/WaveFormatCheck.h"
#include "tools/graph/AudioGraph.h"
#include "tools/graph/PushSource.h"

namespace {

std::vector<uint8_t> Block(const WAVEFORMATEX& f) {
    std::vector<uint8_t> b(sizeof f);
    std::memcpy(b.data(), &f, sizeof f);
    return b;
}

// A file's extensible record, as a media type's format block.
std::vector<uint8_t> Extensible(WORD tag, WORD channels, DWORD rate, WORD bits, WORD valid) {
    return WaveRecord(tag, channels, rate, bits, valid, true);
}

struct Part {
    std::vector<uint8_t> record;  // the type's format block, plain or extensible
    std::vector<uint8_t> bytes;
    std::vector<ScheduledSample> samples;  // offsets into bytes
};

// `frames` of a test tone in `record`, cut into samples of `block` frames from time `start` on.
Part MakePart(std::vector<uint8_t> record, DWORD frames, DWORD block, REFERENCE_TIME start) {
    WAVEFORMATEX f;
    std::memcpy(&f, record.data(), sizeof f);
    WORD valid = f.wBitsPerSample;
    if (CheckWaveFormat(record.data(), record.size(), &f, &valid) != S_OK) {
        f.nBlockAlign = WORD(f.wBitsPerSample / 8 * f.nChannels);  // a type to be refused
        f.wFormatTag = WAVE_FORMAT_PCM;
    }
    Part p{record, std::vector<uint8_t>(size_t(frames) * f.nBlockAlign), {}};
    for (DWORD i = 0; i < frames * f.nChannels; ++i) {
        const double v = 0.4 * std::sin(0.05 * i) + 0.2 * std::sin(0.71 * i);
        if (f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
            const float s = float(v);
            std::memcpy(p.bytes.data() + 4 * i, &s, 4);
        } else if (f.wBitsPerSample == 16) {
            const int16_t s = int16_t(v * 32767);
            std::memcpy(p.bytes.data() + 2 * i, &s, 2);
        } else {
            PutWidePcm(p.bytes.data() + f.wBitsPerSample / 8 * i, v, f.wBitsPerSample, valid);
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
    // Streams the parts one after the other through a new filter with a frequency sweep, `runs`
    // times; the bytes that reached the sink, and the graph's events.
    std::vector<uint8_t> Stream(std::vector<const Part*> parts, std::vector<long>* events,
                                int runs = 1) {
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
            for (size_t i = 0; i < parts[k]->samples.size(); ++i) {
                ScheduledSample s = parts[k]->samples[i];
                s.offset += bytes.size();
                if (k > 0 && i == 0) s.newFormat = parts[k]->record;
                schedule.push_back(s);
            }
            bytes.insert(bytes.end(), parts[k]->bytes.begin(), parts[k]->bytes.end());
        }
        std::vector<uint8_t> record = parts[0]->record;
        AM_MEDIA_TYPE type =
            PlainAudioType(reinterpret_cast<WAVEFORMATEX*>(record.data()), ULONG(record.size()));
        PushSource* source = nullptr;
        EXPECT_EQ(PushSource::Create(type, bytes, schedule, &source), S_OK);
        SampleRecorder recorder;
        {
            AudioGraph graph;
            EXPECT_EQ(graph.BuildFromSource(source, filter, &recorder), S_OK);
            for (int run = 0; run < runs; ++run) {
                EXPECT_HRESULT_SUCCEEDED(graph.Run());
                // The end of stream completes the graph; an abort follows it.
                graph.WaitForComplete(20000);
                graph.WaitForComplete(300);
                graph.Stop();
            }
            *events = graph.Events();
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
    const Part pcm =
        MakePart(Block(MakeStoredFormat(WAVE_FORMAT_PCM, 2, 44100, 16)), 30000, 4410, 0);
    const Part flt = MakePart(Block(MakeStoredFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32)), 40000,
                              4800, 8000000);
    // Thirty-three channels: no filter type takes them.
    const Part refused =
        MakePart(Block(MakeStoredFormat(WAVE_FORMAT_PCM, 33, 48000, 16)), 2000, 1000, 17000000);
    // A film's 5.1 mix, then a stereo clip.
    const Part surround =
        MakePart(Extensible(WAVE_FORMAT_IEEE_FLOAT, 6, 48000, 32, 32), 24000, 4800, 0);
    const Part stereo = MakePart(Block(MakeStoredFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32)),
                                 28800, 4800, 6000000);
    // 24 valid bits in 32, then all 32: only the valid bits tell the two records apart, so a
    // second run must find its way back to the 24 the connection carries.
    const Part valid24 = MakePart(Extensible(WAVE_FORMAT_PCM, 2, 48000, 32, 24), 24000, 4800, 0);
    const Part full32 =
        MakePart(Block(MakeStoredFormat(WAVE_FORMAT_PCM, 2, 48000, 32)), 24000, 4800, 6000000);
    const struct {
        const char* name;
        std::vector<const Part*> parts;
        bool endsRefused;
    } sequences[] = {
        {"16-bit, float at 48 kHz, 33 channels", {&pcm, &flt, &refused}, true},
        {"5.1 float to stereo", {&surround, &stereo}, false},
        {"24 valid bits in 32 to 32", {&valid24, &full32}, false},
    };
    for (const auto& seq : sequences) {
        SCOPED_TRACE(seq.name);
        std::vector<long> events;
        std::vector<uint8_t> expected;
        for (const Part* part : seq.parts) {
            if (part == &refused) continue;
            const std::vector<uint8_t> alone = Stream({part}, &events);
            ASSERT_EQ(alone.size(), part->bytes.size());
            expected.insert(expected.end(), alone.begin(), alone.end());
        }
        // After a refusal the stream is over; otherwise a second run must give the same bytes.
        const int runs = seq.endsRefused ? 1 : 2;
        const std::vector<uint8_t> changed = Stream(seq.parts, &events, runs);
        ASSERT_EQ(changed.size(), expected.size() * runs) << "the refused sample must not pass";
        for (int run = 0; run < runs; ++run) {
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(),
                                   changed.begin() + ptrdiff_t(run * expected.size())))
                << "run " << run << ": a part was not filtered in its own format";
        }
        EXPECT_EQ(std::find(events.begin(), events.end(), EC_ERRORABORT) != events.end(),
                  seq.endsRefused);
    }
}

}  // namespace
