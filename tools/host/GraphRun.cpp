#include "tools/host/GraphRun.h"

#include <cstdio>

#include "tools/common/Progress.h"
#include "tools/common/Schedule.h"
#include "tools/graph/AudioGraph.h"
#include "tools/graph/PushSource.h"
#include "tools/host/HostFilter.h"
#include "tools/host/WavSink.h"

namespace {

// A graph that stops moving for this long has hung; the run fails rather than waits for ever.
constexpr DWORD kStallMs = 60000;

std::wstring Widen(const std::string& text) {
    std::wstring w;
    for (unsigned char c : text)
        w += wchar_t(c);
    return w;
}

HRESULT MakeSource(const AudioData& audio, uint32_t block, IBaseFilter** out) {
    WAVEFORMATEX format = StreamWaveFormat(audio.encoding, audio.channels, audio.rate);
    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Audio;
    type.subtype =
        format.wFormatTag == WAVE_FORMAT_PCM ? MEDIASUBTYPE_PCM : MEDIASUBTYPE_IEEE_FLOAT;
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = format.nBlockAlign;
    type.formattype = FORMAT_WaveFormatEx;
    type.cbFormat = sizeof format;
    type.pbFormat = reinterpret_cast<BYTE*>(&format);
    std::vector<ScheduledSample> samples =
        SamplesOf(BlockSchedule(audio.Frames(), block, audio.rate), format.nBlockAlign);
    PushSource* source = nullptr;
    const HRESULT hr = PushSource::Create(type, audio.bytes, std::move(samples), &source);
    *out = source;
    return hr;
}

}  // namespace

GraphResult RunGraph(const ToolOptions& o, IBaseFilter* filter, const std::string& file,
                     const AudioData& audio, uint64_t frames, WavWriter& writer, const char* tool,
                     GraphPacing pacing) {
    GraphResult result;
    const WORD align = WORD(audio.FrameBytes());
    WavSink sink(writer, align);
    std::string streamed = file, scratch;
    IBaseFilter* source = nullptr;
    HRESULT hr = S_OK;
    if (o.block) {
        hr = MakeSource(audio, o.block, &source);
    } else if (streamed.empty()) {
        scratch = streamed = o.output + ".stream.wav";
        if (!WriteWavFile(scratch, audio)) {
            result.error = scratch + ": cannot be written";
            return result;
        }
    }
    {
        AudioGraph graph;
        if (FAILED(hr)) {
            result.error = "cannot create the source (" + HresultText(hr) + ")";
        } else if (FAILED(hr = source ? graph.BuildFromSource(source, filter, &sink)
                                      : graph.Build(Widen(streamed), filter, &sink))) {
            result.error = std::string("cannot build the graph at ") + graph.FailedStep() + " (" +
                           HresultText(hr) + ")";
        } else if (pacing.realTime && FAILED(hr = graph.UseDefaultClock())) {
            result.error = "the graph has no clock (" + HresultText(hr) + ")";
        } else {
            Progress progress(tool, !o.quiet, frames);
            LARGE_INTEGER frequency, start, end;
            QueryPerformanceFrequency(&frequency);
            QueryPerformanceCounter(&start);
            bool done = false, moving = true;
            if (FAILED(hr = graph.Run())) {
                result.error = "the graph did not run (" + HresultText(hr) + ")";
            } else {
                uint64_t seen = 0;
                DWORD still = GetTickCount();
                bool cancelled = false;
                while (!done && moving && !cancelled) {
                    done = graph.WaitForComplete(250);
                    const std::vector<long>& events = graph.Events();
                    if (!events.empty() &&
                        (events.back() == EC_ERRORABORT || events.back() == EC_USERABORT))
                        break;
                    if (sink.Frames() != seen) {
                        seen = sink.Frames();
                        still = GetTickCount();
                    }
                    // Playback waits on the clock, not on the filter: no stall watch then.
                    moving = pacing.realTime || GetTickCount() - still < kStallMs;
                    cancelled = pacing.cancel != nullptr && pacing.cancel->load();
                    progress.Update(seen);
                }
                if (!done)
                    result.error = cancelled ? "stopped before the end of the stream"
                                   : moving  ? "the graph stopped with an error"
                                             : "the graph hung";
            }
            QueryPerformanceCounter(&end);
            graph.Stop();
            progress.Finish();
            result.seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
            if (done && sink.Failed()) {
                result.error = o.output + ": writing failed";
            } else if (done && sink.Frames() != frames) {
                result.error = "the graph delivered " + std::to_string(sink.Frames()) + " of " +
                               std::to_string(frames) + " frames";
            } else {
                result.ok = done;
            }
        }
    }
    if (source != nullptr) source->Release();
    if (!scratch.empty()) std::remove(scratch.c_str());
    return result;
}
