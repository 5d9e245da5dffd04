// The page's help: where its two help files are, and the calls that show them. The context
// help (".hlp") pops up one topic per control; the HTML help (".chm") is the full manual.
// All of it runs on the page window's thread.
#pragma once

#include <windows.h>

#include <string>

struct HelpPaths {
    std::wstring contextHelp;  // .hlp
    std::wstring htmlHelp;     // .chm
};

// The two paths for `module`: the "HelpFolder" directory when set, else beside the module, each
// replaced by a variant for the user's language when one exists. `languageAbbreviation` is the
// locale's three-letter abbreviation ("deu"); null reads the user's own.
HelpPaths ResolveHelpPaths(HMODULE module, const wchar_t* languageAbbreviation = nullptr);

// Opens the HTML help at its overview topic (context 10) and brings its window to the top; true
// when a help window resulted. `caller` owns the help window; null stands for the desktop, which
// is what the page's Help uses, so the manual stays open after the page closes.
bool ShowHtmlHelp(const std::wstring& chm, HWND caller = nullptr);

// The context-help topic for a control of the page, or 0 for a control without one.
int HelpTopicForControl(int controlId);

// Pops up the control's topic from the context help; false when there is no topic or no file.
bool ShowContextPopup(HWND page, const std::wstring& hlp, int controlId);

// Closes the context help opened for `page`; nothing when the file does not exist.
void CloseContextHelp(HWND page, const std::wstring& hlp);

// The two help engines, as the platform declares them. Tests put recorders in their place so
// that no help window is ever opened.
using WinHelpEngine = BOOL(WINAPI*)(HWND window, LPCSTR file, UINT command, ULONG_PTR data);
using HtmlHelpEngine = HWND(WINAPI*)(HWND caller, LPCSTR file, UINT command, DWORD_PTR data);

struct HelpEngines {
    WinHelpEngine winHelp;
    HtmlHelpEngine htmlHelp;
};

// Replaces the engines; a null member restores the platform's. Returns the previous pair.
HelpEngines SetHelpEngines(HelpEngines engines);

// Loads `library` and looks up its "HtmlHelpA"; when the entry point is missing the library is
// released again and the result is null. The platform engine does this once, with "HHCTRL.OCX".
HtmlHelpEngine FindHtmlHelp(const char* library);

// `path` in the ANSI code page that the help engines take. A path the code page cannot spell is
// given by its short form instead, which any code page can.
std::string AnsiHelpPath(const std::wstring& path);
