// The post-install steps on the real registry, real INI files, shortcuts,
// COM server stand-ins, a real TrueType font and a program of ours, with the
// log they leave.
#include "install/Actions.h"

#include <gtest/gtest.h>

#include "config/RunState.h"
#include "config/wqErrors.h"
#include "config/wqRegIni.h"
#include "install/IniEdit.h"
#include "install/InstallTestDoubles.h"
#include "install/Log.h"
#include "ui/Msg.h"
#include "support/InstallTestSupport.h"
#include "support/SystemTestSupport.h"
#include "support/TestPrint.h"
#include "support/TextTestSupport.h"
#include "support/WinTestSupport.h"
#include "system/wqShellLink.h"
#include "system/wqUtils.h"
#include "config/wqPath.h"

std::vector<std::string> messageWindowRecord;
void ShowMessageWindow(const TStr& text, DWORD) { messageWindowRecord.push_back("show " + std::string(text.c_str())); }
void HideMessageWindow() { messageWindowRecord.push_back("hide"); }

namespace {

const char kTestKey[] = "Software\\TarvTest";

class ActionsTest : public testing::Test {
protected:
    void SetUp() override {
        RunState() = TRunState();
        DeleteRegTreeForTest(HKEY_CURRENT_USER, kTestKey);
        StartLog(log.c_str());
        messageWindowRecord.clear();
        SetMessageBoxTitle("");
    }
    void TearDown() override {
        (void)ProfileFlushAll();
        StopLog();
        TakeError();
        RunState() = TRunState();
        DeleteRegTreeForTest(HKEY_CURRENT_USER, kTestKey);
    }
    std::string Log() {
        EXPECT_TRUE(LogFlush());
        return ReadBytes(log);
    }
    ScratchFolder dir;
    std::string log = dir / "install.log";
};

TEST_F(ActionsTest, RegistryValuesTypedCreatedKeysLoggedOutermostFirstOldValuesNot) {
    ASSERT_TRUE(RegWriteString("HKCU\\Software\\TarvTest\\Old", "before"));
    RunState().RegValueList = ListOf({
        "HKCU\\Software\\TarvTest\\Demo\\Sub\\Count=#16,0", "HKCU\\Software\\TarvTest\\Demo\\Hex=#$10",
        "HKCU\\Software\\TarvTest\\Demo\\Bad=#abc,0",       "HKCU\\Software\\TarvTest\\Demo\\Path=\"C:\\A,B\",0",
        "HKCU\\Software\\TarvTest\\Demo\\Plain=42,0",       "HKCU\\Software\\TarvTest\\Old=after,0",
        "HKCU\\Software\\TarvTest\\Quiet\\Q=x,1",
    });
    ASSERT_TRUE(ApplyRegValues());
    const struct { const char* key; const char* name; DWORD type; std::string data; } expected[] = {
        {"Software\\TarvTest\\Demo\\Sub", "Count", REG_DWORD, std::string("\x10\0\0\0", 4)},
        {"Software\\TarvTest\\Demo", "Hex", REG_DWORD, std::string("\x10\0\0\0", 4)},
        {"Software\\TarvTest\\Demo", "Bad", REG_DWORD, std::string(4, '\0')},
        {"Software\\TarvTest\\Demo", "Path", REG_SZ, "\"C:\\A,B\""},
        {"Software\\TarvTest\\Demo", "Plain", REG_SZ, "42"},
        {"Software\\TarvTest", "Old", REG_SZ, "after"},
        {"Software\\TarvTest\\Quiet", "Q", REG_SZ, "x"},
    };
    for (const auto& e : expected) {
        DWORD type = 0;
        EXPECT_EQ(RegValueForTest(HKEY_CURRENT_USER, e.key, e.name, &type), e.data) << e.name;
        EXPECT_EQ(type, e.type) << e.name;
    }
    EXPECT_EQ(Log(),
              "[CreateKeys]\r\nHKCU\\Software\\TarvTest\\Demo=\r\nHKCU\\Software\\TarvTest\\Demo\\Sub=\r\n\r\n"
              "[AddReg]\r\nHKCU\\Software\\TarvTest\\Demo\\Sub\\Count=#16\r\nHKCU\\Software\\TarvTest\\Demo\\Hex=#$10\r\n"
              "HKCU\\Software\\TarvTest\\Demo\\Bad=#abc\r\nHKCU\\Software\\TarvTest\\Demo\\Path=\"C:\\A,B\"\r\n"
              "HKCU\\Software\\TarvTest\\Demo\\Plain=42\r\n\r\n");
}

TEST_F(ActionsTest, AFailedRegistryWriteStopsTheStepWithItsBox) {
    RunState().RegValueList = ListOf({"HKCU\\Software\\TarvTest\\A=1", "HKXX\\Software\\B=2", "HKCU\\Software\\TarvTest\\C=3"});
    DialogWatcher watcher(IDOK);
    EXPECT_FALSE(ApplyRegValues());
    EXPECT_EQ(watcher.Seen(), std::vector<std::string>{"Error|Error on changing registry data!"});
    EXPECT_EQ(RegValueForTest(HKEY_CURRENT_USER, kTestKey, "A"), "1");
    EXPECT_EQ(RegValueForTest(HKEY_CURRENT_USER, kTestKey, "C"), "<absent>");
    EXPECT_TRUE(CreateKeyPath("HKLM"));  // a root alone is neither created nor logged
    EXPECT_EQ(Log(), "[CreateKeys]\r\nHKCU\\Software\\TarvTest=\r\n\r\n[AddReg]\r\nHKCU\\Software\\TarvTest\\A=1\r\n\r\n");
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
    for (const auto& c : cases)
        EXPECT_EQ(SetIniValueText(c.before, c.section, c.key, "10"), c.after) << c.before;
}

TEST_F(ActionsTest, IniValuesWrittenOnDiskAndLoggedUnlessFlagOne) {
    std::string ini = dir / "demo.ini";
    ASSERT_TRUE(WriteBytes(ini, "; keep me\r\n[Main]\r\nSize=5\r\n"));
    RunState().IniValueList = ListOf({(ini + ",Main,Size=10,0").c_str(), (ini + ",Other,Key=\"q\",1").c_str()});
    ASSERT_TRUE(ApplyIniValues());
    EXPECT_EQ(ReadBytes(ini), "; keep me\r\n[Main]\r\nSize=10\r\n[Other]\r\nKey=\"q\"\r\n");
    EXPECT_EQ(Log(), "[AddIni]\r\n" + ini + ",Main,Size=10\r\n\r\n");
    RunState().IniValueList = ListOf({(ini + ",Main,Size=11,0").c_str()});
    HANDLE lock = CreateFileA(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    DialogWatcher watcher(IDOK);
    EXPECT_FALSE(ApplyIniValues());
    CloseHandle(lock);
    EXPECT_EQ(watcher.Seen(), std::vector<std::string>{"Error|Error on changing ini-file!"});
}

TEST_F(ActionsTest, ShortcutsWithTheirFoldersLoggedUnlessFlagOne) {
    ASSERT_TRUE(StartComLibrary());
    std::string target = dir / "app.exe";
    ASSERT_TRUE(WriteBytes(target, "MZ"));
    RunState().ShortcutList = ListOf({(dir / "Menu\\Demo\\Demo App=" + target + ",/x,C:\\,0").c_str(),
                                      (dir / "Quiet\\Q=" + target + ",,,1").c_str()});
    EXPECT_TRUE(CreateShortcuts());
    EXPECT_NE(ReadBytes(dir / "Menu\\Demo\\Demo App.lnk"), "<missing>");
    EXPECT_NE(ReadBytes(dir / "Quiet\\Q.lnk"), "<missing>");
    EXPECT_EQ(Log(), "[CreateDirs]\r\n" + dir / "Menu=\r\n" + dir / "Menu\\Demo=\r\n\r\n[Shortcuts]\r\n" +
                         dir / "Menu\\Demo\\Demo App=\r\n\r\n");
    RunState().ShortcutList = ListOf({(dir / "No\\Such\\Name:x=" + target).c_str()});
    DialogWatcher watcher(IDOK);
    EXPECT_FALSE(CreateShortcuts());
    EXPECT_EQ(watcher.Seen(), std::vector<std::string>{"Error|Error on creating shortcut!"});
    EndComLibrary();
}

TEST_F(ActionsTest, ServersRegisteredNowOrAtTheRestartAndLoggedByTheirFlag) {
    const std::string good = HelperPath("TestComServer.dll"), none = HelperPath("TestNoServer.dll");
    const std::string later = "C:\\App\\x.dll";
    RunState().ServerList = ListOf({(good + "=1,1").c_str(), (none + "=1,0").c_str(), (later + "=0,1").c_str()});
    DialogWatcher watcher(IDOK);
    EXPECT_TRUE(RegisterServers());
    EXPECT_EQ(RegValueForTest(HKEY_CURRENT_USER, "Software\\TarvTest\\ComServer", "TestComServer.dll"), "registered");
    EXPECT_EQ(watcher.Seen(), std::vector<std::string>{"Error|Cannot register OLE server!\r\rAfter install try to "
                                                       "register it manually:\rregsvr32.exe \"" + none + "\""});
    const char kRunOnce[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
    EXPECT_EQ(RunOnceValueName(later.c_str()), "C__App_x.dll");
    EXPECT_EQ(RegValueForTest(HKEY_LOCAL_MACHINE, kRunOnce, "C__App_x.dll"),
              RemoveBackslash(GetSystemFolder()).c_str() + std::string("\\regsvr32.exe /s \"C:\\App\\x.dll\""));
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnce, 0, KEY_SET_VALUE, &key) == 0) {
        RegDeleteValueA(key, "C__App_x.dll");
        RegCloseKey(key);
    }
    EXPECT_EQ(Log(), "[RegServers]\r\n" + good + "=\r\n" + later + "=\r\n\r\n");
}

// Counts the WM_FONTCHANGE broadcasts a top-level window of this thread gets.
int fontChanges = 0;
LRESULT CALLBACK CountFontChanges(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_FONTCHANGE) ++fontChanges;
    return DefWindowProcA(w, m, wp, lp);
}

TEST_F(ActionsTest, FontsAddedRegisteredByFolderAndPlatformOneBroadcast) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = CountFontChanges;
    wc.lpszClassName = "TarvFontChangeCounter";
    RegisterClassA(&wc);
    HWND counter = CreateWindowA(wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    const std::string fixture = std::string(TARV_FIXTURES_DIR) + "/fonts/DejaVuSansMono-Oblique.ttf";
    const std::string fonts = dir / "Fonts", elsewhere = dir / "App\\mono.ttf", inFonts = fonts + "\\mono2.ttf";
    CreateDirectoryA(fonts.c_str(), nullptr);
    CreateDirectoryA((dir / "App").c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(fixture.c_str(), elsewhere.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(fixture.c_str(), inFonts.c_str(), FALSE));
    RunState().Variables = ListOf({("Fonts=" + fonts).c_str()});
    RunState().FontList = ListOf({(elsewhere + "=").c_str(), (inFonts + "=").c_str()});
    const std::string ntKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
    const std::string oldKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts";
    struct { TOSVersion os; std::string key; std::string log; } platforms[] = {
        {GetOSVersion(), ntKey, "[AddReg]\r\nHKLM\\" + ntKey + "\\mono.ttf=\r\n\r\n[RegFonts]\r\n" + elsewhere + "=\r\n" + inFonts + "=\r\n\r\n"},
        {MakeOSVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1998, ""), oldKey,
         "[AddReg]\r\nHKLM\\" + oldKey + "\\mono.ttf=\r\nHKLM\\" + oldKey + "\\mono2.ttf=\r\n\r\n[RegFonts]\r\n" + elsewhere + "=\r\n" + inFonts + "=\r\n\r\n"},
    };
    for (auto& p : platforms) {
        OSVersionOverride os(p.os);
        StartLog((dir / (p.key == ntKey ? "nt.log" : "9x.log")).c_str());
        fontChanges = 0;
        EXPECT_TRUE(RegisterFonts());
        EXPECT_EQ(fontChanges, 1);
        EXPECT_EQ(RegValueForTest(HKEY_LOCAL_MACHINE, p.key, "mono.ttf"), elsewhere);
        EXPECT_EQ(RegValueForTest(HKEY_LOCAL_MACHINE, p.key, "mono2.ttf") != "<absent>", p.key == oldKey);
        EXPECT_TRUE(LogFlush());
        EXPECT_EQ(ReadBytes(LogFileName().c_str()), p.log);
        // Wine answers 0 here whatever happened, and knows the face from
        // the Unix side already: the font's being added is not checked.
        RemoveFontResourceA(elsewhere.c_str());
        RemoveFontResourceA(inFonts.c_str());
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, p.key.c_str(), 0, KEY_SET_VALUE, &key) == 0) {
            RegDeleteValueA(key, "mono.ttf");
            RegDeleteValueA(key, "mono2.ttf");
            RegCloseKey(key);
        }
    }
    DestroyWindow(counter);
}

TEST_F(ActionsTest, ProgramsWaitedForOrNotWithShowModesAndTheirMessage) {
    const std::string app = HelperPath("TestRunApp.exe"), record = dir / "record.txt";
    RunState().RunList = ListOf({
        ("\"" + app + "\",\"" + record + "\" 400," + dir.Path() + ",2,\"Starting demo\"").c_str(),
        ("\"" + app + "\",\"" + record + "\",,0,,1").c_str(),
        ("\"" + app + "\",\"" + record + "\" 3000,,,,0").c_str(),
    });
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    DWORD start = GetTickCount();
    EXPECT_TRUE(RunPrograms());
    EXPECT_LT(GetTickCount() - start, 3000u);  // the last one is not waited for
    std::string first = "start|400|" + dir.Path() + "|" + std::to_string(SW_SHOWMAXIMIZED) + "\nend\n" +
                        "start||" + current + "|" + std::to_string(SW_HIDE) + "\nend\n";
    EXPECT_EQ(ReadBytes(record).substr(0, first.size()), first);
    EXPECT_EQ(messageWindowRecord, (std::vector<std::string>{"show Starting demo", "hide", "hide", "hide"}));
    Sleep(3500);
    EXPECT_EQ(ReadBytes(record), first + "start|3000|" + current + "|" + std::to_string(SW_SHOW) + "\nend\n");
}

TEST_F(ActionsTest, AFolderIsOpenedWithAPause) {
    RunState().RunList = ListOf({(dir.Path() + ",,,1,,0").c_str()});
    DWORD start = GetTickCount();
    EXPECT_TRUE(RunPrograms());
    EXPECT_GE(GetTickCount() - start, 300u);
}

}  // namespace
