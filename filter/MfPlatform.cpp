#include "filter/MfPlatform.h"

namespace {

// The entry points' own types, so the calling convention comes from the platform's declarations
// without importing them.
struct MfPlatform {
    decltype(&MFCreateMediaType) createMediaType = nullptr;
    decltype(&MFTRegister) transformRegister = nullptr;
    decltype(&MFTUnregister) transformUnregister = nullptr;
};

template <typename Fn>
void Resolve(HMODULE module, const char* name, Fn* fn) {
    *fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Loaded on first use and never freed; a missing DLL leaves every entry null.
const MfPlatform& Platform() {
    static const MfPlatform platform = [] {
        MfPlatform found;
        HMODULE module = LoadLibraryW(L"mfplat.dll");
        if (module) {
            Resolve(module, "MFCreateMediaType", &found.createMediaType);
            Resolve(module, "MFTRegister", &found.transformRegister);
            Resolve(module, "MFTUnregister", &found.transformUnregister);
        }
        return found;
    }();
    return platform;
}

}  // namespace

HRESULT MfCreateMediaType(IMFMediaType** type) {
    if (!type) return E_POINTER;
    *type = nullptr;
    const auto create = Platform().createMediaType;
    return create ? create(type) : kMfPlatformMissing;
}

HRESULT MfTransformRegister(REFCLSID clsid, REFGUID category, const WCHAR* name, UINT32 flags,
                            UINT32 inputCount, const MFT_REGISTER_TYPE_INFO* inputs,
                            UINT32 outputCount, const MFT_REGISTER_TYPE_INFO* outputs) {
    const auto enter = Platform().transformRegister;
    if (!enter) return kMfPlatformMissing;
    // The platform's declaration takes non-const pointers but only reads them.
    return enter(clsid, category, const_cast<WCHAR*>(name), flags, inputCount,
                 const_cast<MFT_REGISTER_TYPE_INFO*>(inputs), outputCount,
                 const_cast<MFT_REGISTER_TYPE_INFO*>(outputs), nullptr);
}

HRESULT MfTransformUnregister(REFCLSID clsid) {
    const auto remove = Platform().transformUnregister;
    return remove ? remove(clsid) : kMfPlatformMissing;
}
