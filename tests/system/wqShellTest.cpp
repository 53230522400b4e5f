// Shell services under Wine: special folders, starting a program and waiting
// for it (with the helper ExitWith.exe next to this test program), and the
// folder chooser answered by a watcher thread.
#include "system/wqShell.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "config/wqErrors.h"
#include "support/TestPrint.h"
#include "support/TextTestSupport.h"

namespace {

std::string S(const TStr& s) { return std::string(s.c_str(), s.length()); }

TEST(SpecialFolders, TableOrderAndPaths) {
    const struct {
        int csidl;
        const char* variable;
    } expected[kSpecialFolderCount] = {
        {0x10, "Desktop"}, {0x14, "Fonts"},       {0x13, "NetHood"},   {0x05, "Personal"},
        {0x02, "ProgramsMenu"}, {0x08, "Recent"}, {0x09, "SendTo"},    {0x0B, "StartMenu"},
        {0x07, "StartupMenu"},  {0x15, "Templates"},
    };
    for (int i = 0; i < kSpecialFolderCount; ++i) {
        SCOPED_TRACE(expected[i].variable);
        EXPECT_EQ(SpecialFolderTable[i].Csidl, expected[i].csidl);
        EXPECT_STREQ(SpecialFolderTable[i].Variable, expected[i].variable);
        // The same folder asked for through another shell entry point.
        char other[MAX_PATH] = "";
        ASSERT_EQ(SHGetFolderPathA(0, expected[i].csidl, 0, 0, other), S_OK);
        // Wine hands out some folders (Personal) with a final "\\" through
        // one entry point and not the other; the variables drop it anyway.
        std::string path = S(GetSpecialFolder(i));
        EXPECT_FALSE(path.empty());
        if (!path.empty() && path.back() == '\\') path.pop_back();
        EXPECT_EQ(path, other);
    }
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    EXPECT_STRCASEEQ(GetSpecialFolder(1).c_str(), (std::string(windows) + "\\Fonts").c_str());
    EXPECT_EQ(GetSpecialFolder(-1), "");
    EXPECT_EQ(GetSpecialFolder(kSpecialFolderCount), "");
}

std::string HelperPath(const char* name) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    return path.substr(0, path.rfind('\\') + 1) + name;
}

TEST(RunAndWaitTest, ReturnsTheExitCode) {
    const TStr exitWith = HelperPath("ExitWith.exe").c_str();
    ASSERT_NE(GetFileAttributesA(exitWith.c_str()), INVALID_FILE_ATTRIBUTES) << "build ExitWith first";
    for (long code : {3L, 0L, 255L, 70000L}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(RunAndWait(0, exitWith, IntToStr(code), "", SW_HIDE), code);
    }
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    EXPECT_EQ(RunAndWait(0, exitWith, "12 300", temp, SW_SHOWNORMAL), 12);  // waits it out
}

TEST(RunAndWaitTest, FileThatCannotBeStartedGivesMinusOne) {
    DialogWatcher watcher(IDOK);  // the shell reports the file in a box of its own
    EXPECT_EQ(RunAndWait(0, "C:\\no such folder\\nothing.exe", "", "", SW_SHOWNORMAL), -1);
    for (const std::string& box : watcher.Seen()) printf("shell's box: %s\n", box.c_str());
}

bool timerRan = false;
void CALLBACK PostQuit(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(0, id);
    timerRan = true;
    PostQuitMessage(0);
}

TEST(RunAndWaitTest, QuitWhileWaitingEndsTheWaitAndIsConsumed) {
    const TStr exitWith = HelperPath("ExitWith.exe").c_str();
    timerRan = false;
    SetTimer(0, 0, 200, PostQuit);  // dispatched by RunAndWait's own message loop
    DWORD start = GetTickCount();
    EXPECT_EQ(RunAndWait(0, exitWith, "7 4000", "", SW_HIDE), -1);
    EXPECT_TRUE(timerRan);
    EXPECT_LT(GetTickCount() - start, 3000u);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, 0, WM_QUIT, WM_QUIT, PM_REMOVE));
}

class ChooserTest : public testing::Test {
protected:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override {
        CoUninitialize();
        TakeError();
    }
};

TEST_F(ChooserTest, OkTakesThePreselectedFolder) {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    const struct {
        TStr start;
        TStr chosen;
    } cases[] = {
        {windows, windows},
        {TStr(windows) + "\\", windows},  // a trailing "\" goes
        {"C:\\", "C:\\"},                 // but not from a drive root
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start.c_str());
        DialogWatcher watcher(IDOK, 500);
        TStr path = c.start;
        EXPECT_TRUE(BrowseForInstallFolder(0, "Choose the folder", path));
        EXPECT_STRCASEEQ(path.c_str(), c.chosen.c_str());
        ASSERT_EQ(watcher.Seen().size(), 1u);
        EXPECT_NE(watcher.Seen()[0].find("Choose the folder"), std::string::npos);
    }
    EXPECT_FALSE(ErrorPending());
}

TEST_F(ChooserTest, CancelLeavesThePath) {
    DialogWatcher watcher(IDCANCEL, 200);
    TStr path = "C:\\Program Files\\Demo";
    EXPECT_FALSE(BrowseForInstallFolder(0, "Choose", path));
    EXPECT_EQ(path, "C:\\Program Files\\Demo");
    EXPECT_EQ(watcher.Seen().size(), 1u);
}

}  // namespace
