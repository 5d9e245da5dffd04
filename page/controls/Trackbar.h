// The slider control (class tonalshaperBld48TrackbarClass). Positions are in value units; the
// value scale, taper, layout and the step rule the owner applies live in Taper.h.
//
// Notices go to the target window: the creation parent (the current parent once that window
// is gone). WM_HSCROLL, or WM_VSCROLL on a vertical slider, with LOWORD(wParam) = code
// (SliderCode), HIWORD(wParam) = position for codes 4, 5, 8 and 9, lParam = the slider.
// A mouse press or wheel turn sends 9 first and 8 last; a key's codes end with 8 when it is
// released. A thumb jump (double-click, digit key) sends 4 and then 8.
#pragma once

#include <windows.h>

#include "page/controls/Taper.h"

LRESULT CALLBACK TrackbarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Messages. "redraw" is wParam; values are lParam, signed 32-bit unless noted.
constexpr UINT kSliderGetPosition = 0x060A;
constexpr UINT kSliderGetMin = 0x060B;
constexpr UINT kSliderGetMax = 0x060C;
constexpr UINT kSliderSetRange = 0x060D;  // LOWORD min, HIWORD max, both signed 16-bit
constexpr UINT kSliderSetMin = 0x060E;
constexpr UINT kSliderSetMax = 0x060F;
constexpr UINT kSliderSetPosition = 0x0610;    // clamped; returns the stored position
constexpr UINT kSliderSetDefault = 0x0611;     // clamped; returns it
constexpr UINT kSliderGetChannel = 0x061E;     // HIWORD start, LOWORD length, in pixels
constexpr UINT kSliderFillOption = 0x061F;     // lParam on/off: shade the channel up to the thumb
constexpr UINT kSliderScaleOption = 0x0620;    // lParam on/off: ticks at every tenth
constexpr UINT kSliderSetBackground = 0x0627;  // COLORREF; returns the previous colour
constexpr UINT kSliderGetBackground = 0x0628;
constexpr UINT kSliderSetData = 0x0629;  // the caller's value; returns the previous one
constexpr UINT kSliderGetData = 0x062A;
// 0x7F0A to 0x7F0E belong to an external controller link; the slider answers them with 0.
constexpr UINT kSliderControllerFirst = 0x7F0A;
constexpr UINT kSliderControllerLast = 0x7F0E;

// The window's timer id for the page repeat while the button is held on the channel.
constexpr UINT_PTR kSliderRepeatTimer = 42;
constexpr UINT kSliderRepeatMs = 250;

// WM_NOTIFY codes (NMHDR::code). Focus lost is a plain NMHDR, sent only without style 0x8000
// (which sends WM_COMMAND notices instead: 1 focus gained, 2 lost, 3 button down, 4 up).
constexpr UINT kSliderNotifyFocusLost = 0u - 8u;
constexpr UINT kSliderNotifyKey = 0u - 102u;

// WM_NOTIFY kSliderNotifyKey: a key down the slider does not handle itself.
struct SliderKeyNotice {
    NMHDR header;  // hwndFrom the slider, idFrom its id
    UINT key;      // the virtual-key code, WM_KEYDOWN's wParam
    LPARAM flags;  // repeat count, scan code and flags, WM_KEYDOWN's lParam
};

constexpr WORD kSliderCommandFocusGained = 1;
constexpr WORD kSliderCommandFocusLost = 2;
constexpr WORD kSliderCommandButtonDown = 3;
constexpr WORD kSliderCommandButtonUp = 4;
