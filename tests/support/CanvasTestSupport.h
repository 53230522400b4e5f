// A memory device context over a 32-bit top-down DIB section, for tests
// that draw and then read the pixels back.
#ifndef TARV_TESTS_CANVASTESTSUPPORT_H
#define TARV_TESTS_CANVASTESTSUPPORT_H

#include <windows.h>

#include <string>

class Canvas {
public:
    // Filled with `background` (0x00BBGGRR).
    Canvas(int width, int height, COLORREF background = RGB(1, 2, 3));
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC Dc() const { return dc_; }
    RECT Rect() const { return {0, 0, width_, height_}; }
    COLORREF Pixel(int x, int y) const;
    // The smallest rectangle holding every pixel of exactly that colour;
    // empty (all 0) when there is none.
    RECT Bounds(COLORREF color) const;
    int Count(COLORREF color) const;

private:
    COLORREF Raw(int x, int y) const;
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ previous_;
    const DWORD* bits_;
};

// The bytes of a .bmp file of width x height pixels of one colour (24 bits).
std::string SolidBitmapFile(int width, int height, COLORREF color);

#endif
