// The direct float-buffer face of the filter, through the gate that keeps it off the pins.
#include "ResonantFilter.h"

// --- IDirectProcess ---

STDMETHODIMP ResonantFilter::Init(UINT channels, UINT sampleRate) {
    return direct_.Init(channels, sampleRate);
}

STDMETHODIMP ResonantFilter::Process(float* frames, UINT count, UINT flags) {
    if (!frames && count) return E_POINTER;
    return direct_.Process(frames, count, flags);
}

STDMETHODIMP ResonantFilter::Drain(float* frames, UINT* count) {
    if (!count) return E_POINTER;
    return direct_.Drain(frames, count);
}

HRESULT ResonantFilter::DirectStop() {
    return direct_.Stop();
}
STDMETHODIMP ResonantFilter::HasPendingChange() {
    return direct_.HasPendingChange();
}
STDMETHODIMP ResonantFilter::Refresh(BOOL reset, DWORD, DWORD) {
    return direct_.Refresh(reset);
}
