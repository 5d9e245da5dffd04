// The property page's right-click menu: the filter's presets, Help and About. Page thread only.
#pragma once

#include <windows.h>

#include <unknwn.h>

// Where the menu opens for a WM_CONTEXTMENU point: as given, or for the keyboard's (-1, -1)
// the page's horizontal middle, a quarter of the way down.
POINT PageMenuPoint(HWND page, int x, int y);

// The presets of `object` (through IFilterPresets) as menu items, preset i under command
// ID_PRESET_FIRST + i - 1. Empty when the object has no presets to give.
HMENU BuildPresetSubmenu(IUnknown* object);

// The whole popup: "Presets" with the submenu, a separator, "Help" and "About", labelled from
// the string table of `resources`. Null when no menu can be created.
HMENU BuildPageMenu(IUnknown* object, HINSTANCE resources);

// Shows the popup owned by `page`; the choice arrives there as WM_COMMAND.
void ShowPageMenu(HWND page, IUnknown* object, HINSTANCE resources, int x, int y);

// For a preset command: applies that preset and returns true (the page then refreshes its
// controls). Any other command returns false.
bool ApplyPresetCommand(IUnknown* object, UINT id);
