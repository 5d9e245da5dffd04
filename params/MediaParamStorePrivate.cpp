// The private access path (whole-set, scaled view, capture brackets) and the host UI callback.
// Every call-out happens after the store lock has been released.
#include "MediaParamStore.h"

HRESULT STDMETHODCALLTYPE MediaParamStore::SetUICallback(IMediaParamsUICallback* callback) {
    if (callback) callback->AddRef();
    IMediaParamsUICallback* previous;
    {
        LockHold hold(callbackLock_);
        previous = uiCallback_;
        uiCallback_ = callback;
    }
    if (previous) previous->Release();
    return S_OK;
}

IMediaParamsUICallback* MediaParamStore::AcquireCallback() {
    LockHold hold(callbackLock_);
    if (uiCallback_) uiCallback_->AddRef();
    return uiCallback_;
}

void MediaParamStore::Call(IMediaParamsUICallback* callback, UiCall call, DWORD index,
                           MP_DATA value) {
    switch (call) {
        case UiCall::Begin:
            callback->ParamsBeginCapture(&index, 1);
            break;
        case UiCall::Changed:
            callback->ParamsChanged(&index, 1, &value);
            break;
        case UiCall::End:
            callback->ParamsEndCapture(&index, 1);
            break;
    }
}

MP_DATA MediaParamStore::LockedValue(DWORD index) {
    LockHold hold(lock_);
    return slots_[index].value;
}

HRESULT MediaParamStore::GetAllParams(MP_DATA values[kParamCount]) {
    LockHold hold(lock_);
    for (DWORD i = 0; i < kParamCount; ++i) {
        slots_[i].value = ClampParam(i, slots_[i].value);
        values[i] = slots_[i].value;
    }
    return S_OK;
}

HRESULT MediaParamStore::SetAllParams(const MP_DATA values[kParamCount]) {
    {
        LockHold hold(lock_);
        for (DWORD i = 0; i < kParamCount; ++i)
            slots_[i].value = ClampParam(i, values[i]);
    }
    IMediaParamsUICallback* callback = AcquireCallback();
    if (!callback) return S_OK;
    for (DWORD i = 0; i < kParamCount; ++i)
        Call(callback, UiCall::Begin, i, 0);
    // Each value is read afresh, so a change made meanwhile is reported with the newer value.
    for (DWORD i = 0; i < kParamCount; ++i)
        Call(callback, UiCall::Changed, i, LockedValue(i));
    for (DWORD i = 0; i < kParamCount; ++i)
        Call(callback, UiCall::End, i, 0);
    callback->Release();
    return S_OK;
}

HRESULT MediaParamStore::GetScaled(DWORD index, LONG* scaled) {
    LockHold hold(lock_);
    *scaled = ToScaled(index, slots_[index].value);
    return S_OK;
}

HRESULT MediaParamStore::PutScaled(DWORD index, LONG scaled) {
    const MP_DATA value = FromScaled(index, ClampScaled(index, scaled));
    bool changed;
    bool capturing;
    {
        LockHold hold(lock_);
        ParamSlot& slot = slots_[index];
        changed = slot.value != value;
        capturing = slot.capturing != FALSE;
        slot.value = value;
    }
    if (!changed) return S_FALSE;
    if (IMediaParamsUICallback* callback = AcquireCallback()) {
        // Inside a drag the host already has its capture bracket open.
        if (!capturing) Call(callback, UiCall::Begin, index, 0);
        Call(callback, UiCall::Changed, index, value);
        if (!capturing) Call(callback, UiCall::End, index, 0);
        callback->Release();
    }
    return S_OK;
}

HRESULT MediaParamStore::BeginCapture(DWORD index) {
    HRESULT result = S_FALSE;
    {
        LockHold hold(lock_);
        if (!slots_[index].capturing) {
            slots_[index].capturing = TRUE;
            result = S_OK;
        }
    }
    if (result == S_OK) {
        if (IMediaParamsUICallback* callback = AcquireCallback()) {
            Call(callback, UiCall::Begin, index, 0);
            callback->Release();
        }
    }
    return result;
}

HRESULT MediaParamStore::EndCapture(DWORD index) {
    HRESULT result = S_FALSE;
    {
        LockHold hold(lock_);
        if (slots_[index].capturing) {
            slots_[index].capturing = FALSE;
            slots_[index].captureEnded = TRUE;
            result = S_OK;
        }
    }
    if (result == S_OK) {
        if (IMediaParamsUICallback* callback = AcquireCallback()) {
            Call(callback, UiCall::End, index, 0);
            callback->Release();
        }
    }
    return result;
}

HRESULT MediaParamStore::IsAutomated(DWORD index) {
    LockHold hold(lock_);
    return (timeBaseActive_ && slots_[index].envelopeActive) ? S_OK : S_FALSE;
}

HRESULT MediaParamStore::GetRampState(DWORD index, double* value, double* slope,
                                      double* curvature) {
    // Taken although only the streaming thread writes these from envelopes: a host's SetParam
    // may write `value` at the same moment.
    LockHold hold(lock_);
    const ParamSlot& slot = slots_[index];
    *value = slot.value;
    *slope = slot.slope;
    *curvature = slot.curvature;
    return S_OK;
}
