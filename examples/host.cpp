// A host in C++: starts from the "Muffler" preset, moves Frequency through IFilterSettings, and
// filters a second of stereo noise through IDirectProcess, reporting how much quieter it came out.
// The platform's smart pointers find each interface's identifier through __uuidof.
#include <initguid.h>  // defines the identifiers the header declares, in this one file

#include "ResonantFilterApi.h"

#include <comdef.h>

#include <cmath>
#include <cstdio>
#include <vector>

_COM_SMARTPTR_TYPEDEF(IFilterSettings, __uuidof(IFilterSettings));
_COM_SMARTPTR_TYPEDEF(IFilterPresets, __uuidof(IFilterPresets));
_COM_SMARTPTR_TYPEDEF(IDirectProcess, __uuidof(IDirectProcess));

namespace {

constexpr UINT kChannels = 2, kRate = 44100, kFrames = kRate;

// The DLL beside this program, through its class factory. CoCreateInstance would need the DLL
// registered first; loading it by path needs no registry and finds the DLL built alongside.
HMODULE LoadFilterDll() {
    WCHAR path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    while (n > 0 && path[n - 1] != L'\\' && path[n - 1] != L'/')
        --n;
    if (n + sizeof "ResonantFilter.dll" > MAX_PATH) return nullptr;
    lstrcpyW(path + n, L"ResonantFilter.dll");
    return LoadLibraryW(path);
}

// A new filter, asked for its settings face; empty when the DLL or the filter fails.
IFilterSettingsPtr CreateFilter(HMODULE dll) {
    using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    const auto getClassObject = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    IFilterSettingsPtr settings;
    if (getClassObject && SUCCEEDED(getClassObject(CLSID_ResonantFilter, IID_PPV_ARGS(&factory)))) {
        factory->CreateInstance(nullptr, IID_PPV_ARGS(&settings));
        factory->Release();
    }
    return settings;
}

LONG FindPreset(IFilterPresets* presets, const WCHAR* wanted) {
    LONG count = 0;
    presets->GetPresetCount(&count);
    for (LONG i = 0; i < count; ++i) {
        WCHAR name[64];
        if (SUCCEEDED(presets->GetPresetName(i, name, 64)) && lstrcmpW(name, wanted) == 0) return i;
    }
    return -1;
}

double Rms(const std::vector<float>& samples) {
    double sum = 0;
    for (float s : samples)
        sum += double(s) * s;
    return std::sqrt(sum / double(samples.size()));
}

// Preset, one setting, then the buffer; 0 when every call succeeded.
int Run(IFilterSettings* settings) {
    // Each asks the filter for its interface by the identifier __uuidof attaches to the type.
    IFilterPresetsPtr presets(settings);
    IDirectProcessPtr direct(settings);
    if (!presets || !direct) return 1;

    const LONG muffler = FindPreset(presets, L"Muffler");
    float values[6];
    if (muffler < 0 || FAILED(presets->ApplyPreset(muffler)) ||
        FAILED(settings->PutScaledFrequency(500)) ||  // whole hertz
        FAILED(settings->GetAllParams(values)))
        return 1;

    std::vector<float> buffer(size_t(kFrames) * kChannels);
    unsigned seed = 1;
    for (float& s : buffer) {  // white noise from a fixed seed
        seed = seed * 1664525u + 1013904223u;
        s = float(seed >> 8) / 16777216.0f - 0.5f;
    }
    const double before = Rms(buffer);
    if (FAILED(direct->Init(kChannels, kRate)) ||
        FAILED(direct->Process(buffer.data(), kFrames, 0)) || FAILED(direct->Stop()))
        return 1;
    const double after = Rms(buffer);

    std::printf("host.cpp: Muffler at %.0f Hz: noise RMS %.4f -> %.4f (%.1f dB)\n", values[0],
                before, after, 20 * std::log10(after / before));
    return 0;
}

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    int status = 1;
    const HMODULE dll = LoadFilterDll();
    if (dll) {
        const IFilterSettingsPtr settings = CreateFilter(dll);
        if (settings) status = Run(settings);
    }  // every reference is released here, before the DLL goes
    if (status != 0) std::fprintf(stderr, "host.cpp: the filter could not be loaded or driven\n");
    if (dll) FreeLibrary(dll);
    CoUninitialize();
    return status;
}
