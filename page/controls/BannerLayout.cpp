// Where the banner's parts go: the bitmap at the left at its own size, the buttons from the
// right edge leftward, the title box between them; and which part lies under a point.
#include "page/controls/BannerState.h"

namespace {

constexpr int kTextPadding = 8;
constexpr int kDefaultImageSize = 16;

int ImageWidth(const BannerState* s) {
    for (HIMAGELIST list : s->images) {
        int cx = 0, cy = 0;
        if (list != nullptr && ImageList_GetIconSize(list, &cx, &cy)) return cx;
    }
    return kDefaultImageSize;
}

bool HasTitle(HWND window) {
    return GetWindowTextLengthW(window) > 0;
}

}  // namespace

HFONT BannerButtonFont(const BannerState* s) {
    return s->font != nullptr ? s->font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

HFONT BannerTitleFont(BannerState* s) {
    if (s->titleFont == nullptr) {
        LOGFONTW face{};
        if (GetObjectW(BannerButtonFont(s), sizeof face, &face) == sizeof face) {
            face.lfWeight = FW_BOLD;
            s->titleFont = CreateFontIndirectW(&face);
        }
    }
    return s->titleFont != nullptr ? s->titleFont : BannerButtonFont(s);
}

void LayOutBanner(HWND window, BannerState* s) {
    RECT client;
    GetClientRect(window, &client);
    s->bitmap = RECT{};
    s->title = RECT{};
    int left = client.left;
    if (BannerDrawable(s)) {
        const BITMAPINFOHEADER* h = s->normal.header;
        const int height = h->biHeight < 0 ? -h->biHeight : h->biHeight;
        const int top = client.top + (client.bottom - client.top - height) / 2;
        s->bitmap =
            RECT{client.left, top > client.top ? top : client.top, client.left + h->biWidth, 0};
        s->bitmap.bottom = s->bitmap.top + height;
        left = s->bitmap.right;
    }
    // Inset by one pixel, so the band and the title box sit clear of the bitmap and the edge.
    const int top = client.top + 1, bottom = client.bottom - 1;
    int right = client.right - 1;
    HDC dc = GetDC(window);
    HGDIOBJ old = dc != nullptr ? SelectObject(dc, BannerButtonFont(s)) : nullptr;
    for (int i = s->buttonCount - 1; i >= 0; --i) {
        BannerButton& b = s->buttons[i];
        int width = kDefaultImageSize;
        if (b.image) {
            width = ImageWidth(s);
        } else {
            SIZE extent{};
            if (dc != nullptr) GetTextExtentPoint32W(dc, b.text, lstrlenW(b.text), &extent);
            width = extent.cx + kTextPadding;
        }
        b.rect = RECT{right - width, top, right, bottom};
        right -= width;
    }
    if (dc != nullptr) {
        SelectObject(dc, old);
        ReleaseDC(window, dc);
    }
    if (s->buttonCount > 0) --right;
    if (HasTitle(window) && right > left + 1) s->title = RECT{left + 1, top, right, bottom};
}

int BannerItemAt(const BannerState* s, POINT p) {
    if (!BannerDrawable(s)) return kItemNone;
    for (int i = 0; i < s->buttonCount; ++i) {
        if (PtInRect(&s->buttons[i].rect, p)) return i;
    }
    if (PtInRect(&s->bitmap, p)) return kItemBitmap;
    if (PtInRect(&s->title, p)) return kItemTitle;
    return kItemNone;
}

int BannerItemId(HWND window, const BannerState* s, int item) {
    if (item >= 0 && item < s->buttonCount) return s->buttons[item].id;
    if (item == kItemBitmap) return GetDlgCtrlID(window);
    if (item == kItemTitle) return 0;
    return -1;
}
