// Windows version, system folders, screen and colour helpers under Wine.
#include "system/wqUtils.h"

#include <gtest/gtest.h>

#include <string>

#include "config/wqErrors.h"

namespace {

std::string S(const TStr& s) { return std::string(s.c_str(), s.length()); }

// Expected: kind, major.minor, version text, build kept, full name.
TEST(OSVersion, MakeOSVersionRules) {
    const struct { DWORD platform, major, minor, build; const char *csd, *record; } cases[] = {
        // Windows 95/98 report the version again in the high word of the build.
        {1, 4, 10, 0x040A07CE, "", "2|4.10|4.10|1998|Windows 98 4.10.1998"},
        {1, 4, 0, 0x040003B6, "", "1|4.0|4.0|950|Windows 95 4.0.0950"},
        {1, 4, 0, 0x04000457, " B", "1|4.0|4.0|1111|Windows 95 4.0.1111  B"},
        {1, 4, 90, 0x045A0BB8, " ", "2|4.90|4.90|3000|Windows 98 4.90.3000"},
        {1, 5, 0, 7, "", "2|5.0|5.0|7|Windows 98 5.0.0007"},
        {2, 4, 0, 1381, "Service Pack 6", "3|4.0|4.0|1381|Windows NT 4.0.1381 Service Pack 6"},
        {2, 5, 1, 2600, "SP2\r\n", "4|5.1|5.01|2600|Windows 2000 5.01.2600 SP2"},
        {2, 10, 0, 0x12345678, "", "4|10.0|10.0|305419896|Windows 2000 10.0.305419896"},
        {0, 1, 30, 159, "", "0|1.30|1.30|159|Windows 32s 1.30.0159"},
    };
    for (const auto& c : cases) {
        TOSVersion v = MakeOSVersion(c.platform, c.major, c.minor, c.build, c.csd);
        EXPECT_EQ(std::to_string(v.Kind) + "|" + std::to_string(v.Major) + "." + std::to_string(v.Minor) + "|" +
                      S(v.VersionText) + "|" + std::to_string(v.Build) + "|" + S(v.FullName),
                  c.record);
    }
    // Wine answers as Windows 7 SP1 (6.1.7601, NT platform).
    EXPECT_EQ(S(GetOSVersion().FullName).rfind("Windows 2000 6.01.7601", 0), 0u) << S(GetOSVersion().FullName);
    EXPECT_EQ(OSVersion().Kind, osWin2000);
}

TEST(Folders, SameAsFixedBufferCallsAndTheTempFallback) {
    char buffer[MAX_PATH];
    EXPECT_EQ(S(GetWindowsFolder()), std::string(buffer, GetWindowsDirectoryA(buffer, MAX_PATH)));
    EXPECT_EQ(S(GetSystemFolder()), std::string(buffer, GetSystemDirectoryA(buffer, MAX_PATH)));
    EXPECT_EQ(S(GetTempFolder()), std::string(buffer, GetTempPathA(MAX_PATH, buffer)));
    const TOSVersion win95 = MakeOSVersion(1, 4, 0, 950, ""), win98 = MakeOSVersion(1, 4, 10, 1998, "");
    const TOSVersion nt4 = MakeOSVersion(2, 4, 0, 1381, ""), win7 = MakeOSVersion(2, 6, 1, 7601, "");
    const struct { const char *temp, *current; const TOSVersion& os; const char *win, *result; } cases[] = {
        {"C:\\TEMP\\", "C:\\Setup\\", win95, "C:\\WINDOWS", "C:\\TEMP\\"},
        {"C:\\Setup\\", "C:\\Setup\\", win95, "C:\\WINDOWS", "C:\\WINDOWS\\Temp\\"},
        {"c:\\setup\\", "C:\\SETUP\\", win98, "D:\\WIN98\\", "D:\\WIN98\\Temp\\"},
        {"C:\\Setup\\", "C:\\Setup\\", nt4, "C:\\WINNT", "C:\\Temp\\"},
        {"D:\\x\\", "d:\\X\\", win7, "C:\\Windows", "C:\\Temp\\"},
        {"C:\\\xC4\\", "C:\\\xE4\\", win95, "C:\\WINDOWS", "C:\\\xC4\\"},  // only ASCII letters fold
    };
    for (const auto& c : cases)
        EXPECT_EQ(S(ChooseTempFolder(c.temp, c.current, c.os, c.win)), c.result) << c.temp << " / " << c.current;
}

TEST(Screen, KeepRectOnScreen) {
    const struct { RECT in, out; } cases[] = {
        {{10, 20, 110, 220}, {10, 20, 110, 220}},
        {{750, 0, 850, 100}, {700, 0, 800, 100}},      // off the right edge
        {{-30, -40, 70, 60}, {0, 0, 100, 100}},        // off the left and top
        {{100, 550, 200, 650}, {100, 500, 200, 600}},  // off the bottom
        {{50, 0, 1050, 100}, {0, 0, 1000, 100}},       // wider than the screen: left wins
        {{0, -200, 100, 500}, {0, 0, 100, 700}},       // taller than the screen: top wins
    };
    for (const auto& c : cases) {
        RECT r = c.in;
        KeepRectOnScreen(r, 800, 600);
        EXPECT_TRUE(EqualRect(&r, &c.out)) << c.in.left << "," << c.in.top << " -> " << r.left << "," << r.top
                                           << "," << r.right << "," << r.bottom;
    }
}

// A real top-level window on Wine's display.
TEST(Screen, CentreWindow) {
    SIZE screen = ScreenSize();
    ASSERT_GT(screen.cx, 0);
    const struct { int w, h; } sizes[] = {{300, 200}, {301, 199}, {screen.cx + 200, 50}};
    for (const auto& s : sizes) {
        HWND window = CreateWindowExA(0, "STATIC", "centre me", WS_POPUP, 3, 5, s.w, s.h, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(window);
        CentreWindow(window);
        RECT r;
        GetWindowRect(window, &r);
        DestroyWindow(window);
        EXPECT_EQ(r.left, s.w > screen.cx ? 0 : (screen.cx - s.w) / 2) << s.w;
        EXPECT_EQ(r.top, (screen.cy - s.h) / 2) << s.h;
        EXPECT_EQ(RectWidth(r), s.w);
        EXPECT_EQ(RectHeight(r), s.h);
    }
}

// The integer rule is wqArithm's; here: the raise, and the colour left alone.
TEST(Colors, ColorFromTextAndResolveColor) {
    TakeError();
    long color = 0;
    EXPECT_TRUE(ColorFromText("$FF8000", color));
    EXPECT_EQ(color, 16744448);
    EXPECT_FALSE(ErrorPending());
    EXPECT_FALSE(ColorFromText("orange", color));
    EXPECT_EQ(color, 16744448);
    EXPECT_EQ(S(TakeError()), "'orange' is not a valid integer value");
    EXPECT_EQ(ResolveColor(0x123456), 0x123456u);
    EXPECT_EQ(ResolveColor((long)(0x80000000u | COLOR_WINDOWTEXT)), GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(ResolveColor((long)(0xFF000000u | COLOR_BTNFACE)), GetSysColor(COLOR_BTNFACE));
}

}  // namespace
