// The DMO's identity, creation and clone, and its stream types.
#include "filter/ResonantDmo.h"

#include <new>

#include "filter/AudioTypeCheck.h"
#include "framework/MediaType.h"

#include <mediaerr.h>

namespace {

// DMO_MEDIA_TYPE is laid out as AM_MEDIA_TYPE is, which the framework's helpers handle.
const AM_MEDIA_TYPE* AsMediaType(const DMO_MEDIA_TYPE* type) {
    return reinterpret_cast<const AM_MEDIA_TYPE*>(type);
}
AM_MEDIA_TYPE* AsMediaType(DMO_MEDIA_TYPE* type) {
    return reinterpret_cast<AM_MEDIA_TYPE*>(type);
}

// The stream-information flags, which our headers lack: whole frames of a fixed size.
constexpr DWORD kStreamWholeSamples = 0x1;
constexpr DWORD kStreamFixedSampleSize = 0x4;

constexpr DWORD kSetTypeFlags = DMO_SET_TYPEF_TEST_ONLY | DMO_SET_TYPEF_CLEAR;

// The preferred input types: partial, since any rate and layout the check takes will do.
const GUID* const kPreferredSubtypes[] = {&MEDIASUBTYPE_IEEE_FLOAT, &MEDIASUBTYPE_PCM};

}  // namespace

ResonantDmo* ResonantDmo::New(IUnknown* outer, HRESULT* result) {
    return AdoptNewIdentity(new (std::nothrow) ResonantDmo(outer, result), result);
}

IUnknown* ResonantDmo::Create(IUnknown* outer, HRESULT* result) {
    ResonantDmo* dmo = New(outer, result);
    return dmo ? dmo->NonDelegatingUnknown() : nullptr;
}

ResonantDmo::ResonantDmo(IUnknown* outer, HRESULT* result)
    : ComIdentity(outer), SettingsFaces(Outer(), result) {}

ResonantDmo::~ResonantDmo() {
    DropHeld();
    if (started_) driver_.StopStreaming();
    MediaTypeClear(&inputType_);
    MediaTypeClear(&outputType_);
}

HRESULT ResonantDmo::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualGUID(iid, IID_IMediaObject))
        return AnswerFace(static_cast<IMediaObject*>(this), out);
    if (IsEqualGUID(iid, IID_IMediaObjectInPlace))
        return AnswerFace(static_cast<IMediaObjectInPlace*>(this), out);
    if (IsEqualGUID(iid, IID_IMFTransform))
        return AnswerFace(static_cast<IMFTransform*>(&mft_), out);
    return QuerySettingsFace(iid, out);
}

STDMETHODIMP ResonantDmo::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_ResonantFilterDmo;
    return S_OK;
}

// A new, unaggregated DMO holding the same settings and types; envelopes stay with this one.
STDMETHODIMP ResonantDmo::Clone(IMediaObjectInPlace** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    HRESULT hr = S_OK;
    ResonantDmo* copy = New(nullptr, &hr);
    if (!copy) return hr;
    MP_DATA values[kParamCount];
    dsp_.Store().GetAllParams(values);
    copy->SetAllParams(values);
    {
        LockHold hold(lock_);
        if (inputSet_)
            hr = copy->SetInputType(0, reinterpret_cast<const DMO_MEDIA_TYPE*>(&inputType_), 0);
        if (SUCCEEDED(hr) && outputSet_)
            hr = copy->SetOutputType(0, reinterpret_cast<const DMO_MEDIA_TYPE*>(&outputType_), 0);
    }
    if (SUCCEEDED(hr))
        hr = copy->NonDelegatingQueryInterface(IID_IMediaObjectInPlace,
                                               reinterpret_cast<void**>(out));
    copy->NonDelegatingUnknown()->Release();
    return hr;
}

STDMETHODIMP ResonantDmo::GetLatency(REFERENCE_TIME* latency) {
    if (!latency) return E_POINTER;
    *latency = 0;
    return S_OK;
}

// --- Streams and types ---

STDMETHODIMP ResonantDmo::GetStreamCount(DWORD* inputs, DWORD* outputs) {
    if (!inputs || !outputs) return E_POINTER;
    *inputs = 1;
    *outputs = 1;
    return S_OK;
}

STDMETHODIMP ResonantDmo::GetInputStreamInfo(DWORD index, DWORD* flags) {
    if (index != 0) return DMO_E_INVALIDSTREAMINDEX;
    if (!flags) return E_POINTER;
    *flags = kStreamWholeSamples | kStreamFixedSampleSize;
    return S_OK;
}

STDMETHODIMP ResonantDmo::GetOutputStreamInfo(DWORD index, DWORD* flags) {
    if (index != 0) return DMO_E_INVALIDSTREAMINDEX;
    if (!flags) return E_POINTER;
    *flags = kStreamWholeSamples | kStreamFixedSampleSize;
    return S_OK;
}

STDMETHODIMP ResonantDmo::GetInputType(DWORD index, DWORD typeIndex, DMO_MEDIA_TYPE* type) {
    if (index != 0) return DMO_E_INVALIDSTREAMINDEX;
    if (typeIndex >= sizeof kPreferredSubtypes / sizeof kPreferredSubtypes[0])
        return DMO_E_NO_MORE_ITEMS;
    if (!type) return S_OK;  // a caller may only ask whether the index exists
    AM_MEDIA_TYPE partial{};
    partial.majortype = MEDIATYPE_Audio;
    partial.subtype = *kPreferredSubtypes[typeIndex];
    partial.bFixedSizeSamples = TRUE;
    partial.formattype = GUID_NULL;
    *AsMediaType(type) = partial;
    return S_OK;
}

STDMETHODIMP ResonantDmo::GetOutputType(DWORD index, DWORD typeIndex, DMO_MEDIA_TYPE* type) {
    if (index != 0) return DMO_E_INVALIDSTREAMINDEX;
    LockHold hold(lock_);
    // In place: the output can only be what the input is.
    if (!inputSet_) return DMO_E_TYPE_NOT_SET;
    if (typeIndex > 0) return DMO_E_NO_MORE_ITEMS;
    if (!type) return S_OK;
    return MediaTypeCopy(AsMediaType(type), inputType_);
}

STDMETHODIMP ResonantDmo::SetInputType(DWORD index, const DMO_MEDIA_TYPE* type, DWORD flags) {
    if (index != 0) return DMO_E_INVALIDSTREAMINDEX;
    if (flags & ~kSetTypeFlags) return E_INVALIDARG;
    LockHold hold(lock_);
    if (flags & DMO_SET_TYPEF_CLEAR) {
        EndStream();
        MediaTypeClear(&inputType_);
        inputSet_ = false;
        return S_OK;
    }
    if (!type) return E_POINTER;
    WAVEFORMATEX stored;
    WORD valid = 0;
    if (FAILED(CheckDmoAudioType(AsMediaType(type), &stored, &valid)))
        return DMO_E_TYPE_NOT_ACCEPTED;
    if (flags & DMO_SET_TYPEF_TEST_ONLY) return S_OK;
    AM_MEDIA_TYPE copy{};
    const HRESULT hr = MediaTypeCopy(&copy, *AsMediaType(type));
    if (FAILED(hr)) return hr;
    // Another type ends the stream; an output set for the old one no longer matches.
    if (inputSet_ && !MediaTypesEqual(inputType_, copy)) EndStream();
    if (outputSet_ && !MediaTypesEqual(outputType_, copy)) {
        MediaTypeClear(&outputType_);
        outputSet_ = false;
    }
    MediaTypeClear(&inputType_);
    inputType_ = copy;
    inputSet_ = true;
    driver_.StoreFormat(stored, valid);
    NotifyWindows(0);
    return S_OK;
}

STDMETHODIMP ResonantDmo::SetOutputType(DWORD index, const DMO_MEDIA_TYPE* type, DWORD flags) {
    if (index != 0) return DMO_E_INVALIDSTREAMINDEX;
    if (flags & ~kSetTypeFlags) return E_INVALIDARG;
    LockHold hold(lock_);
    if (flags & DMO_SET_TYPEF_CLEAR) {
        EndStream();
        MediaTypeClear(&outputType_);
        outputSet_ = false;
        return S_OK;
    }
    if (!type) return E_POINTER;
    if (FAILED(CheckDmoAudioType(AsMediaType(type), nullptr))) return DMO_E_TYPE_NOT_ACCEPTED;
    if (!inputSet_) return DMO_E_TYPE_NOT_SET;
    if (!MediaTypesEqual(*AsMediaType(type), inputType_)) return DMO_E_TYPE_NOT_ACCEPTED;
    if (flags & DMO_SET_TYPEF_TEST_ONLY) return S_OK;
    if (outputSet_) return S_OK;  // the very same type again
    const HRESULT hr = MediaTypeCopy(&outputType_, inputType_);
    if (FAILED(hr)) return hr;
    outputSet_ = true;
    NotifyWindows(1);
    return S_OK;
}

STDMETHODIMP ResonantDmo::GetInputCurrentType(DWORD index, DMO_MEDIA_TYPE* type) {
    if (index != 0) return DMO_E_INVALIDSTREAMINDEX;
    if (!type) return E_POINTER;
    LockHold hold(lock_);
    if (!inputSet_) return DMO_E_TYPE_NOT_SET;
    return MediaTypeCopy(AsMediaType(type), inputType_);
}

STDMETHODIMP ResonantDmo::GetOutputCurrentType(DWORD index, DMO_MEDIA_TYPE* type) {
    if (index != 0) return DMO_E_INVALIDSTREAMINDEX;
    if (!type) return E_POINTER;
    LockHold hold(lock_);
    if (!outputSet_) return DMO_E_TYPE_NOT_SET;
    return MediaTypeCopy(AsMediaType(type), outputType_);
}

STDMETHODIMP ResonantDmo::GetInputSizeInfo(DWORD index, DWORD* size, DWORD* lookahead,
                                           DWORD* alignment) {
    if (index != 0) return DMO_E_INVALIDSTREAMINDEX;
    if (!size || !lookahead || !alignment) return E_POINTER;
    LockHold hold(lock_);
    if (!inputSet_) return DMO_E_TYPE_NOT_SET;
    *size = driver_.Format().nBlockAlign;
    *lookahead = 0;
    *alignment = 1;
    return S_OK;
}

// One second of audio: what the parser's own allocator asks for, so an input buffer fits one
// output buffer and the stretches filtered are the ones the filter itself would see.
STDMETHODIMP ResonantDmo::GetOutputSizeInfo(DWORD index, DWORD* size, DWORD* alignment) {
    if (index != 0) return DMO_E_INVALIDSTREAMINDEX;
    if (!size || !alignment) return E_POINTER;
    LockHold hold(lock_);
    if (!inputSet_) return DMO_E_TYPE_NOT_SET;
    const WAVEFORMATEX& format = driver_.Format();
    const DWORD block = format.nBlockAlign;
    const DWORD second = format.nAvgBytesPerSec - format.nAvgBytesPerSec % block;
    *size = second > block ? second : block;
    *alignment = 1;
    return S_OK;
}

STDMETHODIMP ResonantDmo::GetInputMaxLatency(DWORD index, REFERENCE_TIME* latency) {
    if (index != 0) return DMO_E_INVALIDSTREAMINDEX;
    if (!latency) return E_POINTER;
    return E_NOTIMPL;  // the filter holds nothing back, so there is no latency to bound
}

STDMETHODIMP ResonantDmo::SetInputMaxLatency(DWORD index, REFERENCE_TIME) {
    if (index != 0) return DMO_E_INVALIDSTREAMINDEX;
    return E_NOTIMPL;
}
