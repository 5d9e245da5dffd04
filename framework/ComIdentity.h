// One COM identity for every object the module hands out: the non-delegating unknown that an
// aggregating outer holds, the outer unknown that every face answers for (the object's own when
// not aggregated), the reference count, and the module's count of live objects.
#pragma once

#include "framework/ModuleCount.h"

#include <unknwn.h>

class ComIdentity {
  public:
    IUnknown* NonDelegatingUnknown() { return &inner_; }
    IUnknown* Outer() const { return outer_; }

  protected:
    // One reference on the non-delegating unknown, which the creator owns.
    explicit ComIdentity(IUnknown* outer);
    virtual ~ComIdentity() = default;
    ComIdentity(const ComIdentity&) = delete;
    ComIdentity& operator=(const ComIdentity&) = delete;

    // The object's map of faces; IID_IUnknown is answered before it is asked.
    virtual HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) = 0;

    // Hands out one of the object's faces with a reference on the outer unknown.
    HRESULT AnswerFace(void* face, void** out) {
        outer_->AddRef();
        *out = face;
        return S_OK;
    }

  private:
    class Inner : public IUnknown {
      public:
        explicit Inner(ComIdentity* owner) : owner_(owner) {}
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;

      private:
        ComIdentity* owner_;
    };

    // First, so the module counts the object until every other part of it is gone.
    ModuleObjectToken moduleToken_;
    Inner inner_{this};
    LONG refs_ = 1;
    IUnknown* outer_;
};

// Completes `new (std::nothrow) T(outer, &result)`: the object, or null with the reason (a
// failed construction releases the part-built object).
template <class T>
T* AdoptNewIdentity(T* object, HRESULT* result) {
    if (object == nullptr) {
        *result = E_OUTOFMEMORY;
        return nullptr;
    }
    if (FAILED(*result)) {
        object->NonDelegatingUnknown()->Release();
        return nullptr;
    }
    return object;
}

// The IUnknown of each public face of an identity: the outer unknown's.
#define RF_OUTER_UNKNOWN_FACE                                      \
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { \
        return Outer()->QueryInterface(iid, out);                  \
    }                                                              \
    STDMETHODIMP_(ULONG) AddRef() override {                       \
        return Outer()->AddRef();                                  \
    }                                                              \
    STDMETHODIMP_(ULONG) Release() override {                      \
        return Outer()->Release();                                 \
    }
