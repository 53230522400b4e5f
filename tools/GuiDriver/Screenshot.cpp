#include "Screenshot.h"

#include <fstream>
#include <vector>

bool SaveScreenshot(RECT area, const std::string& path) {
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (!IntersectRect(&area, &area, &screen)) return false;
    const int width = area.right - area.left, height = area.bottom - area.top;
    HDC desktop = GetDC(nullptr);
    HDC copy = CreateCompatibleDC(desktop);
    HBITMAP picture = CreateCompatibleBitmap(desktop, width, height);
    HGDIOBJ previous = SelectObject(copy, picture);
    BitBlt(copy, 0, 0, width, height, desktop, area.left, area.top, SRCCOPY);
    SelectObject(copy, previous);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;  // bottom-up, as .bmp files usually are
    info.biPlanes = 1;
    info.biBitCount = 24;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<char> bits(stride * height);
    const int rows = GetDIBits(copy, picture, 0, height, bits.data(), (BITMAPINFO*)&info, DIB_RGB_COLORS);
    DeleteObject(picture);
    DeleteDC(copy);
    ReleaseDC(nullptr, desktop);
    if (rows != height) return false;

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + (DWORD)bits.size();
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write((const char*)&file, sizeof file);
    out.write((const char*)&info, sizeof info);
    out.write(bits.data(), bits.size());
    return out.good();
}
