// Reads back what the setup leaves on a machine, as the platform's own clients read it:
//   setup_probe state                    the classes' registration in both registry views and
//                                        the product's Add/Remove Programs entries, a fact a line
//   setup_probe dmo                      the names DMOEnum lists for the DMO's class
//   setup_probe version VERSION FILE...  each file's version resource against VERSION
//                                        ("1.0.48"); exit 1 on any mismatch
//   setup_probe run COMMAND              runs a command line as given, as deployment tools run
//                                        an entry's QuietUninstallString; waits for it and
//                                        exits with its code, 127 when it cannot start
#include <initguid.h>

#include <windows.h>

#include <dmo.h>

#include <cstdio>
#include <string>
#include <vector>

#include "include/ResonantFilterApi.h"

namespace {

const wchar_t kProduct[] = L"Veltrin Resonant Filter";
const wchar_t kPublisher[] = L"Aldermoor";
const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The filter mapper's default category, where it keeps the filter's entry.
const wchar_t kLegacyFilterCategory[] = L"{083863F1-70DE-11D0-BD40-00A0C911CE86}";
// Media Foundation's audio-effect category, where the class is listed as a transform too.
const wchar_t kMftAudioEffect[] = L"11064C48-3648-4ED0-932E-05CE8AC811B7";

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], size, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(size) - 1);
    return utf8;
}

void Print(const std::wstring& line) {
    std::printf("%s\n", Utf8(line).c_str());
}

std::wstring GuidText(REFGUID guid) {
    WCHAR text[39] = {};
    StringFromGUID2(guid, text, 39);
    return text;
}

// The DMO registry names classes and categories without braces.
std::wstring BareGuidText(REFGUID guid) {
    return GuidText(guid).substr(1, 36);
}

// ---- Registry, in one view: KEY_WOW64_32KEY or KEY_WOW64_64KEY ----

// A key opened for reading in the view; null when missing. The caller closes it.
HKEY OpenKey(HKEY root, const std::wstring& key, REGSAM view) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS)
        return nullptr;
    return handle;
}

bool KeyExists(HKEY root, const std::wstring& key, REGSAM view) {
    const HKEY handle = OpenKey(root, key, view);
    if (handle != nullptr) RegCloseKey(handle);
    return handle != nullptr;
}

// A string value (name null: the default value); "-" when the key or value is missing.
std::wstring ReadString(HKEY root, const std::wstring& key, const wchar_t* name, REGSAM view) {
    const HKEY handle = OpenKey(root, key, view);
    if (handle == nullptr) return L"-";
    WCHAR text[2048] = {};
    DWORD size = sizeof text;
    const LSTATUS status = RegGetValueW(handle, nullptr, name, RRF_RT_REG_SZ, nullptr, text, &size);
    RegCloseKey(handle);
    return status == ERROR_SUCCESS ? text : L"-";
}

// A DWORD value; 0 when the key or value is missing.
DWORD ReadDword(HKEY root, const std::wstring& key, const wchar_t* name, REGSAM view) {
    const HKEY handle = OpenKey(root, key, view);
    if (handle == nullptr) return 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(handle, nullptr, name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS)
        value = 0;
    RegCloseKey(handle);
    return value;
}

const wchar_t* YesNo(bool yes) {
    return yes ? L"yes" : L"no";
}

// Each class's server, the filter mapper's entry, the DMO's two entries and the transform's two
// (the first by its name).
void PrintRegistration(REGSAM view, const std::wstring& label) {
    const struct {
        const wchar_t* name;
        const CLSID* clsid;
    } kClasses[] = {{L"filter", &CLSID_ResonantFilter},
                    {L"page", &CLSID_ResonantFilterPage},
                    {L"dmo", &CLSID_ResonantFilterDmo}};
    for (const auto& entry : kClasses) {
        const std::wstring server = L"CLSID\\" + GuidText(*entry.clsid) + L"\\InprocServer32";
        Print(label + L" " + entry.name + L" " +
              ReadString(HKEY_CLASSES_ROOT, server, nullptr, view));
    }
    const std::wstring mapper = std::wstring(L"CLSID\\") + kLegacyFilterCategory + L"\\Instance\\" +
                                GuidText(CLSID_ResonantFilter);
    const std::wstring objects = L"DirectShow\\MediaObjects\\";
    const std::wstring dmo = BareGuidText(CLSID_ResonantFilterDmo);
    Print(label + L" mapper " + YesNo(KeyExists(HKEY_CLASSES_ROOT, mapper, view)));
    Print(label + L" dmo-entry " + YesNo(KeyExists(HKEY_CLASSES_ROOT, objects + dmo, view)));
    const std::wstring category =
        objects + L"Categories\\" + BareGuidText(DMOCATEGORY_AUDIO_EFFECT) + L"\\" + dmo;
    Print(label + L" dmo-category " + YesNo(KeyExists(HKEY_CLASSES_ROOT, category, view)));
    const std::wstring transforms = L"MediaFoundation\\Transforms\\";
    const std::wstring mft = transforms + dmo;
    Print(label + L" mft-entry " +
          (KeyExists(HKEY_CLASSES_ROOT, mft, view)
               ? ReadString(HKEY_CLASSES_ROOT, mft, nullptr, view)
               : L"-"));
    const std::wstring listed = transforms + L"Categories\\" + kMftAudioEffect + L"\\" + dmo;
    Print(label + L" mft-category " + YesNo(KeyExists(HKEY_CLASSES_ROOT, listed, view)));
}

// Every Add/Remove Programs entry of the product in the view, with its values.
void PrintUninstallEntries(REGSAM view, const std::wstring& label) {
    const HKEY entries = OpenKey(HKEY_LOCAL_MACHINE, kUninstallKey, view);
    if (entries == nullptr) return;
    WCHAR name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(entries, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        const std::wstring key = std::wstring(kUninstallKey) + L"\\" + name;
        if (ReadString(HKEY_LOCAL_MACHINE, key, L"DisplayName", view) != kProduct) continue;
        Print(label + L" entry " + name);
        for (const wchar_t* value :
             {L"DisplayName", L"DisplayVersion", L"Publisher", L"InstallLocation",
              L"UninstallString", L"QuietUninstallString"})
            Print(label + L" entry " + value + L"=" +
                  ReadString(HKEY_LOCAL_MACHINE, key, value, view));
        Print(label + L" entry EstimatedSize=" +
              std::to_wstring(ReadDword(HKEY_LOCAL_MACHINE, key, L"EstimatedSize", view)));
    }
    RegCloseKey(entries);
}

int PrintState() {
    for (const auto& [view, label] :
         {std::pair<REGSAM, const wchar_t*>{KEY_WOW64_64KEY, L"64"}, {KEY_WOW64_32KEY, L"32"}}) {
        PrintRegistration(view, label);
        PrintUninstallEntries(view, label);
    }
    return 0;
}

// ---- DMO registry, in this process's own view ----

int PrintListedDmo() {
    IEnumDMO* dmos = nullptr;
    if (FAILED(DMOEnum(DMOCATEGORY_AUDIO_EFFECT, 0, 0, nullptr, 0, nullptr, &dmos))) return 1;
    CLSID clsid = {};
    WCHAR* name = nullptr;
    DWORD fetched = 0;
    while (dmos->Next(1, &clsid, &name, &fetched) == S_OK && fetched == 1) {
        if (IsEqualCLSID(clsid, CLSID_ResonantFilterDmo)) Print(name != nullptr ? name : L"");
        CoTaskMemFree(name);
        name = nullptr;
    }
    dmos->Release();
    return 0;
}

// ---- Version resources ----

class VersionCheck {
  public:
    VersionCheck(const std::wstring& file, const std::wstring& version)
        : file_(file), version_(version) {}

    // True when every field agrees; each disagreement is printed as a FAIL line.
    bool Run() {
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(file_.c_str(), &ignored);
        data_.resize(size);
        if (size == 0 || !GetFileVersionInfoW(file_.c_str(), 0, size, data_.data()))
            return Fail(L"no version resource");
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(data_.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
            length < sizeof *fixed || fixed->dwSignature != VS_FFI_SIGNATURE)
            return Fail(L"no fixed file information");
        const std::wstring numbers = version_ + L".0";
        Expect(L"the fixed file version", numbers,
               Numbers(fixed->dwFileVersionMS, fixed->dwFileVersionLS));
        Expect(L"the fixed product version", numbers,
               Numbers(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
        Expect(L"FileVersion", version_, Text(L"FileVersion"));
        Expect(L"ProductVersion", version_, Text(L"ProductVersion"));
        Expect(L"CompanyName", kPublisher, Text(L"CompanyName"));
        Expect(L"ProductName", kProduct, Text(L"ProductName"));
        for (const wchar_t* name : {L"FileDescription", L"LegalCopyright"})
            if (Text(name).empty()) Fail(std::wstring(name) + L" is empty");
        if (ok_) Print(file_ + L": " + version_ + L", " + Text(L"FileDescription"));
        return ok_;
    }

  private:
    static std::wstring Numbers(DWORD high, DWORD low) {
        return std::to_wstring(HIWORD(high)) + L"." + std::to_wstring(LOWORD(high)) + L"." +
               std::to_wstring(HIWORD(low)) + L"." + std::to_wstring(LOWORD(low));
    }

    // A string of the resource's first translation; empty when missing.
    std::wstring Text(const wchar_t* name) {
        WORD* translation = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(data_.data(), L"\\VarFileInfo\\Translation",
                            reinterpret_cast<void**>(&translation), &length) ||
            length < 2 * sizeof(WORD))
            return std::wstring();
        WCHAR path[64];
        swprintf(path, 64, L"\\StringFileInfo\\%04x%04x\\%ls", translation[0], translation[1],
                 name);
        WCHAR* text = nullptr;
        if (!VerQueryValueW(data_.data(), path, reinterpret_cast<void**>(&text), &length) ||
            length == 0)
            return std::wstring();
        return text;
    }

    void Expect(const std::wstring& what, const std::wstring& expected, const std::wstring& got) {
        if (got != expected) Fail(what + L" is '" + got + L"', not '" + expected + L"'");
    }

    bool Fail(const std::wstring& message) {
        Print(L"FAIL: " + file_ + L": " + message);
        ok_ = false;
        return false;
    }

    std::wstring file_;
    std::wstring version_;
    std::vector<BYTE> data_;
    bool ok_ = true;
};

// ---- Command lines ----

int RunCommandLine(std::wstring command) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        Print(L"cannot start " + command + L": error " + std::to_wstring(GetLastError()));
        return 127;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 127;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"state" && argc == 2) return PrintState();
    if (command == L"dmo" && argc == 2) return PrintListedDmo();
    if (command == L"run" && argc == 3) return RunCommandLine(argv[2]);
    if (command == L"version" && argc > 3) {
        bool ok = true;
        for (int i = 3; i < argc; ++i)
            ok = VersionCheck(argv[i], argv[2]).Run() && ok;
        return ok ? 0 : 1;
    }
    std::fprintf(stderr,
                 "usage: setup_probe state | dmo | run COMMAND | version VERSION FILE...\n");
    return 2;
}
