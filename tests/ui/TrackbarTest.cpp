// The slider as its owner meets it: a real window of the DLL's class inside a parent that
// records every notice and, like the page, applies the step rule to scroll codes.
#include <gtest/gtest.h>

#include <vector>

#include "filter/FilterDll.h"
#include "page/controls/Trackbar.h"
#include "support/win32/Screenshot.h"

namespace {

constexpr wchar_t kParentClass[] = L"SliderTestParent";
constexpr wchar_t kSliderClass[] = L"tonalshaperBld48TrackbarClass";
constexpr int kSliderId = 1002;

struct Notice {
    UINT message;
    int code;      // scroll code or WM_NOTIFY code
    int position;  // scroll position (HIWORD, signed) or key for WM_NOTIFY
    bool operator==(const Notice& o) const {
        return message == o.message && code == o.code && position == o.position;
    }
};

std::ostream& operator<<(std::ostream& out, const Notice& n) {
    return out << "{" << n.message << ", " << n.code << ", " << n.position << "}";
}

std::vector<Notice> notices;
bool destroyOnPress = false;

Notice Scroll(int code, int position = 0) {
    return Notice{WM_HSCROLL, code, position};
}
Notice VScroll(int code, int position = 0) {
    return Notice{WM_VSCROLL, code, position};
}

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_HSCROLL:
        case WM_VSCROLL: {
            const int code = LOWORD(wParam);
            const bool carries = code == 4 || code == 5 || code == 8 || code == 9;
            notices.push_back({message, code, carries ? short(HIWORD(wParam)) : 0});
            HWND slider = reinterpret_cast<HWND>(lParam);
            if (destroyOnPress && code == kSliderPress) {
                DestroyWindow(slider);
                return 0;
            }
            // As the page does: line 1, page 10, Ctrl from the keyboard state.
            const int next = SliderStep(code, int(SendMessageW(slider, kSliderGetPosition, 0, 0)),
                                        int(SendMessageW(slider, kSliderGetMin, 0, 0)),
                                        int(SendMessageW(slider, kSliderGetMax, 0, 0)), 1, 10,
                                        message == WM_VSCROLL, GetKeyState(VK_CONTROL) < 0);
            SendMessageW(slider, kSliderSetPosition, TRUE, next);
            return 0;
        }
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
            int key = 0;
            if (header->code == kSliderNotifyKey)
                key = int(reinterpret_cast<const SliderKeyNotice*>(lParam)->key);
            notices.push_back({message, int(header->code), key});
            return 0;
        }
        case WM_CONTEXTMENU:
            notices.push_back({message, 0, 0});
            return 0;
        case WM_CTLCOLORDLG:
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

class Slider : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        WNDCLASSW c{};
        c.lpfnWndProc = ParentProc;
        c.hInstance = GetModuleHandleW(nullptr);
        c.hCursor = LoadCursor(nullptr, IDC_ARROW);
        c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        c.lpszClassName = kParentClass;
        RegisterClassW(&c);
    }
    void SetUp() override {
        dll = LoadFilterDll();
        ASSERT_NE(dll, nullptr);
        notices.clear();
        destroyOnPress = false;
        parent = CreateWindowExW(WS_EX_CONTROLPARENT, kParentClass, L"Slider",
                                 WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 120, 120,
                                 330, 110, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(parent, nullptr);
    }
    void TearDown() override {
        DestroyWindow(parent);
        PumpMessages();
        if (dll != nullptr) FreeLibrary(dll);
    }

    HWND Make(DWORD style, int min, int max, int position, int width = 200, int height = 26) {
        const bool vertical = style & kSliderVertical;
        slider =
            CreateWindowExW(0, kSliderClass, nullptr, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style,
                            100, 14, vertical ? height : width, vertical ? width : height, parent,
                            reinterpret_cast<HMENU>(kSliderId), nullptr, nullptr);
        EXPECT_NE(slider, nullptr);
        SendMessageW(slider, kSliderSetMin, FALSE, min);
        SendMessageW(slider, kSliderSetMax, FALSE, max);
        SendMessageW(slider, kSliderSetPosition, TRUE, position);
        PumpMessages();
        notices.clear();
        return slider;
    }
    int Position() const { return int(SendMessageW(slider, kSliderGetPosition, 0, 0)); }
    bool Vertical() const { return GetWindowLongW(slider, GWL_STYLE) & kSliderVertical; }

    // The value scale and channel as the slider reports them, to aim the mouse.
    SliderChannel Channel() const {
        const LRESULT c = SendMessageW(slider, kSliderGetChannel, 0, 0);
        return SliderChannel{HIWORD(c), LOWORD(c), Vertical()};
    }
    SliderScale ScaleOf() const {
        const DWORD style = DWORD(GetWindowLongW(slider, GWL_STYLE));
        SliderScale s;
        s.min = int(SendMessageW(slider, kSliderGetMin, 0, 0));
        s.max = int(SendMessageW(slider, kSliderGetMax, 0, 0));
        s.tapered = style & kSliderTapered;
        s.table = style & kSliderOctaveTaper ? TaperTable::Octave : TaperTable::Soft;
        DeriveTaper(s);
        return s;
    }
    int PixelOf(int value) const { return ValueToPixel(ScaleOf(), Channel(), value); }
    LPARAM At(int along) const {
        RECT r;
        GetClientRect(slider, &r);
        return Vertical() ? MAKELPARAM(r.right / 2, along) : MAKELPARAM(along, r.bottom / 2);
    }
    void Mouse(UINT message, int along, WPARAM keys = MK_LBUTTON) {
        SendMessageW(slider, message, keys, At(along));
    }
    void PutCursor(int along) {
        POINT p{short(LOWORD(At(along))), short(HIWORD(At(along)))};
        ClientToScreen(slider, &p);
        SetCursorPos(p.x, p.y);
    }
    void Key(UINT key) {
        SendMessageW(slider, WM_KEYDOWN, key, 1);
        SendMessageW(slider, WM_KEYUP, key, 0xC0000001);
    }

    HMODULE dll = nullptr;
    HWND parent = nullptr;
    HWND slider = nullptr;
};

TEST_F(Slider, AMaximumBelowThePositionClampsItToTheNewEnd) {
    Make(0x0202, 0, 1000, 800);
    SendMessageW(slider, kSliderSetMax, TRUE, 500);
    EXPECT_EQ(SendMessageW(slider, kSliderSetPosition, TRUE, 800), 500);
    EXPECT_EQ(Position(), 500);
    EXPECT_EQ(SendMessageW(slider, kSliderGetMax, 0, 0), 500);
    EXPECT_EQ(PixelOf(500), Channel().start + Channel().length);
    EXPECT_EQ(SendMessageW(slider, kSliderSetPosition, FALSE, -7), 0);
    // A 16-bit pair range; one across zero defaults to zero.
    SendMessageW(slider, kSliderSetRange, TRUE, MAKELPARAM(WORD(-50), 50));
    EXPECT_EQ(SendMessageW(slider, kSliderGetMin, 0, 0), -50);
    EXPECT_EQ(SendMessageW(slider, kSliderSetDefault, 0, 99), 50) << "default is clamped";
    EXPECT_TRUE(notices.empty()) << "setting from the owner sends nothing";
    for (UINT m = kSliderControllerFirst; m <= kSliderControllerLast; ++m)
        EXPECT_EQ(SendMessageW(slider, m, 1, 1), 0) << m;
}

TEST_F(Slider, ADoubleClickOnTheThumbReturnsToTheDefault) {
    Make(0x0202, 0, 1000, 600);
    EXPECT_EQ(SendMessageW(slider, kSliderSetDefault, 0, 0), 0);
    Mouse(WM_LBUTTONDBLCLK, PixelOf(600));
    EXPECT_EQ(Position(), 0);
    EXPECT_EQ(notices, (std::vector<Notice>{Scroll(4, 0), Scroll(8, 0)}));
    // After a range change the default is the new midpoint.
    SendMessageW(slider, kSliderSetMax, FALSE, 200);
    notices.clear();
    Mouse(WM_LBUTTONDBLCLK, PixelOf(0));
    EXPECT_EQ(Position(), 100);
    EXPECT_EQ(notices, (std::vector<Notice>{Scroll(4, 100), Scroll(8, 100)}));
}

TEST_F(Slider, EscapeDuringADragRestoresThePressPosition) {
    Make(0x0202, 0, 1000, 300);
    Mouse(WM_LBUTTONDOWN, PixelOf(300));
    Mouse(WM_MOUSEMOVE, PixelOf(900));
    ASSERT_NE(Position(), 300);
    EXPECT_EQ(SendMessageW(slider, WM_GETDLGCODE, 0, 0), DLGC_WANTALLKEYS);
    SendMessageW(slider, WM_CONTEXTMENU, WPARAM(slider), MAKELPARAM(-1, -1));  // swallowed
    SendMessageW(slider, WM_KEYDOWN, VK_LEFT, 1);  // ignored while dragging
    SendMessageW(slider, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(Position(), 300);
    EXPECT_NE(GetCapture(), slider);
    ASSERT_EQ(notices.size(), 4u);
    EXPECT_EQ(notices[2], Scroll(4, 300));
    EXPECT_EQ(notices[3], Scroll(8, 300));
    Mouse(WM_LBUTTONUP, PixelOf(900), 0);
    EXPECT_EQ(notices.size(), 4u) << "the release after Escape sends nothing";
}

TEST_F(Slider, CtrlMovesTheThumbHalfAsFarAndPutsTheCursorBack) {
    Make(0x0202, 0, 1000, 0);
    const int start = PixelOf(0);
    Mouse(WM_LBUTTONDOWN, start);
    Mouse(WM_MOUSEMOVE, start + 60, MK_LBUTTON | MK_CONTROL);
    EXPECT_NEAR(PixelOf(Position()), start + 30, 1);
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(slider, &cursor);
    EXPECT_NEAR(cursor.x, start + 30, 1);
    Mouse(WM_LBUTTONUP, cursor.x, 0);
}

TEST_F(Slider, HoldingTheButtonOnTheChannelRepeatsUntilTheThumbArrives) {
    Make(0x0202, 0, 1000, 0);
    const int cursor = PixelOf(300);
    Mouse(WM_LBUTTONDOWN, cursor);
    EXPECT_EQ(Position(), 10) << "the first page comes at once";
    for (int i = 0; i < 40; ++i)
        SendMessageW(slider, WM_TIMER, kSliderRepeatTimer, 0);
    const int stopped = Position();
    EXPECT_LT(stopped, 300);
    EXPECT_GT(stopped, 200) << "the thumb stops under the cursor";
    SendMessageW(slider, WM_TIMER, kSliderRepeatTimer, 0);
    EXPECT_EQ(Position(), stopped);
    // The real timer, while the button stays down beyond the thumb.
    Mouse(WM_MOUSEMOVE, PixelOf(900));
    PutCursor(PixelOf(900));  // so a real mouse move while pumping lands there too
    const DWORD until = GetTickCount() + 600;
    while (GetTickCount() < until) {
        PumpMessages();
        Sleep(10);
    }
    EXPECT_GE(Position(), stopped + 20);
    Mouse(WM_LBUTTONUP, PixelOf(900), 0);
    EXPECT_EQ(notices.front(), Scroll(9, 0));
    EXPECT_EQ(notices.back(), Scroll(8, Position()));
    for (size_t i = 1; i + 1 < notices.size(); ++i)
        EXPECT_EQ(notices[i], Scroll(3)) << i;
    // Before the thumb on a vertical slider is above it, toward the maximum: code 2.
    DestroyWindow(slider);
    Make(0x0201, 0, 1000, 500);
    Mouse(WM_LBUTTONDOWN, PixelOf(900));
    Mouse(WM_LBUTTONUP, PixelOf(900), 0);
    EXPECT_EQ(notices, (std::vector<Notice>{VScroll(9, 500), VScroll(2), VScroll(8, 510)}));
}

TEST_F(Slider, DigitKeysJumpToTenthsOfTheRange) {
    Make(0x0202, 20, 20000, 20);
    Key('5');
    EXPECT_EQ(Position(), 10010);
    Key('9');
    EXPECT_EQ(Position(), 18002);
    Key('0');
    EXPECT_EQ(Position(), 20);
    Key(VK_NUMPAD7);
    Key(VK_CLEAR);
    EXPECT_EQ(Position(), 20);
    EXPECT_EQ(notices, (std::vector<Notice>{Scroll(4, 10010), Scroll(8, 10010), Scroll(4, 18002),
                                            Scroll(8, 18002), Scroll(4, 20), Scroll(8, 20)}));
}

TEST_F(Slider, KeysSendTheirCodesAndOthersGoToTheOwner) {
    struct Case {
        UINT key;
        int horizontal, vertical;
    };
    const Case cases[] = {{VK_LEFT, 0, 0}, {VK_F3, 0, 0},   {VK_RIGHT, 1, 0}, {VK_UP, 1, 0},
                          {VK_F9, 1, 0},   {VK_DOWN, 0, 1}, {VK_PRIOR, 2, 2}, {VK_NEXT, 3, 3},
                          {VK_HOME, 6, 6}, {VK_END, 7, 7}};
    for (DWORD style : {0x0202u, 0x0203u}) {
        DestroyWindow(slider);
        Make(style, 0, 100, 50);
        const bool vertical = style & kSliderVertical;
        const UINT message = vertical ? WM_VSCROLL : WM_HSCROLL;
        for (const Case& c : cases) {
            notices.clear();
            SendMessageW(slider, kSliderSetPosition, FALSE, 50);
            Key(c.key);
            const int code = vertical ? c.vertical : c.horizontal;
            EXPECT_EQ(notices, (std::vector<Notice>{{message, code, 0}, {message, 8, Position()}}))
                << "key " << c.key << (vertical ? " vertical" : " horizontal");
        }
    }
    notices.clear();
    Key('A');
    EXPECT_EQ(notices, (std::vector<Notice>{{WM_NOTIFY, int(kSliderNotifyKey), 'A'}}));
    EXPECT_EQ(SendMessageW(slider, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS | DLGC_WANTCHARS);
}

TEST_F(Slider, WheelNotchesPageOrLineTowardTheirEnd) {
    Make(0x0202, 0, 1000, 500);
    SendMessageW(slider, WM_MOUSEWHEEL, MAKEWPARAM(0, 240), 0);
    EXPECT_EQ(Position(), 520);
    SendMessageW(slider, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WORD(-120)), 0);
    EXPECT_EQ(Position(), 519);
    SendMessageW(slider, WM_MOUSEWHEEL, MAKEWPARAM(0, 60), 0);  // less than a notch
    EXPECT_EQ(notices, (std::vector<Notice>{Scroll(9, 500), Scroll(3), Scroll(3), Scroll(8, 520),
                                            Scroll(9, 520), Scroll(0), Scroll(8, 519),
                                            Scroll(9, 519), Scroll(8, 519)}));
    DestroyWindow(slider);
    Make(0x0203, 0, 1000, 500);
    SendMessageW(slider, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    SendMessageW(slider, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WORD(-120)), 0);
    EXPECT_EQ(Position(), 509) << "away from the user is up, toward the maximum";
    EXPECT_EQ(notices, (std::vector<Notice>{VScroll(9, 500), VScroll(2), VScroll(8, 510),
                                            VScroll(9, 510), VScroll(1), VScroll(8, 509)}));
}

TEST_F(Slider, AnOwnerMayDestroyTheSliderInsideANotice) {
    Make(0x020A, 0, 100, 50);  // 0x0008: a click leaves the focus where it is
    destroyOnPress = true;
    Mouse(WM_LBUTTONDOWN, PixelOf(90));
    EXPECT_FALSE(IsWindow(slider));
    EXPECT_EQ(notices, (std::vector<Notice>{Scroll(9, 50)}));
}

// Screenshots in a dialog-coloured window at the page's sizes, to be looked at.
class SliderLooks : public Slider {
  protected:
    void Label(const wchar_t* text, int y) {
        HWND label = CreateWindowExW(0, L"Static", text, WS_CHILD | WS_VISIBLE, 8, y + 5, 92, 16,
                                     parent, nullptr, nullptr, nullptr);
        SendMessageW(label, WM_SETFONT, WPARAM(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    }
    void Shot(const char* name) {
        PumpMessages();
        EXPECT_TRUE(SaveScreenshot(parent, name)) << name;
    }
};

TEST_F(SliderLooks, HorizontalStates) {
    Label(L"&Resonance (%):", 14);
    Make(0x0202, 0, 1000, 500);
    Shot("slider-default");
    SetFocus(slider);
    Shot("slider-focused");
    SetFocus(parent);
    SendMessageW(slider, kSliderSetPosition, TRUE, 0);
    Shot("slider-min");
    SendMessageW(slider, kSliderSetPosition, TRUE, 1000);
    Shot("slider-max");
    SendMessageW(slider, kSliderSetPosition, TRUE, 300);
    EnableWindow(slider, FALSE);
    Shot("slider-disabled");
    DestroyWindow(slider);
    SetWindowTextW(GetWindow(parent, GW_CHILD), L"&Frequency (Hz):");
    Make(0x02C2, 20, 20000, 640);
    Shot("slider-tapered-640");
}

TEST_F(SliderLooks, ThePageAndAVerticalSlider) {
    SetWindowPos(parent, nullptr, 0, 0, 340, 150, SWP_NOMOVE | SWP_NOZORDER);
    const struct {
        const wchar_t* label;
        DWORD style;
        int min, max, position;
    } rows[] = {{L"&Frequency (Hz):", 0x02C2, 20, 20000, 1500},
                {L"&Resonance (%):", 0x0202, 0, 1000, 250},
                {L"&Wet / Dry (%):", 0x0202, 0, 1000, 1000}};
    for (int i = 0; i < 3; ++i) {
        Label(rows[i].label, 14 + 30 * i);
        Make(rows[i].style, rows[i].min, rows[i].max, rows[i].position, 218, 24);
        SetWindowPos(slider, nullptr, 100, 14 + 30 * i, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    Shot("slider-page");
    // The same in the classic grey scheme, where the frame colour is black.
    const INT which[] = {COLOR_BTNFACE, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT, COLOR_WINDOWFRAME};
    const COLORREF classic[] = {RGB(192, 192, 192), RGB(128, 128, 128), RGB(255, 255, 255), 0};
    COLORREF saved[4];
    for (int i = 0; i < 4; ++i)
        saved[i] = GetSysColor(which[i]);
    SetSysColors(4, which, classic);
    Shot("slider-page-classic");
    SetSysColors(4, which, saved);
    DestroyWindow(parent);
    parent = CreateWindowExW(0, kParentClass, L"Vertical",
                             WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 120, 120, 140,
                             260, nullptr, nullptr, nullptr, nullptr);
    Make(0x0203, -100, 100, 40);
    SendMessageW(slider, kSliderFillOption, TRUE, 1);
    SendMessageW(slider, kSliderScaleOption, TRUE, 1);
    SetWindowPos(slider, nullptr, 50, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Shot("slider-vertical");
}

}  // namespace
