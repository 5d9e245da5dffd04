// What the input and output pins share: identity, connection record and the type queries.
// A pin's reference count is its filter's: AddRef and Release go to the filter's outer unknown.
#pragma once

#include "platform/CriticalLock.h"
#include "platform/Platform.h"

#include <dshow.h>

class InPlaceFilter;

class FilterPin : public IPin {
  public:
    FilterPin(InPlaceFilter* filter, PIN_DIRECTION direction, const WCHAR* id);
    virtual ~FilterPin();
    FilterPin(const FilterPin&) = delete;
    FilterPin& operator=(const FilterPin&) = delete;

    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPin queries: application thread; they take the filter lock.
    STDMETHODIMP ConnectedTo(IPin** out) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override;
    STDMETHODIMP QueryId(LPWSTR* id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** out) override;
    STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;

    // S_OK when this pin may connect with the type now.
    virtual HRESULT CheckType(const AM_MEDIA_TYPE* type) = 0;

    bool IsConnected() const { return peer_ != nullptr; }
    // The connected type; only meaningful while connected, and read under the filter lock.
    const AM_MEDIA_TYPE& ConnectedType() const { return type_; }
    // The connected peer with a reference the caller releases, or nullptr.
    IPin* AddRefPeer();
    const WCHAR* Id() const { return id_; }

  protected:
    // The single type this pin proposes, or nullptr to propose none.
    virtual const AM_MEDIA_TYPE* OfferedType() { return nullptr; }

    HRESULT SetConnection(IPin* peer, const AM_MEDIA_TYPE& type);
    void ClearConnection();
    // VFW_E_INVALID_DIRECTION unless the peer points the other way.
    HRESULT CheckPeerDirection(IPin* peer);

    InPlaceFilter* filter_;
    IPin* peer_ = nullptr;  // written under the filter lock and peerLock_
    CriticalLock peerLock_;
    AM_MEDIA_TYPE type_ = {};

  private:
    PIN_DIRECTION direction_;
    const WCHAR* id_;
};
