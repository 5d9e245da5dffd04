// DllRegisterServer and DllUnregisterServer: the class keys of every row, the filter's entry
// in the filter mapper, once directly and once through the object's IAMovieSetup, and the
// DMO's entry in the DMO registry. Both stop at the first failure and return it; keys written
// before it remain.
#include "framework/InPlaceFilter.h"
#include "framework/Registration.h"
#include "module/DmoRegistration.h"
#include "module/MftRegistration.h"
#include "module/Module.h"

namespace {

HRESULT LastErrorResult() {
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

// The wide call, so a folder name outside the ANSI code page survives into the registry.
HRESULT GetModulePath(WCHAR (&path)[MAX_PATH]) {
    DWORD length = GetModuleFileNameW(ModuleInstance(), path, MAX_PATH);
    if (length == 0) return LastErrorResult();
    // A full buffer means the path was cut short; registering it would name another file.
    if (length >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    return S_OK;
}

HRESULT WriteClassKeys(const WCHAR* path) {
    for (size_t i = 0; i < kFactoryCount; ++i) {
        HRESULT hr = WriteClassKey(*kFactories[i].clsid, kFactories[i].name, path);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT DeleteClassKeys() {
    for (size_t i = 0; i < kFactoryCount; ++i) {
        HRESULT hr = DeleteClassKey(*kFactories[i].clsid);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

// Every row's setup data through one mapper, with COM initialised for the step only.
HRESULT UpdateMapper(bool registering) {
    ComScope com;
    if (FAILED(com.Result())) return com.Result();
    FilterMapper mapper;
    HRESULT hr = mapper.Create();
    for (size_t i = 0; SUCCEEDED(hr) && i < kFactoryCount; ++i) {
        const FilterSetup* setup = kFactories[i].setup;
        if (setup == nullptr) continue;
        hr = registering ? mapper.Register(*setup) : mapper.Unregister(*setup);
    }
    mapper.Release();
    CoFreeUnusedLibraries();
    return hr;
}

// An object that is not a filter, or cannot stand alone, has no IAMovieSetup work to do.
HRESULT SkipNonFilters(HRESULT hr) {
    return hr == E_NOINTERFACE || hr == VFW_E_NEED_OWNER ? S_OK : hr;
}

// A new object of the row asked for IAMovieSetup: Unregister, then Register when registering.
HRESULT UpdateThroughObject(const FactoryEntry& row, bool registering) {
    if (row.create == nullptr) return S_OK;
    IClassFactory* factory = nullptr;
    HRESULT hr =
        GetFactory(&row, 1, *row.clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    IAMovieSetup* setup = nullptr;
    hr = factory->CreateInstance(nullptr, IID_IAMovieSetup, reinterpret_cast<void**>(&setup));
    factory->Release();
    if (FAILED(hr)) return SkipNonFilters(hr);
    hr = setup->Unregister();
    if (SUCCEEDED(hr) && registering) hr = setup->Register();
    setup->Release();
    return SkipNonFilters(hr);
}

}  // namespace

STDAPI DllRegisterServer() {
    WCHAR path[MAX_PATH];
    HRESULT hr = GetModulePath(path);
    if (FAILED(hr)) return hr;
    hr = WriteClassKeys(path);
    if (FAILED(hr)) return hr;
    hr = UpdateMapper(true);
    if (FAILED(hr)) return hr;
    for (size_t i = 0; i < kFactoryCount; ++i) {
        hr = WriteClassKey(*kFactories[i].clsid, kFactories[i].name, path);
        if (SUCCEEDED(hr)) hr = UpdateThroughObject(kFactories[i], true);
        if (FAILED(hr)) return hr;
    }
    // Last: a host that finds the DMO or the MFT in its category can then create it by class.
    hr = RegisterDmo();
    if (FAILED(hr)) return hr;
    hr = RegisterMft();
    // One class, two entries: a host of either finds both or neither.
    if (FAILED(hr)) UnregisterDmo();
    return hr;
}

STDAPI DllUnregisterServer() {
    // First: no host should find the DMO or the MFT in its category once its class is gone.
    HRESULT hr = UnregisterMft();
    if (SUCCEEDED(hr)) hr = UnregisterDmo();
    if (FAILED(hr)) return hr;
    for (size_t i = kFactoryCount; i-- > 0;) {
        hr = UpdateThroughObject(kFactories[i], false);
        if (SUCCEEDED(hr)) hr = DeleteClassKey(*kFactories[i].clsid);
        if (FAILED(hr)) return hr;
    }
    hr = UpdateMapper(false);
    if (FAILED(hr)) return hr;
    return DeleteClassKeys();
}
