// The preset names: the DLL's string table and the portable table agree, and the filter (and
// so the page's menu) names its presets from whatever string table its module carries.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "filter/FilterDll.h"
#include "page/PresetMenu.h"
#include "presets/PresetTable.h"

namespace {

std::wstring StringOf(HMODULE module, UINT id) {
    const wchar_t* text = nullptr;
    const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, size_t(length)) : std::wstring();
}

std::wstring Widened(const char* ascii) {
    return std::wstring(ascii, ascii + strlen(ascii));
}

IFilterPresets* PresetsOf(IUnknown* filter) {
    IFilterPresets* presets = nullptr;
    filter->QueryInterface(IID_IFilterPresets, reinterpret_cast<void**>(&presets));
    return presets;
}

// Puts `text` in place of string `id` in the module file's US English string table.
bool ReplaceString(const std::wstring& file, UINT id, const std::wstring& text) {
    const WORD language = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    const LPCWSTR block = MAKEINTRESOURCEW(id / 16 + 1);
    std::vector<std::wstring> strings(16);
    HMODULE data = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (data == nullptr) return false;
    if (HRSRC found = FindResourceExW(data, MAKEINTRESOURCEW(6), block, language)) {
        auto* at = static_cast<const WCHAR*>(LockResource(LoadResource(data, found)));
        for (std::wstring& s : strings) {
            s.assign(at + 1, *at);
            at += 1 + *at;
        }
    }
    FreeLibrary(data);
    strings[id % 16] = text;
    std::vector<WCHAR> packed;
    for (const std::wstring& s : strings) {
        packed.push_back(WCHAR(s.size()));
        packed.insert(packed.end(), s.begin(), s.end());
    }
    HANDLE update = BeginUpdateResourceW(file.c_str(), FALSE);
    return update != nullptr &&
           UpdateResourceW(update, MAKEINTRESOURCEW(6), block, language, packed.data(),
                           DWORD(packed.size() * sizeof(WCHAR))) &&
           EndUpdateResourceW(update, FALSE);
}

class PresetNames : public FilterDllTest {};

TEST_F(PresetNames, TheStringTableAndThePortableTableAgreeAndTheFilterGivesThem) {
    IUnknown* filter = nullptr;
    ASSERT_EQ(dll.Create(IID_IUnknown, &filter), S_OK);
    IFilterPresets* presets = PresetsOf(filter);
    for (LONG i = 0; i < kPresetCount; ++i) {
        const std::wstring table = StringOf(dll.Module(), kPresetTable[i].stringId);
        EXPECT_EQ(table, Widened(kPresetTable[i].name)) << "row " << i;
        WCHAR name[64] = {};
        EXPECT_EQ(presets->GetPresetName(i, name, 64), S_OK);
        EXPECT_EQ(std::wstring(name), table) << "row " << i;
    }
    WCHAR cut[8];
    EXPECT_EQ(presets->GetPresetName(17, cut, 8), S_OK);
    EXPECT_EQ(std::wstring(cut), L"Teenage");
    presets->Release();
    EXPECT_EQ(filter->Release(), 0u);
}

// A copy of the DLL whose string table renames PipSqueaking, as a translated module would.
TEST_F(PresetNames, FollowTheModulesStringTable) {
    wchar_t own[MAX_PATH], temp[MAX_PATH];
    GetModuleFileNameW(dll.Module(), own, MAX_PATH);
    GetTempPathW(MAX_PATH, temp);
    const std::wstring copy =
        std::wstring(temp) + L"rf-names-" + std::to_wstring(GetCurrentProcessId()) + L".dll";
    ASSERT_TRUE(CopyFileW(own, copy.c_str(), FALSE));
    ASSERT_TRUE(ReplaceString(copy, 2047, L"Pip & Squeak")) << "rewriting the string table";
    HMODULE module = LoadLibraryW(copy.c_str());
    ASSERT_NE(module, nullptr);
    auto getClassObject = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    IUnknown* filter = nullptr;
    if (getClassObject != nullptr &&
        SUCCEEDED(getClassObject(CLSID_ResonantFilter, IID_IClassFactory,
                                 reinterpret_cast<void**>(&factory)))) {
        factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&filter));
        factory->Release();
    }
    EXPECT_NE(filter, nullptr);
    if (filter != nullptr) {
        IFilterPresets* presets = PresetsOf(filter);
        WCHAR name[64] = {};
        EXPECT_EQ(presets->GetPresetName(13, name, 64), S_OK);
        EXPECT_EQ(std::wstring(name), L"Pip & Squeak");
        EXPECT_EQ(presets->GetPresetName(12, name, 64), S_OK);
        EXPECT_EQ(std::wstring(name), L"Muffler") << "the rest of the block is kept";
        presets->Release();
        HMENU menu = BuildPresetSubmenu(filter);
        char item[64] = {};
        GetMenuStringA(menu, 12, item, sizeof item, MF_BYPOSITION);
        EXPECT_STREQ(item, "Pip && Squeak");
        DestroyMenu(menu);
        EXPECT_EQ(filter->Release(), 0u);
    }
    FreeLibrary(module);
    DeleteFileW(copy.c_str());
}

}  // namespace
