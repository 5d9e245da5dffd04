// The slider's look: a sunken groove, etched ticks and a raised fader cap with a centre line,
// all in system colours, drawn off-screen and copied in one go so a drag never flickers.
#include "page/controls/TrackbarState.h"

namespace {

struct Palette {
    COLORREF face, faceDark, highlight, shadow, frame;
};

Palette SystemPalette() {
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    // The face at 80 %: the cap's lower half and the groove's floor.
    const COLORREF faceDark =
        RGB(GetRValue(face) * 8 / 10, GetGValue(face) * 8 / 10, GetBValue(face) * 8 / 10);
    return Palette{face, faceDark, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW),
                   GetSysColor(COLOR_WINDOWFRAME)};
}

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    if (right <= left || bottom <= top) return;
    const RECT r{left, top, right, bottom};
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

// Lays out in (along, across) and draws in client coordinates.
struct Painter {
    HDC dc;
    bool vertical;

    void Box(int alongFrom, int acrossFrom, int alongTo, int acrossTo, COLORREF colour) const {
        if (vertical) {
            Fill(dc, acrossFrom, alongFrom, acrossTo, alongTo, colour);
        } else {
            Fill(dc, alongFrom, acrossFrom, alongTo, acrossTo, colour);
        }
    }
};

// A one-pixel frame: `light` on top and left, `dark` on bottom and right.
void Edge(HDC dc, const RECT& r, COLORREF light, COLORREF dark) {
    Fill(dc, r.left, r.top, r.right, r.top + 1, light);
    Fill(dc, r.left, r.top, r.left + 1, r.bottom, light);
    Fill(dc, r.left, r.bottom - 1, r.right, r.bottom, dark);
    Fill(dc, r.right - 1, r.top, r.right, r.bottom, dark);
}

RECT ClientRect(bool vertical, int alongFrom, int acrossFrom, int alongTo, int acrossTo) {
    return vertical ? RECT{acrossFrom, alongFrom, acrossTo, alongTo}
                    : RECT{alongFrom, acrossFrom, alongTo, acrossTo};
}

void DrawTicks(const Painter& p, const SliderState& s, const Palette& c, bool enabled) {
    const SliderLayout& l = s.layout;
    if (!l.ticksNear && !l.ticksFar) return;
    const COLORREF dark = enabled ? c.frame : c.shadow;
    auto tick = [&](int at, int length) {
        if (l.ticksNear) {
            p.Box(at, l.thumbFrom - 1 - length, at + 1, l.thumbFrom - 1, dark);
            p.Box(at + 1, l.thumbFrom - 1 - length, at + 2, l.thumbFrom - 1, c.highlight);
        }
        if (l.ticksFar) {
            p.Box(at, l.thumbTo + 1, at + 1, l.thumbTo + 1 + length, dark);
            p.Box(at + 1, l.thumbTo + 1, at + 2, l.thumbTo + 1 + length, c.highlight);
        }
    };
    const SliderChannel& ch = l.channel;
    if (s.tenthTicks) {
        for (int i = 1; i < 10; ++i)
            tick(ch.start + ch.length * i / 10, l.tickLength - 1);
    }
    const bool spansZero = s.scale.min < 0 && s.scale.max > 0;
    tick(ValueToPixel(s.scale, ch, s.scale.min), l.tickLength);
    tick(spansZero ? ValueToPixel(s.scale, ch, 0) : ch.start + ch.length / 2, l.tickLength);
    tick(ValueToPixel(s.scale, ch, s.scale.max), l.tickLength);
}

void DrawGroove(const Painter& p, const SliderState& s, const Palette& c, bool enabled) {
    const SliderLayout& l = s.layout;
    RECT r = ClientRect(p.vertical, l.grooveFrom, l.grooveAcrossFrom, l.grooveTo, l.grooveAcrossTo);
    Edge(p.dc, r, c.shadow, c.highlight);
    InflateRect(&r, -1, -1);
    Fill(p.dc, r.left, r.top, r.right, r.bottom, enabled ? c.faceDark : c.face);
    if (enabled) {  // the inner lip that makes it read as a slot, not a line
        Fill(p.dc, r.left, r.top, r.right, r.top + 1, c.frame);
        Fill(p.dc, r.left, r.top, r.left + 1, r.bottom, c.frame);
    }
    if (!s.fill) return;
    // The travel from the origin (zero when the range spans it) to the thumb, shaded.
    const bool spansZero = s.scale.min < 0 && s.scale.max > 0;
    const int origin = ValueToPixel(s.scale, l.channel, spansZero ? 0 : s.scale.min);
    const int thumb = s.ThumbPixel();
    const int from = origin < thumb ? origin : thumb, to = origin < thumb ? thumb : origin;
    p.Box(from, l.grooveAcrossFrom + 1, to + 1, l.grooveAcrossTo - 1,
          enabled ? c.shadow : c.faceDark);
}

void DrawThumb(const Painter& p, const SliderState& s, const Palette& c, bool enabled) {
    const SliderLayout& l = s.layout;
    const int half = l.thumbLength / 2, centre = s.ThumbPixel();
    RECT r = ClientRect(p.vertical, centre - half, l.thumbFrom, centre + half + 1, l.thumbTo);
    // An outline with its corners cut, so the cap reads against any dialog colour.
    const COLORREF outline = enabled ? c.frame : c.shadow;
    Fill(p.dc, r.left + 1, r.top, r.right - 1, r.bottom, outline);
    Fill(p.dc, r.left, r.top + 1, r.right, r.bottom - 1, outline);
    InflateRect(&r, -1, -1);
    // Raised inside it: light top-left, shadow bottom-right.
    Edge(p.dc, r, c.highlight, c.shadow);
    InflateRect(&r, -1, -1);
    Fill(p.dc, r.left, r.top, r.right, r.bottom, c.face);
    // The cap's far half a shade darker, like light falling on a fader from above.
    const int acrossMid = (l.thumbFrom + l.thumbTo) / 2;
    if (enabled) p.Box(centre - half + 2, acrossMid, centre + half - 1, l.thumbTo - 2, c.faceDark);
    // The centre line across the cap: dark, with a highlight beside it.
    p.Box(centre, l.thumbFrom + 2, centre + 1, l.thumbTo - 2, outline);
    p.Box(centre + 1, l.thumbFrom + 2, centre + 2, l.thumbTo - 2, c.highlight);
}

}  // namespace

RECT SliderCaretRect(const SliderState& s) {
    const SliderLayout& l = s.layout;
    const int centre = s.ThumbPixel();
    // A solid stripe over the centre line, inside the cap's frame: the line blinks.
    return ClientRect(s.Vertical(), centre - 1, l.thumbFrom + 3, centre + 3, l.thumbTo - 3);
}

void PaintSlider(HWND window, HDC dc, const SliderState& s) {
    RECT client;
    GetClientRect(window, &client);
    if (client.right <= 0 || client.bottom <= 0) return;
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = memory ? CreateCompatibleBitmap(dc, client.right, client.bottom) : nullptr;
    HDC target = bitmap ? memory : dc;  // without memory, paint directly rather than not at all
    HGDIOBJ old = bitmap ? SelectObject(memory, bitmap) : nullptr;

    // The dialog's own background, so the slider sits in it seamlessly.
    HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageW(SliderTarget(window, s), WM_CTLCOLORDLG,
                                                         reinterpret_cast<WPARAM>(target),
                                                         reinterpret_cast<LPARAM>(window)));
    if (brush != nullptr) {
        FillRect(target, &client, brush);
    } else {
        Fill(target, 0, 0, client.right, client.bottom, s.background);
    }
    const bool enabled = IsWindowEnabled(window) != FALSE;
    const Palette colours = SystemPalette();
    const Painter painter{target, s.Vertical()};
    DrawTicks(painter, s, colours, enabled);
    DrawGroove(painter, s, colours, enabled);
    DrawThumb(painter, s, colours, enabled);

    if (bitmap) {
        BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    if (memory) DeleteDC(memory);
}
