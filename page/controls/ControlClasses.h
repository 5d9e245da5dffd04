// The module's three window classes for the page's custom controls, registered at process
// attach and removed at detach. CS_GLOBALCLASS, so any module in the process can create them.
#pragma once

#include <windows.h>

constexpr wchar_t kTrackbarClass[] = L"tonalshaperBld48TrackbarClass";
constexpr wchar_t kStaticClass[] = L"tonalshaperBld48StaticClass";
constexpr wchar_t kLogoClass[] = L"tonalshaperBld48LogoClass";

// The banner bitmap pair for a "Locale" value: 0 gives 24019/24020, 1 gives 24021/24022,
// anything else none (0, 0).
void BannerBitmapsForLocale(DWORD locale, UINT* normal, UINT* hover);

// Registers the trackbar, static and logo classes in that order, for `instance`. A class
// that cannot be registered is skipped. Only when the logo class was registered are the
// banner bitmaps (`normal`, `hover`, resources of `instance`) handed to the banner.
void RegisterControlClasses(HINSTANCE instance, UINT normal, UINT hover);
void UnregisterControlClasses(HINSTANCE instance);

// The module-wide 8 x 8 checkerboard brush, alive while the static class is registered.
HBRUSH CheckerBrush();
