// Main: the full-screen background window, the colour gradient it is
// painted with, the title band of the wizard pages, the title fonts of
// Tarv.ini and the choice of a page's bitmap.
//
// Drawing reads the run state (config/RunState.h): ProgramName and
// DialogTitle as the texts, the title fonts, colours and shadow settings the
// setup driver filled in. Main thread only.
#ifndef TARV_UI_MAIN_H
#define TARV_UI_MAIN_H

#include <windows.h>

#include "config/wqString.h"

// The window class of the background window.
extern const char kMainWindowClass[];

// ---- Fonts ----

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

struct TFontSpec {
    TStr FaceName;
    long Size = 8;       // points
    long Color = 0;      // 0x00BBGGRR
    unsigned Style = 0;  // TFontStyle bits
};

// Reads a font specification "face,size,colour,styles". Fields are the words
// between commas (a run of commas is one separator, so no field can be empty
// in the middle; blanks belong to their field). The size is 8 when missing or
// not a number; the colour is required and follows the integer rule ("$" for
// hexadecimal); the style letters are the upper-case B, I, U and S in any
// order, anything else is ignored. False when the colour field is missing or
// not a number: "'<field>' is not a valid integer value" is raised, and
// `font` then holds the face, size and style but not the colour.
[[nodiscard]] bool ParseFontSpec(const TStr& text, TFontSpec& font);
// A font of `size` points at the resolution of the background window's
// screen (any screen before that window exists); weight 700 with fsBold,
// else 400. The caller deletes it.
HFONT CreateSpecFont(const TStr& faceName, long size, unsigned style);

// ---- Drawing ----

enum TGradientDirection { gdTopToBottom, gdBottomToTop, gdLeftToRight, gdRightToLeft };

// Fills the rectangle with `colors` bands of solid colour, from `start` to
// `end` in the given direction (each band one pixel longer than its share,
// so that rounding leaves no gaps; nothing is drawn outside the rectangle).
// The last band stops one step short of `end`. Fewer than two colours fill
// the rectangle with `start`; an empty rectangle draws nothing.
void FillGradientBands(HDC dc, const RECT& rect, COLORREF start, COLORREF end,
                       TGradientDirection direction, int colors);

// Registers the class kMainWindowClass and creates the background window
// (hidden, WS_POPUP, captioned with ProgramName). Its gradient colours are
// read from Tarv.ini now, once: repainting never touches the profile cache,
// which the install worker may be changing at that moment. Returns the
// window, or 0 when: the class cannot be registered (the error box "Cannot
// register main window class!" has been shown); the window cannot be created
// (nothing shown); Tarv.ini cannot be opened ("Cannot open file %s" raised).
HWND RegisterMainWindow();
// The window procedure of the class: paints on WM_PAINT, through an
// off-screen bitmap; everything else is the default.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The background window's picture for a client area of `client`'s size: the
// gradient, one band per three pixels of height, and the program's name at
// (20, 20), with its shadow 3 pixels right and down when that is on.
void PaintMainWindow(HDC dc, const RECT& client);

// Paints the title band (control 100) of a page: `bitmap` stretched over all
// of it but its last column and row, the page title and its shadow on top.
// Called on the page's WM_PAINT, WM_MOVE and WM_SIZE, and when the band's
// own control asks to be drawn. `bitmap` may be 0.
void PaintPageHeader(HWND page, HBITMAP bitmap);
// The band's picture onto any device context, for a band of `band`'s size:
// button-face fill, the bitmap over (0, 0, width - 1, height - 1), the title
// at (10, 5) and its shadow at (12, 7).
void PaintHeaderBand(HDC dc, const RECT& band, HBITMAP bitmap);

// `bitmap` := the picture of the page: the file that [DialogBitmap] <page>
// of Tarv.ini names (blanks and control characters around it ignored; none
// means Tarv.bmp) in the temporary folder, else Tarv.bmp there, else 0 (the
// band then shows its plain fill and the title). The caller deletes it. False
// when Tarv.ini cannot be opened ("Cannot open file %s" raised; bitmap 0).
[[nodiscard]] bool LoadPageBitmap(const TStr& pageName, HBITMAP& bitmap);

#endif
