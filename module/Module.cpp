// The DLL's entry points: the class factory table, the module instance and the unload test.
#include "module/Module.h"

#include "filter/FilterSetup.h"
#include "filter/ResonantDmo.h"
#include "filter/ResonantFilter.h"
#include "framework/ModuleCount.h"
#include "page/PropertyPage.h"
#include "page/SharedSettings.h"
#include "page/controls/ControlClasses.h"

const FactoryEntry kFactories[] = {
    {L"Veltrin Resonant Filter", &CLSID_ResonantFilter, &ResonantFilter::Create,
     &kResonantFilterSetup},
    {L"Veltrin Resonant Filter Prop Page", &CLSID_ResonantFilterPage, &ResonantFilterPage::Create,
     nullptr},
    {L"Veltrin Resonant Filter DMO", &CLSID_ResonantFilterDmo, &ResonantDmo::Create, nullptr},
};
const size_t kFactoryCount = sizeof kFactories / sizeof kFactories[0];

namespace {
HINSTANCE moduleInstance = nullptr;
}  // namespace

HINSTANCE ModuleInstance() {
    return moduleInstance;
}

// Loader lock held: nothing here may load a library or wait. Attach never fails: a window
// class that cannot be registered, or a missing "Locale", only costs the page its looks.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        UINT normal = 0, hover = 0;
        BannerBitmapsForLocale(ReadSharedLocale(), &normal, &hover);
        RegisterControlClasses(instance, normal, hover);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        UnregisterControlClasses(instance);
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
