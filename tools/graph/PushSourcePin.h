// The push source's one "Output" pin: it offers the source's type, negotiates the connection
// and an allocator big enough for the largest scheduled sample. Its reference count is the
// filter's.
#pragma once

#include "platform/CriticalLock.h"
#include "platform/Platform.h"

#include <dshow.h>

class PushSource;

class PushSourcePin : public IPin {
  public:
    explicit PushSourcePin(PushSource* filter) : filter_(filter) {}
    ~PushSourcePin();
    PushSourcePin(const PushSourcePin&) = delete;
    PushSourcePin& operator=(const PushSourcePin&) = delete;

    // IUnknown: IPin only.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPin connection: application thread, under the filter lock.
    STDMETHODIMP Connect(IPin* receive, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    STDMETHODIMP Disconnect() override;
    // Queries: any thread. Not the filter lock: downstream may ask from inside a Receive we
    // make while Stop holds that lock and waits for the streaming thread.
    STDMETHODIMP ConnectedTo(IPin** out) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override;
    STDMETHODIMP QueryId(LPWSTR* id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** out) override;
    STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }

    // Input-side calls; never valid on an output pin.
    STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
    STDMETHODIMP BeginFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP EndFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override {
        return E_UNEXPECTED;
    }

    // The connection, without references added. It changes only while the filter is stopped,
    // so the streaming thread reads it without a lock.
    IPin* Peer() const { return peer_; }
    IMemInputPin* Transport() const { return transport_; }
    IMemAllocator* Allocator() const { return allocator_; }

  private:
    HRESULT DecideAllocator();
    HRESULT SizeAllocator(IMemAllocator* allocator, ALLOCATOR_PROPERTIES want);
    void ReleaseConnection();

    PushSource* filter_;
    CriticalLock peerLock_;
    IPin* peer_ = nullptr;  // written under the filter lock and peerLock_
    IMemInputPin* transport_ = nullptr;
    IMemAllocator* allocator_ = nullptr;
};
