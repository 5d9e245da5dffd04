#include "page/HelpFiles.h"

#include <htmlhelp.h>

#include <atomic>
#include <cwctype>

#include "page/SharedSettings.h"

namespace {

// The manual's overview topic, also the page's help context.
constexpr DWORD_PTR kOverviewContext = 10;

// ---- Paths ----

std::wstring ModulePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        // Cut short: try again with room for the longest path the platform allows.
        if (path.size() >= 32768) return std::wstring();
        path.resize(path.size() * 2);
    }
}

size_t NameStart(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? 0 : slash + 1;
}

// `path` without the extension of its last component.
std::wstring Stem(const std::wstring& path) {
    const size_t dot = path.rfind(L'.');
    return dot == std::wstring::npos || dot < NameStart(path) ? path : path.substr(0, dot);
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The first file (not folder) matching `pattern`, with the pattern's folder; empty when none.
std::wstring FirstMatch(const std::wstring& pattern) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return std::wstring();
    std::wstring match;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            match = pattern.substr(0, NameStart(pattern)) + found.cFileName;
            break;
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return match;
}

// An abbreviation is spliced into a file name and a search pattern, so only letters and digits
// are taken: a wildcard or separator would make it name other files.
bool UsableAbbreviation(const std::wstring& abbreviation) {
    if (abbreviation.empty()) return false;
    for (const wchar_t c : abbreviation)
        if (!std::iswalnum(c)) return false;
    return true;
}

// The language's own file when there is one: "Namedeu.chm", else the first "Namede*.chm".
std::wstring Localised(const std::wstring& path, const std::wstring& abbreviation) {
    if (path.empty() || !UsableAbbreviation(abbreviation) ||
        _wcsicmp(abbreviation.c_str(), L"enu") == 0)
        return path;
    const std::wstring stem = Stem(path);
    const std::wstring extension = path.substr(stem.size());
    const std::wstring exact = stem + abbreviation + extension;
    if (IsFile(exact)) return exact;
    if (abbreviation.size() < 2) return path;
    const std::wstring similar =
        FirstMatch(stem + abbreviation.substr(0, abbreviation.size() - 1) + L"*" + extension);
    return similar.empty() ? path : similar;
}

std::wstring UserLanguageAbbreviation() {
    wchar_t abbreviation[16] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME, abbreviation, 16) == 0)
        return std::wstring();
    return abbreviation;
}

std::wstring HelpPath(const std::wstring& module, const std::wstring& folder,
                      const wchar_t* extension, const std::wstring& abbreviation) {
    if (module.empty()) return std::wstring();
    const std::wstring path = folder.empty()
                                  ? Stem(module) + extension
                                  : folder + Stem(module.substr(NameStart(module))) + extension;
    return Localised(path, abbreviation);
}

// ---- Engines ----

// HHCTRL.OCX is loaded at the first HTML help call and kept for the life of the process: its
// help windows live on after the call returns.
HWND WINAPI PlatformHtmlHelp(HWND caller, LPCSTR file, UINT command, DWORD_PTR data) {
    static std::atomic<HtmlHelpEngine> engine{nullptr};
    HtmlHelpEngine found = engine.load();
    if (found == nullptr) {
        found = FindHtmlHelp("HHCTRL.OCX");
        if (found == nullptr) return nullptr;
        engine.store(found);
    }
    return found(caller, file, command, data);
}

HelpEngines engines = {WinHelpA, PlatformHtmlHelp};

}  // namespace

HelpPaths ResolveHelpPaths(HMODULE module, const wchar_t* languageAbbreviation) {
    const std::wstring modulePath = ModulePath(module);
    const std::wstring folder = ReadSharedHelpFolder();
    const std::wstring abbreviation =
        languageAbbreviation != nullptr ? languageAbbreviation : UserLanguageAbbreviation();
    return {HelpPath(modulePath, folder, L".hlp", abbreviation),
            HelpPath(modulePath, folder, L".chm", abbreviation)};
}

std::string AnsiHelpPath(const std::wstring& path) {
    if (path.empty()) return std::string();
    std::wstring spelled = path;
    BOOL lossy = FALSE;
    int size = WideCharToMultiByte(CP_ACP, 0, spelled.c_str(), -1, nullptr, 0, nullptr, &lossy);
    if (lossy) {
        wchar_t shortPath[MAX_PATH];
        const DWORD length = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            spelled = shortPath;
            size =
                WideCharToMultiByte(CP_ACP, 0, spelled.c_str(), -1, nullptr, 0, nullptr, nullptr);
        }
    }
    if (size <= 0) return std::string();
    std::string ansi(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, spelled.c_str(), -1, &ansi[0], size, nullptr, nullptr);
    ansi.resize(static_cast<size_t>(size) - 1);
    return ansi;
}

bool ShowHtmlHelp(const std::wstring& chm, HWND caller) {
    const std::string path = AnsiHelpPath(chm);
    if (path.empty()) return false;
    const HWND window = engines.htmlHelp(caller != nullptr ? caller : GetDesktopWindow(),
                                         path.c_str(), HH_HELP_CONTEXT, kOverviewContext);
    if (window == nullptr) return false;
    BringWindowToTop(window);
    return true;
}

int HelpTopicForControl(int controlId) {
    static const struct {
        int control;
        int topic;
    } kTopics[] = {
        {1000, 1000}, {3003, 1000}, {1002, 1000},                // Frequency
        {1001, 1010}, {1003, 1010}, {3004, 1010},                // Resonance
        {3000, 1050}, {1010, 1050}, {3005, 1050},                // Wet/Dry
        {1007, 1020}, {1009, 1020}, {1008, 1020}, {3006, 1020},  // Filter type
        {1005, 1030}, {1006, 1030}, {3007, 1030},                // Filter order
    };
    for (const auto& entry : kTopics)
        if (entry.control == controlId) return entry.topic;
    return 0;
}

bool ShowContextPopup(HWND page, const std::wstring& hlp, int controlId) {
    const int topic = HelpTopicForControl(controlId);
    // No file, no popup: the engine would only start up to report the missing file.
    if (topic == 0 || hlp.empty() || !IsFile(hlp)) return false;
    const std::string path = AnsiHelpPath(hlp);
    return engines.winHelp(page, path.c_str(), HELP_CONTEXTPOPUP, static_cast<ULONG_PTR>(topic)) !=
           FALSE;
}

void CloseContextHelp(HWND page, const std::wstring& hlp) {
    if (hlp.empty() || !IsFile(hlp)) return;
    // HELP_QUIT (2) is the engine's documented request to drop this window's help. Command 0 is
    // no command in winuser.h (HELP_CONTEXT is 1), and an engine that is not running starts up
    // to answer an unknown one, so a page closing would open a help viewer instead.
    engines.winHelp(page, AnsiHelpPath(hlp).c_str(), HELP_QUIT, 0);
}

HelpEngines SetHelpEngines(HelpEngines replacement) {
    const HelpEngines previous = engines;
    engines.winHelp = replacement.winHelp != nullptr ? replacement.winHelp : WinHelpA;
    engines.htmlHelp = replacement.htmlHelp != nullptr ? replacement.htmlHelp : PlatformHtmlHelp;
    return previous;
}

HtmlHelpEngine FindHtmlHelp(const char* library) {
    const HMODULE module = LoadLibraryA(library);
    if (module == nullptr) return nullptr;
    const auto entry = reinterpret_cast<HtmlHelpEngine>(
        reinterpret_cast<void*>(GetProcAddress(module, "HtmlHelpA")));
    if (entry == nullptr) FreeLibrary(module);
    return entry;
}
