// The background window, the gradient, the page title band, font
// specifications and page bitmaps, drawn into memory bitmaps and read back.
#include "ui/Main.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/RunState.h"
#include "config/wqErrors.h"
#include "config/wqRegIni.h"
#include "support/CanvasTestSupport.h"
#include "support/TestPrint.h"
#include "support/TextTestSupport.h"
#include "support/WinTestSupport.h"
#include "system/wqUtils.h"

// Found by argument-dependent lookup, so in the namespace of RECT.
static bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != 0; }
static std::ostream& operator<<(std::ostream& os, const RECT& r) {
    return os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

namespace {

const COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlack = 0;

// Where the text lands in pure `color` when written plainly at (x, y).
RECT ReferenceText(HFONT font, const char* text, int x, int y, COLORREF color) {
    Canvas canvas(300, 100, kBlack);
    SelectObject(canvas.Dc(), font);
    SetBkMode(canvas.Dc(), TRANSPARENT);
    SetTextColor(canvas.Dc(), color);
    TextOutA(canvas.Dc(), x, y, text, lstrlenA(text));
    return canvas.Bounds(color);
}

struct BandCase {
    const char* what;
    int width, height;
    TGradientDirection direction;
    int colors;
    COLORREF start, end;
    std::vector<std::vector<int>> expect;  // x, y, expected 0x00BBGGRR
};

TEST(Gradient, BandsAndTheirColours) {
    const COLORREF top = 0, bottom = 0xFF8000;  // the default colours: blue 255, green 128
    const BandCase cases[] = {
        // 200 bands of 3 pixels: band i covers rows 3i .. 3i+2 (its 4th row is overdrawn).
        {"600 rows, 200 colours", 4, 600, gdTopToBottom, 200, top, bottom,
         {{0, 0, 0}, {3, 2, 0}, {0, 300, RGB(0, 64, 128)}, {0, 302, RGB(0, 64, 128)},
          {0, 597, RGB(0, 127, 254)}, {3, 599, RGB(0, 127, 254)}}},
        // 2.5 rows a band: starts at 0, 2 (2.5 to even), 5, 8 (7.5 to even).
        {"halves to even", 2, 10, gdTopToBottom, 4, 0, RGB(0, 0, 200),
         {{0, 1, 0}, {0, 2, RGB(0, 0, 50)}, {0, 4, RGB(0, 0, 50)}, {0, 5, RGB(0, 0, 100)},
          {0, 7, RGB(0, 0, 100)}, {0, 8, RGB(0, 0, 150)}, {0, 9, RGB(0, 0, 150)}}},
        {"more colours than rows", 2, 10, gdTopToBottom, 1000, 0, RGB(100, 0, 0),
         {{0, 0, 0}, {0, 1, RGB(10, 0, 0)}, {0, 9, RGB(90, 0, 0)}}},
        {"bottom to top", 2, 4, gdBottomToTop, 2, RGB(0, 0, 0), RGB(200, 100, 50),
         {{0, 0, RGB(200, 100, 50)}, {0, 1, RGB(200, 100, 50)}, {0, 2, RGB(100, 50, 25)}, {1, 3, RGB(100, 50, 25)}}},
        {"left to right", 4, 2, gdLeftToRight, 2, RGB(200, 0, 0), RGB(0, 0, 0),
         {{0, 0, RGB(200, 0, 0)}, {1, 1, RGB(200, 0, 0)}, {2, 0, RGB(100, 0, 0)}, {3, 1, RGB(100, 0, 0)}}},
        {"right to left", 4, 2, gdRightToLeft, 2, RGB(200, 0, 0), RGB(0, 0, 0),
         {{0, 0, 0}, {3, 1, RGB(100, 0, 0)}}},
        {"one colour", 3, 30, gdTopToBottom, 1, RGB(7, 8, 9), RGB(200, 200, 200),
         {{0, 0, RGB(7, 8, 9)}, {2, 29, RGB(7, 8, 9)}}},
    };
    for (const BandCase& c : cases) {
        Canvas canvas(c.width, c.height);
        FillGradientBands(canvas.Dc(), canvas.Rect(), c.start, c.end, c.direction, c.colors);
        for (const auto& e : c.expect)
            EXPECT_EQ(canvas.Pixel(e[0], e[1]), (COLORREF)e[2]) << c.what << " at " << e[0] << "," << e[1];
    }
}

TEST(Gradient, StaysInsideItsRectangle) {
    const COLORREF background = RGB(1, 2, 3);
    Canvas canvas(10, 10, background);
    const RECT inner = {2, 2, 8, 8};
    FillGradientBands(canvas.Dc(), inner, RGB(50, 0, 0), RGB(250, 0, 0), gdTopToBottom, 3);
    FillGradientBands(canvas.Dc(), inner, RGB(50, 0, 0), RGB(250, 0, 0), gdLeftToRight, 3);
    EXPECT_EQ(canvas.Count(background), 100 - 36);
    const RECT empty = {5, 5, 5, 9};
    FillGradientBands(canvas.Dc(), empty, kRed, kRed, gdTopToBottom, 1);
    EXPECT_EQ(canvas.Count(kRed), 0);
}

class MainTest : public testing::Test {
protected:
    void SetUp() override {
        TRunState& run = RunState();
        run.Instance = GetModuleHandleA(nullptr);
        run.TempDir = (folder.Path() + "\\").c_str();
        run.IniFileName = (folder / "Tarv.ini").c_str();
    }
    void TearDown() override {
        if (window) DestroyWindow(window);
        UnregisterClassA(kMainWindowClass, GetModuleHandleA(nullptr));
        for (HGDIOBJ font : fonts) DeleteObject(font);
        (void)ProfileFlushAll();
        RunState() = TRunState();
        TakeError();
    }
    HFONT Font(const char* face, long size, unsigned style) {
        HFONT font = CreateSpecFont(face, size, style);
        fonts.push_back(font);
        return font;
    }
    ScratchFolder folder;
    HWND window = nullptr;
    std::vector<HGDIOBJ> fonts;
};

TEST_F(MainTest, FontSpecifications) {
    const struct {
        const char* spec;
        const char* face;
        long size, color;
        unsigned style;
        const char* error;
    } cases[] = {
        {"Arial,12,$0000FF,BI", "Arial", 12, 0x0000FF, fsBold | fsItalic, ""},
        {"Arial,12,255", "Arial", 12, 255, 0, ""},
        {"Arial,x,255", "Arial", 8, 255, 0, ""},
        {"Arial,12,255,bu", "Arial", 12, 255, 0, ""},  // lower case is no style
        {"Times New Roman,30,$FF0000,SUIB", "Times New Roman", 30, 0xFF0000,
         fsBold | fsItalic | fsUnderline | fsStrikeOut, ""},
        {",,Arial,,10,,16,,B", "Arial", 10, 16, fsBold, ""},  // runs of commas are one
        {"Arial,,255,B", "Arial", 255, -1, 0, "'B' is not a valid integer value"},
        {"Arial,12", "Arial", 12, -1, 0, "'' is not a valid integer value"},
        {"Arial,12,red,B", "Arial", 12, -1, fsBold, "'red' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        TFontSpec font;
        font.Color = -1;
        EXPECT_EQ(ParseFontSpec(c.spec, font), c.error[0] == 0) << c.spec;
        EXPECT_EQ(font.FaceName, c.face) << c.spec;
        EXPECT_EQ(font.Size, c.size) << c.spec;
        EXPECT_EQ(font.Color, c.color) << c.spec;
        EXPECT_EQ(font.Style, c.style) << c.spec;
        EXPECT_EQ(TakeError(), c.error) << c.spec;
    }

    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const struct {
        long size;
        unsigned style;
    } fontCases[] = {{12, fsBold | fsItalic}, {30, fsUnderline | fsStrikeOut}, {8, 0}};
    for (const auto& c : fontCases) {
        LOGFONTA font = {};
        ASSERT_TRUE(GetObjectA(Font("Courier New", c.size, c.style), sizeof font, &font));
        EXPECT_EQ(font.lfHeight, -MulDiv(c.size, dpi, 72)) << c.size;
        EXPECT_EQ(font.lfWeight, c.style & fsBold ? 700 : 400) << c.size;
        EXPECT_EQ(font.lfItalic != 0, (c.style & fsItalic) != 0) << c.size;
        EXPECT_EQ(font.lfUnderline != 0, (c.style & fsUnderline) != 0) << c.size;
        EXPECT_EQ(font.lfStrikeOut != 0, (c.style & fsStrikeOut) != 0) << c.size;
        EXPECT_STREQ(font.lfFaceName, "Courier New");
    }
}

TEST_F(MainTest, BackgroundWindowReadsItsColoursOnceAndPaintsTheTitle) {
    WriteBytes(folder / "Tarv.ini", "[Display]\r\nGradientTopColor=$0000C8\r\nGradientBottomColor=$C80000\r\n");
    TRunState& run = RunState();
    run.ProgramName = "Demo";
    window = RegisterMainWindow();
    ASSERT_NE(window, nullptr);
    char text[64] = "", name[64] = "";
    GetWindowTextA(window, text, sizeof text);
    GetClassNameA(window, name, sizeof name);
    EXPECT_STREQ(text, "Demo");
    EXPECT_STREQ(name, "TarvMainWindow");
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & ~WS_CLIPSIBLINGS, (LONG)WS_POPUP);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_NE(GetClassLongPtrA(window, GCLP_HICON), 0);

    // The colours stay what they were when the window was made, whatever
    // happens to Tarv.ini and the profile cache afterwards.
    ASSERT_TRUE(ProfileFlushAll());
    WriteBytes(folder / "Tarv.ini", "[Display]\r\nGradientTopColor=0\r\nGradientBottomColor=0\r\n");
    {
        Canvas canvas(40, 5);  // under 6 rows: the top colour alone
        PaintMainWindow(canvas.Dc(), canvas.Rect());
        EXPECT_EQ(canvas.Count(RGB(200, 0, 0)), 40 * 5);
    }

    run.MainTitleFont = Font("Arial", 20, fsBold);
    run.MainTitleColor = kRed;
    run.MainTitleShadowColor = kGreen;
    const RECT title = ReferenceText(run.MainTitleFont, "Demo", 20, 20, kRed);
    ASSERT_FALSE(IsRectEmpty(&title));
    for (bool shadow : {false, true}) {
        run.MainTitleShadow = shadow;
        Canvas canvas(300, 100);
        PaintMainWindow(canvas.Dc(), canvas.Rect());
        EXPECT_EQ(canvas.Pixel(299, 0), RGB(200, 0, 0));
        EXPECT_EQ(canvas.Pixel(299, 99), RGB(6, 0, 194));  // band 32 of 33
        EXPECT_EQ(canvas.Bounds(kRed), title);
        RECT shade = canvas.Bounds(kGreen);
        if (shadow) {
            EXPECT_EQ(shade.right, title.right + 3);
            EXPECT_EQ(shade.bottom, title.bottom + 3);
        } else {
            EXPECT_TRUE(IsRectEmpty(&shade));
        }
    }
}

TEST_F(MainTest, RegistrationFailures) {
    window = RegisterMainWindow();
    ASSERT_NE(window, nullptr);
    {
        DialogWatcher watcher(IDOK);
        EXPECT_EQ(RegisterMainWindow(), nullptr);  // the class exists already
        EXPECT_EQ(watcher.Seen(), std::vector<std::string>{"Error|Cannot register main window class!"});
    }
    // Tarv.ini present but not readable: raised, nothing registered.
    DestroyWindow(window);
    window = nullptr;
    UnregisterClassA(kMainWindowClass, GetModuleHandleA(nullptr));
    ASSERT_TRUE(ProfileFlushAll());
    WriteBytes(folder / "Tarv.ini", "[Display]\r\n");
    HANDLE lock = CreateFileA((folder / "Tarv.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(RegisterMainWindow(), nullptr);
    CloseHandle(lock);
    EXPECT_EQ(TakeError(), ("Cannot open file " + folder / "Tarv.ini").c_str());
    EXPECT_EQ(FindWindowA(kMainWindowClass, nullptr), nullptr);
}

TEST_F(MainTest, PageTitleBand) {
    TRunState& run = RunState();
    run.DialogTitle = "Setup";
    run.DialogTitleFont = Font("Arial", 14, fsBold);
    run.DialogTitleColor = kRed;
    run.DialogTitleShadowColor = kGreen;
    const RECT title = ReferenceText(run.DialogTitleFont, "Setup", 10, 5, kRed);
    const COLORREF face = GetSysColor(COLOR_BTNFACE), blue = RGB(0, 0, 255);
    HBITMAP picture = (HBITMAP)CreateBitmap(2, 2, 1, 32, nullptr);
    {
        Canvas source(2, 2, blue);
        HDC dc = CreateCompatibleDC(source.Dc());
        HGDIOBJ old = SelectObject(dc, picture);
        BitBlt(dc, 0, 0, 2, 2, source.Dc(), 0, 0, SRCCOPY);
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    for (HBITMAP bitmap : {picture, (HBITMAP)nullptr}) {
        for (bool shadow : {true, false}) {
            run.DialogTitleShadow = shadow;
            Canvas canvas(200, 40);
            PaintHeaderBand(canvas.Dc(), canvas.Rect(), bitmap);
            const COLORREF fill = bitmap ? blue : face;
            EXPECT_EQ(canvas.Pixel(0, 0), fill);
            EXPECT_EQ(canvas.Pixel(198, 38), fill);
            for (int x : {0, 100, 199}) EXPECT_EQ(canvas.Pixel(x, 39), face) << x;  // last row
            for (int y : {0, 20, 39}) EXPECT_EQ(canvas.Pixel(199, y), face) << y;   // last column
            EXPECT_EQ(canvas.Bounds(kRed), title);
            RECT shade = canvas.Bounds(kGreen);
            EXPECT_EQ(shade.right, shadow ? title.right + 2 : 0);
            EXPECT_EQ(shade.bottom, shadow ? title.bottom + 2 : 0);
        }
    }
    DeleteObject(picture);
}

TEST_F(MainTest, PageBitmapChoice) {
    WriteBytes(folder / "Tarv.bmp", SolidBitmapFile(2, 2, kRed));
    WriteBytes(folder / "Own.bmp", SolidBitmapFile(3, 5, kGreen));
    WriteBytes(folder / "Broken.bmp", "BM not a bitmap");
    WriteBytes(folder / "Tarv.ini",
               "[dialogbitmap]\r\ndlg_welcome=Own.bmp\r\nDLG_DIR=Missing.bmp\r\nDLG_START=\"\t Own.bmp \"\r\n"
               "DLG_README=Broken.bmp\r\nDLG_LICENSE=\r\n");
    const struct {
        const char* page;
        int width;  // 0: no bitmap
    } cases[] = {{"DLG_WELCOME", 3}, {"DLG_DIR", 2}, {"DLG_START", 3}, {"DLG_README", 2},
                 {"DLG_LICENSE", 2}, {"DLG_FINISH", 2}};
    for (bool withTarvBmp : {true, false}) {
        if (!withTarvBmp) DeleteFileA((folder / "Tarv.bmp").c_str());
        for (const auto& c : cases) {
            HBITMAP bitmap = (HBITMAP)1;
            ASSERT_TRUE(LoadPageBitmap(c.page, bitmap));
            BITMAP info = {};
            GetObjectA(bitmap, sizeof info, &info);
            const int expected = withTarvBmp || c.width == 3 ? c.width : 0;
            EXPECT_EQ(info.bmWidth, expected) << c.page << (withTarvBmp ? "" : " without Tarv.bmp");
            EXPECT_EQ(bitmap == nullptr, expected == 0) << c.page;
            if (bitmap) DeleteObject(bitmap);
        }
    }
    ASSERT_TRUE(ProfileFlushAll());
    HANDLE lock = CreateFileA((folder / "Tarv.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HBITMAP bitmap = (HBITMAP)1;
    EXPECT_FALSE(LoadPageBitmap("DLG_WELCOME", bitmap));
    CloseHandle(lock);
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_EQ(TakeError(), ("Cannot open file " + folder / "Tarv.ini").c_str());
}

}  // namespace
