#include "tools/host/PageFrame.h"

#include <olectl.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "tools/host/GraphRun.h"

namespace {

DWORD frameThread = 0;

BOOL CALLBACK PressOk(HWND window, LPARAM) {
    if (IsWindowVisible(window)) PostMessageW(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

// Closes the frame with its OK button, as a user would.
void CALLBACK CloseFrame(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    EnumThreadWindows(frameThread, PressOk, 0);
}

}  // namespace

int ShowPageFrame(const ToolOptions& o, HostFilter& host, WavPieceReader& input, Encoding stored,
                  const char* tool) {
    std::atomic<bool> cancel{false};
    GraphResult result;
    WavWriter writer;
    std::thread player;
    const bool playing = !o.input.empty();
    if (playing) {
        const AudioData audio = input.StreamFormat();
        if (!writer.Open(o.output, audio.encoding, audio.channels, audio.rate, stored,
                         ShapeFor(input.FileFormat(), stored))) {
            std::fprintf(stderr, "%s: %s: cannot be written\n", tool, o.output.c_str());
            return 2;
        }
        player = std::thread([&] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            GraphPacing pacing;
            pacing.realTime = true;
            pacing.cancel = &cancel;
            result = RunGraph(o, host.Filter(), input, writer, tool, pacing);
            CoUninitialize();
        });
    }
    frameThread = GetCurrentThreadId();
    if (o.pageClose > 0) SetTimer(nullptr, 0, UINT(o.pageClose * 1000), CloseFrame);
    IUnknown* objects[] = {host.Filter()};
    CAUUID pages{};
    ISpecifyPropertyPages* specify = nullptr;
    HRESULT hr = host.Filter()->QueryInterface(IID_ISpecifyPropertyPages,
                                               reinterpret_cast<void**>(&specify));
    if (SUCCEEDED(hr)) hr = specify->GetPages(&pages);
    if (specify != nullptr) specify->Release();
    if (SUCCEEDED(hr))
        hr = OleCreatePropertyFrame(nullptr, 40, 40, L"Resonant Filter", 1, objects, pages.cElems,
                                    pages.pElems, LOCALE_USER_DEFAULT, 0, nullptr);
    CoTaskMemFree(pages.pElems);
    cancel = true;
    if (player.joinable()) player.join();
    if (FAILED(hr)) {
        std::fprintf(stderr, "%s: the property frame could not be shown (%s)\n", tool,
                     HresultText(hr).c_str());
        return 1;
    }
    if (!o.quiet) std::printf("%s: the property page was shown and closed\n", tool);
    if (!playing) return 0;
    if (!result.ok) {
        std::fprintf(stderr, "%s: %s; %s not written\n", tool, result.error.c_str(),
                     o.output.c_str());
        return 1;
    }
    if (!writer.Commit()) {
        std::fprintf(stderr, "%s: %s: writing failed\n", tool, o.output.c_str());
        return 1;
    }
    if (!o.quiet)
        std::printf("%s: played %s to the end into %s\n", tool, o.input.c_str(), o.output.c_str());
    return 0;
}
