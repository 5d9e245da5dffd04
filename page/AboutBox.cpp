#include "page/AboutBox.h"

#include <string>

#include "page/SharedSettings.h"
#include "page/ShellOpen.h"
#include "resources/ResourceIds.h"

const wchar_t kProductName[] = L"Resonant Filter";
const wchar_t kVersionText[] = L"Version 1.0a (Build 48)";

namespace {

constexpr UINT kBannerBitmapClicked = 0x0614;

// A string-table entry used as a format for one text: its "%s" takes the value. Done by hand,
// so no C runtime's idea of what %s means in a wide format matters.
std::wstring FormatOne(const wchar_t* pattern, const wchar_t* value) {
    std::wstring out(pattern);
    const size_t at = out.find(L"%s");
    if (at != std::wstring::npos) out.replace(at, 2, value);
    return out;
}

void SetFormatted(HWND dialog, int control, HINSTANCE resources, UINT format,
                  const wchar_t* value) {
    wchar_t pattern[128] = L"%s";
    if (LoadStringW(resources, format, pattern, 128) == 0) lstrcpyW(pattern, L"%s");
    const std::wstring formatted = FormatOne(pattern, value);
    const wchar_t* text = formatted.c_str();
    if (control != 0) {
        SetDlgItemTextW(dialog, control, text);
    } else {
        SetWindowTextW(dialog, text);
    }
}

void Place(HWND dialog) {
    HWND owner = GetWindow(dialog, GW_OWNER);
    RECT box, ownerRect{}, screen{};
    GetWindowRect(dialog, &box);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen, 0);
    const bool usable = owner != nullptr && !IsIconic(owner) && GetWindowRect(owner, &ownerRect);
    const POINT at = AboutBoxPlacement(ownerRect, usable, screen,
                                       SIZE{box.right - box.left, box.bottom - box.top});
    SetWindowPos(dialog, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const HINSTANCE resources = reinterpret_cast<HINSTANCE>(lParam);
            Place(dialog);
            wchar_t version[64];
            std::swprintf(version, 64, L"%ls", kVersionText);
            SetDlgItemTextW(dialog, IDC_ABOUT_VERSION, version);
            if (ReadSharedLocale() == 1) ShowWindow(GetDlgItem(dialog, IDC_ABOUT_BANNER), SW_HIDE);
            SetFormatted(dialog, IDC_ABOUT_PRODUCT, resources, IDS_PRODUCT_LINE, kProductName);
            SetFormatted(dialog, 0, resources, IDS_ABOUT_CAPTION, kProductName);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam) == IDOK ? TRUE : FALSE);
                return TRUE;
            }
            return FALSE;
        case kBannerBitmapClicked:
            OpenHomePage(dialog);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

POINT AboutBoxPlacement(const RECT& owner, bool ownerUsable, const RECT& screen, SIZE box) {
    const RECT& area = ownerUsable ? owner : screen;
    const LONG width = area.right - area.left, height = area.bottom - area.top;
    POINT at{area.left + (width - box.cx) / 2, area.top + height / 3 - box.cy / 3};
    if (at.x + box.cx > screen.right) at.x = screen.right - box.cx;
    if (at.y + box.cy > screen.bottom) at.y = screen.bottom - box.cy;
    if (at.x < screen.left) at.x = screen.left;
    if (at.y < screen.top) at.y = screen.top;
    return at;
}

INT_PTR RunAboutBox(HINSTANCE resources, HWND owner) {
    return DialogBoxParamW(resources, MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutProc,
                           reinterpret_cast<LPARAM>(resources));
}
