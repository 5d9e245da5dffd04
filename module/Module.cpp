// The DLL's entry points: the class factory table and the unload test.
#include "filter/ResonantFilter.h"
#include "framework/ClassFactory.h"
#include "framework/ModuleCount.h"

namespace {
const FactoryEntry kFactories[] = {
    {&CLSID_ResonantFilter, &ResonantFilter::Create},
};
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return GetFactory(kFactories, sizeof kFactories / sizeof kFactories[0], clsid, iid, out);
}

STDAPI DllCanUnloadNow() {
    return ModuleCanUnload() ? S_OK : S_FALSE;
}

// Self-registration is not built yet: say so rather than pretend.
STDAPI DllRegisterServer() {
    return E_NOTIMPL;
}
STDAPI DllUnregisterServer() {
    return E_NOTIMPL;
}
