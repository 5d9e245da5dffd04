// IMediaParams' envelope methods: adding and flushing automation segments.
#include <cmath>

#include "Envelope.h"
#include "MediaParamStore.h"

namespace {
bool ValidIndex(DWORD index) {
    return index < kParamCount || index == DWORD_ALLPARAMS;
}
}  // namespace

HRESULT STDMETHODCALLTYPE MediaParamStore::AddEnvelope(DWORD index, DWORD count,
                                                       MP_ENVELOPE_SEGMENT* segments) {
    if (!segments) return E_POINTER;
    if (!ValidIndex(index) || count == 0) return E_INVALIDARG;
    // A non-finite value would reach the filter's coefficients; refuse the batch whole.
    for (DWORD k = 0; k < count; ++k) {
        if (!std::isfinite(segments[k].valStart) || !std::isfinite(segments[k].valEnd)) {
            return E_INVALIDARG;
        }
    }
    LockHold hold(lock_);
    const DWORD first = index == DWORD_ALLPARAMS ? 0 : index;
    const DWORD last = index == DWORD_ALLPARAMS ? kParamCount - 1 : index;
    HRESULT hr = S_OK;
    for (DWORD i = first; i <= last && SUCCEEDED(hr); ++i) {
        hr = InsertSegments(&slots_[i].segments, segments, count);
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE MediaParamStore::FlushEnvelope(DWORD index, REFERENCE_TIME start,
                                                         REFERENCE_TIME end) {
    if (!ValidIndex(index)) return E_INVALIDARG;
    LockHold hold(lock_);
    const DWORD first = index == DWORD_ALLPARAMS ? 0 : index;
    const DWORD last = index == DWORD_ALLPARAMS ? kParamCount - 1 : index;
    for (DWORD i = first; i <= last; ++i)
        RemoveOverlapping(&slots_[i].segments, start, end);
    return S_OK;
}
