#include "ui/Main.h"

#include "config/RunState.h"
#include "config/wqArithm.h"
#include "config/wqRegIni.h"
#include "config/wqStrUtils.h"
#include "system/wqUtils.h"
#include "ui/Resource.h"

const char kMainWindowClass[] = "TarvMainWindow";

// ---- Fonts ----

bool ParseFontSpec(const TStr& text, TFontSpec& font) {
    const TCharSet comma(",");
    font.FaceName = GetWord(1, text, comma);
    font.Size = TextToIntDef(GetWord(2, text, comma), 8);
    font.Style = 0;
    TStr letters = GetWord(4, text, comma);
    for (size_t i = 0; i < letters.length(); ++i) {
        switch (letters[i]) {
        case 'B': font.Style |= fsBold; break;
        case 'I': font.Style |= fsItalic; break;
        case 'U': font.Style |= fsUnderline; break;
        case 'S': font.Style |= fsStrikeOut; break;
        }
    }
    return ColorFromText(GetWord(3, text, comma), font.Color);
}

HFONT CreateSpecFont(const TStr& faceName, long size, unsigned style) {
    HWND window = RunState().MainWindow;
    HDC dc = GetDC(window);
    int height = -MulDiv((int)size, GetDeviceCaps(dc, LOGPIXELSY), 72);
    ReleaseDC(window, dc);
    return CreateFontA(height, 0, 0, 0, style & fsBold ? FW_BOLD : FW_NORMAL, style & fsItalic ? 1 : 0,
                       style & fsUnderline ? 1 : 0, style & fsStrikeOut ? 1 : 0, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                       faceName.c_str());
}

// ---- Drawing ----

static void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

// first + I/count of the way to last, per channel.
static COLORREF BandColor(COLORREF first, COLORREF last, int band, int count) {
    int channel[3];
    for (int shift = 0, c = 0; c < 3; shift += 8, ++c) {
        int from = (int)((first >> shift) & 255), to = (int)((last >> shift) & 255);
        channel[c] = from + MulDiv(band, to - from, count);
    }
    return RGB(channel[0], channel[1], channel[2]);
}

void FillGradientBands(HDC dc, const RECT& rect, COLORREF start, COLORREF end,
                       TGradientDirection direction, int colors) {
    if (IsRectEmpty(&rect)) return;
    if (colors < 2) {
        FillSolid(dc, rect, start);
        return;
    }
    bool reverse = direction == gdBottomToTop || direction == gdRightToLeft;
    bool vertical = direction == gdTopToBottom || direction == gdBottomToTop;
    COLORREF first = reverse ? end : start, last = reverse ? start : end;
    long origin = vertical ? rect.top : rect.left;
    long limit = vertical ? rect.bottom : rect.right;
    long extent = limit - origin;
    int count = colors < extent ? colors : (int)extent;
    if (count < 2) count = 2;
    // Band i starts at extent * i / count and is extent / count long, both
    // rounded, plus one pixel of overlap so that rounding leaves no gaps.
    long size = (long)DivRoundHalfEven(extent, count);
    for (int i = 0; i < count; ++i) {
        long from = origin + (long)DivRoundHalfEven((unsigned long long)extent * i, count);
        long to = from + size + 1;
        if (to > limit) to = limit;
        RECT band = rect;
        if (vertical) {
            band.top = from;
            band.bottom = to;
        } else {
            band.left = from;
            band.right = to;
        }
        FillSolid(dc, band, BandColor(first, last, i, count));
    }
}

// Text with an optional shadow `offset` pixels right of and below it.
static void DrawTitle(HDC dc, const TStr& text, HFONT font, COLORREF color, int x, int y,
                      bool shadow, COLORREF shadowColor, int offset) {
    HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    if (shadow) {
        SetTextColor(dc, shadowColor);
        TextOutA(dc, x + offset, y + offset, text.c_str(), (int)text.length());
    }
    SetTextColor(dc, color);
    TextOutA(dc, x, y, text.c_str(), (int)text.length());
    if (previous) SelectObject(dc, previous);
}

// Read once, when the window is made (see RegisterMainWindow).
static COLORREF gradientTop = 0, gradientBottom = 0xFF8000;

void PaintMainWindow(HDC dc, const RECT& client) {
    const TRunState& run = RunState();
    FillGradientBands(dc, client, gradientTop, gradientBottom, gdTopToBottom,
                      (int)(RectHeight(client) / 3));
    DrawTitle(dc, run.ProgramName, run.MainTitleFont, run.MainTitleColor, 20, 20,
              run.MainTitleShadow, run.MainTitleShadowColor, 3);
}

// Paints `paint` for a `size` area into an off-screen bitmap, then copies
// that to `target` in one go, so that nothing flickers.
template <typename TPainter>
static void PaintBuffered(HDC target, const RECT& area, TPainter paint) {
    HDC buffer = CreateCompatibleDC(target);
    HBITMAP picture = CreateCompatibleBitmap(target, RectWidth(area), RectHeight(area));
    HGDIOBJ previous = SelectObject(buffer, picture);
    paint(buffer);
    BitBlt(target, area.left, area.top, RectWidth(area), RectHeight(area), buffer, 0, 0, SRCCOPY);
    SelectObject(buffer, previous);
    DeleteObject(picture);
    DeleteDC(buffer);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT client;
        GetClientRect(window, &client);
        PaintBuffered(dc, client, [&client](HDC buffer) { PaintMainWindow(buffer, client); });
        EndPaint(window, &ps);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND RegisterMainWindow() {
    const TRunState& run = RunState();
    long top = 0, bottom = 0;
    if (!ProfileReadInteger(run.IniFileName, "Display", "GradientTopColor", 0, top) ||
        !ProfileReadInteger(run.IniFileName, "Display", "GradientBottomColor", 0xFF8000, bottom))
        return 0;
    gradientTop = (COLORREF)top;
    gradientBottom = (COLORREF)bottom;

    WNDCLASSEXA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = run.Instance;
    windowClass.hIcon = LoadIconA(run.Instance, "MAINICON");
    windowClass.lpszClassName = kMainWindowClass;
    if (!RegisterClassExA(&windowClass)) {
        ErrorBox("Cannot register main window class!");
        return 0;
    }
    return CreateWindowExA(0, kMainWindowClass, run.ProgramName.c_str(), WS_POPUP, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                           run.Instance, nullptr);
}

void PaintHeaderBand(HDC dc, const RECT& band, HBITMAP bitmap) {
    const TRunState& run = RunState();
    FillRect(dc, &band, GetSysColorBrush(COLOR_BTNFACE));
    BITMAP size;
    if (bitmap && GetObjectA(bitmap, sizeof size, &size)) {
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ previous = SelectObject(source, bitmap);
        SetStretchBltMode(dc, COLORONCOLOR);
        // The last column and row keep the button face: a seam against the
        // band's sunken edge.
        StretchBlt(dc, band.left, band.top, RectWidth(band) - 1, RectHeight(band) - 1, source, 0, 0,
                   size.bmWidth, size.bmHeight, SRCCOPY);
        SelectObject(source, previous);
        DeleteDC(source);
    }
    DrawTitle(dc, run.DialogTitle, run.DialogTitleFont, run.DialogTitleColor, band.left + 10,
              band.top + 5, run.DialogTitleShadow, run.DialogTitleShadowColor, 2);
}

void PaintPageHeader(HWND page, HBITMAP bitmap) {
    HWND band = GetDlgItem(page, IDC_HEADER);
    if (!band) return;
    RECT area;
    GetClientRect(band, &area);
    if (IsRectEmpty(&area)) return;
    HDC dc = GetDC(band);
    PaintBuffered(dc, area, [&area, bitmap](HDC buffer) { PaintHeaderBand(buffer, area, bitmap); });
    ReleaseDC(band, dc);
}

// Without blanks and control characters at both ends.
static TStr TrimControls(const TStr& text) {
    size_t first = 0, end = text.length();
    while (first < end && (unsigned char)text[first] <= ' ') ++first;
    while (end > first && (unsigned char)text[end - 1] <= ' ') --end;
    return text.substr(first, end - first);
}

static HBITMAP LoadBitmapFile(const TStr& path) {
    return (HBITMAP)LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
}

bool LoadPageBitmap(const TStr& pageName, HBITMAP& bitmap) {
    const TRunState& run = RunState();
    bitmap = 0;
    TStr name;
    if (!ProfileReadString(run.IniFileName, "DialogBitmap", pageName, "", name)) return false;
    name = TrimControls(name);
    if (!name.empty()) bitmap = LoadBitmapFile(run.TempDir + name);
    if (!bitmap) bitmap = LoadBitmapFile(run.TempDir + "Tarv.bmp");
    return true;
}
