#include "system/wqUtils.h"

#include <gtest/gtest.h>

#include <string>

#include "config/wqErrors.h"

namespace {

std::string S(const TStr& s) { return std::string(s.c_str(), s.length()); }

// ---- Windows version ----

TEST(OSVersion, MakeOSVersionRules) {
    const struct {
        DWORD platform, major, minor, build;
        const char* csd;
        TOSKind kind;
        const char* versionText;
        long buildKept;
        const char* fullName;
    } cases[] = {
        // Windows 98 reports its version again in the high word of the build.
        {1, 4, 10, 0x040A07CE, "", osWin98, "4.10", 1998, "Windows 98 4.10.1998"},
        {1, 4, 0, 0x040003B6, "", osWin95, "4.0", 950, "Windows 95 4.0.0950"},
        {1, 4, 0, 0x04000457, " B", osWin95, "4.0", 1111, "Windows 95 4.0.1111  B"},
        {1, 4, 90, 0x045A0BB8, " ", osWin98, "4.90", 3000, "Windows 98 4.90.3000"},
        {1, 5, 0, 7, "", osWin98, "5.0", 7, "Windows 98 5.0.0007"},
        {2, 4, 0, 1381, "Service Pack 6", osWinNT, "4.0", 1381,
         "Windows NT 4.0.1381 Service Pack 6"},
        {2, 3, 51, 1057, "", osWinNT, "3.51", 1057, "Windows NT 3.51.1057"},
        {2, 5, 0, 2195, "", osWin2000, "5.0", 2195, "Windows 2000 5.0.2195"},
        {2, 5, 1, 2600, "Service Pack 2\r\n", osWin2000, "5.01", 2600,
         "Windows 2000 5.01.2600 Service Pack 2"},
        {2, 10, 0, 0x12345678, "", osWin2000, "10.0", 0x12345678, "Windows 2000 10.0.305419896"},
        {0, 1, 30, 159, "", osWin32s, "1.30", 159, "Windows 32s 1.30.0159"},
    };
    for (const auto& c : cases) {
        TOSVersion v = MakeOSVersion(c.platform, c.major, c.minor, c.build, c.csd);
        SCOPED_TRACE(c.fullName);
        EXPECT_EQ(v.Kind, c.kind);
        EXPECT_EQ(v.Major, (long)c.major);
        EXPECT_EQ(v.Minor, (long)c.minor);
        EXPECT_EQ(S(v.VersionText), c.versionText);
        EXPECT_EQ(v.Build, c.buildKept);
        EXPECT_EQ(S(v.ServicePack), c.csd);
        EXPECT_EQ(S(v.FullName), c.fullName);
    }
}

// Wine answers GetVersionExA as Windows 7 SP1 (6.1.7601, NT platform); the
// minor number is written with two digits, as 5.1 is "5.01".
TEST(OSVersion, UnderWine) {
    TOSVersion v = GetOSVersion();
    EXPECT_EQ(v.Kind, osWin2000);
    EXPECT_EQ(v.Build, 7601);
    EXPECT_EQ(S(v.FullName).rfind("Windows 2000 6.01.7601", 0), 0u) << S(v.FullName);
    EXPECT_EQ(OSVersion().Kind, osWin2000);
}

// ---- Folders ----

TEST(Folders, SameAsFixedBufferCalls) {
    char buffer[MAX_PATH];
    UINT n = GetWindowsDirectoryA(buffer, MAX_PATH);
    EXPECT_EQ(S(GetWindowsFolder()), std::string(buffer, n));
    n = GetSystemDirectoryA(buffer, MAX_PATH);
    EXPECT_EQ(S(GetSystemFolder()), std::string(buffer, n));
    n = GetTempPathA(MAX_PATH, buffer);
    EXPECT_EQ(S(GetTempFolder()), std::string(buffer, n));  // Wine's ends in "\" already
}

TEST(Folders, TempFolderFallback) {
    const TOSVersion win95 = MakeOSVersion(1, 4, 0, 950, "");
    const TOSVersion win98 = MakeOSVersion(1, 4, 10, 1998, "");
    const TOSVersion nt4 = MakeOSVersion(2, 4, 0, 1381, "");
    const TOSVersion win7 = MakeOSVersion(2, 6, 1, 7601, "");
    const struct { const char* temp; const char* current; const TOSVersion* os; const char* win;
                   const char* result; } cases[] = {
        {"C:\\TEMP\\", "C:\\Setup\\", &win95, "C:\\WINDOWS", "C:\\TEMP\\"},
        {"C:\\Setup\\", "C:\\Setup\\", &win95, "C:\\WINDOWS", "C:\\WINDOWS\\Temp\\"},
        {"c:\\setup\\", "C:\\SETUP\\", &win98, "D:\\WIN98\\", "D:\\WIN98\\Temp\\"},
        {"C:\\Setup\\", "C:\\Setup\\", &nt4, "C:\\WINNT", "C:\\Temp\\"},
        {"D:\\x\\", "d:\\X\\", &win7, "C:\\Windows", "C:\\Temp\\"},
        // Only ASCII letters fold: these two are different folders.
        {"C:\\\xC4\\", "C:\\\xE4\\", &win95, "C:\\WINDOWS", "C:\\\xC4\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(S(ChooseTempFolder(c.temp, c.current, *c.os, c.win)), c.result)
            << c.temp << " / " << c.current;
}

// ---- Screen and windows ----

TEST(Screen, KeepRectOnScreen) {
    const struct { RECT in; RECT out; } cases[] = {
        {{10, 20, 110, 220}, {10, 20, 110, 220}},
        {{750, 0, 850, 100}, {700, 0, 800, 100}},     // off the right edge
        {{-30, -40, 70, 60}, {0, 0, 100, 100}},        // off the left and top
        {{100, 550, 200, 650}, {100, 500, 200, 600}},  // off the bottom
        {{-100, 0, 900, 100}, {0, 0, 1000, 100}},      // wider than the screen: left wins
        {{50, 0, 1050, 100}, {0, 0, 1000, 100}},
        {{0, -200, 100, 500}, {0, 0, 100, 700}},       // taller than the screen: top wins
    };
    for (const auto& c : cases) {
        RECT r = c.in;
        KeepRectOnScreen(r, 800, 600);
        EXPECT_TRUE(r.left == c.out.left && r.top == c.out.top && r.right == c.out.right &&
                    r.bottom == c.out.bottom)
            << c.in.left << "," << c.in.top << " -> " << r.left << "," << r.top << ","
            << r.right << "," << r.bottom;
    }
}

// A real top-level window on Wine's display (Xvfb in the test runs).
class WindowTest : public ::testing::Test {
protected:
    HWND Make(int w, int h) {
        window = CreateWindowExA(0, "STATIC", "centre me", WS_POPUP, 3, 5, w, h, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        return window;
    }
    void TearDown() override {
        if (window) DestroyWindow(window);
    }
    HWND window = nullptr;
};

TEST_F(WindowTest, CentreWindow) {
    SIZE screen = ScreenSize();
    ASSERT_GT(screen.cx, 0);
    const struct { int w, h; } sizes[] = {{300, 200}, {301, 199}, {screen.cx + 200, 50}};
    for (const auto& s : sizes) {
        ASSERT_TRUE(Make(s.w, s.h));
        CentreWindow(window);
        RECT r;
        GetWindowRect(window, &r);
        long left = s.w > screen.cx ? 0 : (screen.cx - s.w) / 2;
        EXPECT_EQ(r.left, left) << s.w;
        EXPECT_EQ(r.top, (screen.cy - s.h) / 2) << s.h;
        EXPECT_EQ(RectWidth(r), s.w);
        EXPECT_EQ(RectHeight(r), s.h);
        DestroyWindow(window);
        window = nullptr;
    }
}

// ---- Colours ----

TEST(Colors, ColorFromText) {
    TakeError();
    EXPECT_EQ(ColorFromText("$FF8000"), 16744448);
    EXPECT_EQ(ColorFromText("255"), 255);
    EXPECT_FALSE(ErrorPending());
    EXPECT_EQ(ColorFromText("orange"), 0);
    EXPECT_EQ(S(TakeError()), "'orange' is not a valid integer value");
}

TEST(Colors, ResolveColor) {
    EXPECT_EQ(ResolveColor(0x123456), 0x123456u);
    EXPECT_EQ(ResolveColor((long)(0x80000000u | COLOR_WINDOWTEXT)), GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(ResolveColor((long)(0xFF000000u | COLOR_BTNFACE)), GetSysColor(COLOR_BTNFACE));
}

}  // namespace
