// A generic IClassFactory over a table of creatable classes, for DllGetClassObject.
#pragma once

#include "platform/Platform.h"

#include <cstddef>

// Creates an object and returns its non-delegating unknown with one reference, or nullptr
// when out of memory; *result carries a construction failure.
using CreateFunction = IUnknown* (*)(IUnknown* outer, HRESULT* result);

struct FilterSetup;

// One class the module serves. Registration writes a class key for every row.
struct FactoryEntry {
    const WCHAR* name;  // display name: the class key's default value
    const CLSID* clsid;
    CreateFunction create;     // null: registered, but not creatable yet
    const FilterSetup* setup;  // null: nothing to enter in the filter mapper
};

// A factory for clsid from table, queried for iid. CLASS_E_CLASSNOTAVAILABLE when absent or
// when its row has no create function.
HRESULT GetFactory(const FactoryEntry* table, size_t count, REFCLSID clsid, REFIID iid, void** out);

class ClassFactory : public IClassFactory {
  public:
    explicit ClassFactory(const FactoryEntry& entry);
    virtual ~ClassFactory();
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IClassFactory: any thread. An aggregating outer may only ask for IUnknown.
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    STDMETHODIMP LockServer(BOOL lock) override;

  private:
    LONG refs_ = 1;
    FactoryEntry entry_;
};
