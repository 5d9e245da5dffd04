// The slider's per-window state block, shared by its window procedure and its painting.
#pragma once

#include <windows.h>

#include "page/controls/Taper.h"

struct SliderState {
    DWORD style = 0;  // the creation style; only WS_DISABLED is read live
    int id = 0;
    HWND creationParent = nullptr;
    SliderScale scale;
    int32_t defaultPosition = 50;
    int32_t position = 50;
    SliderLayout layout;
    // The interaction in progress while the button is down; None when idle.
    SliderPart dragPart = SliderPart::None;
    int32_t pressPosition = 0;
    int32_t lastSent = 0;       // the last position sent with code 5 (or the press position)
    int32_t grab = 0;           // cursor minus thumb centre at the press, along the axis
    int32_t dragHalfPixel = 0;  // the thumb centre in half pixels, for fine adjustment
    int32_t lastCursor = 0;     // along, where the cursor was last seen in a drag
    POINT lastMouse{};          // client point of the last press or move, for the repeat
    COLORREF background = 0;    // used when the target returns no WM_CTLCOLORDLG brush
    LONG_PTR data = 0;
    bool fill = false;        // option 0x061F
    bool tenthTicks = false;  // option 0x0620
    bool focused = false;

    bool Vertical() const { return (style & kSliderVertical) != 0; }
    int32_t ThumbPixel() const { return ValueToPixel(scale, layout.channel, position); }
};

// Where notices go: the creation parent, or the current parent once that window is gone.
HWND SliderTarget(HWND window, const SliderState& state);

// Paints the whole control into `dc` through an off-screen bitmap.
void PaintSlider(HWND window, HDC dc, const SliderState& state);

// The focus caret's rectangle over the thumb, in client coordinates.
RECT SliderCaretRect(const SliderState& state);
