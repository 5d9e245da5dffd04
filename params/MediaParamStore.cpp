// Lifecycle, the IUnknown forwarding and the platform interfaces' value side.
#include "MediaParamStore.h"

#include "SegmentArray.h"
#include "platform/Memory.h"

MediaParamStore::MediaParamStore(IUnknown* owner, HRESULT* result)
    : owner_(owner), timeFormat_(GUID_TIME_REFERENCE) {
    *result = S_OK;
    slots_ = static_cast<ParamSlot*>(platform::AllocZeroed(sizeof(ParamSlot) * kParamCount));
    if (!slots_) {
        *result = E_OUTOFMEMORY;
        return;
    }
    for (DWORD i = 0; i < kParamCount; ++i) {
        slots_[i].value = ParamNeutral(i);
        const HRESULT hr = CreateSegmentArray(&slots_[i].segments);
        if (FAILED(hr)) {
            *result = hr;
            return;
        }
    }
}

MediaParamStore::~MediaParamStore() {
    if (uiCallback_) uiCallback_->Release();
    if (slots_) {
        for (DWORD i = 0; i < kParamCount; ++i)
            DestroySegmentArray(&slots_[i].segments);
        platform::Free(slots_);
    }
}

HRESULT MediaParamStore::QueryFace(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualGUID(iid, IID_IMediaParams)) {
        *object = static_cast<IMediaParams*>(this);
    } else if (IsEqualGUID(iid, IID_IMediaParamInfo)) {
        *object = static_cast<IMediaParamInfo*>(this);
    } else if (IsEqualGUID(iid, IID_IMediaParamsSetUICallback)) {
        *object = static_cast<IMediaParamsSetUICallback*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    owner_->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaParamStore::QueryInterface(REFIID iid, void** object) {
    return owner_->QueryInterface(iid, object);
}
ULONG STDMETHODCALLTYPE MediaParamStore::AddRef() {
    return owner_->AddRef();
}
ULONG STDMETHODCALLTYPE MediaParamStore::Release() {
    return owner_->Release();
}

// --- IMediaParamInfo ---

HRESULT STDMETHODCALLTYPE MediaParamStore::GetParamCount(DWORD* count) {
    if (!count) return E_POINTER;
    *count = kParamCount;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaParamStore::GetParamInfo(DWORD index, MP_PARAMINFO* info) {
    if (!info) return E_POINTER;
    if (index >= kParamCount) return E_INVALIDARG;
    *info = kParamTable[index].description;
    return S_OK;
}

namespace {
size_t WideLength(const WCHAR* text) {
    size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

// Copies `text` with every comma (when `splitCommas`) turned into a NUL, then a closing NUL.
WCHAR* AppendField(WCHAR* out, const WCHAR* text, bool splitCommas) {
    for (; *text; ++text)
        *out++ = (splitCommas && *text == WCHAR(',')) ? WCHAR(0) : *text;
    *out++ = 0;
    return out;
}
}  // namespace

HRESULT STDMETHODCALLTYPE MediaParamStore::GetParamText(DWORD index, WCHAR** text) {
    if (!text) return E_POINTER;
    if (index >= kParamCount) return E_INVALIDARG;
    const ParamTableEntry& e = kParamTable[index];
    const size_t units = WideLength(e.description.szLabel) + WideLength(e.description.szUnitText) +
                         WideLength(e.enumText) + 4;
    WCHAR* block = static_cast<WCHAR*>(platform::TaskAlloc(units * sizeof(WCHAR)));
    if (!block) return E_OUTOFMEMORY;
    WCHAR* out = AppendField(block, e.description.szLabel, false);
    out = AppendField(out, e.description.szUnitText, false);
    out = AppendField(out, e.enumText, true);
    *out = 0;
    *text = block;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaParamStore::GetNumTimeFormats(DWORD* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaParamStore::GetSupportedTimeFormat(DWORD index, GUID* format) {
    if (!format) return E_POINTER;
    if (index >= 1) return E_INVALIDARG;
    *format = GUID_TIME_REFERENCE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaParamStore::GetCurrentTimeFormat(GUID* format, MP_TIMEDATA* data) {
    if (!format || !data) return E_POINTER;
    LockHold hold(lock_);
    *format = timeFormat_;
    *data = timeData_;
    return S_OK;
}

// --- IMediaParams, value side ---

HRESULT STDMETHODCALLTYPE MediaParamStore::GetParam(DWORD index, MP_DATA* value) {
    if (!value) return E_POINTER;
    if (index >= kParamCount) return E_INVALIDARG;
    LockHold hold(lock_);
    *value = slots_[index].value;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaParamStore::SetParam(DWORD index, MP_DATA value) {
    if (index >= kParamCount) return E_INVALIDARG;
    {
        LockHold hold(lock_);
        ParamSlot& slot = slots_[index];
        if (timeBaseActive_ && slot.envelopeActive) return S_FALSE;
        // Written so that a NaN fails the test too.
        if (!(value >= ParamMin(index) && value <= ParamMax(index))) return E_INVALIDARG;
        if (value == slot.value) return S_FALSE;
        slot.value = value;
    }
    if (listener_) listener_->OnParamSet(index);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaParamStore::SetTimeFormat(GUID format, MP_TIMEDATA /*data*/) {
    if (!IsEqualGUID(format, GUID_TIME_REFERENCE)) return E_FAIL;
    LockHold hold(lock_);
    timeFormat_ = format;
    timeData_ = 0;
    return S_OK;
}
