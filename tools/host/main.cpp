// The Windows host: loads ResonantFilter.dll from beside itself and drives it as an editor
// does. Commands:
//   paraminfo   print the parameter table as read through IMediaParamInfo
#include <cstdio>
#include <cstring>

#include "include/ResonantFilterApi.h"
#include "platform/Platform.h"
#include "tools/common/ParamTablePrinter.h"

namespace {

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

// Creates a filter through the DLL's own class factory; no registration needed.
HRESULT CreateFilter(HMODULE* module, REFIID iid, void** out) {
    WCHAR path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    while (n > 0 && path[n - 1] != L'\\' && path[n - 1] != L'/')
        --n;
    lstrcpyW(path + n, L"ResonantFilter.dll");
    *module = LoadLibraryW(path);
    if (!*module) return HRESULT_FROM_WIN32(GetLastError());
    auto get = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(*module, "DllGetClassObject")));
    if (!get) return E_NOINTERFACE;
    IClassFactory* factory = nullptr;
    HRESULT hr = get(CLSID_ResonantFilter, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(nullptr, iid, out);
    factory->Release();
    return hr;
}

int ParamInfo() {
    HMODULE module = nullptr;
    IMediaParamInfo* info = nullptr;
    const HRESULT hr = CreateFilter(&module, IID_IMediaParamInfo, reinterpret_cast<void**>(&info));
    if (FAILED(hr)) {
        std::fprintf(stderr, "rf-host: cannot create the filter (0x%08lX)\n", (unsigned long)hr);
        return 1;
    }
    PrintParamTable(info);
    info->Release();
    FreeLibrary(module);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    int status = 2;
    if (argc >= 2 && std::strcmp(argv[1], "paraminfo") == 0) {
        status = ParamInfo();
    } else {
        std::fprintf(stderr, "usage: rf-host paraminfo\n");
    }
    CoUninitialize();
    return status;
}
