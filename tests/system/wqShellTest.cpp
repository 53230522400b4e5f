// Shell services under Wine; RunAndWait starts ExitWith.exe from next to this
// program, and a watcher thread answers the folder chooser.
#include "system/wqShell.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "config/wqErrors.h"
#include "support/TestPrint.h"
#include "support/TextTestSupport.h"

namespace {

// The variables' names and order are checked where they are made (text/Common).
TEST(SpecialFolders, EachEntryIsTheFolderItNames) {
    const int expected[kSpecialFolderCount] = {
        CSIDL_DESKTOPDIRECTORY, CSIDL_FONTS,    CSIDL_NETHOOD, CSIDL_PERSONAL,  CSIDL_PROGRAMS,
        CSIDL_RECENT,           CSIDL_SENDTO,   CSIDL_STARTMENU, CSIDL_STARTUP, CSIDL_TEMPLATES};
    for (int i = 0; i < kSpecialFolderCount; ++i) {
        SCOPED_TRACE(SpecialFolderTable[i].Variable);
        EXPECT_EQ(SpecialFolderTable[i].Csidl, expected[i]);  // Wine gives Desktop and its folder one path
        char other[MAX_PATH] = "";  // the same folder through another entry point
        ASSERT_EQ(SHGetFolderPathA(0, expected[i], 0, 0, other), S_OK);
        std::string path = GetSpecialFolder(i).c_str();
        EXPECT_FALSE(path.empty());
        if (!path.empty() && path.back() == '\\') path.pop_back();  // Wine differs on Personal
        EXPECT_EQ(path, other);
    }
    EXPECT_EQ(GetSpecialFolder(-1), "");
    EXPECT_EQ(GetSpecialFolder(kSpecialFolderCount), "");
}

TStr ExitWith() {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    return (path.substr(0, path.rfind('\\') + 1) + "ExitWith.exe").c_str();
}

TEST(RunAndWaitTest, ReturnsTheExitCodeOrMinusOne) {
    ASSERT_NE(GetFileAttributesA(ExitWith().c_str()), INVALID_FILE_ATTRIBUTES) << "build ExitWith first";
    for (long code : {3L, 0L, 70000L}) EXPECT_EQ(RunAndWait(0, ExitWith(), IntToStr(code), "", SW_HIDE), code);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    EXPECT_EQ(RunAndWait(0, ExitWith(), "12 300", temp, SW_SHOWNORMAL), 12);  // waits it out
    DialogWatcher watcher(IDOK);  // the shell may report the file in a box of its own
    EXPECT_EQ(RunAndWait(0, "C:\\no such folder\\nothing.exe", "", "", SW_SHOWNORMAL), -1);
}

bool timerRan = false;
void CALLBACK PostQuit(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(0, id);
    timerRan = true;
    PostQuitMessage(0);
}

TEST(RunAndWaitTest, QuitWhileWaitingEndsTheWaitAndIsConsumed) {
    SetTimer(0, 0, 200, PostQuit);  // dispatched by RunAndWait's own message loop
    DWORD start = GetTickCount();
    EXPECT_EQ(RunAndWait(0, ExitWith(), "7 4000", "", SW_HIDE), -1);
    EXPECT_TRUE(timerRan);
    EXPECT_LT(GetTickCount() - start, 3000u);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, 0, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// The system names a chosen folder without a final "\" except a drive root,
// which keeps it.
TEST(FolderChooser, OkTakesThePreselectedFolderCancelLeavesThePath) {
    CoInitialize(nullptr);
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    const struct { TStr start, chosen; int answer; TBrowseResult result; } cases[] = {
        {TStr(windows) + "\\", windows, IDOK, brChosen},
        {"C:\\", "C:\\", IDOK, brChosen},
        {"C:\\Program Files\\Demo", "C:\\Program Files\\Demo", IDCANCEL, brCancelled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start.c_str());
        DialogWatcher watcher(c.answer, 500);
        TStr path = c.start;
        EXPECT_EQ(BrowseForInstallFolder(0, "Choose the folder", path), c.result);
        EXPECT_STRCASEEQ(path.c_str(), c.chosen.c_str());
        ASSERT_EQ(watcher.Seen().size(), 1u);
        EXPECT_NE(watcher.Seen()[0].find("Choose the folder"), std::string::npos);
    }
    EXPECT_FALSE(ErrorPending());
    CoUninitialize();
}

}  // namespace
