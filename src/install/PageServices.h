// PageServices: what the install run uses of the wizard's user interface
// (the message window of ui/Msg, the page header and bitmap of ui/Main).
// Declared here as those modules name them, so the install engine builds on
// its own; the definitions are the user interface's.
#ifndef TARV_INSTALL_PAGESERVICES_H
#define TARV_INSTALL_PAGESERVICES_H

#include <windows.h>

#include "config/wqString.h"

// Shows the message window with the text, for at least `minTime` ms.
void ShowMessageWindow(const TStr& text, DWORD minTime);
// Hides it once its minimum time has passed; nothing when it is not shown.
void HideMessageWindow();
// Paints the page's header band with the bitmap and the page title.
void PaintPageHeader(HWND page, HBITMAP bitmap);
// The picture of the page (or the default one); false with an error raised.
[[nodiscard]] bool LoadPageBitmap(const TStr& pageName, HBITMAP& bitmap);

#endif
