// Reads registration back from the registry the way any client would, and runs the system's
// regsvr32 on a DLL.
#pragma once

#include "platform/Platform.h"

#include <dshow.h>

#include <string>
#include <vector>

inline std::wstring GuidText(REFGUID guid) {
    WCHAR text[39] = {};
    StringFromGUID2(guid, text, 39);
    return text;
}

inline std::wstring ClassKey(REFCLSID clsid) {
    return L"CLSID\\" + GuidText(clsid);
}

// The filter mapper's entry for a filter in the default category.
inline std::wstring MapperKey(REFCLSID clsid) {
    return ClassKey(CLSID_LegacyAmFilterCategory) + L"\\Instance\\" + GuidText(clsid);
}

// The DMO registry names classes and categories without braces.
inline std::wstring BareGuidText(REFGUID guid) {
    return GuidText(guid).substr(1, 36);
}

inline std::wstring DmoKey(REFCLSID clsid) {
    return L"DirectShow\\MediaObjects\\" + BareGuidText(clsid);
}

inline std::wstring DmoCategoryEntryKey(REFGUID category, REFCLSID clsid) {
    return L"DirectShow\\MediaObjects\\Categories\\" + BareGuidText(category) + L"\\" +
           BareGuidText(clsid);
}

inline bool KeyExists(const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

// A string value under HKCR\key (name null: the default value); empty when missing.
inline std::wstring ReadString(const std::wstring& key, const wchar_t* name) {
    WCHAR text[1024] = {};
    DWORD size = sizeof text;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS)
        return {};
    return text;
}

// A DWORD value under HKCR\key; 0xFFFFFFFF when missing.
inline DWORD ReadDword(const std::wstring& key, const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS)
        return 0xFFFFFFFFu;
    return value;
}

// A binary value under HKCR\key, as DWORDs; empty when missing.
inline std::vector<DWORD> ReadDwords(const std::wstring& key, const wchar_t* name) {
    std::vector<DWORD> words(1024);
    DWORD size = static_cast<DWORD>(words.size() * sizeof(DWORD));
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_BINARY, nullptr, words.data(),
                     &size) != ERROR_SUCCESS)
        size = 0;
    words.resize(size / sizeof(DWORD));
    return words;
}

inline bool SamePath(const std::wstring& a, const std::wstring& b) {
    return lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

// regsvr32's exit code: 0 done, 3 load failure, 4 missing export, 5 the entry point failed;
// -1 when it could not be run or did not finish within a minute.
inline int RunRegsvr32(const wchar_t* options, const std::wstring& dll) {
    std::wstring command = L"regsvr32.exe " + std::wstring(options) + L" \"" + dll + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

// ResonantFilter.dll beside the test program.
inline std::wstring DllPath() {
    WCHAR path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    while (n > 0 && path[n - 1] != L'\\' && path[n - 1] != L'/')
        --n;
    return std::wstring(path, n) + L"ResonantFilter.dll";
}
