// IEnumMediaTypes over a snapshot of types, so it outlives the pin's connection changes.
#pragma once

#include "platform/Platform.h"

#include <dshow.h>

#include <vector>

class MediaTypeEnum : public IEnumMediaTypes {
  public:
    // Copies the types; returns nullptr when out of memory. The new object has one reference.
    static MediaTypeEnum* Create(const AM_MEDIA_TYPE* types, size_t count);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IEnumMediaTypes: any thread; the enumerator is not shared, so no lock.
    STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumMediaTypes** out) override;

  private:
    MediaTypeEnum();
    virtual ~MediaTypeEnum();

    LONG refs_ = 1;
    std::vector<AM_MEDIA_TYPE> types_;
    size_t position_ = 0;
};
