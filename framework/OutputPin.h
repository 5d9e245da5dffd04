// The filter's "Output" pin: IPin, plus seeking passed upstream. It negotiates its own
// connection and, in place, hands the upstream allocator on to the downstream pin.
#pragma once

#include "framework/FilterPin.h"
#include "framework/PinSeeking.h"

class OutputPin : public FilterPin {
  public:
    explicit OutputPin(InPlaceFilter* filter);
    ~OutputPin() override;

    // IUnknown: IPin, IMediaSeeking and IMediaPosition (with IDispatch) are this pin's faces.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;

    // IPin connection: application thread, under the filter lock.
    STDMETHODIMP Connect(IPin* receive, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP Disconnect() override;

    // Input-side calls; never valid on an output pin.
    STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
    STDMETHODIMP BeginFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP EndFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override {
        return E_UNEXPECTED;
    }

    HRESULT CheckType(const AM_MEDIA_TYPE* type) override;

    // Downstream calls: no framework lock is taken, so state changes and flushes never wait
    // for a downstream pin that blocks. VFW_E_NOT_CONNECTED when there is no peer.
    HRESULT Deliver(IMediaSample* sample);
    HRESULT DeliverEndOfStream();
    HRESULT DeliverBeginFlush();
    HRESULT DeliverEndFlush();
    HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
    HRESULT GetDeliveryBuffer(IMediaSample** out);

    // Filter lock held. The upstream allocator the input pin was given: passed downstream.
    HRESULT UseAllocator(IMemAllocator* allocator);
    // Filter lock held. Commit or decommit an allocator only this pin uses.
    HRESULT Active();
    void Inactive();

    // The downstream pin's transport (no reference added), or nullptr.
    IMemInputPin* Downstream() const { return downstream_; }
    IMemAllocator* Allocator() const { return allocator_; }

  protected:
    const AM_MEDIA_TYPE* OfferedType() override;

  private:
    HRESULT TryConnect(IPin* receive, const AM_MEDIA_TYPE* type);
    HRESULT DecideAllocator();
    HRESULT SizeOwnAllocator(IMemAllocator* allocator);
    void ReleaseTransport();

    PinSeeking seeking_;
    IMemInputPin* downstream_ = nullptr;
    IMemAllocator* allocator_ = nullptr;
    // True when no upstream pin commits allocator_, so this pin must.
    bool ownsAllocator_ = false;
};
