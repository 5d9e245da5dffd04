// The window classes the DLL registers while it is loaded, and the shared values it reads.
#include <gtest/gtest.h>

#include <memory>

#include "filter/FilterDll.h"
#include "page/SharedSettings.h"

namespace {

constexpr wchar_t kSharedKey[] = L"Software\\Aldermoor\\Shared Information";

TEST(ModuleClasses, ExistWhileTheDllIsLoadedWithTheirStylesAndBrushes) {
    // Extra bytes in pointer-sized slots, since each holds its state's address: 4, 8 and 4 on
    // 32-bit Windows.
    constexpr int slot = int(sizeof(LONG_PTR));
    const struct {
        const wchar_t* name;
        int extraBytes;
        int colour;
    } classes[] = {
        {L"tonalshaperBld48TrackbarClass", slot, COLOR_BTNFACE},
        {L"tonalshaperBld48StaticClass", 2 * slot, COLOR_WINDOW},
        {L"tonalshaperBld48LogoClass", slot, COLOR_WINDOW},
    };
    auto loaded = std::make_unique<FilterDll>();
    ASSERT_TRUE(loaded->Loaded());
    const HMODULE dll = loaded->Module();
    for (const auto& c : classes) {
        WNDCLASSEXW info{};
        info.cbSize = sizeof info;
        // Global classes: found without naming the module that registered them.
        ASSERT_TRUE(GetClassInfoExW(nullptr, c.name, &info)) << c.name;
        ASSERT_TRUE(GetClassInfoExW(dll, c.name, &info)) << c.name;
        EXPECT_EQ(info.style, UINT(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_GLOBALCLASS));
        EXPECT_EQ(info.style, 0x400Bu);
        EXPECT_EQ(info.cbWndExtra, c.extraBytes) << c.name;
        EXPECT_EQ(info.cbClsExtra, 0);
        EXPECT_EQ(info.hbrBackground, reinterpret_cast<HBRUSH>(INT_PTR(c.colour + 1)));
        EXPECT_EQ(info.hCursor, LoadCursor(nullptr, IDC_ARROW));
        EXPECT_EQ(info.hIcon, nullptr);
        EXPECT_EQ(info.hInstance, dll);
    }
    loaded.reset();
    WNDCLASSEXW gone{};
    gone.cbSize = sizeof gone;
    for (const auto& c : classes)
        EXPECT_FALSE(GetClassInfoExW(nullptr, c.name, &gone)) << c.name << " outlived the DLL";
}

TEST(SharedSettings, HelpFolderNamesAnExistingDirectoryOrNothing) {
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSharedKey, L"HelpFolder");
    EXPECT_EQ(ReadSharedHelpFolder(), L"");
    auto set = [](const wchar_t* folder) {
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSharedKey, L"HelpFolder", REG_SZ, folder,
                        DWORD((lstrlenW(folder) + 1) * sizeof(wchar_t)));
    };
    set(L"");
    EXPECT_EQ(ReadSharedHelpFolder(), L"") << "empty: beside the module";
    set(L"C:\\windows");
    EXPECT_EQ(ReadSharedHelpFolder(), L"C:\\windows\\");
    set(L"C:\\windows\\");
    EXPECT_EQ(ReadSharedHelpFolder(), L"C:\\windows\\");
    set(L"C:\\no such folder");
    EXPECT_EQ(ReadSharedHelpFolder(), L"");
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSharedKey, L"HelpFolder");

    const DWORD seven = 7;
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSharedKey, L"Locale", REG_DWORD, &seven, sizeof seven);
    EXPECT_EQ(ReadSharedLocale(), 7u);
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSharedKey, L"Locale");
    EXPECT_EQ(ReadSharedLocale(), 0u);
}

}  // namespace
