// Msg: the message window, a small captionless window with the program icon
// and a line or a few lines of text, shown during lengthy steps of the
// install run for at least a minimum time, so that the user can read it;
// and the word-wrapped, aligned text drawing it uses.
//
// Main thread only. The window is made from the template DLG_MESSAGE on
// first use, owned by the background window (RunState().MainWindow), and
// kept until DestroyMessageWindow.
#ifndef TARV_UI_MSG_H
#define TARV_UI_MSG_H

#include <windows.h>

#include "config/wqString.h"

// Shows `text` (replacing any text shown now) and restarts the minimum
// display time, `minTime` milliseconds. The text area is as wide as the text
// on one line, kept between 50 and 300 pixels (a longer text wraps inside);
// the window is sized to it and centred on the screen. When the window
// cannot be made, the error box "Cannot create message window!" is shown and
// the caller goes on without it (the next call tries again).
void ShowMessageWindow(const TStr& text, DWORD minTime);
// Hides the window once its text has been shown for the minimum time:
// waits (without processing messages) for what is left of it, then hides,
// repaints the background window and pauses 50 ms. Nothing happens when the
// window is not visible. When the step took longer than the minimum time,
// hiding is immediate.
void HideMessageWindow();
// Destroys the window, if it was made (at the end of the run).
void DestroyMessageWindow();

enum THorizontalAlign { haLeft, haRight, haCentre };
enum TVerticalAlign { vaTop, vaCentre, vaBottom };

// Draws the text word-wrapped to the rectangle's width (WrapToWidth) in the
// font selected into `dc`, aligned in the rectangle: vertically by the space
// the lines leave, (height - line height x lines) / 2 (never negative), above
// (vaCentre) or twice above (vaBottom) the text. "&" is drawn as it is.
void DrawAlignedText(HDC dc, const TStr& text, const RECT& rect, THorizontalAlign horizontal,
                     TVerticalAlign vertical, bool transparent);

#endif
