// IEnumPins over a filter's fixed pins; it keeps the filter, and with it the pins, alive.
#pragma once

#include "platform/Platform.h"

#include <dshow.h>

class PinEnum : public IEnumPins {
  public:
    static constexpr size_t kMaxPins = 4;

    // Returns nullptr when out of memory or given too many pins. One reference on return.
    static PinEnum* Create(IBaseFilter* owner, IPin* const* pins, size_t count);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IEnumPins: any thread; the enumerator is not shared, so no lock.
    STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumPins** out) override;

  private:
    PinEnum(IBaseFilter* owner, IPin* const* pins, size_t count);
    virtual ~PinEnum();

    LONG refs_ = 1;
    IBaseFilter* owner_;
    IPin* pins_[kMaxPins] = {};
    size_t count_;
    size_t position_ = 0;
};
