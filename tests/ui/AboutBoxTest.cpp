// The about box as a user meets it: opened over its owner, its texts, the banner hidden for
// "Locale" 1, and Escape and OK closing it.
#include <gtest/gtest.h>

#include <string>

#include "filter/FilterDll.h"
#include "page/AboutBox.h"
#include "page/ShellOpen.h"
#include "resources/ResourceIds.h"
#include "support/win32/Screenshot.h"

namespace {

constexpr wchar_t kSharedKey[] = L"Software\\Aldermoor\\Shared Information";

void SetLocale(const DWORD* value) {
    if (value == nullptr) {
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSharedKey, L"Locale");
        return;
    }
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSharedKey, L"Locale", REG_DWORD, value, sizeof *value);
}

std::wstring Text(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

// What the box showed while open, read from inside its modal loop.
struct Seen {
    bool found = false;
    std::wstring caption, product, version;
    bool bannerVisible = false;
    RECT box{}, owner{};
    const char* screenshot = nullptr;
    UINT closeKey = VK_ESCAPE;
};

Seen* seen = nullptr;
HWND owner = nullptr;

// The open box, found from its owner; null until the modal loop has shown it.
HWND OpenBox() {
    HWND box = GetLastActivePopup(owner);
    return box != owner && IsWindowVisible(box) ? box : nullptr;
}

void CALLBACK Inspect(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = OpenBox();
    if (box == nullptr) return;  // the timer comes again
    KillTimer(nullptr, timer);
    seen->found = true;
    seen->caption = Text(box);
    seen->product = Text(GetDlgItem(box, IDC_ABOUT_PRODUCT));
    seen->version = Text(GetDlgItem(box, IDC_ABOUT_VERSION));
    seen->bannerVisible = IsWindowVisible(GetDlgItem(box, IDC_ABOUT_BANNER)) != FALSE;
    GetWindowRect(box, &seen->box);
    GetWindowRect(owner, &seen->owner);
    if (seen->screenshot != nullptr) SaveScreenshot(box, seen->screenshot);
    if (seen->closeKey == VK_RETURN) {
        // OK through its button, as a click or Enter on the default button gives it.
        SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    } else {
        PostMessageW(box, WM_KEYDOWN, seen->closeKey, 0);
    }
}

class AboutBox : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dll.Loaded());
        owner = CreateWindowExW(0, L"Static", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80,
                                640, 480, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(owner, nullptr);
        seen = &result;
    }
    void TearDown() override {
        DestroyWindow(owner);
        owner = nullptr;
        seen = nullptr;
        SetLocale(nullptr);
    }
    INT_PTR Open() {
        SetTimer(nullptr, 0, 100, Inspect);
        return RunAboutBox(dll.Module(), owner);
    }

    FilterDll dll;
    Seen result;
};

TEST_F(AboutBox, ShowsItsTextsOverTheOwnerAndEscapeCloses) {
    result.screenshot = "about-box";
    EXPECT_EQ(Open(), FALSE) << "Escape cancels";
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.caption, L"About Resonant Filter");
    EXPECT_EQ(result.product, L"Resonant Filter");
    EXPECT_EQ(result.version, L"Version 1.0a (Build 48)");
    EXPECT_TRUE(result.bannerVisible);
    // Centred on the owner, a third of the way down less a third of its own height.
    const LONG width = result.box.right - result.box.left;
    const LONG height = result.box.bottom - result.box.top;
    const LONG ownerWidth = result.owner.right - result.owner.left;
    const LONG ownerHeight = result.owner.bottom - result.owner.top;
    EXPECT_NEAR(result.box.left, result.owner.left + (ownerWidth - width) / 2, 1);
    EXPECT_NEAR(result.box.top, result.owner.top + ownerHeight / 3 - height / 3, 1);
}

TEST_F(AboutBox, OkClosesWithTrue) {
    result.closeKey = VK_RETURN;
    EXPECT_EQ(Open(), TRUE);
    EXPECT_TRUE(result.found);
}

TEST_F(AboutBox, LocaleOneHidesTheBanner) {
    const DWORD one = 1;
    SetLocale(&one);
    result.screenshot = "about-box-locale-1";
    Open();
    ASSERT_TRUE(result.found);
    EXPECT_FALSE(result.bannerVisible);
    EXPECT_EQ(result.caption, L"About Resonant Filter");
}

TEST(AboutBoxPlacement, StaysOnTheScreenAndUsesItWithoutAnOwner) {
    const RECT screen{0, 0, 1280, 1024};
    const SIZE box{300, 200};
    // Without a usable owner the screen takes its place.
    POINT at = AboutBoxPlacement(RECT{}, false, screen, box);
    EXPECT_EQ(at.x, 490);
    EXPECT_EQ(at.y, 1024 / 3 - 200 / 3);
    // An owner hanging off the bottom right pulls the box back inside.
    at = AboutBoxPlacement(RECT{1100, 900, 1500, 1300}, true, screen, box);
    EXPECT_EQ(at.x, 1280 - 300);
    EXPECT_EQ(at.y, 1024 - 200);
    at = AboutBoxPlacement(RECT{-400, -300, -100, 0}, true, screen, box);
    EXPECT_EQ(at.x, 0);
    EXPECT_EQ(at.y, 0);
}

// The box answers its banner's bitmap click by opening the home page, never a browser here.
const wchar_t* opened = nullptr;
void RecordOpen(HWND, const wchar_t* url) {
    opened = url;
}

void CALLBACK ClickBanner(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = OpenBox();
    if (box == nullptr) return;
    KillTimer(nullptr, timer);
    SendMessageW(box, 0x0614, 0, 0);
    PostMessageW(box, WM_KEYDOWN, VK_ESCAPE, 0);
}

TEST_F(AboutBox, BannerBitmapClickOpensTheHomePage) {
    const ShellOpener previous = SetShellOpener(RecordOpen);
    opened = nullptr;
    SetTimer(nullptr, 0, 100, ClickBanner);
    RunAboutBox(dll.Module(), owner);
    SetShellOpener(previous);
    ASSERT_NE(opened, nullptr);
    EXPECT_STREQ(opened, kHomePageUrl);
}

}  // namespace
