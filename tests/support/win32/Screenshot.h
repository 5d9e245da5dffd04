// Screenshots of windows drawn under Xvfb, saved as test artifacts. The test writes a BMP;
// the suite's last step turns every BMP in the folder into a PNG.
#pragma once

#include <windows.h>

#include <string>

// The artifacts folder of the build tree (created on first use), with a trailing slash.
std::string ArtifactsFolder();

// Repaints `window` and saves what it shows, frame included, as ArtifactsFolder()/name.bmp.
bool SaveScreenshot(HWND window, const char* name);

// Runs the window's thread's queue until it is empty, so posted notices arrive.
void PumpMessages();
