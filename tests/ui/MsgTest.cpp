// The message window: its size, place, minimum display time and painting;
// and aligned text drawing into memory bitmaps.
#include "ui/Msg.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/RunState.h"
#include "config/wqStrUtils.h"
#include "support/CanvasTestSupport.h"
#include "support/TextTestSupport.h"
#include "system/wqUtils.h"
#include "ui/PageNames.h"
#include "ui/Resource.h"

namespace {

const COLORREF kWhite = RGB(255, 255, 255), kBlack = 0;

bool SameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != 0; }

struct AlignCase {
    const char* what;
    const char* text;
    int height;
    THorizontalAlign horizontal;
    TVerticalAlign vertical;
    const char* drawn;  // what DrawTextA then shows ...
    int top;            // ... this far below the rectangle's top
    UINT flag;
};

TEST(DrawAlignedText, WrapsAndPlacesTheLines) {
    HFONT font = CreateFontA(13, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, "Arial");
    Canvas probe(10, 10);
    SelectObject(probe.Dc(), font);
    ASSERT_EQ(TextExtentOnDC(probe.Dc(), "aaa").cy, 13);  // the line height the cases assume
    const int width = TextExtentOnDC(probe.Dc(), "aaa bb").cx;  // one word a line below
    const AlignCase cases[] = {
        // three 13-pixel lines leave 61 of 100 pixels: 30 above when centred
        {"centred", "aaa bbb ccc", 100, haLeft, vaCentre, "aaa\r\nbbb\r\nccc", 30, DT_LEFT},
        {"bottom", "aaa bbb ccc", 100, haLeft, vaBottom, "aaa\r\nbbb\r\nccc", 60, DT_LEFT},
        {"top", "aaa bbb ccc", 100, haRight, vaTop, "aaa\r\nbbb\r\nccc", 0, DT_RIGHT},
        {"more lines than room", "aaa bbb ccc", 20, haCentre, vaCentre, "aaa\r\nbbb\r\nccc", 0, DT_CENTER},
        {"one line, ampersand kept", "a&b", 100, haCentre, vaCentre, "a&b", 43, DT_CENTER | DT_NOPREFIX},
    };
    for (const AlignCase& c : cases) {
        Canvas drawn(200, 130, kWhite), expected(200, 130, kWhite);
        for (Canvas* canvas : {&drawn, &expected}) SelectObject(canvas->Dc(), font);
        const RECT rect = {20, 10, 20 + width, 10 + c.height};
        DrawAlignedText(drawn.Dc(), c.text, rect, c.horizontal, c.vertical, true);
        RECT at = rect;
        at.top += c.top;
        if (c.vertical == vaCentre) at.bottom -= c.top;  // the text is clipped there too
        DrawTextA(expected.Dc(), c.drawn, -1, &at, c.flag);
        const RECT ink = drawn.Bounds(kBlack);
        EXPECT_FALSE(IsRectEmpty(&ink)) << c.what;
        EXPECT_TRUE(SameRect(ink, expected.Bounds(kBlack))) << c.what;
        EXPECT_EQ(drawn.Count(kBlack), expected.Count(kBlack)) << c.what;
    }
    for (bool transparent : {true, false}) {
        Canvas canvas(200, 130, kWhite);
        SelectObject(canvas.Dc(), font);
        SetBkColor(canvas.Dc(), RGB(0, 255, 0));
        DrawAlignedText(canvas.Dc(), "aaa", canvas.Rect(), haLeft, vaTop, transparent);
        EXPECT_EQ(canvas.Count(RGB(0, 255, 0)) > 0, !transparent);
    }
    DeleteObject(font);
}

// The message window of this thread, found by its template tag.
HWND MessageWindow() {
    struct Search {
        static BOOL CALLBACK Visit(HWND window, LPARAM found) {
            if ((INT_PTR)GetPropA(window, kTemplateProperty) == TemplateIndex("DLG_MESSAGE") + 1)
                *(HWND*)found = window;
            return TRUE;
        }
    };
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), Search::Visit, (LPARAM)&found);
    return found;
}

RECT WindowRect(HWND window) {
    RECT r = {};
    GetWindowRect(window, &r);
    return r;
}

class MessageWindowTest : public testing::Test {
protected:
    void SetUp() override { RunState().Instance = GetModuleHandleA(nullptr); }
    void TearDown() override {
        DestroyMessageWindow();
        RunState() = TRunState();
    }
};

TEST_F(MessageWindowTest, SizedToItsTextAndCentred) {
    HWND bare = CreateDialogParamA(GetModuleHandleA(nullptr), "DLG_MESSAGE", nullptr, nullptr, 0);
    ASSERT_NE(bare, nullptr);
    const long extra = RectWidth(WindowRect(bare)) - RectWidth(WindowRect(GetDlgItem(bare, IDC_MESSAGE_TEXT)));
    DestroyWindow(bare);

    HideMessageWindow();  // before any text: nothing is made
    EXPECT_EQ(MessageWindow(), nullptr);
    const std::string longText(400, 'W');
    ShowMessageWindow("Registering fonts...", 0);
    HWND window = MessageWindow();
    ASSERT_NE(window, nullptr);
    HWND text = GetDlgItem(window, IDC_MESSAGE_TEXT);
    const struct {
        const char* text;
        long width;
    } cases[] = {
        {"", 50},
        {"Registering fonts...", TextExtentOfWindow(text, "Registering fonts...").cx},
        {longText.c_str(), 300},
    };
    const SIZE screen = ScreenSize();
    for (const auto& c : cases) {
        ShowMessageWindow(c.text, 0);
        EXPECT_EQ(MessageWindow(), window);  // one window, kept
        EXPECT_TRUE(IsWindowVisible(window));
        const RECT whole = WindowRect(window);
        EXPECT_EQ(RectWidth(WindowRect(text)), c.width) << c.text;
        EXPECT_EQ(RectWidth(whole), c.width + extra) << c.text;
        EXPECT_NEAR(whole.left + whole.right, screen.cx, 1) << c.text;
        EXPECT_NEAR(whole.top + whole.bottom, screen.cy, 1) << c.text;
        HideMessageWindow();
        EXPECT_FALSE(IsWindowVisible(window));
    }
    EXPECT_GT(cases[1].width, 50);
    EXPECT_LT(cases[1].width, 300);
}

TEST_F(MessageWindowTest, PaintsTheTextCentred) {
    ShowMessageWindow("Copying", 0);
    HWND window = MessageWindow();
    ASSERT_NE(window, nullptr);
    Canvas canvas(200, 40, kWhite);
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_STATIC;
    item.CtlID = IDC_MESSAGE_TEXT;
    item.hwndItem = GetDlgItem(window, IDC_MESSAGE_TEXT);
    item.hDC = canvas.Dc();
    item.rcItem = canvas.Rect();
    SendMessageA(window, WM_DRAWITEM, IDC_MESSAGE_TEXT, (LPARAM)&item);
    const RECT ink = canvas.Bounds(GetSysColor(COLOR_BTNTEXT));
    ASSERT_FALSE(IsRectEmpty(&ink));
    EXPECT_NEAR(ink.left, 200 - ink.right, 2);
    EXPECT_NEAR(ink.top, 40 - ink.bottom, 4);  // the ink of "Copying" sits in a taller line
    EXPECT_EQ(canvas.Count(kWhite), 0);          // the background is the dialog's
}

TEST_F(MessageWindowTest, MinimumDisplayTime) {
    DWORD start = GetTickCount();
    ShowMessageWindow("Step", 750);
    HideMessageWindow();
    EXPECT_GE(GetTickCount() - start, 750u);

    // A second text restarts the time.
    ShowMessageWindow("One", 800);
    Sleep(500);
    start = GetTickCount();
    ShowMessageWindow("Two", 800);
    HideMessageWindow();
    EXPECT_GE(GetTickCount() - start, 800u);

    // A step longer than the minimum time: hidden at once.
    ShowMessageWindow("Long step", 1000);
    Sleep(1200);
    start = GetTickCount();
    HideMessageWindow();
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_FALSE(IsWindowVisible(MessageWindow()));
}

TEST_F(MessageWindowTest, TemplateMissing) {
    RunState().Instance = GetModuleHandleA("kernel32.dll");
    DialogWatcher watcher(IDOK);
    ShowMessageWindow("Step", 0);
    EXPECT_EQ(watcher.Seen(), std::vector<std::string>{"Error|Cannot create message window!"});
    EXPECT_EQ(MessageWindow(), nullptr);
}

}  // namespace
