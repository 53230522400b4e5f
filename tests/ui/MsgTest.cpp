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

TEST(DrawAlignedText, WrapsAndPlacesTheLines) {
    HFONT font = CreateFontA(13, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, "Arial");
    Canvas probe(10, 10);
    SelectObject(probe.Dc(), font);
    ASSERT_EQ(TextExtentOnDC(probe.Dc(), "aaa").cy, 13);  // the line height the cases assume
    const int width = TextExtentOnDC(probe.Dc(), "aaa bb").cx;  // one word a line
    const struct {
        const char* text;
        int height;
        THorizontalAlign horizontal;
        TVerticalAlign vertical;
        const char* drawn;  // what DrawTextA then shows this far below the top:
        int top;
        UINT flag;
    } cases[] = {
        // three 13-pixel lines leave 61 of 100 pixels: 30 above when centred
        {"aaa bbb ccc", 100, haLeft, vaCentre, "aaa\r\nbbb\r\nccc", 30, DT_LEFT},
        {"aaa bbb ccc", 100, haLeft, vaBottom, "aaa\r\nbbb\r\nccc", 60, DT_LEFT},
        {"aaa bbb ccc", 100, haRight, vaTop, "aaa\r\nbbb\r\nccc", 0, DT_RIGHT},
        {"aaa bbb ccc", 20, haCentre, vaCentre, "aaa\r\nbbb\r\nccc", 0, DT_CENTER},  // no room: no offset
        {"a&b", 100, haCentre, vaCentre, "a&b", 43, DT_CENTER | DT_NOPREFIX},
    };
    for (const auto& c : cases) {
        Canvas drawn(200, 130, kWhite), expected(200, 130, kWhite);
        SelectObject(drawn.Dc(), font);
        SelectObject(expected.Dc(), font);
        const RECT rect = {20, 10, 20 + width, 10 + c.height};
        DrawAlignedText(drawn.Dc(), c.text, rect, c.horizontal, c.vertical, true);
        RECT at = rect;
        at.top += c.top;
        if (c.vertical == vaCentre) at.bottom -= c.top;  // the text is clipped there too
        DrawTextA(expected.Dc(), c.drawn, -1, &at, c.flag);
        const RECT ink = drawn.Bounds(kBlack), wanted = expected.Bounds(kBlack);
        EXPECT_FALSE(IsRectEmpty(&ink)) << c.top;
        EXPECT_TRUE(EqualRect(&ink, &wanted)) << c.top;
        EXPECT_EQ(drawn.Count(kBlack), expected.Count(kBlack)) << c.top;
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
            if ((INT_PTR)GetPropA(window, kTemplateProperty) == TemplateIndex("DLG_MESSAGE") + 1) *(HWND*)found = window;
            return TRUE;
        }
    };
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), Search::Visit, (LPARAM)&found);
    return found;
}

long Width(HWND window) {
    RECT r = {};
    GetWindowRect(window, &r);
    return RectWidth(r);
}

class MessageWindowTest : public testing::Test {
protected:
    void SetUp() override { RunState().Instance = GetModuleHandleA(nullptr); }
    void TearDown() override {
        DestroyMessageWindow();
        RunState() = TRunState();
    }
};

TEST_F(MessageWindowTest, SizedToItsTextCentredAndPainted) {
    HWND bare = CreateDialogParamA(GetModuleHandleA(nullptr), "DLG_MESSAGE", nullptr, nullptr, 0);
    const long extra = Width(bare) - Width(GetDlgItem(bare, IDC_MESSAGE_TEXT));
    DestroyWindow(bare);
    HideMessageWindow();  // before any text: nothing is made
    EXPECT_EQ(MessageWindow(), nullptr);

    const std::string longText(400, 'W');
    for (const char* text : {"Registering fonts...", "", longText.c_str()}) {
        ShowMessageWindow(text, 0);
        HWND window = MessageWindow();
        ASSERT_NE(window, nullptr);
        HWND control = GetDlgItem(window, IDC_MESSAGE_TEXT);
        long width = TextExtentOfWindow(control, text).cx;
        width = width < 50 ? 50 : width > 300 ? 300 : width;
        EXPECT_EQ(Width(control), width) << text;
        EXPECT_EQ(Width(window), width + extra) << text;
        RECT whole;
        GetWindowRect(window, &whole);
        EXPECT_NEAR(whole.left + whole.right, ScreenSize().cx, 1);
        EXPECT_NEAR(whole.top + whole.bottom, ScreenSize().cy, 1);
        EXPECT_TRUE(IsWindowVisible(window));
        HideMessageWindow();
        EXPECT_FALSE(IsWindowVisible(window));
    }

    // The text control is owner-drawn: the window paints the text, centred.
    ShowMessageWindow("Copying", 0);
    Canvas canvas(200, 40, kWhite);
    DRAWITEMSTRUCT item = {ODT_STATIC, IDC_MESSAGE_TEXT};
    item.hDC = canvas.Dc();
    item.rcItem = canvas.Rect();
    SendMessageA(MessageWindow(), WM_DRAWITEM, IDC_MESSAGE_TEXT, (LPARAM)&item);
    const RECT ink = canvas.Bounds(GetSysColor(COLOR_BTNTEXT));
    ASSERT_FALSE(IsRectEmpty(&ink));
    EXPECT_NEAR(ink.left, 200 - ink.right, 2);
    EXPECT_NEAR(ink.top, 40 - ink.bottom, 4);  // the ink of "Copying" sits in a taller line
    EXPECT_EQ(canvas.Count(kWhite), 0);          // the dialog's own background
}

TEST_F(MessageWindowTest, MinimumDisplayTime) {
    DWORD start = GetTickCount();
    ShowMessageWindow("Step", 750);
    HideMessageWindow();
    EXPECT_GE(GetTickCount() - start, 750u);

    ShowMessageWindow("One", 800);  // a second text restarts the time
    Sleep(500);
    start = GetTickCount();
    ShowMessageWindow("Two", 800);
    HideMessageWindow();
    EXPECT_GE(GetTickCount() - start, 800u);

    ShowMessageWindow("Long step", 1000);  // a step longer than that: hidden at once
    Sleep(1200);
    start = GetTickCount();
    HideMessageWindow();
    EXPECT_LT(GetTickCount() - start, 1000u);
}

TEST_F(MessageWindowTest, TemplateMissing) {
    RunState().Instance = GetModuleHandleA("kernel32.dll");
    DialogWatcher watcher(IDOK);
    ShowMessageWindow("Step", 0);
    EXPECT_EQ(watcher.Seen(), std::vector<std::string>{"Error|Cannot create message window!"});
    EXPECT_EQ(MessageWindow(), nullptr);
}

}  // namespace
