// rfhost: drives the registered ResonantFilter.dll the way an editor does. It creates the filter
// with CoCreateInstance, builds a real graph (File Source, WAVE Parser, the filter, a sink that
// writes a WAV file) and runs it with no clock; or, with --direct, feeds it 32-bit float buffers
// through its direct interface; or, with --dmo, puts the DMO in the platform's DMO Wrapper filter
// in the filter's place; or, with --mft, plays the file through the DMO's class as a transform in
// a Media Session.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/common/ParamTablePrinter.h"
#include "tools/common/Progress.h"
#include "tools/common/ResponsePlot.h"
#include "tools/common/Schedule.h"
#include "tools/common/StreamInput.h"
#include "tools/common/WavFile.h"
#include "tools/common/WavPieceReader.h"
#include "tools/host/GraphRun.h"
#include "tools/host/HostFilter.h"
#include "tools/host/MediaSessionRun.h"
#include "tools/host/PageFrame.h"

#if __has_include("resources/VersionNumber.h")
#include "resources/VersionNumber.h"
#else
#define RF_VERSION_TEXT "(unnumbered)"
#endif

namespace {

constexpr char kTool[] = "rfhost";

int Report(int status, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kTool, message.c_str());
    return status;
}
int BadInput(const std::string& message) {
    return Report(2, message);
}
int Failure(const std::string& message) {
    return Report(1, message);
}

// The direct interface over the whole stream, cut as the graph would cut it, a buffer at a time
// from the file to the writer.
bool ProcessDirect(const ToolOptions& o, IDirectProcess* direct, WavPieceReader& input,
                   WavWriter& writer, double* seconds, std::string* error) {
    const AudioData audio = input.StreamFormat();
    const WAVEFORMATEX format = StreamWaveFormat(audio.encoding, audio.channels, audio.rate);
    const ScheduleCursor cursor =
        o.block ? ScheduleCursor::Block(o.block, audio.rate) : ScheduleCursor::Parser(format);
    const uint64_t frames = input.Frames(), block = cursor.BlockFrames();
    if (FAILED(direct->Init(audio.channels, audio.rate))) {
        *error = "the filter could not start";
        return false;
    }
    std::vector<float> buffer(size_t(frames < block ? frames : block) * audio.channels);
    Progress progress(kTool, !o.quiet, frames);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    bool ok = true;
    for (uint64_t first = 0; ok && first < frames; first += block) {
        const uint32_t n = uint32_t(frames - first < block ? frames - first : block);
        auto* bytes = reinterpret_cast<uint8_t*>(buffer.data());
        if (!input.Read(first, n, bytes)) {
            *error = o.input + ": cannot be read";
            ok = false;
        } else {
            direct->Process(buffer.data(), n, 0);
            if (!writer.Append(bytes, size_t(n) * format.nBlockAlign)) {
                *error = o.output + ": writing failed";
                ok = false;
            }
        }
        progress.Update(first + n);
    }
    UINT none = 0;
    direct->Drain(nullptr, &none);
    direct->Stop();
    QueryPerformanceCounter(&end);
    *seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    progress.Finish();
    return ok;
}

// The impulse response of a second filter holding `values`, through its direct interface; the
// DMO sounds the same, so it stands for the DMO too.
bool MeasureImpulse(const MP_DATA values[kParamCount], DWORD rate, std::vector<float>* impulse,
                    std::string* error) {
    HostFilter probe;
    if (FAILED(probe.Create(error))) return false;
    probe.Settings()->SetAllParams(values);
    impulse->assign(ImpulseFrames(rate), 0.0f);
    (*impulse)[0] = 1.0f;
    if (FAILED(probe.Direct()->Init(1, rate))) {
        *error = "the filter could not start";
        return false;
    }
    for (size_t at = 0; at < impulse->size(); at += 4096) {
        const size_t n = impulse->size() - at < 4096 ? impulse->size() - at : 4096;
        probe.Direct()->Process(impulse->data() + at, UINT(n), 0);
    }
    probe.Direct()->Stop();
    return true;
}

int Run(const ToolOptions& o) {
    HostFilter host;
    std::string error;
    if (FAILED(o.mft   ? host.CreateMft(&error)
               : o.dmo ? host.CreateDmo(&error)
                       : host.Create(&error)))
        return Failure(error);
    if (o.listPresets) std::fputs(PresetListing(host.PresetNames()).c_str(), stdout);
    if (o.info) {
        std::printf("server %s (%u-bit)\n", host.ServerPath().c_str(), unsigned(sizeof(void*) * 8));
        PrintParamTable(host.Info());
    }

    const std::vector<std::string> names = host.PresetNames();
    const int preset = o.preset.empty() ? -1 : FindPreset(o.preset, names);
    if (!o.preset.empty() && preset < 0)
        return BadInput("unknown preset '" + o.preset + "' (see --list-presets)");

    // Every path takes the input a piece at a time, so memory does not grow with its length.
    WavPieceReader input;
    AudioData source, audio;  // formats only
    uint64_t frames = 0;
    if (!o.input.empty()) {
        if (!input.Open(o.input, &error)) return BadInput(o.input + ": " + error);
        source = input.FileFormat();
        frames = input.Frames();
        if (!ToStreamAudio(o, source, &audio, &error)) return BadInput(error);
        input.SetStreamEncoding(audio.encoding);
    }
    if (!host.Apply(o, preset, &error)) return BadInput(error);
    for (const std::string& warning : OverlapWarnings(o.envelopes))
        std::fprintf(stderr, "%s: warning: %s\n", kTool, warning.c_str());
    if (o.page) return ShowPageFrame(o, host, input, StoredEncodingFor(o, source.encoding), kTool);

    if (!o.input.empty()) {
        WavWriter writer;
        const Encoding stored = StoredEncodingFor(o, source.encoding);
        if (!writer.Open(o.output, audio.encoding, audio.channels, audio.rate, stored,
                         ShapeFor(input.FileFormat(), stored)))
            return BadInput(o.output + ": cannot be written");
        GraphResult result;
        if (o.direct) {
            if (!ProcessDirect(o, host.Direct(), input, writer, &result.seconds, &error))
                return Failure(error);
        } else if (o.mft) {
            result = RunMediaSession(o, host.Transform(), input, writer, kTool);
            if (!result.ok) return Failure(result.error);
        } else {
            result = RunGraph(o, host.Filter(), input, writer, kTool);
            if (!result.ok) return Failure(result.error);
        }
        if (!writer.Commit()) return Failure(o.output + ": writing failed");
        if (!o.quiet) {
            // On stderr, as resfilter's.
            const double seconds = result.seconds;
            std::fprintf(stderr, "%s: %s -> %s (wav, %s): %.0f frames, %u ch, %lu Hz, %s, %s%s",
                         kTool, o.input.c_str(), o.output.c_str(), EncodingName(stored),
                         double(frames), unsigned(audio.channels), (unsigned long)audio.rate,
                         EncodingName(audio.encoding),
                         o.direct ? "direct"
                         : o.dmo  ? "through the DMO Wrapper filter"
                         : o.mft  ? "through a Media Session"
                                  : "through the graph",
                         preset >= 0 ? (", preset " + names[size_t(preset)]).c_str() : "");
            if (seconds > 0)
                std::fprintf(stderr, ": %.1f M frames/s (%.0fx real time)",
                             double(frames) / seconds / 1e6, double(frames) / seconds / audio.rate);
            std::fprintf(stderr, "\n");
            if (writer.Clipped() > 0)
                std::fprintf(stderr, "%s: %llu samples clipped writing %s\n", kTool,
                             (unsigned long long)writer.Clipped(), EncodingName(stored));
        }
    }
    if (!o.saveSettings.empty() && !host.SaveSettings(o.saveSettings, &error))
        return Failure(error);
    if (!o.plot.empty()) {
        MP_DATA values[kParamCount];
        host.Settings()->GetAllParams(values);
        const DWORD rate = o.input.empty() ? 44100 : audio.rate;
        std::vector<float> impulse;
        ToolOptions silent = o;  // its line goes to stderr here, with the summary
        silent.quiet = true;
        if (!MeasureImpulse(values, rate, &impulse, &error) ||
            !PlotResponse(silent, values, impulse, rate, kTool, &error))
            return Failure(error);
        if (!o.quiet) std::fprintf(stderr, "%s: response plot in %s\n", kTool, o.plot.c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ToolOptions options;
    const int done = ParseCommandLine(argc, argv, Tool::Host, RF_VERSION_TEXT, &options);
    if (done >= 0) return done;
    // The property frame wants a single-threaded apartment; the filter is free-threaded.
    CoInitializeEx(nullptr, options.page ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED);
    const int status = Run(options);
    CoUninitialize();
    return status;
}
