#include "page/ShellOpen.h"

#include <shellapi.h>

const wchar_t kHomePageUrl[] = L"https://veltrin.example/resonant-filter/";

namespace {

void ShellOpen(HWND owner, const wchar_t* url) {
    ShellExecuteW(owner, L"open", url, nullptr, nullptr, SW_SHOWNORMAL);
}

ShellOpener opener = ShellOpen;

}  // namespace

ShellOpener SetShellOpener(ShellOpener replacement) {
    const ShellOpener previous = opener;
    opener = replacement != nullptr ? replacement : ShellOpen;
    return previous;
}

void OpenHomePage(HWND owner) {
    opener(owner, kHomePageUrl);
}
