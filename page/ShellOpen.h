// Opening the product's home page with the shell's "open" verb. Tests put a recorder in the
// shell's place so that no browser is ever launched.
#pragma once

#include <windows.h>

extern const wchar_t kHomePageUrl[];

using ShellOpener = void (*)(HWND owner, const wchar_t* url);

// Replaces the opener; null restores the shell's. Returns the previous one.
ShellOpener SetShellOpener(ShellOpener opener);
void OpenHomePage(HWND owner);
