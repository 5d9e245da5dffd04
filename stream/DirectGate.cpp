#include "DirectGate.h"

bool DirectGate::PinsStarting() {
    LockHold hold(lock_);
    pinsActive_ = true;
    if (!sessionOpen_) return false;
    sessionOpen_ = false;
    driver_.StopStreaming();
    return true;
}

void DirectGate::PinsStopped() {
    LockHold hold(lock_);
    pinsActive_ = false;
}

HRESULT DirectGate::Init(UINT channels, UINT rate) {
    LockHold hold(lock_);
    if (pinsActive_) return VFW_E_WRONG_STATE;
    const HRESULT hr = driver_.Init(channels, rate);
    if (SUCCEEDED(hr)) sessionOpen_ = true;
    return hr;
}

HRESULT DirectGate::Process(float* data, UINT frames, UINT flags) {
    LockHold hold(lock_);
    if (pinsActive_) return VFW_E_WRONG_STATE;
    return driver_.Process(data, frames, flags);
}

HRESULT DirectGate::Drain(float* data, UINT* frames) {
    LockHold hold(lock_);
    if (pinsActive_) return VFW_E_WRONG_STATE;
    return driver_.Drain(data, frames);
}

HRESULT DirectGate::Stop() {
    LockHold hold(lock_);
    if (pinsActive_) return VFW_E_WRONG_STATE;
    sessionOpen_ = false;
    return driver_.StopStreaming();
}

HRESULT DirectGate::HasPendingChange() {
    LockHold hold(lock_);
    if (pinsActive_) return VFW_E_WRONG_STATE;
    return driver_.HasPendingChange();
}

HRESULT DirectGate::Refresh(BOOL reset) {
    LockHold hold(lock_);
    if (pinsActive_) return VFW_E_WRONG_STATE;
    return driver_.Refresh(reset);
}
