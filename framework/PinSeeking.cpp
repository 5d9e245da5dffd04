#include "framework/PinSeeking.h"

#include "framework/InPlaceFilter.h"

STDMETHODIMP PinSeeking::QueryInterface(REFIID iid, void** out) {
    return owner_->QueryInterface(iid, out);
}
STDMETHODIMP_(ULONG) PinSeeking::AddRef() {
    return owner_->AddRef();
}
STDMETHODIMP_(ULONG) PinSeeking::Release() {
    return owner_->Release();
}

template <class I, class Call>
HRESULT PinSeeking::Forward(REFIID iid, Call call) {
    IPin* upstream = filter_->InputPinRef().AddRefPeer();
    if (upstream == nullptr) return E_NOTIMPL;
    I* face = nullptr;
    HRESULT hr = upstream->QueryInterface(iid, reinterpret_cast<void**>(&face));
    upstream->Release();
    if (FAILED(hr) || face == nullptr) return E_NOTIMPL;
    hr = call(face);
    face->Release();
    return hr;
}

#define RF_SEEK(expr) \
    return Forward<IMediaSeeking>(IID_IMediaSeeking, [&](IMediaSeeking* up) { return expr; })
#define RF_POSITION(expr) \
    return Forward<IMediaPosition>(IID_IMediaPosition, [&](IMediaPosition* up) { return expr; })

STDMETHODIMP PinSeeking::GetCapabilities(DWORD* caps) {
    RF_SEEK(up->GetCapabilities(caps));
}
STDMETHODIMP PinSeeking::CheckCapabilities(DWORD* caps) {
    RF_SEEK(up->CheckCapabilities(caps));
}
STDMETHODIMP PinSeeking::IsFormatSupported(const GUID* format) {
    RF_SEEK(up->IsFormatSupported(format));
}
STDMETHODIMP PinSeeking::QueryPreferredFormat(GUID* format) {
    RF_SEEK(up->QueryPreferredFormat(format));
}
STDMETHODIMP PinSeeking::GetTimeFormat(GUID* format) {
    RF_SEEK(up->GetTimeFormat(format));
}
STDMETHODIMP PinSeeking::IsUsingTimeFormat(const GUID* format) {
    RF_SEEK(up->IsUsingTimeFormat(format));
}
STDMETHODIMP PinSeeking::SetTimeFormat(const GUID* format) {
    RF_SEEK(up->SetTimeFormat(format));
}
STDMETHODIMP PinSeeking::GetDuration(LONGLONG* duration) {
    RF_SEEK(up->GetDuration(duration));
}
STDMETHODIMP PinSeeking::GetStopPosition(LONGLONG* stop) {
    RF_SEEK(up->GetStopPosition(stop));
}
STDMETHODIMP PinSeeking::GetCurrentPosition(LONGLONG* current) {
    RF_SEEK(up->GetCurrentPosition(current));
}
STDMETHODIMP PinSeeking::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat,
                                           LONGLONG source, const GUID* sourceFormat) {
    RF_SEEK(up->ConvertTimeFormat(target, targetFormat, source, sourceFormat));
}
STDMETHODIMP PinSeeking::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                      DWORD stopFlags) {
    RF_SEEK(up->SetPositions(current, currentFlags, stop, stopFlags));
}
STDMETHODIMP PinSeeking::GetPositions(LONGLONG* current, LONGLONG* stop) {
    RF_SEEK(up->GetPositions(current, stop));
}
STDMETHODIMP PinSeeking::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
    RF_SEEK(up->GetAvailable(earliest, latest));
}
STDMETHODIMP PinSeeking::SetRate(double rate) {
    RF_SEEK(up->SetRate(rate));
}
STDMETHODIMP PinSeeking::GetRate(double* rate) {
    RF_SEEK(up->GetRate(rate));
}
STDMETHODIMP PinSeeking::GetPreroll(LONGLONG* preroll) {
    RF_SEEK(up->GetPreroll(preroll));
}

STDMETHODIMP PinSeeking::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
}
STDMETHODIMP PinSeeking::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP PinSeeking::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}
STDMETHODIMP PinSeeking::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                UINT*) {
    return E_NOTIMPL;
}

STDMETHODIMP PinSeeking::get_Duration(REFTIME* length) {
    RF_POSITION(up->get_Duration(length));
}
STDMETHODIMP PinSeeking::put_CurrentPosition(REFTIME time) {
    RF_POSITION(up->put_CurrentPosition(time));
}
STDMETHODIMP PinSeeking::get_CurrentPosition(REFTIME* time) {
    RF_POSITION(up->get_CurrentPosition(time));
}
STDMETHODIMP PinSeeking::get_StopTime(REFTIME* time) {
    RF_POSITION(up->get_StopTime(time));
}
STDMETHODIMP PinSeeking::put_StopTime(REFTIME time) {
    RF_POSITION(up->put_StopTime(time));
}
STDMETHODIMP PinSeeking::get_PrerollTime(REFTIME* time) {
    RF_POSITION(up->get_PrerollTime(time));
}
STDMETHODIMP PinSeeking::put_PrerollTime(REFTIME time) {
    RF_POSITION(up->put_PrerollTime(time));
}
STDMETHODIMP PinSeeking::put_Rate(double rate) {
    RF_POSITION(up->put_Rate(rate));
}
STDMETHODIMP PinSeeking::get_Rate(double* rate) {
    RF_POSITION(up->get_Rate(rate));
}
STDMETHODIMP PinSeeking::CanSeekForward(LONG* can) {
    RF_POSITION(up->CanSeekForward(can));
}
STDMETHODIMP PinSeeking::CanSeekBackward(LONG* can) {
    RF_POSITION(up->CanSeekBackward(can));
}
