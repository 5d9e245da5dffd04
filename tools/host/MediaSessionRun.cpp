#include "tools/host/MediaSessionRun.h"

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>

#include <string>

#include "tools/common/Progress.h"
#include "tools/host/GrabberSink.h"
#include "tools/host/HostFilter.h"

namespace {

// A session that stops moving for this long has hung; the run fails rather than waits for ever.
constexpr DWORD kStallMs = 60000;
// After the end, how long to wait for the close to be confirmed: the sink already holds every
// sample, and some sessions never confirm.
constexpr DWORD kCloseWaitMs = 3000;

// Owns one reference; released on scope exit, so every early return cleans up.
template <class T>
class Held {
  public:
    Held() = default;
    ~Held() { Reset(); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    T** Out() {
        Reset();
        return &p_;
    }
    void Reset() {
        if (p_ != nullptr) p_->Release();
        p_ = nullptr;
    }
    T* operator->() const { return p_; }
    T* get() const { return p_; }

  private:
    T* p_ = nullptr;
};

std::wstring WidePath(const std::string& path) {
    // The ANSI code page, as the C library opened the file for the other paths.
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(size_t(length > 0 ? length : 1), L'\0');
    if (length > 0) MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], length);
    wide.resize(wcslen(wide.c_str()));
    WCHAR full[MAX_PATH * 4];
    const DWORD n =
        GetFullPathNameW(wide.c_str(), DWORD(sizeof full / sizeof full[0]), full, nullptr);
    return n > 0 && n < sizeof full / sizeof full[0] ? std::wstring(full) : wide;
}

// Whether the source's type carries the file's samples as they are: anything else would be
// written under the file's header as the wrong samples.
bool DeliversFileSamples(IMFMediaType* type, const AudioData& audio) {
    GUID subtype{};
    UINT32 channels = 0, rate = 0, bits = 0, align = 0;
    if (FAILED(type->GetGUID(MF_MT_SUBTYPE, &subtype)) ||
        FAILED(type->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels)) ||
        FAILED(type->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate)) ||
        FAILED(type->GetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, &bits)) ||
        FAILED(type->GetUINT32(MF_MT_AUDIO_BLOCK_ALIGNMENT, &align)))
        return false;
    const bool isFloat = audio.encoding == Encoding::Float32 || audio.encoding == Encoding::Float64;
    const UINT32 bytes = UINT32(BytesPerSample(audio.encoding));
    return IsEqualGUID(subtype, isFloat ? MFAudioFormat_Float : MFAudioFormat_PCM) &&
           channels == audio.channels && rate == audio.rate && bits == 8 * bytes &&
           align == bytes * audio.channels;
}

const char* EventName(MediaEventType type) {
    switch (type) {
        case MESessionTopologySet:
            return "setting the topology";
        case MESessionStarted:
            return "starting";
        case MESessionEnded:
            return "the end of the stream";
        case MESessionClosed:
            return "closing";
        case MEError:
            return "streaming";
        default:
            return "an event";
    }
}

// The pieces the session plays, built from the file; a reason on failure.
struct Topology {
    Held<IMFMediaSource> source;
    Held<IMFActivate> grabber;
    Held<IMFTopology> topology;
};

HRESULT AddNode(IMFTopology* topology, MF_TOPOLOGY_TYPE kind, IUnknown* object,
                IMFTopologyNode** node) {
    HRESULT hr = MFCreateTopologyNode(kind, node);
    if (SUCCEEDED(hr) && object != nullptr) hr = (*node)->SetObject(object);
    if (SUCCEEDED(hr)) hr = topology->AddNode(*node);
    return hr;
}

bool BuildTopology(const std::string& path, const AudioData& audio, IMFTransform* transform,
                   GrabberSink* sink, Topology* t, std::string* error) {
    Held<IMFSourceResolver> resolver;
    Held<IUnknown> object;
    Held<IMFPresentationDescriptor> presentation;
    Held<IMFStreamDescriptor> stream;
    Held<IMFMediaTypeHandler> handler;
    Held<IMFMediaType> type;
    MF_OBJECT_TYPE kind = MF_OBJECT_INVALID;
    BOOL selected = FALSE;
    HRESULT hr = MFCreateSourceResolver(resolver.Out());
    if (SUCCEEDED(hr))
        hr = resolver->CreateObjectFromURL(WidePath(path).c_str(), MF_RESOLUTION_MEDIASOURCE,
                                           nullptr, &kind, object.Out());
    if (SUCCEEDED(hr))
        hr = object->QueryInterface(IID_IMFMediaSource, reinterpret_cast<void**>(t->source.Out()));
    if (FAILED(hr)) {
        *error = path + ": no Media Foundation source takes it (" + HresultText(hr) + ")";
        return false;
    }
    hr = t->source->CreatePresentationDescriptor(presentation.Out());
    if (SUCCEEDED(hr)) hr = presentation->GetStreamDescriptorByIndex(0, &selected, stream.Out());
    if (SUCCEEDED(hr)) hr = stream->GetMediaTypeHandler(handler.Out());
    if (SUCCEEDED(hr)) hr = handler->GetCurrentMediaType(type.Out());
    if (FAILED(hr)) {
        *error = path + ": the source has no audio stream (" + HresultText(hr) + ")";
        return false;
    }
    if (!DeliversFileSamples(type.get(), audio)) {
        *error = path + ": the Media Foundation source does not deliver its samples as they are";
        return false;
    }
    if (!selected) presentation->SelectStream(0);

    // The grabber wants exactly the transform's output, which is the source's type.
    Held<IMFTopologyNode> from, through, to;
    hr = MFCreateSampleGrabberSinkActivate(type.get(), sink, t->grabber.Out());
    if (SUCCEEDED(hr)) hr = t->grabber->SetUINT32(MF_SAMPLEGRABBERSINK_IGNORE_CLOCK, TRUE);
    if (SUCCEEDED(hr)) hr = MFCreateTopology(t->topology.Out());
    if (SUCCEEDED(hr))
        hr = AddNode(t->topology.get(), MF_TOPOLOGY_SOURCESTREAM_NODE, nullptr, from.Out());
    if (SUCCEEDED(hr)) hr = from->SetUnknown(MF_TOPONODE_SOURCE, t->source.get());
    if (SUCCEEDED(hr))
        hr = from->SetUnknown(MF_TOPONODE_PRESENTATION_DESCRIPTOR, presentation.get());
    if (SUCCEEDED(hr)) hr = from->SetUnknown(MF_TOPONODE_STREAM_DESCRIPTOR, stream.get());
    if (SUCCEEDED(hr))
        hr = AddNode(t->topology.get(), MF_TOPOLOGY_TRANSFORM_NODE, transform, through.Out());
    if (SUCCEEDED(hr))
        hr = AddNode(t->topology.get(), MF_TOPOLOGY_OUTPUT_NODE, t->grabber.get(), to.Out());
    if (SUCCEEDED(hr)) hr = from->ConnectOutput(0, through.get(), 0);
    if (SUCCEEDED(hr)) hr = through->ConnectOutput(0, to.get(), 0);
    if (FAILED(hr)) *error = "cannot build the topology (" + HresultText(hr) + ")";
    return SUCCEEDED(hr);
}

// Plays the topology to its end; a reason on failure. `seconds` from Start to the end.
bool Play(const ToolOptions& o, IMFMediaSession* session, IMFTopology* topology,
          const GrabberSink& sink, uint64_t frames, const char* tool, double* seconds,
          std::string* error) {
    PROPVARIANT from;
    PropVariantInit(&from);  // empty: from the start
    HRESULT hr = session->SetTopology(0, topology);
    if (SUCCEEDED(hr)) hr = session->Start(&GUID_NULL, &from);
    if (FAILED(hr)) {
        *error = "the Media Session did not start (" + HresultText(hr) + ")";
        return false;
    }
    Progress progress(tool, !o.quiet, frames);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    end = start;
    bool ended = false, closed = false;
    uint64_t seen = 0;
    DWORD still = GetTickCount(), endedAt = 0;
    while (!closed && error->empty()) {
        Held<IMFMediaEvent> event;
        hr = session->GetEvent(MF_EVENT_FLAG_NO_WAIT, event.Out());
        if (hr == MF_E_NO_EVENTS_AVAILABLE) {
            if (sink.Frames() != seen) {
                seen = sink.Frames();
                still = GetTickCount();
            }
            progress.Update(seen);
            if (ended && GetTickCount() - endedAt >= kCloseWaitMs) break;
            if (!ended && GetTickCount() - still >= kStallMs) *error = "the Media Session hung";
            Sleep(2);
            continue;
        }
        MediaEventType type = MEUnknown;
        HRESULT status = S_OK;
        if (SUCCEEDED(hr)) hr = event->GetType(&type);
        if (SUCCEEDED(hr)) hr = event->GetStatus(&status);
        if (FAILED(hr) || FAILED(status) || type == MEError) {
            *error = std::string("the Media Session failed at ") + EventName(type) + " (" +
                     HresultText(FAILED(hr) ? hr : status) + ")";
        } else if (type == MESessionEnded && !ended) {
            QueryPerformanceCounter(&end);
            ended = true;
            endedAt = GetTickCount();
            session->Close();
        } else if (type == MESessionClosed) {
            closed = true;
        }
    }
    progress.Update(sink.Frames());
    progress.Finish();
    if (!ended) QueryPerformanceCounter(&end);
    *seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    return error->empty() && ended;
}

}  // namespace

GraphResult RunMediaSession(const ToolOptions& o, IMFTransform* transform,
                            const WavPieceReader& input, WavWriter& writer, const char* tool) {
    GraphResult result;
    HRESULT hr = MFStartup(MF_VERSION, MFSTARTUP_FULL);
    if (FAILED(hr)) {
        result.error = "Media Foundation did not start (" + HresultText(hr) + ")";
        return result;
    }
    GrabberSink* sink = GrabberSink::Create(writer, WORD(input.StreamFrameBytes()));
    {
        Topology t;
        Held<IMFMediaSession> session;
        if (sink == nullptr) {
            result.error = "out of memory";
        } else if (BuildTopology(o.input, input.StreamFormat(), transform, sink, &t,
                                 &result.error)) {
            hr = MFCreateMediaSession(nullptr, session.Out());
            if (FAILED(hr))
                result.error = "cannot create the Media Session (" + HresultText(hr) + ")";
            else if (Play(o, session.get(), t.topology.get(), *sink, input.Frames(), tool,
                          &result.seconds, &result.error))
                result.ok = true;
        }
        // Shut down in the session's order, so no sample reaches the writer after this.
        if (session.get() != nullptr) session->Shutdown();
        if (t.source.get() != nullptr) t.source->Shutdown();
        if (t.grabber.get() != nullptr) t.grabber->ShutdownObject();
    }
    if (result.ok && sink->Failed()) {
        result.ok = false;
        result.error = o.output + ": writing failed";
    } else if (result.ok && sink->Frames() != input.Frames()) {
        result.ok = false;
        result.error = "the Media Session delivered " + std::to_string(sink->Frames()) + " of " +
                       std::to_string(input.Frames()) + " frames";
    }
    if (sink != nullptr) sink->Release();
    MFShutdown();
    return result;
}
