// The uninstaller: its rules on their own, then installations made here by
// hand (files, folders, registry keys and values, an INI value, a shortcut, a
// font, a COM server, the uninstall registration), undone from a log written
// here and compared with the machine before; last the program itself, run
// with its boxes answered.
#include "install/Uninstall.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "config/wqErrors.h"
#include "install/IniEdit.h"
#include "config/wqRegIni.h"
#include "install/RebootMoves.h"
#include "support/SystemTestSupport.h"
#include "support/TextTestSupport.h"
#include "support/WinTestSupport.h"
#include "system/wqFileUtils.h"

namespace {

TEST(UninstallRules, FilePathsBelowARootOnly) {
    const struct { std::string path; bool safe; } cases[] = {
        {"C:\\App\\a.txt", true}, {"c:\\A", true}, {"\\\\server\\share\\App\\a.dll", true},
        {"", false}, {"C:", false}, {"C:\\", false}, {"C:a.txt", false}, {"\\a.txt", false},
        {"App\\a.txt", false}, {"\\\\server\\share", false}, {"\\\\server\\share\\", false},
        {"\\\\server", false}, {"\\\\?\\C:\\App", false}, {"\\\\.\\PhysicalDrive0\\x", false},
        {"C:\\App\\..\\Windows", false}, {"C:\\App\\.\\a", false}, {"C:\\App\\\\a", false},
        {"C:\\App\\", false}, {"C:\\App/../x", false}, {"C:\\App\\*.dll", false},
        {"C:\\App\\a.txt:stream", false}, {"C:\\App\\a\tb", false}, {"C:\\" + std::string(MAX_PATH, 'a'), false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsSafeFilePath(c.path.c_str()), c.safe) << c.path;
}

TEST(UninstallRules, RegistryPathsBelowARootOnly) {
    const struct { const char* path; bool isKey, safe; } cases[] = {
        {"HKLM\\SOFTWARE\\A", true, true}, {"HKCR\\.tarv", true, true}, {"HKCU\\Software\\A\\v", false, true},
        {"HKLM\\SOFTWARE\\A\\", false, true}, {"HKLM\\", true, false}, {"HKLM", true, false},
        {"HKLM\\Name", false, false}, {"hklm\\SOFTWARE\\A", true, false}, {"HKEY_LOCAL_MACHINE\\SOFTWARE\\A", true, false},
        {"HKLM\\SOFTWARE\\\\A", true, false}, {"HKLM\\SOFTWARE\\..\\A", false, false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsSafeRegistryPath(c.path, c.isKey), c.safe) << c.path;
}

TEST(UninstallRules, TheLogPathQuotedOrNot) {
    const struct { const char *command, *log; } cases[] = {
        {"C:\\WIN\\UnTarv.exe \"C:\\App\\install.log\"", "C:\\App\\install.log"},
        {"\"C:\\WIN\\UnTarv.exe\"  C:\\Program Files\\App\\install.log  ", "C:\\Program Files\\App\\install.log"},
        {"C:\\My Windows\\UnTarv.exe \"C:\\a b\\x.log\"", "C:\\a b\\x.log"},
        {"UnTarv.exe", ""}, {"\"C:\\WIN\\UnTarv.exe\"", ""}, {"UnTarv.exe \"unclosed", "unclosed"},
    };
    for (const auto& c : cases) EXPECT_EQ(LogPathOfCommand(c.command), c.log) << c.command;
}

TEST(UninstallRules, AnIniLineGoesOnlyWhileItHoldsTheLoggedValue) {
    const struct { const char *before, *value, *after; } cases[] = {
        {"; note\r\n[main]\r\nOther=1\r\nSIZE=10\r\n\r\n[Next]\r\nSize=10\r\n", "10",
         "; note\r\n[main]\r\nOther=1\r\n\r\n[Next]\r\nSize=10\r\n"},
        {"[Main]\r\nSize = 10 \r\n", "10", "[Main]\r\n"}, {"[Main]\r\n Size=10\r\n", "10", nullptr}, {"[Main]\nSize=10\nX=1", "10", "[Main]\nX=1"},
        {" [Main]\r\nSize=10", "10", nullptr},  // no header: the INI syntax trims nothing there
        {"[Main]\r\nSize=\"10\"\r\n", "\"10\"", "[Main]\r\n"},
        {"[Main]\r\nSize=11\r\n", "10", nullptr},  // the user's value now
        {"[Main]\r\nSize=\"10\"\r\n", "10", nullptr}, {"[Other]\r\nSize=10\r\n", "10", nullptr},
        {"[Main]\r\nX=1\r\n[Main]\r\nSize=10\r\n", "10", nullptr},  // the first section counts
        {"[Main]\r\n;Size=10\r\nSizes=10\r\n", "10", nullptr},
    };
    for (const auto& c : cases) {
        TStr text = c.before;
        EXPECT_EQ(RemoveIniValueText(text, "Main", "Size", c.value), c.after != nullptr) << c.before;
        EXPECT_EQ(text, c.after ? c.after : c.before);
        EXPECT_EQ(IniTextHoldsNoKeys(text), c.after && TStr(c.after).find('=') < 0) << c.before;
    }
}

const std::string kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char kFontsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts";
const char kIniBefore[] = "; the user's settings\r\n[Main]\r\nColour=red\r\n\r\n[More]\r\nx=1\r\n";

std::string Lines(std::initializer_list<std::string> items) {
    std::string lines;
    for (const std::string& item : items) lines += item + "\n";
    return lines;
}
std::string Left(const TUndoReport& report) {
    std::string lines;
    for (int i = 0; i < report.Remaining.Count(); ++i) lines += report.Remaining[i].c_str() + std::string("\n");
    return lines;
}
std::string BuildFolder() {
    char path[MAX_PATH];
    std::string exe(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return exe.substr(0, exe.rfind('\\') + 1);
}
void SetString(HKEY root, const std::string& key, const char* name, const std::string& data) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyA(root, key.c_str(), &k), ERROR_SUCCESS) << key;
    RegSetValueExA(k, name, 0, REG_SZ, (const BYTE*)data.c_str(), (DWORD)data.size() + 1);
    RegCloseKey(k);
}

// Every key and value below a key: "key" and "key|name=type:data" lines.
std::string RegistryListing(HKEY root, const std::string& key) {
    HKEY k;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k)) return "";
    std::string out = key + "\n";
    char name[256];
    BYTE data[1024];
    DWORD type, n = sizeof name, size = sizeof data;
    for (DWORD i = 0; !RegEnumValueA(k, i, name, &n, nullptr, &type, data, &size); ++i, n = sizeof name, size = sizeof data)
        out += key + "|" + name + "=" + std::to_string(type) + ":" + std::string((char*)data, size) + "\n";
    for (DWORD i = 0; n = sizeof name, !RegEnumKeyExA(k, i, name, &n, nullptr, nullptr, nullptr, nullptr); ++i)
        out += RegistryListing(root, key + "\\" + name);
    RegCloseKey(k);
    return out;
}

// Every entry below a folder: "name/" for a folder, "name=contents" for a
// file (its size when it is long).
std::string TreeListing(const std::string& folder, const std::string& prefix = "") {
    std::string out;
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &fd);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &fd)) {
        std::string name = fd.cFileName, path = folder + "\\" + name;
        if (name == "." || name == "..") continue;
        bool dir = fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        std::string bytes = dir ? "" : ReadBytes(path);
        if (bytes.size() > 64) bytes = std::to_string(bytes.size()) + " bytes";
        out += prefix + name + (dir ? "/\n" + TreeListing(path, prefix + name + "/") : "=" + bytes + "\n");
    }
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    return out;
}

int FontFaces() {  // of the test font, by its family name
    static int found = 0;
    LOGFONTA lf = {0, 0, 0, 0, 0, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tarv Uninstall Test"};
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExA(dc, &lf, [](const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM) { return ++found; }, 0, 0);
    ReleaseDC(nullptr, dc);
    return std::exchange(found, 0);
}

void MakeShortcut(const std::string& link, const std::string& target) {
    IShellLinkA* shell = nullptr;
    IPersistFile* file = nullptr;
    CoInitialize(nullptr);
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&shell), S_OK);
    shell->SetPath(target.c_str());
    ASSERT_EQ(shell->QueryInterface(IID_IPersistFile, (void**)&file), S_OK);
    EXPECT_EQ(file->Save(std::wstring(link.begin(), link.end()).c_str(), TRUE), S_OK);
    file->Release();
    shell->Release();
}

// A machine with a user's INI file and a registry value of its own, and an
// installation into it that does one of everything, logged as the install
// run logs.
class Installation : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteBytes(ini, kIniBefore));
        SetString(HKEY_CURRENT_USER, "Software\\TarvTest", "Before", "kept");
        before = Snapshot();
    }
    void TearDown() override {
        while (RemoveFontResourceA(font.c_str())) {}
        DeleteRegTreeForTest(HKEY_CURRENT_USER, "Software\\TarvTest");
        for (const char* name : {"Tarv Test App", "Tarv Test B", "Tarv Test C"})
            DeleteRegTreeForTest(HKEY_LOCAL_MACHINE, kUninstallKey + name);
        HKEY fonts;
        if (!RegOpenKeyA(HKEY_LOCAL_MACHINE, kFontsKey, &fonts)) RegDeleteValueA(fonts, "TarvTest.ttf"), RegCloseKey(fonts);
        SetEnvironmentVariableA("TARV_UNREGISTER_FAILS", nullptr);
        (void)ProfileFlushAll();
        TakeError();
    }
    // Files, folders and registry, as far as the installation touches them.
    std::string Machine() {
        return TreeListing(root.Path()) + RegistryListing(HKEY_CURRENT_USER, "Software\\TarvTest") +
               RegistryListing(HKEY_LOCAL_MACHINE, kUninstallKey + "Tarv Test App") +
               std::to_string(RegistryListing(HKEY_LOCAL_MACHINE, kFontsKey).find("TarvTest"));
    }
    std::string Snapshot() { return Machine() + " fonts " + std::to_string(FontFaces()); }
    std::string Register(const std::string& name, const std::string& logFile) {
        SetString(HKEY_LOCAL_MACHINE, kUninstallKey + name, "DisplayName", name);
        SetString(HKEY_LOCAL_MACHINE, kUninstallKey + name, "UninstallString", "C:\\windows\\UnTarv.exe \"" + logFile + "\"");
        return "HKLM\\" + kUninstallKey + name + "=\r\n";
    }
    // `self` is the program that undoes it, named in the log in a spelling of
    // its own: it must never delete itself.
    void Install(std::string self = BuildFolder() + "install_tests.exe") {
        for (const std::string& dir : {app, app + "\\Sub", menu}) ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
        ASSERT_TRUE(WriteBytes(app + "\\app.exe", "exe") && WriteBytes(app + "\\Sub\\readme.txt", "text"));
        ASSERT_TRUE(CopyFileA((BuildFolder() + "UninstallServerDll.dll").c_str(), server.c_str(), FALSE));
        ASSERT_TRUE(CopyFileA(TARV_FIXTURES_DIR "\\fonts\\TarvTest.ttf", font.c_str(), FALSE));
        HMODULE module = LoadLibraryA(server.c_str());
        ASSERT_EQ(((HRESULT(__stdcall*)())(void*)GetProcAddress(module, "DllRegisterServer"))(), S_OK);
        FreeLibrary(module);
        SetString(HKEY_CURRENT_USER, "Software\\TarvTest\\App\\Sub", "Count", "5");
        SetString(HKEY_CURRENT_USER, "Software\\TarvTest\\App", "Name", "\"Demo\"");
        ASSERT_TRUE(WriteBytes(ini, "; the user's settings\r\n[Main]\r\nColour=red\r\nSize=10\r\n\r\n[More]\r\nx=1\r\n"));
        ASSERT_EQ(AddFontResourceA(font.c_str()), 1);
        SetString(HKEY_LOCAL_MACHINE, kFontsKey, "TarvTest.ttf", font);
        MakeShortcut(menu + "\\App.lnk", app + "\\app.exe");
        std::string registration = Register("Tarv Test App", log);
        SetString(HKEY_LOCAL_MACHINE, kUninstallKey + "Tarv Test App", "DisplayVersion", "1.0");
        char shortSelf[MAX_PATH];
        ASSERT_TRUE(GetShortPathNameA(self.c_str(), shortSelf, MAX_PATH));
        ASSERT_NE(self, CharUpperA(shortSelf));
        logText = "[CreateDirs]\r\n" + app + "=\r\n" + app + "\\Sub=\r\n" + menu + "=\r\n\r\n[CopyFiles]\r\n" + app +
                  "\\app.exe=\r\n" + app + "\\Sub\\readme.txt=\r\n" + server + "=\r\n" + font + "=\r\n" + shortSelf +
                  "=\r\n\r\n[RegServers]\r\n" + server + "=\r\n\r\n[CreateKeys]\r\nHKCU\\Software\\TarvTest\\App=\r\n"
                  "HKCU\\Software\\TarvTest\\App\\Sub=\r\n" + registration + "\r\n[AddReg]\r\nHKCU\\Software\\TarvTest\\App\\Sub\\Count=#5"
                  "\r\nHKCU\\Software\\TarvTest\\App\\Name=\"Demo\"\r\nHKLM\\" + kUninstallKey + "Tarv Test App\\DisplayVersion=1.0"
                  "\r\nHKLM\\" + kFontsKey + "\\TarvTest.ttf=\r\n\r\n[AddIni]\r\n" + ini + ",Main,Size=10\r\n\r\n[RegFonts]\r\n" +
                  font + "=\r\n\r\n[Shortcuts]\r\n" + menu + "\\App=\r\n\r\n";
        ASSERT_TRUE(WriteBytes(log, logText));
    }
    TUndoReport Undo(const std::string& logFile) {
        TInstallLog read;
        TUndoReport report;
        EXPECT_TRUE(ReadInstallLog(logFile.c_str(), read));
        EXPECT_TRUE(UndoInstallLog(read, report)) << TakeError().c_str();
        EXPECT_TRUE(ProfileFlushAll());
        return report;
    }

    ScratchFolder root, elsewhere;
    const std::string app = root / "App", menu = root / "Menu", ini = root / "settings.ini";
    const std::string server = app + "\\server.dll", font = app + "\\TarvTest.ttf", log = app + "\\install.log";
    std::string before, logText;
};

TEST_F(Installation, IsUndoneAndASecondRunFindsNothingLeft) {
    Install();
    EXPECT_EQ(ProgramNamesOfLog(log.c_str()), "Tarv Test App");
    ASSERT_EQ(FontFaces(), 1);
    ASSERT_TRUE(WriteBytes(elsewhere / "copy.log", logText));
    for (const std::string& logFile : {log, elsewhere / "copy.log"}) {
        TUndoReport report = Undo(logFile);
        EXPECT_EQ(Left(report), "");
        EXPECT_TRUE(report.LogRemoved && !report.RestartNeeded);
        EXPECT_EQ(Snapshot(), before);
    }
    EXPECT_EQ(ReadBytes(elsewhere / "copy.log"), "<missing>");
    EXPECT_NE(ReadBytes(BuildFolder() + "install_tests.exe"), "<missing>");
}

TEST_F(Installation, WhatTheUserAddedStaysAndALaterRunRetries) {
    Install();
    ASSERT_TRUE(WriteBytes(app + "\\Sub\\notes.txt", "mine"));
    SetString(HKEY_CURRENT_USER, "Software\\TarvTest\\App", "Mine", "x");
    ASSERT_TRUE(WriteBytes(ini, "[Main]\r\nSize=12\r\n"));
    SetEnvironmentVariableA("TARV_UNREGISTER_FAILS", "1");
    TUndoReport report = Undo(log);
    EXPECT_EQ(Left(report), Lines({server + " (failed)", "HKCU\\Software\\TarvTest\\App (not empty)", app + "\\Sub (not empty)"}));
    // The log keeps those, the folder that holds it, and the registration
    // with its values, so that the program can be uninstalled again.
    EXPECT_EQ(ReadBytes(log), "[CreateDirs]\r\n" + app + "=\r\n" + app + "\\Sub=\r\n\r\n[RegServers]\r\n" + server +
                                  "=\r\n\r\n[CreateKeys]\r\nHKCU\\Software\\TarvTest\\App=\r\nHKLM\\" + kUninstallKey +
                                  "Tarv Test App=\r\n\r\n[AddReg]\r\nHKLM\\" + kUninstallKey + "Tarv Test App\\DisplayVersion=1.0\r\n\r\n");
    EXPECT_EQ(ProgramNamesOfLog(log.c_str()), "Tarv Test App");
    EXPECT_EQ(ReadBytes(ini), "[Main]\r\nSize=12\r\n");
    EXPECT_EQ(ReadBytes(server), "<missing>");  // not fatal: the file goes all the same
    // The user moves the file beside the log: the rest goes, the log stays
    // with the folder that holds both.
    ASSERT_TRUE(MoveFileA((app + "\\Sub\\notes.txt").c_str(), (app + "\\notes.txt").c_str()));
    DeleteRegTreeForTest(HKEY_CURRENT_USER, "Software\\TarvTest\\App");
    DeleteRegTreeForTest(HKEY_CURRENT_USER, "Software\\TarvTest\\Server");
    ASSERT_TRUE(WriteBytes(ini, kIniBefore));
    EXPECT_EQ(Left(Undo(log)), Lines({app + " (not empty)"}));
    EXPECT_EQ(ReadBytes(log), "[CreateDirs]\r\n" + app + "=\r\n\r\n");
    ASSERT_TRUE(DeleteFileA((app + "\\notes.txt").c_str()));
    EXPECT_EQ(Left(Undo(log)), "");
    EXPECT_EQ(Snapshot(), before);
}

// The raw pending renames of the NT family, or none when it puts `restore` back.
std::string PendingRenames(const std::string* restore = nullptr) {
    static char data[1 << 16];
    const char* name = "PendingFileRenameOperations";
    DWORD size = sizeof data;
    HKEY key;
    RegCreateKeyA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", &key);
    if (!restore && RegQueryValueExA(key, name, nullptr, nullptr, (BYTE*)data, &size)) size = 0;
    if (restore && restore->empty()) RegDeleteValueA(key, name);
    if (restore && !restore->empty()) RegSetValueExA(key, name, 0, REG_MULTI_SZ, (const BYTE*)restore->data(), (DWORD)restore->size());
    RegCloseKey(key);
    return restore ? "" : std::string(data, size);
}
struct PendingRenamesGuard {
    const std::string saved = PendingRenames();
    ~PendingRenamesGuard() { PendingRenames(&saved); }
};

TEST_F(Installation, AFileInUseGoesAtTheRestartAndItsFoldersAfterIt) {
    Install();
    PendingRenamesGuard restore;
    HANDLE held = CreateFileA((app + "\\Sub\\readme.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    TUndoReport report = Undo(log);
    CloseHandle(held);
    EXPECT_EQ(Left(report), "");
    EXPECT_TRUE(report.RestartNeeded && report.LogRemoved);
    // Deletions, the file first: each path paired with nothing.
    const std::string nul(1, '\0'), pending = PendingRenames();
    const std::string added = "\\??\\" + app + "\\Sub\\readme.txt" + nul + nul + "\\??\\" + app + "\\Sub" + nul + nul + "\\??\\" + app + nul + nul;
    ASSERT_GT(pending.size(), added.size());
    EXPECT_EQ(pending.substr(pending.size() - added.size() - 1, added.size()), added);
    EXPECT_EQ(TreeListing(app), "Sub/\nSub/readme.txt=text\n");
}

TEST_F(Installation, AbsurdEntriesAreRefusedAndStayInTheLog) {
    const std::string dir = root / "Dir", absurd = elsewhere / "absurd.log";
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr) && WriteBytes(dir + "\\f.txt", "f"));
    ASSERT_TRUE(WriteBytes("relative.txt", "r"));  // in the current folder
    const std::string text = "[AddReg]\r\nHKLM\\Name=\r\n\r\n[CopyFiles]\r\nrelative.txt=\r\n\\\\server\\share=\r\n" + dir + "=\r\n" +
                             app + "\\..\\Dir\\f.txt=\r\n\r\n[CreateKeys]\r\nHKLM\\=\r\nHKCU\\Software=\r\n\r\n"
                             "[CreateDirs]\r\nC:\\=\r\nC:=\r\n" + dir + "=\r\n\r\n";
    ASSERT_TRUE(WriteBytes(absurd, text));
    TUndoReport report = Undo(absurd);
    EXPECT_EQ(ReadBytes("relative.txt"), "r");
    DeleteFileA("relative.txt");
    EXPECT_EQ(Left(report), Lines({"HKLM\\Name (refused)", app + "\\..\\Dir\\f.txt (refused)", dir + " (refused)",
                                   "\\\\server\\share (refused)", "relative.txt (refused)", "HKCU\\Software (not empty)",
                                   "HKLM\\ (refused)", dir + " (not empty)", "C: (refused)", "C:\\ (refused)"}));
    EXPECT_EQ(ReadBytes(absurd), text);
    EXPECT_EQ(TreeListing(dir), "f.txt=f\n");
}

// Wine shows a Unix symbolic link to a folder as a junction, and runs the
// Unix ln as it runs a Windows program (without a process to wait for).
void MakeUnixLink(const std::string& target, const std::string& folder, const std::string& name) {
    auto unixName = (char*(CDECL*)(LPCWSTR))(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    ASSERT_NE(unixName, nullptr) << "not under Wine";
    std::string command = "Z:\\bin\\ln -s";
    for (const std::string& path : {target, folder}) command += std::string(" ") + unixName(std::wstring(path.begin(), path.end()).c_str());
    command += "/" + name;
    STARTUPINFOA startup = {sizeof startup};
    PROCESS_INFORMATION process;
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int i = 0; i < 250 && GetFileAttributesA((folder + "\\" + name).c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(20);
    ASSERT_EQ(GetFileAttributesA((folder + "\\" + name).c_str()), (DWORD)(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

TEST_F(Installation, NothingBehindALinkInACreatedFolderIsTouched) {
    ASSERT_TRUE(CreateDirectoryA(app.c_str(), nullptr) && CreateDirectoryA((root / "Outside").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(root / "Outside\\keep.txt", "keep"));
    MakeUnixLink(root / "Outside", app, "Data");
    ASSERT_TRUE(WriteBytes(elsewhere / "link.log", "[CreateDirs]\r\n" + app + "=\r\n" + app + "\\Data=\r\n\r\n"
                                                   "[CopyFiles]\r\n" + app + "\\Data\\keep.txt=\r\n\r\n"));
    TUndoReport report = Undo(elsewhere / "link.log");
    EXPECT_EQ(Left(report), Lines({app + "\\Data\\keep.txt (refused)", app + "\\Data (refused)", app + " (not empty)"}));
    EXPECT_EQ(ReadBytes(app + "\\Data\\keep.txt"), "keep");
}

TEST_F(Installation, TwoProgramsInOneLogGoTogetherAndAnotherLogsRegistrationStays) {
    const std::string shared = elsewhere / "shared.log";
    ASSERT_TRUE(WriteBytes(shared, "[CreateKeys]\r\n" + Register("Tarv Test App", shared) +
                                       Register("Tarv Test B", shared) + Register("Tarv Test C", log) + "\r\n"));
    EXPECT_EQ(ProgramNamesOfLog(shared.c_str()), "Tarv Test App, Tarv Test B");
    EXPECT_EQ(Left(Undo(shared)), "");
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(RegistryListing(HKEY_LOCAL_MACHINE, kUninstallKey + "Tarv Test B"), "");
    EXPECT_NE(RegistryListing(HKEY_LOCAL_MACHINE, kUninstallKey + "Tarv Test C"), "");
}

// A cut line has no "=": it is no entry, and the file its text starts to
// name stays.
TEST(UninstallLog, EmptyUnknownOrCutLogsHoldNothingToUndo) {
    ScratchFolder dir;
    ASSERT_TRUE(WriteBytes(dir / "victim", "v"));
    const struct { std::string text; int entries; } cases[] = {
        {"", 0}, {"[Foo]\r\na=b\r\n", 0}, {"[CopyFiles]\r\n" + dir / "victim", 0},
        {"[CopyFiles]\r\n" + dir / "a=\r\n" + dir / "vic", 1}, {"<missing>", 0},
    };
    for (const auto& c : cases) {
        TInstallLog log;
        TUndoReport report;
        if (c.text != "<missing>") ASSERT_TRUE(WriteBytes(dir / "cut.log", c.text));
        EXPECT_TRUE(ReadInstallLog((dir / "cut.log").c_str(), log) && UndoInstallLog(log, report) && ProfileFlushAll());
        EXPECT_EQ(LogEntryCount(log), c.entries) << c.text;
    }
    EXPECT_EQ(ReadBytes(dir / "victim"), "v");
}

TEST(DeleteAtReboot, Windows98AppendsShortNamesToWininit) {
    const TStr wininit = AddBackslash(GetWindowsFolder()) + "wininit.ini";
    if (FileExists(wininit)) GTEST_SKIP() << "this prefix has a wininit.ini of its own";
    ScratchFolder dir;
    char shortA[MAX_PATH], shortB[MAX_PATH];
    ASSERT_TRUE(WriteBytes(dir / "Long File Name.dll", "x") && WriteBytes(dir / "b.dll", "y"));
    ASSERT_TRUE(GetShortPathNameA((dir / "Long File Name.dll").c_str(), shortA, MAX_PATH) && GetShortPathNameA((dir / "b.dll").c_str(), shortB, MAX_PATH));
    ASSERT_TRUE(WriteBytes(wininit.c_str(), "[Other]\r\nk=v\r\n[Rename]\r\nC:\\A.DLL=C:\\B.DLL\r\n\r\n[Last]\r\nz=1"));
    OSVersionOverride win98(MakeOSVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1998, ""));
    EXPECT_TRUE(DeleteAtReboot((dir / "Long File Name.dll").c_str()) && DeleteAtReboot((dir / "b.dll").c_str()));
    EXPECT_FALSE(DeleteAtReboot(dir.Path().c_str()));  // no folders that way
    std::string text = ReadBytes(wininit.c_str());
    DeleteFileA(wininit.c_str());
    EXPECT_EQ(text, "[Other]\r\nk=v\r\n[Rename]\r\nC:\\A.DLL=C:\\B.DLL\r\nNUL=" + std::string(shortA) + "\r\nNUL=" + shortB + "\r\n\r\n[Last]\r\nz=1");
    EXPECT_EQ(std::string(shortA).find("Long File"), std::string::npos);
}

// Runs UnTarv.exe, answering each box it shows with the next answer; returns
// a "caption|text" line for every box.
std::string RunUnTarv(const std::string& arguments, std::vector<int> answers) {
    struct Watch {
        DWORD pid;
        std::vector<int> answers;
        std::vector<HWND> done;
        std::string seen;
    } watch = {0, answers, {}, ""};
    std::string command = "\"" + BuildFolder() + "UnTarv.exe\" " + arguments;
    STARTUPINFOA startup = {sizeof startup};
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return "<not run>";
    watch.pid = process.dwProcessId;
    for (int tick = 0; tick < 600 && WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT; ++tick)
        EnumWindows([](HWND box, LPARAM context) {
            Watch& w = *(Watch*)context;
            DWORD pid;
            char cls[16] = "", caption[256] = "", text[1024] = "";
            GetWindowThreadProcessId(box, &pid);
            GetClassNameA(box, cls, sizeof cls);
            if (pid == w.pid && !strcmp(cls, "#32770") && IsWindowVisible(box) && w.done.size() < w.answers.size() &&
                std::find(w.done.begin(), w.done.end(), box) == w.done.end()) {
                GetWindowTextA(box, caption, sizeof caption);
                GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the text of a message box
                PostMessageA(box, WM_COMMAND, w.answers[w.done.size()], 0);
                w.seen += std::string(caption) + "|" + text + "\n";
                w.done.push_back(box);
            }
            return TRUE;
        }, (LPARAM)&watch);
    TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return watch.seen;
}

TEST_F(Installation, TheProgramAsksOnceNoChangesNothingYesRemoves) {
    Install(BuildFolder() + "UnTarv.exe");
    // The font is this process's, as Wine keeps a font table per process.
    ASSERT_TRUE(RemoveFontResourceA(font.c_str()));
    PendingRenamesGuard restore;
    const std::string installed = Machine();
    EXPECT_EQ(RunUnTarv("", {IDOK}), "Uninstall|No install log was given. Usage: UnTarv.exe \"<install log>\"\n");
    const std::string question = "Tarv Test App|Do you want to remove Tarv Test App and everything its installation added from this computer?\n";
    EXPECT_EQ(RunUnTarv(log, {IDNO}), question);
    EXPECT_EQ(Machine(), installed);
    EXPECT_EQ(RunUnTarv("\"" + log + "\"", {IDYES, IDOK}), question + "Tarv Test App|Tarv Test App has been removed from this computer.\n");
    EXPECT_EQ(Snapshot(), before);
    EXPECT_NE(ReadBytes(BuildFolder() + "UnTarv.exe"), "<missing>");
}

}  // namespace
