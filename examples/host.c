// A host in C: starts from the "Muffler" preset, moves Frequency through IFilterSettings, and
// filters a second of stereo noise through IDirectProcess, reporting how much quieter it came out.
#define COBJMACROS
#include <initguid.h>  // defines the identifiers the header declares, in this one file

#include "ResonantFilterApi.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

enum { kChannels = 2, kRate = 44100, kFrames = kRate };

typedef HRESULT(WINAPI* GetClassObjectFn)(REFCLSID, REFIID, void**);

// The DLL beside this program, through its class factory. CoCreateInstance would need the DLL
// registered first; loading it by path needs no registry and finds the DLL built alongside.
static HMODULE LoadFilterDll(void) {
    WCHAR path[MAX_PATH];
    DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH);
    while (n > 0 && path[n - 1] != L'\\' && path[n - 1] != L'/')
        --n;
    if (n + sizeof "ResonantFilter.dll" > MAX_PATH) return NULL;
    lstrcpyW(path + n, L"ResonantFilter.dll");
    return LoadLibraryW(path);
}

static HRESULT CreateFilter(HMODULE dll, IUnknown** filter) {
    GetClassObjectFn getClassObject =
        (GetClassObjectFn)(void (*)(void))GetProcAddress(dll, "DllGetClassObject");
    IClassFactory* factory = NULL;
    HRESULT hr = getClassObject
                     ? getClassObject(&CLSID_ResonantFilter, &IID_IClassFactory, (void**)&factory)
                     : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    if (FAILED(hr)) return hr;
    hr = IClassFactory_CreateInstance(factory, NULL, &IID_IUnknown, (void**)filter);
    IClassFactory_Release(factory);
    return hr;
}

static LONG FindPreset(IFilterPresets* presets, const WCHAR* wanted) {
    LONG count = 0, i;
    WCHAR name[64];
    IFilterPresets_GetPresetCount(presets, &count);
    for (i = 0; i < count; ++i)
        if (SUCCEEDED(IFilterPresets_GetPresetName(presets, i, name, 64)) &&
            lstrcmpW(name, wanted) == 0)
            return i;
    return -1;
}

static double Rms(const float* samples, size_t count) {
    double sum = 0;
    size_t i;
    for (i = 0; i < count; ++i)
        sum += (double)samples[i] * samples[i];
    return sqrt(sum / (double)count);
}

// Preset, one setting, then the buffer; 0 when every call succeeded.
static int Run(IFilterSettings* settings, IFilterPresets* presets, IDirectProcess* direct) {
    const size_t count = (size_t)kFrames * kChannels;
    float* buffer = malloc(count * sizeof *buffer);
    float values[6];
    unsigned seed = 1;
    size_t i;
    double before, after;
    LONG muffler = FindPreset(presets, L"Muffler");
    if (!buffer || muffler < 0 || FAILED(IFilterPresets_ApplyPreset(presets, muffler)) ||
        FAILED(IFilterSettings_PutScaledFrequency(settings, 500)) ||  // whole hertz
        FAILED(IFilterSettings_GetAllParams(settings, values))) {
        free(buffer);
        return 1;
    }

    for (i = 0; i < count; ++i) {  // white noise from a fixed seed
        seed = seed * 1664525u + 1013904223u;
        buffer[i] = (float)(seed >> 8) / 16777216.0f - 0.5f;
    }
    before = Rms(buffer, count);
    if (FAILED(IDirectProcess_Init(direct, kChannels, kRate)) ||
        FAILED(IDirectProcess_Process(direct, buffer, kFrames, 0)) ||
        FAILED(IDirectProcess_Stop(direct))) {
        free(buffer);
        return 1;
    }
    after = Rms(buffer, count);
    free(buffer);

    printf("host.c: Muffler at %.0f Hz: noise RMS %.4f -> %.4f (%.1f dB)\n", values[0], before,
           after, 20 * log10(after / before));
    return 0;
}

int main(void) {
    HMODULE dll;
    IUnknown* filter = NULL;
    IFilterSettings* settings = NULL;
    IFilterPresets* presets = NULL;
    IDirectProcess* direct = NULL;
    int status = 1;

    CoInitializeEx(NULL, COINIT_MULTITHREADED);
    dll = LoadFilterDll();
    if (dll && SUCCEEDED(CreateFilter(dll, &filter))) {
        IUnknown_QueryInterface(filter, &IID_IFilterSettings, (void**)&settings);
        IUnknown_QueryInterface(filter, &IID_IFilterPresets, (void**)&presets);
        IUnknown_QueryInterface(filter, &IID_IDirectProcess, (void**)&direct);
        if (settings && presets && direct) status = Run(settings, presets, direct);
        if (direct) IDirectProcess_Release(direct);
        if (presets) IFilterPresets_Release(presets);
        if (settings) IFilterSettings_Release(settings);
        IUnknown_Release(filter);
    }
    if (status != 0) fprintf(stderr, "host.c: the filter could not be loaded or driven\n");
    if (dll) FreeLibrary(dll);
    CoUninitialize();
    return status;
}
