#include "framework/ClassFactory.h"

#include <new>

#include "framework/ModuleCount.h"

HRESULT GetFactory(const FactoryEntry* table, size_t count, REFCLSID clsid, REFIID iid,
                   void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
    for (size_t i = 0; i < count; ++i) {
        if (!IsEqualCLSID(*table[i].clsid, clsid)) continue;
        if (table[i].create == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
        auto* factory = new (std::nothrow) ClassFactory(table[i]);
        if (factory == nullptr) return E_OUTOFMEMORY;
        HRESULT hr = factory->QueryInterface(iid, out);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

ClassFactory::ClassFactory(const FactoryEntry& entry) : entry_(entry) {
    ModuleObjectCreated();
}

ClassFactory::~ClassFactory() {
    ModuleObjectDestroyed();
}

STDMETHODIMP ClassFactory::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef() {
    return InterlockedIncrement(&refs_);
}

STDMETHODIMP_(ULONG) ClassFactory::Release() {
    LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return refs;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    // An aggregated object's only usable handle for its outer is the non-delegating unknown:
    // asking for anything else is asking for an interface it cannot hand out.
    if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) return E_NOINTERFACE;
    HRESULT hr = S_OK;
    IUnknown* object = entry_.create(outer, &hr);
    if (object == nullptr) return FAILED(hr) ? hr : E_OUTOFMEMORY;
    if (SUCCEEDED(hr)) hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
    ModuleLockServer(lock != FALSE);
    return S_OK;
}
