#include "framework/OutputPin.h"

#include <algorithm>

#include "framework/InPlaceFilter.h"
#include "framework/MediaType.h"

// Allocator negotiation, in place (one buffer pool serves both pins):
//
//  event                              | input has allocator A      | input has none yet
//  -----------------------------------+----------------------------+-----------------------------
//  upstream asks our GetAllocator     | downstream's allocator if  | same
//                                     | output connected and it    |
//                                     | has one, else              |
//                                     | VFW_E_NO_ALLOCATOR         |
//  output connects (DecideAllocator)  | downstream NotifyAllocator | downstream's or a new memory
//                                     | (A); output uses A         | allocator, sized from the
//                                     |                            | input's (1 x 1 byte), owned
//  upstream NotifyAllocator(B)        | output connected: down-    | same; B replaces an owned
//                                     | stream NotifyAllocator(B)  | allocator
//  stopped -> paused/running          | upstream commits A         | owned allocator committed
//  -> stopped                         | upstream decommits A       | owned allocator decommitted

OutputPin::OutputPin(InPlaceFilter* filter)
    : FilterPin(filter, PINDIR_OUTPUT, L"Output"), seeking_(this, filter) {}

OutputPin::~OutputPin() {
    ReleaseTransport();
}

STDMETHODIMP OutputPin::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin)) {
        *out = static_cast<IPin*>(this);
    } else if (IsEqualIID(iid, IID_IMediaSeeking)) {
        *out = static_cast<IMediaSeeking*>(&seeking_);
    } else if (IsEqualIID(iid, IID_IMediaPosition) || IsEqualIID(iid, IID_IDispatch)) {
        *out = static_cast<IMediaPosition*>(&seeking_);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

const AM_MEDIA_TYPE* OutputPin::OfferedType() {
    // In place, the output can only carry what the input already carries.
    const InputPin& input = filter_->InputPinRef();
    return input.IsConnected() ? &input.ConnectedType() : nullptr;
}

HRESULT OutputPin::CheckType(const AM_MEDIA_TYPE* type) {
    HRESULT hr = filter_->CheckInputType(type);
    if (hr != S_OK) return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
    IPin* upstream = filter_->InputPinRef().AddRefPeer();
    if (upstream == nullptr) return S_OK;
    hr = upstream->QueryAccept(type);
    upstream->Release();
    return hr == S_OK ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

STDMETHODIMP OutputPin::Connect(IPin* receive, const AM_MEDIA_TYPE* type) {
    if (receive == nullptr) return E_POINTER;
    LockHold hold(filter_->FilterLock());
    if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
    HRESULT hr = CheckPeerDirection(receive);
    if (FAILED(hr)) return hr;
    if (type != nullptr && MediaTypeIsComplete(*type)) return TryConnect(receive, type);

    AM_MEDIA_TYPE any = {};
    const AM_MEDIA_TYPE& wanted = type != nullptr ? *type : any;
    // Our own proposal first, then the peer's, each filtered by a partial type if given.
    AM_MEDIA_TYPE ours = {};
    if (const AM_MEDIA_TYPE* offered = OfferedType()) {
        hr = MediaTypeCopy(&ours, *offered);
        if (FAILED(hr)) return hr;
        bool fits = MediaTypeMatchesPartial(ours, wanted);
        hr = fits ? TryConnect(receive, &ours) : VFW_E_NO_ACCEPTABLE_TYPES;
        MediaTypeClear(&ours);
        if (SUCCEEDED(hr)) return hr;
    }
    IEnumMediaTypes* types = nullptr;
    // The peer may refuse to enumerate before it is connected; that is no failure.
    if (SUCCEEDED(receive->EnumMediaTypes(&types)) && types != nullptr) {
        AM_MEDIA_TYPE* candidate = nullptr;
        while (types->Next(1, &candidate, nullptr) == S_OK && candidate != nullptr) {
            hr = MediaTypeMatchesPartial(*candidate, wanted) ? TryConnect(receive, candidate)
                                                             : VFW_E_NO_ACCEPTABLE_TYPES;
            MediaTypeDelete(candidate);
            candidate = nullptr;
            if (SUCCEEDED(hr)) break;
        }
        types->Release();
        if (SUCCEEDED(hr) && IsConnected()) return hr;
    }
    return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT OutputPin::TryConnect(IPin* receive, const AM_MEDIA_TYPE* type) {
    if (CheckType(type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    HRESULT hr = receive->ReceiveConnection(this, type);
    if (FAILED(hr)) return hr;
    hr = SetConnection(receive, *type);
    if (SUCCEEDED(hr)) {
        hr = receive->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&downstream_));
        if (FAILED(hr)) hr = VFW_E_NO_TRANSPORT;
    }
    if (SUCCEEDED(hr)) hr = DecideAllocator();
    if (SUCCEEDED(hr)) hr = filter_->SetMediaType(PINDIR_OUTPUT, &type_);
    if (SUCCEEDED(hr)) hr = filter_->CompleteConnect(PINDIR_OUTPUT);
    if (FAILED(hr)) {
        receive->Disconnect();
        ReleaseTransport();
        ClearConnection();
    }
    return hr;
}

HRESULT OutputPin::DecideAllocator() {
    IMemAllocator* upstream = filter_->InputPinRef().Allocator();
    if (upstream != nullptr) return UseAllocator(upstream);

    IMemAllocator* own = nullptr;
    if (FAILED(downstream_->GetAllocator(&own)) || own == nullptr ||
        FAILED(SizeOwnAllocator(own))) {
        if (own != nullptr) own->Release();
        own = nullptr;
        HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IMemAllocator, reinterpret_cast<void**>(&own));
        if (FAILED(hr)) return hr;
        hr = SizeOwnAllocator(own);
        if (FAILED(hr)) {
            own->Release();
            return hr;
        }
    }
    HRESULT hr = downstream_->NotifyAllocator(own, FALSE);
    if (FAILED(hr)) {
        own->Release();
        return hr;
    }
    allocator_ = own;
    ownsAllocator_ = true;
    return S_OK;
}

HRESULT OutputPin::SizeOwnAllocator(IMemAllocator* allocator) {
    // Mirror the input's pool (one buffer of one byte while it has none), with the alignment
    // downstream asks for; a grant smaller than the input's pool could not carry its buffers.
    ALLOCATOR_PROPERTIES input = {1, 1, 1, 0};
    if (IMemAllocator* upstream = filter_->InputPinRef().Allocator()) {
        ALLOCATOR_PROPERTIES props = {};
        if (SUCCEEDED(upstream->GetProperties(&props))) input = props;
    }
    ALLOCATOR_PROPERTIES want = input;
    want.cBuffers = std::max<long>(want.cBuffers, 1);
    want.cbBuffer = std::max<long>(want.cbBuffer, 1);
    want.cbAlign = 1;
    want.cbPrefix = 0;
    ALLOCATOR_PROPERTIES asked = {};
    if (SUCCEEDED(downstream_->GetAllocatorRequirements(&asked)) && asked.cbAlign > 0)
        want.cbAlign = asked.cbAlign;
    ALLOCATOR_PROPERTIES granted = {};
    HRESULT hr = allocator->SetProperties(&want, &granted);
    if (FAILED(hr)) return hr;
    if (granted.cBuffers < want.cBuffers || granted.cbBuffer < want.cbBuffer ||
        granted.cbAlign < input.cbAlign)
        return E_FAIL;
    return S_OK;
}

HRESULT OutputPin::UseAllocator(IMemAllocator* allocator) {
    if (!IsConnected() || allocator == allocator_) return S_OK;
    HRESULT hr = downstream_->NotifyAllocator(allocator, FALSE);
    if (FAILED(hr)) return hr;
    allocator->AddRef();
    if (allocator_ != nullptr) allocator_->Release();
    allocator_ = allocator;
    ownsAllocator_ = false;
    return S_OK;
}

HRESULT OutputPin::Active() {
    if (!ownsAllocator_ || allocator_ == nullptr) return S_OK;
    return allocator_->Commit();
}

void OutputPin::Inactive() {
    if (ownsAllocator_ && allocator_ != nullptr) allocator_->Decommit();
}

STDMETHODIMP OutputPin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) {
    // An output pin starts its connections; it never receives one.
    return E_UNEXPECTED;
}

STDMETHODIMP OutputPin::Disconnect() {
    LockHold hold(filter_->FilterLock());
    if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (!IsConnected()) return S_FALSE;
    ReleaseTransport();
    ClearConnection();
    return S_OK;
}

void OutputPin::ReleaseTransport() {
    if (downstream_ != nullptr) {
        downstream_->Release();
        downstream_ = nullptr;
    }
    if (allocator_ != nullptr) {
        allocator_->Release();
        allocator_ = nullptr;
    }
    ownsAllocator_ = false;
}

HRESULT OutputPin::Deliver(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    // Connections change only while stopped, and streaming stops first, so no lock is needed.
    if (downstream_ == nullptr) return VFW_E_NOT_CONNECTED;
    return downstream_->Receive(sample);
}

HRESULT OutputPin::DeliverEndOfStream() {
    if (peer_ == nullptr) return VFW_E_NOT_CONNECTED;
    return peer_->EndOfStream();
}

HRESULT OutputPin::DeliverBeginFlush() {
    if (peer_ == nullptr) return VFW_E_NOT_CONNECTED;
    return peer_->BeginFlush();
}

HRESULT OutputPin::DeliverEndFlush() {
    if (peer_ == nullptr) return VFW_E_NOT_CONNECTED;
    return peer_->EndFlush();
}

HRESULT OutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    if (peer_ == nullptr) return VFW_E_NOT_CONNECTED;
    return peer_->NewSegment(start, stop, rate);
}

HRESULT OutputPin::GetDeliveryBuffer(IMediaSample** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (allocator_ == nullptr) return VFW_E_NO_ALLOCATOR;
    HRESULT hr = allocator_->GetBuffer(out, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    (*out)->SetTime(nullptr, nullptr);
    (*out)->SetMediaTime(nullptr, nullptr);
    (*out)->SetDiscontinuity(FALSE);
    (*out)->SetPreroll(FALSE);
    (*out)->SetSyncPoint(FALSE);
    (*out)->SetActualDataLength(0);
    return S_OK;
}
