// The link text: its press notice, its transparency to the mouse, its text and font, and its
// drawing over the parent's static-control brush.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "filter/FilterDll.h"
#include "page/controls/Banner.h"
#include "page/controls/ControlClasses.h"
#include "support/win32/Screenshot.h"

// From BannerTest.cpp.
std::vector<COLORREF> Capture(HWND window, const RECT& r);

namespace {

constexpr wchar_t kParentClass[] = L"LinkTextTestParent";
constexpr int kId = 77;
constexpr COLORREF kPaper = RGB(250, 240, 200), kInk = RGB(0, 0, 160);

NMHDR lastNotice{};
int notices = 0;
HBRUSH paper = nullptr;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        lastNotice = *reinterpret_cast<const NMHDR*>(lParam);
        ++notices;
        return 0;
    }
    if (message == WM_CTLCOLORSTATIC) {
        SetTextColor(reinterpret_cast<HDC>(wParam), kInk);
        return reinterpret_cast<LRESULT>(paper);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class LinkText : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        paper = CreateSolidBrush(kPaper);
        WNDCLASSW c{};
        c.lpfnWndProc = ParentProc;
        c.hInstance = GetModuleHandleW(nullptr);
        c.hbrBackground = paper;
        c.lpszClassName = kParentClass;
        RegisterClassW(&c);
    }
    static void TearDownTestSuite() { DeleteObject(paper); }
    void SetUp() override {
        dll = LoadFilterDll();
        ASSERT_NE(dll, nullptr);
        parent = CreateWindowExW(0, kParentClass, L"", WS_POPUP | WS_VISIBLE, 60, 200, 260, 40,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        notices = 0;
    }
    void TearDown() override {
        DestroyWindow(parent);
        FreeLibrary(dll);
    }
    HWND Make(DWORD style, const wchar_t* text = L"https://veltrin.example/") {
        HWND link = CreateWindowExW(0, kStaticClass, text, WS_CHILD | WS_VISIBLE | style, 10, 10,
                                    240, 20, parent, HMENU(INT_PTR(kId)), nullptr, nullptr);
        EXPECT_NE(link, nullptr);
        UpdateWindow(parent);
        return link;
    }

    HMODULE dll = nullptr;
    HWND parent = nullptr;
};

TEST_F(LinkText, ClickableStyleNotifiesTheParentOnButtonDown) {
    HWND link = Make(kLinkTextClickable | kLinkTextMouseInput);
    SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ASSERT_EQ(notices, 1);
    EXPECT_EQ(int(lastNotice.code), kLinkTextClicked);
    EXPECT_EQ(lastNotice.idFrom, UINT_PTR(kId));
    EXPECT_EQ(lastNotice.hwndFrom, link);
    HWND plain = Make(kLinkTextMouseInput);
    SendMessageW(plain, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(notices, 1) << "without the clickable style a press says nothing";
}

TEST_F(LinkText, IsTransparentToTheMouseUnlessItTakesMouseInput) {
    HWND passive = Make(kLinkTextClickable);
    POINT p{20, 20};
    ClientToScreen(parent, &p);
    EXPECT_EQ(SendMessageW(passive, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)), HTTRANSPARENT);
    EXPECT_EQ(WindowFromPoint(p), parent) << "the parent gets the mouse";
    DestroyWindow(passive);
    HWND active = Make(kLinkTextMouseInput);
    EXPECT_EQ(WindowFromPoint(p), active);
    EXPECT_EQ(SendMessageW(active, WM_GETDLGCODE, 0, 0), DLGC_STATIC);
}

TEST_F(LinkText, KeepsItsTextAndFont) {
    HWND link = Make(0, L"created");
    wchar_t text[32];
    EXPECT_EQ(GetWindowTextW(link, text, 32), 7);
    EXPECT_STREQ(text, L"created");
    SetWindowTextW(link, L"Visit the home page");
    EXPECT_EQ(SendMessageW(link, WM_GETTEXTLENGTH, 0, 0), 19);
    // A short buffer gets what fits, terminated, and nothing past it.
    wchar_t small[8] = {L'#', L'#', L'#', L'#', L'#', L'#', L'#', L'#'};
    EXPECT_EQ(SendMessageW(link, WM_GETTEXT, 5, LPARAM(small)), 4);
    EXPECT_STREQ(small, L"Visi");
    EXPECT_EQ(small[5], L'#');
    HFONT font = static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT));
    EXPECT_EQ(SendMessageW(link, WM_GETFONT, 0, 0), 0);
    SendMessageW(link, WM_SETFONT, WPARAM(font), TRUE);
    EXPECT_EQ(HFONT(SendMessageW(link, WM_GETFONT, 0, 0)), font);
}

TEST_F(LinkText, DrawsItsTextOverTheParentsBrush) {
    HWND link = Make(kLinkTextClickable | kLinkTextMouseInput);
    SaveScreenshot(parent, "link-text");
    const std::vector<COLORREF> pixels = Capture(link, RECT{0, 0, 240, 20});
    EXPECT_GT(std::count(pixels.begin(), pixels.end(), kPaper), 240 * 20 / 2);
    EXPECT_GT(std::count(pixels.begin(), pixels.end(), kInk), 20) << "text in the parent's ink";
}

}  // namespace
