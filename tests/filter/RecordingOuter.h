// A fake aggregating outer object for the COM tests of the filter and the DMO.
#pragma once

#include "platform/Platform.h"

// An outer object that records what the inner one forwards to it.
class RecordingOuter : public IUnknown {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        ++queries;
        if (IsEqualGUID(iid, IID_IUnknown)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(iid, out) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--refs); }
    IUnknown* inner = nullptr;
    long refs = 1;
    int queries = 0;
};
