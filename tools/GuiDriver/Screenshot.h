// Screenshots of the GUI driver: a part of the screen of the driver's
// desktop (with a Wine virtual desktop, the windows with their frames)
// written as a 24-bit .bmp file.
#ifndef TARV_GUIDRIVER_SCREENSHOT_H
#define TARV_GUIDRIVER_SCREENSHOT_H

#include <windows.h>

#include <string>

bool SaveScreenshot(RECT area, const std::string& path);

#endif
