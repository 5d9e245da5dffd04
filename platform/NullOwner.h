// The owner of a parameter store or DSP that lives outside a COM object (tools, benchmarks,
// tests, the native build): it answers no interface and does not count references, since the
// core object's lifetime is its scope's.
#pragma once

#include "Platform.h"

struct NullOwner : IUnknown {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        if (object) *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};
