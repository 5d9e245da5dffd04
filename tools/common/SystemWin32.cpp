#include <windows.h>

#include <io.h>

#include "tools/common/System.h"

bool ReplaceFileWith(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool StderrIsTerminal() {
    return _isatty(2) != 0;
}

namespace {

// Waits for a started program; Wine reports no usable exit code for a Unix program, so success
// is judged by the caller from what the program wrote.
bool Launch(std::string command) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

constexpr char kHostGnuplot[] = "Z:\\usr\\bin\\gnuplot";

bool WindowsGnuplot(char (&found)[MAX_PATH]) {
    return SearchPathA(nullptr, "gnuplot.exe", nullptr, MAX_PATH, found, nullptr) > 0;
}

using UnixNameFn = char*(CDECL*)(const WCHAR*);

// Under Wine, the host's path of a file; empty elsewhere.
std::string UnixName(const std::string& path) {
    auto unixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    char full[MAX_PATH];
    WCHAR wide[MAX_PATH];
    if (unixName == nullptr || GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr) == 0 ||
        MultiByteToWideChar(CP_ACP, 0, full, -1, wide, MAX_PATH) == 0)
        return std::string();
    char* name = unixName(wide);
    if (name == nullptr) return std::string();
    std::string result(name);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

}  // namespace

std::string PathForGnuplot(const std::string& path) {
    char found[MAX_PATH];
    if (!WindowsGnuplot(found)) {
        const std::string unixName = UnixName(path);
        if (!unixName.empty()) return unixName;
    }
    std::string forward = path;
    for (char& c : forward)
        if (c == '\\') c = '/';
    return forward;
}

bool RunGnuplot(const std::string& script, std::string* error) {
    // gnuplot from the PATH on Windows; under Wine, the host system's own.
    char found[MAX_PATH];
    if (WindowsGnuplot(found) && Launch(std::string("\"") + found + "\" \"" + script + "\""))
        return true;
    if (GetFileAttributesA(kHostGnuplot) != INVALID_FILE_ATTRIBUTES &&
        Launch(std::string(kHostGnuplot) + " \"" + PathForGnuplot(script) + "\""))
        return true;
    *error = "gnuplot cannot be started (put gnuplot.exe on the PATH)";
    return false;
}
