// Identity, construction, format negotiation and the media-sample side of streaming.
#include "ResonantFilter.h"

#include <cstring>
#include <new>

#include "filter/AudioTypeCheck.h"

IUnknown* ResonantFilter::Create(IUnknown* outer, HRESULT* result) {
    ResonantFilter* filter =
        AdoptNewIdentity(new (std::nothrow) ResonantFilter(outer, result), result);
    return filter ? filter->NonDelegatingUnknown() : nullptr;
}

ResonantFilter::ResonantFilter(IUnknown* outer, HRESULT* result)
    : InPlaceFilter(outer, CLSID_ResonantFilter, result), SettingsFaces(Outer(), result) {}

ResonantFilter::~ResonantFilter() = default;

HRESULT ResonantFilter::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualGUID(iid, IID_IDirectProcess))
        return AnswerFace(static_cast<IDirectProcess*>(this), out);
    if (QuerySettingsFace(iid, out) == S_OK) return S_OK;
    return InPlaceFilter::NonDelegatingQueryInterface(iid, out);
}

STDMETHODIMP ResonantFilter::GetClassID(CLSID* clsid) {
    return InPlaceFilter::GetClassID(clsid);
}

// --- Format negotiation ---

HRESULT ResonantFilter::CheckInputType(const AM_MEDIA_TYPE* type) {
    return CheckAudioType(type, nullptr);
}

HRESULT ResonantFilter::SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE* type) {
    InPlaceFilter::SetMediaType(direction, type);
    WAVEFORMATEX stored;
    WORD valid = 0;
    // Only a type that passed CheckInputType gets here; refuse anything else all the same.
    if (FAILED(CheckAudioType(type, &stored, &valid))) return E_INVALIDARG;
    driver_.StoreFormat(stored, valid);
    NotifyWindows(direction == PINDIR_INPUT ? 0 : 1);
    return S_OK;
}

// --- Streaming ---

HRESULT ResonantFilter::StartStreaming() {
    return driver_.StartStreaming();
}
HRESULT ResonantFilter::StopStreaming() {
    return driver_.StopStreaming();
}

void ResonantFilter::LeavingStopped() {
    direct_.PinsStarting();
    // A direct session may have written its own record over the pins' one, and may have been
    // stopped since: the pins stream in the type they were connected with.
    if (!InputConnected()) return;
    WAVEFORMATEX stored, current;
    WORD valid = 0, currentValid = 0;
    if (FAILED(CheckAudioType(&InputPinRef().ConnectedType(), &stored, &valid))) return;
    // The valid bits count too: the record alone cannot tell 24 in 32 from a full 32.
    if (driver_.CopyFormat(&current, &currentValid) && currentValid == valid &&
        memcmp(&current, &stored, sizeof stored) == 0)
        return;
    driver_.StoreFormat(stored, valid);
    NotifyWindows(0);
}

void ResonantFilter::EnteredStopped() {
    direct_.PinsStopped();
}

HRESULT ResonantFilter::AdoptInputType(const AM_MEDIA_TYPE* type) {
    WAVEFORMATEX stored;
    WORD valid = 0;
    HRESULT hr = CheckAudioType(type, &stored, &valid);
    if (FAILED(hr)) return VFW_E_INVALIDMEDIATYPE;
    hr = driver_.AdoptFormat(stored, valid);
    if (FAILED(hr)) return hr;
    NotifyWindows(0);
    return S_OK;
}

HRESULT ResonantFilter::Receive(IMediaSample* sample) {
    REFERENCE_TIME start = 0, end = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &end));
    dsp_.Store().SetSampleTimes(timed ? &start : nullptr);
    return InPlaceFilter::Receive(sample);
}

HRESULT ResonantFilter::Transform(IMediaSample* sample) {
    LONG length = sample->GetActualDataLength();
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || !data) return E_POINTER;
    driver_.streamedSinceStart = TRUE;
    int mode;
    if (driver_.drainingAtEnd) {
        mode = kBlockDrain;
        length = sample->GetSize();
        if (length > 0) ZeroMemory(data, size_t(length));
    } else {
        mode = sample->IsDiscontinuity() == S_OK ? kBlockRestart : kBlockContinue;
    }
    const WORD align = driver_.Format().nBlockAlign;
    const DWORD total = (length > 0 && align) ? DWORD(length) / align : 0;
    DWORD done = 0;
    const HRESULT result = driver_.RunBuffer(data, total, mode, &done);
    sample->SetActualDataLength(LONG(done * align));
    return result;
}

HRESULT ResonantFilter::EndOfStream() {
    if (!OutputConnected()) return S_OK;
    HRESULT failure = S_OK;
    if (driver_.streamedSinceStart) {
        // Without a buffer nothing is drained and no end-of-stream goes on; both flags stay.
        IMediaSample* buffer = nullptr;
        const HRESULT got = GetDeliveryBuffer(&buffer);
        if (FAILED(got)) return got;
        driver_.drainingAtEnd = TRUE;
        buffer->SetActualDataLength(0);
        failure = Transform(buffer);
        // Drain mode produces nothing, so one empty delivery is all the drain ever sends: a
        // loop could never end on a buffer too small to hold a frame.
        if (SUCCEEDED(failure)) failure = Deliver(buffer);
        buffer->Release();
        driver_.drainingAtEnd = FALSE;
        driver_.streamedSinceStart = FALSE;
    }
    // End-of-stream always goes on, so the host's graph completes.
    const HRESULT hr = DeliverEndOfStream();
    return FAILED(failure) ? failure : hr;
}
