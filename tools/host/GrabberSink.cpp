#include "tools/host/GrabberSink.h"

#include <new>

GrabberSink* GrabberSink::Create(WavWriter& writer, WORD blockAlign) {
    return new (std::nothrow) GrabberSink(writer, blockAlign);
}

STDMETHODIMP GrabberSink::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMFClockStateSink) ||
        IsEqualIID(iid, IID_IMFSampleGrabberSinkCallback)) {
        *out = static_cast<IMFSampleGrabberSinkCallback*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) GrabberSink::AddRef() {
    return ++references_;
}

STDMETHODIMP_(ULONG) GrabberSink::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP GrabberSink::OnProcessSample(REFGUID, DWORD, LONGLONG, LONGLONG, const BYTE* data,
                                          DWORD size) {
    if (size == 0 || failed_) return S_OK;
    // A piece that is not whole frames would shift every later sample in the file.
    if (data == nullptr || size % align_ != 0 || !writer_.Append(data, size)) {
        failed_ = true;
        return S_OK;
    }
    frames_ += size / align_;
    return S_OK;
}
