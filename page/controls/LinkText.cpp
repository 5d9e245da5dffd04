// The link text: a static text that holds its own text and font, draws over its parent's
// static-control brush and, with kLinkTextClickable, tells its parent when it is pressed.
#include <new>

#include "page/controls/Banner.h"

namespace {

struct LinkTextState {
    HFONT font;       // from WM_SETFONT, not owned; null for the GUI font
    HFONT underline;  // an underlined copy for a clickable text, owned
    wchar_t* text;    // never null once created
    int length;
};

LinkTextState* StateOf(HWND window) {
    return reinterpret_cast<LinkTextState*>(GetWindowLongPtrW(window, 0));
}

DWORD StyleOf(HWND window) {
    return static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
}

// Keeps the old text when the new one cannot be stored.
bool SetText(LinkTextState* s, const wchar_t* text) {
    if (text == nullptr) text = L"";
    const int length = lstrlenW(text);
    auto* copy = new (std::nothrow) wchar_t[length + 1];
    if (copy == nullptr) return false;
    CopyMemory(copy, text, (length + 1) * sizeof(wchar_t));
    delete[] s->text;
    s->text = copy;
    s->length = length;
    return true;
}

// Copies at most size - 1 characters and always terminates; returns the count copied.
LRESULT GetText(const LinkTextState* s, WPARAM size, wchar_t* buffer) {
    if (buffer == nullptr || size == 0) return 0;
    const int count = size - 1 < WPARAM(s->length) ? static_cast<int>(size - 1) : s->length;
    CopyMemory(buffer, s->text, count * sizeof(wchar_t));
    buffer[count] = L'\0';
    return count;
}

HFONT FontOf(HWND window, LinkTextState* s) {
    HFONT font =
        s->font != nullptr ? s->font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (!(StyleOf(window) & kLinkTextClickable)) return font;
    if (s->underline == nullptr) {
        LOGFONTW face{};
        if (GetObjectW(font, sizeof face, &face) == sizeof face) {
            face.lfUnderline = TRUE;
            s->underline = CreateFontIndirectW(&face);
        }
    }
    return s->underline != nullptr ? s->underline : font;
}

void Paint(HWND window, LinkTextState* s, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    HWND parent = GetParent(window);
    // The parent picks the brush and the text colour, as for any static control.
    HBRUSH brush = nullptr;
    if (parent != nullptr) {
        brush = reinterpret_cast<HBRUSH>(SendMessageW(parent, WM_CTLCOLORSTATIC,
                                                      reinterpret_cast<WPARAM>(dc),
                                                      reinterpret_cast<LPARAM>(window)));
    }
    if (brush == nullptr) {
        brush = reinterpret_cast<HBRUSH>(GetClassLongPtrW(window, GCLP_HBRBACKGROUND));
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    }
    FillRect(dc, &client, brush);
    if (!IsWindowEnabled(window)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = SelectObject(dc, FontOf(window, s));
    DrawTextW(dc, s->text, s->length, &client, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
}

void Pressed(HWND window) {
    HWND parent = GetParent(window);
    if (parent == nullptr) return;
    NMHDR notice{};
    notice.hwndFrom = window;
    notice.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(window));
    notice.code = static_cast<UINT>(kLinkTextClicked);
    SendMessageW(parent, WM_NOTIFY, notice.idFrom, reinterpret_cast<LPARAM>(&notice));
}

LRESULT Create(HWND window, const CREATESTRUCTW* create) {
    auto* s = new (std::nothrow) LinkTextState{};
    if (s == nullptr) return -1;
    // A dialog template may give an ordinal (0xFFFF, id) instead of a text.
    const wchar_t* text = create->lpszName;
    if (text != nullptr && text[0] == 0xFFFF) text = nullptr;
    if (!SetText(s, text)) {
        delete s;
        return -1;
    }
    SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(s));
    return 0;
}

void Destroy(HWND window, LinkTextState* s) {
    if (s->underline != nullptr) DeleteObject(s->underline);
    delete[] s->text;
    SetWindowLongPtrW(window, 0, 0);
    delete s;
}

}  // namespace

LRESULT CALLBACK LinkTextProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return Create(window, reinterpret_cast<const CREATESTRUCTW*>(lParam));
    LinkTextState* s = StateOf(window);
    if (s == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_DESTROY:
            Destroy(window, s);
            return 0;
        case WM_SETTEXT:
            if (!SetText(s, reinterpret_cast<const wchar_t*>(lParam))) return FALSE;
            // The system's copy too, for anyone reading the text from outside the process.
            DefWindowProcW(window, message, wParam, lParam);
            InvalidateRect(window, nullptr, TRUE);
            return TRUE;
        case WM_GETTEXT:
            return GetText(s, wParam, reinterpret_cast<wchar_t*>(lParam));
        case WM_GETTEXTLENGTH:
            return s->length;
        case WM_SETFONT:
            s->font = reinterpret_cast<HFONT>(wParam);
            if (s->underline != nullptr) DeleteObject(s->underline);
            s->underline = nullptr;
            if (LOWORD(lParam) != 0) InvalidateRect(window, nullptr, TRUE);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(s->font);
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT fills the background with the parent's brush
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            if (dc != nullptr) Paint(window, s, dc);
            EndPaint(window, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            Paint(window, s, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_ENABLE:
            InvalidateRect(window, nullptr, TRUE);
            return 0;
        case WM_NCHITTEST:
            if (!(StyleOf(window) & kLinkTextMouseInput)) return HTTRANSPARENT;
            break;
        case WM_SETCURSOR:
            if (!(StyleOf(window) & kLinkTextClickable)) break;
            SetCursor(LoadCursor(nullptr, IDC_HAND));
            return TRUE;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (StyleOf(window) & kLinkTextClickable) Pressed(window);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_STATIC;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
