// The post-install steps where the full installations (InstallRunTest) do
// not reach: number forms, failures and their boxes, Windows 98's font rule,
// program start modes.
#include "install/Actions.h"

#include <gtest/gtest.h>

#include "config/RunState.h"
#include "config/wqErrors.h"
#include "config/wqPath.h"
#include "config/wqRegIni.h"
#include "install/IniEdit.h"
#include "install/InstallTestDoubles.h"
#include "install/Log.h"
#include "support/InstallTestSupport.h"
#include "support/SystemTestSupport.h"
#include "support/TestPrint.h"
#include "support/TextTestSupport.h"
#include "support/WinTestSupport.h"
#include "system/wqShellLink.h"
#include "ui/Msg.h"

std::vector<std::string> messageWindowRecord;
void ShowMessageWindow(const TStr& text, DWORD) { messageWindowRecord.push_back("show " + std::string(text.c_str())); }
void HideMessageWindow() { messageWindowRecord.push_back("hide"); }

namespace {

class ActionsTest : public testing::Test {
protected:
    void SetUp() override {
        RunState() = TRunState();
        DeleteRegTreeForTest(HKEY_CURRENT_USER, "Software\\TarvTest");
        StartLog(log.c_str());
        messageWindowRecord.clear();
        SetMessageBoxTitle("");
    }
    void TearDown() override {
        (void)ProfileFlushAll();
        StopLog();
        TakeError();
        RunState() = TRunState();
        DeleteRegTreeForTest(HKEY_CURRENT_USER, "Software\\TarvTest");
    }
    std::string Log() { return LogFlush() ? ReadBytes(log) : "<not flushed>"; }
    ScratchFolder dir;
    std::string log = dir / "install.log";
};

TEST_F(ActionsTest, RegistryNumbersStringsOldValuesAndAFailureThatStopsTheStep) {
    ASSERT_TRUE(RegWriteString("HKCU\\Software\\TarvTest\\Old", "before"));
    RunState().RegValueList = ListOf({"HKCU\\Software\\TarvTest\\Hex=#$10", "HKCU\\Software\\TarvTest\\Bad=#abc,0",
                                      "HKCU\\Software\\TarvTest\\Old=42,0", "HKCU\\Software\\TarvTest\\Q\\V=x,1",
                                      "HKXX\\Software\\B=2", "HKCU\\Software\\TarvTest\\After=3"});
    DialogWatcher watcher(IDOK);
    EXPECT_FALSE(ApplyRegValues());
    EXPECT_EQ(watcher.Seen(), std::vector<std::string>{"Error|Error on changing registry data!"});
    const struct { const char* key; const char* name; DWORD type; std::string data; } expected[] = {
        {"Software\\TarvTest", "Hex", REG_DWORD, std::string("\x10\0\0\0", 4)},
        {"Software\\TarvTest", "Bad", REG_DWORD, std::string(4, '\0')},
        {"Software\\TarvTest", "Old", REG_SZ, "42"},       {"Software\\TarvTest\\Q", "V", REG_SZ, "x"},
        {"Software\\TarvTest", "After", 0, "<absent>"},  // after the failure
    };
    for (const auto& e : expected) {
        DWORD type = 0;
        EXPECT_EQ(RegValueForTest(HKEY_CURRENT_USER, e.key, e.name, &type), e.data) << e.name;
        EXPECT_EQ(type, e.type) << e.name;
    }
    EXPECT_TRUE(CreateKeyPath("HKLM"));  // a root alone is neither created nor logged
    // The old value is not logged; flag 1 logs neither Q nor V.
    EXPECT_EQ(Log(), "[AddReg]\r\nHKCU\\Software\\TarvTest\\Hex=#$10\r\nHKCU\\Software\\TarvTest\\Bad=#abc\r\n\r\n");
}

TEST(IniEditText, OnlyTheKeysLineChanges) {
    const struct { const char* before; const char* section; const char* key; const char* after; } cases[] = {
        {"; c\r\n[Main]\r\nSize = 5\r\nnoequals\r\n[main]\r\nSize=7\r\n", "MAIN", "size",
         "; c\r\n[Main]\r\nsize=10\r\nnoequals\r\n[main]\r\nSize=7\r\n"},
        {"[A]\nx=1\n\n[B]\ny=2\n", "A", "k", "[A]\nx=1\nk=10\r\n\n[B]\ny=2\n"},  // line feeds only
        {"[A]\r\n;k=9\r\nx=1", "A", "k", "[A]\r\n;k=9\r\nx=1\r\nk=10"},              // no final line end
        {"[A]\r\n", "A", "k", "[A]\r\nk=10\r\n"},
        {"[A]\r\nx=1", "New", "k", "[A]\r\nx=1\r\n[New]\r\nk=10\r\n"},
        {"", "New", "k", "[New]\r\nk=10\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(SetIniValueText(c.before, c.section, c.key, "10"), c.after) << c.before;
}

TEST_F(ActionsTest, IniShortcutAndServerFailuresShowTheirBoxes) {
    const std::string ini = dir / "demo.ini", none = HelperPath("TestNoServer.dll");
    ASSERT_TRUE(WriteBytes(ini, "[Main]\r\n") && StartComLibrary());
    HANDLE lock = CreateFileA(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    RunState().IniValueList = ListOf({(ini + ",Main,Size=11,0").c_str()});
    RunState().ShortcutList = ListOf({(dir / "Menu\\No:Name=C:\\x.exe,,,1").c_str()});
    RunState().ServerList = ListOf({(none + "=1,0").c_str()});
    DialogWatcher watcher(IDOK);
    EXPECT_FALSE(ApplyIniValues());
    EXPECT_FALSE(CreateShortcuts());
    EXPECT_TRUE(RegisterServers());  // reported, not fatal
    CloseHandle(lock);
    EndComLibrary();
    EXPECT_EQ(watcher.Seen(), (std::vector<std::string>{
                                  "Error|Error on changing ini-file!", "Error|Error on creating shortcut!",
                                  "Error|Cannot register OLE server!\r\rAfter install try to register it "
                                  "manually:\rregsvr32.exe \"" + none + "\""}));
    EXPECT_EQ(Log(), "<missing>");  // flag 1 and the server's 0: nothing logged, no folder either
}

// Counts the WM_FONTCHANGE broadcasts a top-level window of this thread gets.
int fontChanges = 0;
LRESULT CALLBACK CountFontChanges(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    fontChanges += m == WM_FONTCHANGE;
    return DefWindowProcA(w, m, wp, lp);
}

// Faces of the test font known to the system, by its family name.
int TestFontFaces() {
    static int found = 0;
    LOGFONTA lf = {0, 0, 0, 0, 0, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tarv Uninstall Test"};
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExA(dc, &lf, [](const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM) { return ++found; }, 0, 0);
    ReleaseDC(nullptr, dc);
    int faces = found;
    found = 0;
    return faces;
}

// Windows NT finds the fonts of its fonts folder by itself; Windows 98 needs
// every font in the registry (under its own key).
TEST_F(ActionsTest, FontsInTheFontsFolderAreRegisteredOnWindows98Only) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = CountFontChanges;
    wc.lpszClassName = "TarvFontChangeCounter";
    RegisterClassA(&wc);
    HWND counter = CreateWindowA(wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    const std::string fonts = dir / "Fonts", font = fonts + "\\mono.ttf";
    CreateDirectoryA(fonts.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((std::string(TARV_FIXTURES_DIR) + "/fonts/TarvTest.ttf").c_str(), font.c_str(), FALSE));
    ASSERT_EQ(TestFontFaces(), 0);
    RunState().Variables = ListOf({("Fonts=" + fonts).c_str()});
    RunState().FontList = ListOf({(font + "=").c_str(), (font + "=").c_str()});
    const std::string key98 = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts";
    for (bool win98 : {false, true}) {
        OSVersionOverride os(win98 ? MakeOSVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1998, "") : GetOSVersion());
        StartLog((dir / (win98 ? "98.log" : "nt.log")).c_str());
        fontChanges = 0;
        EXPECT_TRUE(RegisterFonts());
        EXPECT_EQ(fontChanges, 1);  // one broadcast for the whole list
        EXPECT_GT(TestFontFaces(), 0);
        EXPECT_EQ(RegValueForTest(HKEY_LOCAL_MACHINE, key98, "mono.ttf"), win98 ? font : "<absent>");
        std::string logged = "[RegFonts]\r\n" + font + "=\r\n\r\n";
        if (win98) logged = "[AddReg]\r\nHKLM\\" + key98 + "\\mono.ttf=\r\n\r\n" + logged;
        EXPECT_EQ(LogFlush() ? ReadBytes(LogFileName().c_str()) : "", logged);
    }
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key98.c_str(), 0, KEY_SET_VALUE, &key) == 0) {
        RegDeleteValueA(key, "mono.ttf");
        RegCloseKey(key);
    }
    while (RemoveFontResourceA(font.c_str())) {}
    DestroyWindow(counter);
}

// Ends the process of the shell window showing the folder: it must not
// outlive the test (it would hold the test run's output open).
void CloseFolderWindow(const std::string& folder) {
    struct Search { std::string name; DWORD pid; } search = {folder.substr(folder.rfind('\\') + 1), 0};
    for (int i = 0; i < 300 && !search.pid; ++i, Sleep(10))
        EnumWindows([](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            char title[MAX_PATH] = "";
            DWORD pid = 0;
            GetWindowTextA(w, title, sizeof title);
            GetWindowThreadProcessId(w, &pid);
            if (pid != GetCurrentProcessId() && strstr(title, s->name.c_str())) s->pid = pid;
            return !s->pid;
        }, (LPARAM)&search);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, search.pid);
    ASSERT_TRUE(process) << "no window shows " << folder;
    TerminateProcess(process, 0);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
}

TEST_F(ActionsTest, ProgramsWaitedForOrNotWithShowModesTheirMessageAndAPauseForFolders) {
    const std::string app = HelperPath("TestRunApp.exe"), record = dir / "record.txt";
    RunState().RunList = ListOf({
        ("\"" + app + "\",\"" + record + "\" 400," + dir.Path() + ",2,\"Starting demo\"").c_str(),
        ("\"" + app + "\",\"" + record + "\",,0,,1").c_str(),
        ("\"" + app + "\",\"" + record + "\" 5000,,,,0").c_str(),
        (dir.Path() + ",,,1,,0").c_str(),
    });
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    DWORD start = GetTickCount();
    EXPECT_TRUE(RunPrograms());
    EXPECT_GE(GetTickCount() - start, 400u + 300u);  // the first waited for, the folder's pause
    std::string first = "start|400|" + dir.Path() + "|" + std::to_string(SW_SHOWMAXIMIZED) + "\nend\nstart||" +
                        current + "|" + std::to_string(SW_HIDE) + "\nend\n";
    EXPECT_EQ(ReadBytes(record).substr(0, first.size()), first);  // the third has not ended: not waited for
    EXPECT_EQ(messageWindowRecord, (std::vector<std::string>{"show Starting demo", "hide", "hide", "hide", "hide"}));
    CloseFolderWindow(dir.Path());
    EXPECT_EQ(ReadBytes(record).find("end", first.size()), std::string::npos);
    Sleep(5500);
    EXPECT_EQ(ReadBytes(record), first + "start|5000|" + current + "|" + std::to_string(SW_SHOW) + "\nend\n");
}

}  // namespace
