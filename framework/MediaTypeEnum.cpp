#include "framework/MediaTypeEnum.h"

#include <new>

#include "framework/MediaType.h"
#include "framework/ModuleCount.h"

MediaTypeEnum::MediaTypeEnum() {
    ModuleObjectCreated();
}

MediaTypeEnum::~MediaTypeEnum() {
    for (AM_MEDIA_TYPE& type : types_)
        MediaTypeClear(&type);
    ModuleObjectDestroyed();
}

MediaTypeEnum* MediaTypeEnum::Create(const AM_MEDIA_TYPE* types, size_t count) {
    auto* result = new (std::nothrow) MediaTypeEnum();
    if (result == nullptr) return nullptr;
    try {
        result->types_.reserve(count);
    } catch (const std::bad_alloc&) {
        result->Release();
        return nullptr;
    }
    for (size_t i = 0; i < count; ++i) {
        AM_MEDIA_TYPE copy;
        if (FAILED(MediaTypeCopy(&copy, types[i]))) {
            result->Release();
            return nullptr;
        }
        result->types_.push_back(copy);
    }
    return result;
}

STDMETHODIMP MediaTypeEnum::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumMediaTypes)) {
        *out = static_cast<IEnumMediaTypes*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) MediaTypeEnum::AddRef() {
    return InterlockedIncrement(&refs_);
}

STDMETHODIMP_(ULONG) MediaTypeEnum::Release() {
    LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return refs;
}

STDMETHODIMP MediaTypeEnum::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
    if (types == nullptr) return E_POINTER;
    ULONG done = 0;
    while (done < count && position_ < types_.size()) {
        AM_MEDIA_TYPE* copy = MediaTypeCreateCopy(types_[position_]);
        if (copy == nullptr) {
            // Hand back nothing rather than a partial batch the caller cannot tell apart.
            for (ULONG i = 0; i < done; ++i) {
                MediaTypeDelete(types[i]);
                types[i] = nullptr;
            }
            position_ -= done;
            if (fetched != nullptr) *fetched = 0;
            return E_OUTOFMEMORY;
        }
        types[done++] = copy;
        ++position_;
    }
    if (fetched != nullptr) *fetched = done;
    return done == count ? S_OK : S_FALSE;
}

STDMETHODIMP MediaTypeEnum::Skip(ULONG count) {
    size_t left = types_.size() - position_;
    if (count > left) {
        position_ = types_.size();
        return S_FALSE;
    }
    position_ += count;
    return S_OK;
}

STDMETHODIMP MediaTypeEnum::Reset() {
    position_ = 0;
    return S_OK;
}

STDMETHODIMP MediaTypeEnum::Clone(IEnumMediaTypes** out) {
    if (out == nullptr) return E_POINTER;
    MediaTypeEnum* copy = Create(types_.data(), types_.size());
    *out = copy;
    if (copy == nullptr) return E_OUTOFMEMORY;
    copy->position_ = position_;
    return S_OK;
}
