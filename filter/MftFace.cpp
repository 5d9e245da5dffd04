// The MFT face's identity, streams, types and messages.
#include "filter/MftFace.h"

#include "filter/AudioTypeCheck.h"
#include "filter/MfPlatform.h"
#include "filter/ResonantDmo.h"

#include <mfapi.h>
#include <mferror.h>

namespace {

// The preferred input types: partial, since any rate and layout the check takes will do.
const GUID* const kPreferredSubtypes[] = {&MFAudioFormat_Float, &MFAudioFormat_PCM};
constexpr DWORD kPreferredCount = sizeof kPreferredSubtypes / sizeof kPreferredSubtypes[0];

// A new type holding every attribute of `from`, which only the caller holds.
HRESULT CopyType(IMFMediaType* from, IMFMediaType** to) {
    IMFMediaType* copy = nullptr;
    HRESULT hr = MfCreateMediaType(&copy);
    if (SUCCEEDED(hr)) hr = from->CopyAllItems(copy);
    if (FAILED(hr)) {
        if (copy) copy->Release();
        return hr;
    }
    *to = copy;
    return S_OK;
}

// The type's audio format, if the DMO's check takes it: S_OK with the plain record and the valid
// bits; MF_E_INVALIDMEDIATYPE for anything else, incomplete types included.
HRESULT CheckType(IMFMediaType* type, MfAudioType* format, WAVEFORMATEX* stored, WORD* valid) {
    HRESULT hr = format->Read(type);
    if (FAILED(hr)) return hr;
    return FAILED(CheckDmoAudioType(&format->Am(), stored, valid)) ? MF_E_INVALIDMEDIATYPE : S_OK;
}

}  // namespace

MftFace::~MftFace() {
    DropHeld();
    if (started_) dmo_.driver_.StopStreaming();
    if (input_) input_->Release();
    if (output_) output_->Release();
}

IUnknown* MftFace::Outer() const {
    return dmo_.Outer();
}

// --- Streams ---

STDMETHODIMP MftFace::GetStreamLimits(DWORD* inputMin, DWORD* inputMax, DWORD* outputMin,
                                      DWORD* outputMax) {
    if (!inputMin || !inputMax || !outputMin || !outputMax) return E_POINTER;
    *inputMin = *inputMax = *outputMin = *outputMax = 1;
    return S_OK;
}

STDMETHODIMP MftFace::GetStreamCount(DWORD* inputs, DWORD* outputs) {
    if (!inputs || !outputs) return E_POINTER;
    *inputs = *outputs = 1;
    return S_OK;
}

// Fixed streams numbered from 0: the platform's answer for that is E_NOTIMPL.
STDMETHODIMP MftFace::GetStreamIDs(DWORD, DWORD*, DWORD, DWORD*) {
    return E_NOTIMPL;
}
STDMETHODIMP MftFace::DeleteInputStream(DWORD) {
    return E_NOTIMPL;
}
STDMETHODIMP MftFace::AddInputStreams(DWORD, DWORD*) {
    return E_NOTIMPL;
}
STDMETHODIMP MftFace::GetAttributes(IMFAttributes**) {
    return E_NOTIMPL;
}
STDMETHODIMP MftFace::GetInputStreamAttributes(DWORD, IMFAttributes**) {
    return E_NOTIMPL;
}
STDMETHODIMP MftFace::GetOutputStreamAttributes(DWORD, IMFAttributes**) {
    return E_NOTIMPL;
}
STDMETHODIMP MftFace::SetOutputBounds(LONGLONG, LONGLONG) {
    return E_NOTIMPL;
}
STDMETHODIMP MftFace::ProcessEvent(DWORD, IMFMediaEvent*) {
    return E_NOTIMPL;
}

// Both streams: one frame at a time, no alignment, once both types are set; zeroed until then.
template <class Info>
HRESULT MftFace::StreamInfo(DWORD id, Info* info) {
    if (id != 0) return MF_E_INVALIDSTREAMNUMBER;
    if (!info) return E_POINTER;
    LockHold hold(dmo_.lock_);
    *info = Info{};
    if (!TypesSet()) return MF_E_TRANSFORM_TYPE_NOT_SET;
    info->cbSize = dmo_.driver_.Format().nBlockAlign;
    info->cbAlignment = 1;
    return S_OK;
}

STDMETHODIMP MftFace::GetInputStreamInfo(DWORD id, MFT_INPUT_STREAM_INFO* info) {
    return StreamInfo(id, info);
}

STDMETHODIMP MftFace::GetOutputStreamInfo(DWORD id, MFT_OUTPUT_STREAM_INFO* info) {
    return StreamInfo(id, info);
}

// --- Types ---

STDMETHODIMP MftFace::GetInputAvailableType(DWORD id, DWORD index, IMFMediaType** type) {
    if (id != 0) return MF_E_INVALIDSTREAMNUMBER;
    if (!type) return E_POINTER;
    *type = nullptr;
    if (index >= kPreferredCount) return MF_E_NO_MORE_TYPES;
    IMFMediaType* partial = nullptr;
    HRESULT hr = MfCreateMediaType(&partial);
    if (FAILED(hr)) return hr;
    hr = partial->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
    if (SUCCEEDED(hr)) hr = partial->SetGUID(MF_MT_SUBTYPE, *kPreferredSubtypes[index]);
    if (FAILED(hr)) {
        partial->Release();
        return hr;
    }
    *type = partial;
    return S_OK;
}

// In place: the output can only be what the input is, whole, so a session that sets the first
// type offered gets one its own SetOutputType takes.
STDMETHODIMP MftFace::GetOutputAvailableType(DWORD id, DWORD index, IMFMediaType** type) {
    if (id != 0) return MF_E_INVALIDSTREAMNUMBER;
    if (!type) return E_POINTER;
    *type = nullptr;
    LockHold hold(dmo_.lock_);
    if (!input_) return MF_E_TRANSFORM_TYPE_NOT_SET;
    if (index > 0) return MF_E_NO_MORE_TYPES;
    return CopyType(input_, type);
}

STDMETHODIMP MftFace::SetInputType(DWORD id, IMFMediaType* type, DWORD flags) {
    if (id != 0) return MF_E_INVALIDSTREAMNUMBER;
    if (flags & ~DWORD(MFT_SET_TYPE_TEST_ONLY)) return E_INVALIDARG;
    const bool testOnly = (flags & MFT_SET_TYPE_TEST_ONLY) != 0;
    LockHold hold(dmo_.lock_);
    if (!type) {
        // Clearing ends the stream, and no output type matches a missing input.
        if (testOnly) return S_OK;
        EndStream();
        if (input_) input_->Release();
        input_ = nullptr;
        ClearOutput();
        return S_OK;
    }
    MfAudioType format;
    WAVEFORMATEX stored;
    WORD valid = 0;
    HRESULT hr = CheckType(type, &format, &stored, &valid);
    if (FAILED(hr) || testOnly) return hr;
    IMFMediaType* copy = nullptr;
    hr = CopyType(type, &copy);
    if (FAILED(hr)) return hr;
    // Another format ends the stream; an output set for the old one no longer matches.
    const bool same = input_ && inputFormat_.SameFormat(format);
    if (input_ && !same) EndStream();
    if (!same) ClearOutput();
    if (input_) input_->Release();
    input_ = copy;
    inputFormat_.Read(input_);
    dmo_.driver_.StoreFormat(stored, valid);
    dmo_.NotifyWindows(0);
    return S_OK;
}

// Only the input's own format: the topology loader tries every audio effect as a converter, and
// one that took another format would convert other applications' streams.
STDMETHODIMP MftFace::SetOutputType(DWORD id, IMFMediaType* type, DWORD flags) {
    if (id != 0) return MF_E_INVALIDSTREAMNUMBER;
    if (flags & ~DWORD(MFT_SET_TYPE_TEST_ONLY)) return E_INVALIDARG;
    const bool testOnly = (flags & MFT_SET_TYPE_TEST_ONLY) != 0;
    LockHold hold(dmo_.lock_);
    if (!type) {
        if (testOnly) return S_OK;
        EndStream();
        ClearOutput();
        return S_OK;
    }
    if (!input_) return MF_E_TRANSFORM_TYPE_NOT_SET;
    MfAudioType format;
    WAVEFORMATEX stored;
    HRESULT hr = CheckType(type, &format, &stored, nullptr);
    if (FAILED(hr)) return hr;
    if (!format.SameFormat(inputFormat_)) return MF_E_INVALIDMEDIATYPE;
    if (testOnly) return S_OK;
    IMFMediaType* copy = nullptr;
    hr = CopyType(type, &copy);
    if (FAILED(hr)) return hr;
    const bool had = output_ != nullptr;
    ClearOutput();
    output_ = copy;
    if (!had) dmo_.NotifyWindows(1);
    return S_OK;
}

STDMETHODIMP MftFace::GetInputCurrentType(DWORD id, IMFMediaType** type) {
    if (id != 0) return MF_E_INVALIDSTREAMNUMBER;
    if (!type) return E_POINTER;
    *type = nullptr;
    LockHold hold(dmo_.lock_);
    if (!input_) return MF_E_TRANSFORM_TYPE_NOT_SET;
    return CopyType(input_, type);
}

STDMETHODIMP MftFace::GetOutputCurrentType(DWORD id, IMFMediaType** type) {
    if (id != 0) return MF_E_INVALIDSTREAMNUMBER;
    if (!type) return E_POINTER;
    *type = nullptr;
    LockHold hold(dmo_.lock_);
    if (!output_) return MF_E_TRANSFORM_TYPE_NOT_SET;
    return CopyType(output_, type);
}

void MftFace::ClearOutput() {
    if (output_) output_->Release();
    output_ = nullptr;
}

// --- Status and messages ---

STDMETHODIMP MftFace::GetInputStatus(DWORD id, DWORD* flags) {
    if (id != 0) return MF_E_INVALIDSTREAMNUMBER;
    if (!flags) return E_POINTER;
    LockHold hold(dmo_.lock_);
    *flags = 0;
    if (!TypesSet()) return MF_E_TRANSFORM_TYPE_NOT_SET;
    if (!held_.sample) *flags = MFT_INPUT_STATUS_ACCEPT_DATA;
    return S_OK;
}

STDMETHODIMP MftFace::GetOutputStatus(DWORD* flags) {
    if (!flags) return E_POINTER;
    LockHold hold(dmo_.lock_);
    *flags = 0;
    if (!TypesSet()) return MF_E_TRANSFORM_TYPE_NOT_SET;
    if (held_.sample) *flags = MFT_OUTPUT_STATUS_SAMPLE_READY;
    return S_OK;
}

STDMETHODIMP MftFace::ProcessMessage(MFT_MESSAGE_TYPE message, ULONG_PTR) {
    LockHold hold(dmo_.lock_);
    switch (message) {
        case MFT_MESSAGE_COMMAND_FLUSH:
            DropHeld();
            restartNext_ = true;
            return S_OK;
        case MFT_MESSAGE_NOTIFY_START_OF_STREAM:
            restartNext_ = true;
            return S_OK;
        case MFT_MESSAGE_NOTIFY_BEGIN_STREAMING:
            return TypesSet() ? StartIfNeeded() : S_OK;
        case MFT_MESSAGE_NOTIFY_END_STREAMING:
            // Resources go; a sample still held is finished after a later start.
            if (started_) dmo_.driver_.StopStreaming();
            started_ = false;
            return S_OK;
        case MFT_MESSAGE_COMMAND_DRAIN:
            // Nothing is held back to drain: the held sample gives all there is. What comes
            // after is another stream, marked or not, so it starts from silence, as after the
            // DMO's Discontinuity.
            restartNext_ = true;
            return S_OK;
        case MFT_MESSAGE_SET_D3D_MANAGER:
            return E_NOTIMPL;  // audio only: no Direct3D
        default:
            return S_OK;  // other messages are ignored, as the platform allows
    }
}
