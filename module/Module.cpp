// The DLL's entry points: the class factory table, the module instance and the unload test.
#include "module/Module.h"

#include "filter/FilterSetup.h"
#include "filter/ResonantFilter.h"
#include "framework/ModuleCount.h"

// The property page has no object yet: its class is registered, but not served.
const FactoryEntry kFactories[] = {
    {L"Veltrin Resonant Filter", &CLSID_ResonantFilter, &ResonantFilter::Create,
     &kResonantFilterSetup},
    {L"Veltrin Resonant Filter Prop Page", &CLSID_ResonantFilterPage, nullptr, nullptr},
};
const size_t kFactoryCount = sizeof kFactories / sizeof kFactories[0];

namespace {
HINSTANCE moduleInstance = nullptr;
}  // namespace

HINSTANCE ModuleInstance() {
    return moduleInstance;
}

// Loader lock held: nothing here may load a library or wait.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        moduleInstance = nullptr;
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return GetFactory(kFactories, kFactoryCount, clsid, iid, out);
}

STDAPI DllCanUnloadNow() {
    return ModuleCanUnload() ? S_OK : S_FALSE;
}
