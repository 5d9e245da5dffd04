// The generic in-place audio transform filter. A concrete filter derives from it, accepts
// types in CheckInputType and processes each buffer in Transform; this class owns the pins,
// the states, the locks, connection and allocator rules, and the COM identity.
//
// Threads and locks: connection and state changes run on the application thread under the
// filter lock; Receive, Transform and EndOfStream run on the upstream streaming thread under
// the receive lock. Order: the filter lock before the receive lock. No framework lock that a
// state change, GetState or a flush needs is held while calling downstream.
#pragma once

#include <atomic>

#include "framework/ComIdentity.h"
#include "framework/InputPin.h"
#include "framework/OutputPin.h"
#include "platform/CriticalLock.h"

// What IAMovieSetup and the registration helpers read about a filter class. registration is
// in version 1 form (REGFILTERPINS, with pin names), which both the filter mapper and its older
// interface can take.
struct FilterSetup {
    const CLSID* clsid;
    const WCHAR* name;
    const REGFILTER2* registration;
};

class InPlaceFilter : public ComIdentity, public IBaseFilter, public IAMovieSetup {
  public:
    // The new object holds one reference on its non-delegating unknown, which the creator
    // owns (an aggregating outer keeps it). outer may be null. *result is S_OK.
    InPlaceFilter(IUnknown* outer, REFCLSID clsid, HRESULT* result);
    ~InPlaceFilter() override;

    // Every public face forwards to the outer unknown (this object's own when not aggregated).
    RF_OUTER_UNKNOWN_FACE

    // The object's own faces. Derived filters extend the map and call this for the rest.
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    // IPersist
    STDMETHODIMP GetClassID(CLSID* clsid) override;

    // IMediaFilter: application or graph thread, under the filter lock (GetState takes none).
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeout, FILTER_STATE* state) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;

    // IBaseFilter: application thread, under the filter lock.
    STDMETHODIMP EnumPins(IEnumPins** out) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin** out) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

    // IAMovieSetup: any thread; initialises COM for the call when the thread has none. Enters
    // or removes GetSetupData() in the filter mapper; S_FALSE when there is none.
    STDMETHODIMP Register() override;
    STDMETHODIMP Unregister() override;

    // Services for the concrete filter.
    HRESULT Deliver(IMediaSample* sample) { return output_.Deliver(sample); }
    HRESULT GetDeliveryBuffer(IMediaSample** out) { return output_.GetDeliveryBuffer(out); }
    HRESULT DeliverEndOfStream() { return output_.DeliverEndOfStream(); }
    bool InputConnected() { return input_.IsConnected(); }
    bool OutputConnected() { return output_.IsConnected(); }
    CriticalLock& FilterLock() { return filterLock_; }
    CriticalLock& ReceiveLock() { return receiveLock_; }
    FILTER_STATE State() const { return state_; }

    // For the pins.
    InputPin& InputPinRef() { return input_; }
    OutputPin& OutputPinRef() { return output_; }
    // True from a successful stop-to-paused/running change until Stop begins.
    bool IsStreaming() const { return streaming_; }

  protected:
    friend class InputPin;
    friend class OutputPin;

    // Accepts or refuses a type for either pin: S_OK to accept.
    virtual HRESULT CheckInputType(const AM_MEDIA_TYPE* type) = 0;
    // Once per pin when its type is agreed, also on reconnection. Filter lock held.
    virtual HRESULT SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE* type);
    // After a pin's connection is made: reconnects the other pin if it carries another type.
    virtual HRESULT CompleteConnect(PIN_DIRECTION direction);
    // Stopped to paused/running, and back to stopped, when both pins are connected; under
    // the filter lock and the receive lock. A StartStreaming failure fails the transition.
    virtual HRESULT StartStreaming();
    virtual HRESULT StopStreaming();
    // Streaming thread, receive lock: Transform, then deliver the same sample on S_OK; S_FALSE
    // drops it (S_OK to upstream); failures go back unchanged.
    virtual HRESULT Receive(IMediaSample* sample);
    // Processes the buffer in place: S_OK to deliver, S_FALSE to drop.
    virtual HRESULT Transform(IMediaSample* sample) = 0;
    // Streaming thread, receive lock. Passes end-of-stream on.
    virtual HRESULT EndOfStream();
    // Streaming thread, receive lock: a sample carries a new type that CheckInputType accepted.
    // The filter processes that sample and the following ones in it; a failure refuses it.
    virtual HRESULT AdoptInputType(const AM_MEDIA_TYPE*) { return S_OK; }
    // Posts an event to the graph's event sink, when in a graph that has one.
    void NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2);
    // Under the filter lock: the filter is about to leave Stopped (also when the change then
    // fails, which is followed by EnteredStopped), and has just come back to it.
    virtual void LeavingStopped() {}
    virtual void EnteredStopped() {}
    // Read by IAMovieSetup and the registration helpers; none by default.
    virtual const FilterSetup* GetSetupData() { return nullptr; }

  private:
    // Leaves Stopped; filter lock held.
    HRESULT Activate();
    HRESULT ActivatePins();
    HRESULT ReconnectPin(IPin* pin, const AM_MEDIA_TYPE* type);

    CLSID clsid_;
    CriticalLock filterLock_;
    CriticalLock receiveLock_;
    std::atomic<FILTER_STATE> state_{State_Stopped};
    std::atomic<bool> streaming_{false};
    // StartStreaming ran and StopStreaming is owed.
    bool started_ = false;
    REFERENCE_TIME start_ = 0;
    IReferenceClock* clock_ = nullptr;
    IFilterGraph* graph_ = nullptr;                   // not referenced: the graph owns us
    std::atomic<IFilterGraph*> eventGraph_{nullptr};  // the same, for the streaming thread
    WCHAR name_[MAX_FILTER_NAME] = {};
    InputPin input_;
    OutputPin output_;
};
