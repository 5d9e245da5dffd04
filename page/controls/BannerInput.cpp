// The banner's mouse handling: the hot item and its hover timer, the cursor, pressing, and
// what a click does.
#include "page/ShellOpen.h"
#include "page/controls/Banner.h"
#include "page/controls/BannerState.h"

namespace {

bool HasTitle(HWND window) {
    return GetWindowTextLengthW(window) > 0;
}

void Click(HWND window, const BannerState* s, int item) {
    const int id = BannerItemId(window, s, item);
    if (id <= 0) return;
    HWND parent = GetParent(window);
    const LPARAM self = reinterpret_cast<LPARAM>(window);
    if (item >= 0) {
        // A button commands with or without a title: one that looks pressable and does
        // nothing would only puzzle.
        if (s->buttons[item].enabled) PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, 0), self);
        return;
    }
    if (item != kItemBitmap) return;
    if (!HasTitle(window)) {
        PostMessageW(parent, kBannerNotifyBitmapClick, WPARAM(id), self);
    } else if (s->linkMode) {
        PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, 0), self);
    } else {
        OpenHomePage(parent != nullptr ? parent : window);
    }
}

void InvalidateItem(HWND window, const BannerState* s, int item) {
    if (item >= 0 && item < s->buttonCount) {
        InvalidateRect(window, &s->buttons[item].rect, FALSE);
    } else if (item == kItemBitmap) {
        InvalidateRect(window, &s->bitmap, FALSE);
    }
}

void ClearPress(BannerState* s) {
    for (int i = 0; i < s->buttonCount; ++i)
        s->buttons[i].pressed = false;
    s->pressedItem = kItemNone;
}

}  // namespace

void BannerSetHot(HWND window, BannerState* s, int item) {
    if (item != s->hot) {
        InvalidateItem(window, s, s->hot);
        InvalidateItem(window, s, item);
        s->hot = item;
    }
    // The timer runs only while something is hot: it is how the banner learns the mouse left.
    if (item != kItemNone && !s->timerRunning) {
        s->timerRunning = SetTimer(window, kBannerHoverTimer, kBannerHoverMs, nullptr) != 0;
    } else if (item == kItemNone && s->timerRunning) {
        KillTimer(window, kBannerHoverTimer);
        s->timerRunning = false;
    }
}

void BannerMouseMove(HWND window, BannerState* s, POINT p) {
    BannerSetHot(window, s, BannerItemAt(s, p));
}

void BannerHoverTick(HWND window, BannerState* s) {
    POINT p;
    int item = kItemNone;
    if (GetCursorPos(&p) && WindowFromPoint(p) == window && ScreenToClient(window, &p))
        item = BannerItemAt(s, p);
    BannerSetHot(window, s, item);
}

bool BannerSetCursor(HWND window, const BannerState* s) {
    POINT p;
    if (!GetCursorPos(&p) || !ScreenToClient(window, &p)) return false;
    const int item = BannerItemAt(s, p);
    const bool hand = item == kItemBitmap || (item >= 0 && s->buttons[item].enabled);
    SetCursor(LoadCursor(nullptr, hand ? IDC_HAND : IDC_ARROW));
    return true;
}

void BannerButtonDown(HWND window, BannerState* s, POINT p) {
    const int item = BannerItemAt(s, p);
    SetCapture(window);
    s->pressedItem = item;
    if (item >= 0 && s->buttons[item].enabled) s->buttons[item].pressed = true;
    // A press makes its item hot too, so a click needs no move before it.
    BannerSetHot(window, s, item);
    InvalidateItem(window, s, item);
}

void BannerButtonUp(HWND window, BannerState* s, POINT p) {
    const int down = s->pressedItem;
    InvalidateItem(window, s, down);
    ClearPress(s);
    // Cleared first: releasing the capture sends WM_CAPTURECHANGED, which cancels any press.
    if (GetCapture() == window) ReleaseCapture();
    const int item = BannerItemAt(s, p);
    if (item != kItemNone && item == down && item == s->hot) Click(window, s, item);
}

void BannerCancelPress(HWND window, BannerState* s) {
    if (s->pressedItem == kItemNone) return;
    InvalidateItem(window, s, s->pressedItem);
    ClearPress(s);
    if (GetCapture() == window) ReleaseCapture();
}
