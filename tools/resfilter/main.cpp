// resfilter: the filter's portable core over an audio file, with the Windows host's options, so
// that batch work needs no Windows and the DLL can be checked against the core bit for bit.
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "params/MediaParamStore.h"
#include "params/SettingsRecord.h"
#include "platform/NullOwner.h"
#include "presets/PresetTable.h"
#include "stream/StreamDriver.h"
#include "tools/common/ParamTablePrinter.h"
#include "tools/common/Progress.h"
#include "tools/common/ResponsePlot.h"
#include "tools/common/Schedule.h"
#include "tools/common/StreamInput.h"
#include "tools/common/System.h"
#include "tools/common/ToolOptions.h"
#include "tools/common/WavFile.h"
#include "tools/resfilter/InputFile.h"
#include "tools/resfilter/OutputFile.h"
#include "tools/resfilter/Pipeline.h"

namespace {

constexpr char kTool[] = "resfilter";

int BadInput(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kTool, message.c_str());
    return 2;
}

int Failure(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kTool, message.c_str());
    return 1;
}

// A write failed: nothing more can come of the run, so it ends at once, without waiting for a
// reader that may be blocked on input that never comes. The temporary output goes first.
[[noreturn]] void EndOnWriteFailure(const std::string& output, WriteBehind& behind,
                                    OutputFile& writer) {
    behind.Finish();  // the writing thread has failed, so this returns promptly
    writer.Abandon();
    Failure(output + ": writing failed: " + writer.Error());
    std::fflush(stderr);
    std::_Exit(1);
}

// One filter: its DSP, parameter store and streaming driver.
struct Core {
    NullOwner owner;
    HRESULT created = E_FAIL;
    FilterDsp dsp{&owner, &created};
    StreamDriver driver{dsp};
};

// The settings record a host saved, read as the filter's IPersistStream::Load reads it.
bool LoadSettings(const std::string& path, Core& core, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, &bytes, error)) {
        *error = path + ": " + *error;
        return false;
    }
    SettingsHeader header;
    if (bytes.size() < kSettingsHeaderBytes || FAILED(ParseSettingsHeader(bytes.data(), &header)) ||
        bytes.size() < kSettingsHeaderBytes + header.valueBytes) {
        *error = path + ": not a settings record of this filter";
        return false;
    }
    MP_DATA values[kParamCount];
    DecodeSettingsValues(header, bytes.data() + kSettingsHeaderBytes, values);
    core.dsp.Store().SetAllParams(values);
    core.dsp.MarkParamsChanged();
    return true;
}

bool SaveSettings(const std::string& path, Core& core, std::string* error) {
    MP_DATA values[kParamCount];
    core.dsp.Store().GetAllParams(values);
    BYTE record[kSettingsRecordBytes];
    EncodeSettingsRecord(values, record);
    const std::string temporary = path + ".partial";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    bool ok = f != nullptr && std::fwrite(record, 1, sizeof record, f) == sizeof record;
    if (f != nullptr) ok = std::fclose(f) == 0 && ok;
    ok = ok && ReplaceFileWith(temporary, path);
    if (!ok) {
        std::remove(temporary.c_str());
        *error = path + ": cannot be written";
    }
    return ok;
}

bool ApplySettings(const ToolOptions& o, int preset, Core& core, std::string* error) {
    MediaParamStore& store = core.dsp.Store();
    if (!o.loadSettings.empty() && !LoadSettings(o.loadSettings, core, error)) return false;
    if (preset >= 0) {
        store.SetAllParams(kPresetTable[preset].values);
        core.dsp.MarkParamsChanged();
    }
    for (DWORD i = 0; i < kParamCount; ++i)
        if (o.hasValue[i] && FAILED(store.SetParam(i, o.value[i]))) {
            *error = "the filter refused a value";
            return false;
        }
    for (const std::string& warning : OverlapWarnings(o.envelopes))
        std::fprintf(stderr, "%s: warning: %s\n", kTool, warning.c_str());
    for (const EnvelopeOption& e : o.envelopes) {
        MP_ENVELOPE_SEGMENT segment = e.segment;
        const HRESULT hr = store.AddEnvelope(e.param, 1, &segment);
        if (FAILED(hr)) {
            char text[80];
            std::snprintf(text, sizeof text, "an envelope was refused (0x%08X)", unsigned(hr));
            *error = text;
            return false;
        }
    }
    return true;
}

// What a run streamed, for the summary line.
struct Streamed {
    uint64_t frames = 0;
    double seconds = 0;      // in the core alone, not reading or writing
    std::string inputFault;  // why the input stopped early; what came before it was written
};

// Runs the stream through the core the way the DLL's pins or its direct interface would, one
// media sample at a time. Chunks of whole samples are read ahead and written behind on threads
// of their own, so memory does not grow with the file. Returns the exit status.
int Process(const ToolOptions& o, Core& core, InputFile& in, const AudioData& stream,
            OutputFile& writer, Streamed* done) {
    const WAVEFORMATEX format = StreamWaveFormat(stream.encoding, stream.channels, stream.rate);
    const ScheduleCursor cut =
        o.block ? ScheduleCursor::Block(o.block, stream.rate) : ScheduleCursor::Parser(format);
    const uint32_t block = cut.BlockFrames();
    if (block == 0) return 0;
    Progress progress(kTool, !o.quiet, in.ClaimedFrames());
    if (o.direct) {
        if (FAILED(core.driver.Init(stream.channels, stream.rate)))
            return Failure("the filter could not stream");
    } else {
        core.driver.StoreFormat(format, stream.validBits);
        if (FAILED(core.driver.StartStreaming())) return Failure("the filter could not stream");
    }
    // About a second and a half of samples per chunk at the parser's cuts.
    const uint32_t perChunk = block < 65536 ? 65536 / block : 1;
    ReadAhead reader(in, block * perChunk, stream.encoding);
    WriteBehind output(writer, [&reader] { reader.Stop(); });
    std::vector<uint8_t> chunk;
    for (;;) {
        if (!reader.Next(&chunk)) {
            if (!output.Finish()) EndOnWriteFailure(o.output, output, writer);
            done->inputFault = reader.Error();
            break;
        }
        const uint32_t frames = uint32_t(chunk.size() / format.nBlockAlign);
        if (frames == 0) break;
        const auto begin = std::chrono::steady_clock::now();
        for (uint32_t at = 0; at < frames;) {
            const uint32_t n = frames - at < block ? frames - at : block;
            const ScheduledBuffer b = cut.At(done->frames, n);
            if (b.frames == 0) break;
            uint8_t* data = chunk.data() + size_t(at) * format.nBlockAlign;
            if (o.direct) {
                core.driver.Process(reinterpret_cast<float*>(data), b.frames, 0);
            } else {
                core.dsp.Store().SetSampleTimes(&b.start);
                DWORD used = 0;
                core.driver.RunBuffer(data, b.frames,
                                      b.discontinuity ? kBlockRestart : kBlockContinue, &used);
            }
            done->frames += b.frames;
            at += b.frames;
        }
        done->seconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        progress.Update(done->frames);
        if (!output.Append(std::move(chunk))) EndOnWriteFailure(o.output, output, writer);
    }
    if (!output.Finish()) EndOnWriteFailure(o.output, output, writer);
    if (o.direct) {
        UINT none = 0;
        core.driver.Drain(nullptr, &none);
    }
    core.driver.StopStreaming();
    progress.Finish();
    return 0;
}

// The impulse response of a fresh filter holding `values`, through the direct path.
std::vector<float> MeasureImpulse(const MP_DATA values[kParamCount], DWORD rate) {
    Core core;
    core.dsp.Store().SetAllParams(values);
    std::vector<float> impulse(ImpulseFrames(rate), 0.0f);
    impulse[0] = 1.0f;
    core.driver.Init(1, rate);
    for (size_t at = 0; at < impulse.size(); at += 4096) {
        const size_t n = impulse.size() - at < 4096 ? impulse.size() - at : 4096;
        core.driver.Process(impulse.data() + at, UINT(n), 0);
    }
    core.driver.StopStreaming();
    return impulse;
}

int PrintInfo(Core& core) {
    IMediaParamInfo* info = nullptr;
    if (FAILED(core.dsp.Store().QueryFace(IID_IMediaParamInfo, reinterpret_cast<void**>(&info))))
        return Failure("no IMediaParamInfo");
    PrintParamTable(info);
    info->Release();
    return 0;
}

int Run(const ToolOptions& o) {
    Core core;
    if (FAILED(core.created)) return Failure("the filter core could not be created");
    std::vector<std::string> names;
    for (const PresetRow& row : kPresetTable)
        names.push_back(row.name);
    if (o.listPresets) std::fputs(PresetListing(names).c_str(), stdout);
    if (o.info && PrintInfo(core) != 0) return 1;
    const int preset = o.preset.empty() ? -1 : FindPreset(o.preset, names);
    if (!o.preset.empty() && preset < 0)
        return BadInput("unknown preset '" + o.preset + "' (see --list-presets)");

    InputFile in;
    AudioData audio;  // the stream's format; its samples pass through a block at a time
    OutputPlan plan;
    std::string error;
    if (!o.input.empty()) {
        if (!in.Open(o.input, &error)) return BadInput(o.input + ": " + error);
        if (!ToStreamAudio(o, in.Format(), &audio, &error)) return BadInput(error);
        if (o.gainDb != 0) in.SetGain(std::pow(10.0, o.gainDb / 20));
        in.SetTail(uint64_t(std::llround(o.tail * audio.rate)));
        if (!PlanOutput(o, in.Format(), audio, in.ClaimedFrames(), &plan, &error))
            return BadInput(error);
    }
    if (!ApplySettings(o, preset, core, &error)) return BadInput(error);

    if (!o.input.empty()) {
        OutputFile writer;
        if (!writer.Open(o.output, plan, audio)) {
            const std::string why = o.output + ": cannot be written: " + writer.Error();
            return writer.Refused() ? BadInput(why) : Failure(why);
        }
        Streamed done;
        if (const int status = Process(o, core, in, audio, writer, &done)) return status;
        if (!writer.Commit()) return Failure(o.output + ": writing failed: " + writer.Error());
        if (!done.inputFault.empty())
            return Failure(o.input + ": " + done.inputFault + "; " + o.output + " keeps them");
        if (!o.quiet) {
            // On stderr, so that stdout can carry the audio.
            const double frames = double(done.frames), seconds = done.seconds;
            std::fprintf(
                stderr,
                "%s: %s -> %s (%s, %s): %.0f frames, %u ch, %lu Hz, %s, %s%s: %.1f M frames/s "
                "(%.0fx real time)\n",
                kTool, o.input.c_str(), o.output.c_str(), plan.type.c_str(),
                EncodingName(plan.stored), frames, unsigned(audio.channels),
                (unsigned long)audio.rate, EncodingName(audio.encoding),
                o.direct ? "direct" : "as the graph streams it",
                preset >= 0 ? (std::string(", preset ") + names[size_t(preset)]).c_str() : "",
                seconds > 0 ? frames / seconds / 1e6 : 0.0,
                seconds > 0 ? frames / seconds / audio.rate : 0.0);
            const uint64_t byGain = in.Clipped(), total = byGain + writer.Clipped();
            if (total > 0)
                std::fprintf(stderr, "%s: %llu samples clipped (%llu by --gain, %llu writing %s)\n",
                             kTool, (unsigned long long)total, (unsigned long long)byGain,
                             (unsigned long long)(total - byGain), EncodingName(plan.stored));
        }
    }
    if (!o.saveSettings.empty() && !SaveSettings(o.saveSettings, core, &error))
        return Failure(error);
    if (!o.plot.empty()) {
        MP_DATA values[kParamCount];
        core.dsp.Store().GetAllParams(values);
        const DWORD rate = o.input.empty() ? 44100 : audio.rate;
        ToolOptions silent = o;  // its line goes to stderr here, with the summary
        silent.quiet = true;
        if (!PlotResponse(silent, values, MeasureImpulse(values, rate), rate, kTool, &error))
            return Failure(error);
        if (!o.quiet) std::fprintf(stderr, "%s: response plot in %s\n", kTool, o.plot.c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // A closed pipe or a file-size limit fails the write, and the run says so, instead of
    // killing the process without a word.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    ToolOptions options;
    const int done = ParseCommandLine(argc, argv, Tool::Native, RF_VERSION_TEXT, &options);
    if (done >= 0) return done;
    return Run(options);
}
