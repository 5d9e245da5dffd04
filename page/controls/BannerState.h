// The banner's per-window state and the pieces of the banner that share it: bitmaps, layout,
// painting and mouse input.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <vfw.h>

constexpr int kBannerMaxButtons = 16;
constexpr int kBannerTextMax = 64;  // 63 characters and the terminator
constexpr UINT_PTR kBannerHoverTimer = 51;
constexpr UINT kBannerHoverMs = 130;
constexpr COLORREF kBannerBand = RGB(150, 150, 150);

// What lies under a point: a button's index (0 and up) or one of these.
constexpr int kItemNone = -1;
constexpr int kItemTitle = -2;
constexpr int kItemBitmap = -3;

// A packed bitmap resource: its header, palette and bits, checked to lie inside the resource.
struct BannerDib {
    const BITMAPINFOHEADER* header;
    const void* bits;
};

struct BannerButton {
    bool image;
    int id;
    int imageIndex;
    bool enabled;
    bool pressed;
    RECT rect;
    wchar_t text[kBannerTextMax];
};

// Zero-filled at WM_CREATE; the creation then sets `hot` and `pressedItem` to kItemNone.
struct BannerState {
    BannerDib normal, hover;
    HDRAWDIB drawDib;
    int hot;          // the item under the mouse
    int pressedItem;  // the item the button went down on, while it is down
    bool timerRunning;
    bool linkMode;
    RECT title, bitmap;
    BannerButton buttons[kBannerMaxButtons];
    int buttonCount;
    HIMAGELIST images[3];  // at rest, hot, disabled; not owned
    HFONT font;            // from WM_SETFONT, not owned; null for the GUI font
    HFONT titleFont;       // a bold copy of the button font, owned
};

// Bitmaps: `data` as a packed bitmap (a 40-byte header, palette and bits, all within `size`).
bool CheckBannerDib(const void* data, DWORD size, BannerDib* dib);
// The module-wide pair as checked resources; false (and nulls) when there is none.
bool LoadBannerBitmaps(BannerDib* normal, BannerDib* hover);

// Whether the bitmaps can be drawn; without them the banner shows only its background and
// nothing on it reacts.
inline bool BannerDrawable(const BannerState* s) {
    return s->normal.header != nullptr && s->hover.header != nullptr && s->drawDib != nullptr;
}

// Layout.
HFONT BannerButtonFont(const BannerState* s);
HFONT BannerTitleFont(BannerState* s);
void LayOutBanner(HWND window, BannerState* s);
int BannerItemAt(const BannerState* s, POINT p);
// The item's command id: a button's id, the banner's own id for the bitmap, 0 for the title.
int BannerItemId(HWND window, const BannerState* s, int item);

// Painting, through an off-screen bitmap when one can be made.
void PaintBanner(HWND window, BannerState* s, HDC target);

// Mouse input.
void BannerMouseMove(HWND window, BannerState* s, POINT p);
void BannerHoverTick(HWND window, BannerState* s);
bool BannerSetCursor(HWND window, const BannerState* s);
void BannerButtonDown(HWND window, BannerState* s, POINT p);
void BannerButtonUp(HWND window, BannerState* s, POINT p);
// Drops a press without a click (capture lost, cancel mode, buttons removed).
void BannerCancelPress(HWND window, BannerState* s);
void BannerSetHot(HWND window, BannerState* s, int item);
