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

// Found by argument-dependent lookup, so in the namespace of RECT.
static bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != 0; }
static std::ostream& operator<<(std::ostream& os, const RECT& r) {
    return os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

namespace {

const COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0);

// Where the text lands in pure `color` when written plainly at (x, y).
RECT ReferenceText(HFONT font, const char* text, int x, int y, COLORREF color) {
    Canvas canvas(300, 100, 0);
    SelectObject(canvas.Dc(), font);
    SetBkMode(canvas.Dc(), TRANSPARENT);
    SetTextColor(canvas.Dc(), color);
    TextOutA(canvas.Dc(), x, y, text, lstrlenA(text));
    return canvas.Bounds(color);
}

TEST(Gradient, BandsAndTheirColours) {
    const struct {
        const char* what;
        int width, height;
        TGradientDirection direction;
        int colors;
        COLORREF start, end;
        std::vector<std::vector<int>> expect;  // x, y, 0x00BBGGRR
    } cases[] = {
        // The default colours (blue 255, green 128): 200 bands of 3 rows;
        // band i covers rows 3i .. 3i+2 (its 4th row is overdrawn).
        {"600 rows", 4, 600, gdTopToBottom, 200, 0, 0xFF8000,
         {{0, 0, 0}, {3, 2, 0}, {0, 300, RGB(0, 64, 128)}, {0, 597, RGB(0, 127, 254)}, {3, 599, RGB(0, 127, 254)}}},
        // 2.5 rows a band: starts at 0, 2 (2.5 to even), 5, 8 (7.5 to even).
        {"halves to even", 2, 10, gdTopToBottom, 4, 0, RGB(0, 0, 200),
         {{0, 1, 0}, {0, 2, RGB(0, 0, 50)}, {0, 4, RGB(0, 0, 50)}, {0, 7, RGB(0, 0, 100)}, {0, 8, RGB(0, 0, 150)}}},
        {"more colours than rows", 2, 10, gdTopToBottom, 1000, 0, RGB(100, 0, 0), {{0, 1, RGB(10, 0, 0)}, {0, 9, RGB(90, 0, 0)}}},
        {"bottom to top", 2, 4, gdBottomToTop, 2, 0, RGB(200, 100, 50), {{0, 1, RGB(200, 100, 50)}, {1, 3, RGB(100, 50, 25)}}},
        {"right to left", 4, 2, gdRightToLeft, 2, RGB(200, 0, 0), 0, {{1, 1, 0}, {2, 0, RGB(100, 0, 0)}}},
    };
    for (const auto& c : cases) {
        Canvas canvas(c.width, c.height);
        FillGradientBands(canvas.Dc(), canvas.Rect(), c.start, c.end, c.direction, c.colors);
        for (const auto& e : c.expect)
            EXPECT_EQ(canvas.Pixel(e[0], e[1]), (COLORREF)e[2]) << c.what << " at " << e[0] << "," << e[1];
    }
    // Nothing outside the rectangle, nothing for an empty one.
    const COLORREF background = RGB(1, 2, 3);
    Canvas canvas(10, 10, background);
    for (TGradientDirection direction : {gdTopToBottom, gdLeftToRight})
        FillGradientBands(canvas.Dc(), RECT{2, 2, 8, 8}, RGB(50, 0, 0), RGB(250, 0, 0), direction, 3);
    FillGradientBands(canvas.Dc(), RECT{5, 5, 5, 9}, kRed, kRed, gdTopToBottom, 1);
    EXPECT_EQ(canvas.Count(background), 100 - 36);
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
        for (HGDIOBJ object : objects) DeleteObject(object);
        (void)ProfileFlushAll();
        RunState() = TRunState();
        TakeError();
    }
    HFONT Font(const char* face, long size, unsigned style) {
        objects.push_back(CreateSpecFont(face, size, style));
        return (HFONT)objects.back();
    }
    // Tarv.ini that cannot be opened (held open without sharing) while it lives.
    HANDLE LockIni() {
        EXPECT_TRUE(ProfileFlushAll());
        return CreateFileA((folder / "Tarv.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    std::string CannotOpenIni() { return "Cannot open file " + folder / "Tarv.ini"; }
    ScratchFolder folder;
    HWND window = nullptr;
    std::vector<HGDIOBJ> objects;
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
        {"Times New Roman,30,$FF0000,SUIB", "Times New Roman", 30, 0xFF0000, 15, ""},
        {",,Arial,,10,,16,,B", "Arial", 10, 16, fsBold, ""},  // runs of commas are one
        {"Arial,,255,B", "Arial", 255, -1, 0, "'B' is not a valid integer value"},
        {"Arial,12", "Arial", 12, -1, 0, "'' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        TFontSpec font;
        font.Color = -1;
        EXPECT_EQ(ParseFontSpec(c.spec, font), c.error[0] == 0) << c.spec;
        EXPECT_EQ(font.FaceName, c.face) << c.spec;
        EXPECT_EQ(font.Size * 100 + font.Style, c.size * 100 + c.style) << c.spec;
        EXPECT_EQ(font.Color, c.color) << c.spec;
        EXPECT_EQ(TakeError(), c.error) << c.spec;
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    for (unsigned style : {fsBold | fsItalic, fsUnderline | fsStrikeOut}) {
        LOGFONTA font = {};
        ASSERT_TRUE(GetObjectA(Font("Courier New", 30, style), sizeof font, &font));
        EXPECT_EQ(font.lfHeight, -MulDiv(30, dpi, 72));
        EXPECT_EQ(font.lfWeight, style & fsBold ? 700 : 400);
        EXPECT_EQ(!!font.lfItalic * fsItalic + !!font.lfUnderline * fsUnderline + !!font.lfStrikeOut * fsStrikeOut,
                  style & ~fsBold);
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
    EXPECT_EQ(std::string(text) + "|" + name, "Demo|TarvMainWindow");
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & ~WS_CLIPSIBLINGS, (LONG)WS_POPUP);  // hidden too
    EXPECT_NE(GetClassLongPtrA(window, GCLP_HICON), 0);

    // The colours stay what they were when the window was made.
    ASSERT_TRUE(ProfileFlushAll());
    WriteBytes(folder / "Tarv.ini", "[Display]\r\nGradientTopColor=0\r\nGradientBottomColor=0\r\n");
    Canvas low(40, 5);  // under 6 rows: the top colour alone
    PaintMainWindow(low.Dc(), low.Rect());
    EXPECT_EQ(low.Count(RGB(200, 0, 0)), 40 * 5);

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
        const RECT shade = canvas.Bounds(kGreen);  // its lower right corner is never covered
        EXPECT_EQ(shade.right, shadow ? title.right + 3 : 0);
        EXPECT_EQ(shade.bottom, shadow ? title.bottom + 3 : 0);
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
    DestroyWindow(window);
    window = nullptr;
    UnregisterClassA(kMainWindowClass, GetModuleHandleA(nullptr));
    WriteBytes(folder / "Tarv.ini", "[Display]\r\n");
    HANDLE lock = LockIni();
    EXPECT_EQ(RegisterMainWindow(), nullptr);
    CloseHandle(lock);
    EXPECT_EQ(TakeError(), CannotOpenIni().c_str());
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
    const DWORD blueBits[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    objects.push_back(CreateBitmap(2, 2, 1, 32, blueBits));
    for (HBITMAP bitmap : {(HBITMAP)objects.back(), (HBITMAP)nullptr}) {
        for (bool shadow : {true, false}) {
            run.DialogTitleShadow = shadow;
            Canvas canvas(200, 40);
            PaintHeaderBand(canvas.Dc(), canvas.Rect(), bitmap);
            for (POINT p : {POINT{0, 0}, POINT{198, 38}}) EXPECT_EQ(canvas.Pixel(p.x, p.y), bitmap ? blue : face);
            for (POINT p : {POINT{0, 39}, POINT{199, 39}, POINT{199, 0}}) EXPECT_EQ(canvas.Pixel(p.x, p.y), face);
            EXPECT_EQ(canvas.Bounds(kRed), title);
            const RECT shade = canvas.Bounds(kGreen);
            EXPECT_EQ(shade.right, shadow ? title.right + 2 : 0);
            EXPECT_EQ(shade.bottom, shadow ? title.bottom + 2 : 0);
        }
    }
}

TEST_F(MainTest, PageBitmapChoice) {
    WriteBytes(folder / "Tarv.bmp", SolidBitmapFile(2, 2, kRed));
    WriteBytes(folder / "Own.bmp", SolidBitmapFile(3, 5, kGreen));
    WriteBytes(folder / "Broken.bmp", "BM not a bitmap");
    WriteBytes(folder / "Tarv.ini",
               "[dialogbitmap]\r\ndlg_welcome=Own.bmp\r\nDLG_DIR=Missing.bmp\r\nDLG_START=\"\t Own.bmp \"\r\n"
               "DLG_README=Broken.bmp\r\nDLG_LICENSE=\r\n");
    // Width of the bitmap chosen, with and without Tarv.bmp (0: none).
    const struct {
        const char* page;
        int width, withoutTarvBmp;
    } cases[] = {{"DLG_WELCOME", 3, 3}, {"DLG_DIR", 2, 0},    {"DLG_START", 3, 3},
                 {"DLG_README", 2, 0},  {"DLG_LICENSE", 2, 0}, {"DLG_FINISH", 2, 0}};
    for (bool withTarvBmp : {true, false}) {
        if (!withTarvBmp) DeleteFileA((folder / "Tarv.bmp").c_str());
        for (const auto& c : cases) {
            HBITMAP bitmap = (HBITMAP)1;
            ASSERT_TRUE(LoadPageBitmap(c.page, bitmap));
            BITMAP info = {};
            if (bitmap) GetObjectA(bitmap, sizeof info, &info);
            EXPECT_EQ(info.bmWidth, withTarvBmp ? c.width : c.withoutTarvBmp) << c.page << withTarvBmp;
            if (bitmap) DeleteObject(bitmap);
        }
    }
    HANDLE lock = LockIni();
    HBITMAP bitmap = (HBITMAP)1;
    EXPECT_FALSE(LoadPageBitmap("DLG_WELCOME", bitmap));
    CloseHandle(lock);
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_EQ(TakeError(), CannotOpenIni().c_str());
}

}  // namespace
