#include "tools/graph/PushSourcePin.h"

#include <algorithm>
#include <cstring>

#include "framework/MediaType.h"
#include "framework/MediaTypeEnum.h"
#include "tools/graph/PushSource.h"

namespace {
const WCHAR kPinName[] = L"Output";

// A complete type must be ours exactly; a partial one must fit it.
bool FitsRequest(const AM_MEDIA_TYPE& ours, const AM_MEDIA_TYPE& asked) {
    return MediaTypeIsComplete(asked) ? MediaTypesEqual(ours, asked)
                                      : MediaTypeMatchesPartial(ours, asked);
}
}  // namespace

PushSourcePin::~PushSourcePin() {
    ReleaseConnection();
}

STDMETHODIMP PushSourcePin::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin)) {
        *out = static_cast<IPin*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) PushSourcePin::AddRef() {
    return filter_->AddRef();
}
STDMETHODIMP_(ULONG) PushSourcePin::Release() {
    return filter_->Release();
}

STDMETHODIMP PushSourcePin::Connect(IPin* receive, const AM_MEDIA_TYPE* type) {
    if (receive == nullptr) return E_POINTER;
    LockHold hold(filter_->FilterLock());
    if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (peer_ != nullptr) return VFW_E_ALREADY_CONNECTED;
    PIN_DIRECTION direction;
    HRESULT hr = receive->QueryDirection(&direction);
    if (FAILED(hr)) return hr;
    if (direction != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
    const AM_MEDIA_TYPE& ours = filter_->Type();
    if (type != nullptr && !FitsRequest(ours, *type)) return VFW_E_TYPE_NOT_ACCEPTED;

    hr = receive->ReceiveConnection(this, &ours);
    if (FAILED(hr)) return hr;
    receive->AddRef();
    {
        LockHold peer(peerLock_);
        peer_ = receive;
    }
    hr = receive->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&transport_));
    if (FAILED(hr)) {
        transport_ = nullptr;
        hr = VFW_E_NO_TRANSPORT;
    }
    if (SUCCEEDED(hr)) hr = DecideAllocator();
    if (FAILED(hr)) {
        receive->Disconnect();
        ReleaseConnection();
    }
    return hr;
}

// Buffers: at least two, so one can be filled while downstream holds the other, or as many
// as the peer asks; each as big as the largest sample and the peer's own wish. The peer's
// allocator if it has one that grants that, else a memory allocator of our own.
HRESULT PushSourcePin::DecideAllocator() {
    ALLOCATOR_PROPERTIES asked = {};
    if (FAILED(transport_->GetAllocatorRequirements(&asked))) asked = {};
    ALLOCATOR_PROPERTIES want = {};
    want.cBuffers = std::max<long>(2, asked.cBuffers);
    want.cbBuffer = std::max<long>({1, long(filter_->LargestSample()), asked.cbBuffer});
    want.cbAlign = std::max<long>(1, asked.cbAlign);
    want.cbPrefix = std::max<long>(0, asked.cbPrefix);

    IMemAllocator* allocator = nullptr;
    if (FAILED(transport_->GetAllocator(&allocator)) || allocator == nullptr ||
        FAILED(SizeAllocator(allocator, want))) {
        if (allocator != nullptr) allocator->Release();
        allocator = nullptr;
        HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IMemAllocator, reinterpret_cast<void**>(&allocator));
        if (SUCCEEDED(hr)) hr = SizeAllocator(allocator, want);
        if (FAILED(hr)) {
            if (allocator != nullptr) allocator->Release();
            return hr;
        }
    }
    HRESULT hr = transport_->NotifyAllocator(allocator, FALSE);
    if (FAILED(hr)) {
        allocator->Release();
        return hr;
    }
    allocator_ = allocator;
    return S_OK;
}

HRESULT PushSourcePin::SizeAllocator(IMemAllocator* allocator, ALLOCATOR_PROPERTIES want) {
    ALLOCATOR_PROPERTIES granted = {};
    HRESULT hr = allocator->SetProperties(&want, &granted);
    if (FAILED(hr)) return hr;
    // A smaller buffer would cut samples short.
    if (granted.cBuffers < 1 || granted.cbBuffer < want.cbBuffer) return E_FAIL;
    return S_OK;
}

STDMETHODIMP PushSourcePin::Disconnect() {
    LockHold hold(filter_->FilterLock());
    if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (peer_ == nullptr) return S_FALSE;
    ReleaseConnection();
    return S_OK;
}

void PushSourcePin::ReleaseConnection() {
    IPin* peer;
    {
        LockHold hold(peerLock_);
        peer = peer_;
        peer_ = nullptr;
    }
    if (allocator_ != nullptr) allocator_->Release();
    if (transport_ != nullptr) transport_->Release();
    if (peer != nullptr) peer->Release();
    allocator_ = nullptr;
    transport_ = nullptr;
}

STDMETHODIMP PushSourcePin::ConnectedTo(IPin** out) {
    if (out == nullptr) return E_POINTER;
    LockHold hold(peerLock_);
    *out = peer_;
    if (peer_ == nullptr) return VFW_E_NOT_CONNECTED;
    peer_->AddRef();
    return S_OK;
}

STDMETHODIMP PushSourcePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    LockHold hold(peerLock_);
    if (peer_ == nullptr) {
        *type = AM_MEDIA_TYPE{};
        return VFW_E_NOT_CONNECTED;
    }
    return MediaTypeCopy(type, filter_->Type());
}

STDMETHODIMP PushSourcePin::QueryPinInfo(PIN_INFO* info) {
    if (info == nullptr) return E_POINTER;
    info->pFilter = filter_;
    filter_->AddRef();
    info->dir = PINDIR_OUTPUT;
    std::memcpy(info->achName, kPinName, sizeof(kPinName));
    return S_OK;
}

STDMETHODIMP PushSourcePin::QueryDirection(PIN_DIRECTION* direction) {
    if (direction == nullptr) return E_POINTER;
    *direction = PINDIR_OUTPUT;
    return S_OK;
}

STDMETHODIMP PushSourcePin::QueryId(LPWSTR* id) {
    if (id == nullptr) return E_POINTER;
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof(kPinName)));
    if (*id == nullptr) return E_OUTOFMEMORY;
    std::memcpy(*id, kPinName, sizeof(kPinName));
    return S_OK;
}

STDMETHODIMP PushSourcePin::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    return MediaTypesEqual(filter_->Type(), *type) ? S_OK : S_FALSE;
}

STDMETHODIMP PushSourcePin::EnumMediaTypes(IEnumMediaTypes** out) {
    if (out == nullptr) return E_POINTER;
    *out = MediaTypeEnum::Create(&filter_->Type(), 1);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}
