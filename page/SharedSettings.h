// The two machine-wide values the module reads, under
// HKEY_LOCAL_MACHINE\Software\Aldermoor\Shared Information.
#pragma once

#include <windows.h>

#include <string>

// "Locale" (DWORD): which banner bitmaps the module shows; 0 when missing or unreadable.
DWORD ReadSharedLocale();

// "HelpFolder" (string): where the help files live, with a trailing backslash; empty when the
// value is missing, empty, or does not name an existing directory.
std::wstring ReadSharedHelpFolder();
