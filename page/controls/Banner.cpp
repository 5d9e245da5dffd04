// The banner's window procedure: its state block and its messages.
#include "page/controls/Banner.h"

#include <new>

#include "page/controls/BannerState.h"

namespace {

BannerState* StateOf(HWND window) {
    return reinterpret_cast<BannerState*>(GetWindowLongPtrW(window, 0));
}

POINT PointOf(LPARAM lParam) {
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

LRESULT Create(HWND window) {
    auto* s = new (std::nothrow) BannerState{};
    if (s == nullptr) return -1;
    s->hot = kItemNone;
    s->pressedItem = kItemNone;
    if (LoadBannerBitmaps(&s->normal, &s->hover)) s->drawDib = DrawDibOpen();
    SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(s));
    LayOutBanner(window, s);
    return 0;
}

void Destroy(HWND window, BannerState* s) {
    if (s->timerRunning) KillTimer(window, kBannerHoverTimer);
    if (s->drawDib != nullptr) DrawDibClose(s->drawDib);
    if (s->titleFont != nullptr) DeleteObject(s->titleFont);
    SetWindowLongPtrW(window, 0, 0);
    delete s;
}

void Relayout(HWND window, BannerState* s, bool redraw) {
    LayOutBanner(window, s);
    if (redraw) InvalidateRect(window, nullptr, FALSE);
}

LRESULT AddButton(HWND window, BannerState* s, bool image, int id, int imageIndex,
                  const wchar_t* text, bool redraw) {
    if (s->buttonCount >= kBannerMaxButtons) return FALSE;
    BannerButton& b = s->buttons[s->buttonCount++];
    b = BannerButton{};
    b.image = image;
    b.id = id;
    b.imageIndex = imageIndex;
    b.enabled = true;
    if (text != nullptr) lstrcpynW(b.text, text, kBannerTextMax);
    Relayout(window, s, redraw);
    return TRUE;
}

void RemoveButtons(HWND window, BannerState* s) {
    if (s->pressedItem >= 0) BannerCancelPress(window, s);
    if (s->hot >= 0) BannerSetHot(window, s, kItemNone);
    s->buttonCount = 0;
    Relayout(window, s, true);
}

LRESULT SetImages(HWND window, BannerState* s, int which, HIMAGELIST list) {
    HIMAGELIST previous = s->images[which];
    s->images[which] = list;
    if (list != nullptr) ImageList_SetBkColor(list, kBannerBand);
    Relayout(window, s, true);
    return reinterpret_cast<LRESULT>(previous);
}

void SetFont(HWND window, BannerState* s, HFONT font, bool redraw) {
    s->font = font;
    if (s->titleFont != nullptr) DeleteObject(s->titleFont);
    s->titleFont = nullptr;
    Relayout(window, s, redraw);
}

}  // namespace

LRESULT CALLBACK BannerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return Create(window);
    BannerState* s = StateOf(window);
    if (s == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_DESTROY:
            Destroy(window, s);
            return 0;
        case kBannerRemoveButtons:
            RemoveButtons(window, s);
            return TRUE;
        case kBannerAddTextButton:
            return AddButton(window, s, false, LOWORD(wParam), 0,
                             reinterpret_cast<const wchar_t*>(lParam), HIWORD(wParam) != 0);
        case kBannerSetLinkMode:
            s->linkMode = wParam != 0;
            return TRUE;
        case kBannerAddImageButton:
            return AddButton(window, s, true, static_cast<int>(wParam), static_cast<int>(lParam),
                             nullptr, true);
        case kBannerSetImages:
        case kBannerSetHotImages:
        case kBannerSetDisabledImages:
            return SetImages(window, s, static_cast<int>(message - kBannerSetImages),
                             reinterpret_cast<HIMAGELIST>(wParam));
        case WM_SETTEXT: {
            const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
            Relayout(window, s, true);
            return result;
        }
        case WM_SETFONT:
            SetFont(window, s, reinterpret_cast<HFONT>(wParam), LOWORD(lParam) != 0);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(s->font);
        case WM_SIZE:
            Relayout(window, s, true);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            if (dc != nullptr) PaintBanner(window, s, dc);
            EndPaint(window, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            PaintBanner(window, s, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_MOUSEMOVE:
            BannerMouseMove(window, s, PointOf(lParam));
            return 0;
        case WM_TIMER:
            if (wParam != kBannerHoverTimer) break;
            BannerHoverTick(window, s);
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT && BannerSetCursor(window, s)) return TRUE;
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            BannerButtonDown(window, s, PointOf(lParam));
            return 0;
        case WM_LBUTTONUP:
            BannerButtonUp(window, s, PointOf(lParam));
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != window) BannerCancelPress(window, s);
            return 0;
        case WM_CANCELMODE:
            BannerCancelPress(window, s);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
