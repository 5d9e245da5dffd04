#include "framework/InPlaceFilter.h"

#include <cwchar>

#include "framework/MediaType.h"
#include "framework/PinEnum.h"
#include "framework/Registration.h"

InPlaceFilter::InPlaceFilter(IUnknown* outer, REFCLSID clsid, HRESULT* result)
    : ComIdentity(outer), clsid_(clsid), input_(this), output_(this) {
    if (result != nullptr) *result = S_OK;
}

InPlaceFilter::~InPlaceFilter() {
    if (clock_ != nullptr) clock_->Release();
}

void InPlaceFilter::NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2) {
    // The streaming thread calls this under the receive lock, so it may not take the filter
    // lock; the graph stays valid while it holds us and streams.
    IFilterGraph* graph = eventGraph_.load();
    IMediaEventSink* sink = nullptr;
    if (graph == nullptr ||
        FAILED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink))))
        return;
    sink->Notify(code, param1, param2);
    sink->Release();
}

HRESULT InPlaceFilter::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IBaseFilter) || IsEqualIID(iid, IID_IMediaFilter) ||
        IsEqualIID(iid, IID_IPersist))
        return AnswerFace(static_cast<IBaseFilter*>(this), out);
    if (IsEqualIID(iid, IID_IAMovieSetup)) return AnswerFace(static_cast<IAMovieSetup*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP InPlaceFilter::GetClassID(CLSID* clsid) {
    if (clsid == nullptr) return E_POINTER;
    *clsid = clsid_;
    return S_OK;
}

HRESULT InPlaceFilter::Activate() {
    LeavingStopped();
    HRESULT hr = ActivatePins();
    if (FAILED(hr)) EnteredStopped();
    return hr;
}

HRESULT InPlaceFilter::ActivatePins() {
    if (!input_.IsConnected() || !output_.IsConnected()) {
        streaming_ = true;
        return S_OK;
    }
    HRESULT hr = output_.Active();
    if (FAILED(hr)) return hr;
    {
        LockHold hold(receiveLock_);
        hr = StartStreaming();
    }
    if (FAILED(hr)) {
        output_.Inactive();
        return hr;
    }
    started_ = true;
    streaming_ = true;
    return S_OK;
}

STDMETHODIMP InPlaceFilter::Stop() {
    LockHold hold(filterLock_);
    if (state_ == State_Stopped) return S_OK;
    // Refuse new samples first, then free an upstream thread waiting for an owned buffer,
    // then wait under the receive lock for any Receive still running.
    streaming_ = false;
    output_.Inactive();
    if (started_) {
        LockHold streaming(receiveLock_);
        HRESULT hr = StopStreaming();
        if (FAILED(hr)) {
            streaming_ = true;
            output_.Active();
            return hr;
        }
        started_ = false;
    }
    state_ = State_Stopped;
    EnteredStopped();
    return S_OK;
}

STDMETHODIMP InPlaceFilter::Pause() {
    LockHold hold(filterLock_);
    if (state_ == State_Stopped) {
        HRESULT hr = Activate();
        if (FAILED(hr)) return hr;
    }
    state_ = State_Paused;
    return S_OK;
}

STDMETHODIMP InPlaceFilter::Run(REFERENCE_TIME start) {
    LockHold hold(filterLock_);
    // The graph may go from Stopped straight to Running without a Pause.
    if (state_ == State_Stopped) {
        HRESULT hr = Activate();
        if (FAILED(hr)) return hr;
    }
    start_ = start;
    state_ = State_Running;
    return S_OK;
}

STDMETHODIMP InPlaceFilter::GetState(DWORD, FILTER_STATE* state) {
    if (state == nullptr) return E_POINTER;
    *state = state_;
    return S_OK;
}

STDMETHODIMP InPlaceFilter::SetSyncSource(IReferenceClock* clock) {
    LockHold hold(filterLock_);
    if (clock != nullptr) clock->AddRef();
    if (clock_ != nullptr) clock_->Release();
    clock_ = clock;
    return S_OK;
}

STDMETHODIMP InPlaceFilter::GetSyncSource(IReferenceClock** clock) {
    if (clock == nullptr) return E_POINTER;
    LockHold hold(filterLock_);
    *clock = clock_;
    if (clock_ != nullptr) clock_->AddRef();
    return S_OK;
}

STDMETHODIMP InPlaceFilter::EnumPins(IEnumPins** out) {
    if (out == nullptr) return E_POINTER;
    IPin* pins[] = {&input_, &output_};
    *out = PinEnum::Create(this, pins, 2);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP InPlaceFilter::FindPin(LPCWSTR id, IPin** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (id == nullptr) return E_POINTER;
    if (wcscmp(id, input_.Id()) == 0) {
        *out = &input_;
    } else if (wcscmp(id, output_.Id()) == 0) {
        *out = &output_;
    } else {
        return VFW_E_NOT_FOUND;
    }
    (*out)->AddRef();
    return S_OK;
}

STDMETHODIMP InPlaceFilter::QueryFilterInfo(FILTER_INFO* info) {
    if (info == nullptr) return E_POINTER;
    LockHold hold(filterLock_);
    wcsncpy(info->achName, name_, MAX_FILTER_NAME - 1);
    info->achName[MAX_FILTER_NAME - 1] = 0;
    info->pGraph = graph_;
    if (graph_ != nullptr) graph_->AddRef();
    return S_OK;
}

STDMETHODIMP InPlaceFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    LockHold hold(filterLock_);
    graph_ = graph;
    eventGraph_ = graph;
    name_[0] = 0;
    if (graph != nullptr && name != nullptr) {
        wcsncpy(name_, name, MAX_FILTER_NAME - 1);
        name_[MAX_FILTER_NAME - 1] = 0;
    }
    return S_OK;
}

STDMETHODIMP InPlaceFilter::QueryVendorInfo(LPWSTR*) {
    return E_NOTIMPL;
}
// A filter without setup data has nothing to enter: done, with nothing done.
STDMETHODIMP InPlaceFilter::Register() {
    const FilterSetup* setup = GetSetupData();
    return setup != nullptr ? UpdateFilterRegistration(*setup, true) : S_FALSE;
}
STDMETHODIMP InPlaceFilter::Unregister() {
    const FilterSetup* setup = GetSetupData();
    return setup != nullptr ? UpdateFilterRegistration(*setup, false) : S_FALSE;
}

HRESULT InPlaceFilter::SetMediaType(PIN_DIRECTION, const AM_MEDIA_TYPE*) {
    return S_OK;
}
HRESULT InPlaceFilter::StartStreaming() {
    return S_OK;
}
HRESULT InPlaceFilter::StopStreaming() {
    return S_OK;
}

HRESULT InPlaceFilter::Receive(IMediaSample* sample) {
    HRESULT hr = Transform(sample);
    if (FAILED(hr)) return hr;
    if (hr == S_FALSE) return S_OK;
    return Deliver(sample);
}

HRESULT InPlaceFilter::EndOfStream() {
    return DeliverEndOfStream();
}

HRESULT InPlaceFilter::CompleteConnect(PIN_DIRECTION direction) {
    // In place both pins carry one type; the pin connected first follows the second.
    FilterPin& other = direction == PINDIR_INPUT ? static_cast<FilterPin&>(output_)
                                                 : static_cast<FilterPin&>(input_);
    const FilterPin& self = direction == PINDIR_INPUT ? static_cast<FilterPin&>(input_)
                                                      : static_cast<FilterPin&>(output_);
    if (!other.IsConnected() || MediaTypesEqual(other.ConnectedType(), self.ConnectedType()))
        return S_OK;
    return ReconnectPin(&other, &self.ConnectedType());
}

HRESULT InPlaceFilter::ReconnectPin(IPin* pin, const AM_MEDIA_TYPE* type) {
    if (graph_ == nullptr) return VFW_E_NOT_IN_GRAPH;
    // The graph disconnects both ends, which frees our copy of the type; pass its own copy.
    AM_MEDIA_TYPE copy;
    HRESULT hr = MediaTypeCopy(&copy, *type);
    if (FAILED(hr)) return hr;
    IFilterGraph2* graph2 = nullptr;
    if (SUCCEEDED(graph_->QueryInterface(IID_IFilterGraph2, reinterpret_cast<void**>(&graph2)))) {
        hr = graph2->ReconnectEx(pin, &copy);
        graph2->Release();
    } else {
        hr = graph_->Reconnect(pin);
    }
    MediaTypeClear(&copy);
    return hr;
}
