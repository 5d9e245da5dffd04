// Plays a WAV file through a Media Session into a 16-bit PCM sample grabber with no effect in the
// topology, so the loader has to find a converter, and writes the grabbed bytes to a raw file.
// The audio-effect MFTs registered in the prefix are among the candidates the loader probes: the
// caller compares this output with our class registered and unregistered.
// Usage: converter_session INPUT.wav OUTPUT.raw; exit 0 when the session ran to its end, else 1.
#include "platform/Platform.h"

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>

#include <cstdio>
#include <string>

namespace {

template <class T>
void Drop(T*& p) {
    if (p != nullptr) p->Release();
    p = nullptr;
}

class RawSink final : public IMFSampleGrabberSinkCallback {
  public:
    explicit RawSink(std::FILE* file) : file_(file) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMFClockStateSink) ||
            IsEqualIID(iid, IID_IMFSampleGrabberSinkCallback)) {
            *out = static_cast<IMFSampleGrabberSinkCallback*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // On main's stack, which outlives the session's shutdown.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP OnClockStart(MFTIME, LONGLONG) override { return S_OK; }
    STDMETHODIMP OnClockStop(MFTIME) override { return S_OK; }
    STDMETHODIMP OnClockPause(MFTIME) override { return S_OK; }
    STDMETHODIMP OnClockRestart(MFTIME) override { return S_OK; }
    STDMETHODIMP OnClockSetRate(MFTIME, float) override { return S_OK; }
    STDMETHODIMP OnSetPresentationClock(IMFPresentationClock*) override { return S_OK; }
    STDMETHODIMP OnProcessSample(REFGUID, DWORD, LONGLONG, LONGLONG, const BYTE* data,
                                 DWORD size) override {
        if (std::fwrite(data, 1, size, file_) != size) failed = true;
        return S_OK;
    }
    STDMETHODIMP OnShutdown() override { return S_OK; }

    bool failed = false;

  private:
    std::FILE* file_;
};

// 16-bit PCM at the source's rate and channels: a type the float file's source does not offer
// as its own.
IMFMediaType* Pcm16Like(IMFMediaType* source) {
    UINT32 channels = 0, rate = 0;
    source->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels);
    source->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate);
    IMFMediaType* type = nullptr;
    if (FAILED(MFCreateMediaType(&type))) return nullptr;
    type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
    type->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_PCM);
    type->SetUINT32(MF_MT_AUDIO_NUM_CHANNELS, channels);
    type->SetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, rate);
    type->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, 16);
    type->SetUINT32(MF_MT_AUDIO_BLOCK_ALIGNMENT, 2 * channels);
    type->SetUINT32(MF_MT_AUDIO_AVG_BYTES_PER_SECOND, 2 * channels * rate);
    type->SetUINT32(MF_MT_ALL_SAMPLES_INDEPENDENT, TRUE);
    return type;
}

HRESULT Play(const wchar_t* url, RawSink* sink) {
    IMFSourceResolver* resolver = nullptr;
    IUnknown* object = nullptr;
    IMFMediaSource* source = nullptr;
    IMFPresentationDescriptor* presentation = nullptr;
    IMFStreamDescriptor* stream = nullptr;
    IMFMediaTypeHandler* handler = nullptr;
    IMFMediaType *native = nullptr, *wanted = nullptr;
    IMFActivate* grabber = nullptr;
    IMFTopology* topology = nullptr;
    IMFTopologyNode *from = nullptr, *to = nullptr;
    IMFMediaSession* session = nullptr;
    MF_OBJECT_TYPE kind = MF_OBJECT_INVALID;
    BOOL selected = FALSE;
    HRESULT hr = MFCreateSourceResolver(&resolver);
    if (SUCCEEDED(hr))
        hr = resolver->CreateObjectFromURL(url, MF_RESOLUTION_MEDIASOURCE, nullptr, &kind, &object);
    if (SUCCEEDED(hr))
        hr = object->QueryInterface(IID_IMFMediaSource, reinterpret_cast<void**>(&source));
    if (SUCCEEDED(hr)) hr = source->CreatePresentationDescriptor(&presentation);
    if (SUCCEEDED(hr)) hr = presentation->GetStreamDescriptorByIndex(0, &selected, &stream);
    if (SUCCEEDED(hr)) hr = stream->GetMediaTypeHandler(&handler);
    if (SUCCEEDED(hr)) hr = handler->GetCurrentMediaType(&native);
    if (SUCCEEDED(hr)) hr = (wanted = Pcm16Like(native)) ? S_OK : E_OUTOFMEMORY;
    if (SUCCEEDED(hr)) hr = MFCreateSampleGrabberSinkActivate(wanted, sink, &grabber);
    if (SUCCEEDED(hr)) hr = grabber->SetUINT32(MF_SAMPLEGRABBERSINK_IGNORE_CLOCK, TRUE);
    if (SUCCEEDED(hr)) hr = MFCreateTopology(&topology);
    if (SUCCEEDED(hr)) hr = MFCreateTopologyNode(MF_TOPOLOGY_SOURCESTREAM_NODE, &from);
    if (SUCCEEDED(hr)) hr = from->SetUnknown(MF_TOPONODE_SOURCE, source);
    if (SUCCEEDED(hr)) hr = from->SetUnknown(MF_TOPONODE_PRESENTATION_DESCRIPTOR, presentation);
    if (SUCCEEDED(hr)) hr = from->SetUnknown(MF_TOPONODE_STREAM_DESCRIPTOR, stream);
    if (SUCCEEDED(hr)) hr = MFCreateTopologyNode(MF_TOPOLOGY_OUTPUT_NODE, &to);
    if (SUCCEEDED(hr)) hr = to->SetObject(grabber);
    if (SUCCEEDED(hr)) hr = topology->AddNode(from);
    if (SUCCEEDED(hr)) hr = topology->AddNode(to);
    if (SUCCEEDED(hr)) hr = from->ConnectOutput(0, to, 0);
    if (SUCCEEDED(hr)) hr = MFCreateMediaSession(nullptr, &session);
    if (SUCCEEDED(hr)) hr = session->SetTopology(0, topology);
    PROPVARIANT start;
    PropVariantInit(&start);
    if (SUCCEEDED(hr)) hr = session->Start(&GUID_NULL, &start);
    // Until the end or the first failure; the run's time limit covers a session that hangs.
    for (bool ended = false; SUCCEEDED(hr) && !ended;) {
        IMFMediaEvent* event = nullptr;
        MediaEventType type = MEUnknown;
        HRESULT status = S_OK;
        hr = session->GetEvent(0, &event);
        if (SUCCEEDED(hr)) hr = event->GetType(&type);
        if (SUCCEEDED(hr)) hr = event->GetStatus(&status);
        if (SUCCEEDED(hr) && FAILED(status)) hr = status;
        if (SUCCEEDED(hr) && type == MEError) hr = E_FAIL;
        ended = type == MESessionEnded;
        Drop(event);
    }
    if (session != nullptr) session->Shutdown();
    if (source != nullptr) source->Shutdown();
    if (grabber != nullptr) grabber->ShutdownObject();
    Drop(session), Drop(to), Drop(from), Drop(topology), Drop(grabber), Drop(wanted);
    Drop(native), Drop(handler), Drop(stream), Drop(presentation), Drop(source), Drop(object);
    Drop(resolver);
    return hr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fputs("usage: converter_session INPUT.wav OUTPUT.raw\n", stderr);
        return 2;
    }
    std::FILE* file = _wfopen(argv[2], L"wb");
    if (file == nullptr) return 1;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    HRESULT hr = MFStartup(MF_VERSION, MFSTARTUP_FULL);
    RawSink sink(file);
    if (SUCCEEDED(hr)) hr = Play(argv[1], &sink);
    MFShutdown();
    CoUninitialize();
    const bool closed = std::fclose(file) == 0;
    if (FAILED(hr) || sink.failed || !closed) {
        std::fprintf(stderr, "converter_session: failed (0x%08lX)\n", (unsigned long)hr);
        return 1;
    }
    return 0;
}
