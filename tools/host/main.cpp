// The Windows host: loads ResonantFilter.dll from beside itself and drives it as an editor
// does. Commands:
//   paraminfo                          print the parameter table as read through IMediaParamInfo
//   process in.wav out.wav [preset]    run a file through a real graph with the filter in it
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "include/ResonantFilterApi.h"
#include "platform/Platform.h"
#include "tools/common/ParamTablePrinter.h"
#include "tools/graph/AudioGraph.h"

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

std::wstring Widen(const char* text) {
    std::wstring w;
    for (; *text; ++text)
        w += wchar_t(static_cast<unsigned char>(*text));
    return w;
}

bool WriteWav(const std::wstring& path, const WAVEFORMATEX& format,
              const std::vector<RecordedSample>& samples, DWORD* bytes) {
    *bytes = 0;
    for (const RecordedSample& s : samples)
        *bytes += DWORD(s.bytes.size());
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) return false;
    const DWORD fmtBytes = 16, riff = 4 + 8 + fmtBytes + 8 + *bytes;
    std::fwrite("RIFF", 1, 4, f);
    std::fwrite(&riff, 4, 1, f);
    std::fwrite("WAVEfmt ", 1, 8, f);
    std::fwrite(&fmtBytes, 4, 1, f);
    std::fwrite(&format, 1, fmtBytes, f);
    std::fwrite("data", 1, 4, f);
    std::fwrite(bytes, 4, 1, f);
    for (const RecordedSample& s : samples)
        std::fwrite(s.bytes.data(), 1, s.bytes.size(), f);
    return std::fclose(f) == 0;
}

int ProcessFile(const char* inPath, const char* outPath, LONG preset) {
    HMODULE module = nullptr;
    IBaseFilter* filter = nullptr;
    HRESULT hr = CreateFilter(&module, IID_IBaseFilter, reinterpret_cast<void**>(&filter));
    if (FAILED(hr)) {
        std::fprintf(stderr, "rf-host: cannot create the filter (0x%08lX)\n", (unsigned long)hr);
        return 1;
    }
    IFilterPresets* presets = nullptr;
    IFilterSettings* settings = nullptr;
    filter->QueryInterface(IID_IFilterPresets, reinterpret_cast<void**>(&presets));
    filter->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings));
    WCHAR name[64] = {};
    hr = presets->ApplyPreset(preset);
    presets->GetPresetName(preset, name, 64);
    presets->Release();
    int status = 1;
    SampleRecorder recorder;
    {
        AudioGraph graph;
        if (FAILED(hr)) {
            std::fprintf(stderr, "rf-host: preset must be 0..17\n");
        } else if (FAILED(hr = graph.Build(Widen(inPath), filter, &recorder, nullptr))) {
            std::fprintf(stderr, "rf-host: cannot build the graph at %s (0x%08lX)\n",
                         graph.FailedStep(), (unsigned long)hr);
        } else {
            LARGE_INTEGER frequency, start, end;
            QueryPerformanceFrequency(&frequency);
            QueryPerformanceCounter(&start);
            const bool done = SUCCEEDED(graph.Run()) && graph.WaitForComplete(600000);
            QueryPerformanceCounter(&end);
            graph.Stop();
            WAVEFORMATEX format{};
            DWORD bytes = 0;
            if (!done || FAILED(settings->GetWaveFormat(&format))) {
                std::fprintf(stderr, "rf-host: the graph did not complete\n");
            } else if (!WriteWav(Widen(outPath), format, recorder.Samples(), &bytes)) {
                std::fprintf(stderr, "rf-host: cannot write %s\n", outPath);
            } else {
                const double seconds = double(end.QuadPart - start.QuadPart) / frequency.QuadPart;
                const double frames = double(bytes) / format.nBlockAlign;
                std::printf(
                    "rf-host: %.0f frames, %u ch, %lu Hz, preset %ld (%ls) through the "
                    "graph: %.1f M frames/s (%.0fx real time)\n",
                    frames, unsigned(format.nChannels), (unsigned long)format.nSamplesPerSec,
                    (long)preset, name, frames / seconds / 1e6,
                    frames / seconds / format.nSamplesPerSec);
                status = 0;
            }
        }
    }
    settings->Release();
    filter->Release();
    FreeLibrary(module);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    int status = 2;
    if (argc >= 2 && std::strcmp(argv[1], "paraminfo") == 0) {
        status = ParamInfo();
    } else if (argc >= 4 && std::strcmp(argv[1], "process") == 0) {
        status = ProcessFile(argv[2], argv[3], argc > 4 ? std::strtol(argv[4], nullptr, 10) : 0);
    } else {
        std::fprintf(stderr, "usage: rf-host paraminfo | process in.wav out.wav [preset]\n");
    }
    CoUninitialize();
    return status;
}
