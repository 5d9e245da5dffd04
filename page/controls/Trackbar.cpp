// The slider's window procedure: its messages, mouse, keys and wheel, and the notices to its
// target. Every notice is sent synchronously and the target may destroy the slider inside
// it, so each sequence re-reads the state after every send and stops once it is gone.
#include "page/controls/Trackbar.h"

#include <new>

#include "page/controls/TrackbarState.h"
#include "platform/Memory.h"

namespace {

SliderState* State(HWND window) {
    return reinterpret_cast<SliderState*>(GetWindowLongPtrW(window, 0));
}

// Sends a scroll code with the current position; false once the window has lost its state.
bool Notify(HWND window, SliderState* state, int code, int32_t position) {
    const UINT message = state->Vertical() ? WM_VSCROLL : WM_HSCROLL;
    SendMessageW(SliderTarget(window, *state), message,
                 MAKEWPARAM(WORD(code), WORD(position & 0xFFFF)), reinterpret_cast<LPARAM>(window));
    return State(window) == state;
}

bool NotifyCommand(HWND window, SliderState* state, WORD code) {
    if (!(state->style & kSliderCommandNotices)) return true;
    SendMessageW(SliderTarget(window, *state), WM_COMMAND, MAKEWPARAM(WORD(state->id), code),
                 reinterpret_cast<LPARAM>(window));
    return State(window) == state;
}

void MoveCaret(const SliderState& state) {
    if (!state.focused) return;
    const RECT r = SliderCaretRect(state);
    SetCaretPos(r.left, r.top);
}

void Redraw(HWND window, const SliderState& state) {
    MoveCaret(state);
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
}

void Relayout(HWND window, SliderState& state) {
    RECT client;
    GetClientRect(window, &client);
    state.layout = LayoutSlider(client.right, client.bottom, state.style);
}

LRESULT SetPosition(HWND window, SliderState& state, int64_t value, bool redraw) {
    const int32_t before = state.ThumbPixel();
    state.position = ClampToRange(value, state.scale.min, state.scale.max);
    if (redraw && state.ThumbPixel() != before) Redraw(window, state);
    return state.position;
}

void SetRange(HWND window, SliderState& state, int32_t min, int32_t max, bool redraw) {
    state.scale.min = min;
    state.scale.max = max;
    state.defaultPosition = DefaultPositionForRange(min, max);
    DeriveTaper(state.scale);
    Relayout(window, state);
    state.position = ClampToRange(state.position, min, max);
    if (redraw) Redraw(window, state);  // ticks follow the range, so all of it
}

// The position a thumb jump lands on, announced as released there.
void Jump(HWND window, SliderState* state, int64_t value) {
    SetPosition(window, *state, value, false);
    Redraw(window, *state);
    // Code 8 closes the interaction, so an owner's capture bracket opened by 4 ends too.
    if (Notify(window, state, kSliderThumbPosition, state->position))
        Notify(window, state, kSliderEndScroll, state->position);
}

int32_t Along(const SliderState& state, POINT p) {
    return state.Vertical() ? p.y : p.x;
}
int32_t Across(const SliderState& state, POINT p) {
    return state.Vertical() ? p.x : p.y;
}

SliderPart PartAt(const SliderState& state, POINT p) {
    return HitTestSlider(state.layout, state.ThumbPixel(), Along(state, p), Across(state, p));
}

// A press on the channel pages toward the side it is on: 2 before the thumb, 3 after it. On
// a vertical slider "before" is above, toward the maximum, which the step rule mirrors.
int PageCode(SliderPart part) {
    return part == SliderPart::BeforeThumb ? kSliderPageDown : kSliderPageUp;
}

// Button up, WM_CANCELMODE, a lost capture or Escape: the interaction ends.
void EndInteraction(HWND window, SliderState* state) {
    const bool wasThumb = state->dragPart == SliderPart::Thumb;
    state->dragPart = SliderPart::None;  // first, so WM_CAPTURECHANGED finds us idle
    if (GetCapture() == window) ReleaseCapture();
    if (wasThumb && !Notify(window, state, kSliderThumbPosition, state->lastSent)) return;
    KillTimer(window, kSliderRepeatTimer);
    if (!Notify(window, state, kSliderEndScroll, state->position)) return;
    if (!NotifyCommand(window, state, kSliderCommandButtonUp)) return;
    Redraw(window, *state);
}

void ButtonDown(HWND window, SliderState* state, POINT p) {
    if (state->dragPart != SliderPart::None) return;
    if (!(state->style & kSliderNoFocusOnClick) && GetFocus() != window) {
        SetFocus(window);
        if (State(window) != state) return;
    }
    const SliderPart part = PartAt(*state, p);
    if (part == SliderPart::None) return;
    state->pressPosition = state->lastSent = state->position;
    state->dragPart = part;
    state->lastMouse = p;
    state->lastCursor = Along(*state, p);
    state->grab = state->lastCursor - state->ThumbPixel();
    state->dragHalfPixel = 2 * state->ThumbPixel();
    SetCapture(window);
    if (!NotifyCommand(window, state, kSliderCommandButtonDown)) return;
    if (!Notify(window, state, kSliderPress, state->position)) return;
    if (part == SliderPart::Thumb) return;
    if (!Notify(window, state, PageCode(part), state->position)) return;
    if (state->dragPart == part) SetTimer(window, kSliderRepeatTimer, kSliderRepeatMs, nullptr);
}

// The thumb follows the cursor; with Ctrl or the right button it moves half as far and the
// cursor is put back onto it, so the user can keep on nudging.
void Drag(HWND window, SliderState* state, POINT p, WPARAM keys) {
    state->lastMouse = p;
    if (state->dragPart != SliderPart::Thumb) return;
    const SliderChannel& channel = state->layout.channel;
    const int32_t along = Along(*state, p);
    if (keys & (MK_CONTROL | MK_RBUTTON)) {
        state->dragHalfPixel += along - state->lastCursor;
    } else {
        state->dragHalfPixel = 2 * (along - state->grab);
    }
    const int32_t lowest = 2 * channel.start, highest = 2 * (channel.start + channel.length);
    if (state->dragHalfPixel < lowest) state->dragHalfPixel = lowest;
    if (state->dragHalfPixel > highest) state->dragHalfPixel = highest;
    state->lastCursor = along;
    if (keys & (MK_CONTROL | MK_RBUTTON)) {
        state->lastCursor = state->dragHalfPixel / 2 + state->grab;
        POINT back = p;
        (state->Vertical() ? back.y : back.x) = state->lastCursor;
        ClientToScreen(window, &back);
        SetCursorPos(back.x, back.y);
    }
    const SliderChannel fine{2 * channel.start, 2 * channel.length, channel.vertical};
    const int32_t value = PixelToValue(state->scale, fine, state->dragHalfPixel);
    if (value == state->position) return;
    state->position = state->lastSent = value;
    Redraw(window, *state);
    Notify(window, state, kSliderThumbTrack, value);
}

void Repeat(HWND window, SliderState* state) {
    const SliderPart part = state->dragPart;
    if (part != SliderPart::BeforeThumb && part != SliderPart::AfterThumb) {
        KillTimer(window, kSliderRepeatTimer);
        return;
    }
    // Only while the button is held over the same side: the thumb stops under the cursor.
    if (PartAt(*state, state->lastMouse) == part)
        Notify(window, state, PageCode(part), state->position);
}

bool IsNavigationKey(WPARAM key) {
    return (key >= VK_PRIOR && key <= VK_DOWN) || key == VK_F3 || key == VK_F9;
}

void KeyDown(HWND window, SliderState* state, WPARAM key, LPARAM flags) {
    if (state->dragPart != SliderPart::None) {
        if (key != VK_ESCAPE) return;
        state->position = state->lastSent = state->pressPosition;
        EndInteraction(window, state);
        return;
    }
    const bool vertical = state->Vertical();
    int code = -1;
    switch (key) {
        case VK_LEFT:
        case VK_F3:
            code = kSliderLineDown;
            break;
        case VK_RIGHT:
        case VK_UP:
        case VK_F9:
            code = vertical ? kSliderLineDown : kSliderLineUp;
            break;
        case VK_DOWN:
            code = vertical ? kSliderLineUp : kSliderLineDown;
            break;
        case VK_PRIOR:
            code = kSliderPageDown;
            break;
        case VK_NEXT:
            code = kSliderPageUp;
            break;
        case VK_HOME:
            code = kSliderHome;
            break;
        case VK_END:
            code = kSliderEnd;
            break;
        default:
            break;
    }
    if (code >= 0) {
        Notify(window, state, code, state->position);
    } else if (key >= '0' && key <= '9') {
        const int64_t range = int64_t(state->scale.max) - state->scale.min;
        Jump(window, state, state->scale.min + range * int64_t(key - '0') / 10);
    } else if ((key >= VK_NUMPAD0 && key <= VK_NUMPAD9) || key == VK_CLEAR) {
        // Keypad digits are swallowed without a jump.
    } else {
        SliderKeyNotice notice{};
        notice.header.hwndFrom = window;
        notice.header.idFrom = UINT_PTR(state->id);
        notice.header.code = kSliderNotifyKey;
        notice.key = UINT(key);
        notice.flags = flags;
        SendMessageW(SliderTarget(window, *state), WM_NOTIFY, WPARAM(state->id),
                     reinterpret_cast<LPARAM>(&notice));
    }
}

void Wheel(HWND window, SliderState* state, WPARAM wParam) {
    if (state->dragPart != SliderPart::None) return;  // a drag owns the interaction
    const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
    const bool line = (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) != 0;
    const bool away = delta > 0;  // away from the user: toward the maximum
    const bool towardMinCode = state->Vertical() ? away : !away;
    const int code = line ? (towardMinCode ? kSliderLineDown : kSliderLineUp)
                          : (towardMinCode ? kSliderPageDown : kSliderPageUp);
    if (!Notify(window, state, kSliderPress, state->position)) return;
    for (int notch = (delta < 0 ? -delta : delta) / WHEEL_DELTA; notch > 0; --notch)
        if (!Notify(window, state, code, state->position)) return;
    Notify(window, state, kSliderEndScroll, state->position);
}

void Focus(HWND window, SliderState* state, bool gained) {
    state->focused = gained;
    if (gained) {
        const RECT r = SliderCaretRect(*state);
        CreateCaret(window, nullptr, r.right - r.left, r.bottom - r.top);
        SetCaretPos(r.left, r.top);
        ShowCaret(window);
        NotifyCommand(window, state, kSliderCommandFocusGained);
        return;
    }
    DestroyCaret();
    if (state->style & kSliderCommandNotices) {
        NotifyCommand(window, state, kSliderCommandFocusLost);
        return;
    }
    NMHDR header{window, UINT_PTR(state->id), kSliderNotifyFocusLost};
    SendMessageW(SliderTarget(window, *state), WM_NOTIFY, WPARAM(state->id),
                 reinterpret_cast<LPARAM>(&header));
}

LRESULT Create(HWND window, const CREATESTRUCTW* create) {
    void* block = platform::AllocZeroed(sizeof(SliderState));
    if (block == nullptr) return -1;
    SliderState* state = new (block) SliderState;
    state->style = DWORD(create->style);
    state->id = int(reinterpret_cast<INT_PTR>(create->hMenu));
    state->creationParent = create->hwndParent;
    state->background = GetSysColor(COLOR_BTNFACE);
    state->scale.tapered = (state->style & kSliderTapered) != 0;
    state->scale.table =
        (state->style & kSliderOctaveTaper) ? TaperTable::Octave : TaperTable::Soft;
    DeriveTaper(state->scale);
    Relayout(window, *state);
    SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(state));
    return 0;
}

void Destroy(HWND window, SliderState* state) {
    state->dragPart = SliderPart::None;
    KillTimer(window, kSliderRepeatTimer);
    if (GetCapture() == window) ReleaseCapture();
    if (state->focused) DestroyCaret();
    SetWindowLongPtrW(window, 0, 0);
    state->~SliderState();
    platform::Free(state);
}

POINT PointOf(LPARAM lParam) {
    return POINT{short(LOWORD(lParam)), short(HIWORD(lParam))};
}

}  // namespace

HWND SliderTarget(HWND window, const SliderState& state) {
    if (state.creationParent != nullptr && IsWindow(state.creationParent))
        return state.creationParent;
    return GetParent(window);
}

LRESULT CALLBACK TrackbarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return Create(window, reinterpret_cast<const CREATESTRUCTW*>(lParam));
    SliderState* state = State(window);
    if (state == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    const int32_t value = int32_t(lParam);
    const bool redraw = wParam != 0;
    if (message >= kSliderControllerFirst && message <= kSliderControllerLast) return 0;
    switch (message) {
        case kSliderGetPosition:
            return state->position;
        case kSliderGetMin:
            return state->scale.min;
        case kSliderGetMax:
            return state->scale.max;
        case kSliderSetRange:
            SetRange(window, *state, short(LOWORD(lParam)), short(HIWORD(lParam)), redraw);
            return 0;
        case kSliderSetMin:
            SetRange(window, *state, value, state->scale.max, redraw);
            return 0;
        case kSliderSetMax:
            SetRange(window, *state, state->scale.min, value, redraw);
            return 0;
        case kSliderSetPosition:
            return SetPosition(window, *state, value, redraw);
        case kSliderSetDefault:
            state->defaultPosition = ClampToRange(value, state->scale.min, state->scale.max);
            return state->defaultPosition;
        case kSliderGetChannel:
            return MAKELONG(WORD(state->layout.channel.length), WORD(state->layout.channel.start));
        case kSliderFillOption:
        case kSliderScaleOption: {
            bool& option = message == kSliderFillOption ? state->fill : state->tenthTicks;
            option = lParam != 0;
            if (redraw) Redraw(window, *state);
            return option ? -1 : 0;
        }
        case kSliderSetBackground: {
            const COLORREF previous = state->background;
            state->background = COLORREF(lParam);
            InvalidateRect(window, nullptr, FALSE);
            return LRESULT(previous);
        }
        case kSliderGetBackground:
            return LRESULT(state->background);
        case kSliderSetData: {
            const LONG_PTR previous = state->data;
            state->data = lParam;
            return previous;
        }
        case kSliderGetData:
            return state->data;
        case WM_DESTROY:
            Destroy(window, state);
            return 0;
        case WM_SIZE:
            Relayout(window, *state);
            MoveCaret(*state);
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the paint covers every pixel
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            if (dc != nullptr) PaintSlider(window, dc, *state);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_PRINTCLIENT:
            PaintSlider(window, reinterpret_cast<HDC>(wParam), *state);
            return 0;
        case WM_ENABLE:
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        case WM_LBUTTONDOWN:
            ButtonDown(window, state, PointOf(lParam));
            return 0;
        case WM_LBUTTONDBLCLK:
            if (state->dragPart == SliderPart::None &&
                PartAt(*state, PointOf(lParam)) == SliderPart::Thumb) {
                Jump(window, state, state->defaultPosition);
            } else {
                ButtonDown(window, state, PointOf(lParam));
            }
            return 0;
        case WM_MOUSEMOVE:
            Drag(window, state, PointOf(lParam), wParam);
            return 0;
        case WM_LBUTTONUP:
        case WM_CANCELMODE:
            if (state->dragPart != SliderPart::None) EndInteraction(window, state);
            return 0;
        case WM_CAPTURECHANGED:
            // Another window took the mouse: end the drag rather than leave it open.
            if (state->dragPart != SliderPart::None && HWND(lParam) != window)
                EndInteraction(window, state);
            return 0;
        case WM_TIMER:
            if (wParam != kSliderRepeatTimer) break;
            Repeat(window, state);
            return 0;
        case WM_KEYDOWN:
            KeyDown(window, state, wParam, lParam);
            return 0;
        case WM_KEYUP:
            if (state->dragPart == SliderPart::None && IsNavigationKey(wParam))
                Notify(window, state, kSliderEndScroll, state->position);
            return 0;
        case WM_MOUSEWHEEL:
            Wheel(window, state, wParam);
            return 0;
        case WM_GETDLGCODE:
            if (state->dragPart != SliderPart::None) return DLGC_WANTALLKEYS;
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_CONTEXTMENU:
            if (state->dragPart != SliderPart::None) return 0;
            break;
        case WM_SETFOCUS:
            Focus(window, state, true);
            return 0;
        case WM_KILLFOCUS:
            Focus(window, state, false);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
