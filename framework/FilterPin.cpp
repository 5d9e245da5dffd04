#include "framework/FilterPin.h"

#include <cwchar>

#include "framework/InPlaceFilter.h"
#include "framework/MediaType.h"
#include "framework/MediaTypeEnum.h"

FilterPin::FilterPin(InPlaceFilter* filter, PIN_DIRECTION direction, const WCHAR* id)
    : filter_(filter), direction_(direction), id_(id) {}

FilterPin::~FilterPin() {
    ClearConnection();
}

STDMETHODIMP_(ULONG) FilterPin::AddRef() {
    return filter_->Outer()->AddRef();
}
STDMETHODIMP_(ULONG) FilterPin::Release() {
    return filter_->Outer()->Release();
}

STDMETHODIMP FilterPin::ConnectedTo(IPin** out) {
    if (out == nullptr) return E_POINTER;
    *out = AddRefPeer();
    return *out != nullptr ? S_OK : VFW_E_NOT_CONNECTED;
}

STDMETHODIMP FilterPin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    LockHold hold(filter_->FilterLock());
    if (peer_ == nullptr) {
        *type = AM_MEDIA_TYPE{};
        return VFW_E_NOT_CONNECTED;
    }
    return MediaTypeCopy(type, type_);
}

STDMETHODIMP FilterPin::QueryPinInfo(PIN_INFO* info) {
    if (info == nullptr) return E_POINTER;
    info->pFilter = filter_;
    info->pFilter->AddRef();
    info->dir = direction_;
    wcsncpy(info->achName, id_, MAX_PIN_NAME - 1);
    info->achName[MAX_PIN_NAME - 1] = 0;
    return S_OK;
}

STDMETHODIMP FilterPin::QueryDirection(PIN_DIRECTION* direction) {
    if (direction == nullptr) return E_POINTER;
    *direction = direction_;
    return S_OK;
}

STDMETHODIMP FilterPin::QueryId(LPWSTR* id) {
    if (id == nullptr) return E_POINTER;
    size_t bytes = (wcslen(id_) + 1) * sizeof(WCHAR);
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (*id == nullptr) return E_OUTOFMEMORY;
    memcpy(*id, id_, bytes);
    return S_OK;
}

STDMETHODIMP FilterPin::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    LockHold hold(filter_->FilterLock());
    return CheckType(type) == S_OK ? S_OK : S_FALSE;
}

STDMETHODIMP FilterPin::EnumMediaTypes(IEnumMediaTypes** out) {
    if (out == nullptr) return E_POINTER;
    LockHold hold(filter_->FilterLock());
    const AM_MEDIA_TYPE* offered = OfferedType();
    *out = MediaTypeEnum::Create(offered, offered != nullptr ? 1 : 0);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP FilterPin::QueryInternalConnections(IPin**, ULONG*) {
    return E_NOTIMPL;
}

IPin* FilterPin::AddRefPeer() {
    // Not the filter lock: downstream filters ask for the upstream pin (seeking) from inside
    // calls we make while streaming, when Stop may hold the filter lock and wait for us.
    LockHold hold(peerLock_);
    if (peer_ != nullptr) peer_->AddRef();
    return peer_;
}

HRESULT FilterPin::SetConnection(IPin* peer, const AM_MEDIA_TYPE& type) {
    AM_MEDIA_TYPE copy;
    HRESULT hr = MediaTypeCopy(&copy, type);
    if (FAILED(hr)) return hr;
    ClearConnection();
    type_ = copy;
    peer->AddRef();
    LockHold hold(peerLock_);
    peer_ = peer;
    return S_OK;
}

void FilterPin::ClearConnection() {
    IPin* old;
    {
        LockHold hold(peerLock_);
        old = peer_;
        peer_ = nullptr;
    }
    if (old != nullptr) old->Release();
    MediaTypeClear(&type_);
}

HRESULT FilterPin::CheckPeerDirection(IPin* peer) {
    PIN_DIRECTION theirs;
    HRESULT hr = peer->QueryDirection(&theirs);
    if (FAILED(hr)) return hr;
    return theirs == direction_ ? VFW_E_INVALID_DIRECTION : S_OK;
}
