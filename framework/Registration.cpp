#include "framework/Registration.h"

#include <cwchar>

#include "framework/InPlaceFilter.h"

namespace {

// "CLSID\{...}": the braced form is 38 characters.
constexpr size_t kClassKeyLength = 6 + 38 + 1;

HRESULT ClassKeyName(REFCLSID clsid, WCHAR (&key)[kClassKeyLength]) {
    wcscpy(key, L"CLSID\\");
    if (StringFromGUID2(clsid, key + 6, kClassKeyLength - 6) == 0) return E_UNEXPECTED;
    return S_OK;
}

HRESULT SetString(HKEY key, const WCHAR* name, const WCHAR* value) {
    const DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(WCHAR));
    return HRESULT_FROM_WIN32(
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes));
}

// Creates (or opens) root\sub and sets its default value.
HRESULT CreateKeyWithDefault(HKEY root, const WCHAR* sub, const WCHAR* value, HKEY* out) {
    LONG error = RegCreateKeyExW(root, sub, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_WRITE | KEY_READ, nullptr, out, nullptr);
    if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
    HRESULT hr = SetString(*out, nullptr, value);
    if (FAILED(hr)) RegCloseKey(*out);
    return hr;
}

const HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

HRESULT AbsentIsFine(HRESULT hr) {
    return hr == kNotFound ? S_OK : hr;
}

}  // namespace

HRESULT WriteClassKey(REFCLSID clsid, const WCHAR* name, const WCHAR* modulePath) {
    if (name == nullptr || modulePath == nullptr) return E_POINTER;
    WCHAR keyName[kClassKeyLength];
    HRESULT hr = ClassKeyName(clsid, keyName);
    if (FAILED(hr)) return hr;
    HKEY classKey = nullptr;
    hr = CreateKeyWithDefault(HKEY_CLASSES_ROOT, keyName, name, &classKey);
    if (FAILED(hr)) return hr;
    HKEY server = nullptr;
    hr = CreateKeyWithDefault(classKey, L"InprocServer32", modulePath, &server);
    if (SUCCEEDED(hr)) {
        hr = SetString(server, L"ThreadingModel", L"Both");
        RegCloseKey(server);
    }
    RegCloseKey(classKey);
    return hr;
}

HRESULT DeleteClassKey(REFCLSID clsid) {
    WCHAR keyName[kClassKeyLength];
    HRESULT hr = ClassKeyName(clsid, keyName);
    if (FAILED(hr)) return hr;
    return AbsentIsFine(HRESULT_FROM_WIN32(RegDeleteTreeW(HKEY_CLASSES_ROOT, keyName)));
}

ComScope::ComScope() {
    HRESULT hr = CoInitialize(nullptr);
    owned_ = SUCCEEDED(hr);  // S_FALSE too: the count went up and must come down
    result_ = hr == RPC_E_CHANGED_MODE ? S_OK : hr;
}

void ComScope::End() {
    if (owned_) CoUninitialize();
    owned_ = false;
}

FilterMapper::FilterMapper(IFilterMapper* mapper) : mapper_(mapper) {
    if (mapper_ != nullptr) mapper_->AddRef();
}

HRESULT FilterMapper::Create() {
    Release();
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IFilterMapper2, reinterpret_cast<void**>(&mapper2_));
    if (SUCCEEDED(hr)) return hr;
    mapper2_ = nullptr;
    hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                          reinterpret_cast<void**>(&mapper_));
    if (FAILED(hr)) mapper_ = nullptr;
    return hr;
}

void FilterMapper::Release() {
    if (mapper2_ != nullptr) mapper2_->Release();
    if (mapper_ != nullptr) mapper_->Release();
    mapper2_ = nullptr;
    mapper_ = nullptr;
}

HRESULT FilterMapper::Unregister(const FilterSetup& setup) {
    // A null category is the default one, CLSID_LegacyAmFilterCategory.
    if (mapper2_ != nullptr)
        return AbsentIsFine(mapper2_->UnregisterFilter(nullptr, nullptr, *setup.clsid));
    if (mapper_ != nullptr) return AbsentIsFine(mapper_->UnregisterFilter(*setup.clsid));
    return E_UNEXPECTED;
}

HRESULT FilterMapper::Register(const FilterSetup& setup) {
    if (setup.registration == nullptr || setup.name == nullptr) return E_POINTER;
    HRESULT hr = Unregister(setup);
    if (FAILED(hr)) return hr;
    if (mapper2_ != nullptr) {
        return AbsentIsFine(mapper2_->RegisterFilter(*setup.clsid, setup.name, nullptr, nullptr,
                                                     nullptr, setup.registration));
    }
    return RegisterOld(setup);
}

// The older interface takes the filter, each pin and each pin's types in separate calls.
HRESULT FilterMapper::RegisterOld(const FilterSetup& setup) {
    const REGFILTER2& filter = *setup.registration;
    if (filter.dwVersion != 1) return E_INVALIDARG;
    HRESULT hr = AbsentIsFine(mapper_->RegisterFilter(*setup.clsid, setup.name, filter.dwMerit));
    for (ULONG p = 0; SUCCEEDED(hr) && p < filter.cPins; ++p) {
        const REGFILTERPINS& pin = filter.rgPins[p];
        const CLSID& peer = pin.clsConnectsToFilter ? *pin.clsConnectsToFilter : CLSID_NULL;
        hr = mapper_->RegisterPin(*setup.clsid, pin.strName, pin.bRendered, pin.bOutput, pin.bZero,
                                  pin.bMany, peer, pin.strConnectsToPin);
        for (UINT t = 0; SUCCEEDED(hr) && t < pin.nMediaTypes; ++t) {
            const REGPINTYPES& type = pin.lpMediaType[t];
            hr = mapper_->RegisterPinType(*setup.clsid, pin.strName,
                                          type.clsMajorType ? *type.clsMajorType : GUID_NULL,
                                          type.clsMinorType ? *type.clsMinorType : GUID_NULL);
        }
    }
    return hr;
}

HRESULT UpdateFilterRegistration(const FilterSetup& setup, bool registering) {
    ComScope com;
    if (FAILED(com.Result())) return com.Result();
    FilterMapper mapper;
    HRESULT hr = mapper.Create();
    if (SUCCEEDED(hr)) hr = registering ? mapper.Register(setup) : mapper.Unregister(setup);
    mapper.Release();
    CoFreeUnusedLibraries();
    return hr;
}
