#include "page/SharedSettings.h"

namespace {
constexpr wchar_t kSharedKey[] = L"Software\\Aldermoor\\Shared Information";
}  // namespace

DWORD ReadSharedLocale() {
    DWORD value = 0, size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kSharedKey, L"Locale", RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS)
        return 0;
    return value;
}

std::wstring ReadSharedHelpFolder() {
    wchar_t folder[MAX_PATH] = {};
    DWORD size = sizeof folder;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kSharedKey, L"HelpFolder", RRF_RT_REG_SZ, nullptr, folder,
                     &size) != ERROR_SUCCESS ||
        folder[0] == 0)
        return std::wstring();
    const DWORD attributes = GetFileAttributesW(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::wstring();
    std::wstring path(folder);
    if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
    return path;
}
