#include "tools/host/WavSink.h"

STDMETHODIMP WavSink::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISampleGrabberCB)) {
        *out = static_cast<ISampleGrabberCB*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP WavSink::SampleCB(double, IMediaSample* sample) {
    const long length = sample->GetActualDataLength();
    BYTE* data = nullptr;
    if (length <= 0) return S_OK;  // the filter's empty end-of-stream buffer
    if (FAILED(sample->GetPointer(&data)) || data == nullptr ||
        !writer_.Append(data, size_t(length))) {
        failed_ = true;
        return S_OK;
    }
    frames_ += uint64_t(length) / align_;
    return S_OK;
}
