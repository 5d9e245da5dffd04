#include "framework/InputPin.h"

#include "framework/InPlaceFilter.h"
#include "framework/MediaType.h"

InputPin::InputPin(InPlaceFilter* filter) : FilterPin(filter, PINDIR_INPUT, L"Input") {}

InputPin::~InputPin() {
    if (allocator_ != nullptr) allocator_->Release();
}

STDMETHODIMP InputPin::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin)) {
        *out = static_cast<IPin*>(this);
    } else if (IsEqualIID(iid, IID_IMemInputPin)) {
        *out = static_cast<IMemInputPin*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP InputPin::Connect(IPin*, const AM_MEDIA_TYPE*) {
    // Upstream output pins start connections; an input pin only receives them.
    return E_UNEXPECTED;
}

STDMETHODIMP InputPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
    if (connector == nullptr || type == nullptr) return E_POINTER;
    LockHold hold(filter_->FilterLock());
    if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
    HRESULT hr = CheckPeerDirection(connector);
    if (FAILED(hr)) return hr;
    if (CheckType(type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    hr = SetConnection(connector, *type);
    if (SUCCEEDED(hr)) hr = filter_->SetMediaType(PINDIR_INPUT, &type_);
    if (SUCCEEDED(hr)) hr = filter_->CompleteConnect(PINDIR_INPUT);
    if (FAILED(hr)) ClearConnection();
    return hr;
}

STDMETHODIMP InputPin::Disconnect() {
    LockHold hold(filter_->FilterLock());
    if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (!IsConnected()) return S_FALSE;
    if (allocator_ != nullptr) {
        allocator_->Release();
        allocator_ = nullptr;
    }
    ClearConnection();
    return S_OK;
}

HRESULT InputPin::CheckStreaming() const {
    if (!filter_->IsStreaming()) return VFW_E_WRONG_STATE;
    // A filter paused with this pin unconnected has no format to process a sample in.
    if (!IsConnected()) return VFW_E_NOT_CONNECTED;
    if (flushing_) return S_FALSE;
    return S_OK;
}

STDMETHODIMP InputPin::EndOfStream() {
    LockHold hold(filter_->ReceiveLock());
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    return filter_->EndOfStream();
}

STDMETHODIMP InputPin::BeginFlush() {
    // Refused before the flag is set, so a failed flush cannot drop samples once connected.
    if (!IsConnected()) return VFW_E_NOT_CONNECTED;
    flushing_ = true;
    return filter_->OutputPinRef().DeliverBeginFlush();
}

STDMETHODIMP InputPin::EndFlush() {
    HRESULT hr = filter_->OutputPinRef().DeliverEndFlush();
    flushing_ = false;
    return hr;
}

STDMETHODIMP InputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    return filter_->OutputPinRef().DeliverNewSegment(start, stop, rate);
}

STDMETHODIMP InputPin::GetAllocator(IMemAllocator** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    // In place, a downstream allocator saves the output side a second one. Anything but an
    // allocator or exactly VFW_E_NO_ALLOCATOR makes upstream give up the connection.
    LockHold hold(filter_->FilterLock());
    IMemInputPin* downstream = filter_->OutputPinRef().Downstream();
    if (downstream != nullptr && SUCCEEDED(downstream->GetAllocator(out)) && *out != nullptr)
        return S_OK;
    *out = nullptr;
    return VFW_E_NO_ALLOCATOR;
}

STDMETHODIMP InputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
    if (allocator == nullptr) return E_POINTER;
    // The filter writes into the buffers it receives; read-only ones would be corrupted.
    if (readOnly) return E_FAIL;
    LockHold hold(filter_->FilterLock());
    HRESULT hr = filter_->OutputPinRef().UseAllocator(allocator);
    if (FAILED(hr)) return hr;
    allocator->AddRef();
    if (allocator_ != nullptr) allocator_->Release();
    allocator_ = allocator;
    return S_OK;
}

STDMETHODIMP InputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) {
    if (props == nullptr) return E_POINTER;
    LockHold hold(filter_->FilterLock());
    IMemInputPin* downstream = filter_->OutputPinRef().Downstream();
    if (downstream == nullptr) return E_NOTIMPL;
    return downstream->GetAllocatorRequirements(props);
}

STDMETHODIMP InputPin::Receive(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    LockHold hold(filter_->ReceiveLock());
    hr = CheckStreaming();
    if (hr != S_OK) return hr;
    // In place, a sample has nowhere to go without an output: refused before it is touched.
    if (!filter_->OutputConnected()) return VFW_E_NOT_CONNECTED;
    AM_MEDIA_TYPE* changed = nullptr;
    if (sample->GetMediaType(&changed) == S_OK && changed != nullptr) {
        // A type change mid-stream must pass the same check as a connection would. A refused
        // one ends the stream, as nothing after it can be read correctly.
        hr = filter_->CheckInputType(changed) == S_OK ? filter_->AdoptInputType(changed)
                                                      : VFW_E_INVALIDMEDIATYPE;
        MediaTypeDelete(changed);
        if (FAILED(hr)) {
            filter_->OutputPinRef().DeliverEndOfStream();
            filter_->NotifyEvent(EC_ERRORABORT, hr, 0);
            return hr;
        }
    }
    return filter_->Receive(sample);
}

STDMETHODIMP InputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
    if (samples == nullptr || processed == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    *processed = 0;
    while (*processed < count) {
        hr = Receive(samples[*processed]);
        if (hr != S_OK) break;
        ++*processed;
    }
    return hr;
}

STDMETHODIMP InputPin::ReceiveCanBlock() {
    // Delivery downstream happens inside Receive, so it may block whenever downstream does.
    return S_OK;
}

HRESULT InputPin::CheckType(const AM_MEDIA_TYPE* type) {
    HRESULT hr = filter_->CheckInputType(type);
    if (hr != S_OK) return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
    // In place, the type must also suit what the output already feeds.
    IPin* downstream = filter_->OutputPinRef().AddRefPeer();
    if (downstream == nullptr) return S_OK;
    hr = downstream->QueryAccept(type);
    downstream->Release();
    return hr == S_OK ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}
