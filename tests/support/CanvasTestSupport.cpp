#include "CanvasTestSupport.h"

Canvas::Canvas(int width, int height, COLORREF background) : width_(width), height_(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down: row y starts at y * width
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<const DWORD*>(bits);
    previous_ = SelectObject(dc_, bitmap_);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all = Rect();
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
}

Canvas::~Canvas() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

COLORREF Canvas::Pixel(int x, int y) const {
    GdiFlush();
    return Raw(x, y);
}

COLORREF Canvas::Raw(int x, int y) const {
    DWORD p = bits_[y * width_ + x];  // 0x00RRGGBB in a DIB
    return RGB((p >> 16) & 255, (p >> 8) & 255, p & 255);
}

RECT Canvas::Bounds(COLORREF color) const {
    GdiFlush();
    RECT r = {width_, height_, -1, -1};
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            if (Raw(x, y) == color) {
                if (x < r.left) r.left = x;
                if (y < r.top) r.top = y;
                if (x + 1 > r.right) r.right = x + 1;
                if (y + 1 > r.bottom) r.bottom = y + 1;
            }
    if (r.right < 0) return RECT{0, 0, 0, 0};
    return r;
}

int Canvas::Count(COLORREF color) const {
    GdiFlush();
    int n = 0;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) n += Raw(x, y) == color;
    return n;
}

std::string SolidBitmapFile(int width, int height, COLORREF color) {
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + stride * height;
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    std::string bytes((const char*)&file, sizeof file);
    bytes.append((const char*)&info, sizeof info);
    std::string row(stride, '\0');
    for (int x = 0; x < width; ++x) {
        row[3 * x] = (char)GetBValue(color);
        row[3 * x + 1] = (char)GetGValue(color);
        row[3 * x + 2] = (char)GetRValue(color);
    }
    for (int y = 0; y < height; ++y) bytes += row;
    return bytes;
}
