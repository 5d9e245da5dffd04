// The filter's "Input" pin: IPin and IMemInputPin. Samples arrive here on the upstream
// streaming thread and are handed to the filter under its receive lock.
#pragma once

#include <atomic>

#include "framework/FilterPin.h"

class InputPin : public FilterPin, public IMemInputPin {
  public:
    explicit InputPin(InPlaceFilter* filter);
    ~InputPin() override;

    // IUnknown: the pin's identity, the filter's count.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return FilterPin::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return FilterPin::Release(); }

    // IPin connection: application thread, under the filter lock.
    STDMETHODIMP Connect(IPin* receive, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP Disconnect() override;

    // IPin stream control. EndOfStream: streaming thread, receive lock. The flush calls come
    // from the application thread and take no lock, since a Receive may be blocked downstream.
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // IMemInputPin. Allocator calls: application thread, filter lock. Receive: streaming thread.
    STDMETHODIMP GetAllocator(IMemAllocator** out) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
    STDMETHODIMP ReceiveCanBlock() override;

    HRESULT CheckType(const AM_MEDIA_TYPE* type) override;

    // The allocator upstream chose (no reference added), or nullptr.
    IMemAllocator* Allocator() const { return allocator_; }
    bool IsFlushing() const { return flushing_; }

  private:
    // Why a sample may not be processed now: VFW_E_WRONG_STATE, S_FALSE, or S_OK to go on.
    HRESULT CheckStreaming() const;

    IMemAllocator* allocator_ = nullptr;
    std::atomic<bool> flushing_{false};
};
