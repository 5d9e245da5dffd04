// The banner control (class tonalshaperBld48LogoClass) and the link text (class
// tonalshaperBld48StaticClass).
#pragma once

#include <windows.h>

LRESULT CALLBACK BannerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK LinkTextProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The bitmap resources every banner shows, chosen once at module load; 0 for none.
void SetBannerBitmaps(HINSTANCE resources, UINT normal, UINT hover);

// Banner messages.
// Removes every button.
constexpr UINT kBannerRemoveButtons = 0x0600;
// Appends a text button: wParam low word its command id, high word non-zero to redraw at once;
// lParam its text (const wchar_t*, up to 63 characters kept). Returns TRUE when added.
constexpr UINT kBannerAddTextButton = 0x0601;
// wParam non-zero: a click on the bitmap sends WM_COMMAND with the banner's id instead of
// opening the home page.
constexpr UINT kBannerSetLinkMode = 0x0602;
// Appends an image button: wParam its command id, lParam the image's index in the lists.
constexpr UINT kBannerAddImageButton = 0x0603;
// Set the image list (wParam, HIMAGELIST, not owned) for image buttons at rest, under the
// mouse and disabled; returns the previous one.
constexpr UINT kBannerSetImages = 0x0604;
constexpr UINT kBannerSetHotImages = 0x0605;
constexpr UINT kBannerSetDisabledImages = 0x0606;
// Posted to the parent of a banner without a title when its bitmap is clicked; wParam is the
// banner's id, lParam the banner.
constexpr UINT kBannerNotifyBitmapClick = 0x0614;

// Link text styles (low word of the window style).
constexpr DWORD kLinkTextClickable = 0x0010;   // hand cursor, WM_NOTIFY kLinkTextClicked on press
constexpr DWORD kLinkTextMouseInput = 0x0040;  // takes mouse input; else transparent to it
// The WM_NOTIFY code a clickable link text sends its parent on button down.
constexpr int kLinkTextClicked = -105;
