// The page's menu built from a real filter and from a preset source of the test's own, its
// placement, and a chosen preset reaching the filter.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filter/FilterDll.h"
#include "page/PresetMenu.h"
#include "resources/ResourceIds.h"

namespace {

struct Item {
    UINT id;
    std::string text;
};

std::vector<Item> Items(HMENU menu) {
    std::vector<Item> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[600] = {};
        GetMenuStringA(menu, UINT(i), text, sizeof text, MF_BYPOSITION);
        items.push_back({GetMenuItemID(menu, i), text});
    }
    return items;
}

// Presets from a list; a null name is refused, and so is every index past the list.
class FakePresets : public IFilterPresets {
  public:
    explicit FakePresets(std::vector<const wchar_t*> names) : names_(std::move(names)) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IFilterPresets) return *out = nullptr, E_NOINTERFACE;
        *out = static_cast<IFilterPresets*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP GetPresetCount(LONG* count) override { return *count = LONG(names_.size()), S_OK; }
    STDMETHODIMP GetPresetName(LONG i, WCHAR* name, LONG length) override {
        if (i < 0 || size_t(i) >= names_.size()) return E_INVALIDARG;
        const wchar_t* from = names_[i];
        if (!from) return E_FAIL;
        lstrcpynW(name, from, length);
        return S_OK;
    }
    STDMETHODIMP ApplyPreset(LONG i) override { return applied.push_back(i), S_OK; }

    ULONG refs = 1;
    std::vector<LONG> applied;

  private:
    std::vector<const wchar_t*> names_;
};

class PresetMenu : public FilterDllTest {
  protected:
    void SetUp() override {
        FilterDllTest::SetUp();
        ASSERT_EQ(dll.Create(IID_IUnknown, &filter), S_OK);
    }
    void TearDown() override {
        if (filter) {
            EXPECT_EQ(filter->Release(), 0u);
        }
    }
    std::vector<float> Params() {
        IFilterSettings* settings = nullptr;
        filter->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings));
        std::vector<float> v(6);
        settings->GetAllParams(v.data());
        settings->Release();
        return v;
    }
    IUnknown* filter = nullptr;
};

TEST_F(PresetMenu, OffersThePresetsFromRowOneThenHelpAndAbout) {
    HMENU menu = BuildPageMenu(filter, dll.Module());
    const std::vector<Item> items = Items(menu), presets = Items(GetSubMenu(menu, 0));
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].text, "Presets");
    EXPECT_EQ(GetMenuState(menu, 1, MF_BYPOSITION) & MF_SEPARATOR, UINT(MF_SEPARATOR));
    EXPECT_EQ(items[2].id, 41000u);
    EXPECT_EQ(items[2].text, "Help");
    EXPECT_EQ(items[3].id, 41001u);
    EXPECT_EQ(items[3].text, "About");
    ASSERT_EQ(presets.size(), 17u);
    for (size_t i = 0; i < presets.size(); ++i)
        EXPECT_EQ(presets[i].id, 40500 + i);
    EXPECT_EQ(presets[0].text, "Default all parameters");
    EXPECT_EQ(presets[12].text, "PipSqueaking");
    EXPECT_EQ(RefCount(filter), 1u);
    DestroyMenu(menu);
}

TEST_F(PresetMenu, NamesShowLiterallyAndRefusedOnesAreLeftOut) {
    const std::wstring longest = std::wstring(258, L'x') + L"&";
    FakePresets fake({L"(Default)", L"Rock & Roll", nullptr, L"", longest.c_str(), L"Last"});
    HMENU menu = BuildPresetSubmenu(&fake);
    const std::vector<Item> items = Items(menu);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].text, "Rock && Roll");
    EXPECT_EQ(items[1].text, "");
    EXPECT_EQ(items[2].text, std::string(258, 'x') + "&&");
    EXPECT_EQ(items[3].text, "Last");
    // Each id stays with its preset, past the refused one.
    EXPECT_EQ(items[0].id, 40500u);
    EXPECT_EQ(items[3].id, 40504u);
    EXPECT_TRUE(ApplyPresetCommand(&fake, items[3].id));
    EXPECT_EQ(fake.applied, std::vector<LONG>{5});
    EXPECT_EQ(fake.refs, 1u);
    DestroyMenu(menu);
}

TEST_F(PresetMenu, AChosenPresetReachesTheFilter) {
    const std::vector<float> before = Params();
    for (UINT other : {40499u, 41000u, 32700u})
        EXPECT_FALSE(ApplyPresetCommand(filter, other)) << other;
    EXPECT_TRUE(ApplyPresetCommand(filter, 40999));  // no such preset: refused, ignored
    EXPECT_EQ(Params(), before);
    EXPECT_TRUE(ApplyPresetCommand(filter, 40512));
    EXPECT_EQ(Params(), (std::vector<float>{6000, 100, 2, 1, 0, 100}));
}

HWND menuWindow = nullptr;
RECT menuRect{};
int ticks = 0;

void CALLBACK FindMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    menuWindow = FindWindowW(L"#32768", nullptr);
    if (++ticks > 100) EndMenu();  // never shown: give up rather than hang
    if (menuWindow == nullptr || !IsWindowVisible(menuWindow)) return;
    KillTimer(nullptr, timer);
    GetWindowRect(menuWindow, &menuRect);
    for (UINT key : {VK_DOWN, VK_DOWN, VK_RETURN})  // Presets, Help, chosen
        PostMessageW(menuWindow, WM_KEYDOWN, key, 0);
}

TEST_F(PresetMenu, TheKeyboardsMenuOpensInTheUpperMiddleOfThePage) {
    HWND page = CreateWindowExW(0, L"STATIC", L"page", WS_POPUP | WS_VISIBLE, 100, 200, 401, 303,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(PageMenuPoint(page, -1, -1).x, 300);
    EXPECT_EQ(PageMenuPoint(page, -1, -1).y, 275);
    // Points on a monitor left of the primary are real ones.
    EXPECT_EQ(PageMenuPoint(page, -30, 40).x, -30);
    EXPECT_EQ(PageMenuPoint(page, 5, -1).y, -1);

    SetTimer(nullptr, 0, 20, FindMenu);
    ShowPageMenu(page, filter, dll.Module(), -1, -1);
    ASSERT_NE(menuWindow, nullptr);
    EXPECT_EQ(menuRect.left, 300);
    EXPECT_EQ(menuRect.top, 275);
    MSG msg{};
    EXPECT_TRUE(PeekMessageW(&msg, page, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(LOWORD(msg.wParam), ID_HELP);
    DestroyWindow(page);
}

}  // namespace
