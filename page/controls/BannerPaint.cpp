// Painting the banner: button face, the bitmap (its hover twin while the mouse is on it), the
// title box and the button band. Drawn off-screen first, so hovering never flickers.
#include "page/controls/BannerState.h"

namespace {

constexpr int kTitleIndent = 4;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

void Fill(HDC dc, const RECT& r, COLORREF colour) {
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

// A one-pixel frame: `light` on the top and left, `dark` on the bottom and right.
void Frame(HDC dc, const RECT& r, COLORREF light, COLORREF dark) {
    Fill(dc, RECT{r.left, r.top, r.right, r.top + 1}, light);
    Fill(dc, RECT{r.left, r.top, r.left + 1, r.bottom}, light);
    Fill(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, dark);
    Fill(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, dark);
}

void DrawBitmap(BannerState* s, HDC dc) {
    const BannerDib& dib = s->hot == kItemBitmap ? s->hover : s->normal;
    const int width = dib.header->biWidth;
    const int height = dib.header->biHeight < 0 ? -dib.header->biHeight : dib.header->biHeight;
    DrawDibDraw(s->drawDib, dc, s->bitmap.left, s->bitmap.top, width, height,
                const_cast<BITMAPINFOHEADER*>(dib.header), const_cast<void*>(dib.bits), 0, 0, width,
                height, 0);
}

void DrawTitle(HWND window, BannerState* s, HDC dc) {
    if (IsRectEmpty(&s->title)) return;
    Frame(dc, s->title, kWhite, kWhite);
    RECT inside = s->title;
    InflateRect(&inside, -1, -1);
    Fill(dc, inside, kBannerBand);
    wchar_t text[256];
    const int length = GetWindowTextW(window, text, 256);
    RECT where = s->title;
    where.left += kTitleIndent;
    SelectObject(dc, BannerTitleFont(s));
    SetTextColor(dc, kWhite);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text, length, &where,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SetBkMode(dc, OPAQUE);
}

void DrawImage(const BannerState* s, const BannerButton& b, HDC dc, bool hot, int shift) {
    HIMAGELIST list = s->images[0];
    if (!b.enabled && s->images[2] != nullptr) list = s->images[2];
    if (b.enabled && hot && s->images[1] != nullptr) list = s->images[1];
    if (list == nullptr) return;
    int cx = 0, cy = 0;
    ImageList_GetIconSize(list, &cx, &cy);
    const int x = b.rect.left + (b.rect.right - b.rect.left - cx) / 2 + shift;
    const int y = b.rect.top + (b.rect.bottom - b.rect.top - cy) / 2 + shift;
    ImageList_Draw(list, b.imageIndex, dc, x, y, ILD_NORMAL);
}

void DrawButtons(BannerState* s, HDC dc) {
    if (s->buttonCount == 0) return;
    const RECT band{s->buttons[0].rect.left, s->buttons[0].rect.top,
                    s->buttons[s->buttonCount - 1].rect.right,
                    s->buttons[s->buttonCount - 1].rect.bottom};
    Fill(dc, band, kBannerBand);
    SelectObject(dc, BannerButtonFont(s));
    SetTextColor(dc, kWhite);
    SetBkMode(dc, TRANSPARENT);
    for (int i = 0; i < s->buttonCount; ++i) {
        const BannerButton& b = s->buttons[i];
        const bool hot = s->hot == i && b.enabled;
        // Pressed shows only while the mouse is still over the button it went down on.
        const bool pressed = b.pressed && hot;
        const int shift = pressed ? 1 : 0;
        if (pressed) {
            Frame(dc, b.rect, kBlack, kWhite);
        } else if (hot) {
            Frame(dc, b.rect, kWhite, kBlack);
        }
        if (b.image) {
            DrawImage(s, b, dc, hot, shift);
            continue;
        }
        RECT where = b.rect;
        OffsetRect(&where, shift, shift);
        DrawTextW(dc, b.text, -1, &where, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    SetBkMode(dc, OPAQUE);
}

void Draw(HWND window, BannerState* s, HDC dc, const RECT& client) {
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    if (!BannerDrawable(s)) return;
    DrawBitmap(s, dc);
    DrawTitle(window, s, dc);
    DrawButtons(s, dc);
}

}  // namespace

void PaintBanner(HWND window, BannerState* s, HDC target) {
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right - client.left, height = client.bottom - client.top;
    if (width <= 0 || height <= 0) return;
    HDC memory = CreateCompatibleDC(target);
    HBITMAP surface = memory != nullptr ? CreateCompatibleBitmap(target, width, height) : nullptr;
    if (surface == nullptr) {
        // No room for an off-screen copy: draw straight onto the window instead.
        if (memory != nullptr) DeleteDC(memory);
        const int saved = SaveDC(target);
        Draw(window, s, target, client);
        RestoreDC(target, saved);
        return;
    }
    HGDIOBJ oldBitmap = SelectObject(memory, surface);
    HGDIOBJ oldFont = SelectObject(memory, GetStockObject(DEFAULT_GUI_FONT));
    Draw(window, s, memory, client);
    BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldFont);
    SelectObject(memory, oldBitmap);
    DeleteObject(surface);
    DeleteDC(memory);
}
