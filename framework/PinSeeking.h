// IMediaSeeking and IMediaPosition for the output pin, passed to the pin connected upstream
// of the input, so renderers can seek through the filter. Its identity and count are the pin's.
#pragma once

#include "platform/Platform.h"

#include <dshow.h>

class InPlaceFilter;

class PinSeeking : public IMediaSeeking, public IMediaPosition {
  public:
    PinSeeking(IPin* owner, InPlaceFilter* filter) : owner_(owner), filter_(filter) {}
    PinSeeking(const PinSeeking&) = delete;
    PinSeeking& operator=(const PinSeeking&) = delete;

    // IUnknown: the owning pin's.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IMediaSeeking: any thread; no framework lock is held while upstream is called, since
    // a seek flushes back through the input pin on the caller's thread.
    STDMETHODIMP GetCapabilities(DWORD* caps) override;
    STDMETHODIMP CheckCapabilities(DWORD* caps) override;
    STDMETHODIMP IsFormatSupported(const GUID* format) override;
    STDMETHODIMP QueryPreferredFormat(GUID* format) override;
    STDMETHODIMP GetTimeFormat(GUID* format) override;
    STDMETHODIMP IsUsingTimeFormat(const GUID* format) override;
    STDMETHODIMP SetTimeFormat(const GUID* format) override;
    STDMETHODIMP GetDuration(LONGLONG* duration) override;
    STDMETHODIMP GetStopPosition(LONGLONG* stop) override;
    STDMETHODIMP GetCurrentPosition(LONGLONG* current) override;
    STDMETHODIMP ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                   const GUID* sourceFormat) override;
    STDMETHODIMP SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                              DWORD stopFlags) override;
    STDMETHODIMP GetPositions(LONGLONG* current, LONGLONG* stop) override;
    STDMETHODIMP GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
    STDMETHODIMP SetRate(double rate) override;
    STDMETHODIMP GetRate(double* rate) override;
    STDMETHODIMP GetPreroll(LONGLONG* preroll) override;

    // IDispatch: no type information of our own.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // IMediaPosition: forwarded only when upstream offers it, else E_NOTIMPL.
    STDMETHODIMP get_Duration(REFTIME* length) override;
    STDMETHODIMP put_CurrentPosition(REFTIME time) override;
    STDMETHODIMP get_CurrentPosition(REFTIME* time) override;
    STDMETHODIMP get_StopTime(REFTIME* time) override;
    STDMETHODIMP put_StopTime(REFTIME time) override;
    STDMETHODIMP get_PrerollTime(REFTIME* time) override;
    STDMETHODIMP put_PrerollTime(REFTIME time) override;
    STDMETHODIMP put_Rate(double rate) override;
    STDMETHODIMP get_Rate(double* rate) override;
    STDMETHODIMP CanSeekForward(LONG* can) override;
    STDMETHODIMP CanSeekBackward(LONG* can) override;

  private:
    // Runs call on upstream's interface I; E_NOTIMPL when there is no such upstream.
    template <class I, class Call>
    HRESULT Forward(REFIID iid, Call call);

    IPin* owner_;
    InPlaceFilter* filter_;
};
