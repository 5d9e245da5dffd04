// The about box: dialog 500, modal over its owner, naming the effect and its version.
#pragma once

#include <windows.h>

extern const wchar_t kProductName[];
extern const wchar_t kVersionText[];

// Runs the box from the template in `resources`; TRUE after OK, FALSE after Cancel or Escape,
// -1 when it could not be created.
INT_PTR RunAboutBox(HINSTANCE resources, HWND owner);

// Where the box goes: centred on the owner's rectangle, its top a third of the way down less a
// third of its own height, then kept on the screen. Without an owner, or with a minimised one,
// the screen stands in for it.
POINT AboutBoxPlacement(const RECT& owner, bool ownerUsable, const RECT& screen, SIZE box);
