#include "framework/ComIdentity.h"

ComIdentity::ComIdentity(IUnknown* outer) : outer_(outer != nullptr ? outer : &inner_) {}

STDMETHODIMP ComIdentity::Inner::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown)) {
        *out = this;
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return owner_->NonDelegatingQueryInterface(iid, out);
}

STDMETHODIMP_(ULONG) ComIdentity::Inner::AddRef() {
    return ULONG(InterlockedIncrement(&owner_->refs_));
}

STDMETHODIMP_(ULONG) ComIdentity::Inner::Release() {
    const LONG left = InterlockedDecrement(&owner_->refs_);
    if (left == 0) {
        // Guard against a destructor that passes a face around and releases it again.
        owner_->refs_ = 1;
        delete owner_;
    }
    return ULONG(left);
}
