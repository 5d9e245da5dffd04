#include "tools/graph/SampleRecorder.h"

STDMETHODIMP SampleRecorder::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISampleGrabberCB)) {
        *out = static_cast<ISampleGrabberCB*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP SampleRecorder::SampleCB(double, IMediaSample* sample) {
    RecordedSample record;
    record.length = sample->GetActualDataLength();
    record.hasTime = SUCCEEDED(sample->GetTime(&record.start, &record.stop));
    record.discontinuity = sample->IsDiscontinuity() == S_OK;
    BYTE* data = nullptr;
    if (SUCCEEDED(sample->GetPointer(&data)) && data != nullptr && record.length > 0)
        record.bytes.assign(data, data + record.length);
    std::lock_guard<std::mutex> hold(mutex_);
    samples_.push_back(std::move(record));
    return S_OK;
}

std::vector<RecordedSample> SampleRecorder::Samples() {
    std::lock_guard<std::mutex> hold(mutex_);
    return samples_;
}
