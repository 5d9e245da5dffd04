#include "framework/PinEnum.h"

#include <new>

#include "framework/ModuleCount.h"

PinEnum::PinEnum(IBaseFilter* owner, IPin* const* pins, size_t count)
    : owner_(owner), count_(count) {
    for (size_t i = 0; i < count; ++i)
        pins_[i] = pins[i];
    owner_->AddRef();
    ModuleObjectCreated();
}

PinEnum::~PinEnum() {
    owner_->Release();
    ModuleObjectDestroyed();
}

PinEnum* PinEnum::Create(IBaseFilter* owner, IPin* const* pins, size_t count) {
    if (count > kMaxPins) return nullptr;
    return new (std::nothrow) PinEnum(owner, pins, count);
}

STDMETHODIMP PinEnum::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumPins)) {
        *out = static_cast<IEnumPins*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) PinEnum::AddRef() {
    return InterlockedIncrement(&refs_);
}

STDMETHODIMP_(ULONG) PinEnum::Release() {
    LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return refs;
}

STDMETHODIMP PinEnum::Next(ULONG count, IPin** pins, ULONG* fetched) {
    if (pins == nullptr) return E_POINTER;
    ULONG done = 0;
    while (done < count && position_ < count_) {
        pins[done] = pins_[position_++];
        pins[done++]->AddRef();
    }
    if (fetched != nullptr) *fetched = done;
    return done == count ? S_OK : S_FALSE;
}

STDMETHODIMP PinEnum::Skip(ULONG count) {
    if (count > count_ - position_) {
        position_ = count_;
        return S_FALSE;
    }
    position_ += count;
    return S_OK;
}

STDMETHODIMP PinEnum::Reset() {
    position_ = 0;
    return S_OK;
}

STDMETHODIMP PinEnum::Clone(IEnumPins** out) {
    if (out == nullptr) return E_POINTER;
    PinEnum* copy = Create(owner_, pins_, count_);
    *out = copy;
    if (copy == nullptr) return E_OUTOFMEMORY;
    copy->position_ = position_;
    return S_OK;
}
