// The banner as the page and the about box use it: clicks on its buttons and its bitmap, the
// bitmap pair "Locale" chooses, hover, and the hot and pressed looks.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "filter/FilterDll.h"
#include "page/ShellOpen.h"
#include "page/controls/Banner.h"
#include "page/controls/BannerState.h"
#include "page/controls/ControlClasses.h"
#include "support/win32/Screenshot.h"

namespace {

constexpr wchar_t kSharedKey[] = L"Software\\Aldermoor\\Shared Information";
constexpr wchar_t kParentClass[] = L"BannerTestParent";
constexpr wchar_t kLocalBannerClass[] = L"BannerTestLocalCopy";
constexpr int kId = 1004, kWidth = 382, kHeight = 26;
constexpr int kAbout = 41001, kHelp = 41000;
constexpr POINT kOnBitmap{60, 12}, kFarAway{1270, 1010};
constexpr RECT kBitmap{0, 1, 122, 25};

struct Posted {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Posted> posted;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND || message == kBannerNotifyBitmapClick) {
        posted.push_back({message, wParam, lParam});
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::vector<const wchar_t*> opened;
void RecordOpen(HWND, const wchar_t* url) {
    opened.push_back(url);
}

void SetLocale(const DWORD* value) {
    if (value == nullptr) {
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSharedKey, L"Locale");
    } else {
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSharedKey, L"Locale", REG_DWORD, value, sizeof *value);
    }
}

// Pumps for `ms` milliseconds, so timers fire and the display catches up.
void Settle(DWORD ms) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(10))
        PumpMessages();
}

// A bitmap resource of the DLL as plain pixels, rows top down, to compare with what was drawn.
std::vector<COLORREF> ResourcePixels(HMODULE module, UINT id) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2));
    const auto* h = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, found)));
    if (h == nullptr) return {};
    const auto* palette = reinterpret_cast<const RGBQUAD*>(h + 1);
    const auto* bits = reinterpret_cast<const BYTE*>(palette + (h->biClrUsed ? h->biClrUsed : 256));
    const int stride = (h->biWidth + 3) / 4 * 4;
    std::vector<COLORREF> pixels;
    for (int y = h->biHeight - 1; y >= 0; --y) {
        for (int x = 0; x < h->biWidth; ++x) {
            const RGBQUAD& c = palette[bits[y * stride + x]];
            pixels.push_back(RGB(c.rgbRed, c.rgbGreen, c.rgbBlue));
        }
    }
    return pixels;
}

}  // namespace

// Shared with LinkTextTest.cpp.
// The pixels of `r` (client coordinates) as the screen shows them after a repaint, top down.
std::vector<COLORREF> Capture(HWND window, const RECT& r) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 60; Sleep(10))
        PumpMessages();
    GdiFlush();
    const int width = r.right - r.left, height = r.bottom - r.top;
    POINT at{r.left, r.top};
    ClientToScreen(window, &at);
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    BITMAPINFO info{{sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, at.x, at.y, SRCCOPY);
    GdiFlush();
    std::vector<COLORREF> pixels;
    for (int i = 0; i < width * height; ++i) {
        const BYTE* p = static_cast<const BYTE*>(bits) + i * 4;
        pixels.push_back(RGB(p[2], p[1], p[0]));
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

namespace {

class Banner : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        WNDCLASSW parentClass{};
        parentClass.lpfnWndProc = ParentProc;
        parentClass.hInstance = GetModuleHandleW(nullptr);
        parentClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        parentClass.lpszClassName = kParentClass;
        RegisterClassW(&parentClass);
    }
    void SetUp() override {
        SetCursorPos(kFarAway.x, kFarAway.y);
        Reload(nullptr);
        parent =
            CreateWindowExW(0, kParentClass, L"", WS_POPUP | WS_VISIBLE, 40, 40, kWidth + 16,
                            kHeight + 16, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent, nullptr);
        posted.clear();
        opened.clear();
    }
    void TearDown() override {
        DestroyWindow(parent);
        SetLocale(nullptr);
        if (dll != nullptr) FreeLibrary(dll);
    }
    // Loads the DLL afresh with "Locale" at `locale` (null: absent); windows must be gone.
    void Reload(const DWORD* locale) {
        if (dll != nullptr) FreeLibrary(dll);
        SetLocale(locale);
        dll = LoadFilterDll();
        ASSERT_NE(dll, nullptr);
    }
    HWND Make(const wchar_t* title, bool pageButtons, const wchar_t* className = kLogoClass) {
        HWND banner =
            CreateWindowExW(0, className, title, WS_CHILD | WS_VISIBLE, 8, 8, kWidth, kHeight,
                            parent, HMENU(INT_PTR(kId)), GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(banner, nullptr);
        if (pageButtons) {
            SendMessageW(banner, kBannerAddTextButton, MAKEWPARAM(kAbout, 1), LPARAM(L"About"));
            SendMessageW(banner, kBannerAddTextButton, MAKEWPARAM(kHelp, 1), LPARAM(L"?"));
        }
        UpdateWindow(parent);
        return banner;
    }
    // The page's two buttons, laid from the right edge leftward: "?" (0), then "About" (1).
    static RECT ButtonRect(HWND banner, int fromRight) {
        HDC dc = GetDC(banner);
        HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        SIZE help{}, about{};
        GetTextExtentPoint32W(dc, L"?", 1, &help);
        GetTextExtentPoint32W(dc, L"About", 5, &about);
        ReleaseDC(banner, (SelectObject(dc, old), dc));
        const int right = kWidth - 1 - (fromRight == 0 ? 0 : help.cx + 8);
        return RECT{right - (fromRight == 0 ? help : about).cx - 8, 1, right, kHeight - 1};
    }
    static POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, kHeight / 2}; }
    static void Press(HWND banner, POINT p) {
        SendMessageW(banner, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    }
    static void Release(HWND banner, POINT p) {
        SendMessageW(banner, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
        PumpMessages();
    }
    static void Click(HWND banner, POINT p) {
        Press(banner, p);
        Release(banner, p);
    }
    static void Hover(HWND banner, POINT p) {
        POINT screen = p;
        ClientToScreen(banner, &screen);
        SetCursorPos(screen.x, screen.y);
        SendMessageW(banner, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
    }

    HMODULE dll = nullptr;
    HWND parent = nullptr;
};

TEST_F(Banner, TextButtonsPostTheirCommandsWhenPressedAndReleasedOnThem) {
    HWND banner = Make(L"Resonant ", true);
    SaveScreenshot(parent, "banner-title-buttons");
    Click(banner, Centre(ButtonRect(banner, 0)));
    Click(banner, Centre(ButtonRect(banner, 1)));
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].message, UINT(WM_COMMAND));
    EXPECT_EQ(posted[0].wParam, WPARAM(kHelp));
    EXPECT_EQ(posted[0].lParam, LPARAM(banner));
    EXPECT_EQ(posted[1].wParam, WPARAM(kAbout));
    // Pressed on one button and released on the other, or on the title: nothing.
    Press(banner, Centre(ButtonRect(banner, 1)));
    Release(banner, Centre(ButtonRect(banner, 0)));
    Click(banner, POINT{200, 12});
    EXPECT_EQ(posted.size(), 2u);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(Banner, WithoutATitleTheBitmapPostsItsNoticeAndButtonsStillCommand) {
    HWND banner = Make(L"", false);
    SaveScreenshot(parent, "banner-bitmap-only");
    Click(banner, kOnBitmap);
    SendMessageW(banner, kBannerAddTextButton, MAKEWPARAM(kHelp, 1), LPARAM(L"?"));
    Click(banner, POINT{kWidth - 4, kHeight / 2});
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].message, kBannerNotifyBitmapClick);
    EXPECT_EQ(posted[1].message, UINT(WM_COMMAND));
    EXPECT_EQ(posted[1].wParam, WPARAM(kHelp));
    EXPECT_TRUE(opened.empty());
}

// The DLL's copy of the banner opens the page through the DLL's own shell opener, out of a
// test's reach; this one runs the same banner code linked into the test program.
TEST_F(Banner, BitmapWithATitleOpensTheHomePageOrInLinkModeCommands) {
    WNDCLASSW local{};
    local.style = CS_DBLCLKS;
    local.lpfnWndProc = BannerProc;
    local.cbWndExtra = sizeof(LONG_PTR);  // the state's address
    local.hInstance = GetModuleHandleW(nullptr);
    local.lpszClassName = kLocalBannerClass;
    RegisterClassW(&local);
    SetBannerBitmaps(dll, 24019, 24020);
    const ShellOpener previous = SetShellOpener(RecordOpen);
    HWND banner = Make(L"Resonant ", true, kLocalBannerClass);
    Click(banner, kOnBitmap);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_STREQ(opened[0], kHomePageUrl);
    EXPECT_TRUE(posted.empty());
    SendMessageW(banner, kBannerSetLinkMode, TRUE, 0);
    Click(banner, kOnBitmap);
    EXPECT_EQ(opened.size(), 1u);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, UINT(WM_COMMAND));
    EXPECT_EQ(posted[0].wParam, WPARAM(kId));
    SetShellOpener(previous);
    DestroyWindow(banner);
    SetBannerBitmaps(nullptr, 0, 0);
    UnregisterClassW(kLocalBannerClass, GetModuleHandleW(nullptr));
}

TEST_F(Banner, LocaleChoosesTheBitmapPairAndTwoLeavesOnlyTheBackground) {
    HWND banner = Make(L"", false);
    const std::vector<COLORREF> first = Capture(banner, kBitmap);
    EXPECT_EQ(first, ResourcePixels(dll, 24019));
    DestroyWindow(banner);

    const DWORD one = 1, two = 2;
    Reload(&one);
    banner = Make(L"", false);
    SaveScreenshot(parent, "banner-locale-1");
    const std::vector<COLORREF> second = Capture(banner, kBitmap);
    EXPECT_EQ(second, ResourcePixels(dll, 24021));
    EXPECT_NE(second, first);
    DestroyWindow(banner);

    Reload(&two);
    banner = Make(L"Resonant ", true);
    SaveScreenshot(parent, "banner-no-bitmaps");
    for (COLORREF c : Capture(banner, RECT{0, 0, kWidth, kHeight}))
        ASSERT_EQ(c, GetSysColor(COLOR_BTNFACE));
    // Nothing shown, nothing to click.
    Click(banner, kOnBitmap);
    Click(banner, Centre(ButtonRect(banner, 0)));
    EXPECT_TRUE(posted.empty());
    DestroyWindow(banner);
}

TEST_F(Banner, HoverShowsTheHoverBitmapUntilTheMouseLeaves) {
    HWND banner = Make(L"Resonant ", true);
    Hover(banner, kOnBitmap);
    EXPECT_EQ(Capture(banner, kBitmap), ResourcePixels(dll, 24020));
    SaveScreenshot(parent, "banner-hover");
    // Still over it after a few timer ticks, then gone once the mouse is elsewhere.
    Settle(300);
    EXPECT_EQ(Capture(banner, kBitmap), ResourcePixels(dll, 24020));
    SetCursorPos(kFarAway.x, kFarAway.y);
    Settle(300);
    EXPECT_EQ(Capture(banner, kBitmap), ResourcePixels(dll, 24019));
}

TEST_F(Banner, HotButtonIsRaisedAndPressedButtonSunken) {
    HWND banner = Make(L"Resonant ", true);
    const RECT about = ButtonRect(banner, 1);
    auto corners = [&] {
        return std::pair{
            Capture(banner, RECT{about.left, 1, about.left + 1, 2})[0],
            Capture(banner, RECT{about.right - 1, kHeight - 2, about.right, kHeight - 1})[0]};
    };
    const COLORREF white = RGB(255, 255, 255), black = RGB(0, 0, 0);
    Hover(banner, Centre(about));
    SaveScreenshot(parent, "banner-button-hot");
    EXPECT_EQ(corners(), std::pair(white, black));
    Press(banner, Centre(about));
    SaveScreenshot(parent, "banner-button-pressed");
    EXPECT_EQ(corners(), std::pair(black, white));
    Release(banner, Centre(about));
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].wParam, WPARAM(kAbout));
}

// A damaged bitmap resource is refused, not read past its end.
TEST(BannerBitmap, IsUsedOnlyWhenItsHeaderPaletteAndBitsFitTheResource) {
    HMODULE dll = LoadFilterDll();
    HRSRC found = FindResourceW(dll, MAKEINTRESOURCEW(24019), MAKEINTRESOURCEW(2));
    const DWORD size = SizeofResource(dll, found);
    std::vector<BYTE> data(size);
    CopyMemory(data.data(), LockResource(LoadResource(dll, found)), size);
    FreeLibrary(dll);
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(data.data());
    BannerDib dib{};
    ASSERT_TRUE(CheckBannerDib(data.data(), size, &dib));
    EXPECT_EQ(dib.header, header);
    EXPECT_EQ(header->biWidth, 122);
    EXPECT_EQ(header->biHeight, 24);
    EXPECT_EQ(header->biBitCount, 8);
    EXPECT_EQ(static_cast<const BYTE*>(dib.bits),
              data.data() + 40 + 4 * (header->biClrUsed ? header->biClrUsed : 256));
    EXPECT_FALSE(CheckBannerDib(data.data(), size - 1, &dib)) << "bits cut short";
    EXPECT_EQ(dib.header, nullptr);
    EXPECT_FALSE(CheckBannerDib(data.data(), 39, &dib)) << "header cut short";
    const BITMAPINFOHEADER good = *header;
    header->biClrUsed = 257;
    EXPECT_FALSE(CheckBannerDib(data.data(), size, &dib)) << "more colours than 8 bits hold";
    *header = good;
    header->biHeight = -0x7FFFFFFF - 1;
    EXPECT_FALSE(CheckBannerDib(data.data(), size, &dib)) << "a height that overflows";
    *header = good;
    header->biSize = 124;
    EXPECT_FALSE(CheckBannerDib(data.data(), size, &dib)) << "only a 40-byte header is used";
}

}  // namespace
