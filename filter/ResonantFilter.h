// The filter object: the in-place transform with the parameter store, the DSP and the
// streaming loop inside, and its private faces for the page, presets and direct processing.
//
// Threads: connection and state changes on the application thread (framework filter lock);
// Receive, Transform and EndOfStream on the upstream streaming thread (receive lock); settings,
// presets and parameter calls on any thread. Lock order: framework filter lock, receive lock;
// independently the DSP lock, then the store lock. No lock is held while filtering, and page
// notices are posted, never sent.
#pragma once

#include "filter/SettingsFaces.h"
#include "framework/InPlaceFilter.h"
#include "stream/DirectGate.h"

// IDirectProcess::Stop and IMediaFilter::Stop share a signature; this gives the direct one a
// name of its own so each keeps its meaning.
struct DirectProcessFace : public IDirectProcess {
    STDMETHODIMP Stop() final { return DirectStop(); }
    virtual HRESULT DirectStop() = 0;
};

class ResonantFilter : public InPlaceFilter, public SettingsFaces, public DirectProcessFace {
  public:
    // The factory's create function: the non-delegating unknown with one reference.
    static IUnknown* Create(IUnknown* outer, HRESULT* result);

    // IUnknown of every face: the outer unknown's.
    RF_OUTER_UNKNOWN_FACE
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    // IPersist of the filter face and of IPersistStream.
    STDMETHODIMP GetClassID(CLSID* clsid) override;

    // IDirectProcess: one host thread at a time; VFW_E_WRONG_STATE unless the filter is Stopped.
    STDMETHODIMP Init(UINT channels, UINT sampleRate) override;
    STDMETHODIMP Process(float* frames, UINT count, UINT flags) override;
    STDMETHODIMP Drain(float* frames, UINT* count) override;
    HRESULT DirectStop() override;
    STDMETHODIMP HasPendingChange() override;
    STDMETHODIMP Refresh(BOOL reset, DWORD reserved1, DWORD reserved2) override;

  protected:
    const FilterSetup* GetSetupData() override;
    HRESULT CheckInputType(const AM_MEDIA_TYPE* type) override;
    HRESULT SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE* type) override;
    HRESULT StartStreaming() override;
    HRESULT StopStreaming() override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT Transform(IMediaSample* sample) override;
    HRESULT EndOfStream() override;
    HRESULT AdoptInputType(const AM_MEDIA_TYPE* type) override;
    void LeavingStopped() override;
    void EnteredStopped() override;

  private:
    ResonantFilter(IUnknown* outer, HRESULT* result);
    ~ResonantFilter() override;

    DirectGate direct_{driver_};
};
