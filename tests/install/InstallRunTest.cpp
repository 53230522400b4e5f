// Real installations under Wine: a package built with the packaging tool,
// the run state a setup driver would leave, InstallRun with its real
// progress page and worker, a watcher thread answering the page and its
// questions; then the machine is checked.
#include "install/Install.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/RunState.h"
#include "config/wqErrors.h"
#include "config/wqPath.h"
#include "config/wqRegIni.h"
#include "install/Actions.h"
#include "install/InstallTestDoubles.h"
#include "install/Log.h"
#include "install/Progress.h"
#include "support/InstallTestSupport.h"
#include "support/SystemTestSupport.h"
#include "support/TestPrint.h"
#include "support/TextTestSupport.h"
#include "support/WinTestSupport.h"
#include "system/wqFileUtils.h"
#include "system/wqShellLink.h"
#include "system/wqUtils.h"

namespace {

const char kPageCaption[] = "Installation progress";
const char kProgram[] = "Tarv Test App";
const std::string kUninstallKey = std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kProgram;

// Answers every box with one command (DialogWatcher), and runs an action on
// the progress page once it shows. The page ignores the command the watcher
// posts to it, and is left out of the boxes seen.
class PageWatcher {
public:
    PageWatcher(void (*pageAction)(HWND), int answer) : boxes_(answer), action_(pageAction) {
        if (action_) thread_ = CreateThread(nullptr, 0, Wait, this, 0, nullptr);
    }
    ~PageWatcher() {
        stop_ = true;
        if (thread_) WaitForSingleObject(thread_, INFINITE), CloseHandle(thread_);
    }
    std::vector<std::string> Boxes() {
        std::vector<std::string> seen;
        for (const std::string& box : boxes_.Seen())
            if (box.compare(0, strlen(kPageCaption), kPageCaption)) seen.push_back(box);
        return seen;
    }

private:
    static DWORD WINAPI Wait(void* self) {
        auto* w = static_cast<PageWatcher*>(self);
        HWND page = nullptr;
        while (!w->stop_ && !((page = FindWindowA("#32770", kPageCaption)) && IsWindowVisible(page))) Sleep(5);
        if (page) w->action_(page);
        return 0;
    }
    DialogWatcher boxes_;
    void (*action_)(HWND);
    volatile bool stop_ = false;
    HANDLE thread_ = nullptr;
};

void PressCancel(HWND page) { PostMessageA(page, WM_COMMAND, 103, 0); }
// Esc, until the question shows: the hot key is there only once the page
// has been activated, which the page's thread does in its own time.
void PressEsc(HWND page) {
    for (int tries = 0; tries < 40 && !FindWindowA("#32770", kProgram); ++tries) {
        SetForegroundWindow(page);
        keybd_event(VK_ESCAPE, 0, 0, 0);
        keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
        for (int i = 0; i < 20 && !FindWindowA("#32770", kProgram); ++i) Sleep(5);
    }
}
// The close box and Alt+F4 (both IDCANCEL to a dialog): the page must stay
// until the last file is in place.
bool pageStayed = false;
std::string lastFile;
void PressClose(HWND page) {
    PostMessageA(page, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageA(page, WM_COMMAND, IDCANCEL, 0);
    while (IsWindow(page)) Sleep(1);
    pageStayed = GetFileAttributesA(lastFile.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class InstallRunTest : public testing::Test {
protected:
    void SetUp() override {
        for (const char* d : {"pkg", "pkg\\Presetup", "pkg\\Data", "temp", "local", "local\\deep"})
            CreateDirectoryA((root / d).c_str(), nullptr);
        TRunState& run = RunState();
        run = TRunState();
        run.ExeName = setup.c_str();
        run.Instance = GetModuleHandleA(nullptr);
        run.TempDir = (temp + "\\").c_str();
        run.IniFileName = (temp + "\\Tarv.ini").c_str();
        run.LngFileName = (temp + "\\Tarv.lng").c_str();
        run.InstallPath = "%Target%";
        run.Language = "ENU";
        messageWindowRecord.clear();
        ASSERT_TRUE(StartComLibrary());
        Ini("");
        ASSERT_TRUE(WriteBytes(temp + "\\Tarv.lng",
                               "[Strings]\r\n1=Really cancel?\r\n2=Reading\r\n3=Counting\r\n4=No room on %Target%\r\n"
                               "5=Registry\r\n6=INI\r\n7=Shortcuts\r\n8=Servers\r\n9=Fonts\r\n100=Unpacking %s\r\n"
                               "101=Skipping %s\r\n102=Copying %s\r\n110=Newer file\r\n111=Replace the newer %s?\r\n"));
    }
    void TearDown() override {
        (void)ProfileFlushAll();
        StopLog();
        TakeError();
        EndComLibrary();
        SetMessageBoxTitle("");
        RunState() = TRunState();
        DeleteRegTreeForTest(HKEY_LOCAL_MACHINE, kUninstallKey);
        DeleteRegTreeForTest(HKEY_CURRENT_USER, "Software\\TarvTest");
    }
    // Tarv.ini with the run's variables and `config` lines added to [Config].
    void Ini(const std::string& config) {
        ASSERT_TRUE(WriteBytes(temp + "\\Tarv.ini", "[Config]\r\nInsFiles=App\r\nLogFile=" + log + "\r\n" + config +
                                                        "[Variables]\r\nProgramName=" + kProgram + "\r\nTarget=" +
                                                        target + "\r\n"));
    }
    void Data(const std::string& name, const std::string& bytes) {
        TStr path = (root / ("pkg\\Data\\" + name)).c_str();
        CreatePath(FolderPart(path));
        ASSERT_TRUE(WriteBytes(path.c_str(), bytes));
    }
    void Script(const std::string& text) { ASSERT_TRUE(WriteBytes(temp + "\\App.ins", text)); }
    // The package: the packaging tool over pkg\, with our installer in front.
    void Pack(const std::string& options = "") {
        ASSERT_TRUE(WriteBytes(root / "pkg\\Presetup\\Tarv.ini", "[Config]\r\n"));
        ASSERT_EQ(RunForTest(std::string("\"") + TARVPACK_EXE + "\" build \"" + root / "pkg" + "\" \"" + setup +
                             "\" --installer \"" + TARV_SETUP_STUB + "\" " + options),
                  0);
    }
    std::string Log() { return ReadBytes(log); }
    // Runs InstallRun with the page handled by `pageAction` and every box
    // answered with `answer`; the boxes seen go to `boxes`.
    bool Run(void (*pageAction)(HWND), int answer, std::vector<std::string>* boxes = nullptr) {
        TRunState& run = RunState();
        for (TStrList* list : {&run.ArchiveFileList, &run.LocalFileList, &run.RegValueList, &run.IniValueList,
                               &run.ShortcutList, &run.RunList, &run.ServerList, &run.FontList})
            list->Clear();
        run.RebootNeeded = false;
        (void)ProfileFlushAll();
        PageWatcher watcher(pageAction, answer);
        bool ok = InstallRun();
        if (boxes) *boxes = watcher.Boxes();
        return ok;
    }

    ScratchFolder root;
    std::string temp = root / "temp", target = root / "target", setup = root / "setup.exe";
    std::string log = root / "install.log";
};

TEST_F(InstallRunTest, AFullInstallationLeavesItsFilesValuesAndLog) {
    Data("a.txt", "alpha");
    Data("Sub\\b.txt", "beta");
    Data("Docs\\one.doc", "1");
    Data("Docs\\Deep\\two.doc", "22");
    Data("server.dll", ReadBytes(HelperPath("TestComServer.dll")));
    ASSERT_TRUE(CopyFileA((std::string(TARV_FIXTURES_DIR) + "/fonts/TarvTest.ttf").c_str(),
                          (root / "pkg\\Data\\mono.ttf").c_str(), FALSE));
    ASSERT_TRUE(SetLastWriteTime(root / "pkg\\Data\\a.txt", FileTimeOfLocal({2021, 3, 4, 5, 6, 8})));
    ASSERT_TRUE(SetFileAttributesA((root / "pkg\\Data\\Sub\\b.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(WriteBytes(root / "local\\l1.txt", "local one") && WriteBytes(root / "local\\deep\\l2.txt", "l2"));
    Pack();
    ASSERT_TRUE(CopyFileA(HelperPath("ExitWith.exe").c_str(), (temp + "\\UnTarv.exe").c_str(), FALSE));
    const std::string app = HelperPath("TestRunApp.exe"), record = root / "record.txt";
    Script("[CopyFiles]\r\nMain=%InstallPath%\r\n"
           "[Main]\r\na.txt=,,0\r\nSub\\b.txt=,,0\r\nDocs\\*.*=Manual\\*.*,,0\r\nserver.dll=,,4\r\nmono.ttf=,,9\r\n" +
           root / "local\\*.*" + "=Local\\*.*,,64\r\n"
           "[AddReg]\r\nKeys=HKCU\\Software\\TarvTest\\App\r\n[Keys]\r\nPath=\"%InstallPath%\",0\r\nCount=#3,0\r\n"
           "[AddIni]\r\nIni=%InstallPath%\\app.ini\r\n[Ini]\r\nMain,Size=10,0\r\n"
           "[Shortcuts]\r\nMenu=%InstallPath%\\Menu\r\n[Menu]\r\nApp=%InstallPath%\\a.txt,,,0\r\n"
           "[RunApp]\r\nGo=\"" + app + "\",\"" + record + "\",,0\r\n"
           "Snap=cmd.exe,/c copy \"" + log + "\" \"" + root / "snapshot.log" + "\",,0\r\n");
    RunState().UninstallEnabled = true;
    Ini("DisplayVersion=1.0\r\nPublisher=%ProgramName% makers\r\nDisplayIcon=%InstallPath%\\a.txt\r\n");
    std::vector<std::string> boxes;
    ASSERT_TRUE(Run(nullptr, IDOK, &boxes));
    EXPECT_EQ(boxes, std::vector<std::string>{});
    const TRunState& run = RunState();
    EXPECT_EQ(run.InstallPath, target.c_str());
    EXPECT_FALSE(run.RebootNeeded);
    const struct { const char* path; const char* bytes; } files[] = {
        {"a.txt", "alpha"},        {"Sub\\b.txt", "beta"},           {"Manual\\one.doc", "1"},
        {"Manual\\Deep\\two.doc", "22"}, {"Local\\l1.txt", "local one"}, {"Local\\deep\\l2.txt", "l2"},
        {"app.ini", "[Main]\r\nSize=10\r\n"},
    };
    for (const auto& f : files) EXPECT_EQ(ReadBytes(target + "\\" + f.path), f.bytes) << f.path;
    FILETIME t = LastWriteTimeOf(target + "\\a.txt"), want = FileTimeOfLocal({2021, 3, 4, 5, 6, 8});
    EXPECT_EQ(CompareFileTime(&t, &want), 0);
    EXPECT_TRUE(GetFileAttributesA((target + "\\Sub\\b.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(ReadBytes(target + "\\Menu\\App.lnk"), "<missing>");
    EXPECT_EQ(ReadBytes(record).substr(0, 7), "start||");
    // The log was on disk before the last step ran: every step before it is
    // there, the uninstall registration (after it) is not yet.
    const std::string snapshot = ReadBytes(root / "snapshot.log");
    EXPECT_TRUE(snapshot.find("[Shortcuts]") != std::string::npos && snapshot.find("Uninstall") == std::string::npos)
        << snapshot;
    EXPECT_EQ(RegValueForTest(HKEY_CURRENT_USER, "Software\\TarvTest\\ComServer", "server.dll"), "registered");
    EXPECT_EQ(RegValueForTest(HKEY_CURRENT_USER, "Software\\TarvTest\\App", "Path"), "\"" + target + "\"");
    const std::string ntFonts = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts\\mono.ttf";
    EXPECT_EQ(RegValueForTest(HKEY_LOCAL_MACHINE, ntFonts.substr(5, ntFonts.size() - 14), "mono.ttf"), target + "\\mono.ttf");
    const std::string windowsUnTarv = AddBackslash(GetWindowsFolder()).c_str() + std::string("UnTarv.exe");
    const struct { const char* name; std::string data; } uninstall[] = {
        {"DisplayName", kProgram},         {"UninstallString", windowsUnTarv + " \"" + log + "\""},
        {"DisplayIcon", target + "\\a.txt"}, {"DisplayVersion", "1.0"}, {"Publisher", std::string(kProgram) + " makers"},
        {"InstallLocation", target},       {"EstimatedSize", std::string("W\0\0\0", 4)},  // 88645 bytes: 87 KB
    };
    for (const auto& v : uninstall) EXPECT_EQ(RegValueForTest(HKEY_LOCAL_MACHINE, kUninstallKey, v.name), v.data) << v.name;
    EXPECT_EQ(messageWindowRecord, (std::vector<std::string>{"show Reading", "hide", "show Counting", "hide",
                                                             "show Servers", "hide", "show Registry", "hide", "show INI",
                                                             "hide", "show Fonts", "hide", "show Shortcuts", "hide",
                                                             "hide", "hide"}));  // RunApp: no text of its own
    const std::string t2 = target + "\\", key = "HKLM\\" + kUninstallKey;
    // Archive order (Docs\ before Sub\ before a.txt), then the local pass;
    // mono.ttf has flag 1: in RegFonts only. HKCU\Software\TarvTest was
    // made by the COM server, registered before the registry values.
    EXPECT_EQ(Log(), "[CreateDirs]\r\n" + target + "=\r\n" + t2 + "Manual=\r\n" + t2 + "Manual\\Deep=\r\n" + t2 + "Sub=\r\n" +
                         t2 + "Local=\r\n" + t2 + "Local\\deep=\r\n" + t2 + "Menu=\r\n\r\n"
                         "[CopyFiles]\r\n" + t2 + "Manual\\Deep\\two.doc=\r\n" + t2 + "Manual\\one.doc=\r\n" + t2 +
                         "Sub\\b.txt=\r\n" + t2 + "a.txt=\r\n" + t2 + "server.dll=\r\n" + t2 + "Local\\l1.txt=\r\n" +
                         t2 + "Local\\deep\\l2.txt=\r\n\r\n"
                         "[RegServers]\r\n" + t2 + "server.dll=\r\n\r\n"
                         "[CreateKeys]\r\nHKCU\\Software\\TarvTest\\App=\r\n" + key + "=\r\n\r\n"
                         "[AddReg]\r\nHKCU\\Software\\TarvTest\\App\\Path=\"" + target + "\"\r\nHKCU\\Software\\TarvTest\\App\\Count=#3\r\n" +
                         ntFonts + "=\r\n" + key + "\\DisplayIcon=" + t2 + "a.txt\r\n" + key + "\\DisplayVersion=1.0\r\n" + key +
                         "\\Publisher=" + std::string(kProgram) + " makers\r\n" + key + "\\InstallLocation=" + target + "\r\n" + key + "\\EstimatedSize=#87\r\n\r\n"
                         "[AddIni]\r\n" + t2 + "app.ini,Main,Size=10\r\n\r\n"
                         "[RegFonts]\r\n" + t2 + "mono.ttf=\r\n\r\n"
                         "[Shortcuts]\r\n" + t2 + "Menu\\App=\r\n\r\n");
    DeleteFileA(windowsUnTarv.c_str());
    while (RemoveFontResourceA((target + "\\mono.ttf").c_str())) {}
    HKEY fonts;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ntFonts.substr(5, ntFonts.size() - 14).c_str(), 0, KEY_SET_VALUE, &fonts) == 0) {
        RegDeleteValueA(fonts, "mono.ttf");
        RegCloseKey(fonts);
    }
}

// The packing does not change what is installed: stored, compressed and
// solid packages of one payload install the same bytes, times and
// attributes.
TEST_F(InstallRunTest, EveryPackingInstallsTheSameFiles) {
    std::string text, noise;
    for (int i = 0; text.size() < 300000; ++i) text += "line " + std::to_string(i % 89) + " of a long text\r\n";
    for (unsigned x = 7; noise.size() < 70000; x = x * 1103515245u + 12345u) noise += (char)(x >> 16);
    Data("text.txt", text);
    Data("Sub\\noise.bin", noise);
    Data("Sub\\empty.txt", "");
    Data("one.txt", "1");
    ASSERT_TRUE(SetLastWriteTime(root / "pkg\\Data\\one.txt", FileTimeOfLocal({2020, 1, 2, 3, 4, 6})));
    ASSERT_TRUE(SetFileAttributesA((root / "pkg\\Data\\one.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    Script("[CopyFiles]\r\nAll=%InstallPath%\r\n[All]\r\n*.*=*.*,,1\r\n");
    Ini("");
    const char* names[] = {"text.txt", "Sub\\noise.bin", "Sub\\empty.txt", "one.txt"};
    std::vector<std::string> first;  // what the stored package installed
    for (const char* options : {"--method 0", "--method 5", "--method 1 --no-solid --window 64"}) {
        SCOPED_TRACE(options);
        RemoveTreeForTest(target);
        Pack(options);
        ASSERT_TRUE(Run(nullptr, IDOK));
        std::vector<std::string> installed;
        for (const char* name : names) {
            const std::string path = target + "\\" + name;
            EXPECT_TRUE(ReadBytes(path) == ReadBytes(root / ("pkg\\Data\\" + std::string(name)))) << name;
            FILETIME t = LastWriteTimeOf(path);
            installed.push_back(std::to_string(t.dwHighDateTime) + ":" + std::to_string(t.dwLowDateTime) + " " +
                                std::to_string(GetFileAttributesA(path.c_str())));
        }
        if (first.empty()) first = installed;
        EXPECT_EQ(installed, first);
        EXPECT_TRUE(GetFileAttributesA((target + "\\one.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
        SetFileAttributesA((target + "\\one.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

TEST_F(InstallRunTest, NewerFileRulesAndTheirQuestion) {
    Data("ver.exe", ReadBytes(HelperPath("TestVersion_1_2_0_0.exe")));
    Data("new.txt", "new");
    Pack();
    const std::string newer = ReadBytes(HelperPath("TestVersion_1_2_0_1.exe")), older = ReadBytes(root / "pkg\\Data\\ver.exe");
    // "%" in the text is shown as it is: the text is never a format.
    std::string lng = ReadBytes(temp + "\\Tarv.lng");
    lng.replace(lng.find("%s?"), 3, "%s? (%d%%)");
    ASSERT_TRUE(WriteBytes(temp + "\\Tarv.lng", lng));
    const std::string question = "Newer file|Replace the newer ver.exe? (%d%%)";
    const struct { const char* flags; int answer; bool replaced; bool asked; } cases[] = {
        {"0", IDYES, true, true}, {"0", IDNO, false, true}, {"16", IDYES, false, false},
        {"2", IDNO, true, false}, {"34", IDYES, false, false},  // 32: an existing file stays
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("flags ") + c.flags);
        CreateDirectoryA(target.c_str(), nullptr);
        ASSERT_TRUE(WriteBytes(target + "\\ver.exe", newer));
        DeleteFileA((target + "\\new.txt").c_str());
        Script(std::string("[CopyFiles]\r\nMain=%InstallPath%\r\n[Main]\r\nver.exe=,1.2.0.0,") + c.flags +
               "\r\nnew.txt=,," + c.flags + "\r\n");
        std::vector<std::string> boxes;
        EXPECT_TRUE(Run(nullptr, c.answer, &boxes));
        EXPECT_EQ(ReadBytes(target + "\\ver.exe") == older, c.replaced);
        EXPECT_EQ(boxes, c.asked ? std::vector<std::string>{question} : std::vector<std::string>{});
        EXPECT_EQ(ReadBytes(target + "\\new.txt"), "new");  // a missing file is always installed
    }
}

TEST_F(InstallRunTest, ADestinationInUseIsReplacedAtTheRestart) {
    Data("busy.dll", ReadBytes(HelperPath("TestComServer.dll")));
    Pack();
    Script("[CopyFiles]\r\nMain=%InstallPath%\r\n[Main]\r\nbusy.dll=,,6\r\n");
    CreateDirectoryA(target.c_str(), nullptr);
    const std::string busy = target + "\\busy.dll";
    ASSERT_TRUE(WriteBytes(busy, "old"));
    HANDLE held = CreateFileA(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_TRUE(Run(nullptr, IDOK));
    EXPECT_TRUE(RunState().RebootNeeded);
    ASSERT_EQ(RunState().ServerList.Count(), 1);
    EXPECT_EQ(RunState().ServerList[0], (busy + "=0,1").c_str());
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((target + "\\Tar*.tmp").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    const std::string temporary = target + "\\" + found.cFileName;
    EXPECT_EQ(ReadBytes(temporary), ReadBytes(HelperPath("TestComServer.dll")));
    EXPECT_EQ(Log(), "[CopyFiles]\r\n" + busy + "=\r\n\r\n[RegServers]\r\n" + busy + "=\r\n\r\n");
    const std::string runOnce = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
    EXPECT_EQ(RegValueForTest(HKEY_LOCAL_MACHINE, runOnce, RunOnceValueName(busy.c_str()).c_str()),
              RemoveBackslash(GetSystemFolder()).c_str() + std::string("\\regsvr32.exe /s \"") + busy + "\"");
    CloseHandle(held);
    // Wine's restart: pending renames are carried out, then RunOnce runs.
    ASSERT_EQ(RunForTest("wineboot.exe -r"), 0);
    EXPECT_EQ(ReadBytes(busy), ReadBytes(HelperPath("TestComServer.dll")));
    EXPECT_EQ(ReadBytes(temporary), "<missing>");
    EXPECT_EQ(RegValueForTest(HKEY_CURRENT_USER, "Software\\TarvTest\\ComServer", "busy.dll"), "registered");
}

TEST_F(InstallRunTest, FreeSpaceOfTheRealDriveRoundedToTheNearestKilobyte) {
    const char* small = getenv("TARV_SMALL_DRIVE");  // 64 KiB, tools/test-fixtures.sh
    if (!small) GTEST_SKIP() << "no small drive";
    std::string drive = std::string("Z:") + small;
    for (char& c : drive) c = c == '/' ? '\\' : c;
    target = drive + "\\target";
    Ini("");
    Script("[CopyFiles]\r\nMain=%InstallPath%\r\n[Main]\r\nbig.bin=,,0\r\n");
    // 66048 bytes are 64.5 KiB, which rounds to 64 (the even neighbour): the
    // check lets it through and the disk then fills up; one byte more needs 65.
    const struct { size_t bytes; bool ok; std::string box; } cases[] = {
        {66049, false, std::string(kProgram) + "|No room on " + target},
        {66048, true, "Error|Cannot install file " + target + "\\big.bin"},  // a single file's failure
    };
    for (const auto& c : cases) {
        Data("big.bin", std::string(c.bytes, 'b'));
        Pack();
        std::vector<std::string> boxes;
        SetMessageBoxTitle(kProgram);
        EXPECT_EQ(Run(nullptr, IDOK, &boxes), c.ok);
        EXPECT_EQ(boxes, std::vector<std::string>{c.box}) << c.bytes;
        EXPECT_EQ(ReadBytes(target + "\\big.bin"), "<missing>");
    }
    RemoveTreeForTest(target);
}

TEST_F(InstallRunTest, AFolderWithACommaIsRefusedARelativeOneMadeAbsolute) {
    Data("a.txt", "a");
    Pack();
    Script("[CopyFiles]\r\nMain=%InstallPath%\r\n[Main]\r\na.txt=,,0\r\n");
    RunState().InstallPath = "%Target%,x";
    std::vector<std::string> boxes;
    EXPECT_FALSE(Run(nullptr, IDOK, &boxes));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("without \",\" or a double quote"), std::string::npos) << boxes[0];
    EXPECT_EQ(Log(), "<missing>");
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    SetCurrentDirectoryA(root.Path().c_str());
    RunState().InstallPath = "rel\\app\\";
    bool ok = Run(nullptr, IDOK);
    SetCurrentDirectoryA(current);
    EXPECT_TRUE(ok);
    EXPECT_EQ(RunState().InstallPath, (root / "rel\\app").c_str());
    EXPECT_EQ(Log(), "[CreateDirs]\r\n" + root / "rel=\r\n" + root / "rel\\app=\r\n\r\n[CopyFiles]\r\n" +
                         root / "rel\\app\\a.txt=\r\n\r\n");
}

TEST_F(InstallRunTest, APageThatCannotOpenAndAnErrorOnTheWorkerEndTheRunWithTheirBox) {
    Data("a.txt", "a");
    Pack();
    Script("[CopyFiles]\r\nMain=%InstallPath%\r\n[Main]\r\na.txt=,,0\r\n");
    CreateDirectoryA(target.c_str(), nullptr);  // nothing to log before the file pass
    RunState().Instance = GetModuleHandleA("kernel32.dll");  // no DLG_PROGRESS there
    std::vector<std::string> boxes;
    SetMessageBoxTitle(kProgram);
    EXPECT_FALSE(Run(nullptr, IDOK, &boxes));
    EXPECT_EQ(boxes, std::vector<std::string>{std::string(kProgram) + "|Cannot show the installation progress page!"});
    EXPECT_EQ(ReadBytes(target + "\\a.txt"), "<missing>");
    RunState().Instance = GetModuleHandleA(nullptr);
    const std::string badLog = root / "no\\such\\install.log";
    Ini("LogFile=" + badLog + "\r\n");  // the first key of a name wins: this one
    std::string ini = ReadBytes(temp + "\\Tarv.ini");
    ini.erase(ini.find("LogFile=" + log), ("LogFile=" + log + "\r\n").size());
    ASSERT_TRUE(WriteBytes(temp + "\\Tarv.ini", ini));
    EXPECT_FALSE(Run(nullptr, IDOK, &boxes));
    EXPECT_EQ(boxes, std::vector<std::string>{std::string(kProgram) + "|Cannot open file " + badLog});
}

TEST_F(InstallRunTest, TwoInstallationsShareOneLogAndABadProgramNameIsNotRegistered) {
    Data("a.txt", "a");
    Data("b.txt", "b");
    Pack();
    Script("[CopyFiles]\r\nMain=%InstallPath%\r\n[Main]\r\na.txt=,,0\r\n");
    ASSERT_TRUE(Run(nullptr, IDOK));
    Script("[CopyFiles]\r\nMain=%InstallPath%\r\n[Main]\r\nb.txt=,,0\r\na.txt=,,0\r\n");
    ASSERT_TRUE(CopyFileA(HelperPath("ExitWith.exe").c_str(), (temp + "\\UnTarv.exe").c_str(), FALSE));
    RunState().UninstallEnabled = true;
    std::string ini = ReadBytes(temp + "\\Tarv.ini");
    ini.replace(ini.find("ProgramName=") + 12, strlen(kProgram), "Bad\\Name");
    ASSERT_TRUE(WriteBytes(temp + "\\Tarv.ini", ini));
    std::vector<std::string> boxes;
    ASSERT_TRUE(Run(nullptr, IDOK, &boxes));
    EXPECT_EQ(boxes, std::vector<std::string>{"Bad\\Name|The uninstaller is not registered: the program name "
                                              "\"Bad\\Name\" is empty or holds \"\\\"."});
    EXPECT_EQ(RegValueForTest(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Bad\\Name",
                              "DisplayName"), "<absent>");
    EXPECT_EQ(Log(), "[CreateDirs]\r\n" + target + "=\r\n\r\n[CopyFiles]\r\n" + target + "\\a.txt=\r\n" + target +
                         "\\b.txt=\r\n\r\n");
}

// Enough files that the pass outlasts the watcher's reaction.
const int kManyFiles = 300;

TEST_F(InstallRunTest, CancelAsksOnceYesStopsEverythingNoGoesOn) {
    for (int i = 0; i < kManyFiles; ++i) Data("f" + std::to_string(1000 + i) + ".bin", std::string(40000, 'x'));
    Pack();
    ASSERT_TRUE(WriteBytes(root / "local\\l.txt", "l"));
    Script("[CopyFiles]\r\nMain=%InstallPath%\r\n[Main]\r\n*.*=,,0\r\n" + root / "local\\*.*" + "=L\\*.*,,64\r\n"
           "[AddReg]\r\nK=HKCU\\Software\\TarvTest\r\n[K]\r\nV=1,0\r\n");
    const std::vector<std::string> question = {std::string(kProgram) + "|Really cancel?"};
    const struct { void (*action)(HWND); int answer; bool ok; std::vector<std::string> boxes; } cases[] = {
        {PressCancel, IDYES, false, question}, {PressCancel, IDNO, true, question},
        {PressEsc, IDNO, true, question},      {PressClose, IDYES, true, {}},
    };
    lastFile = target + "\\f" + std::to_string(1000 + kManyFiles - 1) + ".bin";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer == IDYES ? "Yes" : "No");
        RemoveTreeForTest(target);
        pageStayed = false;
        std::vector<std::string> boxes;
        EXPECT_EQ(Run(c.action, c.answer, &boxes), c.ok);
        EXPECT_EQ(boxes, c.boxes);
        int installed = 0;
        for (int i = 0; i < kManyFiles; ++i) installed += ReadBytes(target + "\\f" + std::to_string(1000 + i) + ".bin").size() == 40000;
        EXPECT_EQ(installed == kManyFiles, c.ok) << installed;
        EXPECT_EQ(ReadBytes(target + "\\L\\l.txt"), c.ok ? "l" : "<missing>");
        EXPECT_EQ(RegValueForTest(HKEY_CURRENT_USER, "Software\\TarvTest", "V"), c.ok ? "1" : "<absent>");
        if (c.action == PressClose) EXPECT_TRUE(pageStayed);
        DeleteRegTreeForTest(HKEY_CURRENT_USER, "Software\\TarvTest");
    }
}

}  // namespace
