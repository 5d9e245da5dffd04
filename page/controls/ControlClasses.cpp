#include "page/controls/ControlClasses.h"

#include "page/controls/Banner.h"
#include "page/controls/Trackbar.h"

namespace {

HBRUSH checker = nullptr;
bool logoRegistered = false;

// Each control keeps its state block's address at offset 0 with SetWindowLongPtr, so the extra
// bytes come in pointer-sized slots: 4, 8 and 4 bytes on 32-bit Windows, twice that on 64-bit.
constexpr int kSlot = int(sizeof(LONG_PTR));

ATOM RegisterOne(HINSTANCE instance, const wchar_t* name, WNDPROC proc, int extraBytes,
                 int colour) {
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_GLOBALCLASS;
    c.lpfnWndProc = proc;
    c.cbWndExtra = extraBytes;
    c.hInstance = instance;
    c.hCursor = LoadCursor(nullptr, IDC_ARROW);
    c.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(colour + 1));
    c.lpszClassName = name;
    return RegisterClassExW(&c);
}

}  // namespace

void BannerBitmapsForLocale(DWORD locale, UINT* normal, UINT* hover) {
    *normal = locale == 0 ? 24019 : locale == 1 ? 24021 : 0;
    *hover = locale == 0 ? 24020 : locale == 1 ? 24022 : 0;
}

void RegisterControlClasses(HINSTANCE instance, UINT normal, UINT hover) {
    RegisterOne(instance, kTrackbarClass, TrackbarProc, kSlot, COLOR_BTNFACE);
    // Rows alternate 0x55 and 0xAA: a 50 % checkerboard.
    static const WORD rows[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
    HBITMAP pattern = CreateBitmap(8, 8, 1, 1, rows);
    checker = pattern != nullptr ? CreatePatternBrush(pattern) : nullptr;
    if (pattern != nullptr) DeleteObject(pattern);
    RegisterOne(instance, kStaticClass, LinkTextProc, 2 * kSlot, COLOR_WINDOW);
    logoRegistered = RegisterOne(instance, kLogoClass, BannerProc, kSlot, COLOR_WINDOW) != 0;
    if (logoRegistered) SetBannerBitmaps(instance, normal, hover);
}

void UnregisterControlClasses(HINSTANCE instance) {
    UnregisterClassW(kTrackbarClass, instance);
    if (checker != nullptr) DeleteObject(checker);
    checker = nullptr;
    UnregisterClassW(kStaticClass, instance);
    UnregisterClassW(kLogoClass, instance);
    if (logoRegistered) SetBannerBitmaps(nullptr, 0, 0);
    logoRegistered = false;
}

HBRUSH CheckerBrush() {
    return checker;
}
