// Measuring and wrapping text on a real device context.
#include <gtest/gtest.h>

#include <windows.h>

#include <sstream>
#include <string>

#include "config/wqStrUtils.h"
#include "support/TestPrint.h"

namespace {

TEST(WrapToWidthTest, EveryLineFitsUnlessItIsOneWord) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    const TStr text = "The quick brown fox jumps over the lazy dog and an extraordinarilylongwordthatcannotfit";
    const int width = TextExtentOnDC(dc, "The quick brown").cx;
    TStr wrapped = WrapToWidth(dc, text, width);
    std::istringstream lines(wrapped.c_str());
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ++count;
        if (line.find(' ') != std::string::npos) {
            EXPECT_LE(TextExtentOnDC(dc, line.c_str()).cx, width) << line;
        }
    }
    EXPECT_GE(count, 4);
    EXPECT_EQ(ReplaceAllText(wrapped, "\r\n", " "), text);  // nothing lost, nothing added
    EXPECT_EQ(TextExtentOnDC(dc, "").cx, 0);
    DeleteDC(dc);
}

TEST(TextExtentOfWindowTest, UsesTheWindowsOwnFont) {
    HWND edit = CreateWindowA("EDIT", "", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    SendMessageA(edit, WM_SETFONT, (WPARAM)GetStockObject(ANSI_FIXED_FONT), FALSE);
    SIZE one = TextExtentOfWindow(edit, "i");
    SIZE ten = TextExtentOfWindow(edit, "iiiiiiiiii");
    SIZE wide = TextExtentOfWindow(edit, "W");
    EXPECT_GT(one.cx, 0);
    EXPECT_EQ(ten.cx, 10 * one.cx);
    EXPECT_EQ(wide.cx, one.cx);  // a fixed-pitch font: the window's, not the DC's default
    DestroyWindow(edit);
}

}  // namespace
