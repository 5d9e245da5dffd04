#include "tools/host/GraphRun.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>

#include "tools/common/Progress.h"
#include "tools/common/Schedule.h"
#include "tools/graph/AudioGraph.h"
#include "tools/graph/PushSource.h"
#include "tools/graph/WavFeed.h"
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

HRESULT MakeSource(WavPieceReader& input, uint32_t block, IBaseFilter** out) {
    const AudioData audio = input.StreamFormat();
    const WAVEFORMATEX plain = StreamWaveFormat(audio.encoding, audio.channels, audio.rate);
    // The file's own record, as the push source offers it: extensible with its valid bits and
    // channel mask when the file had them or the platform asks for them.
    const WavShape shape = ShapeFor(audio, audio.encoding);
    WAVEFORMATEXTENSIBLE wave{};
    wave.Format = plain;
    const bool extensible = shape.extensible || shape.validBits != 0;
    if (extensible) {
        wave.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
        wave.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
        wave.Samples.wValidBitsPerSample = shape.validBits ? shape.validBits : plain.wBitsPerSample;
        wave.dwChannelMask = shape.channelMask;
        wave.SubFormat =
            plain.wFormatTag == WAVE_FORMAT_PCM ? MEDIASUBTYPE_PCM : MEDIASUBTYPE_IEEE_FLOAT;
    }
    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Audio;
    type.subtype = plain.wFormatTag == WAVE_FORMAT_PCM ? MEDIASUBTYPE_PCM : MEDIASUBTYPE_IEEE_FLOAT;
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = plain.nBlockAlign;
    type.formattype = FORMAT_WaveFormatEx;
    type.cbFormat = extensible ? sizeof wave : sizeof plain;
    type.pbFormat = reinterpret_cast<BYTE*>(&wave);
    std::unique_ptr<SampleFeed> feed(new (std::nothrow)
                                         WavFeed(input, ScheduleCursor::Block(block, audio.rate)));
    PushSource* source = nullptr;
    const HRESULT hr = feed ? PushSource::Create(type, std::move(feed), &source) : E_OUTOFMEMORY;
    *out = source;
    return hr;
}

// The input converted to the stream's encoding, for the WAVE Parser to stream; a reason on failure.
bool WriteStreamCopy(const ToolOptions& o, WavPieceReader& input, const std::string& path,
                     std::string* error) {
    const AudioData format = input.StreamFormat();
    const size_t frameBytes = std::max(input.FileFormat().FrameBytes(), input.StreamFrameBytes());
    const size_t piece = std::max<size_t>(WavPieceReader::kDefaultChunkBytes / frameBytes, 1);
    std::vector<uint8_t> bytes(piece * input.StreamFrameBytes());
    WavWriter writer;
    *error = path + ": cannot be written";
    if (!writer.Open(path, format.encoding, format.channels, format.rate, format.encoding,
                     ShapeFor(format, format.encoding)))
        return false;
    for (uint64_t at = 0; at < input.Frames(); at += piece) {
        const size_t frames = input.Frames() - at < piece ? size_t(input.Frames() - at) : piece;
        if (!input.Read(at, frames, bytes.data())) {
            *error = o.input + ": cannot be read";
            return false;
        }
        if (!writer.Append(bytes.data(), frames * input.StreamFrameBytes())) return false;
    }
    return writer.Commit();
}

}  // namespace

GraphResult RunGraph(const ToolOptions& o, IBaseFilter* filter, WavPieceReader& input,
                     WavWriter& writer, const char* tool, GraphPacing pacing) {
    GraphResult result;
    const uint64_t frames = input.Frames();
    WavSink sink(writer, WORD(input.StreamFrameBytes()));
    std::string streamed = o.input, scratch;
    IBaseFilter* source = nullptr;
    HRESULT hr = S_OK;
    if (o.block) {
        hr = MakeSource(input, o.block, &source);
    } else if (input.StreamFormat().encoding != input.FileFormat().encoding) {
        scratch = streamed = o.output + ".stream.wav";
        if (!WriteStreamCopy(o, input, scratch, &result.error)) return result;
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
                // Wine's WAVE Parser gives nothing at all for some short packed 24-bit files.
                if (sink.Frames() == 0 && !o.block)
                    result.error += " (--block FRAMES streams the file without the WAVE Parser)";
            } else {
                result.ok = done;
            }
        }
    }
    if (source != nullptr) source->Release();
    if (!scratch.empty()) std::remove(scratch.c_str());
    return result;
}
